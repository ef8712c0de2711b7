// Solvers for the stationary probabilities of a chain: pi G = 0, sum pi = 1.
//
// "Gauss" is exact: dense elimination without pivoting for up to
// DenseGaussLimit markings, a sparse LU factorisation above that. "Seidel"
// iterates on the balance equations and falls back to "Gauss". The iterative
// method for large chains stops on the relative residual
//   ||pi G||_1 / (max_i |G[i][i]| * ||pi||_1)
// and reports nothing it did not converge to.
#pragma once

#include <QString>

#include <vector>

class IQRVProgress;
struct TSparseGenerator;

inline constexpr int DenseGaussLimit = 2000;

enum TSteadyMethod { smGauss, smSeidel, smIterative };

// The candidates of the iterative method (measured in the benchmark).
enum TIterativeKind {
    ikDefault,        // forward sweeps over-relaxed by 1.2, extrapolated from the last two
    ikGaussSeidel,    // forward sweeps on the balance equations
    ikSor,            // the same, over-relaxed by Omega
    ikBiCgStabJacobi, // Krylov, diagonal preconditioner
    ikBiCgStabIlut,   // Krylov, incomplete LU
    ikBiCgStabSeidel, // Krylov, one Gauss-Seidel sweep as preconditioner
    ikGmresIlut,
    ikGmresSeidel,    // Krylov (restarted GMRES), one Gauss-Seidel sweep as preconditioner
    ikBackwardSeidel, // Gauss-Seidel sweeping from the last marking to the first
    ikBackwardSor,
};

struct TSteadySettings
{
    TSteadyMethod Method = smGauss;
    double Precision = 0.000001; // Seidel's "Precision"
    int Iterations = 100;        // Seidel's "Iterations"
    double Tolerance = 1e-10;    // relative residual of the iterative method
    int MaxSweeps = 100000;      // iterations of the iterative method
    TIterativeKind Kind = ikDefault;
    double Omega = 1.2; // over-relaxation of the SOR kinds
    // The sweeps of the iterative method start from the values already in
    // x when they can (one per marking, every one finite and above 0)
    // instead of from the uniform distribution: the points of a sweep over
    // rates start from the solution of the point before.
    bool WarmStart = false;
};

struct TSolveReport
{
    QString Method;      // what actually solved ("Gauss", "sparse LU", ...)
    int Sweeps = 0;      // iterations of an iterative method
    double Residual = 0; // relative residual of the solution
    bool Stopped = false;
    bool FellBack = false; // Seidel handed over to Gauss
    QString Message;       // why it failed
};

// The relative residual above, of the balance equations of `g`.
double RelativeResidual(const TSparseGenerator& g, const std::vector<double>& x);

// The Part's elimination on the dense augmented matrix (n <= DenseGaussLimit).
bool SolveDenseGauss(const TSparseGenerator& g, std::vector<double>& x, IQRVProgress* progress,
                     TSolveReport& r);
// Sparse LU of the same system. Says so, naming the iterative method, when
// the factors would not fit in the free memory.
bool SolveSparseLu(const TSparseGenerator& g, std::vector<double>& x, IQRVProgress* progress,
                   TSolveReport& r);
// Dense Gauss up to DenseGaussLimit markings, sparse LU above.
bool SolveGaussExact(const TSparseGenerator& g, std::vector<double>& x, IQRVProgress* progress,
                     TSolveReport& r);
// Gauss-Seidel with its attempts; false (without falling back) when it did not converge.
bool SolveSeidelOnly(const TSparseGenerator& g, double precision, int iterations, std::vector<double>& x,
                     IQRVProgress* progress, TSolveReport& r);
bool SolveIterative(const TSparseGenerator& g, const TSteadySettings& s, std::vector<double>& x,
                    IQRVProgress* progress, TSolveReport& r);

// The method as chosen: Seidel falls back to Gauss.
bool SolveSteady(const TSparseGenerator& g, const TSteadySettings& s, std::vector<double>& x,
                 IQRVProgress* progress, TSolveReport& r);

// Bytes the sparse LU of `g` is expected to need (0 when unknown), and the
// bytes of memory free now.
double SparseLuMemoryEstimate(const TSparseGenerator& g);
double FreeMemoryBytes();

namespace SolverTexts {
inline const char* const Phase1 = "Now : Solving Linear Equations Sistem. Phase 1";
inline const char* const Phase2 = "Now : Solving Linear Equations Sistem. ";
inline const char* const Iterating = "Now : Iterating towards the stationary probabilities.";
inline const char* const IterativeName = "Iterative (large chains)";
} // namespace SolverTexts
