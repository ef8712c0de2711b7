#include "structural/invariants.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
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

// Row or column numbers by name. A standard map rather than a QHash, so that
// running out of memory while it grows can be reported instead of ending
// the program.
using TLabelIndex = std::unordered_map<QString, int>;

TLabelIndex indexOfLabels(const QStringList& labels)
{
    TLabelIndex index;
    index.reserve(static_cast<size_t>(labels.size()));
    for (int i = 1; i < labels.size(); ++i)
        index.emplace(NameKey(labels.at(i)), i - 1);
    return index;
}

int indexOf(const TLabelIndex& index, const QString& name)
{
    const auto it = index.find(NameKey(name.trimmed()));
    return it == index.end() ? -1 : it->second;
}

QStringList invariantLabels(int count)
{
    QStringList labels{QString()};
    for (int i = 1; i <= count; ++i)
        labels << QStringLiteral("Inv %1").arg(i);
    return labels;
}

// Invariant rows are numbered "Inv 1", "Inv 2", ... for at least `rows` rows.
void numberInvariantRows(T2DMatrix& x, int rows)
{
    if (x.RowLabels.isEmpty())
        x.RowLabels << QString();
    while (x.RowLabels.size() < rows + 1)
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

size_t hashRow(const T2DMatrix::SparseRow& row)
{
    size_t h = row.size();
    for (const T2DMatrix::Entry& e : row)
        h = (h * 1000003u ^ static_cast<size_t>(e.Col)) * 1000003u ^ std::hash<double>{}(e.Value);
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

bool NormaliseRow(T2DMatrix::SparseRow& a, T2DMatrix::SparseRow& b, qsizetype cells)
{
    double m = -HUGE_VAL;
    qsizetype nonZero = 0;
    for (const T2DMatrix::SparseRow* part : {&a, &b})
        for (const T2DMatrix::Entry& e : *part) {
            if (e.Value == 1.0)
                return false;
            m = std::max(m, e.Value);
            ++nonZero;
        }
    if (nonZero < cells) // the cells not listed hold 0
        m = std::max(m, 0.0);
    auto divisible = [&](int p) {
        for (const T2DMatrix::SparseRow* part : {&a, &b})
            for (const T2DMatrix::Entry& e : *part)
                if (std::fmod(RoundHalfEven(e.Value), p) != 0.0)
                    return false;
        return true;
    };
    bool any = false;
    for (;;) {
        bool divided = false;
        for (int p : kPrimes) {
            if (p > m)
                break;
            if (divisible(p)) {
                for (T2DMatrix::SparseRow* part : {&a, &b})
                    for (T2DMatrix::Entry& e : *part)
                        e.Value /= p;
                m /= p;
                divided = true;
                break;
            }
        }
        if (!divided)
            return any;
        any = true;
    }
}

bool TQRVInvariants::BuildIncidence(const TNetStructure& net)
{
    Interruptions.clear();
    try {
        return buildIncidence(net);
    } catch (const std::bad_alloc&) {
        const int maxRows = MaxRows;
        *this = TQRVInvariants();
        MaxRows = maxRows;
        Interruptions << QStringLiteral("There is not enough memory for the incidence matrices of this net.");
        return false;
    }
}

bool TQRVInvariants::buildIncidence(const TNetStructure& net)
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
    const TLabelIndex placeIndex = indexOfLabels(rows);
    const TLabelIndex transIndex = indexOfLabels(cols);
    const int np = static_cast<int>(rows.size()) - 1;
    const int nt = static_cast<int>(cols.size()) - 1;

    // Arcs in both directions between one place and one transition add up,
    // so a self-loop moves nothing, as it does when the transition fires. The
    // weights are added in the order of the arcs.
    std::vector<T2DMatrix::SparseRow> cells(static_cast<size_t>(np));
    for (const TNetStructure::Arc& a : net.Arcs) {
        if (a.Kind == lkIngibitor)
            continue;
        const int p = indexOf(placeIndex, a.Place);
        const int t = indexOf(transIndex, a.Transition);
        if (p < 0 || t < 0)
            continue;
        cells[static_cast<size_t>(p)].push_back({t, a.ToPlace ? a.Weight : -a.Weight});
    }
    T2DMatrix c;
    c.SetSize(0, nt);
    c.RowLabels = rows;
    c.ColLabels = cols;
    for (T2DMatrix::SparseRow& row : cells) {
        std::stable_sort(row.begin(), row.end(),
                         [](const T2DMatrix::Entry& x, const T2DMatrix::Entry& y) { return x.Col < y.Col; });
        T2DMatrix::SparseRow summed;
        for (size_t i = 0; i < row.size();) {
            double sum = 0.0;
            const int col = row[i].Col;
            for (; i < row.size() && row[i].Col == col; ++i)
                sum = sum + row[i].Value + 0.0;
            if (sum != 0.0)
                summed.push_back({col, sum});
        }
        c.AppendRow(std::move(summed));
        T2DMatrix::SparseRow().swap(row);
    }

    InitialTokens.assign(static_cast<size_t>(np), 0.0);
    for (const TNetStructure::Place& p : net.Places) {
        const int i = indexOf(placeIndex, p.Name);
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

namespace {

// How many of the rows made so far are still there before a given one: the
// row numbers the labels of combined rows speak of. Rows are only ever
// appended or deleted.
class TRowNumbers
{
public:
    void Append()
    {
        const size_t i = m_tree.size() + 1;
        m_tree.push_back(1 + before(i - 1) - before(i - lowBit(i)));
    }
    void Delete(size_t row)
    {
        for (size_t i = row + 1; i <= m_tree.size(); i += lowBit(i))
            --m_tree[i - 1];
    }
    // The number of rows still there before `row`.
    int Before(size_t row) const { return static_cast<int>(before(row)); }

private:
    static size_t lowBit(size_t i) { return i & (~i + 1); }
    qint64 before(size_t i) const
    {
        qint64 sum = 0;
        for (; i > 0; i -= lowBit(i))
            sum += m_tree[i - 1];
        return sum;
    }
    std::vector<qint64> m_tree;
};

struct TWorkRow
{
    T2DMatrix::SparseRow W;
    T2DMatrix::SparseRow X;
    QString Label;
};

using TCells = std::span<const T2DMatrix::Entry>;

// a·j − b·i over the cells of two rows (a cell not listed is 0), leaving out
// column `skip`, appended to `out`. False when a cell is not a finite number.
bool combineAppend(double a, TCells j, double b, TCells i, int skip, T2DMatrix::SparseRow& out)
{
    out.reserve(out.size() + std::max(i.size(), j.size()));
    auto pi = i.begin(), pj = j.begin();
    bool finite = true;
    auto put = [&](int col, double v) {
        finite = finite && std::isfinite(v);
        if (v != 0.0 && col != skip)
            out.push_back({col, v});
    };
    while (pi != i.end() || pj != j.end()) {
        if (pj == j.end() || (pi != i.end() && pi->Col < pj->Col)) {
            put(pi->Col, a * 0.0 - b * pi->Value + 0.0);
            ++pi;
        } else if (pi == i.end() || pj->Col < pi->Col) {
            put(pj->Col, a * pj->Value - b * 0.0 + 0.0);
            ++pj;
        } else {
            put(pj->Col, a * pj->Value - b * pi->Value + 0.0);
            ++pi;
            ++pj;
        }
    }
    return finite;
}

bool combine(double a, const T2DMatrix::SparseRow& j, double b, const T2DMatrix::SparseRow& i, int skip,
             T2DMatrix::SparseRow& out)
{
    out.clear();
    return combineAppend(a, j, b, i, skip, out);
}

// The same for two rows that are used for the last time, where one of them is
// taken as it is (its factor is 1: a·v − b·0 + 0 is v, bit for bit). Its cells
// before the first column of the other row stay where they are; only the rest
// is computed. A long invariant row that takes in one short row per step then
// grows by what it takes in, not by its whole length. `from` is the first cell
// computed anew.
bool combineLast(double a, T2DMatrix::SparseRow& j, double b, T2DMatrix::SparseRow& i,
                 T2DMatrix::SparseRow& out, size_t& from)
{
    const bool keepJ = a == 1.0 && (b != -1.0 || j.size() >= i.size());
    if (!keepJ && b != -1.0) {
        from = 0;
        return combine(a, j, b, i, -1, out);
    }
    T2DMatrix::SparseRow& kept = keepJ ? j : i;
    const T2DMatrix::SparseRow& other = keepJ ? i : j;
    const auto byCol = [](const T2DMatrix::Entry& e, int col) { return e.Col < col; };
    from = other.empty()
               ? kept.size()
               : static_cast<size_t>(std::lower_bound(kept.begin(), kept.end(), other.front().Col, byCol) -
                                     kept.begin());
    const TCells keptTail = TCells(kept).subspan(from);
    T2DMatrix::SparseRow tail;
    const bool finite = keepJ ? combineAppend(a, keptTail, b, other, -1, tail)
                              : combineAppend(a, other, b, keptTail, -1, tail);
    out = std::move(kept);
    out.resize(from);
    out.insert(out.end(), tail.begin(), tail.end());
    return finite;
}

void keep(std::vector<T2DMatrix::SparseRow>& spare, T2DMatrix::SparseRow& cells)
{
    if (cells.capacity() > 0 && spare.size() < 64) {
        cells.clear();
        spare.push_back(std::move(cells));
    }
}

void reuse(std::vector<T2DMatrix::SparseRow>& spare, T2DMatrix::SparseRow& cells)
{
    if (!spare.empty()) {
        cells = std::move(spare.back());
        spare.pop_back();
    }
}

} // namespace

TQRVInvariants::TEnd TQRVInvariants::eliminate(T2DMatrix& w, T2DMatrix& x, bool oneStep,
                                               IQRVProgress* progress)
{
    try {
        return eliminateRows(w, x, oneStep, progress);
    } catch (const std::bad_alloc&) {
        // The matrices are as they were before this computation.
        return eNoMemory;
    }
}

TQRVInvariants::TEnd TQRVInvariants::eliminateRows(T2DMatrix& w, T2DMatrix& x, bool oneStep,
                                                   IQRVProgress* progress)
{
    while (w.RowLabels.size() < w.RowCount() + 1)
        w.RowLabels << QString();
    if (x.RowCount() != w.RowCount())
        x.SetSize(w.RowCount(), x.ColCount());
    const int columns = w.ColCount();
    const int xColumns = x.ColCount();

    // The rows in their order, deleted ones left empty; for every column the
    // rows whose first non-zero cell it holds (all columns before it are zero
    // in every row once they were eliminated).
    std::vector<TWorkRow> rows(static_cast<size_t>(w.RowCount()));
    std::vector<char> deleted(rows.size(), 0);
    TRowNumbers numbers;
    std::vector<std::vector<int>> startingAt(static_cast<size_t>(columns));
    int nonZeroRows = 0;
    int rowCount = w.RowCount();
    for (int r = 0; r < w.RowCount(); ++r) {
        TWorkRow& row = rows[static_cast<size_t>(r)];
        row.W = w.Row(r);
        row.X = x.Row(r);
        row.Label = w.RowLabels.at(r + 1);
        numbers.Append();
        if (!row.W.empty()) {
            startingAt[static_cast<size_t>(row.W.front().Col)].push_back(r);
            ++nonZeroRows;
        }
    }

    // Cells of deleted rows, for new rows: a long invariant row grows step by
    // step and would otherwise be allocated anew each time.
    std::vector<T2DMatrix::SparseRow> spare;
    TEnd end = eDone;
    int gone = 0;      // columns eliminated and deleted
    int mostRows = -1; // after any step, for the invariants' row labels
    for (int k = 0; k < columns; ++k) {
        if (progress) {
            progress->Progress(100 * k / std::max(columns, 1));
            progress->Status(QStringLiteral("Step %1: %2 rows").arg(StepCount + 1).arg(rowCount));
            progress->Pump();
            if (progress->StopRequested()) {
                end = eStopped;
                break;
            }
        }
        std::vector<int> pos;
        std::vector<int> neg;
        for (int r : startingAt[static_cast<size_t>(k)])
            (rows[static_cast<size_t>(r)].W.front().Value > 0 ? pos : neg).push_back(r);

        std::vector<TWorkRow> made;
        if (!pos.empty() && !neg.empty()) {
            const qint64 after = qint64(rowCount) - qint64(pos.size()) - qint64(neg.size()) +
                                 qint64(pos.size()) * qint64(neg.size());
            if (after > MaxRows) {
                end = eTooManyRows;
                break;
            }
            made.reserve(pos.size() * neg.size());
            // Cells of a new row: those of W from this column on, then those of X.
            const qsizetype cells = qsizetype(columns - k) + xColumns;
            bool overflow = false;
            // Two rows that meet only each other are used once.
            const bool once = pos.size() == 1 && neg.size() == 1;
            for (int i : pos) {
                TWorkRow& ri = rows[static_cast<size_t>(i)];
                const int ni = numbers.Before(static_cast<size_t>(i)) + 1;
                for (int j : neg) {
                    TWorkRow& rj = rows[static_cast<size_t>(j)];
                    const double a = ri.W.front().Value;
                    const double b = rj.W.front().Value;
                    TWorkRow row;
                    reuse(spare, row.W);
                    const bool finiteW = combine(a, rj.W, b, ri.W, k, row.W);
                    // Cells of X before this one were taken over and are finite.
                    size_t checkFrom = 0;
                    bool finiteX = false;
                    if (once) {
                        finiteX = combineLast(a, rj.X, b, ri.X, row.X, checkFrom);
                    } else {
                        reuse(spare, row.X);
                        finiteX = combine(a, rj.X, b, ri.X, -1, row.X);
                    }
                    const bool divided = NormaliseRow(row.W, row.X, cells);
                    if (divided)
                        checkFrom = 0;
                    if (!finiteW || !finiteX) {
                        overflow = true;
                        break;
                    }
                    for (const T2DMatrix::Entry& e : row.W)
                        overflow = overflow || !std::isfinite(e.Value);
                    for (size_t c = checkFrom; c < row.X.size(); ++c)
                        overflow = overflow || !std::isfinite(row.X[c].Value);
                    if (overflow)
                        break;
                    row.Label =
                        QStringLiteral("(%1,%2)").arg(ni).arg(numbers.Before(static_cast<size_t>(j)) + 1);
                    made.push_back(std::move(row));
                    if (progress && made.size() % 256 == 0) {
                        progress->Pump();
                        if (progress->StopRequested())
                            break;
                    }
                }
                if (overflow || (progress && progress->StopRequested()))
                    break;
            }
            if (overflow) {
                end = eOverflow;
                break;
            }
            if (progress && progress->StopRequested()) {
                end = eStopped;
                break;
            }
        }

        // Every row of P and N goes, whether or not both were there.
        for (const std::vector<int>* group : {&pos, &neg})
            for (int r : *group) {
                TWorkRow& row = rows[static_cast<size_t>(r)];
                keep(spare, row.W);
                keep(spare, row.X);
                row = TWorkRow();
                deleted[static_cast<size_t>(r)] = 1;
                numbers.Delete(static_cast<size_t>(r));
                --nonZeroRows;
                --rowCount;
            }
        std::vector<int>().swap(startingAt[static_cast<size_t>(k)]);
        for (TWorkRow& row : made) {
            const int id = static_cast<int>(rows.size());
            if (!row.W.empty()) {
                startingAt[static_cast<size_t>(row.W.front().Col)].push_back(id);
                ++nonZeroRows;
            }
            numbers.Append();
            rows.push_back(std::move(row));
            deleted.push_back(0);
            ++rowCount;
        }
        ++StepCount;
        mostRows = std::max(mostRows, rowCount);

        if (nonZeroRows == 0)
            break; // done; this column stays
        gone = k + 1;
        if (oneStep && gone < columns) {
            end = eRunning;
            break;
        }
    }

    // The reduced matrices replace the old ones only once they are whole.
    T2DMatrix newW;
    newW.SetSize(0, columns - gone);
    newW.ColLabels << w.ColLabels.value(0);
    newW.ColLabels << w.ColLabels.mid(gone + 1);
    newW.RowLabels << w.RowLabels.value(0);
    T2DMatrix newX;
    newX.SetSize(0, xColumns);
    newX.ColLabels = x.ColLabels;
    newX.RowLabels = x.RowLabels;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (deleted[r])
            continue;
        TWorkRow& row = rows[r];
        for (T2DMatrix::Entry& e : row.W)
            e.Col -= gone;
        newW.AppendRow(std::move(row.W));
        newX.AppendRow(std::move(row.X));
        newW.RowLabels << row.Label;
    }
    // Labels beyond the rows at the start stay at the end, as they were.
    newW.RowLabels << w.RowLabels.mid(w.RowCount() + 1);
    // Invariant rows keep a label for the most rows any step left.
    if (mostRows >= 0)
        numberInvariantRows(newX, mostRows);
    w = std::move(newW);
    x = std::move(newX);
    return end;
}

bool TQRVInvariants::conclude(T2DMatrix& w, T2DMatrix& x, TEnd end)
{
    m_lastEnd = end;
    if (end != eDone)
        return false;
    try {
        removeDuplicates(w, x);
    } catch (const std::bad_alloc&) {
        m_lastEnd = eNoMemory;
        return false;
    }
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
    case eNoMemory:
        Interruptions << head + QStringLiteral(": there is not enough memory for it.");
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

namespace {

// Whether each column holds a non-zero cell in some row.
std::vector<char> coveredColumns(const T2DMatrix& m)
{
    std::vector<char> covered(static_cast<size_t>(m.ColCount()), 0);
    for (int r = 0; r < m.RowCount(); ++r)
        for (const T2DMatrix::Entry& e : m.Row(r))
            covered[static_cast<size_t>(e.Col)] = 1;
    return covered;
}

} // namespace

QStringList TQRVInvariants::Verdicts() const
{
    auto tokens = [this](int c) {
        return static_cast<size_t>(c) < InitialTokens.size() ? InitialTokens[static_cast<size_t>(c)] : 0.0;
    };
    QStringList lines;
    const std::vector<char> placeCovered = coveredColumns(PInvariants);
    bool bounded = !PNotFound && PInvariants.RowCount() > 0;
    for (char c : placeCovered)
        bounded = bounded && c;
    if (bounded) {
        double k = -HUGE_VAL;
        for (int r = 0; r < PInvariants.RowCount(); ++r) {
            double sum = 0;
            for (const T2DMatrix::Entry& e : PInvariants.Row(r))
                sum += e.Value * tokens(e.Col);
            k = std::max(k, sum);
        }
        lines << QStringLiteral("The Net is Bounded, K=") + FormatGeneral(k) + QStringLiteral(" !");
    } else {
        lines << QStringLiteral("The Net is Not Bounded !");
    }

    bool live = !TNotFound && TInvariants.RowCount() > 0;
    for (char c : coveredColumns(TInvariants))
        live = live && c;
    lines << (live && bounded ? QStringLiteral("The Net is Live !") : QStringLiteral("The Net is Dead !"));

    bool reinit = !PNotFound;
    for (int c = 0; reinit && c < PInvariants.ColCount(); ++c)
        reinit = tokens(c) == 0.0 || placeCovered[static_cast<size_t>(c)];
    lines << (reinit ? QStringLiteral("The Net is Reinitialisible !")
                     : QStringLiteral("The Net is Not Reinitialisible !"));
    return lines;
}

QStringList TQRVInvariants::Report() const
{
    return Interrupted() ? Interruptions : Verdicts();
}
