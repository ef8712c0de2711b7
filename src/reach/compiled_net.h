// A place/transition net flattened into arrays for the reachability build:
// places with token counts, transitions with their arc lists and the values
// of their guard, priority and weight. Markings are arrays of token counts in
// place order. Opening and firing follow the rules of the elements exactly,
// including how a place stores a written token count (rounded, a negative
// count ignored) and that a place holding 99999 or more is never changed.
//
// Only discrete places are compiled; nets with continuous places are built on
// the live net.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "model/arcs.h"
#include "reach/conflicts.h"

enum TTransClass : quint8 { tcImmediate, tcTimed, tcContinuous };

class TCompiledNet
{
public:
    struct TArcRec
    {
        qint32 Place;
        TLinkKind Kind;
        double Weight;  // the arc's weight
        double Rounded; // the weight rounded to a whole number (halves to even)
    };

    // ---- describing the net (indices in the order of adding) -----------------
    int AddPlace(const QString& name, double tokens);
    // `guard`: the guard's value (0 closes the transition).
    int AddTransition(const QString& name, TTransClass cls, double guard = 1, double priority = 0,
                      double weightSpeed = 1);
    // Arcs in the order the transition lists them.
    void AddInputArc(int transition, int place, TLinkKind kind, double weight);
    void AddOutputArc(int transition, int place, TLinkKind kind, double weight);
    // Orders the places as markings list them. Empty on success, otherwise
    // the message (a place name without a number).
    QString Finish();

    // ---- reading (places in marking order) -----------------------------------------
    int PlaceCount() const { return static_cast<int>(m_placeNames.size()); }
    const QStringList& PlaceNames() const { return m_placeNames; }
    // Where the place added as `added` stands in the marking order.
    int PlaceEntry(int added) const { return m_entryOf[static_cast<std::size_t>(added)]; }
    const std::vector<double>& Initial() const { return m_initial; }
    int TransitionCount() const { return static_cast<int>(m_trans.size()); }
    QStringList TransitionNames() const;
    QString TransitionName(int t) const { return m_trans[static_cast<std::size_t>(t)].Name; }
    TTransClass Class(int t) const { return m_trans[static_cast<std::size_t>(t)].Class; }
    double Priority(int t) const { return m_trans[static_cast<std::size_t>(t)].Priority; }
    double WeightSpeed(int t) const { return m_trans[static_cast<std::size_t>(t)].WeightSpeed; }
    int ArcCount() const { return m_arcCount; }
    double Guard(int t) const { return m_trans[static_cast<std::size_t>(t)].Guard; }
    // The arcs of transition t in Arcs(): its input arcs from InputBegin to
    // InputEnd, then its output arcs up to OutputEnd, each in arc-list order.
    const std::vector<TArcRec>& Arcs() const { return m_arcs; }
    int InputBegin(int t) const { return m_trans[static_cast<std::size_t>(t)].InBegin; }
    int InputEnd(int t) const { return m_trans[static_cast<std::size_t>(t)].InEnd; }
    int OutputEnd(int t) const { return m_trans[static_cast<std::size_t>(t)].OutEnd; }
    // The input for the conflict sets (normal input arcs).
    QList<TConflictInput> ConflictInputs() const;
    // True when every initial token count is a whole number, not negative:
    // then every marking holds such counts and writing a marking into the
    // places is a plain copy.
    bool Clean() const { return m_clean; }

    // ---- running -------------------------------------------------------------------
    // Whether transition t is enabled under the token counts x.
    bool Open(const double* x, int t) const
    {
        const TTrans& tr = m_trans[static_cast<std::size_t>(t)];
        if (tr.Guard == 0)
            return false;
        for (const TArcRec *a = m_arcs.data() + tr.InBegin, *e = m_arcs.data() + tr.InEnd; a != e; ++a) {
            const double v = x[a->Place];
            switch (a->Kind) {
            case lkNormal:
            case lkFlow:
            case lkTest:
            case lkTestContinuous:
                if (!(v >= a->Weight))
                    return false;
                break;
            case lkContinuous:
                if (!(v > 0))
                    return false;
                break;
            case lkIngibitor:
            case lkIngibitorContinuous:
                if (!(v < 1))
                    return false;
                break;
            case lkIngibitorCounter:
            case lkIngibitorCounterContinuous:
                if (!(v < a->Weight))
                    return false;
                break;
            }
        }
        return true;
    }

    // The effect of one firing on the token counts x (the caller has checked
    // Open): arc by arc, a place holding 99999 or more is left alone.
    void FireArcs(double* x, int t) const
    {
        const TTrans& tr = m_trans[static_cast<std::size_t>(t)];
        const TArcRec* arcs = m_arcs.data();
        for (int i = tr.InBegin; i < tr.InEnd; ++i) {
            const TArcRec& a = arcs[i];
            if (a.Kind == lkNormal && x[a.Place] < 99999.0)
                setTokens(x[a.Place], x[a.Place] - a.Rounded);
        }
        for (int i = tr.InEnd; i < tr.OutEnd; ++i) {
            const TArcRec& a = arcs[i];
            if (a.Kind == lkNormal && x[a.Place] < 99999.0)
                setTokens(x[a.Place], x[a.Place] + a.Rounded);
        }
    }

    // Whole weights >= 1 per place (marking order) under which no transition
    // changes the weighted token sum, when the search for them succeeds
    // (a positive place invariant); empty otherwise. `bounds`, when given,
    // receives per place the bound on its count that the invariants found
    // give the initial marking (infinite for a place in none); firing that
    // ignores a negative count can break it, so it is a first guess only.
    std::vector<double> PositiveInvariant(std::vector<double>* bounds = nullptr) const;

    // Writes the marking `values` into the places `cur` as the places' setter does.
    void Apply(double* cur, const double* values) const;

    // What a discrete place stores when a token count is written into it:
    // nothing for an equal, negative or undefined count, else the count
    // rounded to a whole number (halves to even; values from 2^52 on are whole).
    static void setTokens(double& cur, double value)
    {
        if (value == cur || value < 0 || value != value)
            return;
        cur = value >= 4503599627370496.0 ? value : (value + 4503599627370496.0) - 4503599627370496.0;
    }

private:
    struct TTrans
    {
        QString Name;
        TTransClass Class;
        double Guard;
        double Priority;
        double WeightSpeed;
        int InBegin = 0, InEnd = 0, OutEnd = 0;
        std::vector<TArcRec> In, Out; // while describing
    };
    std::vector<QString> m_addedNames;
    std::vector<double> m_addedTokens;
    std::vector<int> m_entryOf;
    QStringList m_placeNames;
    std::vector<double> m_initial;
    std::vector<TTrans> m_trans;
    std::vector<TArcRec> m_arcs;
    int m_arcCount = 0;
    bool m_clean = true;
};
