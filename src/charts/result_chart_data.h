// The values of one entry of an analysis's values list over its sweep, as the
// result charts (the preview, the big chart, the 3-D surface and the pictures
// of quorvane-cli) read them.
#pragma once

#include <QString>

#include <algorithm>
#include <vector>

struct TResultChartData
{
    QString Title;    // the entry's description
    QString KindText; // the entry's kind text (caption of the 3-D window)
    QString Arg1Text; // the first argument's text, or "Time"
    QString Arg2Text = QStringLiteral("None");
    std::vector<double> Arg1Values;
    std::vector<double> Arg2Values;
    std::vector<std::vector<double>> Values; // [i][j]: at Arg1Values[i], Arg2Values[j]

    int Arg1Count() const { return static_cast<int>(Arg1Values.size()); }
    int Arg2Count() const { return static_cast<int>(Arg2Values.size()); }
    // The value at (i, j); 0 where none was stored.
    double Value(int i, int j) const;
    // The title of the series of argument-2 point j: "Lm2 = 1.5", "None = 0".
    QString SeriesTitle(int j) const;
};

// The data of entry `e` of an analysis engine's values list (`Items`, with
// the sweep's `Arg1Count`, `Arg2Count`, `Arg1Values`, `Arg2Values` and
// `Result(i, j, e)`), the arguments named as their selectors show them.
template <class TEngine>
TResultChartData ResultChartDataOf(const TEngine& engine, int e, const QString& arg1Text,
                                   const QString& arg2Text)
{
    TResultChartData d;
    if (e < 0 || e >= static_cast<int>(engine.Items.size()))
        return d;
    d.Title = engine.Items[e].Description();
    d.KindText = engine.Items[e].KindText;
    d.Arg1Text = arg1Text;
    d.Arg2Text = arg2Text;
    const int n1 = std::min<int>(engine.Arg1Count, static_cast<int>(engine.Arg1Values.size()));
    const int n2 = std::min<int>(engine.Arg2Count, static_cast<int>(engine.Arg2Values.size()));
    d.Arg1Values.assign(engine.Arg1Values.begin(), engine.Arg1Values.begin() + std::max(0, n1));
    d.Arg2Values.assign(engine.Arg2Values.begin(), engine.Arg2Values.begin() + std::max(0, n2));
    d.Values.assign(std::max(0, n1), std::vector<double>(std::max(0, n2)));
    for (int i = 0; i < n1; ++i)
        for (int j = 0; j < n2; ++j)
            d.Values[i][j] = engine.Result(i, j, e);
    return d;
}
