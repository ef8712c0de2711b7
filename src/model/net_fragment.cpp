#include "model/net_fragment.h"

#include <QHash>
#include <QSet>

#include <cmath>

#include "model/arcs.h"
#include "model/designer.h"
#include "model/edits.h"
#include "model/interfaces.h"
#include "model/name_label.h"
#include "model/text.h"
#include "netfile/element_xml.h"
#include "netfile/net_file.h"
#include "netfile/xml_tree.h"

QList<TQRVObject*> FragmentObjects(const TQRVDesigner& designer, const QList<TQRVObject*>& selection)
{
    QSet<const TQRVObject*> chosen;
    for (TQRVObject* o : selection) {
        if (!o || qobject_cast<TQRVLinkBase*>(o))
            continue;
        chosen.insert(o);
        if (auto* node = qobject_cast<TQRVNode*>(o))
            if (TQRVObject* label = node->Label())
                chosen.insert(label);
    }
    QList<TQRVObject*> objects;
    for (TQRVObject* o : designer.ObjectList()) {
        if (auto* link = qobject_cast<TQRVLinkBase*>(o)) {
            if (chosen.contains(link->SourceObject()) && chosen.contains(link->DestObject()))
                objects.append(o);
        } else if (chosen.contains(o)) {
            objects.append(o);
        }
    }
    return objects;
}

QString FragmentText(const QList<TQRVObject*>& objects)
{
    TqibXMLTree tree;
    for (const TQRVObject* o : objects) {
        const auto* storable = dynamic_cast<const IQRVStorable*>(o);
        if (!storable)
            continue;
        TqibXMLNode* element = tree.AddNode(QStringLiteral("object"));
        element->AddAttribute(QStringLiteral("class"), o->ClassName());
        storable->SaveToXml(*element);
    }
    tree.AddNode(QStringLiteral("simulate"));
    return tree.Text();
}

QString ReadFragment(TQRVDesigner& scratch, const QString& text)
{
    // Arc points keep the places they were copied from, whatever the grid.
    scratch.SetRestoring(true);
    QString error;
    try {
        TqibXMLTree tree;
        tree.SetText(text);
        LoadNet(scratch, tree, nullptr);
    } catch (const TNetFileError& e) {
        error = e.Message;
    } catch (const TXmlReadError& e) {
        error = e.Message;
    } catch (const TConvertError& e) {
        error = e.Message;
    }
    scratch.SetRestoring(false);
    if (error.isEmpty() && scratch.ObjectCount() == 0)
        error = QStringLiteral("it holds no elements");
    if (!error.isEmpty())
        return QStringLiteral("The elements cannot be pasted: %1").arg(error);
    return QString();
}

QRectF FragmentBounds(const TQRVDesigner& scratch)
{
    QRectF bounds;
    auto add = [&bounds](const QRectF& r) { bounds = bounds.isNull() ? r : bounds.united(r); };
    for (const TQRVObject* o : scratch.ObjectList()) {
        if (const auto* link = qobject_cast<const TQRVLinkBase*>(o)) {
            for (const TPivotPoint* p : link->Points())
                add(QRectF(p->X(), p->Y(), 0, 0));
            continue;
        }
        add(QRectF(o->Left(), o->Top(), o->Width(), o->Height()).normalized());
    }
    return bounds;
}

void MoveFragment(TQRVDesigner& scratch, double dx, double dy)
{
    // Selected name labels move on their own, not again with their places.
    QList<TQRVObject*> all(scratch.ObjectList().begin(), scratch.ObjectList().end());
    scratch.SetSelection(all);
    for (TQRVObject* o : all)
        o->MoveBy(dx, dy);
    scratch.SetSelection({});
}

namespace {

QString Stem(const QString& name)
{
    QString stem = name;
    while (!stem.isEmpty() && stem.back().isDigit() && stem.back().unicode() < 128)
        stem.chop(1);
    return stem;
}

// Gives every object of `scratch` whose name `target` has already (or
// whose label's name it has) the next free name of its kind.
void RenameClashes(const TQRVDesigner& target, TQRVDesigner& scratch)
{
    QHash<const TQRVObject*, TclsText*> labels;
    QSet<const TQRVObject*> isLabel;
    for (TQRVObject* o : scratch.ObjectList())
        if (auto* node = qobject_cast<TQRVNode*>(o))
            if (auto* label = qobject_cast<TclsText*>(scratch.FindObject(NameLabel::LabelName(*node)))) {
                labels.insert(node, label);
                isLabel.insert(label);
            }

    QSet<QString> taken;
    auto isFree = [&](const QString& name) {
        return !target.FindObject(name) && !taken.contains(NameKey(name));
    };
    QList<TQRVObject*> clashing;
    for (TQRVObject* o : scratch.ObjectList()) {
        if (isLabel.contains(o))
            continue;
        TclsText* label = labels.value(o);
        if (isFree(o->Name()) && (!label || isFree(label->Name()))) {
            taken.insert(NameKey(o->Name()));
            if (label)
                taken.insert(NameKey(label->Name()));
        } else {
            clashing.append(o);
        }
    }
    for (TQRVObject* o : clashing) {
        TclsText* label = labels.value(o);
        // A free text named like a label would become the label of a place.
        const QString stem = qobject_cast<TclsText*>(o) ? QStringLiteral("Text") : Stem(o->Name());
        QString name;
        for (int n = 1;; ++n) {
            name = stem + QString::number(n);
            if (isFree(name) && (!label || isFree(QStringLiteral("Text") + name)))
                break;
        }
        const QString old = o->Name();
        o->SetNameDirect(name);
        taken.insert(NameKey(name));
        if (label) {
            label->SetNameDirect(NameLabel::LabelName(*o));
            taken.insert(NameKey(label->Name()));
            if (label->Text() == old) {
                label->SetTextDirect(name);
                label->RecomputeSize();
            }
        }
    }
}

} // namespace

QString PasteFragment(TQRVDesigner& designer, const QString& text, const TPastePlace& place,
                      const QString& caption)
{
    TQRVDesigner scratch;
    scratch.SetScale(designer.Scale());
    scratch.SetScroll(designer.ScrollX(), designer.ScrollY());
    const QString error = ReadFragment(scratch, text);
    if (!error.isEmpty())
        return error;
    RenameClashes(designer, scratch);

    double dx = place.Offset, dy = place.Offset;
    if (place.AtPoint) {
        const QRectF bounds = FragmentBounds(scratch);
        // Whole grid steps, so that what lay on the grid stays on it.
        dx = std::round((place.Point.x() - bounds.left()) / 10) * 10;
        dy = std::round((place.Point.y() - bounds.top()) / 10) * 10;
    }
    MoveFragment(scratch, dx, dy);

    designer.Edits().Change(caption, {}, [&] {
        const int first = designer.ObjectCount();
        designer.TakeObjectsFrom(scratch);
        QList<TQRVObject*> pasted;
        for (int i = first; i < designer.ObjectCount(); ++i) {
            TQRVObject* o = designer.Objects(i);
            o->IncludeState(osDirty);
            if (auto* node = qobject_cast<TQRVNode*>(o))
                node->MarkArcsDirty();
            pasted.append(o);
        }
        designer.SetSelection(pasted);
        designer.Modified();
    });
    return QString();
}
