// The arc lists of places and transitions, which the analyses and the
// simulation rebuild before they start.
#include "model/arcs.h"
#include "model/designer.h"
#include "model/places.h"
#include "model/transitions.h"

namespace {

using TArcFilter = bool (*)(const TclsLink*, void*);

// Appends every connected arc of the net that ends (InArcs) or starts
// (OutArcs) at `node`, in list order.
void collect(const TQRVObject* node, QList<TclsLink*>& in, QList<TclsLink*>& out, TArcFilter accept,
             void* context)
{
    in.clear();
    out.clear();
    for (TQRVObject* o : node->Designer()->ObjectList()) {
        auto* arc = qobject_cast<TclsLink*>(o);
        if (!arc || !arc->IsConnected() || (accept && !accept(arc, context)))
            continue;
        if (arc->SourceObject() == node)
            out.append(arc);
        if (arc->DestObject() == node)
            in.append(arc);
    }
}

} // namespace

void TclsNode::RebuildArcLists(TArcFilter accept, void* context)
{
    if (Designer())
        collect(this, InArcs, OutArcs, accept, context);
}

void TclsTrans::RebuildArcLists(TArcFilter accept, void* context)
{
    FireCount = 0;
    if (Designer())
        collect(this, InArcs, OutArcs, accept, context);
}

void TQRVDesigner::RebuildArcLists(TArcFilter accept, void* context)
{
    for (TQRVObject* o : m_objects) {
        if (auto* place = qobject_cast<TclsNode*>(o)) {
            place->InArcs.clear();
            place->OutArcs.clear();
        } else if (auto* trans = qobject_cast<TclsTrans*>(o)) {
            trans->FireCount = 0;
            trans->InArcs.clear();
            trans->OutArcs.clear();
        }
    }
    for (TQRVObject* o : m_objects) {
        auto* arc = qobject_cast<TclsLink*>(o);
        if (!arc || !arc->IsConnected() || (accept && !accept(arc, context)))
            continue;
        if (TclsNode* p = arc->SourcePlace())
            p->OutArcs.append(arc);
        else if (TclsTrans* t = arc->SourceTrans())
            t->OutArcs.append(arc);
        if (TclsNode* p = arc->DestPlace())
            p->InArcs.append(arc);
        else if (TclsTrans* t = arc->DestTrans())
            t->InArcs.append(arc);
    }
}
