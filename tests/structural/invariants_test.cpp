// The incidence matrix, the elimination and the verdicts.
#include <gtest/gtest.h>

#include <random>

#include "allocation_failure.h"
#include "model/progress.h"
#include "structural/invariants.h"
#include "structural_nets.h"

namespace {

std::vector<double> row(const T2DMatrix& m, int r)
{
    std::vector<double> cells;
    for (int c = 0; c < m.ColCount(); ++c)
        cells.push_back(m.Get(r, c));
    return cells;
}

using V = std::vector<double>;

T2DMatrix::SparseRow sparse(const V& cells)
{
    T2DMatrix::SparseRow row;
    for (size_t c = 0; c < cells.size(); ++c)
        if (cells[c] != 0)
            row.push_back({static_cast<int>(c), cells[c]});
    return row;
}

// Normalises the row made of `a` followed by `b`, given as all their cells.
void normalise(V& a, V& b)
{
    T2DMatrix::SparseRow sa = sparse(a), sb = sparse(b);
    NormaliseRow(sa, sb, static_cast<qsizetype>(a.size() + b.size()));
    for (V* part : {&a, &b})
        std::fill(part->begin(), part->end(), 0.0);
    for (const T2DMatrix::Entry& e : sa)
        a[static_cast<size_t>(e.Col)] = e.Value;
    for (const T2DMatrix::Entry& e : sb)
        b[static_cast<size_t>(e.Col)] = e.Value;
}

// Stops once it has been asked to pump `limit` times.
class TStopAfter : public TSilentProgress
{
public:
    explicit TStopAfter(int limit) : m_limit(limit) {}
    void Pump() override { ++m_pumps; }
    bool StopRequested() const override { return m_pumps >= m_limit; }

private:
    int m_limit;
    int m_pumps = 0;
};

// A place a_i -> t -> b_j for i, j < n: n * n P-invariants a_i + b_j.
TNetStructure fan(int n)
{
    TNetBuilder b;
    b.Trans("t");
    for (int i = 1; i <= n; ++i)
        b.Place(QStringLiteral("a%1").arg(i)).Place(QStringLiteral("b%1").arg(i));
    for (int i = 1; i <= n; ++i)
        b.Arc(QStringLiteral("a%1").arg(i), "t").Arc("t", QStringLiteral("b%1").arg(i));
    return b.Net;
}

} // namespace

TEST(Invariants, TwoPlaceCycleIsCoveredLiveAndReinitialisable)
{
    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(TwoPlaceCycle(2, 3).Net));
    EXPECT_EQ(row(inv.PIncidence, 0), (V{-1, 1}));
    EXPECT_EQ(row(inv.PIncidence, 1), (V{1, -1}));
    EXPECT_EQ(row(inv.TIncidence, 0), (V{-1, 1}));
    EXPECT_EQ(inv.TIncidence.RowLabels, (QStringList{"", "t1", "t2"}));
    EXPECT_EQ(inv.PInvariants.RowLabels, (QStringList{"", "Inv 1", "Inv 2", "Inv 3"}));
    EXPECT_EQ(inv.PInvariants.ColLabels, (QStringList{"", "p1", "p2"}));

    inv.Calculate();
    EXPECT_FALSE(inv.PNotFound);
    EXPECT_FALSE(inv.TNotFound);
    ASSERT_EQ(inv.PInvariants.RowCount(), 1);
    EXPECT_EQ(row(inv.PInvariants, 0), (V{1, 1}));
    ASSERT_EQ(inv.TInvariants.RowCount(), 1);
    EXPECT_EQ(row(inv.TInvariants, 0), (V{1, 1}));
    EXPECT_EQ(inv.Report(), (QStringList{"The Net is Bounded, K=5 !", "The Net is Live !",
                                         "The Net is Reinitialisible !"}));

    // A second Calculate works on the reduced matrices and finds the same.
    inv.Calculate();
    EXPECT_EQ(inv.PInvariants.RowCount(), 1);
    EXPECT_EQ(inv.TInvariants.RowCount(), 1);
    EXPECT_FALSE(inv.PNotFound || inv.TNotFound);
}

TEST(Invariants, PlaceOnlyConsumedHasNoInvariant)
{
    TNetBuilder b;
    b.Place("p1", 1).Trans("t1").Arc("p1", "t1");
    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(b.Net));
    inv.Calculate();
    EXPECT_TRUE(inv.PNotFound);
    EXPECT_TRUE(inv.TNotFound);
    EXPECT_EQ(inv.Verdicts(), (QStringList{"The Net is Not Bounded !", "The Net is Dead !",
                                           "The Net is Not Reinitialisible !"}));
}

TEST(Invariants, SourceTransitionBesideACycleLeavesItsPlaceUncovered)
{
    TNetBuilder b = TwoPlaceCycle();
    b.Place("p3").Trans("t3").Arc("t3", "p3");
    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(b.Net));
    inv.Calculate();
    ASSERT_FALSE(inv.PNotFound);
    ASSERT_EQ(inv.PInvariants.RowCount(), 1);
    EXPECT_EQ(row(inv.PInvariants, 0), (V{1, 1, 0}));
    EXPECT_EQ(inv.Verdicts().value(0), "The Net is Not Bounded !");
    EXPECT_EQ(inv.Verdicts().value(1), "The Net is Dead !");
    EXPECT_EQ(inv.Verdicts().value(2), "The Net is Reinitialisible !");
}

TEST(Invariants, InhibitorArcsAreLeftOutTestArcsCountAsInputsAndSelfLoopsCancel)
{
    TNetBuilder b;
    b.Place("p1").Place("p2").Place("p3").Place("p4").Trans("t1");
    b.Arc("p1", "t1", 3, lkIngibitor);
    b.Arc("p2", "t1", 2, lkTest);
    b.Arc("p3", "t1", 1, lkIngibitorContinuous);
    // A self-loop: the place loses and regains one token per firing.
    b.Arc("p4", "t1", 1).Arc("t1", "p4", 1);
    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(b.Net));
    EXPECT_EQ(inv.PIncidence.Get(0, 0), 0);
    EXPECT_EQ(inv.PIncidence.Get(1, 0), -2);
    EXPECT_EQ(inv.PIncidence.Get(2, 0), -1);
    EXPECT_EQ(inv.PIncidence.Get(3, 0), 0);
    // Weights that are not whole numbers are used as they are.
    TNetBuilder c;
    c.Place("p1").Trans("t1").Arc("t1", "p1", 0.5);
    ASSERT_TRUE(inv.BuildIncidence(c.Net));
    EXPECT_EQ(inv.PIncidence.Get(0, 0), 0.5);
}

TEST(Invariants, LabelsAreOrderedByLengthThenTextAndTokensRounded)
{
    TNetBuilder b;
    b.Place("p10", 1).Place("p2", 2.5).Place("a", 3.5).Place("Q1", 0.4).Trans("t10").Trans("t9");
    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(b.Net));
    EXPECT_EQ(inv.PIncidence.RowLabels, (QStringList{"", "a", "p2", "Q1", "p10"}));
    EXPECT_EQ(inv.PIncidence.ColLabels, (QStringList{"", "t9", "t10"}));
    EXPECT_EQ(inv.TWork.ColLabels, inv.PIncidence.RowLabels);
    // Levels of continuous places are rounded to the nearest whole number.
    EXPECT_EQ(inv.InitialTokens, (std::vector<double>{4, 2, 0, 1}));

    TNetBuilder noTransition;
    noTransition.Place("p1");
    EXPECT_FALSE(inv.BuildIncidence(noTransition.Net));
    TNetBuilder noPlace;
    noPlace.Trans("t1");
    EXPECT_FALSE(inv.BuildIncidence(noPlace.Net));
}

TEST(Invariants, NormalisationDividesBySharedSmallPrimes)
{
    V a{2, 4};
    V b{6};
    normalise(a, b);
    EXPECT_EQ(a, (V{1, 2}));
    EXPECT_EQ(b, (V{3}));

    V c{3, 1};
    V none;
    normalise(c, none);
    EXPECT_EQ(c, (V{3, 1}));

    V d{0, -12, 18, 30};
    normalise(d, none);
    EXPECT_EQ(d, (V{0, -2, 3, 5}));

    V e{103, 206}; // no prime up to 101 divides both
    normalise(e, none);
    EXPECT_EQ(e, (V{103, 206}));
}

TEST(Invariants, WeightedInvariantGivesTheBound)
{
    TNetBuilder b;
    b.Place("p1", 3).Place("p2", 1).Trans("t1").Trans("t2");
    b.Arc("p1", "t1", 2).Arc("t1", "p2").Arc("p2", "t2").Arc("t2", "p1", 2);
    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(b.Net));
    inv.Calculate();
    ASSERT_EQ(inv.PInvariants.RowCount(), 1);
    EXPECT_EQ(row(inv.PInvariants, 0), (V{1, 2}));
    EXPECT_EQ(inv.Verdicts().value(0), "The Net is Bounded, K=5 !");
}

TEST(Invariants, RowLimitAndStopEndTheComputationAndLeaveItResumable)
{
    TQRVInvariants fresh;
    ASSERT_TRUE(fresh.BuildIncidence(fan(10)));
    fresh.Calculate();
    ASSERT_FALSE(fresh.PNotFound);
    EXPECT_EQ(fresh.PInvariants.RowCount(), 100);
    EXPECT_EQ(fresh.PInvariants.RowLabels.value(100), "Inv 100");

    TQRVInvariants limited;
    ASSERT_TRUE(limited.BuildIncidence(fan(10)));
    limited.MaxRows = 50;
    limited.Calculate();
    EXPECT_TRUE(limited.PNotFound);
    ASSERT_TRUE(limited.Interrupted());
    EXPECT_EQ(limited.Report(),
              (QStringList{"The computation of the P-invariants was stopped: it would need more than 50 "
                           "working rows."}));
    // The matrices are as they were before the step that was refused.
    EXPECT_EQ(limited.PWork.RowCount(), 20);
    EXPECT_EQ(limited.PInvariants.RowCount(), 20);

    TStopAfter stop(1);
    limited.MaxRows = TQRVInvariants::DefaultMaxRows;
    limited.Calculate(&stop);
    // (the T-invariants were already known not to exist: nothing to stop there)
    EXPECT_EQ(limited.Report(), (QStringList{"The computation of the P-invariants was stopped."}));
    EXPECT_EQ(limited.PWork.RowCount(), limited.PInvariants.RowCount());

    // Stopped in the middle of a large step.
    TQRVInvariants big;
    ASSERT_TRUE(big.BuildIncidence(fan(40)));
    TStopAfter midStep(3);
    big.Calculate(&midStep);
    EXPECT_TRUE(big.PNotFound);
    EXPECT_EQ(big.Interruptions.size(), 2);
    EXPECT_EQ(big.PWork.RowCount(), 80);

    TSilentProgress silent;
    limited.Calculate(&silent);
    EXPECT_FALSE(limited.Interrupted());
    EXPECT_FALSE(limited.PNotFound);
    ASSERT_EQ(limited.PInvariants.RowCount(), fresh.PInvariants.RowCount());
    for (int r = 0; r < fresh.PInvariants.RowCount(); ++r)
        EXPECT_EQ(row(limited.PInvariants, r), row(fresh.PInvariants, r));
}

namespace {

// A random net of 2..5 places and 2..5 transitions with arcs of weight 1..3.
TNetStructure randomNet(std::mt19937& rng)
{
    std::uniform_int_distribution<int> count(2, 5);
    std::uniform_int_distribution<int> weight(1, 3);
    std::uniform_int_distribution<int> dice(0, 5);
    TNetBuilder b;
    const int np = count(rng);
    const int nt = count(rng);
    for (int p = 1; p <= np; ++p)
        b.Place(QStringLiteral("p%1").arg(p), dice(rng) % 3);
    for (int t = 1; t <= nt; ++t)
        b.Trans(QStringLiteral("t%1").arg(t));
    for (int p = 1; p <= np; ++p)
        for (int t = 1; t <= nt; ++t) {
            const int d = dice(rng);
            const QString ps = QStringLiteral("p%1").arg(p);
            const QString ts = QStringLiteral("t%1").arg(t);
            if (d == 0)
                b.Arc(ps, ts, weight(rng));
            else if (d == 1)
                b.Arc(ts, ps, weight(rng));
        }
    return b.Net;
}

// C[p][t], by place and transition name, straight from the arcs.
double incidence(const TNetStructure& net, const QString& place, const QString& trans)
{
    double sum = 0;
    for (const TNetStructure::Arc& a : net.Arcs)
        if (a.Place == place && a.Transition == trans && a.Kind != lkIngibitor)
            sum += a.ToPlace ? a.Weight : -a.Weight;
    return sum;
}

// Whether y.C = 0 (P) or C.x = 0 (T) has a non-negative non-zero solution with entries up to 3.
bool smallSolutionExists(const TNetStructure& net, bool pInvariants)
{
    QStringList vars;
    QStringList others;
    for (const TNetStructure::Place& p : net.Places)
        (pInvariants ? vars : others) << p.Name;
    for (const QString& t : net.Transitions)
        (pInvariants ? others : vars) << t;
    std::vector<int> v(static_cast<size_t>(vars.size()), 0);
    for (;;) {
        size_t i = 0;
        while (i < v.size() && v[i] == 3)
            v[i++] = 0;
        if (i == v.size())
            return false;
        ++v[i];
        bool zero = true;
        for (const QString& o : others) {
            double s = 0;
            for (int k = 0; k < vars.size(); ++k)
                s += v[static_cast<size_t>(k)] *
                     (pInvariants ? incidence(net, vars[k], o) : incidence(net, o, vars[k]));
            zero = zero && s == 0;
        }
        if (zero)
            return true;
    }
}

void expectInvariants(const TNetStructure& net, const T2DMatrix& x, bool pInvariants, bool notFound)
{
    if (notFound) {
        EXPECT_FALSE(smallSolutionExists(net, pInvariants));
        return;
    }
    ASSERT_GT(x.RowCount(), 0);
    const QStringList others = pInvariants ? net.Transitions : [&] {
        QStringList names;
        for (const TNetStructure::Place& p : net.Places)
            names << p.Name;
        return names;
    }();
    for (int r = 0; r < x.RowCount(); ++r) {
        bool nonZero = false;
        for (int c = 0; c < x.ColCount(); ++c) {
            EXPECT_GE(x.Get(r, c), 0);
            nonZero = nonZero || x.Get(r, c) != 0;
        }
        EXPECT_TRUE(nonZero);
        for (const QString& o : others) {
            double s = 0;
            for (int c = 0; c < x.ColCount(); ++c) {
                const QString name = x.ColLabels.at(c + 1);
                s += x.Get(r, c) * (pInvariants ? incidence(net, name, o) : incidence(net, o, name));
            }
            EXPECT_EQ(s, 0) << "invariant " << r;
        }
        for (int other = 0; other < r; ++other)
            EXPECT_NE(x.Row(other), x.Row(r)) << "duplicate invariant " << r;
    }
}

} // namespace

TEST(Invariants, EveryInvariantOfRandomNetsSolvesTheIncidenceEquation)
{
    std::mt19937 rng(20240611);
    int found = 0;
    for (int n = 0; n < 300; ++n) {
        const TNetStructure net = randomNet(rng);
        TQRVInvariants inv;
        ASSERT_TRUE(inv.BuildIncidence(net));
        inv.Calculate();
        ASSERT_FALSE(inv.Interrupted());
        SCOPED_TRACE(n);
        expectInvariants(net, inv.PInvariants, true, inv.PNotFound);
        expectInvariants(net, inv.TInvariants, false, inv.TNotFound);
        found += !inv.PNotFound + !inv.TNotFound;
        if (HasFailure())
            return;
    }
    EXPECT_GT(found, 100); // the nets are not all trivial
}

TEST(Invariants, SteppingReachesWhatCalculateFinds)
{
    std::mt19937 rng(7);
    for (int n = 0; n < 100; ++n) {
        const TNetStructure net = randomNet(rng);
        TQRVInvariants calc;
        TQRVInvariants step;
        ASSERT_TRUE(calc.BuildIncidence(net));
        ASSERT_TRUE(step.BuildIncidence(net));
        calc.Calculate();
        int steps = 0;
        while (!step.Step()) {
            ++steps;
            ASSERT_TRUE(step.StepMode);
            EXPECT_EQ(step.StepCount, steps);
            EXPECT_FALSE(step.TNotFound); // true while stepping
            EXPECT_EQ(step.TWork.RowCount(), step.TInvariants.RowCount());
            EXPECT_EQ(step.TWork.RowLabels.size(), step.TWork.RowCount() + 1);
            ASSERT_LT(steps, 100);
        }
        EXPECT_FALSE(step.StepMode);
        EXPECT_EQ(step.TNotFound, calc.TNotFound);
        EXPECT_EQ(step.PNotFound, calc.PNotFound);
        ASSERT_EQ(step.TInvariants.RowCount(), calc.TInvariants.RowCount());
        for (int r = 0; r < calc.TInvariants.RowCount(); ++r)
            EXPECT_EQ(row(step.TInvariants, r), row(calc.TInvariants, r));
        ASSERT_EQ(step.PInvariants.RowCount(), calc.PInvariants.RowCount());
        for (int r = 0; r < calc.PInvariants.RowCount(); ++r)
            EXPECT_EQ(row(step.PInvariants, r), row(calc.PInvariants, r));
        EXPECT_EQ(step.Report(), calc.Report());
        if (HasFailure())
            return;
    }
}

// Memory that runs out at any point of the building or the elimination ends
// it with its message; the matrices stay whole, and nothing is lost that was
// computed before.
TEST(Invariants, RunningOutOfMemoryEndsWithItsMessage)
{
    TNetBuilder b;
    const int n = 40;
    for (int i = 1; i <= n; ++i)
        b.Place(QStringLiteral("p%1").arg(i), i == 1).Trans(QStringLiteral("t%1").arg(i));
    for (int i = 1; i <= n; ++i)
        b.Arc(QStringLiteral("p%1").arg(i), QStringLiteral("t%1").arg(i))
            .Arc(QStringLiteral("t%1").arg(i), QStringLiteral("p%1").arg(i % n + 1));
    TQRVInvariants reference;
    ASSERT_TRUE(reference.BuildIncidence(b.Net));
    reference.Calculate();
    ASSERT_EQ(reference.Report().value(0), "The Net is Bounded, K=1 !");

    int failed = 0;
    for (long long after = 0;; after += 5) {
        TQRVInvariants inv;
        bool built = false;
        bool happened = false;
        {
            TAllocationFailure failure(after);
            built = inv.BuildIncidence(b.Net);
            happened = TAllocationFailure::Happened();
        }
        if (!happened) {
            ASSERT_TRUE(built);
            break;
        }
        // Some allocations may fail and be done without (a sort's buffer).
        if (built) {
            EXPECT_TRUE(inv.Interruptions.isEmpty());
            continue;
        }
        ++failed;
        EXPECT_EQ(inv.Interruptions,
                  QStringList{"There is not enough memory for the incidence matrices of this net."});
    }
    EXPECT_GT(failed, 3);

    failed = 0;
    for (long long after = 0;; after += 3) {
        TQRVInvariants inv;
        ASSERT_TRUE(inv.BuildIncidence(b.Net));
        bool happened = false;
        {
            TAllocationFailure failure(after);
            inv.Calculate();
            happened = TAllocationFailure::Happened();
        }
        if (!happened) {
            EXPECT_EQ(inv.Report(), reference.Report());
            break;
        }
        if (!inv.Interrupted()) {
            EXPECT_EQ(inv.Report(), reference.Report());
            continue;
        }
        ++failed;
        EXPECT_TRUE(inv.Report().join(' ').contains("was stopped: there is not enough memory for it."))
            << inv.Report().join(' ').toStdString();
        for (const T2DMatrix* m : {&inv.PWork, &inv.PInvariants, &inv.TWork, &inv.TInvariants})
            EXPECT_GE(m->RowLabels.size(), m->RowCount() + 1);
        EXPECT_EQ(inv.PWork.RowCount(), inv.PInvariants.RowCount());
        EXPECT_EQ(inv.TWork.RowCount(), inv.TInvariants.RowCount());
    }
    EXPECT_GT(failed, 10);
}

// A ring p_i -> t_i -> p_(i+1), both arcs of stage i weighing w_i (2 on every
// third stage, 1 elsewhere), with names given in a scrambled order: the one
// P-invariant, grown by one place per step, takes places in before and after
// those it holds. Its closed forms: every place once; t_i fired 2 / w_i times.
TEST(Invariants, ALongRingHasOneInvariantOfEachKindInClosedForm)
{
    constexpr int n = 300;
    std::vector<int> label(n);
    for (int i = 0; i < n; ++i)
        label[static_cast<size_t>(i)] = i;
    std::mt19937 rng(20261207);
    std::shuffle(label.begin(), label.end(), rng);
    auto weight = [](int i) { return i % 3 == 0 ? 2.0 : 1.0; };
    TNetStructure net;
    for (int i = 0; i < n; ++i) {
        net.Places.append({QStringLiteral("p%1").arg(label[static_cast<size_t>(i)]), i == 0 ? 1.0 : 0.0});
        net.Transitions << QStringLiteral("t%1").arg(label[static_cast<size_t>(i)]);
    }
    for (int i = 0; i < n; ++i) {
        const QString t = net.Transitions.at(i);
        net.Arcs.append({net.Places.at(i).Name, t, false, lkNormal, weight(i)});
        net.Arcs.append({net.Places.at((i + 1) % n).Name, t, true, lkNormal, weight(i)});
    }
    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(net));
    inv.Calculate();
    ASSERT_FALSE(inv.Interrupted());
    ASSERT_EQ(inv.PInvariants.RowCount(), 1);
    ASSERT_EQ(inv.TInvariants.RowCount(), 1);
    for (int c = 0; c < n; ++c) {
        EXPECT_EQ(inv.PInvariants.Get(0, c), 1.0) << inv.PInvariants.ColLabels.at(c + 1).toStdString();
        const int stage = static_cast<int>(
            std::find(net.Transitions.begin(), net.Transitions.end(),
                      inv.TInvariants.ColLabels.at(c + 1).trimmed()) -
            net.Transitions.begin());
        ASSERT_LT(stage, n);
        EXPECT_EQ(inv.TInvariants.Get(0, c), 2.0 / weight(stage)) << stage;
    }
    expectInvariants(net, inv.PInvariants, true, inv.PNotFound);
    expectInvariants(net, inv.TInvariants, false, inv.TNotFound);
}
