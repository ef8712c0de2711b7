#include "model/designer.h"

#include <QMetaProperty>
#include <QPainter>
#include <QTextStream>

#include <algorithm>
#include <cmath>

#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/edits.h"
#include "model/name_label.h"
#include "model/node.h"
#include "model/numbers.h"
#include "model/text.h"

TQRVDesigner::TQRVDesigner() : m_edits(std::make_unique<TQRVEdits>(*this))
{
    connect(m_edits.get(), &TQRVEdits::CleanChanged, this,
            [this](bool clean) { Q_EMIT ChangedStateChanged(!clean); });
}

TQRVDesigner::~TQRVDesigner()
{
    DeleteAll();
}

TQRVObject* TQRVDesigner::Objects(int index) const
{
    if (index < 0 || index >= ObjectCount())
        return nullptr;
    return m_objects[static_cast<size_t>(index)];
}

TQRVObject* TQRVDesigner::FindObject(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    return m_byName.value(NameKey(name), nullptr);
}

TQRVObject* TQRVDesigner::ObjectAt(double x, double y) const
{
    const QPoint p(static_cast<int>(RoundHalfEven(x)), static_cast<int>(RoundHalfEven(y)));
    // Arcs are picked along their lines too, not only at their handles; a
    // place or transition under the line keeps the click.
    TQRVObject* onLine = nullptr;
    for (auto it = m_objects.rbegin(); it != m_objects.rend(); ++it) {
        if ((*it)->GetRegion().contains(p))
            return onLine && !qobject_cast<const TQRVNode*>(*it) ? onLine : *it;
        if (!onLine)
            if (const auto* link = qobject_cast<const TQRVLinkBase*>(*it);
                link && link->NearLine(x, y, TQRVLinkBase::LineHitDistance))
                onLine = *it;
    }
    return onLine;
}

int TQRVDesigner::IndexOf(const TQRVObject* object) const
{
    auto it = std::find(m_objects.begin(), m_objects.end(), object);
    return it == m_objects.end() ? -1 : static_cast<int>(it - m_objects.begin());
}

void TQRVDesigner::InsertObject(TQRVObject* object)
{
    object->SetDesignerDirect(this);
    QString name = object->Name();
    QString key = NameKey(name);
    if (name.isEmpty() || m_byName.contains(key)) {
        name = UniqueName(object->GetNamePrefix());
        object->SetNameDirect(name);
        key = NameKey(name);
    }
    m_objects.push_back(object);
    m_byName.insert(key, object);
    ++m_namesGeneration;
    Q_EMIT ObjectsChanged();
}

void TQRVDesigner::removeFromIndex(TQRVObject* object)
{
    auto it = m_byName.find(NameKey(object->Name()));
    if (it != m_byName.end() && it.value() == object)
        m_byName.erase(it);
}

void TQRVDesigner::DestroyObject(TQRVObject* object)
{
    if (!object)
        return;
    auto it = std::find(m_objects.begin(), m_objects.end(), object);
    if (it == m_objects.end())
        return;
    // Take it out of the list first, so that what it destroys on its way
    // (its name label) cannot reach it again.
    m_objects.erase(it);
    removeFromIndex(object);
    dropFromSelection(object);
    if (m_capture == object)
        m_capture = nullptr;
    m_edits->ObjectDestroying(object);
    object->Destroying();
    for (size_t i = 0; i < m_objects.size(); ++i)
        m_objects[i]->Notification(object);
    delete object;
    ++m_namesGeneration;
    Q_EMIT ObjectsChanged();
}

void TQRVDesigner::InsertObjectAt(TQRVObject* object, int index)
{
    object->SetDesignerDirect(this);
    index = std::clamp(index, 0, ObjectCount());
    m_objects.insert(m_objects.begin() + index, object);
    m_byName.insert(NameKey(object->Name()), object);
}

void TQRVDesigner::RemoveObjects(const QSet<TQRVObject*>& objects)
{
    if (objects.isEmpty())
        return;
    std::vector<TQRVObject*> kept;
    kept.reserve(m_objects.size());
    for (TQRVObject* o : m_objects)
        if (!objects.contains(o))
            kept.push_back(o);
    m_objects.swap(kept);
    for (TQRVObject* o : objects) {
        removeFromIndex(o);
        m_selected.remove(o);
        if (m_capture == o)
            m_capture = nullptr;
    }
    m_selection.removeIf([&objects](TQRVObject* o) { return objects.contains(o); });
    // Links that stay must not keep an end that goes.
    for (TQRVObject* o : m_objects)
        if (auto* link = qobject_cast<TQRVLinkBase*>(o)) {
            if (objects.contains(link->SourceObject()))
                link->ForgetEnd(link->SourceObject());
            if (objects.contains(link->DestObject()))
                link->ForgetEnd(link->DestObject());
        }
    for (TQRVObject* o : objects)
        delete o;
}

void TQRVDesigner::UnindexName(TQRVObject* object)
{
    removeFromIndex(object);
}

void TQRVDesigner::IndexName(TQRVObject* object)
{
    m_byName.insert(NameKey(object->Name()), object);
}

void TQRVDesigner::NamesChanged()
{
    ++m_namesGeneration;
    Q_EMIT ObjectsChanged();
}

void TQRVDesigner::TakeObjectsFrom(TQRVDesigner& other)
{
    for (TQRVObject* o : other.m_objects)
        o->SetDesignerDirect(this);
    if (m_objects.empty()) {
        // A net read into an empty one: its index comes along as it is.
        m_objects.swap(other.m_objects);
        m_byName.swap(other.m_byName);
    } else {
        for (TQRVObject* o : other.m_objects) {
            m_objects.push_back(o);
            m_byName.insert(NameKey(o->Name()), o);
        }
    }
    other.m_objects.clear();
    other.m_byName.clear();
    other.clearSelectionList();
    other.m_capture = nullptr;
    ++other.m_namesGeneration;
    ++m_namesGeneration;
    Q_EMIT ObjectsChanged();
}

QString TQRVDesigner::UniqueName(const QString& prefix) const
{
    if (prefix.isEmpty())
        return QString();
    QString stem = prefix;
    if (stem.size() > 1 && stem.at(0) == u'T')
        stem.remove(0, 1);
    while (!stem.isEmpty() && stem.back().isDigit() && stem.back().unicode() < 128)
        stem.chop(1);
    for (int n = 1;; ++n) {
        const QString candidate = stem + QString::number(n);
        if (!m_byName.contains(NameKey(candidate)))
            return candidate;
    }
}

bool TQRVDesigner::IsValidName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        const bool digit = c >= u'0' && c <= u'9';
        if (!(letter || (digit && i > 0)))
            return false;
    }
    return true;
}

QString TQRVDesigner::RenameObject(TQRVObject* object, const QString& name)
{
    if (!object || name == object->Name())
        return QString();
    if (name.isEmpty())
        return QStringLiteral("a name cannot be empty");
    if (!IsValidName(name))
        return QStringLiteral("''%1'' is not a valid name: use letters, digits and _").arg(name);
    TQRVObject* other = FindObject(name);
    if (other && other != object)
        return QStringLiteral("a net element is already called ''%1''").arg(other->Name());
    // A name label that still shows the old name follows: the drawing shows
    // the new name and the label stays the element's. One the user retyped
    // stays as it is.
    TclsText* label = nullptr;
    if (qobject_cast<TQRVNode*>(object)) {
        label = qobject_cast<TclsText*>(NameLabel::Find(*object));
        const TQRVObject* taken = FindObject(QStringLiteral("Text") + name);
        if (label && (label->Text() != object->Name() || (taken && taken != label)))
            label = nullptr;
    }
    auto rename = [this](TQRVObject* o, const QString& to) {
        removeFromIndex(o);
        o->SetNameDirect(to);
        m_byName.insert(NameKey(to), o);
    };
    rename(object, name);
    if (label) {
        rename(label, NameLabel::LabelName(*object));
        label->SetText(name);
    }
    ++m_namesGeneration;
    Q_EMIT ObjectsChanged();
    return QString();
}

TQRVObject* TQRVDesigner::CreateObject(const TQRVClassInfo* cls, double left, double top, double width,
                                       double height)
{
    if (!cls || !cls->Create)
        return nullptr;
    ClearSelection();
    TQRVObject* object = cls->Create(this);
    // The scroll offset is in pixels; in model units it is divided by the scale.
    object->SetBounds(left + m_scrollX / m_scale, top + m_scrollY / m_scale, width, height);
    object->IncludeState(osPlacing);
    object->SetNameDirect(UniqueName(object->GetNamePrefix()));
    InsertObject(object);
    object->FinishPlacement(true);
    return object;
}

void TQRVDesigner::destroyDoomed()
{
    bool destroyed = true;
    while (destroyed) {
        destroyed = false;
        for (int i = ObjectCount() - 1; i >= 0; --i) {
            if (i >= ObjectCount())
                continue;
            TQRVObject* o = m_objects[static_cast<size_t>(i)];
            if (o->HasState(osDoomed)) {
                DestroyObject(o);
                destroyed = true;
            }
        }
    }
}

void TQRVDesigner::DeleteSelected()
{
    m_edits->Delete(m_selection);
}

void TQRVDesigner::DeleteObjects(const QList<TQRVObject*>& objects)
{
    if (objects.isEmpty())
        return;
    for (TQRVObject* o : objects)
        if (o) {
            o->IncludeState(osDoomed);
            dropFromSelection(o);
        }
    destroyDoomed();
    Modified();
}

void TQRVDesigner::DeleteAll()
{
    // The history speaks of objects that are gone.
    m_edits->Clear();
    m_gesture = false;
    // Everything goes, so nobody needs to be told about anybody.
    std::vector<TQRVObject*> objects;
    objects.swap(m_objects);
    m_byName.clear();
    clearSelectionList();
    m_capture = nullptr;
    for (auto it = objects.rbegin(); it != objects.rend(); ++it)
        delete *it;
    ++m_namesGeneration;
    if (!objects.empty())
        Q_EMIT ObjectsChanged();
}

void TQRVDesigner::ClearNet()
{
    m_updating = true;
    ClearSelection();
    DeleteAll();
    m_bandActive = false;
    m_dragActive = false;
    m_updating = false;
    Q_EMIT ObjectsChanged();
    Modified();
}

bool TQRVDesigner::IsSelected(const TQRVObject* object) const
{
    return m_selected.contains(object);
}

void TQRVDesigner::clearSelectionList()
{
    m_selection.clear();
    m_selected.clear();
}

void TQRVDesigner::addToSelection(TQRVObject* object)
{
    if (object && !m_selected.contains(object)) {
        m_selected.insert(object);
        m_selection.append(object);
    }
}

void TQRVDesigner::dropFromSelection(TQRVObject* object)
{
    if (m_selected.remove(object))
        m_selection.removeOne(object);
}

void TQRVDesigner::SelectObject(TQRVObject* object)
{
    clearSelectionList();
    if (!object)
        return;
    addToSelection(object);
    Q_EMIT SelectionHandedOver();
    Update();
}

void TQRVDesigner::SetSelection(const QList<TQRVObject*>& objects)
{
    clearSelectionList();
    for (TQRVObject* o : objects)
        addToSelection(o);
}

void TQRVDesigner::ClearSelection()
{
    if (m_selection.isEmpty())
        return;
    clearSelectionList();
    Q_EMIT SelectionHandedOver();
}

void TQRVDesigner::SelectAll()
{
    clearSelectionList();
    for (TQRVObject* o : m_objects)
        addToSelection(o);
    Modified();
}

void TQRVDesigner::Modified()
{
    Update();
    Q_EMIT SelectionHandedOver();
}

void TQRVDesigner::SetScale(double value)
{
    if (!(value > 0))
        return;
    m_scale = value;
    MarkAllDirty();
    Update();
}

void TQRVDesigner::SetScroll(int x, int y)
{
    if (x == m_scrollX && y == m_scrollY)
        return;
    m_scrollX = x;
    m_scrollY = y;
    MarkAllDirty();
    Update();
}

double TQRVDesigner::SnapX(double v) const
{
    const double g = 10.0 * m_scale;
    return RoundHalfEven(v / g) * g;
}

double TQRVDesigner::SnapY(double v) const
{
    return SnapX(v);
}

void TQRVDesigner::MarkAllDirty()
{
    for (TQRVObject* o : m_objects)
        o->IncludeState(osDirty);
}

void TQRVDesigner::Update()
{
    if (m_updating)
        return;
    UpdateRegions();
    Paint();
}

void TQRVDesigner::UpdateRegions()
{
    if (m_updating)
        return;
    for (size_t i = 0; i < m_objects.size(); ++i) {
        TQRVObject* o = m_objects[i];
        if (o->HasState(osDirty))
            o->UpdateRegion();
    }
}

void TQRVDesigner::Paint()
{
    if (m_updating)
        return;
    Q_EMIT PaintRequested();
}

void TQRVDesigner::DrawObjects(QPainter& painter, const QRect& visible) const
{
    // Labels, arrowheads and selection handles reach a little beyond a hit region.
    const int margin = static_cast<int>(std::ceil(50 * m_scale));
    const QRect wide = visible.adjusted(-margin, -margin, margin, margin);
    for (size_t i = 0; i < m_objects.size(); ++i) {
        TQRVObject* o = m_objects[i];
        if (visible.isValid() && !o->HasState(osDirty) && !o->HasState(osPlacing) &&
            !o->HasState(osDragging)) {
            const QRect box = o->DrawnBounds();
            if (!box.isEmpty() && !box.intersects(wide))
                continue;
        }
        painter.save();
        o->Draw(painter, dmNormal);
        painter.restore();
    }
}

QSize TQRVDesigner::NetExtent() const
{
    double w = 0, h = 0;
    for (TQRVObject* o : m_objects) {
        w = std::max(w, o->Left() + o->Width());
        h = std::max(h, o->Top() + o->Height());
    }
    return QSize(static_cast<int>(RoundHalfEven(w)), static_cast<int>(RoundHalfEven(h)));
}

bool TQRVDesigner::IsChanged() const
{
    return !m_edits->IsClean();
}

QRect TQRVDesigner::RubberBandRect() const
{
    return QRect(m_bandStart, m_bandEnd).normalized();
}

void TQRVDesigner::ShowError(const QString& text) const
{
    if (m_reporter) {
        m_reporter(text);
        return;
    }
    QTextStream(stderr) << text << Qt::endl;
}

QStringList TQRVDesigner::GetComponentNames(const QMetaObject* cls) const
{
    QStringList names;
    for (TQRVObject* o : m_objects)
        if (!cls || o->metaObject()->inherits(cls))
            names << o->Name();
    return names;
}

TQRVObject* TQRVDesigner::GetComponent(const QString& name) const
{
    const QStringList parts = name.split(QLatin1Char('.'));
    if (parts.size() == 1)
        return FindObject(name);
    return parts.size() >= 2 ? FindObject(parts.at(1)) : nullptr;
}

QString TQRVDesigner::GetComponentName(const TQRVObject* object) const
{
    return object ? object->Name() : QString();
}

QString TQRVDesigner::GetObjectName(const QObject* item) const
{
    if (const auto* object = qobject_cast<const TQRVObject*>(item))
        return object->Name();
    // A sub-object (a formula, a font): the owner's name and the property's.
    if (item && item->parent()) {
        const QObject* owner = item->parent();
        const QMetaObject* meta = owner->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            if (p.metaType().flags().testFlag(QMetaType::PointerToQObject) &&
                p.read(owner).value<QObject*>() == item)
                return GetObjectName(owner) + QLatin1Char('.') + QString::fromLatin1(p.name());
        }
    }
    return QStringLiteral("Error");
}
