// The engine of the transient analysis: the values of the steady-state
// engine, computed from the probabilities of the markings at points in time
// instead of the stationary ones. Time is argument 1 of every sweep.
#pragma once

#include <QStringList>

#include "performance/calc_engine.h"
#include "performance/transient_solver.h"

class TTransEngine : public TCalcEngine
{
public:
    explicit TTransEngine(TQRVDesigner* net);

    // "normalization coeficient": Λ = C × the largest outflow rate (C = 1
    // when not above 0).
    double Coefficient = 1;
    // "precision index" K: the series is cut after the power K (at least 1).
    int PowerCount = 500;
    // K as large as the left-out Poisson mass of every time point asks for,
    // instead of PowerCount.
    bool AutomaticPowers = false;

    // Of the last argument-2 point: Λ, the K used and the powers formed.
    double UniformRate = 0;
    int PowersUsed = 0;
    int PowersFormed = 0;
    // Time points whose cut series left out more than TransientMassTolerance
    // (and a coefficient below 1), one text each.
    QStringList Warnings;

    // The sweep: every time point of `time` (none negative) at every point
    // of `arg2`; only argument 2 is restored afterwards.
    TSweepOutcome RunTransientSweep(const TSweepArgument& time, const TSweepArgument& arg2);
};

// Reads the fields of one argument as the transient window reads them:
// numbers (0 allowed), the count Steps rounded to the nearest integer and at
// least 2 (Final − Initial + 1 for a marking argument), the step
// (Final − Initial) / (count − 1). Returns -1, or the field that does not
// read (0 Initial, 1 Final, 2 Steps), with the reason in `why`.
int ReadTransientRange(const QString& initial, const QString& final, const QString& steps, bool marking,
                       TSweepArgument& arg, QString& why);
// The time range's own rule: no time point before 0. Empty when it holds.
QString CheckTimeRange(const TSweepArgument& time);
// "normalization coeficient": the number, or 1 when it is not one or not above 0.
double ReadCoefficient(const QString& text);
// "precision index": a whole number, 1 when below 1. False when the text is
// not a whole number.
bool ReadPrecisionIndex(const QString& text, int& powers);

namespace TransTexts {
inline const char* const Caption = "Transient analysis";
inline const char* const FillingMatrix = "Now: Filling stochastic matrix";
inline const char* const PreparingVectors = "Now: Preparing P-vectors";
inline const char* const Idle = "Now: Idle";
inline const char* const NoActivity =
    "No marking of the chain has a way out: every outflow rate is 0, so the chain never leaves its initial "
    "marking and there is no rate to uniformise. Calculation aborted!";
inline const char* const FreqKind = "Average operation freq of";
} // namespace TransTexts
