// The rules the classical build applies whatever net answers it: the
// priority rule over the enabled transitions and the firing probabilities
// within conflict sets. `Run` answers TransitionCount, Class, Open,
// Priority and WeightSpeed.
#pragma once

#include "reach/reach_engine.h"

template <class Run> void TReachEngine::collectEnabledWith(Run& r, bool priorityMode)
{
    m_enabled.clear();
    const int n = r.TransitionCount();
    for (int t = 0; t < n; ++t) {
        const TTransClass cls = r.Class(t);
        if (cls == tcContinuous || !r.Open(t))
            continue;
        if (!priorityMode || m_enabled.empty()) {
            m_enabled.push_back(t);
            continue;
        }
        const int h = m_enabled.front();
        if (cls == r.Class(h)) {
            const double pt = r.Priority(t);
            const double ph = r.Priority(h);
            if (pt > ph) {
                m_enabled.clear();
                m_enabled.push_back(t);
            } else if (pt == ph) {
                m_enabled.push_back(t);
            }
        } else if (cls == tcImmediate) {
            m_enabled.clear();
            m_enabled.push_back(t);
        }
    }
}

template <class Run> void TReachEngine::computeProbabilitiesWith(Run& r)
{
    // Not yet set: -1 (every probability set below is at least 0).
    m_probabilities.assign(m_enabled.size(), -1.0);
    for (std::size_t k = 0; k < m_enabled.size(); ++k)
        m_enabledAt[static_cast<std::size_t>(m_enabled[k])] = static_cast<int>(k);
    if (m_enabled.size() > 1) {
        for (const TConflict& c : m_conflicts) {
            // The enabled immediate transitions of the set share probability 1
            // by their weights; equally when the weights sum to 0.
            double sum = 0;
            int members = 0;
            for (int t : c.Transitions) {
                if (t < 0 || m_enabledAt[static_cast<std::size_t>(t)] < 0 || r.Class(t) != tcImmediate)
                    continue;
                const double w = r.WeightSpeed(t);
                m_probabilities[static_cast<std::size_t>(m_enabledAt[static_cast<std::size_t>(t)])] = w;
                sum += w;
                ++members;
            }
            if (members == 0)
                continue;
            for (int t : c.Transitions) {
                if (t < 0 || m_enabledAt[static_cast<std::size_t>(t)] < 0 || r.Class(t) != tcImmediate)
                    continue;
                double& p =
                    m_probabilities[static_cast<std::size_t>(m_enabledAt[static_cast<std::size_t>(t)])];
                p = sum > 0 ? p / sum : 1.0 / members;
            }
        }
    }
    for (double& p : m_probabilities)
        if (p < 0)
            p = 1.0;
    for (int t : m_enabled)
        m_enabledAt[static_cast<std::size_t>(t)] = -1;
}
