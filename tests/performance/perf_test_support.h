// Small nets and chains for the steady-state tests.
#pragma once

#include <QString>

#include <random>
#include <vector>

#include "model/element_builders.h"
#include "performance/calc_engine.h"
#include "performance/sparse_generator.h"
#include "reach/reach_engine.h"

// A net built element by element, with rates as formula texts.
struct TPerfNet
{
    TTestDesigner Net;
    int Left = 0;

    TclsNodeDiscrete* place(const QString& name, double tokens)
    {
        auto* p = AddNode<TclsNodeDiscrete>(Net, Left += 60, 40, name);
        p->SetTokensDirect(tokens);
        return p;
    }
    TclsTransTimed* timed(const QString& name, const QString& rate)
    {
        auto* t = AddNode<TclsTransTimed>(Net, Left += 60, 160, name);
        t->Rate()->SetFormula(rate);
        return t;
    }
    TclsTransInstant* instant(const QString& name, const QString& weight)
    {
        auto* t = AddNode<TclsTransInstant>(Net, Left += 60, 160, name);
        t->WeightSpeed()->SetFormula(weight);
        return t;
    }
    void arc(TQRVObject* from, TQRVObject* to, const QString& weight = QString())
    {
        AddArc<TclsLinkNormal>(Net, from, to, weight);
    }
    // Builds the graph in memory and hands it to the engine.
    bool load(TCalcEngine& engine, bool removeUnsteady = false)
    {
        TReachEngine reach;
        reach.SetNet(&Net);
        reach.Settings.RemoveUnsteady = removeUnsteady;
        reach.Settings.PriorityMode = removeUnsteady;
        if (!reach.BuildClassical())
            return false;
        return engine.LoadGraph(*reach.Store(), removeUnsteady);
    }
};

// An M/M/1/K queue: p1 holds the customers, p2 the free places; arrivals at
// rate `lambda`, service at `mu`.
inline void MM1KNet(TPerfNet& n, int capacity, double lambda, double mu)
{
    auto* queue = n.place(QStringLiteral("p1"), 0);
    auto* free = n.place(QStringLiteral("p2"), capacity);
    auto* arrive = n.timed(QStringLiteral("t1"), QString::number(lambda, 'g', 17));
    auto* serve = n.timed(QStringLiteral("t2"), QString::number(mu, 'g', 17));
    n.arc(free, arrive);
    n.arc(arrive, queue);
    n.arc(queue, serve);
    n.arc(serve, free);
}

// pi_k of the M/M/1/K queue, k customers.
inline std::vector<double> MM1KProbabilities(int capacity, double lambda, double mu)
{
    std::vector<double> p(static_cast<std::size_t>(capacity) + 1);
    double sum = 0, term = 1;
    for (int k = 0; k <= capacity; ++k) {
        p[static_cast<std::size_t>(k)] = term;
        sum += term;
        term *= lambda / mu;
    }
    for (double& v : p)
        v /= sum;
    return p;
}

// A generator given by its off-diagonal rates (from, to, rate).
struct TRate
{
    int From, To;
    double Rate;
};
inline TSparseGenerator GeneratorOf(int n, const std::vector<TRate>& rates)
{
    TChainGraph graph;
    graph.MarkingCount = n;
    graph.EntryStart.assign(static_cast<std::size_t>(n) + 1, 0);
    graph.Labels << QStringLiteral("t");
    std::vector<std::vector<TRate>> out(static_cast<std::size_t>(n));
    for (const TRate& r : rates)
        out[static_cast<std::size_t>(r.From)].push_back(r);
    for (int i = 0; i < n; ++i) {
        for (const TRate& r : out[static_cast<std::size_t>(i)]) {
            graph.EntryTarget.push_back(r.To);
            graph.EntryLabel.push_back(0);
            graph.EntryMultiplier.push_back(r.Rate);
        }
        graph.EntryStart[static_cast<std::size_t>(i) + 1] = static_cast<qint64>(graph.EntryTarget.size());
    }
    TLabelRates lr;
    lr.Static = {1.0};
    lr.Dynamic = {0};
    TSparseGenerator g;
    bool stopped = false;
    BuildSparseGenerator(graph, lr, g, nullptr, stopped);
    return g;
}

// A random irreducible chain: a ring through every state plus random arcs.
inline TSparseGenerator RandomChain(std::mt19937& rng, int n, int extra)
{
    std::uniform_real_distribution<double> rate(0.1, 5.0);
    std::uniform_int_distribution<int> state(0, n - 1);
    std::vector<TRate> rates;
    for (int i = 0; i < n; ++i)
        rates.push_back({i, (i + 1) % n, rate(rng)});
    for (int k = 0; k < extra; ++k)
        rates.push_back({state(rng), state(rng), rate(rng)});
    return GeneratorOf(n, rates);
}
