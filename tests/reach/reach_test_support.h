// Nets described for the reachability tests, a progress sink that records
// what the engine says, and a plain breadth-first exploration written from
// the enabling and firing rules, sharing no code with the engine.
#pragma once

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "model/arcs.h"
#include "model/progress.h"
#include "reach/compiled_net.h"
#include "reach/reach_engine.h"
#include "test_support.h"

// Records progress, status texts and messages; asks to stop after a number
// of pumps when told to.
class TRecordingProgress : public IQRVProgress
{
public:
    void Progress(int percent) override { Percents.push_back(percent); }
    void Status(const QString& text) override
    {
        Statuses << text;
        if (!StopOnStatus.isEmpty() && text == StopOnStatus)
            Stop = true;
    }
    void Message(const QString& text) override { Messages << text; }
    void Pump() override
    {
        ++Pumps;
        if (StopAfterPumps >= 0 && Pumps >= StopAfterPumps)
            Stop = true;
    }
    bool StopRequested() const override { return Stop; }

    std::vector<int> Percents;
    QStringList Statuses;
    QStringList Messages;
    long Pumps = 0;
    long StopAfterPumps = -1;
    QString StopOnStatus;
    bool Stop = false;
};

// A net of discrete places, as the tests describe it.
struct TTestNet
{
    struct TArcDesc
    {
        int Place;
        TLinkKind Kind;
        double Weight;
    };
    struct TTransDesc
    {
        QString Name;
        TTransClass Class = tcTimed;
        double Guard = 1;
        double Priority = 0;
        double WeightSpeed = 1;
        std::vector<TArcDesc> In;
        std::vector<TArcDesc> Out;
    };
    QStringList PlaceNames;
    std::vector<double> Tokens;
    std::vector<TTransDesc> Trans;

    int place(const QString& name, double tokens)
    {
        PlaceNames << name;
        Tokens.push_back(tokens);
        return static_cast<int>(Tokens.size()) - 1;
    }
    int trans(const QString& name, TTransClass cls = tcTimed)
    {
        TTransDesc t;
        t.Name = name;
        t.Class = cls;
        Trans.push_back(t);
        return static_cast<int>(Trans.size()) - 1;
    }
    void in(int t, int p, double w = 1, TLinkKind k = lkNormal) { Trans[t].In.push_back({p, k, w}); }
    void out(int t, int p, double w = 1, TLinkKind k = lkNormal) { Trans[t].Out.push_back({p, k, w}); }

    std::shared_ptr<TCompiledNet> compile() const
    {
        auto net = std::make_shared<TCompiledNet>();
        for (int i = 0; i < PlaceNames.size(); ++i)
            net->AddPlace(PlaceNames[i], Tokens[static_cast<size_t>(i)]);
        for (const TTransDesc& t : Trans) {
            const int id = net->AddTransition(t.Name, t.Class, t.Guard, t.Priority, t.WeightSpeed);
            for (const TArcDesc& a : t.In)
                net->AddInputArc(id, a.Place, a.Kind, a.Weight);
            for (const TArcDesc& a : t.Out)
                net->AddOutputArc(id, a.Place, a.Kind, a.Weight);
        }
        const QString error = net->Finish();
        if (!error.isEmpty())
            return nullptr;
        return net;
    }
};

// A random net: a few places and transitions, arcs of every kind.
TTestNet RandomTestNet(std::mt19937& rng, bool wholeTokens);

// The graph found by the plain exploration.
struct TReferenceGraph
{
    QStringList Places; // in marking order
    std::vector<std::vector<double>> Markings;
    struct TEdge
    {
        int Target;
        QString Transition;
        double Weight;
    };
    std::vector<std::vector<TEdge>> Edges;
    std::vector<long> FireCounts; // per transition of the description
    bool LimitReached = false;
    bool NoDeadMarking = true;
};

struct TReferenceSettings
{
    long Limit = 50000;
    bool Priority = false;
    bool Omega = true;
    bool Probabilities = false;
};

TReferenceGraph ExploreReference(const TTestNet& net, const TReferenceSettings& settings);

// Two different markings of `count` places, the first value 0, whose values
// texts have the same CRC-32.
bool FindCrcCollision(int count, std::vector<double>& first, std::vector<double>& second);

// The graph file the engine writes of its last build.
inline QByteArray GraphBytes(const TReachEngine& engine)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(engine.WriteGraph(buffer));
    return buffer.data();
}
