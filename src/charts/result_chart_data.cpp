#include "charts/result_chart_data.h"

#include "model/numbers.h"

double TResultChartData::Value(int i, int j) const
{
    if (i < 0 || j < 0 || i >= static_cast<int>(Values.size()) || j >= static_cast<int>(Values[i].size()))
        return 0;
    return Values[i][j];
}

QString TResultChartData::SeriesTitle(int j) const
{
    const double value = j >= 0 && j < Arg2Count() ? Arg2Values[j] : 0.0;
    return Arg2Text + QStringLiteral(" = ") + FormatGeneral(value, 4);
}
