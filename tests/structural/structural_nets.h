// Small nets for the structural analysis tests, written as structures.
#pragma once

#include <QString>

#include "structural/invariants.h"

class TNetBuilder
{
public:
    TNetBuilder& Place(const QString& name, double value = 0)
    {
        Net.Places.append({name, value});
        return *this;
    }
    TNetBuilder& Trans(const QString& name)
    {
        Net.Transitions << name;
        return *this;
    }
    // An arc from `from` to `to`; one of them must be a place added before.
    TNetBuilder& Arc(const QString& from, const QString& to, double weight = 1, TLinkKind kind = lkNormal)
    {
        bool fromPlace = false;
        for (const TNetStructure::Place& p : Net.Places)
            fromPlace = fromPlace || p.Name == from;
        TNetStructure::Arc a;
        a.Place = fromPlace ? from : to;
        a.Transition = fromPlace ? to : from;
        a.ToPlace = !fromPlace;
        a.Kind = kind;
        a.Weight = weight;
        Net.Arcs.append(a);
        return *this;
    }
    TNetStructure Net;
};

// p1 -> t1 -> p2 -> t2 -> p1.
inline TNetBuilder TwoPlaceCycle(double tokens1 = 1, double tokens2 = 0)
{
    TNetBuilder b;
    b.Place("p1", tokens1).Place("p2", tokens2).Trans("t1").Trans("t2");
    b.Arc("p1", "t1").Arc("t1", "p2").Arc("p2", "t2").Arc("t2", "p1");
    return b;
}
