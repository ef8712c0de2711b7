#include "reach/whole_net.h"

#include <cmath>
#include <limits>

namespace {

constexpr qint64 kNone = std::numeric_limits<qint64>::max();
// Beyond every count a marking can hold, on either side.
constexpr qint64 kFar = qint64(1) << 40;

// The smallest whole number not below w, within ±kFar (w is not NaN).
qint64 ceilWithin(double w)
{
    if (w <= -static_cast<double>(kFar))
        return -kFar;
    if (w >= static_cast<double>(kFar))
        return kFar;
    return static_cast<qint64>(std::ceil(w));
}

} // namespace

std::unique_ptr<TWholeNet> TWholeNet::Make(const TCompiledNet& net)
{
    if (!net.Clean())
        return nullptr;
    std::unique_ptr<TWholeNet> whole(new TWholeNet(net));
    for (double v : net.Initial()) {
        if (!(v < static_cast<double>(CountLimit)))
            return nullptr;
        whole->m_initial.push_back(static_cast<qint64>(v));
    }
    const std::vector<TCompiledNet::TArcRec>& arcs = net.Arcs();
    std::vector<int> touchedBy(static_cast<std::size_t>(net.PlaceCount()), -1);
    std::vector<int> changeOf(static_cast<std::size_t>(net.PlaceCount()), 0);
    for (int t = 0; t < net.TransitionCount(); ++t) {
        TTrans tr;
        tr.Never = net.Guard(t) == 0;
        tr.RangeBegin = static_cast<int>(whole->m_ranges.size());
        tr.StepBegin = static_cast<int>(whole->m_steps.size());
        int inputSteps = 0;
        for (int i = net.InputBegin(t); i < net.OutputEnd(t); ++i) {
            const TCompiledNet::TArcRec& a = arcs[static_cast<std::size_t>(i)];
            const bool input = i < net.InputEnd(t);
            if (input) {
                // The arc's condition on a whole count v, as a range.
                TRange r{a.Place, -kFar, kNone};
                switch (a.Kind) {
                case lkNormal:
                case lkFlow:
                case lkTest:
                case lkTestContinuous: // v >= w
                    if (std::isnan(a.Weight))
                        tr.Never = true;
                    else
                        r.Low = ceilWithin(a.Weight);
                    break;
                case lkContinuous: // v > 0
                    r.Low = 1;
                    break;
                case lkIngibitor:
                case lkIngibitorContinuous: // v < 1
                    r.High = 1;
                    break;
                case lkIngibitorCounter:
                case lkIngibitorCounterContinuous: // v < w
                    if (std::isnan(a.Weight))
                        tr.Never = true;
                    else
                        r.High = ceilWithin(a.Weight);
                    break;
                }
                whole->m_ranges.push_back(r);
            }
            // Only normal arcs change counts; an undefined weight changes nothing.
            if (a.Kind != lkNormal || std::isnan(a.Rounded))
                continue;
            if (!(std::fabs(a.Rounded) < static_cast<double>(CountLimit)))
                return nullptr;
            const auto w = static_cast<qint64>(a.Rounded);
            whole->m_steps.push_back(TStep{a.Place, input ? -w : w});
            if (input)
                ++inputSteps;
        }
        tr.RangeEnd = static_cast<int>(whole->m_ranges.size());
        tr.StepEnd = static_cast<int>(whole->m_steps.size());
        // The net changes per place, in the order places are first touched.
        // A step that lowers a count cannot take it below 0 when it is the
        // first step on the place and an input arc's, whose enabling asks
        // for at least the arc's weight (and the rounded weight is at most
        // its ceiling).
        tr.ChangeBegin = static_cast<int>(whole->m_changes.size());
        for (int k = tr.StepBegin; k < tr.StepEnd; ++k) {
            const TStep& step = whole->m_steps[static_cast<std::size_t>(k)];
            const auto p = static_cast<std::size_t>(step.Place);
            if (touchedBy[p] != t) {
                touchedBy[p] = t;
                changeOf[p] = static_cast<int>(whole->m_changes.size());
                if (step.Change < 0 && k - tr.StepBegin >= inputSteps)
                    tr.Linear = false;
                whole->m_changes.push_back(TChange{step.Place, step.Change});
            } else {
                if (step.Change < 0)
                    tr.Linear = false;
                whole->m_changes[static_cast<std::size_t>(changeOf[p])].Amount += step.Change;
            }
        }
        tr.ChangeEnd = static_cast<int>(whole->m_changes.size());
        whole->m_trans.push_back(tr);
    }
    return whole;
}
