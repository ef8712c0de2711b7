// Structural analysis: the incidence matrix of a net, its P- and
// T-invariants found by eliminating columns with non-negative row
// combinations, and the verdicts drawn from them.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

#include "model/arcs.h"
#include "structural/matrix.h"

class IQRVProgress;
class TQRVDesigner;

// What the incidence matrix needs to know of a net, in the net's list order.
struct TNetStructure
{
    struct Place
    {
        QString Name;
        double Value = 0; // tokens of a discrete place, level of a continuous one
    };
    struct Arc
    {
        QString Place;
        QString Transition;
        bool ToPlace = false; // leads from the transition to the place
        TLinkKind Kind = lkNormal;
        double Weight = 1;
    };
    QList<Place> Places;
    QStringList Transitions;
    QList<Arc> Arcs;
};

// Reads the places, transitions and arcs of a net in list order (arcs missing
// an end are left out). An arc's weight is the value of its weight formula
// when the text names no element of the net, its reference value otherwise.
TNetStructure ReadNetStructure(const TQRVDesigner& net);

// Divides a row (the cells of `a` followed by those of `b`, `cells` of them
// in all, those not listed being 0) by the primes up to 101 that divide all of
// its cells, rounded, as long as one does. A row holding a 1 is left alone.
// Whether it was divided.
bool NormaliseRow(T2DMatrix::SparseRow& a, T2DMatrix::SparseRow& b, qsizetype cells);

class TQRVInvariants
{
public:
    static constexpr int DefaultMaxRows = 100000;

    T2DMatrix PIncidence; // places x transitions
    T2DMatrix PWork;      // reduced by the P-invariant computation
    T2DMatrix PInvariants;
    T2DMatrix TIncidence; // transitions x places
    T2DMatrix TWork;
    T2DMatrix TInvariants;
    // The token count of every place in row order, rounded to a whole number.
    std::vector<double> InitialTokens;

    bool PNotFound = false;
    bool TNotFound = false;
    bool StepMode = false;
    bool StepPressed = false;
    int StepCount = 0;

    // The elimination stops when the working matrix would hold more rows.
    int MaxRows = DefaultMaxRows;

    // Builds the six matrices; false when the net has no place or no
    // transition, or (with the reason in Interruptions) when memory ran out.
    bool BuildIncidence(const TNetStructure& net);

    // Eliminates the columns of `w` (rows: the elements whose invariants are
    // sought), combining the rows of `x` alike. True when the remaining rows
    // of `x` are invariants; while stepping, one step is done and the result
    // is true. False too when the computation was stopped (see Interruption).
    bool FindInvariants(T2DMatrix& w, T2DMatrix& x, IQRVProgress* progress = nullptr);

    // "Calculate": clears the step state and computes both kinds of invariants.
    void Calculate(IQRVProgress* progress = nullptr);
    // "Step-by-step": one elimination step of the T-invariants. Returns true
    // when stepping has ended; the P-invariants are then computed as well
    // unless they were already, so that the verdicts rest on both.
    bool Step(IQRVProgress* progress = nullptr);

    // Whether the last Calculate or stepping ended early (stopped, too many
    // rows, numbers out of range), and why.
    bool Interrupted() const { return !Interruptions.isEmpty(); }
    QStringList Interruptions;

    // The three verdict lines, from the invariants found.
    QStringList Verdicts() const;
    // What the memo shows after a computation: the verdicts, or why there are none.
    QStringList Report() const;

private:
    bool buildIncidence(const TNetStructure& net);
    enum TEnd { eRunning, eDone, eStopped, eTooManyRows, eOverflow, eNoMemory };
    TEnd eliminate(T2DMatrix& w, T2DMatrix& x, bool oneStep, IQRVProgress* progress);
    TEnd eliminateRows(T2DMatrix& w, T2DMatrix& x, bool oneStep, IQRVProgress* progress);
    bool conclude(T2DMatrix& w, T2DMatrix& x, TEnd end);
    void noteEnd(const QString& what);

    bool m_pComputed = false;
    bool m_tComputed = false;
    TEnd m_lastEnd = eDone;
};
