#include "performance/calc_engine.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/places.h"
#include "model/progress.h"
#include "model/transitions.h"
#include "reach/large_memory.h"

namespace {

QString pointText(int i, int j)
{
    return QStringLiteral("(%1, %2)").arg(i + 1).arg(j + 1);
}

// The formula that gives a transition's rate: Rate of a timed transition,
// WeightSpeed of an immediate one.
TQRVFormula* rateFormula(const TclsTrans* t)
{
    if (const auto* timed = qobject_cast<const TclsTransTimed*>(t))
        return timed->Rate();
    if (const auto* instant = qobject_cast<const TclsTransInstant*>(t))
        return instant->WeightSpeed();
    return nullptr;
}

} // namespace

TCalcEngine::TCalcEngine(TQRVDesigner* net)
    : m_net(net), m_progress(nullptr), m_silent(std::make_unique<TSilentProgress>())
{
    m_progress = m_silent.get();
    for (const char* k : KindTexts::All)
        KindNames << QString::fromLatin1(k);
    if (m_net) {
        for (TQRVObject* o : m_net->ObjectList()) {
            if (auto* t = qobject_cast<TclsTrans*>(o)) {
                TransitionNames.append({t->Name(), t});
                if (auto* timed = qobject_cast<TclsTransTimed*>(o))
                    TimedNames.append({t->Name(), timed});
            }
        }
    }
}

TCalcEngine::~TCalcEngine() = default;

void TCalcEngine::SetProgress(IQRVProgress* progress)
{
    m_progress = progress ? progress : m_silent.get();
}

// ---- the graph ----------------------------------------------------------------------------

bool TCalcEngine::ReadGraphFile(const QString& fileName)
{
    return adoptGraph(ReadChainGraph(fileName, Markings, m_progress, AllowDeadMarkings));
}

bool TCalcEngine::LoadGraph(const TMarkList& store, bool reduced)
{
    return adoptGraph(ChainGraphFromStore(store, reduced, Markings, AllowDeadMarkings));
}

bool TCalcEngine::adoptGraph(const TGraphReadStatus& status)
{
    m_lastRead = status.Result;
    Generator.Clear();
    MarkProbability.clear();
    PlaceNames.clear();
    m_discrete.clear();
    if (status.Result != grOk) {
        LastError = status.Message;
        return false;
    }
    for (const QString& name : std::as_const(Markings.PlaceNames)) {
        TQRVObject* o = m_net ? m_net->FindObject(name) : nullptr;
        if (qobject_cast<TclsNodeContinuous*>(o)) {
            LastError = QStringLiteral("The graph holds the continuous place %1: the performance analyses "
                                       "work on nets of discrete places only.")
                            .arg(name);
            m_lastRead = grError;
            return false;
        }
        auto* place = qobject_cast<TclsNode*>(o);
        if (!place) {
            LastError = QStringLiteral("The graph names the place %1, which the net does not have. Build "
                                       "the reachability graph of this net again.")
                            .arg(name);
            m_lastRead = grError;
            return false;
        }
        PlaceNames.append({name, place});
        m_discrete.push_back(qobject_cast<TclsNodeDiscrete*>(place));
    }
    if (!prepareLabels()) {
        m_lastRead = grError;
        return false;
    }
    LastError.clear();
    return true;
}

bool TCalcEngine::prepareLabels()
{
    QHash<QString, int> byName;
    for (int t = 0; t < TransitionNames.size(); ++t)
        byName.insert(NameKey(TransitionNames[t].first), t);
    m_labels.assign(static_cast<std::size_t>(Markings.Labels.size()), TLabelInfo());
    for (int l = 0; l < Markings.Labels.size(); ++l) {
        const QString first = Markings.Labels[l].section(QLatin1Char(','), 0, 0);
        const int t = byName.value(NameKey(first), -1);
        if (t < 0 || !rateFormula(TransitionNames[t].second)) {
            LastError =
                QStringLiteral("The graph names the transition %1, which is not a timed or immediate "
                               "transition of the net. Build the reachability graph of this net again.")
                    .arg(first);
            return false;
        }
        m_labels[static_cast<std::size_t>(l)].Transition = t;
    }
    return true;
}

void TCalcEngine::PutMarking(int k)
{
    if (k < 0 || k >= Markings.MarkingCount)
        return;
    for (std::size_t i = 0; i < m_discrete.size(); ++i)
        if (TclsNodeDiscrete* d = m_discrete[i])
            d->SetTokensDirect(Markings.Token(k, static_cast<int>(i)));
}

bool TCalcEngine::HoldsUnsteadyMarkings() const
{
    std::vector<char> instantLabel(m_labels.size(), 0);
    bool any = false;
    for (std::size_t l = 0; l < m_labels.size(); ++l) {
        const int t = m_labels[l].Transition;
        instantLabel[l] = t >= 0 && qobject_cast<const TclsTransInstant*>(TransitionNames[t].second) ? 1 : 0;
        any = any || instantLabel[l];
    }
    if (!any)
        return false;
    for (qint32 label : Markings.EntryLabel)
        if (instantLabel[static_cast<std::size_t>(label)])
            return true;
    return false;
}

double TCalcEngine::rateOf(int transition) const
{
    const TQRVFormula* f = rateFormula(TransitionNames[transition].second);
    return f ? f->Value_Actual() : 0.0;
}

bool TCalcEngine::isDynamic(int transition) const
{
    const TQRVFormula* f = rateFormula(TransitionNames[transition].second);
    return f && !f->IsStatic();
}

bool TCalcEngine::BuildGenerator()
{
    const int transitions = TransitionCount();
    std::vector<double> rate(static_cast<std::size_t>(transitions), 0.0);
    std::vector<char> dynamic(static_cast<std::size_t>(transitions), 0);
    std::vector<char> used(static_cast<std::size_t>(transitions), 0);
    for (const TLabelInfo& l : m_labels)
        used[static_cast<std::size_t>(l.Transition)] = 1;
    // Rates that read no marking are evaluated once.
    for (int t = 0; t < transitions; ++t) {
        if (!used[static_cast<std::size_t>(t)])
            continue;
        dynamic[static_cast<std::size_t>(t)] = isDynamic(t);
        if (dynamic[static_cast<std::size_t>(t)])
            continue;
        try {
            rate[static_cast<std::size_t>(t)] = rateOf(t);
        } catch (const std::exception& e) {
            LastError = QStringLiteral("The rate of %1 cannot be evaluated: %2")
                            .arg(TransitionNames[t].first, QString::fromUtf8(e.what()));
            return false;
        }
    }
    TLabelRates rates;
    rates.Static.resize(m_labels.size());
    rates.Dynamic.resize(m_labels.size());
    for (std::size_t l = 0; l < m_labels.size(); ++l) {
        const auto t = static_cast<std::size_t>(m_labels[l].Transition);
        rates.Static[l] = rate[t];
        rates.Dynamic[l] = dynamic[t];
    }
    rates.PutMarking = [this](int mark) { PutMarking(mark); };
    rates.Rate = [this](int label, int mark) {
        const int t = m_labels[static_cast<std::size_t>(label)].Transition;
        try {
            return rateOf(t);
        } catch (const std::exception& e) {
            throw std::runtime_error(QStringLiteral("The rate of %1 cannot be evaluated in marking M%2: %3")
                                         .arg(TransitionNames[t].first)
                                         .arg(mark)
                                         .arg(QString::fromUtf8(e.what()))
                                         .toStdString());
        }
    };
    const bool wasUpdating = m_net && m_net->Updating();
    if (m_net)
        m_net->SetUpdating(true);
    bool stopped = false;
    LastError = BuildSparseGenerator(Markings, rates, Generator, m_progress, stopped);
    PutMarking(0);
    if (m_net)
        m_net->SetUpdating(wasUpdating);
    if (stopped)
        LastError.clear();
    return LastError.isEmpty() && !stopped;
}

// ---- the solution ---------------------------------------------------------------------------------

bool TCalcEngine::SolveSteadyState()
{
    m_lastSolve = TSolveReport();
    const bool ok = SolveSteady(Generator, Solver, MarkProbability, m_progress, m_lastSolve);
    LastError = ok ? QString() : m_lastSolve.Message;
    return ok;
}

bool TCalcEngine::SolveGauss()
{
    m_lastSolve = TSolveReport();
    const bool ok = SolveGaussExact(Generator, MarkProbability, m_progress, m_lastSolve);
    LastError = ok ? QString() : m_lastSolve.Message;
    return ok;
}

bool TCalcEngine::SolveSeidel()
{
    TSteadySettings s = Solver;
    s.Method = smSeidel;
    m_lastSolve = TSolveReport();
    const bool ok = SolveSteady(Generator, s, MarkProbability, m_progress, m_lastSolve);
    LastError = ok ? QString() : m_lastSolve.Message;
    return ok;
}

// ---- the values ---------------------------------------------------------------------------------------

int TCalcEngine::KindOf(const QString& kindText)
{
    for (int k = 0; k < 8; ++k)
        if (kindText == QLatin1String(KindTexts::All[k]))
            return k;
    return -1;
}

int TCalcEngine::KindIndex(const QString& kindText) const
{
    const int k = static_cast<int>(KindNames.indexOf(kindText));
    return k >= 0 && k < 8 ? k : KindOf(kindText);
}

int TCalcEngine::FindItem(const QString& description) const
{
    for (int e = 0; e < Items.size(); ++e)
        if (Items[e].Description() == description)
            return e;
    return -1;
}

int TCalcEngine::AddItems(const QString& kindText, const QString& objectText)
{
    QStringList names;
    if (objectText == QLatin1String("P*")) {
        for (const auto& p : std::as_const(PlaceNames))
            names << p.first;
    } else if (objectText == QLatin1String("T*")) {
        for (const auto& t : std::as_const(TransitionNames))
            names << t.first;
    } else {
        names << objectText;
    }
    int added = 0;
    for (const QString& name : std::as_const(names)) {
        if (FindItem(kindText + name) >= 0)
            continue;
        Items.append({kindText, name, true});
        ++added;
    }
    return added;
}

void TCalcEngine::RemoveItem(int e)
{
    if (e < 0 || e >= Items.size())
        return;
    const std::size_t n = static_cast<std::size_t>(Items.size());
    const std::size_t points =
        static_cast<std::size_t>(std::max(Arg1Count, 0)) * static_cast<std::size_t>(std::max(Arg2Count, 0));
    if (points > 0 && Results.size() == points * n) {
        std::vector<double> kept;
        kept.reserve(points * (n - 1));
        for (std::size_t p = 0; p < points; ++p)
            for (std::size_t k = 0; k < n; ++k)
                if (k != static_cast<std::size_t>(e))
                    kept.push_back(Results[p * n + k]);
        Results.swap(kept);
    }
    Items.removeAt(e);
}

void TCalcEngine::ResolveDependencies()
{
    for (int e = Items.size() - 1; e >= 0; --e)
        if (!Items[e].Listed)
            Items.removeAt(e);
    const QString rateText = QString::fromLatin1(KindTexts::All[vkRate]);
    const QString tokensText = QString::fromLatin1(KindTexts::All[vkTokens]);
    const QString inflowText = QString::fromLatin1(KindTexts::All[vkInflow]);
    const auto addUnlisted = [&](const QString& kind, const QString& object) {
        if (FindItem(kind + object) >= 0)
            return false;
        Items.append({kind, object, false});
        return true;
    };
    const auto addRates = [&](const QString& place) {
        for (const auto& t : std::as_const(TransitionNames)) {
            for (TclsLink* arc : t.second->OutArcs) {
                if (arc->DestObject() && NameKey(arc->DestObject()->Name()) == NameKey(place)) {
                    double w = 0;
                    if (arc->Weight()->TryValue(w) && std::lround(w) > 0)
                        addUnlisted(rateText, t.first);
                    break;
                }
            }
        }
    };
    if (m_net)
        m_net->RebuildArcLists();
    const int present = Items.size();
    for (int e = 0; e < present; ++e) {
        const TAnalyzeItem item = Items[e];
        switch (KindIndex(item.KindText)) {
        case vkInflow:
            addRates(item.ObjectName);
            break;
        case vkStayTime:
            addUnlisted(tokensText, item.ObjectName);
            if (addUnlisted(inflowText, item.ObjectName))
                addRates(item.ObjectName);
            break;
        default:
            break;
        }
    }
}

QString TCalcEngine::failAt(const QString& description, int i, int j, const QString& why) const
{
    return QStringLiteral("\"%1\" cannot be computed at point %2: %3").arg(description, pointText(i, j), why);
}

bool TCalcEngine::ComputeMeasures(int i, int j)
{
    IQRVProgress& progress = *m_progress;
    progress.Status(QString::fromLatin1(PerfTexts::Measures));
    progress.Progress(0);
    int position = 0;
    const auto step = [&] {
        position += 20;
        progress.Progress(position);
        progress.Pump();
    };
    const int n = MarkingCount();
    const std::vector<double>& pi = MarkProbability;
    if (static_cast<int>(pi.size()) != n) {
        LastError = QStringLiteral("There are no probabilities to compute the values from.");
        return false;
    }
    QHash<QString, int> placeIndex;
    for (int p = 0; p < PlaceNames.size(); ++p)
        placeIndex.insert(NameKey(PlaceNames[p].first), p);
    QHash<QString, int> transIndex;
    for (int t = 0; t < TransitionNames.size(); ++t)
        transIndex.insert(NameKey(TransitionNames[t].first), t);
    std::vector<std::vector<int>> byKind(8);
    for (int e = 0; e < Items.size(); ++e) {
        const int k = KindIndex(Items[e].KindText);
        if (k >= 0)
            byKind[static_cast<std::size_t>(k)].push_back(e);
    }
    const auto store = [&](int e, double v) { ResultAt(i, j, e) = v; };
    // Mean token counts of every place, in one pass.
    std::vector<double> meanTokens;
    const auto needMeanTokens = [&] {
        if (!meanTokens.empty())
            return;
        const int places = PlaceCount();
        meanTokens.assign(static_cast<std::size_t>(places), 0.0);
        Markings.Tokens.Visit([&](const auto* tokens) {
            for (int k = 0; k < n; ++k) {
                const auto* row = tokens + static_cast<std::size_t>(k) * static_cast<std::size_t>(places);
                const double p = pi[static_cast<std::size_t>(k)];
                for (int q = 0; q < places; ++q)
                    meanTokens[static_cast<std::size_t>(q)] += p * row[q];
            }
        });
    };
    const bool wasUpdating = m_net && m_net->Updating();
    if (m_net)
        m_net->SetUpdating(true);
    const auto finish = [&](bool ok) {
        PutMarking(0);
        if (m_net)
            m_net->SetUpdating(wasUpdating);
        return ok;
    };

    try {
        // 1. Tokens.
        for (int e : byKind[vkTokens]) {
            needMeanTokens();
            const int p = placeIndex.value(NameKey(Items[e].ObjectName), -1);
            store(e, p < 0 ? 0.0 : meanTokens[static_cast<std::size_t>(p)]);
        }
        step();
        // 2. Throughput: the markings with an entry whose path starts with exactly T.
        if (!byKind[vkRate].empty()) {
            const int transitions = TransitionCount();
            std::vector<char> wanted(static_cast<std::size_t>(transitions), 0);
            std::vector<char> dynamic(static_cast<std::size_t>(transitions), 0);
            for (int e : byKind[vkRate]) {
                const int t = transIndex.value(NameKey(Items[e].ObjectName), -1);
                if (t >= 0) {
                    wanted[static_cast<std::size_t>(t)] = 1;
                    dynamic[static_cast<std::size_t>(t)] = isDynamic(t);
                }
            }
            std::vector<double> sum(static_cast<std::size_t>(transitions), 0.0);
            std::vector<int> seen(static_cast<std::size_t>(transitions), -1);
            for (int k = 0; k < n; ++k) {
                bool put = false;
                for (qint64 a = Markings.FirstEntry(k); a < Markings.EndEntry(k); ++a) {
                    const int t =
                        m_labels[static_cast<std::size_t>(Markings.EntryLabel[static_cast<std::size_t>(a)])]
                            .Transition;
                    if (!wanted[static_cast<std::size_t>(t)] || seen[static_cast<std::size_t>(t)] == k)
                        continue;
                    seen[static_cast<std::size_t>(t)] = k;
                    double p = pi[static_cast<std::size_t>(k)];
                    if (dynamic[static_cast<std::size_t>(t)]) {
                        if (!put) {
                            PutMarking(k);
                            put = true;
                        }
                        p *= rateOf(t);
                    }
                    sum[static_cast<std::size_t>(t)] += p;
                }
            }
            for (int e : byKind[vkRate]) {
                const int t = transIndex.value(NameKey(Items[e].ObjectName), -1);
                if (t < 0) {
                    store(e, 0.0);
                    continue;
                }
                const double v = dynamic[static_cast<std::size_t>(t)]
                                     ? sum[static_cast<std::size_t>(t)]
                                     : sum[static_cast<std::size_t>(t)] * rateOf(t);
                store(e, v);
            }
        }
        // 3. Frequencies: r_T pi_k / -G[k][k] over the markings where T is enabled.
        step();
        if (!byKind[vkFreq].empty()) {
            if (m_net)
                m_net->RebuildArcLists();
            // Every marking is written into the net once, for all the
            // transitions asked for; each one's sum still runs over the
            // markings in order.
            struct TFrequency
            {
                int Item;
                int Transition;
                bool Dynamic;
                double Fixed;
                double Sum;
            };
            std::vector<TFrequency> frequencies;
            for (int e : byKind[vkFreq]) {
                const int t = transIndex.value(NameKey(Items[e].ObjectName), -1);
                if (t < 0) {
                    store(e, 0.0);
                    continue;
                }
                const bool dyn = isDynamic(t);
                frequencies.push_back({e, t, dyn, dyn ? 0.0 : rateOf(t), 0.0});
            }
            for (int k = 0; k < n && !frequencies.empty(); ++k) {
                PutMarking(k);
                const double d = Generator.Diagonal[static_cast<std::size_t>(k)];
                for (TFrequency& f : frequencies) {
                    if (!TransitionNames[f.Transition].second->Open())
                        continue;
                    if (d == 0) {
                        LastError = failAt(
                            Items[f.Item].Description(), i, j,
                            QStringLiteral("marking M%1 has no way out (its diagonal element is 0)").arg(k));
                        return finish(false);
                    }
                    f.Sum -=
                        (f.Dynamic ? rateOf(f.Transition) : f.Fixed) * pi[static_cast<std::size_t>(k)] / d;
                }
            }
            for (const TFrequency& f : frequencies)
                store(f.Item, f.Sum);
            PutMarking(0);
        }
        // 4. Inflow rates: the throughputs weighted by the arc weights into P.
        step();
        for (int e : byKind[vkInflow]) {
            const QString place = NameKey(Items[e].ObjectName);
            double v = 0;
            for (int t = 0; t < TransitionNames.size(); ++t) {
                const int rateItem =
                    FindItem(QString::fromLatin1(KindTexts::All[vkRate]) + TransitionNames[t].first);
                if (rateItem < 0)
                    continue;
                for (TQRVObject* o : m_net->ObjectList()) {
                    auto* arc = qobject_cast<TclsLink*>(o);
                    if (!arc || arc->SourceObject() != TransitionNames[t].second || !arc->DestObject() ||
                        NameKey(arc->DestObject()->Name()) != place)
                        continue;
                    v += static_cast<double>(std::llround(arc->Weight()->Value_Actual())) *
                         Result(i, j, rateItem);
                    break;
                }
            }
            store(e, v);
        }
        // 5. Stay times by Little's law.
        step();
        for (int e : byKind[vkStayTime]) {
            const int tokens = FindItem(QString::fromLatin1(KindTexts::All[vkTokens]) + Items[e].ObjectName);
            const int inflow = FindItem(QString::fromLatin1(KindTexts::All[vkInflow]) + Items[e].ObjectName);
            const double in = inflow < 0 ? 0.0 : Result(i, j, inflow);
            if (in == 0) {
                LastError = failAt(Items[e].Description(), i, j,
                                   QStringLiteral("no token ever enters %1 (its inflow rate is 0)")
                                       .arg(Items[e].ObjectName));
                return finish(false);
            }
            store(e, (tokens < 0 ? 0.0 : Result(i, j, tokens)) / in);
        }
        // 6. Costs of the tokens present.
        step();
        for (int e : byKind[vkCost]) {
            needMeanTokens();
            const int p = placeIndex.value(NameKey(Items[e].ObjectName), -1);
            if (p < 0) {
                store(e, 0.0);
                continue;
            }
            store(e, meanTokens[static_cast<std::size_t>(p)] * PlaceNames[p].second->Cost()->Value_Actual());
        }
        // 7 and 8. Macro states: the probability of a condition, and the token
        // cost rate while it holds.
        for (int kind : {static_cast<int>(vkMacroProbability), static_cast<int>(vkMacroCost)}) {
            for (int e : byKind[static_cast<std::size_t>(kind)]) {
                TQRVFormula condition(nullptr, m_net);
                condition.SetFormula(QStringLiteral("True"));
                condition.SetValue_Reference(1.0);
                const QString error = condition.TrySetFormula(Items[e].ObjectName);
                if (!error.isEmpty()) {
                    LastError = failAt(Items[e].Description(), i, j, error);
                    return finish(false);
                }
                std::vector<const TQRVFormula*> costs;
                bool costDynamic = false;
                for (const auto& p : std::as_const(PlaceNames)) {
                    costs.push_back(p.second->Cost());
                    costDynamic = costDynamic || !p.second->Cost()->IsStatic();
                }
                std::vector<double> fixedCost(costs.size(), 0.0);
                if (kind == vkMacroCost && !costDynamic)
                    for (std::size_t q = 0; q < costs.size(); ++q)
                        fixedCost[q] = costs[q]->Value_Actual();
                const bool conditionStatic = condition.IsStatic();
                const bool always = conditionStatic && condition.Value_Actual() != 0;
                double v = 0;
                Markings.Tokens.Visit([&](const auto* tokens) {
                    for (int k = 0; k < n; ++k) {
                        if (!always) {
                            if (conditionStatic)
                                break;
                            PutMarking(k);
                            if (condition.Value_Actual() == 0)
                                continue;
                        }
                        double weight = 1.0;
                        if (kind == vkMacroCost) {
                            if (costDynamic && always)
                                PutMarking(k);
                            const auto* row = tokens + static_cast<std::size_t>(k) * costs.size();
                            weight = 0;
                            for (std::size_t q = 0; q < costs.size(); ++q)
                                weight += row[q] * (costDynamic ? costs[q]->Value_Actual() : fixedCost[q]);
                        }
                        v += pi[static_cast<std::size_t>(k)] * weight;
                    }
                });
                store(e, v);
            }
        }
    } catch (const std::exception& ex) {
        LastError = QStringLiteral("The values at point %1 cannot be computed: %2")
                        .arg(pointText(i, j), QString::fromUtf8(ex.what()));
        return finish(false);
    }
    return finish(true);
}

// ---- the sweep -------------------------------------------------------------------------------------

double TCalcEngine::Result(int i, int j, int e) const
{
    const std::size_t at =
        (static_cast<std::size_t>(i) * static_cast<std::size_t>(Arg2Count) + static_cast<std::size_t>(j)) *
            static_cast<std::size_t>(Items.size()) +
        static_cast<std::size_t>(e);
    return i >= 0 && j >= 0 && e >= 0 && at < Results.size() ? Results[at] : 0.0;
}

double& TCalcEngine::ResultAt(int i, int j, int e)
{
    return Results[(static_cast<std::size_t>(i) * static_cast<std::size_t>(Arg2Count) +
                    static_cast<std::size_t>(j)) *
                       static_cast<std::size_t>(Items.size()) +
                   static_cast<std::size_t>(e)];
}

QStringList TCalcEngine::ArgumentTexts() const
{
    QStringList list{QStringLiteral("None")};
    for (const auto& t : TimedNames)
        list << QStringLiteral("Lm") + t.first.mid(1);
    for (const auto& p : PlaceNames)
        list << QStringLiteral("M(") + p.first + QLatin1Char(')');
    return list;
}

double TCalcEngine::ReadArgument(const QString& text) const
{
    if (text.startsWith(QLatin1String("Lm"))) {
        for (const auto& t : TimedNames)
            if (QStringLiteral("Lm") + t.first.mid(1) == text)
                return t.second->Rate()->Value_Reference();
    } else if (IsMarkingArgument(text)) {
        for (const auto& p : PlaceNames)
            if (QStringLiteral("M(") + p.first + QLatin1Char(')') == text)
                if (auto* d = qobject_cast<TclsNodeDiscrete*>(p.second))
                    return d->Tokens();
    }
    return 0;
}

bool TCalcEngine::ApplyArgument(const QString& text, double value)
{
    if (text.startsWith(QLatin1String("Lm"))) {
        for (const auto& t : TimedNames)
            if (QStringLiteral("Lm") + t.first.mid(1) == text)
                t.second->Rate()->SetValue_Reference(value);
        return true;
    }
    if (!IsMarkingArgument(text))
        return true;
    for (int p = 0; p < PlaceNames.size(); ++p) {
        if (QStringLiteral("M(") + PlaceNames[p].first + QLatin1Char(')') != text)
            continue;
        // Marking 0 of the graph holds the count (the largest one a graph
        // holds when the value is beyond it), widening the counts when it
        // does not fit their width.
        if (Markings.MarkingCount > 0)
            Markings.Tokens.Set(
                static_cast<std::size_t>(p),
                static_cast<qint32>(std::min(std::round(std::max(0.0, value)), 2147483647.0)));
        PutMarking(0);
        return RebuildGraph();
    }
    return true;
}

bool TCalcEngine::RebuildGraph()
{
    m_progress->Status(QString::fromLatin1(PerfTexts::Rebuilding));
    m_progress->Pump();
    TReachEngine reach;
    reach.SetProgress(m_progress);
    reach.SetNet(m_net);
    reach.Settings = Builder;
    reach.Settings.ResetInitialMarking = true;
    reach.GraphFileName = RebuildFile;
    const bool wasUpdating = m_net->Updating();
    bool built = false;
    {
        // Unless the graph file is being written meanwhile, the other core has
        // the pages of the store and of the chain provided while the build runs.
        TWarmAhead warm(RebuildFile.isEmpty() ? ChainPagesAhead : 0.0);
        built = reach.BuildClassical();
    }
    m_net->SetUpdating(wasUpdating);
    if (!built || !reach.RemovalComplete()) {
        LastError = reach.Stopped() ? QString() : QString::fromLatin1(PerfTexts::RebuildFailed);
        return false;
    }
    const bool read = RebuildFile.isEmpty() ? LoadGraph(*reach.Store(), reach.GraphMode() == rmReduced)
                                            : ReadGraphFile(RebuildFile);
    if (!read) {
        LastError = QString::fromLatin1(PerfTexts::RebuildFailed) +
                    (LastError.isEmpty() ? QString() : QStringLiteral(": ") + LastError);
        return false;
    }
    return true;
}

void TCalcEngine::StartResults(int n1, int n2)
{
    ResultsValid = false;
    ResolveDependencies();
    Arg1Count = std::max(1, n1);
    Arg2Count = std::max(1, n2);
    Results.assign(static_cast<std::size_t>(Arg1Count) * static_cast<std::size_t>(Arg2Count) *
                       static_cast<std::size_t>(Items.size()),
                   0.0);
    Arg1Values.assign(static_cast<std::size_t>(Arg1Count), 0.0);
    Arg2Values.assign(static_cast<std::size_t>(Arg2Count), 0.0);
}

TSweepOutcome TCalcEngine::RunSweep(const TSweepArgument& arg1, const TSweepArgument& arg2)
{
    // Each point's graph, generator and solution reuse the pages of the last.
    TLargeMemoryScope keepPages;
    TSweepOutcome outcome;
    StartResults(arg1.Count, arg2.Count);
    const double remembered1 = ReadArgument(arg1.Text);
    const double remembered2 = ReadArgument(arg2.Text);
    const bool wasUpdating = m_net->Updating();
    m_net->SetUpdating(true);
    const auto fail = [&](bool solver) {
        outcome.Kind = TSweepOutcome::Failed;
        outcome.SolverFailed = solver;
        outcome.Message = LastError;
    };
    bool stop = false;
    // Over rates the chain stays the same from point to point, and the
    // iterative method starts from what the points before it found (see
    // extrapolateStart); the settings are left as they were.
    const bool warm = Solver.WarmStart;
    const bool iterative = Solver.Method == smIterative;
    std::vector<double> lastButOne; // the solution of the point before the last, within a row
    double a2 = arg2.Initial;
    for (int j = 0; j < Arg2Count && !stop && outcome.Kind == TSweepOutcome::Completed; ++j) {
        if (!ApplyArgument(arg2.Text, a2)) {
            fail(false);
            break;
        }
        double a1 = arg1.Initial;
        for (int i = 0; i < Arg1Count; ++i) {
            if (!ApplyArgument(arg1.Text, a1)) {
                fail(false);
                break;
            }
            if (!BuildGenerator()) {
                fail(false);
                break;
            }
            const bool rebuilt = IsMarkingArgument(arg1.Text) || (i == 0 && IsMarkingArgument(arg2.Text));
            Solver.WarmStart = iterative && (i > 0 || j > 0) && !rebuilt;
            if (Solver.WarmStart && i >= 2)
                extrapolateStart(lastButOne);
            else if (Solver.WarmStart && i == 1)
                lastButOne = MarkProbability;
            if (!SolveSteadyState()) {
                fail(true);
                break;
            }
            if (!ComputeMeasures(i, j)) {
                fail(false);
                break;
            }
            Arg1Values[static_cast<std::size_t>(i)] = a1;
            a1 += arg1.Step;
            if (PointsLeft)
                PointsLeft(static_cast<qint64>(Arg1Count) * Arg2Count -
                           (static_cast<qint64>(j) * Arg1Count + i));
            m_progress->Pump();
            if (m_progress->StopRequested()) {
                stop = true;
                break;
            }
        }
        if (outcome.Kind != TSweepOutcome::Completed)
            break;
        Arg2Values[static_cast<std::size_t>(j)] = a2;
        a2 += arg2.Step;
        m_progress->Pump();
        if (m_progress->StopRequested())
            stop = true;
    }
    // A stopped Break or a failed point leaves the arguments as they were,
    // so that nothing of the net is changed by the analysis.
    if (outcome.Kind == TSweepOutcome::Failed && !outcome.SolverFailed && outcome.Message.isEmpty())
        outcome.Kind = TSweepOutcome::Stopped;
    Solver.WarmStart = warm;
    const QString failure = LastError;
    const bool restored = ApplyArgument(arg1.Text, remembered1) && ApplyArgument(arg2.Text, remembered2);
    m_net->SetUpdating(wasUpdating);
    return FinishSweep(outcome, failure, restored, stop);
}

void TCalcEngine::extrapolateStart(std::vector<double>& lastButOne)
{
    // The points of a row are equally spaced: the straight line through the
    // last two solutions, pi + (pi - pi_before), is a closer start than pi
    // alone when the probabilities move smoothly with the argument. Where
    // it leaves no probability above 0, the last solution's value stands.
    std::vector<double>& x = MarkProbability;
    if (lastButOne.size() != x.size()) {
        lastButOne = x;
        return;
    }
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double last = x[k];
        const double line = 2 * last - lastButOne[k];
        lastButOne[k] = last;
        x[k] = line > 0 ? line : last;
    }
}

TSweepOutcome TCalcEngine::FinishSweep(TSweepOutcome outcome, const QString& failure, bool restored,
                                       bool stopped)
{
    if (outcome.Kind == TSweepOutcome::Failed) {
        LastError = failure;
        return outcome;
    }
    if (!restored) {
        outcome.Kind = TSweepOutcome::Failed;
        outcome.Message = LastError;
        return outcome;
    }
    ResultsValid = true;
    if (stopped)
        outcome.Kind = TSweepOutcome::Stopped;
    return outcome;
}
