// A net flattened into arrays for the stochastic simulator: token counts,
// arcs, enabling flags and the race of the enabled timed transitions, kept
// up to date after each firing by re-testing only the transitions that read
// a place the firing changed. Nothing is allocated while it runs.
//
// It follows the rules of the elements exactly (how a place stores a written
// token count, places at 99999 or more never change) and consumes random
// numbers exactly as the simulation engine does in stochastic timing, so
// both play the same trajectory from the same seed.
//
// Only nets of discrete places and immediate and timed transitions whose
// guards and arc weights are constants are compiled. Rates, weights and
// priorities that read the marking are read on the live net, whose places
// then follow every firing.
#pragma once

#include <QHash>
#include <QString>

#include <limits>
#include <vector>

#include "model/arcs.h"
#include "simulation/sim_engine.h"
#include "simulation/sim_random.h"

class TQRVDesigner;
class TQRVObject;
class TclsNodeDiscrete;
class TclsTrans;

class TStochasticNet
{
public:
    // Compiles the net (its arc lists are rebuilt). False, with the reason,
    // when the net needs the live simulation.
    bool Compile(TQRVDesigner& net, QString* why = nullptr);
    // Keeps the live net's places in step with every firing (for formulas
    // that read the marking), in addition to what the rates need.
    void SetFollowLiveNet(bool on) { m_follow = on || !m_dynamic.empty(); }

    // The initial marking, the clock at 0, and the first event chosen.
    void Reset(TSimRandom& random);
    // The time from the current marking to the pending event; +infinity when
    // nothing can happen any more.
    double Delay() const { return m_delay; }
    bool Dead() const { return m_pending < 0; }
    // Fires the pending event and chooses the next; returns the transition.
    // Throws ESimError when a rate, weight or priority fails to evaluate.
    int Advance();

    int PlaceCount() const { return static_cast<int>(m_x.size()); }
    int TransitionCount() const { return static_cast<int>(m_kind.size()); }
    double Value(int place) const { return m_x[static_cast<std::size_t>(place)]; }
    // The places the last firing may have changed.
    const int* ChangedBegin() const { return m_changed.data() + m_changedBegin[m_last]; }
    const int* ChangedEnd() const { return m_changed.data() + m_changedBegin[m_last + 1]; }
    // Indices of the net's places and transitions (-1 for other objects).
    int PlaceIndex(const TQRVObject* o) const { return m_placeIndex.value(o, -1); }
    int TransitionIndex(const TQRVObject* o) const { return m_transIndex.value(o, -1); }

private:
    struct TArc
    {
        int Place;
        TLinkKind Kind;
        double Weight;
        double Rounded; // the weight rounded to a whole number (halves to even)
    };

    bool open(int t) const;
    void fire(int t);
    // Re-tests a transition after a firing and updates the race.
    void retest(int t);
    void readDynamic(int t);
    void choose();

    TSimRandom* m_random = nullptr;
    std::vector<TclsNodeDiscrete*> m_livePlaces;
    std::vector<TclsTrans*> m_liveTrans;
    QHash<const TQRVObject*, int> m_placeIndex;
    QHash<const TQRVObject*, int> m_transIndex;
    std::vector<double> m_initial;
    std::vector<double> m_x;

    std::vector<TSimKind> m_kind;
    std::vector<double> m_guard;
    std::vector<double> m_value;    // rate (timed) or weight (immediate)
    std::vector<double> m_priority; // immediate transitions
    std::vector<quint8> m_isDynamic;
    std::vector<int> m_dynamic;    // transitions whose value or priority reads the marking
    std::vector<int> m_immediates; // in net order
    std::vector<TArc> m_arcs;
    std::vector<int> m_inBegin, m_outBegin, m_arcEnd;
    std::vector<int> m_retestBegin, m_retest;   // per transition: whom its firing may enable or disable
    std::vector<int> m_changedBegin, m_changed; // per transition (+1 for "none"): places it changes

    std::vector<quint8> m_open;
    int m_openImmediates = 0;
    TSumTree m_race;
    std::vector<int> m_candidates;
    std::vector<double> m_weights;
    int m_pending = -1;
    int m_last = 0; // the entry of ChangedBegin: the transition fired last, or "none"
    double m_delay = std::numeric_limits<double>::infinity();
    bool m_follow = false;
};
