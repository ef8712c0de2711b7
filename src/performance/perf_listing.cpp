#include "performance/perf_listing.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "performance/calc_engine.h"

QString ListingNumber(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    char buf[64];
    // Four significant digits first, then four places after the separator.
    std::snprintf(buf, sizeof buf, "%.3e", value);
    const double rounded = std::strtod(buf, nullptr);
    if (std::fabs(rounded) >= 10000.0) {
        const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
        std::snprintf(buf, sizeof buf, "%.3fE%c%04d", rounded / std::pow(10.0, exponent),
                      exponent < 0 ? '-' : '+', std::abs(exponent));
    } else {
        std::snprintf(buf, sizeof buf, "%.4f", rounded);
    }
    QString text = QString::fromLatin1(buf);
    if (text.startsWith(QLatin1String("-0,0000")) || text == QLatin1String("-0.0000"))
        text.remove(0, 1);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

QString ShortestNumber(double value)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, static_cast<qsizetype>(r.ptr - buf));
}

namespace {

QList<int> listedItems(const TCalcEngine& engine)
{
    QList<int> listed;
    for (int e = 0; e < engine.Items.size(); ++e)
        if (engine.Items[e].Listed)
            listed << e;
    return listed;
}

} // namespace

QStringList PerformanceListing(const TCalcEngine& engine, const QString& arg1Text, const QString& arg2Text)
{
    QStringList lines;
    lines << QString() << QStringLiteral(" Analyze successful.  Data listing follows.");
    const QList<int> listed = listedItems(engine);
    const QChar tab = QLatin1Char('\t');
    if (arg2Text == QLatin1String("None")) {
        for (int first = 0; first < listed.size(); first += 4) {
            const QList<int> group = listed.mid(first, 4);
            lines << QStringLiteral("Argument Value (") + arg1Text + QLatin1Char(')');
            for (int m = 0; m < group.size(); ++m)
                lines << QString(m + 1, tab) + engine.Items[group[m]].Description();
            for (int i = 0; i < engine.Arg1Count; ++i) {
                QString line = ListingNumber(engine.Arg1Values[static_cast<std::size_t>(i)]);
                for (int e : group)
                    line += tab + ListingNumber(engine.Result(i, 0, e));
                lines << line;
            }
            lines << QString();
        }
        return lines;
    }
    for (int e : listed) {
        lines << QString() << tab + QStringLiteral("Results for ") + engine.Items[e].Description()
              << QStringLiteral("Arg1 is :") + arg1Text << QStringLiteral("Arg2 is :") + arg2Text
              << QStringLiteral("Arg1 values are in 1st column, Arg2 values are in 1st line");
        QString header(tab);
        for (int j = 0; j < engine.Arg2Count; ++j)
            header += ListingNumber(engine.Arg2Values[static_cast<std::size_t>(j)]) + tab;
        lines << header << QString();
        for (int i = 0; i < engine.Arg1Count; ++i) {
            QString line = ListingNumber(engine.Arg1Values[static_cast<std::size_t>(i)]);
            for (int j = 0; j < engine.Arg2Count; ++j)
                line += tab + ListingNumber(engine.Result(i, j, e));
            lines << line;
        }
    }
    return lines;
}

QByteArray PerformanceCsv(const TCalcEngine& engine, const QString& arg1Text, const QString& arg2Text)
{
    const auto field = [](const QString& text) -> QString {
        if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
            !text.contains(QLatin1Char('\n')))
            return text;
        QString quoted = text;
        quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + quoted + QLatin1Char('"');
    };
    const QList<int> listed = listedItems(engine);
    const bool two = arg2Text != QLatin1String("None");
    QStringList header{field(arg1Text)};
    if (two)
        header << field(arg2Text);
    for (int e : listed)
        header << field(engine.Items[e].Description());
    QString out = header.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (int j = 0; j < engine.Arg2Count; ++j) {
        for (int i = 0; i < engine.Arg1Count; ++i) {
            QStringList row{ShortestNumber(engine.Arg1Values[static_cast<std::size_t>(i)])};
            if (two)
                row << ShortestNumber(engine.Arg2Values[static_cast<std::size_t>(j)]);
            for (int e : listed)
                row << ShortestNumber(engine.Result(i, j, e));
            out += row.join(QLatin1Char(',')) + QLatin1Char('\n');
        }
    }
    return out.toUtf8();
}
