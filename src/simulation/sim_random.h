// The random numbers of the simulations: a small, fast generator whose
// sequence for a seed is the same on every platform and with every compiler
// (xoshiro256**, seeded through splitmix64), and a sum tree that picks an
// entry with probability proportional to its weight.
#pragma once

#include <QtGlobal>

#include <cmath>
#include <vector>

class TSimRandom
{
public:
    explicit TSimRandom(quint64 seed = 1) { Seed(seed); }

    void Seed(quint64 seed)
    {
        for (quint64& s : m_s) {
            seed += 0x9E3779B97F4A7C15ULL;
            quint64 z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            s = z ^ (z >> 31);
        }
    }

    quint64 Next()
    {
        const quint64 result = rotl(m_s[1] * 5, 7) * 9;
        const quint64 t = m_s[1] << 17;
        m_s[2] ^= m_s[0];
        m_s[3] ^= m_s[1];
        m_s[1] ^= m_s[2];
        m_s[0] ^= m_s[3];
        m_s[2] ^= t;
        m_s[3] = rotl(m_s[3], 45);
        return result;
    }

    // Uniform in [0, 1), in steps of 2^-53.
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform among 0 ... n - 1 (n > 0).
    int Below(int n)
    {
        const int i = static_cast<int>(Uniform() * n);
        return i < n ? i : n - 1;
    }
    // An exponentially distributed delay of the given rate (> 0).
    double Exponential(double rate) { return -std::log1p(-Uniform()) / rate; }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    quint64 m_s[4];
};

// Non-negative weights of n entries in a complete binary tree of partial
// sums: changing a weight and picking an entry both take log n steps. Each
// inner node is recomputed from its two children, so the sums depend only on
// the weights, never on the order of the changes that led to them.
class TSumTree
{
public:
    void Resize(int n)
    {
        m_leaves = 1;
        while (m_leaves < n)
            m_leaves *= 2;
        m_sum.assign(static_cast<std::size_t>(2 * m_leaves), 0.0);
    }
    void Clear() { std::fill(m_sum.begin(), m_sum.end(), 0.0); }
    void Set(int i, double weight)
    {
        std::size_t k = static_cast<std::size_t>(m_leaves + i);
        m_sum[k] = weight;
        for (k /= 2; k >= 1; k /= 2)
            m_sum[k] = m_sum[2 * k] + m_sum[2 * k + 1];
    }
    double Weight(int i) const { return m_sum[static_cast<std::size_t>(m_leaves + i)]; }
    double Total() const { return m_sum.size() > 1 ? m_sum[1] : 0.0; }
    // The entry where the running sum of weights passes u (0 <= u < Total()).
    // Never an entry of weight 0, whatever rounding does (Total() > 0).
    int Find(double u) const
    {
        std::size_t k = 1;
        while (k < static_cast<std::size_t>(m_leaves)) {
            const double left = m_sum[2 * k];
            const double right = m_sum[2 * k + 1];
            if (left > 0 && (u < left || right <= 0)) {
                k = 2 * k;
            } else {
                u -= left;
                k = 2 * k + 1;
            }
        }
        return static_cast<int>(k) - m_leaves;
    }

private:
    int m_leaves = 1;
    std::vector<double> m_sum = std::vector<double>(2, 0.0);
};

// One of n items, chosen with probability proportional to its weight (total:
// their sum, added in item order), or uniformly when the total is 0.
inline int PickByWeight(const int* items, const double* weights, int n, double total, TSimRandom& random)
{
    if (!(total > 0))
        return items[random.Below(n)];
    double u = random.Uniform() * total;
    int last = items[n - 1];
    for (int k = 0; k < n; ++k) {
        if (weights[k] <= 0)
            continue;
        last = items[k];
        if (u < weights[k])
            return items[k];
        u -= weights[k];
    }
    return last; // rounding left u at the very end
}
