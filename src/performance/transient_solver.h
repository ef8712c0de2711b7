// The probabilities of a chain's markings at points in time, by
// uniformisation: with Λ at least the largest outflow rate and P = I + G / Λ,
//   pi(t) = sum over k of e^(-Λt) (Λt)^k / k! × v_0 P^k,
// the series cut after the power K (the "precision index").
//
// The powers v_k = v_0 P^k are sparse vector-matrix products (one pass over
// the generator's non-zeros each) and are not kept: each one is added, with
// its Poisson weight, to the sum of every time point at once. That needs one
// vector per time point instead of K + 1 power vectors (11 against about
// 1,000 for a sweep of 100 time units on a fast chain).
#pragma once

#include <QString>

#include <vector>

class IQRVProgress;
struct TSparseGenerator;

// The left-out Poisson mass above which a time point is reported.
inline constexpr double TransientMassTolerance = 1e-6;

// The Poisson weights e^(-a) a^k / k! of the terms k = 0 … K of the series,
// computed outwards from the mode with scaled weights and normalised by
// their sum, so that they stay right where e^(-a) underflows (a > 745).
// Terms below 1e-30 of the largest are left out on both sides.
struct TPoissonWeights
{
    qint64 Left = 0;             // the first term kept
    std::vector<double> Weights; // terms Left, Left + 1, … (none beyond K)
    double LeftOut = 0;          // the weight of the terms beyond K
    // The smallest K whose cut leaves out at most the tolerance asked for;
    // -1 when even the largest precision index would not do.
    qint64 NeededIndex = 0;
    qint64 Last() const { return Left + static_cast<qint64>(Weights.size()) - 1; }
};
TPoissonWeights PoissonWeights(double a, int K, double tolerance = TransientMassTolerance);

// Λ = coefficient × the largest outflow rate of a marking (the largest
// |G[k][k]|); 0 when no marking has a way out.
double UniformisationRate(const TSparseGenerator& g, double coefficient);

// What a time point's series left out.
struct TTimeCut
{
    double Time = 0;
    double LeftOut = 0;
    qint64 NeededIndex = 0;
};

struct TTransientReport
{
    int Powers = 0;             // the powers actually formed (the weights beyond are all below 1e-30)
    std::vector<TTimeCut> Cuts; // per time point
    bool Stopped = false;
};

// pi(t) for every time in `times` (none negative), starting with probability
// 1 in marking `start`, with K = `powers` and the uniformisation rate
// `lambda` (> 0). `result` receives one vector per time point. Progress runs
// from 0 to 100 over the powers; Break is seen after each power. False when
// stopped (result then empty).
bool TransientProbabilities(const TSparseGenerator& g, double lambda, int start,
                            const std::vector<double>& times, int powers,
                            std::vector<std::vector<double>>& result, IQRVProgress* progress,
                            TTransientReport& report);

// The text that warns of a time point whose series was cut too early.
QString TransientCutWarning(const TTimeCut& cut, int powers);
