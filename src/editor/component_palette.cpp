#include "editor/component_palette.h"

#include <QButtonGroup>
#include <QEvent>
#include <QToolButton>

#include "editor/palette_glyphs.h"
#include "model/class_registry.h"

TComponentPalette::TComponentPalette(QWidget* parent) : QWidget(parent), m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("ComponentPalette"));
    m_group->setExclusive(true);
    m_pointer = makeButton();
    m_pointer->setObjectName(QStringLiteral("btPointer"));
    m_pointer->setIcon(PaletteGlyph(QStringLiteral("RACPPOINTER")));
    m_pointer->setToolTip(QStringLiteral("Pointer: select and move (Esc)"));
    m_pointer->setChecked(true);
    connect(m_pointer, &QToolButton::clicked, this, [this] { Q_EMIT ClassChosen(nullptr); });

    auto makeScroll = [this](const char* name, const char* glyph) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoRaise(true);
        b->setIcon(PaletteGlyph(QString::fromLatin1(glyph), 12));
        b->setIconSize(QSize(10, 16));
        return b;
    };
    m_left = makeScroll("btScrollLeft", "RACPLEFT");
    m_right = makeScroll("btScrollRight", "RACPRIGHT");
    m_left->setToolTip(QStringLiteral("Earlier elements of the page"));
    m_right->setToolTip(QStringLiteral("Further elements of the page"));
    connect(m_left, &QToolButton::clicked, this, &TComponentPalette::ScrollLeft);
    connect(m_right, &QToolButton::clicked, this, &TComponentPalette::ScrollRight);
    setMinimumHeight(m_buttonHeight);
    layoutButtons();
}

QToolButton* TComponentPalette::makeButton()
{
    auto* b = new QToolButton(this);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setIconSize(QSize(m_buttonWidth - 4, m_buttonHeight - 4));
    m_group->addButton(b);
    return b;
}

QString TComponentPalette::SetButtonCount(int count)
{
    if (count < 0 || count > 100)
        return QStringLiteral("Invalid ButtonCount");
    m_pointer->setChecked(true);
    while (m_buttons.size() > count) {
        QToolButton* b = m_buttons.takeLast();
        m_group->removeButton(b);
        delete b;
    }
    while (m_entries.size() > count)
        m_entries.removeLast();
    while (m_buttons.size() < count) {
        QToolButton* b = makeButton();
        const int index = m_buttons.size();
        b->setObjectName(QStringLiteral("btElement%1").arg(index));
        connect(b, &QToolButton::toggled, this, [this, b](bool on) {
            if (on)
                Q_EMIT ClassChosen(m_entries.value(m_buttons.indexOf(b)));
        });
        b->installEventFilter(this);
        m_buttons.append(b);
        m_entries.append(nullptr);
    }
    if (m_first > std::max(0, count - 1))
        m_first = 0;
    layoutButtons();
    return QString();
}

void TComponentPalette::SetButtonWidth(int w)
{
    m_buttonWidth = std::max(8, w);
    layoutButtons();
}

void TComponentPalette::SetButtonHeight(int h)
{
    m_buttonHeight = std::max(8, h);
    layoutButtons();
}

void TComponentPalette::ShowPage(const QString& page)
{
    const QList<const TQRVClassInfo*> entries = TQRVClassRegistry::Instance().PageEntries(page);
    m_page = page;
    SetButtonCount(static_cast<int>(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        const QString name = entries[i]->ClassName();
        m_entries[i] = entries[i];
        m_buttons[i]->setIcon(PaletteGlyph(name, m_buttonWidth - 4));
        m_buttons[i]->setToolTip(entries[i]->Hint());
        m_buttons[i]->setAccessibleName(name);
    }
    m_first = 0;
    layoutButtons();
}

const TQRVClassInfo* TComponentPalette::SelectedClass() const
{
    for (int i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i]->isChecked())
            return m_entries.value(i);
    return nullptr;
}

QToolButton* TComponentPalette::ButtonFor(const QString& className) const
{
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries[i] && m_entries[i]->ClassName() == className)
            return m_buttons[i];
    return nullptr;
}

void TComponentPalette::ResetToPointer()
{
    m_pointer->setChecked(true);
}

void TComponentPalette::ScrollLeft()
{
    if (m_first > 0) {
        --m_first;
        layoutButtons();
    }
}

void TComponentPalette::ScrollRight()
{
    if (m_right->isEnabled()) {
        ++m_first;
        layoutButtons();
    }
}

QSize TComponentPalette::sizeHint() const
{
    return QSize(m_buttonWidth + 24 + static_cast<int>(m_buttons.size()) * m_buttonWidth, m_buttonHeight);
}

QSize TComponentPalette::minimumSizeHint() const
{
    return QSize(m_buttonWidth + 24 + m_buttonWidth, m_buttonHeight);
}

void TComponentPalette::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

bool TComponentPalette::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        const int index = m_buttons.indexOf(qobject_cast<QToolButton*>(watched));
        if (index >= 0)
            Q_EMIT ButtonDoubleClicked(index);
    }
    return QWidget::eventFilter(watched, event);
}

void TComponentPalette::layoutButtons()
{
    const int bw = m_buttonWidth;
    const int bh = m_buttonHeight;
    setMinimumHeight(bh);
    setFixedHeight(bh);
    m_pointer->setGeometry(0, 0, bw, bh);
    m_left->setGeometry(bw + 6, 0, 12, bh);
    const int n = std::max(0, (width() - (bw + 24)) / bw);
    m_right->setGeometry(bw + 18 + n * bw, 0, 12, bh);
    for (int i = 0; i < m_buttons.size(); ++i) {
        QToolButton* b = m_buttons[i];
        b->setIconSize(QSize(bw - 4, bh - 4));
        if (i >= m_first && i < m_first + n) {
            b->setGeometry(bw + 18 + (i - m_first) * bw, 0, bw, bh);
            b->show();
        } else {
            b->setGeometry(-100, 0, bw, bh);
            b->hide();
        }
    }
    m_left->setEnabled(m_first > 0);
    m_right->setEnabled(m_first + n < m_buttons.size());
}
