#include "model/edits.h"

#include <QSet>
#include <QVariant>

#include <memory>

#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/designer_link.h"
#include "model/interfaces.h"
#include "model/places.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

namespace {

// One object of a step: where it stands in the object list, its name (so that
// the object found there can be checked to be the one meant) and its element
// of the net file.
struct TObjectRecord
{
    int Index = -1;
    QString Name;
    QByteArray Xml;
};

QByteArray ElementText(const TQRVObject& object)
{
    const auto* storable = dynamic_cast<const IQRVStorable*>(&object);
    if (!storable)
        return QByteArray();
    TqibXMLNode element(QStringLiteral("object"));
    element.AddAttribute(QStringLiteral("class"), object.ClassName());
    storable->SaveToXml(element);
    return element.AsXml(0).toUtf8();
}

// The elements of records read back from their texts, in one go. The texts
// are completed into a whole net (the list of charts at its end), so that
// they read as any net file does.
class TParsedElements
{
public:
    explicit TParsedElements(const std::vector<TObjectRecord>& records)
    {
        if (records.empty())
            return;
        qsizetype size = 0;
        for (const TObjectRecord& r : records)
            size += r.Xml.size();
        QString text;
        text.reserve(size + 16);
        for (const TObjectRecord& r : records)
            text += QString::fromUtf8(r.Xml);
        text += QStringLiteral("<simulate />\r\n");
        m_tree.SetText(text);
        const QList<TqibXMLNode*>& nodes = m_tree.Nodes();
        bool whole = nodes.size() == static_cast<qsizetype>(records.size()) + 1;
        for (qsizetype i = 0; whole && i + 1 < nodes.size(); ++i)
            whole = nodes.at(i)->Name == QLatin1String("object");
        if (!whole)
            throw TNetFileError(QStringLiteral("a recorded object cannot be read back"));
    }
    const TqibXMLNode& Element(size_t i) const { return *m_tree.Nodes().at(static_cast<qsizetype>(i)); }

private:
    TqibXMLTree m_tree;
};

// A new object of the element's class, read from it (still marked loading).
TQRVObject* CreateFromElement(TQRVDesigner& designer, const TqibXMLNode& element)
{
    const QString className = RequiredAttribute(element, QStringLiteral("class")).Value;
    const TQRVClassInfo* cls = TQRVClassRegistry::Instance().Find(className);
    if (!cls || !cls->Create)
        ThrowElementError(element, QStringLiteral("the class \"%1\" is unknown").arg(className));
    TQRVObject* object = cls->Create(&designer);
    auto* storable = dynamic_cast<IQRVStorable*>(object);
    object->IncludeState(osLoading);
    try {
        if (!storable)
            ThrowElementError(element, QStringLiteral("this kind of object is not stored"));
        storable->LoadFromXml(element);
    } catch (...) {
        delete object;
        throw;
    }
    return object;
}

void SetValueDirect(TclsNode* place, double value)
{
    if (auto* d = qobject_cast<TclsNodeDiscrete*>(place))
        d->SetTokensDirect(value);
    else if (auto* c = qobject_cast<TclsNodeContinuous*>(place))
        c->SetLevelDirect(value);
}

QString ObjectsCaption(const QString& verb, const QList<TQRVObject*>& objects)
{
    if (objects.size() == 1 && objects.first())
        return verb + QLatin1Char(' ') + objects.first()->Name();
    return QStringLiteral("%1 %2 Objects").arg(verb).arg(objects.size());
}

} // namespace

// ---- one step of the history --------------------------------------------------------

class TNetStep : public QUndoCommand
{
public:
    explicit TNetStep(TQRVEdits& edits) : m_edits(edits) {}

    void undo() override { m_edits.m_applyFailed = !m_edits.apply(*this, false, m_edits.m_applyError); }
    void redo() override
    {
        // The change was made before the step was pushed.
        if (m_pushed) {
            m_pushed = false;
            return;
        }
        m_edits.m_applyFailed = !m_edits.apply(*this, true, m_edits.m_applyError);
    }

    qint64 Bytes() const
    {
        qint64 n = sizeof(*this) + 2 * text().size();
        for (const auto* list : {&Removed, &Added, &Before, &After})
            for (const TObjectRecord& r : *list)
                n += sizeof(r) + r.Xml.size() + 2 * r.Name.size();
        for (const QStringList* graphs : {&GraphsBefore, &GraphsAfter})
            for (const QString& g : *graphs)
                n += 2 * g.size() + 8;
        n += static_cast<qint64>((SelectBefore.size() + SelectAfter.size()) * sizeof(int));
        return n;
    }

    // In the object list before the step (ascending index): objects it destroyed.
    std::vector<TObjectRecord> Removed;
    // In the object list after the step (ascending index): objects it created.
    std::vector<TObjectRecord> Added;
    // Objects that stayed, as they were before (index before) and after (index after).
    std::vector<TObjectRecord> Before;
    std::vector<TObjectRecord> After;
    bool GraphsChanged = false;
    QStringList GraphsBefore;
    QStringList GraphsAfter;
    // The objects to select when the net returns to the state before or after.
    std::vector<int> SelectBefore;
    std::vector<int> SelectAfter;

private:
    TQRVEdits& m_edits;
    bool m_pushed = true;
};

// ---- the open step -----------------------------------------------------------------------

struct TQRVEdits::TOpenStep
{
    QString Caption;
    int Depth = 1;
    // The object list when the step began, by serial.
    std::vector<quint64> ListBefore;
    // Objects as they were before the step changed them, by serial (the
    // index is found when the step ends).
    QHash<quint64, TObjectRecord> Before;
    // The objects named by the code that changes the net: what the user acted on.
    QSet<quint64> Subjects;
    QStringList GraphsBefore;
};

TQRVEdits::TQRVEdits(TQRVDesigner& designer) : m_designer(designer)
{
    // Objects are rebuilt by their class names, as files are read.
    RegisterStandardClasses();
    // A long session keeps its last thousand steps.
    m_stack.setUndoLimit(1000);
    connect(&m_stack, &QUndoStack::canUndoChanged, this, &TQRVEdits::HistoryChanged);
    connect(&m_stack, &QUndoStack::canRedoChanged, this, &TQRVEdits::HistoryChanged);
    connect(&m_stack, &QUndoStack::undoTextChanged, this, &TQRVEdits::HistoryChanged);
    connect(&m_stack, &QUndoStack::redoTextChanged, this, &TQRVEdits::HistoryChanged);
    connect(&m_stack, &QUndoStack::cleanChanged, this, &TQRVEdits::updateClean);
}

TQRVEdits::~TQRVEdits()
{
    delete m_step;
}

// ---- recording ---------------------------------------------------------------------------

QList<TQRVObject*> TQRVEdits::withDependants(const QList<TQRVObject*>& objects) const
{
    QList<TQRVObject*> all;
    QSet<const TQRVObject*> seen;
    bool shapes = false;
    auto add = [&](TQRVObject* o) {
        if (o && o->Designer() == &m_designer && !seen.contains(o)) {
            seen.insert(o);
            all.append(o);
        }
    };
    for (TQRVObject* o : objects) {
        add(o);
        if (auto* node = qobject_cast<TQRVNode*>(o)) {
            add(node->Label());
            for (TclsLink* arc : node->AttachedArcs)
                add(arc);
        }
        if (qobject_cast<TQRVDesign*>(o))
            shapes = true;
    }
    // Connectors know their shapes, not the other way round.
    if (shapes)
        for (TQRVObject* o : m_designer.ObjectList())
            if (auto* link = qobject_cast<TclsDesignerLink*>(o))
                if (seen.contains(link->SourceObject()) || seen.contains(link->DestObject()))
                    add(link);
    return all;
}

void TQRVEdits::Begin(const QString& caption, const QList<TQRVObject*>& objects)
{
    if (m_step) {
        ++m_step->Depth;
        if (m_step->Caption.isEmpty())
            m_step->Caption = caption;
        Touch(objects);
        return;
    }
    m_step = new TOpenStep;
    m_step->Caption = caption;
    // Arcs take their ends' positions when regions are rebuilt: record them settled.
    m_designer.UpdateRegions();
    const auto& list = m_designer.ObjectList();
    m_step->ListBefore.reserve(list.size());
    for (const TQRVObject* o : list)
        m_step->ListBefore.push_back(o->Serial());
    m_step->GraphsBefore = m_designer.Graphs;
    Touch(objects);
}

void TQRVEdits::Touch(const QList<TQRVObject*>& objects)
{
    if (!m_step)
        return;
    for (const TQRVObject* o : objects)
        if (o)
            m_step->Subjects.insert(o->Serial());
    for (const TQRVObject* o : withDependants(objects))
        if (!m_step->Before.contains(o->Serial()))
            m_step->Before.insert(o->Serial(), TObjectRecord{-1, o->Name(), ElementText(*o)});
}

void TQRVEdits::NameStep(const QString& caption)
{
    if (m_step)
        m_step->Caption = caption;
}

void TQRVEdits::ObjectDestroying(TQRVObject* object)
{
    if (!m_step || !object)
        return;
    // An object the step did not expect to change is recorded as it was, and
    // so are its arcs and label before they learn that it goes.
    QList<TQRVObject*> objects = withDependants({object});
    if (!objects.contains(object))
        objects.prepend(object);
    for (const TQRVObject* o : objects)
        if (!m_step->Before.contains(o->Serial()))
            m_step->Before.insert(o->Serial(), TObjectRecord{-1, o->Name(), ElementText(*o)});
}

void TQRVEdits::Commit()
{
    if (!m_step)
        return;
    if (--m_step->Depth > 0)
        return;
    finish(true);
}

void TQRVEdits::Abort()
{
    if (m_step)
        finish(false);
}

TNetStep* TQRVEdits::record(bool& complete)
{
    complete = true;
    m_designer.UpdateRegions();
    const TOpenStep& open = *m_step;
    const auto& now = m_designer.ObjectList();
    QHash<quint64, int> after;
    after.reserve(static_cast<qsizetype>(now.size()));
    for (size_t j = 0; j < now.size(); ++j)
        after.insert(now[j]->Serial(), static_cast<int>(j));
    QSet<quint64> before;
    before.reserve(static_cast<qsizetype>(open.ListBefore.size()));

    auto step = std::make_unique<TNetStep>(*this);
    for (size_t i = 0; i < open.ListBefore.size(); ++i) {
        const quint64 serial = open.ListBefore[i];
        before.insert(serial);
        const auto recorded = open.Before.constFind(serial);
        const auto found = after.constFind(serial);
        if (found == after.constEnd()) {
            if (recorded == open.Before.constEnd() || recorded->Xml.isEmpty()) {
                complete = false;
                continue;
            }
            TObjectRecord r = *recorded;
            r.Index = static_cast<int>(i);
            if (open.Subjects.contains(serial))
                step->SelectBefore.push_back(r.Index);
            step->Removed.push_back(std::move(r));
            continue;
        }
        const bool subject = open.Subjects.contains(serial);
        if (subject) {
            step->SelectBefore.push_back(static_cast<int>(i));
            step->SelectAfter.push_back(found.value());
        }
        if (recorded == open.Before.constEnd())
            continue;
        const TQRVObject* o = now[static_cast<size_t>(found.value())];
        QByteArray xml = ElementText(*o);
        if (xml == recorded->Xml)
            continue;
        TObjectRecord b = *recorded;
        b.Index = static_cast<int>(i);
        step->Before.push_back(std::move(b));
        step->After.push_back(TObjectRecord{found.value(), o->Name(), std::move(xml)});
    }
    for (size_t j = 0; j < now.size(); ++j) {
        const TQRVObject* o = now[j];
        if (before.contains(o->Serial()))
            continue;
        TObjectRecord r{static_cast<int>(j), o->Name(), ElementText(*o)};
        if (r.Xml.isEmpty())
            complete = false;
        step->SelectAfter.push_back(r.Index);
        step->Added.push_back(std::move(r));
    }
    if (m_designer.Graphs != open.GraphsBefore) {
        step->GraphsChanged = true;
        step->GraphsBefore = open.GraphsBefore;
        step->GraphsAfter = m_designer.Graphs;
    }
    if (step->Removed.empty() && step->Added.empty() && step->Before.empty() && !step->GraphsChanged)
        return nullptr;
    return step.release();
}

QString TQRVEdits::defaultCaption(const TNetStep& step) const
{
    auto nameOf = [](const TObjectRecord& r) { return r.Name; };
    if (!step.Added.empty())
        return QStringLiteral("Create ") + nameOf(step.Added.front());
    if (!step.Removed.empty())
        return QStringLiteral("Delete ") + nameOf(step.Removed.front());
    if (!step.After.empty())
        return QStringLiteral("Change ") + nameOf(step.After.front());
    return QStringLiteral("Change");
}

void TQRVEdits::finish(bool keep)
{
    bool complete = true;
    std::unique_ptr<TNetStep> step(record(complete));
    const QString caption = m_step->Caption;
    delete m_step;
    m_step = nullptr;
    if (!keep) {
        QString error;
        if (step && !apply(*step, false, error))
            m_designer.ShowError(error);
        return;
    }
    if (!complete) {
        // An object that is not stored in net files went: the history before
        // it no longer fits the net. The net is changed all the same.
        m_stack.clear();
        setUnrecorded(true);
        return;
    }
    if (!step)
        return;
    step->setText(caption.isEmpty() ? defaultCaption(*step) : caption);
    m_stack.push(step.release());
}

// ---- applying a step ------------------------------------------------------------------

bool TQRVEdits::apply(const TNetStep& step, bool forwards, QString& error)
{
    const auto& drop = forwards ? step.Removed : step.Added;
    const auto& bring = forwards ? step.Added : step.Removed;
    const auto& from = forwards ? step.Before : step.After;
    const auto& to = forwards ? step.After : step.Before;
    const QString mismatch = QStringLiteral("The net was changed outside the edit history, so this step "
                                            "cannot be undone; the history was cleared.");

    // The objects the step expects, where it expects them.
    auto expected = [this](const TObjectRecord& r) -> TQRVObject* {
        TQRVObject* o = m_designer.Objects(r.Index);
        return o && o->Name() == r.Name ? o : nullptr;
    };
    QSet<TQRVObject*> dropped;
    for (const TObjectRecord& r : drop) {
        TQRVObject* o = expected(r);
        if (!o) {
            error = mismatch;
            return false;
        }
        dropped.insert(o);
    }
    QList<TQRVObject*> changed;
    for (const TObjectRecord& r : from) {
        TQRVObject* o = expected(r);
        if (!o) {
            error = mismatch;
            return false;
        }
        changed.append(o);
    }

    // Everything is read before anything changes: a record that cannot be
    // read leaves the net as it is. Objects read their state exactly.
    std::unique_ptr<TParsedElements> states;
    std::vector<TQRVObject*> created;
    const bool restoring = m_designer.Restoring();
    m_designer.SetRestoring(true);
    try {
        const TParsedElements brought(bring);
        for (size_t k = 0; k < bring.size(); ++k)
            created.push_back(CreateFromElement(m_designer, brought.Element(k)));
        states = std::make_unique<TParsedElements>(to);
        // Each state is read into a spare object of its class first.
        QHash<QString, TQRVObject*> spares;
        try {
            for (size_t k = 0; k < to.size(); ++k) {
                const TqibXMLNode& element = states->Element(k);
                const QString className = RequiredAttribute(element, QStringLiteral("class")).Value;
                TQRVObject*& spare = spares[className];
                if (!spare) {
                    const TQRVClassInfo* cls = TQRVClassRegistry::Instance().Find(className);
                    spare = cls ? cls->Create(&m_designer) : nullptr;
                }
                if (auto* storable = dynamic_cast<IQRVStorable*>(spare)) {
                    spare->IncludeState(osLoading);
                    storable->LoadFromXml(element);
                }
            }
        } catch (...) {
            qDeleteAll(spares);
            throw;
        }
        qDeleteAll(spares);
    } catch (const std::exception& e) {
        m_designer.SetRestoring(restoring);
        qDeleteAll(created);
        error = QStringLiteral("This step cannot be undone (%1); the history was cleared.")
                    .arg(QString::fromUtf8(e.what()));
        return false;
    }

    const bool updating = m_designer.Updating();
    m_designer.SetUpdating(true);
    m_designer.RemoveObjects(dropped);
    for (size_t k = 0; k < bring.size(); ++k)
        m_designer.InsertObjectAt(created[k], bring[k].Index);
    for (TQRVObject* o : changed)
        m_designer.UnindexName(o);
    for (qsizetype k = 0; k < changed.size(); ++k) {
        TQRVObject* o = changed[k];
        o->IncludeState(osLoading);
        dynamic_cast<IQRVStorable*>(o)->LoadFromXml(states->Element(static_cast<size_t>(k)));
    }
    for (TQRVObject* o : changed)
        m_designer.IndexName(o);
    if (step.GraphsChanged)
        m_designer.Graphs = forwards ? step.GraphsAfter : step.GraphsBefore;
    m_designer.SetRestoring(restoring);
    m_designer.SetUpdating(updating);

    // References by name are resolved once every name is in place.
    QList<TQRVObject*> touched(created.begin(), created.end());
    touched += changed;
    for (TQRVObject* o : touched) {
        o->ExcludeState(osLoading);
        o->Loaded();
        o->IncludeState(osDirty);
        if (auto* node = qobject_cast<TQRVNode*>(o))
            node->MarkArcsDirty();
    }
    m_designer.NamesChanged();

    QList<TQRVObject*> selection;
    for (int index : forwards ? step.SelectAfter : step.SelectBefore)
        if (TQRVObject* o = m_designer.Objects(index))
            selection.append(o);
    m_designer.SetSelection(selection);
    m_designer.Modified();
    return true;
}

void TQRVEdits::checkFailed()
{
    if (!m_applyFailed)
        return;
    m_applyFailed = false;
    m_stack.clear();
    // Whatever changed the net behind the history's back is unsaved.
    setUnrecorded(true);
    m_designer.ShowError(m_applyError);
}

void TQRVEdits::setUnrecorded(bool value)
{
    m_unrecorded = value;
    updateClean();
}

void TQRVEdits::updateClean()
{
    const bool clean = IsClean();
    if (clean == m_clean)
        return;
    m_clean = clean;
    Q_EMIT CleanChanged(clean);
}

void TQRVEdits::SetClean()
{
    m_stack.setClean();
    setUnrecorded(false);
}

// ---- the history -----------------------------------------------------------------------

void TQRVEdits::Undo()
{
    m_designer.FinishGesture();
    while (m_step)
        finish(true);
    if (!m_stack.canUndo())
        return;
    m_stack.undo();
    checkFailed();
}

void TQRVEdits::Redo()
{
    m_designer.FinishGesture();
    while (m_step)
        finish(true);
    if (!m_stack.canRedo())
        return;
    m_stack.redo();
    checkFailed();
}

void TQRVEdits::Clear()
{
    delete m_step;
    m_step = nullptr;
    m_stack.clear();
    setUnrecorded(false);
}

qint64 TQRVEdits::HistoryBytes() const
{
    qint64 n = 0;
    for (int i = 0; i < m_stack.count(); ++i)
        if (const auto* step = dynamic_cast<const TNetStep*>(m_stack.command(i)))
            n += step->Bytes();
    return n;
}

// ---- one call per kind of change --------------------------------------------------------

bool TQRVEdits::Change(const QString& caption, const QList<TQRVObject*>& objects,
                       const std::function<void()>& change)
{
    const bool outermost = !m_step;
    const int count = m_stack.count();
    const int index = m_stack.index();
    Begin(caption, objects);
    try {
        change();
    } catch (...) {
        Abort();
        throw;
    }
    Commit();
    return !outermost || m_stack.count() != count || m_stack.index() != index;
}

void TQRVEdits::Delete(const QList<TQRVObject*>& objects, const QString& caption)
{
    if (objects.isEmpty())
        return;
    const QList<TQRVObject*> doomed = objects;
    Change(caption.isEmpty() ? ObjectsCaption(QStringLiteral("Delete"), doomed) : caption, doomed,
           [&] { m_designer.DeleteObjects(doomed); });
}

void TQRVEdits::MoveBy(const QList<TQRVObject*>& list, double dx, double dy)
{
    if (list.isEmpty() || (dx == 0 && dy == 0))
        return;
    // Our own copy: the list handed in may be the selection itself, which
    // changes below.
    const QList<TQRVObject*> objects = list;
    Change(ObjectsCaption(QStringLiteral("Move"), objects), objects, [&] {
        // Name labels among the objects move on their own, not again with their element.
        const QList<TQRVObject*> selection = m_designer.Selection();
        m_designer.SetSelection(objects);
        for (TQRVObject* o : objects)
            o->MoveBy(dx, dy);
        m_designer.SetSelection(selection);
        m_designer.Update();
    });
}

bool TQRVEdits::SetProperty(const QList<TQRVObject*>& objects, const char* name, const QVariant& value)
{
    bool changed = false;
    Change(QStringLiteral("Change ") + QString::fromLatin1(name), objects, [&] {
        for (TQRVObject* o : objects) {
            const QVariant old = o->property(name);
            o->setProperty(name, value);
            if (o->property(name) != old)
                changed = true;
        }
        m_designer.Update();
    });
    return changed;
}

QString TQRVEdits::Rename(TQRVObject* object, const QString& name)
{
    if (!object)
        return QString();
    QString error;
    Change(QStringLiteral("Rename ") + object->Name(), {object},
           [&] { error = m_designer.RenameObject(object, name); });
    return error;
}

void TQRVEdits::LeaveMarking(const QString& caption, const QList<QPair<TclsNode*, double>>& previous)
{
    QList<TQRVObject*> places;
    QList<double> marking;
    for (const auto& [place, value] : previous) {
        if (!place || place->Value() == value)
            continue;
        // The step records the places as they were, then writes the marking again.
        places.append(place);
        marking.append(place->Value());
        SetValueDirect(place, value);
    }
    if (places.isEmpty())
        return;
    Begin(caption);
    // Only the places: a marking moves no label and no arc.
    for (const TQRVObject* o : places) {
        m_step->Subjects.insert(o->Serial());
        if (!m_step->Before.contains(o->Serial()))
            m_step->Before.insert(o->Serial(), TObjectRecord{-1, o->Name(), ElementText(*o)});
    }
    for (qsizetype i = 0; i < places.size(); ++i)
        SetValueDirect(static_cast<TclsNode*>(places[i]), marking[i]);
    Commit();
    m_designer.Update();
}
