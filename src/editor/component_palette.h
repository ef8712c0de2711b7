// The palette: the strip of tool buttons from which the user picks the kind of
// element a click on the drawing surface creates, plus the pointer button.
#pragma once

#include <QList>
#include <QWidget>

class QButtonGroup;
class QToolButton;
struct TQRVClassInfo;

class TComponentPalette : public QWidget
{
    Q_OBJECT
public:
    explicit TComponentPalette(QWidget* parent = nullptr);

    int ButtonCount() const { return m_buttons.size(); }
    // 0 to 100; anything else fails with "Invalid ButtonCount" (returned as
    // the message; the count stays). Releases any element button.
    QString SetButtonCount(int count);
    int ButtonWidth() const { return m_buttonWidth; }
    int ButtonHeight() const { return m_buttonHeight; }
    void SetButtonWidth(int w);
    void SetButtonHeight(int h);
    int FirstVisible() const { return m_first; }

    // Shows the buttons of a registered page, in registration order.
    void ShowPage(const QString& page);
    QString Page() const { return m_page; }
    // The class of the pressed element button, or none while the pointer is pressed.
    const TQRVClassInfo* SelectedClass() const;
    void ResetToPointer();

    QToolButton* PointerButton() const { return m_pointer; }
    QToolButton* LeftButton() const { return m_left; }
    QToolButton* RightButton() const { return m_right; }
    QToolButton* Button(int index) const { return m_buttons.value(index); }
    // The element button of a class on the current page, or none.
    QToolButton* ButtonFor(const QString& className) const;

    void ScrollLeft();
    void ScrollRight();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // An element button was pressed (index in the page), or the pointer (-1).
    void ClassChosen(const TQRVClassInfo* cls);
    void ButtonDoubleClicked(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutButtons();
    QToolButton* makeButton();

    QList<QToolButton*> m_buttons;
    QList<const TQRVClassInfo*> m_entries;
    QButtonGroup* m_group;
    QToolButton* m_pointer;
    QToolButton* m_left;
    QToolButton* m_right;
    int m_buttonWidth = 28;
    int m_buttonHeight = 28;
    int m_first = 0;
    QString m_page;
};
