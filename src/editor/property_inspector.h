// The "Object Inspector": shows the published properties of the objects
// selected on the drawing surface and writes edits back to them. It is
// generic over Qt's meta-object properties and knows nothing of the net's
// element classes; the property editors decide how each type is shown and
// edited.
#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QWidget>

#include <vector>

#include "editor/property_editors.h"

class QAction;
class QComboBox;
class QMenu;
class TQRVDesigner;

// One row: its editor (owned) and its nesting level (0 for a property of the
// selected objects, one more per level of sub-property).
struct TProp
{
    std::unique_ptr<TPropertyEditor> Editor;
    int Level = 0;
    bool Expanded = false;
    // The names from the top-level row down to this one, joined by ".".
    QString Path;
};

// The border-less edit box for the value of the current row.
class TPropEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TPropEdit(QWidget* parent);
};

// The small button at the right end of the current row: an arrow for a list
// of values, an ellipsis for a dialog.
class TListButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit TListButton(QWidget* parent);
    bool Ellipsis() const { return m_ellipsis; }
    void SetEllipsis(bool ellipsis);
    QSize sizeHint() const override { return QSize(16, 16); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_ellipsis = false;
};

// The drop-down list of values under the current row.
class TValueListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit TValueListBox(QWidget* parent);
};

// The two-column list of rows: names on the left, values on the right.
class TPropListBox : public QAbstractScrollArea
{
    Q_OBJECT
public:
    TPropListBox(const TPropertyContext& context, QWidget* parent);
    ~TPropListBox() override;

    // Replaces the rows by `editors` at level 0; re-expands the rows whose
    // paths were expanded, and makes current the row `currentPath` (or its
    // top-level row, or "Name").
    void SetRows(TPropertyEditors editors, const QString& currentPath, const QSet<QString>& expanded);
    void Clear();

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const TProp& Row(int row) const { return m_rows.at(static_cast<size_t>(row)); }
    QString RowName(int row) const;
    // The value text, blank when the objects' values differ.
    QString RowValue(int row) const;
    int RowLevel(int row) const { return Row(row).Level; }
    bool IsExpandable(int row) const;
    bool IsExpanded(int row) const { return Row(row).Expanded; }
    // The row with that name path ("Font.Size"), or -1.
    int FindRow(const QString& path) const;
    QSet<QString> ExpandedPaths() const;

    int CurrentRow() const { return m_current; }
    QString CurrentPath() const;
    void SetCurrentRow(int row);
    void Expand(int row);
    void Collapse(int row);

    // Writes the edit box's text when it was modified; true when nothing
    // needed writing or the write succeeded.
    bool CommitEdit();
    // After the objects changed: redraw the values, refresh the edit box.
    void RefreshValues();
    // Whether an editor is at work (a write or a dialog): rows must not be
    // replaced until it is done.
    bool Busy() const { return m_busy > 0; }

    int RowHeight() const;
    int SplitPosition() const { return m_split; }
    void SetSplitPosition(int x);
    int MinSplit() const;
    int MaxSplit() const;
    // Viewport rectangles of a row, its name and its value.
    QRect RowRect(int row) const;
    QRect NameRect(int row) const;
    QRect ValueRect(int row) const;

    TPropEdit* Edit() const { return m_edit; }
    TListButton* Button() const { return m_button; }
    TValueListBox* ValueList() const { return m_valueList; }
    bool DroppedDown() const;
    void DropDown();
    // Closes the list; with `accept` writes its current entry.
    void CloseUp(bool accept);
    // The current row's editor's edit: its dialog or its next value.
    void EditCurrent();

Q_SIGNALS:
    // Emitted when an editor finished its work (the rows may be rebuilt now).
    void EditorDone();
    void LocalMenuRequested(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TBusy;
    int rowAt(int y) const;
    int visibleRows() const;
    void updateScrollBar();
    void ensureVisible(int row);
    void placeControls();
    void loadEdit();
    void selectWholeValue();
    bool handleEditKey(QKeyEvent* event);
    void buttonClicked();
    void insertSubRows(int row);
    void finishEditorCall();

    const TPropertyContext& m_context;
    std::vector<TProp> m_rows;
    int m_current = -1;
    int m_split = -1;
    bool m_splitDragging = false;
    // The click that brought the focus to the value is under way: it selects
    // the whole value instead of placing the cursor.
    bool m_focusClick = false;
    int m_busy = 0;
    TPropEdit* m_edit;
    TListButton* m_button;
    TValueListBox* m_valueList;
};

// The strip over the object list that names the selected object; a click
// drops the object list down.
class TPropSelection : public QLabel
{
    Q_OBJECT
public:
    explicit TPropSelection(QWidget* parent);

Q_SIGNALS:
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class TfmPropertyInspector : public QWidget
{
    Q_OBJECT
public:
    explicit TfmPropertyInspector(TQRVDesigner& designer, QWidget* parent = nullptr);
    ~TfmPropertyInspector() override;

    TQRVDesigner& Designer() const { return m_designer; }
    // Rebuilds the object list and the rows for the designer's selection.
    void Rebuild();

    QComboBox* ObjectList() const { return m_objectList; }
    TPropSelection* SelectionStrip() const { return m_strip; }
    TPropListBox* List() const { return m_list; }
    QMenu* LocalMenu() const { return m_menu; }
    QAction* MenuAction(const QString& objectName) const;
    // The editors' surroundings; tests replace its dialogs.
    TPropertyContext& Context() { return m_context; }

Q_SIGNALS:
    void HideRequested();
    void StayOnTopToggled(bool onTop);
    void HelpRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void selectionHandedOver();
    void editorDone();
    void objectChosen(const QString& name);
    void showLocalMenu(const QPoint& globalPos);
    void placeStrip();

    TQRVDesigner& m_designer;
    TPropertyContext m_context;
    QComboBox* m_objectList;
    TPropSelection* m_strip;
    TPropListBox* m_list;
    QMenu* m_menu;
    bool m_rebuildPending = false;
    bool m_rebuilding = false;
};
