#include "structural/invariants.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/progress.h"
#include "model/transitions.h"

namespace {

constexpr int kPrimes[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31, 37, 41,
                           43, 47, 53, 59, 61, 67, 71, 73, 79, 83, 89, 97, 101};

// Labels are right-aligned to a common width before sorting, so that shorter
// names come first and names of equal length are in text order ("p2" before "p10").
QStringList sortedLabels(QStringList labels)
{
    labels << QString();
    std::sort(labels.begin(), labels.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
    for (QString& s : labels)
        s = s.trimmed();
    return labels;
}

QHash<QString, int> indexOfLabels(const QStringList& labels)
{
    QHash<QString, int> index;
    for (int i = 1; i < labels.size(); ++i)
        index.insert(NameKey(labels.at(i)), i - 1);
    return index;
}

QStringList invariantLabels(int count)
{
    QStringList labels{QString()};
    for (int i = 1; i <= count; ++i)
        labels << QStringLiteral("Inv %1").arg(i);
    return labels;
}

// Invariant rows are numbered "Inv 1", "Inv 2", ... however many there are.
void numberInvariantRows(T2DMatrix& x)
{
    if (x.RowLabels.isEmpty())
        x.RowLabels << QString();
    while (x.RowLabels.size() < x.RowCount() + 1)
        x.RowLabels << QStringLiteral("Inv %1").arg(x.RowLabels.size());
}

// Removes the labels of the flagged rows (entry r + 1 labels row r).
void deleteRowLabels(QStringList& labels, const std::vector<char>& doomed)
{
    QStringList kept;
    kept.reserve(labels.size());
    for (int i = 0; i < labels.size(); ++i)
        if (i == 0 || static_cast<size_t>(i - 1) >= doomed.size() || !doomed[static_cast<size_t>(i - 1)])
            kept << labels.at(i);
    labels = kept;
}

size_t hashRow(const std::vector<double>& row)
{
    size_t h = row.size();
    for (double v : row)
        h = h * 1000003u ^ std::hash<double>{}(v + 0.0); // -0 and 0 hash alike
    return h;
}

// Keeps the first of every group of equal rows of `x`, deleting the same rows of `w`.
void removeDuplicates(T2DMatrix& w, T2DMatrix& x)
{
    std::unordered_map<size_t, std::vector<int>> seen;
    std::vector<char> doomed(static_cast<size_t>(x.RowCount()), 0);
    bool any = false;
    for (int r = 0; r < x.RowCount(); ++r) {
        std::vector<int>& bucket = seen[hashRow(x.Row(r))];
        for (int earlier : bucket)
            if (x.Row(earlier) == x.Row(r)) {
                doomed[static_cast<size_t>(r)] = 1;
                any = true;
                break;
            }
        if (!doomed[static_cast<size_t>(r)])
            bucket.push_back(r);
    }
    if (!any)
        return;
    x.DeleteRows(doomed);
    if (w.RowCount() == static_cast<int>(doomed.size())) {
        w.DeleteRows(doomed);
        deleteRowLabels(w.RowLabels, doomed);
    }
}

} // namespace

namespace {

// The weight an arc has when its transition fires: a text that names no
// element of the net is evaluated; a text that follows the marking has no
// single value, and the stored reference value stands for it.
double weightOf(const TQRVFormula* weight)
{
    if (!weight)
        return 1.0;
    if (weight->IsStatic()) {
        try {
            return weight->Value_Actual();
        } catch (...) {
        }
    }
    return weight->Value_Reference();
}

} // namespace

TNetStructure ReadNetStructure(const TQRVDesigner& net)
{
    TNetStructure s;
    for (const TQRVObject* o : net.ObjectList()) {
        if (const auto* place = qobject_cast<const TclsNode*>(o)) {
            s.Places.append({place->Name(), place->Value()});
        } else if (qobject_cast<const TclsTrans*>(o)) {
            s.Transitions << o->Name();
        } else if (const auto* link = qobject_cast<const TclsLink*>(o)) {
            const TQRVNode* source = link->Source();
            const TQRVNode* dest = link->Dest();
            TNetStructure::Arc a;
            a.ToPlace = qobject_cast<const TclsTrans*>(source) && qobject_cast<const TclsNode*>(dest);
            if (!a.ToPlace &&
                !(qobject_cast<const TclsNode*>(source) && qobject_cast<const TclsTrans*>(dest)))
                continue; // an end is missing
            a.Place = a.ToPlace ? dest->Name() : source->Name();
            a.Transition = a.ToPlace ? source->Name() : dest->Name();
            a.Kind = link->Kind();
            a.Weight = weightOf(link->Weight());
            s.Arcs.append(a);
        }
    }
    return s;
}

void NormaliseRow(std::vector<double>& a, std::vector<double>& b)
{
    double m = -HUGE_VAL;
    for (const std::vector<double>* part : {&a, &b})
        for (double v : *part) {
            if (v == 1.0)
                return;
            m = std::max(m, v);
        }
    auto divisible = [&](int p) {
        for (const std::vector<double>* part : {&a, &b})
            for (double v : *part)
                if (std::fmod(RoundHalfEven(v), p) != 0.0)
                    return false;
        return true;
    };
    for (;;) {
        bool divided = false;
        for (int p : kPrimes) {
            if (p > m)
                break;
            if (divisible(p)) {
                for (std::vector<double>* part : {&a, &b})
                    for (double& v : *part)
                        v /= p;
                m /= p;
                divided = true;
                break;
            }
        }
        if (!divided)
            return;
    }
}

bool TQRVInvariants::BuildIncidence(const TNetStructure& net)
{
    QStringList rows;
    QStringList cols;
    for (const TNetStructure::Place& p : net.Places)
        rows << QStringLiteral("%1").arg(p.Name, 25);
    for (const QString& t : net.Transitions)
        cols << QStringLiteral("%1").arg(t, 25);
    if (rows.isEmpty() || cols.isEmpty())
        return false;
    rows = sortedLabels(rows);
    cols = sortedLabels(cols);
    const QHash<QString, int> placeIndex = indexOfLabels(rows);
    const QHash<QString, int> transIndex = indexOfLabels(cols);
    const int np = static_cast<int>(rows.size()) - 1;
    const int nt = static_cast<int>(cols.size()) - 1;

    T2DMatrix c;
    c.SetSize(np, nt);
    c.RowLabels = rows;
    c.ColLabels = cols;
    // Arcs in both directions between one place and one transition add up,
    // so a self-loop moves nothing, as it does when the transition fires.
    for (const TNetStructure::Arc& a : net.Arcs) {
        if (a.Kind == lkIngibitor)
            continue;
        const int p = placeIndex.value(NameKey(a.Place.trimmed()), -1);
        const int t = transIndex.value(NameKey(a.Transition.trimmed()), -1);
        if (p < 0 || t < 0)
            continue;
        c.Put(p, t, c.Get(p, t) + (a.ToPlace ? a.Weight : -a.Weight) + 0.0);
    }

    InitialTokens.assign(static_cast<size_t>(np), 0.0);
    for (const TNetStructure::Place& p : net.Places) {
        const int i = placeIndex.value(NameKey(p.Name.trimmed()), -1);
        if (i >= 0)
            InitialTokens[static_cast<size_t>(i)] = RoundHalfEven(p.Value);
    }

    TWork = c.Transposed();
    TIncidence = TWork;
    PIncidence = c;
    PWork = std::move(c);
    PInvariants.SetUnit(np);
    PInvariants.ColLabels = rows;
    PInvariants.RowLabels = invariantLabels(np + 1);
    TInvariants.SetUnit(nt);
    TInvariants.ColLabels = cols;
    TInvariants.RowLabels = invariantLabels(nt + 1);

    PNotFound = TNotFound = false;
    StepMode = StepPressed = false;
    StepCount = 0;
    Interruptions.clear();
    m_pComputed = m_tComputed = false;
    return true;
}

TQRVInvariants::TEnd TQRVInvariants::eliminate(T2DMatrix& w, T2DMatrix& x, bool oneStep,
                                               IQRVProgress* progress)
{
    while (w.RowLabels.size() < w.RowCount() + 1)
        w.RowLabels << QString();
    if (x.RowCount() != w.RowCount())
        x.SetSize(w.RowCount(), x.ColCount());
    const int startCols = w.ColCount();

    for (;;) {
        if (progress) {
            progress->Progress(100 * (startCols - w.ColCount()) / std::max(startCols, 1));
            progress->Status(QStringLiteral("Step %1: %2 rows").arg(StepCount + 1).arg(w.RowCount()));
            progress->Pump();
            if (progress->StopRequested())
                return eStopped;
        }
        const int rows = w.RowCount();
        std::vector<int> pos;
        std::vector<int> neg;
        for (int r = 0; r < rows; ++r) {
            const double v = w.Row(r)[0];
            if (v > 0)
                pos.push_back(r);
            else if (v < 0)
                neg.push_back(r);
        }

        std::vector<std::vector<double>> newW;
        std::vector<std::vector<double>> newX;
        QStringList newLabels;
        if (!pos.empty() && !neg.empty()) {
            const qint64 after = qint64(rows) - qint64(pos.size()) - qint64(neg.size()) +
                                 qint64(pos.size()) * qint64(neg.size());
            if (after > MaxRows)
                return eTooManyRows;
            const size_t made = pos.size() * neg.size();
            newW.reserve(made);
            newX.reserve(made);
            const size_t nw = static_cast<size_t>(w.ColCount());
            const size_t nx = static_cast<size_t>(x.ColCount());
            for (int i : pos) {
                for (int j : neg) {
                    const std::vector<double>& wi = w.Row(i);
                    const std::vector<double>& wj = w.Row(j);
                    const std::vector<double>& xi = x.Row(i);
                    const std::vector<double>& xj = x.Row(j);
                    const double a = wi[0];
                    const double b = wj[0];
                    std::vector<double> rw(nw);
                    std::vector<double> rx(nx);
                    for (size_t k = 0; k < nw; ++k)
                        rw[k] = a * wj[k] - b * wi[k] + 0.0;
                    for (size_t k = 0; k < nx; ++k)
                        rx[k] = a * xj[k] - b * xi[k] + 0.0;
                    rw[0] = 0.0;
                    NormaliseRow(rw, rx);
                    for (const std::vector<double>* part : {&rw, &rx})
                        for (double v : *part)
                            if (!std::isfinite(v))
                                return eOverflow;
                    newW.push_back(std::move(rw));
                    newX.push_back(std::move(rx));
                    newLabels << QStringLiteral("(%1,%2)").arg(i + 1).arg(j + 1);
                    if (progress && newW.size() % 256 == 0) {
                        progress->Pump();
                        if (progress->StopRequested())
                            return eStopped;
                    }
                }
            }
        }

        std::vector<char> doomed(static_cast<size_t>(rows) + newW.size(), 0);
        for (int r : pos)
            doomed[static_cast<size_t>(r)] = 1;
        for (int r : neg)
            doomed[static_cast<size_t>(r)] = 1;
        for (size_t k = 0; k < newW.size(); ++k) {
            w.AppendRow(std::move(newW[k]));
            x.AppendRow(std::move(newX[k]));
        }
        w.RowLabels << newLabels;
        w.DeleteRows(doomed);
        x.DeleteRows(doomed);
        deleteRowLabels(w.RowLabels, doomed);
        numberInvariantRows(x);
        ++StepCount;

        if (w.IsZero())
            return eDone;
        w.DeleteColumn(0);
        if (w.IsZero())
            return eDone;
        if (oneStep)
            return eRunning;
    }
}

bool TQRVInvariants::conclude(T2DMatrix& w, T2DMatrix& x, TEnd end)
{
    m_lastEnd = end;
    if (end != eDone)
        return false;
    removeDuplicates(w, x);
    return w.RowCount() > 0 && w.ColCount() > 0 && w.IsZero();
}

bool TQRVInvariants::FindInvariants(T2DMatrix& w, T2DMatrix& x, IQRVProgress* progress)
{
    m_lastEnd = eDone;
    if (w.RowCount() == 0 || w.ColCount() == 0)
        return false;
    if (!StepMode) {
        StepCount = 0;
        if (StepPressed)
            StepMode = true;
    }
    const TEnd end = eliminate(w, x, StepMode, progress);
    if (end == eRunning)
        return true;
    StepMode = false;
    return conclude(w, x, end);
}

void TQRVInvariants::noteEnd(const QString& what)
{
    const QString head = QStringLiteral("The computation of the %1 was stopped").arg(what);
    switch (m_lastEnd) {
    case eStopped:
        Interruptions << head + QStringLiteral(".");
        break;
    case eTooManyRows:
        Interruptions << head + QStringLiteral(": it would need more than %1 working rows.").arg(MaxRows);
        break;
    case eOverflow:
        Interruptions << head + QStringLiteral(": the numbers grew out of range.");
        break;
    default:
        break;
    }
}

void TQRVInvariants::Calculate(IQRVProgress* progress)
{
    StepMode = StepPressed = false;
    StepCount = 0;
    Interruptions.clear();
    PNotFound = !FindInvariants(PWork, PInvariants, progress);
    noteEnd(QStringLiteral("P-invariants"));
    TNotFound = !FindInvariants(TWork, TInvariants, progress);
    noteEnd(QStringLiteral("T-invariants"));
    m_pComputed = m_tComputed = true;
}

bool TQRVInvariants::Step(IQRVProgress* progress)
{
    if (!StepMode)
        Interruptions.clear();
    StepPressed = true;
    TNotFound = !FindInvariants(TWork, TInvariants, progress);
    noteEnd(QStringLiteral("T-invariants"));
    if (StepMode)
        return false;
    m_tComputed = true;
    if (!m_pComputed && !Interrupted()) {
        // The verdicts need the P-invariants too: compute them in one go.
        m_lastEnd = eDone;
        const int steps = StepCount;
        PNotFound = PWork.RowCount() == 0 || PWork.ColCount() == 0 ||
                    !conclude(PWork, PInvariants, eliminate(PWork, PInvariants, false, progress));
        StepCount = steps;
        noteEnd(QStringLiteral("P-invariants"));
        m_pComputed = true;
    }
    return true;
}

QStringList TQRVInvariants::Verdicts() const
{
    auto tokens = [this](int c) {
        return static_cast<size_t>(c) < InitialTokens.size() ? InitialTokens[static_cast<size_t>(c)] : 0.0;
    };
    QStringList lines;
    bool bounded = !PNotFound && PInvariants.RowCount() > 0;
    for (int c = 0; bounded && c < PInvariants.ColCount(); ++c) {
        bool covered = false;
        for (int r = 0; !covered && r < PInvariants.RowCount(); ++r)
            covered = PInvariants.Get(r, c) != 0.0;
        bounded = covered;
    }
    if (bounded) {
        double k = -HUGE_VAL;
        for (int r = 0; r < PInvariants.RowCount(); ++r) {
            double sum = 0;
            for (int c = 0; c < PInvariants.ColCount(); ++c)
                sum += PInvariants.Get(r, c) * tokens(c);
            k = std::max(k, sum);
        }
        lines << QStringLiteral("The Net is Bounded, K=") + FormatGeneral(k) + QStringLiteral(" !");
    } else {
        lines << QStringLiteral("The Net is Not Bounded !");
    }

    bool live = !TNotFound && TInvariants.RowCount() > 0;
    for (int c = 0; live && c < TInvariants.ColCount(); ++c) {
        bool covered = false;
        for (int r = 0; !covered && r < TInvariants.RowCount(); ++r)
            covered = TInvariants.Get(r, c) != 0.0;
        live = covered;
    }
    lines << (live && bounded ? QStringLiteral("The Net is Live !") : QStringLiteral("The Net is Dead !"));

    bool reinit = !PNotFound;
    for (int c = 0; reinit && c < PInvariants.ColCount(); ++c) {
        if (tokens(c) == 0.0)
            continue;
        bool covered = false;
        for (int r = 0; !covered && r < PInvariants.RowCount(); ++r)
            covered = PInvariants.Get(r, c) != 0.0;
        reinit = covered;
    }
    lines << (reinit ? QStringLiteral("The Net is Reinitialisible !")
                     : QStringLiteral("The Net is Not Reinitialisible !"));
    return lines;
}

QStringList TQRVInvariants::Report() const
{
    return Interrupted() ? Interruptions : Verdicts();
}
