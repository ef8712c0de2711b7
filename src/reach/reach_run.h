// What the reachability build asks of a net while it explores it: write a
// marking into the places, ask a transition whether it is enabled, fire it,
// read the places back. Two nets answer: a compiled net (flat arrays, used
// whenever every value that matters is constant) and the live net.
#pragma once

#include <QString>

#include <vector>

#include "reach/compiled_net.h"

class IReachRun
{
public:
    virtual ~IReachRun() = default;
    virtual int TransitionCount() const = 0;
    virtual TTransClass Class(int t) const = 0;
    // Whether t is enabled under the marking the places hold now.
    virtual bool Open(int t) = 0;
    virtual double Priority(int t) = 0;
    virtual double WeightSpeed(int t) = 0;
    // Writes a marking (one value per entry) into the places.
    virtual void Apply(const double* values) = 0;
    // Fires t (nothing when it is not enabled) and counts the firing.
    virtual void Fire(int t) = 0;
    // Reads the places: values, balances of continuous places and, when
    // `openContinuous` is given, the names of the enabled continuous transitions.
    virtual void Read(double* values, double* balances, QString* openContinuous) = 0;
};

// The compiled net with the token counts its places hold now.
class TCompiledRun final : public IReachRun
{
public:
    TCompiledRun(const TCompiledNet& net, std::vector<qint64>& fireCounts)
        : m_net(net), m_cur(net.Initial()), m_counts(fireCounts), m_clean(net.Clean())
    {
    }

    int TransitionCount() const override { return m_net.TransitionCount(); }
    TTransClass Class(int t) const override { return m_net.Class(t); }
    bool Open(int t) override { return m_net.Open(m_cur.data(), t); }
    double Priority(int t) override { return m_net.Priority(t); }
    double WeightSpeed(int t) override { return m_net.WeightSpeed(t); }
    void Apply(const double* values) override
    {
        // With whole, non-negative counts the setter stores exactly what is written.
        if (m_clean) {
            for (std::size_t i = 0; i < m_cur.size(); ++i)
                m_cur[i] = values[i];
        } else {
            m_net.Apply(m_cur.data(), values);
        }
    }
    void Fire(int t) override
    {
        // After Apply of a clean marking the places hold exactly the marking
        // in which t was found enabled.
        if (!m_clean && !m_net.Open(m_cur.data(), t))
            return;
        ++m_counts[static_cast<std::size_t>(t)];
        m_net.FireArcs(m_cur.data(), t);
    }
    void Read(double* values, double*, QString*) override
    {
        for (std::size_t i = 0; i < m_cur.size(); ++i)
            values[i] = m_cur[i];
    }
    const std::vector<double>& Current() const { return m_cur; }
    // The places take these counts (as the last firing of a build on whole counts left them).
    void SetCurrent(const std::vector<qint64>& counts)
    {
        for (std::size_t i = 0; i < m_cur.size() && i < counts.size(); ++i)
            m_cur[i] = static_cast<double>(counts[i]);
    }

private:
    const TCompiledNet& m_net;
    std::vector<double> m_cur;
    std::vector<qint64>& m_counts;
    bool m_clean;
};
