#include "large_net.h"

#include <QList>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/name_label.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"

namespace {

constexpr int kPlaces = 2000;

template <class T> T* addNode(TQRVDesigner& d, double x, double y)
{
    auto* node = new T(&d);
    node->SetNameDirect(d.UniqueName(node->GetNamePrefix()));
    node->SetBoundsDirect(x, y, node->Width(), node->Height());
    d.InsertObject(node);
    return node;
}

void addArc(TQRVDesigner& d, TQRVObject* from, TQRVObject* to)
{
    auto* arc = new TclsLinkNormal(&d);
    arc->SetNameDirect(QStringLiteral("L%1").arg(d.ObjectCount()));
    d.InsertObject(arc);
    arc->SetSource(from);
    arc->SetDest(to);
}

} // namespace

void BuildLargeNet(TQRVDesigner& net)
{
    QList<TclsNodeDiscrete*> places;
    QList<TclsTransTimed*> transitions;
    for (int i = 0; i < kPlaces; ++i) {
        const double x = 100 * (i % 50), y = 120 * (i / 50);
        auto* p = addNode<TclsNodeDiscrete>(net, x, y);
        p->SetTokensDirect(i % 3);
        auto* label = new TclsText(&net);
        label->SetNameDirect(NameLabel::LabelName(*p));
        label->SetTextDirect(QStringLiteral("place %1").arg(i + 1));
        label->SetBoundsDirect(x + 40, y, 50, 15);
        net.InsertObject(label);
        places << p;
        auto* t = addNode<TclsTransTimed>(net, x + 50, y + 60);
        t->Rate()->SetValue_Reference(1 + i % 7);
        transitions << t;
    }
    for (int i = 0; i < kPlaces; ++i) {
        addArc(net, places[i], transitions[i]);
        addArc(net, transitions[i], places[(i + 1) % kPlaces]);
    }
    net.MarkAllDirty();
    net.Update();
}
