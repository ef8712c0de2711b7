// The net container: owns the objects of the one open net, names them, finds
// them by name and by position, keeps the selection and the view (scale and
// scroll), and turns mouse and key input into editing. It never sees a widget:
// the drawing surface and the inspector listen to its signals.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "model/qrv_object.h"

struct TQRVClassInfo;
class TclsLink;
class TQRVEdits;

class TQRVDesigner : public QObject
{
    Q_OBJECT

public:
    TQRVDesigner();
    ~TQRVDesigner() override;

    // ---- the object list ---------------------------------------------------
    int ObjectCount() const { return static_cast<int>(m_objects.size()); }
    TQRVObject* Objects(int index) const;
    const std::vector<TQRVObject*>& ObjectList() const { return m_objects; }
    // Case-insensitive lookup through the name index; none if absent.
    TQRVObject* FindObject(const QString& name) const;
    // The last object in list order whose hit region holds the screen point.
    TQRVObject* ObjectAt(double x, double y) const;
    int IndexOf(const TQRVObject* object) const;

    // Appends an object to the list (it takes ownership). The name must be unique.
    void InsertObject(TQRVObject* object);
    // Destroys one object now, telling the others first.
    void DestroyObject(TQRVObject* object);
    // Moves every object of `other` to the end of this list, emptying `other`.
    void TakeObjectsFrom(TQRVDesigner& other);

    // ---- the edit layer ------------------------------------------------------
    // Every change the user makes goes through here, as one step of the
    // history (see edits.h). The container's own operations below change the
    // net without recording anything: they serve the edit layer, file reading
    // and tests.
    TQRVEdits& Edits() const { return *m_edits; }
    // Ends a gesture under way: a drag or a handle is let go where the mouse
    // was last, an arc being placed is cancelled; its step is recorded.
    void FinishGesture();

    // Used by the edit layer when it rebuilds the net of a step: puts an
    // object at `index` under its own name, removes objects without telling
    // anybody but the arcs and connectors that end at them, and takes names
    // out of the index and back while objects read their recorded state.
    void InsertObjectAt(TQRVObject* object, int index);
    void RemoveObjects(const QSet<TQRVObject*>& objects);
    void UnindexName(TQRVObject* object);
    void IndexName(TQRVObject* object);
    // Names or objects changed: formulas look their names up again.
    void NamesChanged();
    // While set, objects read their recorded state exactly (arc points do not snap).
    bool Restoring() const { return m_restoring; }
    void SetRestoring(bool value) { m_restoring = value; }

    // ---- naming --------------------------------------------------------------
    QString UniqueName(const QString& prefix) const;
    // Renames an object; returns the message for an unusable name, empty on success.
    QString RenameObject(TQRVObject* object, const QString& name);
    static bool IsValidName(const QString& name);
    // Counts renames, creations and deletions: formulas re-resolve names when it moves.
    quint64 NamesGeneration() const { return m_namesGeneration; }

    // ---- creation and deletion ---------------------------------------------
    TQRVObject* CreateObject(const TQRVClassInfo* cls, double left, double top, double width, double height);
    // Deletes the selection through the edit layer (one step).
    void DeleteSelected();
    // Destroys the objects with the arcs that end at them and the name labels
    // of places and transitions, then updates.
    void DeleteObjects(const QList<TQRVObject*>& objects);
    void DeleteAll();
    // Empties the container for a new or loaded net, and forgets the history.
    void ClearNet();

    // ---- selection -----------------------------------------------------------
    const QList<TQRVObject*>& Selection() const { return m_selection; }
    bool IsSelected(const TQRVObject* object) const;
    void SelectObject(TQRVObject* object);
    void SetSelection(const QList<TQRVObject*>& objects);
    void ClearSelection();
    // Updates, then hands the current selection to the inspector.
    void Modified();

    // ---- view ----------------------------------------------------------------
    double Scale() const { return m_scale; }
    int ScrollX() const { return m_scrollX; }
    int ScrollY() const { return m_scrollY; }
    void SetScale(double value);
    void SetScroll(int x, int y);
    double SnapX(double v) const;
    double SnapY(double v) const;
    double ToScreenX(double modelX) const { return modelX * m_scale - m_scrollX; }
    double ToScreenY(double modelY) const { return modelY * m_scale - m_scrollY; }
    double ToModelX(double screenX) const { return (screenX + m_scrollX) / m_scale; }
    double ToModelY(double screenY) const { return (screenY + m_scrollY) / m_scale; }
    void MarkAllDirty();
    // Rebuilds the regions of dirty objects, then repaints (not while Updating).
    void Update();
    // Only the rebuilding of dirty objects' regions (not while Updating).
    void UpdateRegions();
    // Asks the drawing surface to repaint.
    void Paint();
    // Draws every object in list order (what the surface, exports and the clipboard show).
    // With a `visible` screen area, objects whose hit region lies well outside it are
    // left out: the surface of a large net repaints only what it shows.
    void DrawObjects(QPainter& painter, const QRect& visible = QRect()) const;
    // Width and height of the net: the largest right and bottom edges, rounded.
    QSize NetExtent() const;

    // ---- analyses ----------------------------------------------------------------
    // Rebuilds the arc lists of every place and transition (and sets the
    // transitions' FireCount to 0) in one pass over the net, as each node's
    // RebuildArcLists would. `accept` filters arcs (all when empty).
    void RebuildArcLists(bool (*accept)(const TclsLink*, void*) = nullptr, void* context = nullptr);

    // ---- flags -----------------------------------------------------------------
    bool Updating() const { return m_updating; }
    void SetUpdating(bool value) { m_updating = value; }
    bool Simulating() const { return m_simulating; }
    void SetSimulating(bool value) { m_simulating = value; }
    QStringList Graphs;

    // Unsaved edits of the user (shown as "*" in the caption): the net is not
    // where the history was last marked clean (saved or opened).
    bool IsChanged() const;

    // ---- mouse and keys (screen pixels) -------------------------------------
    TQRVObject* Capture() const { return m_capture; }
    void SetCapture(TQRVObject* object) { m_capture = object; }
    // The rubber band as pressed and dragged (corners in that order), screen pixels.
    QPoint RubberBandStart() const { return m_bandStart; }
    QPoint RubberBandEnd() const { return m_bandEnd; }
    bool RubberBandActive() const { return m_bandActive; }
    // The band normalised (a band dragged leftwards or upwards selects too).
    QRect RubberBandRect() const;
    // Whether the selection is being dragged, and the model position where the
    // drag began (model terms, so scrolling or zooming during it moves nothing).
    bool DragActive() const { return m_dragActive; }
    QPointF DragOrigin() const { return m_dragOrigin; }
    // The class a click creates (chosen in the palette), or none for selection mode.
    const TQRVClassInfo* CreationClass() const { return m_creationClass; }
    void SetCreationClass(const TQRVClassInfo* cls) { m_creationClass = cls; }
    // Modifier keys held during the current mouse event (the marker reads Ctrl).
    Qt::KeyboardModifiers Modifiers() const { return m_modifiers; }
    void SetModifiers(Qt::KeyboardModifiers m) { m_modifiers = m; }

    void LeftButtonDown(double x, double y);
    void MouseMoveTo(double x, double y);
    void LeftButtonUp(double x, double y);
    void RightButtonDown(double x, double y);
    // Returns true when the key was handled (Delete, F11).
    bool KeyDown(int key);

    // ---- messages --------------------------------------------------------------
    using Reporter = std::function<void(const QString&)>;
    // Messages to the user go through the reporter: a message box in the
    // program, a line on stderr in the command line, a list in tests.
    void SetErrorReporter(Reporter reporter) { m_reporter = std::move(reporter); }
    void ShowError(const QString& text) const;

    // Name services for the inspector and for properties that refer to objects.
    // The names of the objects of a class (all objects when none), in list order.
    QStringList GetComponentNames(const QMetaObject* cls = nullptr) const;
    // The object of a name; a dotted name ("surface.p1") names the object by
    // its second part. None for an unknown name.
    TQRVObject* GetComponent(const QString& name) const;
    // An object's name; empty for none.
    QString GetComponentName(const TQRVObject* object) const;
    // The name of anything the inspector shows: an object's name, the path of
    // a sub-object ("p1.Cost"), or "Error" for anything else.
    QString GetObjectName(const QObject* item) const;

Q_SIGNALS:
    // The drawing surface should repaint.
    void PaintRequested();
    // The inspector should show the current selection.
    void SelectionHandedOver();
    // Objects were added, deleted or renamed.
    void ObjectsChanged();
    // The palette should return to the pointer.
    void PaletteResetRequested();
    // F11: show or hide the inspector.
    void InspectorToggleRequested();
    void ChangedStateChanged(bool changed);

private:
    void destroyDoomed();
    void removeFromIndex(TQRVObject* object);
    // The mouse gestures' steps of the edit layer: a press begins one (or
    // joins the one open), and it ends once no drag and no capture are left.
    void beginGesture(const QString& caption, const QList<TQRVObject*>& objects);
    void endGestureIfIdle();
    void destroyPlacing();
    // The selection is a list (in selection order) and a set (for IsSelected).
    void clearSelectionList();
    void addToSelection(TQRVObject* object);
    void dropFromSelection(TQRVObject* object);

    std::vector<TQRVObject*> m_objects;
    QHash<QString, TQRVObject*> m_byName; // keyed by the case-folded name
    QList<TQRVObject*> m_selection;
    QSet<const TQRVObject*> m_selected;
    TQRVObject* m_capture = nullptr;
    QPoint m_bandStart;
    QPoint m_bandEnd;
    bool m_bandActive = false;
    bool m_dragActive = false;
    QPointF m_dragOrigin;
    bool m_updating = false;
    bool m_simulating = false;
    bool m_restoring = false;
    bool m_gesture = false;
    QPointF m_lastMouse;
    double m_scale = 1.0;
    int m_scrollX = 0;
    int m_scrollY = 0;
    quint64 m_namesGeneration = 0;
    const TQRVClassInfo* m_creationClass = nullptr;
    Qt::KeyboardModifiers m_modifiers;
    Reporter m_reporter;
    std::unique_ptr<TQRVEdits> m_edits;
};

// Case folding used by every name comparison of the net.
inline QString NameKey(const QString& name)
{
    return name.toUpper();
}
