// Sweep results for the chart tests.
#pragma once

#include <QXmlStreamReader>

#include <functional>

#include "charts/result_chart_data.h"

// A grid over x = 1, 2, … and, with `n2` above 1, y = 10, 20, …; without,
// the second argument is "None" with the one value 0.
inline TResultChartData SweepData(int n1, int n2, const std::function<double(int i, int j)>& value)
{
    TResultChartData d;
    d.Title = QStringLiteral("Average tokens count in P1");
    d.KindText = QStringLiteral("Average tokens count in ");
    d.Arg1Text = QStringLiteral("Lm1");
    d.Arg2Text = n2 > 1 ? QStringLiteral("M(P2)") : QStringLiteral("None");
    for (int i = 0; i < n1; ++i)
        d.Arg1Values.push_back(i + 1);
    for (int j = 0; j < n2; ++j)
        d.Arg2Values.push_back(n2 > 1 ? 10.0 * (j + 1) : 0.0);
    d.Values.assign(n1, std::vector<double>(n2));
    for (int i = 0; i < n1; ++i)
        for (int j = 0; j < n2; ++j)
            d.Values[i][j] = value(i, j);
    return d;
}

// The number of elements of a kind in an SVG document; -1 when it does not parse.
inline int CountSvgElements(const QByteArray& svg, const QString& name)
{
    QXmlStreamReader xml(svg);
    int count = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name)
            ++count;
    }
    return xml.hasError() ? -1 : count;
}
