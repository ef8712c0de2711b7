// Enabling tests and firings on a large net with constant weights, the inner
// loop of every analysis: time per operation and heap allocations per
// operation (which must stay 0), and the cost of rebuilding the arc lists.
#include <benchmark/benchmark.h>
#include <cstdlib>

#include "allocation_counter.h"
#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/places.h"
#include "model/transitions.h"

namespace {

// A ring of n places and n transitions: p_i -> t_i -> p_(i+1), weight 2 in
// and 2 out, plus an inhibitor and a test arc on every transition.
struct TRing
{
    explicit TRing(int n)
    {
        net.SetUpdating(true);
        for (int i = 0; i < n; ++i) {
            auto* p = new TclsNodeDiscrete(&net);
            p->SetTokensDirect(i % 3 == 0 ? 4 : 0);
            insert(p, "p", i);
            places.push_back(p);
            auto* t = new TclsTransTimed(&net);
            insert(t, "t", i);
            transitions.push_back(t);
            auto* guard = new TclsNodeDiscrete(&net);
            insert(guard, "g", i);
            guards.push_back(guard);
        }
        for (int i = 0; i < n; ++i) {
            connect(new TclsLinkNormal(&net), places[i], transitions[i], "2");
            connect(new TclsLinkNormal(&net), transitions[i], places[(i + 1) % n], "2");
            connect(new TclsLinkIngibitor(&net), guards[i], transitions[i], "1");
            connect(new TclsLinkTest(&net), places[i], transitions[i], "1");
        }
        net.RebuildArcLists();
    }
    // Named here: finding the lowest free number for each would make building quadratic.
    void insert(TQRVObject* o, const char* prefix, int i)
    {
        o->SetNameDirect(QString::fromLatin1(prefix) + QString::number(i + 1));
        net.InsertObject(o);
    }
    void connect(TclsLink* arc, TQRVObject* from, TQRVObject* to, const char* weight)
    {
        insert(arc, "L", arcs++);
        arc->SetSource(from);
        arc->SetDest(to);
        arc->Weight()->SetFormula(QString::fromLatin1(weight));
    }
    TQRVDesigner net;
    int arcs = 0;
    std::vector<TclsNodeDiscrete*> places;
    std::vector<TclsNodeDiscrete*> guards;
    std::vector<TclsTrans*> transitions;
};

void BM_OpenAndFire(benchmark::State& state)
{
    TRing ring(static_cast<int>(state.range(0)));
    long operations = 0;
    g_allocations = 0;
    for (auto _ : state) {
        g_counting = true;
        for (TclsTrans* t : ring.transitions) {
            if (t->Open())
                t->Fire();
            ++operations;
        }
        g_counting = false;
    }
    state.counters["allocations_per_transition"] =
        benchmark::Counter(static_cast<double>(g_allocations) / static_cast<double>(operations));
    state.SetItemsProcessed(operations);
}
BENCHMARK(BM_OpenAndFire)->Arg(1000)->Arg(10000);

void BM_RebuildArcListsOnePass(benchmark::State& state)
{
    TRing ring(static_cast<int>(state.range(0)));
    for (auto _ : state)
        ring.net.RebuildArcLists();
    state.SetItemsProcessed(state.iterations() * ring.net.ObjectCount());
}
BENCHMARK(BM_RebuildArcListsOnePass)->Arg(1000)->Arg(10000);

void BM_RebuildArcListsPerNode(benchmark::State& state)
{
    TRing ring(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (TclsTrans* t : ring.transitions)
            t->RebuildArcLists();
        for (TclsNode* p : ring.places)
            p->RebuildArcLists();
    }
    state.SetItemsProcessed(state.iterations() * ring.net.ObjectCount());
}
BENCHMARK(BM_RebuildArcListsPerNode)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
