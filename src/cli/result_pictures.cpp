#include "cli/result_pictures.h"

#include "charts/result_chart_data.h"
#include "charts/result_chart_picture.h"
#include "editor/picture_file.h"
#include "performance/calc_engine.h"

namespace {

bool takePictureName(TArgs& args, const QString& option, QString& name, QString& error)
{
    args.TakeOption(option, name, error);
    if (error.isEmpty() && !name.isEmpty() && !IsPictureFileName(name))
        error = QStringLiteral("Cannot write %1: the picture formats are .svg, .png and .bmp.").arg(name);
    return error.isEmpty();
}

} // namespace

bool TResultPictures::Take(TArgs& args, QString& error)
{
    return takePictureName(args, QStringLiteral("--chart"), Chart, error) &&
           takePictureName(args, QStringLiteral("--surface"), Surface, error);
}

bool TResultPictures::Write(const TCalcEngine& engine, const QString& arg1Text, const QString& arg2Text,
                            TCliContext& ctx) const
{
    if (Chart.isEmpty() && Surface.isEmpty())
        return true;
    int first = -1;
    for (int e = 0; e < engine.Items.size() && first < 0; ++e)
        if (engine.Items[e].Listed)
            first = e;
    if (first < 0) {
        ctx.err << "There is no value to draw.\n";
        return false;
    }
    const TResultChartData data = ResultChartDataOf(engine, first, arg1Text, arg2Text);
    QString failure;
    if (!Chart.isEmpty())
        failure = SaveResultChart(data, Chart);
    if (failure.isEmpty() && !Surface.isEmpty())
        failure = SaveResultSurface(data, Surface);
    if (!failure.isEmpty()) {
        ctx.err << failure << "\n";
        return false;
    }
    return true;
}
