// Small nets for the simulation tests, built straight into a container.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "model/element_builders.h"

// A timed transition t1 of the given rate that moves tokens from p1 to p2.
// The rate may name both places.
inline void TimedChain(TQRVDesigner& d, const QString& rate, double tokens)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 10, 10, "p1");
    p1->SetTokensDirect(tokens);
    auto* t1 = AddNode<TclsTransTimed>(d, 80, 10, "t1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 150, 10, "p2");
    AddArc<TclsLinkNormal>(d, p1, t1);
    AddArc<TclsLinkNormal>(d, t1, p2);
    EXPECT_EQ(t1->Rate()->TrySetFormula(rate), "") << rate.toStdString();
}

// An M/M/1/K queue: arrivals (timed, rate lambda) into place q while it holds
// fewer than k tokens (an inhibitor-counter arc), service (timed, rate mu)
// takes them away. With `guarded`, a guard that reads q replaces the arc, so
// that the net cannot be compiled.
inline void QueueNet(TQRVDesigner& d, double lambda, double mu, int k, bool guarded = false)
{
    auto* arrive = AddNode<TclsTransTimed>(d, 10, 10, "arrive");
    arrive->Rate()->SetFormula(QString::number(lambda));
    auto* q = AddNode<TclsNodeDiscrete>(d, 80, 10, "q");
    auto* serve = AddNode<TclsTransTimed>(d, 150, 10, "serve");
    serve->Rate()->SetFormula(QString::number(mu));
    AddArc<TclsLinkNormal>(d, arrive, q);
    AddArc<TclsLinkNormal>(d, q, serve);
    if (guarded)
        arrive->Guard()->SetFormula(QStringLiteral("q_TOKENS < %1").arg(k));
    else
        AddArc<TclsLinkIngibitorCounter>(d, q, arrive, QString::number(k));
}

// The closed forms of the M/M/1/K queue: mean length, throughput, and the
// probability that it is full.
struct TQueueExact
{
    double Length = 0, Throughput = 0, Full = 0;
};

inline TQueueExact QueueExact(double lambda, double mu, int k)
{
    const double rho = lambda / mu;
    double norm = 0, length = 0;
    for (int j = 0; j <= k; ++j) {
        norm += std::pow(rho, j);
        length += j * std::pow(rho, j);
    }
    TQueueExact e;
    e.Length = length / norm;
    e.Throughput = mu * (1 - 1 / norm);
    e.Full = std::pow(rho, k) / norm;
    return e;
}
