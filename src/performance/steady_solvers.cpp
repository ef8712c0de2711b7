#include "performance/steady_solvers.h"

#include <QElapsedTimer>
#include <QFile>

#include <Eigen/IterativeLinearSolvers>
#include <Eigen/SparseCore>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <umfpack.h>
#include <unsupported/Eigen/IterativeSolvers>

#include "model/progress.h"
#include "performance/large_arrays.h"
#include "performance/parallel_rows.h"
#include "performance/sparse_generator.h"

namespace {

using TRowMatrix = Eigen::SparseMatrix<double, Eigen::RowMajor, int>;
using TVector = Eigen::VectorXd;

// Lets events run at most every few hundredths of a second.
class TPumpClock
{
public:
    explicit TPumpClock(IQRVProgress* progress) : m_progress(progress) { m_clock.start(); }
    // True when the user asked to stop.
    bool Tick(bool force = false)
    {
        if (!m_progress)
            return false;
        if (force || m_clock.elapsed() >= 40) {
            m_progress->Pump();
            m_clock.restart();
        }
        return m_progress->StopRequested();
    }

private:
    IQRVProgress* m_progress;
    QElapsedTimer m_clock;
};

void status(IQRVProgress* progress, const char* text)
{
    if (progress) {
        progress->Status(QString::fromLatin1(text));
        progress->Pump();
    }
}

QString zeroPivot(int mark)
{
    return QStringLiteral("The equations cannot be solved: the elimination met a zero pivot at marking M%1 "
                          "(its probability is not determined by the others).")
        .arg(mark);
}

// y = x G (the balance of every marking), on every core.
void balance(const TSparseGenerator& g, const double* x, double* y)
{
    const int n = g.Size;
    RunParallelRows(
        n, WorkerCount(g.NonZeros()), 1 << 30,
        [&](qint64 b, qint64 e, int) {
            for (qint64 j = b; j < e; ++j) {
                double s = g.BalanceDiagonal(static_cast<int>(j)) * x[j];
                const qint32 end = g.ColumnStart[static_cast<std::size_t>(j) + 1];
                for (qint32 k = g.ColumnStart[static_cast<std::size_t>(j)]; k < end; ++k)
                    s += g.ValueAt(k) * x[g.RowIndex[static_cast<std::size_t>(k)]];
                y[j] = s;
            }
        },
        nullptr);
}

double maxOutflow(const TSparseGenerator& g)
{
    double m = 0;
    for (int i = 0; i < g.Size; ++i)
        m = std::max(m, std::fabs(g.BalanceDiagonal(i)));
    return m;
}

bool normalise(std::vector<double>& x)
{
    double sum = 0;
    for (double v : x)
        sum += v;
    if (!(sum > 0) || !std::isfinite(sum))
        return false;
    const double inv = 1.0 / sum;
    for (double& v : x)
        v *= inv;
    return true;
}

// True when x is a start for the sweeps: every value finite and above 0
// (a value of 0 can be carried round a cycle by forward sweeps); x is then
// scaled to sum 1.
bool positiveStart(std::vector<double>& x)
{
    for (double v : x)
        if (!(v > 0) || !std::isfinite(v))
            return false;
    return normalise(x);
}

// The balance equations as rows (row j: the rates into marking j and its
// diagonal), with the row of marking `fixed` replaced by x_fixed = 1.
TRowMatrix balanceRows(const TSparseGenerator& g, int fixed)
{
    const int n = g.Size;
    TRowMatrix a(n, n);
    a.resizeNonZeros(static_cast<Eigen::Index>(g.NonZeros() + n));
    int* outer = a.outerIndexPtr();
    int* inner = a.innerIndexPtr();
    double* value = a.valuePtr();
    int at = 0;
    for (int j = 0; j < n; ++j) {
        outer[j] = at;
        if (j == fixed) {
            inner[at] = j;
            value[at++] = 1.0;
            continue;
        }
        bool diag = false;
        for (qint32 k = g.ColumnStart[static_cast<std::size_t>(j)];
             k < g.ColumnStart[static_cast<std::size_t>(j) + 1]; ++k) {
            const int i = g.RowIndex[static_cast<std::size_t>(k)];
            if (!diag && i > j) {
                inner[at] = j;
                value[at++] = g.BalanceDiagonal(j);
                diag = true;
            }
            inner[at] = i;
            value[at++] = g.ValueAt(k);
        }
        if (!diag) {
            inner[at] = j;
            value[at++] = g.BalanceDiagonal(j);
        }
    }
    outer[n] = at;
    a.resizeNonZeros(at);
    return a;
}

// Thrown from inside a Krylov iteration when the user asked to stop.
struct TStopIteration
{
};

// Wraps a preconditioner so that every application lets events run.
template <class Inner> class TPumpingPreconditioner : public Inner
{
public:
    typedef typename Inner::StorageIndex StorageIndex;
    TPumpingPreconditioner() = default;
    template <typename MatType> explicit TPumpingPreconditioner(const MatType& m) : Inner(m) {}
    template <typename Rhs> inline const Rhs solve(const Rhs& b) const
    {
        if (Clock && Clock->Tick())
            throw TStopIteration();
        ++*Applications;
        return Inner::solve(b);
    }
    TPumpClock* Clock = nullptr;
    int* Applications = nullptr;
};

// One forward Gauss-Seidel sweep as preconditioner: solves (D + L) z = r.
class TSeidelPreconditioner
{
public:
    typedef double Scalar;
    typedef int StorageIndex;
    enum { ColsAtCompileTime = Eigen::Dynamic, MaxColsAtCompileTime = Eigen::Dynamic };
    TSeidelPreconditioner() = default;
    template <typename MatType> explicit TSeidelPreconditioner(const MatType& m) { compute(m); }
    template <typename MatType> TSeidelPreconditioner& analyzePattern(const MatType&) { return *this; }
    template <typename MatType> TSeidelPreconditioner& factorize(const MatType& m) { return compute(m); }
    template <typename MatType> TSeidelPreconditioner& compute(const MatType& m)
    {
        m_lower = m.template triangularView<Eigen::Lower>();
        return *this;
    }
    Eigen::Index rows() const { return m_lower.rows(); }
    Eigen::Index cols() const { return m_lower.cols(); }
    template <typename Rhs> inline const Rhs solve(const Rhs& b) const
    {
        return m_lower.template triangularView<Eigen::Lower>().solve(b);
    }
    Eigen::ComputationInfo info() { return Eigen::Success; }

private:
    TRowMatrix m_lower;
};

template <class Solver>
bool runKrylov(Solver& solver, const TSparseGenerator& g, const TSteadySettings& s, std::vector<double>& x,
               IQRVProgress* progress, TSolveReport& r, int fixed)
{
    TPumpClock clock(progress);
    int applications = 0;
    solver.preconditioner().Clock = &clock;
    solver.preconditioner().Applications = &applications;
    const int n = g.Size;
    TVector b = TVector::Zero(n);
    b[fixed] = 1.0;
    TVector guess = TVector::Constant(n, 1.0);
    // The solver's own test is on ||b - A x|| / ||b||; ours on the balance.
    // Tighten until the balance residual is reached.
    double tol = s.Tolerance;
    for (int round = 0; round < 6; ++round) {
        solver.setTolerance(tol);
        solver.setMaxIterations(std::max(1, s.MaxSweeps - r.Sweeps));
        TVector sol;
        try {
            sol = solver.solveWithGuess(b, guess);
        } catch (const TStopIteration&) {
            r.Stopped = true;
            return false;
        }
        r.Sweeps += static_cast<int>(solver.iterations());
        x.assign(sol.data(), sol.data() + n);
        if (!normalise(x)) {
            r.Message = QStringLiteral("The iteration did not converge.");
            return false;
        }
        r.Residual = RelativeResidual(g, x);
        if (r.Residual <= s.Tolerance)
            return true;
        if (r.Sweeps >= s.MaxSweeps || !std::isfinite(r.Residual))
            break;
        guess = sol;
        tol *= 0.1;
    }
    r.Message = QStringLiteral("The iteration reached a relative residual of %1 after %2 iterations, not %3.")
                    .arg(r.Residual, 0, 'g', 3)
                    .arg(r.Sweeps)
                    .arg(s.Tolerance, 0, 'g', 3);
    return false;
}

// What a sweep adds up besides the new values: sum |x_j' - x_j| |d_j| and
// sum |x_j'| over its markings; when it keeps the changes for extrapolation
// (see seidelSweeps), also sum w_j dc_j c_j and sum w_j dc_j^2 with the
// change c_j = x_j' - x_j, its difference dc_j from the change of the sweep
// before and the weight w_j = d_j^2.
struct TSweepSums
{
    double Change = 0;
    double Mass = 0;
    double Cross = 0;
    double Square = 0;
};

// One (over-relaxed) Gauss-Seidel pass over the markings [begin, end), in
// ascending or descending order, writing the new values into `out`. Values
// of markings the pass has updated are read from `out`, all others from
// `old` (the values before the pass); `old` and `out` may be the same.
// `rate(k)` gives the value of element k; `scale` holds 1 / |d_j| and |d_j|
// side by side for every marking j. When `changes` is given, it holds the
// changes of the sweep before and gets this sweep's.
template <class Rate>
TSweepSums sweepRange(const TSparseGenerator& g, const Rate& rate, const double* scale, const double* old,
                      double* out, double* changes, qint64 begin, qint64 end, bool backward, double omega)
{
    const qint32* start = g.ColumnStart.data();
    const qint32* rows = g.RowIndex.data();
    double change = 0, mass = 0, cross = 0, square = 0;
    const qint64 step = backward ? -1 : 1;
    for (qint64 j = backward ? end - 1 : begin; backward ? j >= begin : j < end; j += step) {
        // The markings updated so far: [begin, j) forwards, (j, end) backwards.
        const qint64 doneFrom = backward ? j + 1 : begin;
        const qint64 doneTo = backward ? end : j;
        double sum = 0;
        const qint32 stop = start[j + 1];
        for (qint32 k = start[j]; k < stop; ++k) {
            const qint32 i = rows[k];
            sum += rate(k) * (i >= doneFrom && i < doneTo ? out[i] : old[i]);
        }
        const double before = old[j];
        const double inv = scale[2 * j], d = scale[2 * j + 1];
        // Over-relaxed values are kept from going below 0, which no
        // probability does (and which keeps the bound below).
        const double next =
            omega == 1.0 ? sum * inv : std::max(0.0, (1 - omega) * before + omega * sum * inv);
        out[j] = next;
        const double c = next - before;
        change += std::fabs(c) * d;
        mass += std::fabs(next);
        if (changes) {
            const double dc = (c - changes[j]) * d;
            changes[j] = c;
            cross += dc * c * d;
            square += dc * dc;
        }
    }
    return {change, mass, cross, square};
}

// Gauss-Seidel sweeps, over-relaxed by `omega`. When the over-relaxed
// iteration diverges, plain Gauss-Seidel goes on from the best values seen.
//
// With `extrapolate`, every other sweep's result g_k is combined with the
// one before, g_{k-1}, which that sweep started from:
//   x_{k+1} = g_k - gamma (g_k - g_{k-1}),
// with gamma the one that makes the combined changes c_k - gamma (c_k -
// c_{k-1}) least in the norm weighted by d_j^2 (c_k = g_k - x_k: one-step
// Anderson mixing). On the fixed point of a sweep this removes much of its
// slowest component, at the price of one streamed pass over two vectors;
// the products it needs are summed by the sweeps themselves.
bool seidelSweeps(const TSparseGenerator& g, const TSteadySettings& s, double omega, bool backward,
                  bool extrapolate, std::vector<double>& x, IQRVProgress* progress, TSolveReport& r)
{
    const int n = g.Size;
    const auto un = static_cast<std::size_t>(n);
    TLargeVector<double> scale;
    AssignLarge(scale, 2 * un, 0.0);
    for (int j = 0; j < n; ++j) {
        const double d = g.BalanceDiagonal(j);
        if (d == 0) {
            r.Message = QStringLiteral("Marking M%1 has no way out: the chain is absorbed there.").arg(j);
            return false;
        }
        scale[2 * static_cast<std::size_t>(j)] = -1.0 / d;
        scale[2 * static_cast<std::size_t>(j) + 1] = -d;
    }
    if (!(s.WarmStart && x.size() == un && positiveStart(x)))
        AssignLarge(x, un, 1.0 / n);
    const double outflow = maxOutflow(g);
    // After a sweep, every balance x' G_j is made of the changes of the values
    // read before they were updated, so that
    //   ||x' G||_1 <= (1 + |1 - 1/omega|) sum_j |x_j' - x_j| |d_j|.
    // The true residual is computed only once this bound is near the
    // tolerance (and now and then, in case the bound stays far above it).
    double bound = 1 + std::fabs(1 - 1 / omega);
    std::vector<double> best;
    double bestEstimate = INFINITY;
    int bestSweep = 0;
    TPumpClock clock(progress);
    // On large chains each core sweeps its own range of markings in order,
    // reading the others' values of the previous sweep: a splitting that
    // converges like Gauss-Seidel and takes every core. The new values go
    // to a second vector, which then takes the place of the old one (or,
    // when extrapolating, is combined with the one before into it).
    const int parts = WorkerCount(g.NonZeros());
    std::vector<double> next; // takes the place of x
    TLargeVector<double> changes;
    AssignLarge(next, parts > 1 || extrapolate ? un : 0, 0.0);
    if (extrapolate) {
        AssignLarge(changes, un, 0.0);
    }
    // Sweeps whose result is combined with the one before: from the third
    // on (the first two give the first difference of changes), while the
    // bound keeps falling.
    int mixedFrom = 2;
    double lastEstimate = INFINITY;
    bool combined = false;
    std::vector<TSweepSums> partSums(static_cast<std::size_t>(parts));
    const auto sweep = [&](qint64 b, qint64 e, double* out) {
        double* c = extrapolate ? changes.data() : nullptr;
        if (!g.Value.empty()) {
            const double* values = g.Value.data();
            return sweepRange(
                g, [values](qint32 k) { return values[k]; }, scale.data(), x.data(), out, c, b, e, backward,
                omega);
        }
        const double* rates = g.Rates.data();
        const quint8* index = g.RateIndex.data();
        return sweepRange(
            g, [rates, index](qint32 k) { return rates[index[k]]; }, scale.data(), x.data(), out, c, b, e,
            backward, omega);
    };
    // x = max(0, next - gamma (next - x)), where x is the result of the
    // sweep before (which was not combined).
    const auto combine = [&](double gamma) {
        if (gamma == 0) {
            x.swap(next);
            return;
        }
        const double* gk = next.data();
        double* xs = x.data();
        RunParallelRows(
            n, parts, n,
            [&](qint64 b, qint64 e, int) {
                for (qint64 j = b; j < e; ++j)
                    xs[j] = std::max(0.0, gk[j] - gamma * (gk[j] - xs[j]));
            },
            nullptr);
    };
    const auto trueResidual = [&]() -> double {
        if (!normalise(x))
            return INFINITY;
        r.Residual = RelativeResidual(g, x);
        return r.Residual;
    };
    int lastCheck = 0, lastNormal = 0;
    double checkedBound = INFINITY;
    while (r.Sweeps < s.MaxSweeps) {
        if (parts == 1 && !extrapolate) {
            partSums[0] = sweep(0, n, x.data());
        } else {
            RunParallelRows(
                n, parts, n,
                [&](qint64 b, qint64 e, int part) {
                    partSums[static_cast<std::size_t>(part)] = sweep(b, e, next.data());
                },
                nullptr);
        }
        ++r.Sweeps;
        if (clock.Tick()) {
            r.Stopped = true;
            return false;
        }
        TSweepSums sums;
        for (const TSweepSums& p : partSums) {
            sums.Change += p.Change;
            sums.Mass += p.Mass;
            sums.Cross += p.Cross;
            sums.Square += p.Square;
        }
        const double estimate = bound * sums.Change / (outflow * sums.Mass);
        const bool check = estimate <= s.Tolerance ||
                           (estimate <= 16 * s.Tolerance && estimate < 0.5 * checkedBound) ||
                           r.Sweeps - lastCheck >= 64;
        if (extrapolate) {
            // The bound is the one of the sweep's own result: that is what
            // a check tests. After a sweep whose bound more than doubled
            // the next two start from their own results alone.
            double gamma = 0;
            if (!(estimate <= 2 * lastEstimate))
                mixedFrom = r.Sweeps + 2;
            else if (!check && r.Sweeps >= mixedFrom && !combined && sums.Square > 0)
                gamma = std::clamp(sums.Cross / sums.Square, -8.0, 8.0);
            lastEstimate = estimate;
            if (!std::isfinite(gamma))
                gamma = 0;
            combine(gamma);
            combined = gamma != 0;
        } else if (parts > 1) {
            x.swap(next);
        }
        if (omega != 1.0) {
            // Keeps the values each time the bound has halved; gives up
            // over-relaxing when it grows or stops halving.
            if (std::isfinite(estimate) && estimate < 0.5 * bestEstimate) {
                best.reserve(x.size());
                best = x;
                bestEstimate = estimate;
                bestSweep = r.Sweeps;
            } else if (!std::isfinite(estimate) || estimate > 8 * bestEstimate || r.Sweeps - bestSweep > 64) {
                // Values of 0 are no start: a forward sweep can carry
                // them round a cycle and take every value to 0.
                if (best.empty() || !normalise(best) ||
                    std::find(best.begin(), best.end(), 0.0) != best.end())
                    best.assign(un, 1.0 / n);
                x.swap(best);
                FreeVector(best);
                omega = 1.0;
                bound = 1.0;
                lastCheck = r.Sweeps;
                // Plain sweeps from here on, as without extrapolation.
                if (extrapolate) {
                    extrapolate = false;
                    if (parts == 1)
                        FreeVector(next);
                    FreeVector(changes);
                }
                continue;
            }
        }
        if (!std::isfinite(sums.Change) || !(sums.Mass > 0)) {
            r.Message = QStringLiteral("The iteration did not converge.");
            return false;
        }
        if (check) {
            lastCheck = r.Sweeps;
            checkedBound = estimate;
            if (trueResidual() <= s.Tolerance)
                return true;
            if (!std::isfinite(r.Residual)) {
                r.Message = QStringLiteral("The iteration did not converge.");
                return false;
            }
        } else if (r.Sweeps - lastNormal >= 16 && (!extrapolate || combined)) {
            // Keeps the sum near 1. Only right after a combination, so
            // that the next one combines results of the same scale.
            lastNormal = r.Sweeps;
            if (!normalise(x)) {
                r.Message = QStringLiteral("The iteration did not converge.");
                return false;
            }
        }
    }
    if (trueResidual() <= s.Tolerance)
        return true;
    r.Message = QStringLiteral("The iteration reached a relative residual of %1 after %2 iterations, not %3.")
                    .arg(r.Residual, 0, 'g', 3)
                    .arg(r.Sweeps)
                    .arg(s.Tolerance, 0, 'g', 3);
    return false;
}

} // namespace

double RelativeResidual(const TSparseGenerator& g, const std::vector<double>& x)
{
    const int n = g.Size;
    if (n == 0 || static_cast<int>(x.size()) != n)
        return 0;
    TLargeVector<double> y;
    AssignLarge(y, static_cast<std::size_t>(n), 0.0);
    balance(g, x.data(), y.data());
    double num = 0, norm = 0;
    for (int j = 0; j < n; ++j) {
        num += std::fabs(y[static_cast<std::size_t>(j)]);
        norm += std::fabs(x[static_cast<std::size_t>(j)]);
    }
    const double scale = maxOutflow(g) * norm;
    return scale > 0 ? num / scale : (num > 0 ? INFINITY : 0.0);
}

bool SolveDenseGauss(const TSparseGenerator& g, std::vector<double>& x, IQRVProgress* progress,
                     TSolveReport& r)
{
    r.Method = QStringLiteral("Gauss");
    const int n = g.Size;
    const std::size_t w = static_cast<std::size_t>(n) + 1;
    std::vector<double> a(static_cast<std::size_t>(n) * w, 0.0);
    const auto A = [&](int row, int col) -> double& {
        return a[static_cast<std::size_t>(row) * w + static_cast<std::size_t>(col)];
    };
    for (int row = 0; row + 1 < n; ++row) {
        A(row, row) = g.BalanceDiagonal(row);
        for (qint32 k = g.ColumnStart[static_cast<std::size_t>(row)];
             k < g.ColumnStart[static_cast<std::size_t>(row) + 1]; ++k)
            A(row, g.RowIndex[static_cast<std::size_t>(k)]) = g.ValueAt(k);
    }
    for (int col = 0; col <= n; ++col)
        A(n - 1, col) = 1.0;
    if (progress)
        progress->Progress(100);
    status(progress, SolverTexts::Phase1);
    TPumpClock clock(progress);
    for (int c = 0; c + 1 < n; ++c) {
        if (clock.Tick()) {
            r.Stopped = true;
            return false;
        }
        const double* pivotRow = &A(c, 0);
        for (int row = c + 1; row < n; ++row) {
            double* target = &A(row, 0);
            if (target[c] == 0)
                continue;
            if (pivotRow[c] == 0) {
                r.Message = zeroPivot(c);
                return false;
            }
            const double f = -target[c] / pivotRow[c];
            for (int j = c; j <= n; ++j)
                target[j] += pivotRow[j] * f;
        }
    }
    status(progress, SolverTexts::Phase2);
    x.assign(static_cast<std::size_t>(n), 0.0);
    for (int row = n - 1; row >= 0; --row) {
        if (progress) {
            progress->Progress(static_cast<int>(std::lround((n + 1.0 - row) * 100.0 / (n + 1.0))));
            progress->Pump();
            if (progress->StopRequested()) {
                r.Stopped = true;
                return false;
            }
        }
        double s = 0;
        for (int j = n - 1; j > row; --j)
            s += A(row, j) * x[static_cast<std::size_t>(j)];
        if (A(row, row) == 0) {
            r.Message = zeroPivot(row);
            return false;
        }
        x[static_cast<std::size_t>(row)] = (A(row, n) - s) / A(row, row);
    }
    r.Residual = RelativeResidual(g, x);
    return true;
}

namespace {

// What the factorisation works on; shared with its thread, which may outlive
// a caller that stopped waiting.
struct TLuJob
{
    std::vector<int> Ap, Ai;
    std::vector<double> Ax;
    void* Symbolic = nullptr;
    void* Numeric = nullptr;
    int Status = 0;
    std::atomic<bool> Done{false};
    ~TLuJob()
    {
        if (Numeric)
            umfpack_di_free_numeric(&Numeric);
        if (Symbolic)
            umfpack_di_free_symbolic(&Symbolic);
    }
};

// The matrix whose transpose is the system: the generator with its last
// column replaced by the unit column, by columns. The balance of the last
// marking gives way to x = 1 there; the solution is normalised afterwards.
// (A row of ones instead would fill the factors densely.)
void transposedSystem(const TSparseGenerator& g, TLuJob& job)
{
    const int n = g.Size;
    job.Ap.resize(static_cast<std::size_t>(n) + 1);
    job.Ai.reserve(static_cast<std::size_t>(g.NonZeros()) + 2 * static_cast<std::size_t>(n));
    job.Ax.reserve(job.Ai.capacity());
    for (int j = 0; j < n; ++j) {
        job.Ap[static_cast<std::size_t>(j)] = static_cast<int>(job.Ai.size());
        if (j == n - 1) {
            job.Ai.push_back(j);
            job.Ax.push_back(1.0);
            continue;
        }
        bool diag = false;
        for (qint32 k = g.ColumnStart[static_cast<std::size_t>(j)];
             k < g.ColumnStart[static_cast<std::size_t>(j) + 1]; ++k) {
            const int i = g.RowIndex[static_cast<std::size_t>(k)];
            if (!diag && i > j) {
                job.Ai.push_back(j);
                job.Ax.push_back(g.BalanceDiagonal(j));
                diag = true;
            }
            job.Ai.push_back(i);
            job.Ax.push_back(g.ValueAt(k));
        }
        if (!diag) {
            job.Ai.push_back(j);
            job.Ax.push_back(g.BalanceDiagonal(j));
        }
    }
    job.Ap[static_cast<std::size_t>(n)] = static_cast<int>(job.Ai.size());
}

} // namespace

double FreeMemoryBytes()
{
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (line.startsWith("MemAvailable:"))
            return line.mid(13).trimmed().split(' ').value(0).toDouble() * 1024.0;
    }
    return 0;
}

double SparseLuMemoryEstimate(const TSparseGenerator& g)
{
    TLuJob job;
    transposedSystem(g, job);
    double info[UMFPACK_INFO];
    const int n = g.Size;
    if (umfpack_di_symbolic(n, n, job.Ap.data(), job.Ai.data(), job.Ax.data(), &job.Symbolic, nullptr,
                            info) != UMFPACK_OK)
        return 0;
    return info[UMFPACK_PEAK_MEMORY_ESTIMATE] * info[UMFPACK_SIZE_OF_UNIT];
}

bool SolveSparseLu(const TSparseGenerator& g, std::vector<double>& x, IQRVProgress* progress, TSolveReport& r)
{
    r.Method = QStringLiteral("Gauss (sparse LU)");
    const int n = g.Size;
    if (progress)
        progress->Progress(100);
    status(progress, SolverTexts::Phase1);
    auto job = std::make_shared<TLuJob>();
    transposedSystem(g, *job);
    double info[UMFPACK_INFO];
    double control[UMFPACK_CONTROL];
    umfpack_di_defaults(control);
    if (umfpack_di_symbolic(n, n, job->Ap.data(), job->Ai.data(), job->Ax.data(), &job->Symbolic, control,
                            info) != UMFPACK_OK) {
        r.Message = QStringLiteral("The equations cannot be factorised.");
        return false;
    }
    const double need = info[UMFPACK_PEAK_MEMORY_ESTIMATE] * info[UMFPACK_SIZE_OF_UNIT];
    const double free = FreeMemoryBytes();
    if (free > 0 && need > 0.8 * free) {
        r.Message =
            QStringLiteral("The exact solution of %1 markings needs about %2 MB of memory, but only %3 MB "
                           "are free. Choose the method \"%4\".")
                .arg(n)
                .arg(std::ceil(need / 1048576.0), 0, 'f', 0)
                .arg(std::floor(free / 1048576.0), 0, 'f', 0)
                .arg(QString::fromLatin1(SolverTexts::IterativeName));
        return false;
    }
    // The factorisation runs on a thread of its own, so that Break is seen
    // at once; a stopped factorisation finishes unseen and frees its memory.
    std::thread([job, control]() mutable {
        double localInfo[UMFPACK_INFO];
        job->Status = umfpack_di_numeric(job->Ap.data(), job->Ai.data(), job->Ax.data(), job->Symbolic,
                                         &job->Numeric, control, localInfo);
        job->Done = true;
    }).detach();
    TPumpClock clock(progress);
    while (!job->Done.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (clock.Tick()) {
            r.Stopped = true;
            return false;
        }
    }
    if (job->Status == UMFPACK_WARNING_singular_matrix) {
        r.Message = QStringLiteral("The equations cannot be solved: the chain has no unique stationary "
                                   "distribution (the factorisation found the system singular).");
        return false;
    }
    if (job->Status != UMFPACK_OK) {
        r.Message =
            job->Status == UMFPACK_ERROR_out_of_memory
                ? QStringLiteral("The exact solution needs more memory than is free. Choose the method "
                                 "\"%1\".")
                      .arg(QString::fromLatin1(SolverTexts::IterativeName))
                : QStringLiteral("The equations cannot be factorised (status %1).").arg(job->Status);
        return false;
    }
    status(progress, SolverTexts::Phase2);
    std::vector<double> b(static_cast<std::size_t>(n), 0.0);
    b[static_cast<std::size_t>(n) - 1] = 1.0;
    x.assign(static_cast<std::size_t>(n), 0.0);
    const int st = umfpack_di_solve(UMFPACK_At, job->Ap.data(), job->Ai.data(), job->Ax.data(), x.data(),
                                    b.data(), job->Numeric, control, info);
    if (st != UMFPACK_OK || !normalise(x)) {
        r.Message = QStringLiteral("The equations cannot be solved: the chain has no unique stationary "
                                   "distribution in which marking M%1 is reached.")
                        .arg(n - 1);
        return false;
    }
    r.Residual = RelativeResidual(g, x);
    return true;
}

bool SolveGaussExact(const TSparseGenerator& g, std::vector<double>& x, IQRVProgress* progress,
                     TSolveReport& r)
{
    return g.Size <= DenseGaussLimit ? SolveDenseGauss(g, x, progress, r) : SolveSparseLu(g, x, progress, r);
}

bool SolveSeidelOnly(const TSparseGenerator& g, double precision, int iterations, std::vector<double>& x,
                     IQRVProgress* progress, TSolveReport& r)
{
    r.Method = QStringLiteral("Seidel");
    const int n = g.Size;
    // B and C by rows: row i is the balance of marking i (the last row the normalisation).
    std::vector<qint64> start(static_cast<std::size_t>(n) + 1);
    std::vector<qint32> column;
    std::vector<double> bValue, cValue;
    std::vector<double> bRight(static_cast<std::size_t>(n), 0.0), cRight(static_cast<std::size_t>(n), 0.0);
    column.reserve(static_cast<std::size_t>(g.NonZeros() + 2 * n));
    for (int i = 0; i < n; ++i) {
        start[static_cast<std::size_t>(i)] = static_cast<qint64>(column.size());
        if (i == n - 1) {
            for (int j = 0; j < n; ++j) {
                column.push_back(j);
                cValue.push_back(1.0);
            }
            cRight[static_cast<std::size_t>(i)] = 1.0;
            continue;
        }
        bool diag = false;
        const auto put = [&](int j, double v) {
            if (v != 0) {
                column.push_back(j);
                cValue.push_back(v);
            }
        };
        for (qint32 k = g.ColumnStart[static_cast<std::size_t>(i)];
             k < g.ColumnStart[static_cast<std::size_t>(i) + 1]; ++k) {
            const int j = g.RowIndex[static_cast<std::size_t>(k)];
            if (!diag && j > i) {
                put(i, g.BalanceDiagonal(i));
                diag = true;
            }
            put(j, g.ValueAt(k));
        }
        if (!diag)
            put(i, g.BalanceDiagonal(i));
    }
    start[static_cast<std::size_t>(n)] = static_cast<qint64>(column.size());
    // B: -A[i][j] / A[i][i] off the diagonal; its diagonal entries are skipped when iterating.
    std::vector<double> diagonal(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i)
        for (qint64 k = start[static_cast<std::size_t>(i)]; k < start[static_cast<std::size_t>(i) + 1]; ++k)
            if (column[static_cast<std::size_t>(k)] == i)
                diagonal[static_cast<std::size_t>(i)] = cValue[static_cast<std::size_t>(k)];
    for (int i = 0; i < n; ++i) {
        if (diagonal[static_cast<std::size_t>(i)] == 0) {
            r.Message =
                QStringLiteral("The equations cannot be iterated: the diagonal element of marking M%1 is 0.")
                    .arg(i);
            return false;
        }
    }
    bValue.resize(cValue.size());
    for (int i = 0; i < n; ++i) {
        const double d = diagonal[static_cast<std::size_t>(i)];
        for (qint64 k = start[static_cast<std::size_t>(i)]; k < start[static_cast<std::size_t>(i) + 1]; ++k)
            bValue[static_cast<std::size_t>(k)] = -cValue[static_cast<std::size_t>(k)] / d;
        bRight[static_cast<std::size_t>(i)] = cRight[static_cast<std::size_t>(i)] / d;
    }
    const auto residual = [&]() {
        double e = 0;
        for (int row = 0; row < n; ++row) {
            double s = 0;
            for (qint64 k = start[static_cast<std::size_t>(row)];
                 k < start[static_cast<std::size_t>(row) + 1]; ++k)
                s += cValue[static_cast<std::size_t>(k)] *
                     x[static_cast<std::size_t>(column[static_cast<std::size_t>(k)])];
            e = std::max(e, std::fabs(s - cRight[static_cast<std::size_t>(row)]));
        }
        return e;
    };

    x.assign(static_cast<std::size_t>(n), 0.0);
    const qint64 budget = static_cast<qint64>(n) * iterations;
    double e = 0;
    bool ok = false;
    bool converged = false;
    qint64 k = 0;
    TPumpClock clock(progress);
    for (int s = 0; s <= n - 1; ++s) {
        if (s > 0)
            x[static_cast<std::size_t>(s) - 1] = 0;
        x[static_cast<std::size_t>(s)] = 0.3;
        k = 0;
        ok = true;
        while (true) {
            const int i = static_cast<int>(k % n);
            double v = bRight[static_cast<std::size_t>(i)];
            for (qint64 q = start[static_cast<std::size_t>(i)]; q < start[static_cast<std::size_t>(i) + 1];
                 ++q) {
                const qint32 j = column[static_cast<std::size_t>(q)];
                if (j != i)
                    v += bValue[static_cast<std::size_t>(q)] * x[static_cast<std::size_t>(j)];
            }
            x[static_cast<std::size_t>(i)] = v;
            if (k == 1 || i == 0) {
                e = residual();
                if (clock.Tick()) {
                    r.Stopped = true;
                    return false;
                }
            }
            ++k;
            if (k > 1 && e >= 1.0) {
                ok = false;
                break;
            }
            if (e < precision) {
                converged = true;
                break;
            }
            if (k > budget)
                break;
        }
        r.Sweeps += static_cast<int>(std::min<qint64>(k / std::max(n, 1), 1 << 30));
        if (k > budget || ok)
            break;
    }
    // A run whose budget ran out has not reached the precision: Gauss takes over.
    if (!ok || !converged)
        return false;
    double sum = 0;
    for (double v : x)
        sum += v;
    if (std::lround(sum) != 1)
        return false;
    r.Residual = RelativeResidual(g, x);
    return true;
}

bool SolveIterative(const TSparseGenerator& g, const TSteadySettings& s, std::vector<double>& x,
                    IQRVProgress* progress, TSolveReport& r)
{
    r.Method = QString::fromLatin1(SolverTexts::IterativeName);
    status(progress, SolverTexts::Iterating);
    const int n = g.Size;
    if (n == 1) {
        x.assign(1, 1.0);
        return true;
    }
    // Forward Gauss-Seidel sweeps over-relaxed by 1.2 (guarded: plain
    // Gauss-Seidel takes over when they diverge), each started from the
    // combination of the last two results that changes least: fewest passes
    // over the matrix on the chains measured (bench/steady_bench), and no
    // equation to give up. Markings are numbered in the order the graph
    // reached them, and sweeping in that order converges far faster than
    // backwards.
    if (s.Kind == ikDefault)
        return seidelSweeps(g, s, 1.2, false, true, x, progress, r);
    const TIterativeKind kind = s.Kind;
    const int fixed = n - 1;
    switch (kind) {
    case ikGaussSeidel:
        return seidelSweeps(g, s, 1.0, false, false, x, progress, r);
    case ikSor:
        return seidelSweeps(g, s, s.Omega, false, false, x, progress, r);
    case ikBackwardSeidel:
        return seidelSweeps(g, s, 1.0, true, false, x, progress, r);
    case ikBackwardSor:
        return seidelSweeps(g, s, s.Omega, true, false, x, progress, r);
    case ikBiCgStabJacobi: {
        const TRowMatrix a = balanceRows(g, fixed);
        Eigen::BiCGSTAB<TRowMatrix, TPumpingPreconditioner<Eigen::DiagonalPreconditioner<double>>> solver(a);
        return runKrylov(solver, g, s, x, progress, r, fixed);
    }
    case ikBiCgStabSeidel: {
        const TRowMatrix a = balanceRows(g, fixed);
        Eigen::BiCGSTAB<TRowMatrix, TPumpingPreconditioner<TSeidelPreconditioner>> solver(a);
        return runKrylov(solver, g, s, x, progress, r, fixed);
    }
    case ikGmresSeidel: {
        const TRowMatrix a = balanceRows(g, fixed);
        Eigen::GMRES<TRowMatrix, TPumpingPreconditioner<TSeidelPreconditioner>> solver;
        solver.set_restart(50);
        solver.compute(a);
        return runKrylov(solver, g, s, x, progress, r, fixed);
    }
    case ikGmresIlut: {
        const TRowMatrix a = balanceRows(g, fixed);
        Eigen::GMRES<TRowMatrix, TPumpingPreconditioner<Eigen::IncompleteLUT<double, int>>> solver;
        solver.preconditioner().setDroptol(1e-12);
        solver.preconditioner().setFillfactor(1);
        solver.set_restart(40);
        solver.compute(a);
        return runKrylov(solver, g, s, x, progress, r, fixed);
    }
    case ikBiCgStabIlut:
    default: {
        const TRowMatrix a = balanceRows(g, fixed);
        Eigen::BiCGSTAB<TRowMatrix, TPumpingPreconditioner<Eigen::IncompleteLUT<double, int>>> solver;
        solver.preconditioner().setDroptol(1e-12);
        solver.preconditioner().setFillfactor(1);
        solver.compute(a);
        return runKrylov(solver, g, s, x, progress, r, fixed);
    }
    }
}

bool SolveSteady(const TSparseGenerator& g, const TSteadySettings& s, std::vector<double>& x,
                 IQRVProgress* progress, TSolveReport& r)
{
    if (g.Size == 0) {
        r.Message = QStringLiteral("The graph holds no marking.");
        return false;
    }
    switch (s.Method) {
    case smIterative:
        return SolveIterative(g, s, x, progress, r);
    case smSeidel:
        if (SolveSeidelOnly(g, s.Precision, s.Iterations, x, progress, r))
            return true;
        if (r.Stopped || !r.Message.isEmpty())
            return false;
        r = TSolveReport();
        r.FellBack = true;
        return SolveGaussExact(g, x, progress, r);
    case smGauss:
    default:
        return SolveGaussExact(g, x, progress, r);
    }
}
