// The compiled net on whole token counts. When every count of the initial
// marking is a whole number from 0 on, every marking the build meets holds
// such counts; enabling then becomes a range test per arc and firing an
// addition per arc, on 64-bit integers, with exactly the compiled net's
// results.
#pragma once

#include <memory>
#include <vector>

#include "reach/compiled_net.h"

class TWholeNet
{
public:
    // Counts of the initial marking and every change that one arc makes stay
    // below this. As a count of 99999 or more never changes, every count
    // the build meets stays below 2^32.
    static constexpr qint64 CountLimit = qint64(1) << 31;

    // The net on whole counts, or null when its initial marking is not whole
    // or an arc's change does not fit CountLimit.
    static std::unique_ptr<TWholeNet> Make(const TCompiledNet& net);

    int PlaceCount() const { return m_net.PlaceCount(); }
    int TransitionCount() const { return m_net.TransitionCount(); }
    TTransClass Class(int t) const { return m_net.Class(t); }
    double Priority(int t) const { return m_net.Priority(t); }
    double WeightSpeed(int t) const { return m_net.WeightSpeed(t); }
    const std::vector<qint64>& Initial() const { return m_initial; }

    // Whether t is enabled under the counts x (each below 2^32).
    bool Open(const qint64* x, int t) const
    {
        const TTrans& tr = m_trans[static_cast<std::size_t>(t)];
        if (tr.Never)
            return false;
        for (const TRange *r = m_ranges.data() + tr.RangeBegin, *e = m_ranges.data() + tr.RangeEnd; r != e;
             ++r) {
            const qint64 v = x[r->Place];
            if (v < r->Low || v >= r->High)
                return false;
        }
        return true;
    }

    // Fires t on the counts x (the caller has checked Open): arc by arc, a
    // place holding 99999 or more is left alone and a negative result is
    // not stored.
    void Fire(qint64* x, int t) const
    {
        const TTrans& tr = m_trans[static_cast<std::size_t>(t)];
        for (const TStep *s = m_steps.data() + tr.StepBegin, *e = m_steps.data() + tr.StepEnd; s != e; ++s) {
            qint64& v = x[s->Place];
            if (v < 99999) {
                const qint64 next = v + s->Change;
                if (next >= 0)
                    v = next;
            }
        }
    }

    // The net change of a place's count by one firing.
    struct TChange
    {
        qint32 Place;
        qint64 Amount;
    };
    // Whether firing t changes the counts by fixed amounts: true when, per
    // place, only a first step may lower the count and t's enabling
    // guarantees that it does not go below 0. Such a firing adds Changes(t)
    // to every place it touches whose count stays below 99999.
    bool Linear(int t) const { return m_trans[static_cast<std::size_t>(t)].Linear; }
    const TChange* ChangesBegin(int t) const
    {
        return m_changes.data() + m_trans[static_cast<std::size_t>(t)].ChangeBegin;
    }
    const TChange* ChangesEnd(int t) const
    {
        return m_changes.data() + m_trans[static_cast<std::size_t>(t)].ChangeEnd;
    }

private:
    explicit TWholeNet(const TCompiledNet& net) : m_net(net) {}

    // Low <= count < High.
    struct TRange
    {
        qint32 Place;
        qint64 Low;
        qint64 High;
    };
    struct TStep
    {
        qint32 Place;
        qint64 Change;
    };
    struct TTrans
    {
        bool Never = false; // a guard of 0, or a weight that no count meets
        int RangeBegin = 0, RangeEnd = 0;
        int StepBegin = 0, StepEnd = 0;
        bool Linear = true;
        int ChangeBegin = 0, ChangeEnd = 0;
    };

    const TCompiledNet& m_net;
    std::vector<qint64> m_initial;
    std::vector<TTrans> m_trans;
    std::vector<TRange> m_ranges;
    std::vector<TStep> m_steps;
    std::vector<TChange> m_changes;
};
