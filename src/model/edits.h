// The edit layer: every change to the net passes through here and becomes one
// step of the undo history (a QUndoCommand on a QUndoStack). Nothing else
// changes the net behind the user's back; what does not pass here cannot be
// undone, and the "*" of unsaved changes follows the history.
//
// One call per kind of change (each is one step, named in Edit, Undo):
//
//   TQRVEdits& edits = designer.Edits();
//   edits.Delete(objects);                        // with their arcs and name labels
//   edits.MoveBy(objects, dx, dy);                // model units; labels and arcs follow
//   edits.SetProperty(objects, "Tokens", 3);      // any published property
//   edits.Rename(object, "p9");                   // returns the message for an unusable name
//   edits.LeaveMarking(caption, previous);        // a marking an analysis left in the net
//   edits.Change(caption, objects, [&] { ... });  // anything else
//
// Change() is the general form: the function may change `objects` (and their
// name labels, arcs and connectors, which are recorded with them), and may
// create and destroy objects of its own accord (through the container, as
// creating and deleting always do). If it throws, the net is put back as it
// was and the exception goes on. Pasting goes through net_fragment.h.
//
// Steps that span several events (a drag, placing an arc, the formula
// dialog) open with Begin(), name what they will change with Touch() before
// changing it, and end with Commit(); Abort() puts the net back. Steps nest:
// a step begun inside another joins it. A step that changed nothing leaves no
// trace.
//
// How a step is kept: each object it touched is stored as its own element of
// the net file before and after, with its place in the object list; created
// and destroyed objects likewise. Undo and redo rebuild exactly those objects,
// so a step costs what it touched, not the size of the net.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QUndoStack>

#include <functional>
#include <vector>

class QVariant;
class TQRVDesigner;
class TQRVObject;
class TclsNode;
class TNetStep;

class TQRVEdits : public QObject
{
    Q_OBJECT

public:
    explicit TQRVEdits(TQRVDesigner& designer);
    ~TQRVEdits() override;

    // ---- one call per kind of change --------------------------------------------
    // Deletes the objects with the arcs and name labels that go with them.
    void Delete(const QList<TQRVObject*>& objects, const QString& caption = QString());
    // Moves the objects by (dx, dy) model units; name labels not among them
    // move with their places and transitions, arcs follow their ends.
    void MoveBy(const QList<TQRVObject*>& objects, double dx, double dy);
    // Writes a published property of every object; false when nothing changed.
    bool SetProperty(const QList<TQRVObject*>& objects, const char* name, const QVariant& value);
    // Renames an object; the message for an unusable name, empty on success.
    QString Rename(TQRVObject* object, const QString& name);
    // The places hold a marking an analysis wrote into them; `previous` holds
    // the token counts (levels) they had before. One step from those to the
    // marking they hold now.
    void LeaveMarking(const QString& caption, const QList<QPair<TclsNode*, double>>& previous);
    // Anything else: `change` changes `objects` (see above); true when the net changed.
    bool Change(const QString& caption, const QList<TQRVObject*>& objects,
                const std::function<void()>& change);

    // ---- steps over several events -----------------------------------------------
    void Begin(const QString& caption, const QList<TQRVObject*>& objects = {});
    // Records the objects (and their dependants) as they are now, before the
    // open step changes them. Objects recorded before are left alone.
    void Touch(const QList<TQRVObject*>& objects);
    // Names the open step (an empty caption is named after what it did).
    void NameStep(const QString& caption);
    bool StepOpen() const { return m_step != nullptr; }
    // Ends the open step (the outermost one: then it becomes one step of the history).
    void Commit();
    // Ends the open step and puts the net back as it was when it began.
    void Abort();

    // ---- the history -----------------------------------------------------------------
    // Ends a gesture under way (an arc being placed is cancelled), then undoes.
    void Undo();
    void Redo();
    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }
    QString UndoText() const { return m_stack.undoText(); }
    QString RedoText() const { return m_stack.redoText(); }
    int Count() const { return m_stack.count(); }
    // Whether the net is as it was when last marked clean (saved or opened).
    bool IsClean() const { return m_stack.isClean() && !m_unrecorded; }
    void SetClean();
    // Forgets the history (New, Open); an open step is dropped as it is.
    void Clear();
    // The memory the history holds, in bytes (an estimate that counts its texts).
    qint64 HistoryBytes() const;

    // Used by the container: an object of the net is about to be destroyed.
    void ObjectDestroying(TQRVObject* object);

Q_SIGNALS:
    // Undo or redo became possible or impossible, or their texts changed.
    void HistoryChanged();
    void CleanChanged(bool clean);

private:
    struct TOpenStep;
    friend class TNetStep;

    // The objects with what changes when they change: name labels, arcs, connectors.
    QList<TQRVObject*> withDependants(const QList<TQRVObject*>& objects) const;
    void finish(bool keep);
    // Turns the open step into a command; none when nothing changed. `complete`
    // is false when the step cannot be recorded (an object went unrecorded).
    TNetStep* record(bool& complete);
    QString defaultCaption(const TNetStep& step) const;
    // Rebuilds the net as the step left it (forwards) or found it. False when
    // the net is not the one the step expects; then nothing was changed.
    bool apply(const TNetStep& step, bool forwards, QString& error);
    // After Undo/Redo: a step that could not be applied ends the history.
    void checkFailed();
    // A change the history could not keep: the net counts as changed until saved.
    void setUnrecorded(bool value);
    void updateClean();

    TQRVDesigner& m_designer;
    QUndoStack m_stack;
    TOpenStep* m_step = nullptr;
    bool m_applyFailed = false;
    QString m_applyError;
    bool m_unrecorded = false;
    bool m_clean = true;
};
