// The simulation engine: plays a net forward in model time on the net's own
// elements, so that the drawing shows the simulated marking. It knows no
// window: the simulation window animates between the halves of a step, the
// command line runs whole steps.
//
// Deterministic timing: an immediate transition fires without delay, a timed
// one 1 / rate after it was found enabled, a continuous one moves its flow
// one time unit after it was found enabled and at every step after that.
// Transitions ready at the same step are tried in random order, immediate
// ones by how often they fired relative to their weight share.
//
// Stochastic timing: immediate transitions fire first (the highest priority
// among the enabled ones, then chosen by weight), otherwise the enabled timed
// transitions race with exponentially distributed delays (the next one and
// its time are drawn anew after every firing, with the rates read at that
// moment); continuous transitions flow as in deterministic timing, and a
// step is then at most one time unit long.
//
// A formula that fails during a step throws ESimError. A failure after some
// transitions took their inputs still produces their outputs where it can;
// the message names any transition whose outputs could not be produced.
#pragma once

#include <QString>

#include <limits>
#include <vector>

#include "simulation/sim_random.h"

class TQRVDesigner;
class TclsLink;
class TclsNode;
class TclsTrans;

enum TSimKind : quint8 { skImmediate, skTimed, skContinuous };

class TSimEngine
{
public:
    explicit TSimEngine(TQRVDesigner& net, quint64 seed = 1);

    // Opening: saves the initial marking, rebuilds the arc lists, finds the
    // default step and the weight shares. Returns what could not be read (a
    // rate or weight whose formula fails), empty when all went well.
    QString Open();
    // The initial marking back, the clock at 0, the counters at 0, every
    // transition unscheduled.
    void Restart();
    // Puts the initial marking back into the places (the clock stays).
    void PutInitialMarking();
    // Whether the places hold the initial marking.
    bool AtInitialMarking() const;
    // The places with the values they held when the simulation opened.
    const std::vector<std::pair<TclsNode*, double>>& InitialMarking() const { return m_initial; }

    bool Stochastic() const { return m_stochastic; }
    // Switches the timing between steps.
    void SetStochastic(bool on);

    // One step in three parts, with the token animation between them:
    // BeginStep schedules, orders the ready transitions and starts their
    // firing (AnimatedArcs: their incoming arcs); BeginOutputs makes the
    // outgoing arcs the animated ones; EndStep ends the firing, chooses the
    // time step and advances the clock. Step runs all three.
    void BeginStep();
    void BeginOutputs();
    void EndStep();
    void Step();
    const std::vector<TclsLink*>& AnimatedArcs() const { return m_animated; }

    double ModelTime() const { return m_modelTime; }
    double PreviousTime() const { return m_previousTime; }
    double DefaultStep() const { return m_defaultStep; }
    double TimeStep() const { return m_timeStep; }

    int TransitionCount() const { return static_cast<int>(m_trans.size()); }
    TclsTrans* Transition(int i) const { return m_trans[static_cast<std::size_t>(i)].T; }
    TSimKind Kind(int i) const { return m_trans[static_cast<std::size_t>(i)].Kind; }
    // Model time at which the transition becomes ready; 0: not scheduled.
    double ScheduledTime(int i) const { return m_trans[static_cast<std::size_t>(i)].ScheduledTime; }
    double WeightShare(int i) const { return m_trans[static_cast<std::size_t>(i)].WeightShare; }
    // The ready transitions of the current step in trial order, and those
    // that fired (indices).
    const std::vector<int>& ReadyList() const { return m_ready; }
    const std::vector<int>& FiringList() const { return m_firing; }
    // No transition was enabled at the end of the last step: nothing can
    // happen any more.
    bool Dead() const { return m_dead; }

    // The key by which ready immediate transitions are ordered: FireCount /
    // WeightShare, +infinity for a share of 0.
    double OrderKey(int i) const;
    // The delay of a transition by its kind: 0, 1 / rate (+infinity for a
    // rate of 0), 1. Reads the rate now.
    double Delay(int i) const;

    TSimRandom& Random() { return m_random; }

private:
    struct TSimTrans
    {
        TclsTrans* T = nullptr;
        TSimKind Kind = skTimed;
        double ScheduledTime = 0;
        double WeightShare = 0;
        // Enabled, but its rate is 0: not scheduled until the rate is positive.
        bool Waiting = false;
        bool Open = false; // as last found by scheduling
    };

    bool open(int i);
    double delay(int i);
    void schedule(bool continuousOnly);
    void orderImmediates();
    void startFiring();
    void finishFiring(const QString& failure);
    void chooseTimeStep();
    void chooseEvent();
    void advanceClock();
    [[noreturn]] void fail(int i, const std::exception& e);

    TQRVDesigner& m_net;
    TSimRandom m_random;
    std::vector<TSimTrans> m_trans;
    std::vector<std::pair<TclsNode*, double>> m_initial;
    std::vector<int> m_ready;
    std::vector<int> m_firing;
    std::vector<int> m_outputsDue; // started, outputs not yet produced
    std::vector<TclsLink*> m_animated;
    std::vector<double> m_weights;
    TSumTree m_race;
    double m_modelTime = 0;
    double m_previousTime = 0;
    double m_defaultStep = 2147483647.0;
    double m_timeStep = 0;
    bool m_stochastic = false;
    int m_pending = -1; // stochastic timing: the transition that fires at the next step
    bool m_dead = false;
};
