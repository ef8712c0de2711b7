#include "performance/transient_solver.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "model/numbers.h"
#include "model/progress.h"
#include "performance/parallel_rows.h"
#include "performance/sparse_generator.h"

namespace {

// Weights below this share of the largest are not formed.
constexpr double kNegligible = 1e-30;
// Of the rest, the terms on either side whose weights sum to less than this
// are left out: less than a double can tell from a probability of 1.
constexpr double kTailMass = 1e-17;
// Columns whose new values are added to the sums together.
constexpr qint64 kBlock = 2048;
// Beyond this mean no term up to the largest precision index carries weight.
constexpr double kLargestMean = 2.5e9;

} // namespace

TPoissonWeights PoissonWeights(double a, int K, double tolerance)
{
    TPoissonWeights r;
    K = std::max(K, 0);
    if (!(a > 0)) {
        r.Weights.assign(1, 1.0);
        return r;
    }
    if (a > kLargestMean) {
        r.Left = static_cast<qint64>(K) + 1;
        r.LeftOut = 1;
        r.NeededIndex = -1;
        return r;
    }
    // u_k = w_k / w_m from the mode m outwards: u_{k-1} = u_k k / a and
    // u_{k+1} = u_k a / (k + 1); none of them underflows.
    const auto m = static_cast<qint64>(std::floor(a));
    std::vector<double> down; // u_{m-1}, u_{m-2}, …
    double u = 1;
    for (qint64 k = m; k > 0; --k) {
        u *= static_cast<double>(k) / a;
        if (u < kNegligible)
            break;
        down.push_back(u);
    }
    std::vector<double> up; // u_{m+1}, u_{m+2}, …
    u = 1;
    for (qint64 k = m + 1;; ++k) {
        u *= a / static_cast<double>(k);
        if (u < kNegligible)
            break;
        up.push_back(u);
    }
    const qint64 left = m - static_cast<qint64>(down.size());
    const qint64 right = m + static_cast<qint64>(up.size());
    const auto at = [&](qint64 k) {
        if (k < m)
            return down[static_cast<std::size_t>(m - 1 - k)];
        return k == m ? 1.0 : up[static_cast<std::size_t>(k - m - 1)];
    };
    // The sum, smallest terms first.
    double total = 0;
    for (auto it = down.rbegin(); it != down.rend(); ++it)
        total += *it;
    double upper = 0;
    for (auto it = up.rbegin(); it != up.rend(); ++it)
        upper += *it;
    total += 1 + upper;
    const auto weight = [&](qint64 k) { return at(k) / total; };
    qint64 first = left, last = right;
    for (double tail = 0; first < m && tail + weight(first) <= kTailMass; ++first)
        tail += weight(first);
    for (double tail = 0; last > m && tail + weight(last) <= kTailMass; --last)
        tail += weight(last);

    r.Left = first;
    for (qint64 k = first; k <= std::min<qint64>(K, last); ++k)
        r.Weights.push_back(weight(k));
    double cut = 0;
    for (qint64 k = last; k > K && k >= first; --k)
        cut += at(k);
    r.LeftOut = cut / total;
    // The smallest index whose tail stays within the tolerance.
    double tail = 0;
    qint64 needed = last;
    while (needed >= first) {
        const double more = tail + weight(needed);
        if (more > tolerance)
            break;
        tail = more;
        --needed;
    }
    needed = std::max<qint64>(needed, 1);
    r.NeededIndex = needed > INT_MAX ? -1 : needed;
    return r;
}

double UniformisationRate(const TSparseGenerator& g, double coefficient)
{
    if (!(coefficient > 0) || !std::isfinite(coefficient))
        coefficient = 1;
    double q = 0;
    for (double d : g.Diagonal)
        q = std::max(q, std::fabs(d));
    return coefficient * q;
}

bool TransientProbabilities(const TSparseGenerator& g, double lambda, int start,
                            const std::vector<double>& times, int powers,
                            std::vector<std::vector<double>>& result, IQRVProgress* progress,
                            TTransientReport& report)
{
    const int n = g.Size;
    const std::size_t points = times.size();
    report = TTransientReport();
    powers = std::max(powers, 1);
    std::vector<TPoissonWeights> weights(points);
    qint64 lastPower = 0;
    for (std::size_t i = 0; i < points; ++i) {
        weights[i] = PoissonWeights(lambda * times[i], powers);
        report.Cuts.push_back({times[i], weights[i].LeftOut, weights[i].NeededIndex});
        if (!weights[i].Weights.empty())
            lastPower = std::max(lastPower, weights[i].Last());
    }
    result.assign(points, std::vector<double>(static_cast<std::size_t>(n), 0.0));
    if (n == 0)
        return true;
    std::vector<double> v(static_cast<std::size_t>(n), 0.0), next(static_cast<std::size_t>(n), 0.0);
    v[static_cast<std::size_t>(start)] = 1;
    for (std::size_t i = 0; i < points; ++i)
        if (weights[i].Left == 0 && !weights[i].Weights.empty())
            result[i][static_cast<std::size_t>(start)] += weights[i].Weights[0];
    // P = I + G / Λ; a firing that leaves the marking as it is stays on the diagonal.
    const double scale = 1 / lambda;
    std::vector<double> diagonal(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j)
        diagonal[static_cast<std::size_t>(j)] = 1 + g.BalanceDiagonal(j) * scale;

    struct TTerm
    {
        double* Sum;
        double Weight;
    };
    std::vector<TTerm> terms;
    const int parts = WorkerCount(g.NonZeros() / 8);
    int shown = -1;
    for (qint64 k = 1; k <= lastPower; ++k) {
        terms.clear();
        for (std::size_t i = 0; i < points; ++i)
            if (k >= weights[i].Left && k <= weights[i].Last())
                terms.push_back(
                    {result[i].data(), weights[i].Weights[static_cast<std::size_t>(k - weights[i].Left)]});
        // next = v P, column by column; each block of it is added at once to
        // the sums it belongs to, while it is in the cache.
        RunParallelRows(
            n, parts, n,
            [&](qint64 begin, qint64 end, int) {
                const double* in = v.data();
                double* out = next.data();
                const qint32* rows = g.RowIndex.data();
                const double* values = g.Value.empty() ? nullptr : g.Value.data();
                const double* rates = g.Rates.data();
                const quint8* index = g.RateIndex.data();
                const qint32* starts = g.ColumnStart.data();
                const auto product = [&](auto value, qint64 b, qint64 e) {
                    for (qint64 j = b; j < e; ++j) {
                        double s = 0;
                        for (qint32 p = starts[j]; p < starts[j + 1]; ++p)
                            s += in[rows[p]] * value(p);
                        out[j] = in[j] * diagonal[static_cast<std::size_t>(j)] + s * scale;
                    }
                };
                for (qint64 b = begin; b < end; b += kBlock) {
                    const qint64 e = std::min(end, b + kBlock);
                    if (values)
                        product([values](qint32 p) { return values[p]; }, b, e);
                    else
                        product([rates, index](qint32 p) { return rates[index[p]]; }, b, e);
                    for (const TTerm& t : terms) {
                        double* sum = t.Sum;
                        const double w = t.Weight;
                        for (qint64 j = b; j < e; ++j)
                            sum[j] += w * out[j];
                    }
                }
            },
            nullptr);
        v.swap(next);
        if (progress) {
            const int percent = static_cast<int>(
                std::lround(static_cast<double>(k) * 100.0 / static_cast<double>(lastPower)));
            if (percent != shown) {
                progress->Progress(percent);
                shown = percent;
            }
            progress->Pump();
            if (progress->StopRequested()) {
                report.Stopped = true;
                result.clear();
                return false;
            }
        }
    }
    report.Powers = static_cast<int>(lastPower);
    return true;
}

QString TransientCutWarning(const TTimeCut& cut, int powers)
{
    const QString head =
        QStringLiteral("At time %1 the series cut after the precision index %2 leaves out %3 "
                       "of the probability")
            .arg(FormatGeneral(cut.Time))
            .arg(powers)
            .arg(QString::number(cut.LeftOut, 'g', 3));
    if (cut.NeededIndex < 0)
        return head + QStringLiteral(": the time is too long for any precision index.");
    return head + QStringLiteral("; a precision index of at least %1 is needed.").arg(cut.NeededIndex);
}
