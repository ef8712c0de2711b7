#include "editor/property_inspector.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "model/designer.h"

namespace {

const QColor kValueColor(0, 0, 128); // navy
const int kIndent = 12;              // per nesting level, and the width of the "+"/"-" mark
const int kSplitGrip = 3;            // the boundary can be grabbed this close

} // namespace

// ---- small controls ---------------------------------------------------------------

TPropEdit::TPropEdit(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("PropEdit"));
    setFrame(false);
}

TListButton::TListButton(QWidget* parent) : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("ListButton"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void TListButton::SetEllipsis(bool ellipsis)
{
    m_ellipsis = ellipsis;
    update();
}

void TListButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().button());
    p.setPen(palette().shadow().color());
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(palette().buttonText().color());
    p.setBrush(palette().buttonText());
    const QPoint c = r.center();
    if (m_ellipsis) {
        for (int dx : {-3, 0, 3})
            p.drawRect(c.x() + dx, c.y() + 2, 1, 1);
    } else {
        const QPoint arrow[3] = {QPoint(c.x() - 3, c.y() - 1), QPoint(c.x() + 3, c.y() - 1),
                                 QPoint(c.x(), c.y() + 2)};
        p.drawPolygon(arrow, 3);
    }
}

TValueListBox::TValueListBox(QWidget* parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("ValueList"));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setUniformItemSizes(true);
}

TPropSelection::TPropSelection(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("PropSelection"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setIndent(3);
}

void TPropSelection::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    Q_EMIT Clicked();
}

// ---- the list of rows ----------------------------------------------------------------

// Counts editor calls in progress; the last one to finish announces it.
class TPropListBox::TBusy
{
public:
    explicit TBusy(TPropListBox& list) : m_list(list) { ++m_list.m_busy; }
    ~TBusy() { m_list.finishEditorCall(); }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TPropListBox& m_list;
};

TPropListBox::TPropListBox(const TPropertyContext& context, QWidget* parent)
    : QAbstractScrollArea(parent), m_context(context)
{
    setObjectName(QStringLiteral("PropListBox"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);

    m_edit = new TPropEdit(viewport());
    m_edit->hide();
    m_edit->installEventFilter(this);
    m_button = new TListButton(viewport());
    m_button->hide();
    m_valueList = new TValueListBox(viewport());
    m_valueList->hide();

    connect(m_button, &QAbstractButton::clicked, this, &TPropListBox::buttonClicked);
    connect(m_valueList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        m_valueList->setCurrentItem(item);
        CloseUp(true);
    });
}

TPropListBox::~TPropListBox() = default;

void TPropListBox::finishEditorCall()
{
    if (--m_busy == 0)
        Q_EMIT EditorDone();
}

int TPropListBox::RowHeight() const
{
    return fontMetrics().height() + 4;
}

int TPropListBox::visibleRows() const
{
    return std::max(1, viewport()->height() / RowHeight());
}

int TPropListBox::MinSplit() const
{
    return static_cast<int>(30 * logicalDpiX() / 96.0);
}

int TPropListBox::MaxSplit() const
{
    return width() - static_cast<int>(45 * logicalDpiX() / 96.0);
}

void TPropListBox::SetSplitPosition(int x)
{
    const int clamped = std::max(MinSplit(), std::min(x, MaxSplit()));
    if (clamped == m_split)
        return;
    m_split = clamped;
    placeControls();
    viewport()->update();
}

QRect TPropListBox::RowRect(int row) const
{
    const int top = (row - verticalScrollBar()->value()) * RowHeight();
    return QRect(0, top, viewport()->width(), RowHeight());
}

QRect TPropListBox::NameRect(int row) const
{
    const QRect r = RowRect(row);
    return QRect(r.left(), r.top(), m_split, r.height());
}

QRect TPropListBox::ValueRect(int row) const
{
    const QRect r = RowRect(row);
    return QRect(m_split + 1, r.top(), std::max(0, r.width() - m_split - 1), r.height());
}

int TPropListBox::rowAt(int y) const
{
    if (y < 0)
        return -1;
    const int row = y / RowHeight() + verticalScrollBar()->value();
    return row < RowCount() ? row : -1;
}

QString TPropListBox::RowName(int row) const
{
    return Row(row).Editor->GetName();
}

QString TPropListBox::RowValue(int row) const
{
    const TPropertyEditor& e = *Row(row).Editor;
    return e.AllValuesEqual() ? e.GetValue() : QString();
}

bool TPropListBox::IsExpandable(int row) const
{
    return (Row(row).Editor->GetAttributes() & paSubProperties) != 0;
}

int TPropListBox::FindRow(const QString& path) const
{
    for (int i = 0; i < RowCount(); ++i)
        if (Row(i).Path == path)
            return i;
    return -1;
}

QSet<QString> TPropListBox::ExpandedPaths() const
{
    QSet<QString> paths;
    for (const TProp& p : m_rows)
        if (p.Expanded)
            paths.insert(p.Path);
    return paths;
}

QString TPropListBox::CurrentPath() const
{
    return m_current >= 0 ? Row(m_current).Path : QString();
}

void TPropListBox::Clear()
{
    CloseUp(false);
    m_rows.clear();
    m_current = -1;
    loadEdit();
    updateScrollBar();
    viewport()->update();
}

void TPropListBox::SetRows(TPropertyEditors editors, const QString& currentPath,
                           const QSet<QString>& expanded)
{
    CloseUp(false);
    m_rows.clear();
    m_current = -1;
    for (auto& e : editors) {
        TProp p;
        p.Path = e->GetName();
        p.Editor = std::move(e);
        m_rows.push_back(std::move(p));
    }
    // Parents come before their children, so one pass re-expands nested rows too.
    for (int i = 0; i < RowCount(); ++i)
        if (expanded.contains(Row(i).Path) && IsExpandable(i))
            insertSubRows(i);

    int current = FindRow(currentPath);
    if (current < 0)
        current = FindRow(currentPath.section(QLatin1Char('.'), 0, 0));
    if (current < 0)
        current = FindRow(QStringLiteral("Name"));
    m_current = current;
    updateScrollBar();
    if (m_current >= 0)
        ensureVisible(m_current);
    loadEdit();
    viewport()->update();
}

void TPropListBox::insertSubRows(int row)
{
    TProp& parent = m_rows[static_cast<size_t>(row)];
    if (parent.Expanded)
        return;
    parent.Expanded = true;
    TPropertyEditors subs = parent.Editor->GetProperties();
    std::stable_sort(subs.begin(), subs.end(), [](const auto& a, const auto& b) {
        return a->GetName().compare(b->GetName(), Qt::CaseInsensitive) < 0;
    });
    const int level = parent.Level + 1;
    const QString prefix = parent.Path + QLatin1Char('.');
    std::vector<TProp> inserted;
    for (auto& e : subs) {
        TProp p;
        p.Level = level;
        p.Path = prefix + e->GetName();
        p.Editor = std::move(e);
        inserted.push_back(std::move(p));
    }
    m_rows.insert(m_rows.begin() + row + 1, std::make_move_iterator(inserted.begin()),
                  std::make_move_iterator(inserted.end()));
}

void TPropListBox::Expand(int row)
{
    if (row < 0 || row >= RowCount() || !IsExpandable(row) || IsExpanded(row))
        return;
    const QString path = Row(row).Path;
    CommitEdit();
    row = FindRow(path);
    if (row < 0 || IsExpanded(row))
        return;
    const QString current = CurrentPath();
    insertSubRows(row);
    m_current = FindRow(current);
    updateScrollBar();
    loadEdit();
    viewport()->update();
}

void TPropListBox::Collapse(int row)
{
    if (row < 0 || row >= RowCount() || !IsExpanded(row))
        return;
    const QString path = Row(row).Path;
    CloseUp(false);
    CommitEdit();
    row = FindRow(path);
    if (row < 0 || !IsExpanded(row))
        return;
    const QString current = CurrentPath();
    const int level = Row(row).Level;
    int end = row + 1;
    while (end < RowCount() && Row(end).Level > level)
        ++end;
    m_rows.erase(m_rows.begin() + row + 1, m_rows.begin() + end);
    m_rows[static_cast<size_t>(row)].Expanded = false;
    // A current row that was folded away hands over to the folded row.
    m_current = FindRow(current);
    if (m_current < 0)
        m_current = row;
    updateScrollBar();
    loadEdit();
    viewport()->update();
}

void TPropListBox::SetCurrentRow(int row)
{
    if (row < -1 || row >= RowCount())
        return;
    if (row == m_current)
        return;
    CloseUp(false);
    const QString target = row >= 0 ? Row(row).Path : QString();
    // Leaving the row writes what was typed; the write may change the rows.
    CommitEdit();
    m_current = target.isEmpty() ? -1 : FindRow(target);
    if (m_current >= 0)
        ensureVisible(m_current);
    loadEdit();
    viewport()->update();
}

bool TPropListBox::CommitEdit()
{
    if (m_current < 0 || !m_edit->isVisible() || !m_edit->isModified())
        return true;
    m_edit->setModified(false);
    bool ok = false;
    {
        TBusy busy(*this);
        ok = Row(m_current).Editor->SetValue(m_edit->text());
    }
    // Show what the property holds now: the new value, or the old one after a refusal.
    loadEdit();
    viewport()->update();
    return ok;
}

void TPropListBox::RefreshValues()
{
    if (m_current >= 0 && !m_edit->isModified())
        m_edit->setText(RowValue(m_current));
    viewport()->update();
}

void TPropListBox::loadEdit()
{
    if (m_current < 0 || m_current >= RowCount()) {
        m_edit->hide();
        m_button->hide();
        return;
    }
    const TPropertyEditor& e = *Row(m_current).Editor;
    const TPropAttributes a = e.GetAttributes();
    m_edit->setText(RowValue(m_current));
    m_edit->setModified(false);
    m_edit->setReadOnly((a & paReadOnly) != 0);
    selectWholeValue();
    const bool hasButton = (a & (paValueList | paDialog)) != 0;
    m_button->SetEllipsis(!(a & paValueList));
    m_button->setVisible(hasButton);
    placeControls();
    m_edit->show();
    if (hasFocus())
        m_edit->setFocus();
}

void TPropListBox::selectWholeValue()
{
    // Typing replaces the value; the cursor stays at its start, so that the
    // beginning of a long value shows.
    const int length = static_cast<int>(m_edit->text().size());
    m_edit->setSelection(length, -length);
}

void TPropListBox::placeControls()
{
    if (m_current < 0 || m_current >= RowCount())
        return;
    const QRect v = ValueRect(m_current).adjusted(0, 1, 0, -1);
    const int b = m_button->isVisibleTo(viewport()) ? v.height() : 0;
    m_edit->setGeometry(v.left() + 2, v.top(), std::max(0, v.width() - b - 2), v.height());
    m_button->setGeometry(v.right() - b + 1, v.top(), b, v.height());
    if (DroppedDown()) {
        const int rows = std::min(m_valueList->count(), 8);
        const int h = rows * m_valueList->sizeHintForRow(0) + 2 * m_valueList->frameWidth();
        QRect r(v.left(), v.bottom() + 2, v.width(), h);
        if (r.bottom() > viewport()->height() && v.top() - h >= 0)
            r.moveBottom(v.top() - 1);
        m_valueList->setGeometry(r);
    }
}

void TPropListBox::updateScrollBar()
{
    const int visible = visibleRows();
    verticalScrollBar()->setRange(0, std::max(0, RowCount() - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
}

void TPropListBox::ensureVisible(int row)
{
    QScrollBar* sb = verticalScrollBar();
    if (row < sb->value())
        sb->setValue(row);
    else if (row >= sb->value() + visibleRows())
        sb->setValue(row - visibleRows() + 1);
    placeControls();
}

void TPropListBox::scrollContentsBy(int, int)
{
    placeControls();
    viewport()->update();
}

void TPropListBox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    // Starts at half the width, then stays within its limits.
    if (m_split < 0 && width() > 0)
        m_split = width() / 2;
    m_split = std::max(MinSplit(), std::min(m_split, MaxSplit()));
    updateScrollBar();
    placeControls();
}

void TPropListBox::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const QPalette& pal = palette();
    const int h = RowHeight();
    const int first = verticalScrollBar()->value();
    // Whole rows only.
    const int last = std::min(RowCount(), first + visibleRows());
    const QColor grid = pal.mid().color();
    for (int i = first; i < last; ++i) {
        const QRect r = RowRect(i);
        const TProp& row = Row(i);
        const bool current = i == m_current;
        if (current)
            p.fillRect(r, pal.highlight());
        // The name, indented by its level, with "+" or "-" when it expands.
        const int x = row.Level * kIndent;
        p.setPen(current ? pal.highlightedText().color() : pal.text().color());
        if (IsExpandable(i))
            p.drawText(QRect(x, r.top(), kIndent, h), Qt::AlignCenter,
                       row.Expanded ? QStringLiteral("-") : QStringLiteral("+"));
        p.drawText(QRect(x + kIndent, r.top(), std::max(0, m_split - x - kIndent - 2), h),
                   Qt::AlignVCenter | Qt::AlignLeft, RowName(i));
        if (!current) {
            p.setPen(kValueColor);
            p.drawText(ValueRect(i).adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, RowValue(i));
        }
        p.setPen(grid);
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    }
    p.setPen(grid);
    p.drawLine(m_split, 0, m_split, std::min(viewport()->height(), (last - first) * h));
}

void TPropListBox::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus();
    if (std::abs(pos.x() - m_split) <= kSplitGrip) {
        m_splitDragging = true;
        return;
    }
    const int row = rowAt(pos.y());
    if (row < 0)
        return;
    const QString path = Row(row).Path;
    SetCurrentRow(row);
    // A click on the "+"/"-" mark expands or collapses.
    const int r = FindRow(path);
    if (r >= 0 && IsExpandable(r)) {
        const int x = Row(r).Level * kIndent;
        if (pos.x() >= x && pos.x() < x + kIndent) {
            if (IsExpanded(r))
                Collapse(r);
            else
                Expand(r);
        }
    }
}

void TPropListBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_splitDragging) {
        SetSplitPosition(pos.x());
        return;
    }
    viewport()->setCursor(std::abs(pos.x() - m_split) <= kSplitGrip ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void TPropListBox::mouseReleaseEvent(QMouseEvent* event)
{
    m_splitDragging = false;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TPropListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    if (event->button() != Qt::LeftButton || row < 0 || std::abs(pos.x() - m_split) <= kSplitGrip)
        return;
    SetCurrentRow(row);
    if (m_current < 0)
        return;
    if (pos.x() < m_split) {
        // On the name: expand or collapse.
        if (IsExpandable(m_current)) {
            if (IsExpanded(m_current))
                Collapse(m_current);
            else
                Expand(m_current);
        }
        return;
    }
    EditCurrent();
}

void TPropListBox::EditCurrent()
{
    if (m_current < 0)
        return;
    CloseUp(false);
    CommitEdit();
    if (m_current < 0)
        return;
    {
        TBusy busy(*this);
        Row(m_current).Editor->Edit();
    }
    loadEdit();
    viewport()->update();
}

void TPropListBox::keyPressEvent(QKeyEvent* event)
{
    if (!handleEditKey(event))
        QAbstractScrollArea::keyPressEvent(event);
}

void TPropListBox::contextMenuEvent(QContextMenuEvent* event)
{
    const int row = rowAt(event->pos().y());
    if (row >= 0)
        SetCurrentRow(row);
    Q_EMIT LocalMenuRequested(event->globalPos());
}

bool TPropListBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit) {
        switch (event->type()) {
        case QEvent::FocusIn:
            // The application gives the focus before it hands on the press.
            m_focusClick = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
            break;
        case QEvent::MouseButtonPress:
            // The click that brings the focus to the value selects all of it.
            if (m_focusClick || !m_edit->hasFocus()) {
                m_focusClick = true;
                m_edit->setFocus(Qt::MouseFocusReason);
                selectWholeValue();
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (m_focusClick) {
                m_focusClick = false;
                return true;
            }
            break;
        case QEvent::KeyPress:
            return handleEditKey(static_cast<QKeyEvent*>(event));
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                EditCurrent();
                return true;
            }
            break;
        case QEvent::FocusOut: {
            m_focusClick = false;
            // Leaving the inspector writes what was typed.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && !DroppedDown())
                CommitEdit();
            break;
        }
        case QEvent::ContextMenu: {
            Q_EMIT LocalMenuRequested(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        default:
            break;
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

bool TPropListBox::handleEditKey(QKeyEvent* event)
{
    const int key = event->key();
    if (DroppedDown()) {
        // While the list is open these keys go to it.
        switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CloseUp(true);
            return true;
        case Qt::Key_Escape:
            CloseUp(false);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            const int n = m_valueList->count();
            const int step = (key == Qt::Key_PageUp || key == Qt::Key_PageDown) ? 8 : 1;
            int i = m_valueList->currentRow();
            i += (key == Qt::Key_Up || key == Qt::Key_PageUp) ? -step : step;
            m_valueList->setCurrentRow(std::max(0, std::min(i, n - 1)));
            return true;
        }
        default:
            return false;
        }
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_edit->isModified())
            CommitEdit();
        else if (m_current >= 0 && IsExpandable(m_current) && (event->modifiers() & Qt::ControlModifier))
            EditCurrent();
        selectWholeValue();
        return true;
    case Qt::Key_Escape:
        // Back to the value the property holds.
        loadEdit();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (event->modifiers() & Qt::AltModifier) {
            if (key == Qt::Key_Down && m_current >= 0 &&
                (Row(m_current).Editor->GetAttributes() & paValueList))
                DropDown();
            return true;
        }
        if (RowCount() > 0)
            SetCurrentRow(std::max(0, std::min(m_current + (key == Qt::Key_Up ? -1 : 1), RowCount() - 1)));
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (RowCount() > 0) {
            const int step = key == Qt::Key_PageUp ? -visibleRows() : visibleRows();
            SetCurrentRow(std::max(0, std::min(m_current + step, RowCount() - 1)));
        }
        return true;
    default:
        return false;
    }
}

bool TPropListBox::DroppedDown() const
{
    return m_valueList->isVisibleTo(viewport());
}

void TPropListBox::DropDown()
{
    if (m_current < 0 || DroppedDown())
        return;
    const TPropertyEditor& e = *Row(m_current).Editor;
    QStringList values = e.GetValues();
    if (values.isEmpty())
        return;
    if (e.GetAttributes() & paSortList)
        values.sort(Qt::CaseInsensitive);
    m_valueList->clear();
    m_valueList->addItems(values);
    const int i = values.indexOf(m_edit->text());
    m_valueList->setCurrentRow(i >= 0 ? i : 0);
    m_valueList->show();
    placeControls();
    m_valueList->raise();
    m_edit->setFocus();
}

void TPropListBox::CloseUp(bool accept)
{
    if (!DroppedDown())
        return;
    QListWidgetItem* item = m_valueList->currentItem();
    m_valueList->hide();
    if (!accept || !item || m_current < 0)
        return;
    m_edit->setText(item->text());
    m_edit->setModified(true);
    CommitEdit();
}

void TPropListBox::buttonClicked()
{
    if (m_current < 0)
        return;
    if (Row(m_current).Editor->GetAttributes() & paValueList) {
        // A second press closes the list.
        if (DroppedDown())
            CloseUp(false);
        else
            DropDown();
        return;
    }
    EditCurrent();
}

// ---- the window ----------------------------------------------------------------------------

TfmPropertyInspector::TfmPropertyInspector(TQRVDesigner& designer, QWidget* parent)
    : QWidget(parent), m_designer(designer)
{
    setObjectName(QStringLiteral("fmPropertyInspector"));
    setWindowTitle(QStringLiteral("Object Inspector"));

    m_context.Designer = &m_designer;
    m_context.DialogParent = this;
    m_context.Written = [this] {
        // Every write shows on the surface at once.
        m_designer.Update();
        m_list->RefreshValues();
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    m_objectList = new QComboBox(this);
    m_objectList->setObjectName(QStringLiteral("cbObjects"));
    layout->addWidget(m_objectList);
    m_strip = new TPropSelection(m_objectList);
    m_list = new TPropListBox(m_context, this);
    layout->addWidget(m_list, 1);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("LocalMenu"));
    auto addAction = [this](const QString& caption, const char* name) {
        QAction* a = m_menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    connect(addAction(QStringLiteral("E&xpand"), "actExpand"), &QAction::triggered, this,
            [this] { m_list->Expand(m_list->CurrentRow()); });
    connect(addAction(QStringLiteral("&Collapse"), "actCollapse"), &QAction::triggered, this,
            [this] { m_list->Collapse(m_list->CurrentRow()); });
    m_menu->addSeparator();
    QAction* onTop = addAction(QStringLiteral("&Stay on top"), "actStayOnTop");
    onTop->setCheckable(true);
    connect(onTop, &QAction::toggled, this, &TfmPropertyInspector::StayOnTopToggled);
    connect(addAction(QStringLiteral("&Hide"), "actHide"), &QAction::triggered, this,
            &TfmPropertyInspector::HideRequested);
    m_menu->addSeparator();
    connect(addAction(QStringLiteral("H&elp"), "actHelp"), &QAction::triggered, this,
            &TfmPropertyInspector::HelpRequested);

    connect(m_list, &TPropListBox::LocalMenuRequested, this, &TfmPropertyInspector::showLocalMenu);
    connect(m_list, &TPropListBox::EditorDone, this, &TfmPropertyInspector::editorDone);
    connect(m_objectList, &QComboBox::textActivated, this, &TfmPropertyInspector::objectChosen);
    connect(m_strip, &TPropSelection::Clicked, m_objectList, &QComboBox::showPopup);
    connect(&m_designer, &TQRVDesigner::SelectionHandedOver, this,
            &TfmPropertyInspector::selectionHandedOver);
    connect(&m_designer, &TQRVDesigner::ObjectsChanged, this, &TfmPropertyInspector::selectionHandedOver);
    connect(&m_designer, &TQRVDesigner::PaintRequested, m_list, &TPropListBox::RefreshValues);

    Rebuild();
}

TfmPropertyInspector::~TfmPropertyInspector()
{
    disconnect(&m_designer, nullptr, this, nullptr);
    disconnect(&m_designer, nullptr, m_list, nullptr);
}

QAction* TfmPropertyInspector::MenuAction(const QString& objectName) const
{
    return m_menu->findChild<QAction*>(objectName);
}

void TfmPropertyInspector::selectionHandedOver()
{
    // Rows are rebuilt only for a visible window, and never under an
    // editor that is still at work.
    if (!isVisible() || m_list->Busy() || m_rebuilding) {
        m_rebuildPending = true;
        return;
    }
    Rebuild();
}

void TfmPropertyInspector::editorDone()
{
    if (m_rebuildPending && !m_rebuilding && isVisible())
        Rebuild();
}

void TfmPropertyInspector::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_rebuildPending)
        Rebuild();
    placeStrip();
}

void TfmPropertyInspector::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeStrip();
}

void TfmPropertyInspector::placeStrip()
{
    // Over the combo box's text, leaving its arrow free.
    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    m_strip->setGeometry(2, 2, std::max(0, m_objectList->width() - arrow - 4), m_objectList->height() - 4);
}

void TfmPropertyInspector::Rebuild()
{
    if (m_list->Busy()) {
        m_rebuildPending = true;
        return;
    }
    m_rebuilding = true;
    m_rebuildPending = false;
    // What was typed belongs to the rows shown so far.
    m_list->CommitEdit();

    QStringList names = m_designer.GetComponentNames();
    names.sort(Qt::CaseInsensitive);
    const QList<TQRVObject*>& selection = m_designer.Selection();
    const QString strip = selection.size() == 1 ? selection.first()->Name() : QString();
    {
        const QSignalBlocker block(m_objectList);
        m_objectList->clear();
        m_objectList->addItems(names);
        m_objectList->setCurrentIndex(strip.isEmpty() ? -1 : static_cast<int>(names.indexOf(strip)));
    }
    m_strip->setText(strip);

    const QString current = m_list->CurrentPath();
    const QSet<QString> expanded = m_list->ExpandedPaths();
    QList<QObject*> objects;
    for (TQRVObject* o : selection)
        objects.append(o);
    m_list->SetRows(CollectPropertyEditors(m_context, objects), current, expanded);
    m_rebuilding = false;
    // A write made while rebuilding (the typed value) may have changed the net again.
    if (m_rebuildPending)
        Rebuild();
}

void TfmPropertyInspector::objectChosen(const QString& name)
{
    if (TQRVObject* o = m_designer.FindObject(name))
        m_designer.SelectObject(o);
}

void TfmPropertyInspector::showLocalMenu(const QPoint& globalPos)
{
    const int row = m_list->CurrentRow();
    const bool expandable = row >= 0 && m_list->IsExpandable(row);
    MenuAction(QStringLiteral("actExpand"))->setEnabled(expandable && !m_list->IsExpanded(row));
    MenuAction(QStringLiteral("actCollapse"))->setEnabled(expandable && m_list->IsExpanded(row));
    m_menu->popup(globalPos);
}
