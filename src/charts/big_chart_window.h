// The "Big chart" window: the preview's series in a large chart, with a
// legend when there are two or more, copied to the clipboard or saved as a
// picture. The series go back to the preview when the window closes.
#pragma once

#include <QDialog>

#include <functional>

class QChart;
class QChartView;
class QPushButton;

class TChartForm : public QDialog
{
    Q_OBJECT
public:
    // Takes the preview's title, bottom-axis title and series (drawn 2 wide).
    explicit TChartForm(QChart& preview, QWidget* parent = nullptr);
    ~TChartForm() override;

    QChart* Chart() const { return m_chart; }
    QChartView* View() const { return m_view; }

    // "Copy to Clipboard" and "Save to file".
    void CopyToClipboard();
    void SaveToFile();

    // For tests: the name the save dialog would return (empty: ask), and
    // where messages go instead of a message box.
    QString AutoFileName;
    std::function<void(const QString&)> MessageHook;

    void done(int result) override;

private:
    void giveBack();

    QChart& m_preview;
    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    bool m_givenBack = false;
};
