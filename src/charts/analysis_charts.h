// The result charts of an analysis window: the preview in its "Graph preview"
// group (and the big chart behind a double click on it) and the 3-D window
// behind the values list's "3-D" button, all showing the selected entry's
// results while they are valid.
#pragma once

#include <QObject>

#include <functional>

#include "charts/result_chart_data.h"

class QGroupBox;
class TCalcEngine;
class TResultPreview;
class TValuesListBox;
class Tfm3dMath;

class TAnalysisCharts : public QObject
{
    Q_OBJECT
public:
    // `arg1Text` and `arg2Text` give the selectors' texts ("Time" for the
    // first argument of the transient window).
    TAnalysisCharts(TCalcEngine& engine, TValuesListBox& values, QGroupBox& previewGroup,
                    std::function<QString()> arg1Text, std::function<QString()> arg2Text);

    TResultPreview* Preview() const { return m_preview; }

    // Draws the selected entry into the preview when the results are valid;
    // otherwise the preview stays as it is. True when drawn.
    bool DrawSelected();
    // "3-D": opens the 3-D window of the selected entry modally when the
    // results are valid and a row is selected; otherwise nothing happens.
    void OpenSurface();

    // For tests: runs the 3-D window instead of showing it modally.
    std::function<void(Tfm3dMath&)> SurfaceHook;

private:
    TResultChartData selectedData() const;

    TCalcEngine& m_engine;
    TValuesListBox& m_values;
    TResultPreview* m_preview = nullptr;
    std::function<QString()> m_arg1Text;
    std::function<QString()> m_arg2Text;
};
