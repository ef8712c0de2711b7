#include "reach_nets.h"

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/places.h"
#include "model/transitions.h"

namespace {

class TBuilder
{
public:
    TBuilder() : m_net(std::make_unique<TQRVDesigner>()) {}

    TclsNodeDiscrete* place(int number, double tokens)
    {
        auto* p = new TclsNodeDiscrete(m_net.get());
        p->SetNameDirect(QStringLiteral("p%1").arg(number));
        m_net->InsertObject(p);
        p->SetTokensDirect(tokens);
        return p;
    }
    template <class T> T* transition()
    {
        auto* t = new T(m_net.get());
        t->SetNameDirect(QStringLiteral("t%1").arg(++m_transitions));
        m_net->InsertObject(t);
        return t;
    }
    void arc(TQRVNode* from, TQRVNode* to)
    {
        auto* a = new TclsLinkNormal(m_net.get());
        a->SetNameDirect(QStringLiteral("L%1").arg(++m_arcs));
        m_net->InsertObject(a);
        a->SetSource(from);
        a->SetDest(to);
    }
    TQRVDesigner& net() { return *m_net; }
    std::unique_ptr<TQRVDesigner> take() { return std::move(m_net); }

private:
    std::unique_ptr<TQRVDesigner> m_net;
    int m_transitions = 0;
    int m_arcs = 0;
};

} // namespace

std::unique_ptr<TQRVDesigner> RingNet(int processes, int resources, int customers)
{
    TBuilder b;
    auto* resource = b.place(3 * processes + 1, resources);
    std::vector<TclsNodeDiscrete*> think, wait, work;
    for (int i = 0; i < processes; ++i) {
        think.push_back(b.place(3 * i + 1, i == 0 ? customers : 0));
        wait.push_back(b.place(3 * i + 2, 0));
        work.push_back(b.place(3 * i + 3, 0));
    }
    for (int i = 0; i < processes; ++i) {
        auto* ask = b.transition<TclsTransTimed>();
        b.arc(think[size_t(i)], ask);
        b.arc(ask, wait[size_t(i)]);
        auto* take = b.transition<TclsTransTimed>();
        b.arc(wait[size_t(i)], take);
        b.arc(resource, take);
        b.arc(take, work[size_t(i)]);
        auto* pass = b.transition<TclsTransTimed>();
        b.arc(work[size_t(i)], pass);
        b.arc(pass, resource);
        b.arc(pass, think[size_t((i + 1) % processes)]);
    }
    return b.take();
}

std::unique_ptr<TQRVDesigner> PhilosophersNet(int n)
{
    TBuilder b;
    std::vector<TclsNodeDiscrete*> think, left, eat, fork;
    for (int i = 0; i < n; ++i) {
        think.push_back(b.place(4 * i + 1, 1));
        left.push_back(b.place(4 * i + 2, 0));
        eat.push_back(b.place(4 * i + 3, 0));
        fork.push_back(b.place(4 * i + 4, 1));
    }
    for (int i = 0; i < n; ++i) {
        const size_t right = size_t((i + 1) % n);
        auto* takeLeft = b.transition<TclsTransTimed>();
        b.arc(think[size_t(i)], takeLeft);
        b.arc(fork[size_t(i)], takeLeft);
        b.arc(takeLeft, left[size_t(i)]);
        auto* takeRight = b.transition<TclsTransTimed>();
        b.arc(left[size_t(i)], takeRight);
        b.arc(fork[right], takeRight);
        b.arc(takeRight, eat[size_t(i)]);
        auto* release = b.transition<TclsTransTimed>();
        b.arc(eat[size_t(i)], release);
        b.arc(release, think[size_t(i)]);
        b.arc(release, fork[size_t(i)]);
        b.arc(release, fork[right]);
    }
    return b.take();
}

std::unique_ptr<TQRVDesigner> RoutingNet(int queues, int jobs)
{
    TBuilder b;
    auto* pool = b.place(1, jobs);
    auto* route = b.place(2, 0);
    std::vector<TclsNodeDiscrete*> queue;
    for (int i = 0; i < queues; ++i)
        queue.push_back(b.place(3 + i, 0));
    auto* arrive = b.transition<TclsTransTimed>();
    b.arc(pool, arrive);
    b.arc(arrive, route);
    for (int i = 0; i < queues; ++i) {
        auto* send = b.transition<TclsTransInstant>();
        send->WeightSpeed()->SetFormula(QString::number(i + 1));
        b.arc(route, send);
        b.arc(send, queue[size_t(i)]);
    }
    for (int i = 0; i < queues; ++i) {
        auto* serve = b.transition<TclsTransTimed>();
        b.arc(queue[size_t(i)], serve);
        b.arc(serve, pool);
    }
    return b.take();
}

std::unique_ptr<TQRVDesigner> CycleNet(int n)
{
    TBuilder b;
    // Regions are drawn once at the end, not after every element.
    b.net().SetUpdating(true);
    std::vector<TclsNodeDiscrete*> places;
    for (int i = 0; i < n; ++i)
        places.push_back(b.place(i + 1, i == 0 ? 1 : 0));
    for (int i = 0; i < n; ++i) {
        auto* t = b.transition<TclsTransTimed>();
        b.arc(places[size_t(i)], t);
        b.arc(t, places[size_t((i + 1) % n)]);
    }
    b.net().SetUpdating(false);
    return b.take();
}
