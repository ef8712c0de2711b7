// Markings, the marking store, its index and its texts; CRC-32.
#include <gtest/gtest.h>

#include <QHash>

#include <random>
#include <stdexcept>

#include "reach/crc32.h"
#include "reach/marking.h"
#include "reach/marking_store.h"
#include "reach_test_support.h"

TEST(Crc32, KnownValues)
{
    EXPECT_EQ(Crc32(QByteArray()), 0u);
    EXPECT_EQ(Crc32(QByteArray("a")), 0xE8B7BE43u);
    EXPECT_EQ(Crc32(QByteArray("123456789")), 0xCBF43926u);
    EXPECT_EQ(Crc32(QByteArray("The quick brown fox jumps over the lazy dog")), 0x414FA339u);
    EXPECT_EQ(Crc32(QByteArray("1,0,2")), Crc32("1,0,2", 5));
}

TEST(Mark, PlacesTakeTheOrderOfTheirNumbers)
{
    TMark m;
    ASSERT_TRUE(m.AddPlace("p1", 0, 1));
    ASSERT_TRUE(m.AddPlace("p2", 0, 2));
    ASSERT_TRUE(m.AddPlace("b1", 0.5, 3));
    ASSERT_TRUE(m.AddPlace("p3", 0, 4));
    ASSERT_TRUE(m.AddPlace("p01", 0, 5));     // the same number as p1: after it
    ASSERT_TRUE(m.AddPlace("p123456", 0, 6)); // five characters are read: 12345
    EXPECT_EQ(m.GetPositionsText(), "[p1,p01,p2,p3,b1,p123456]");
    EXPECT_EQ(m.GetValuesText(), "1,5,2,4,3,6");
    EXPECT_EQ(m.Balance(4), 0.5);
    EXPECT_EQ(m.Value(-1), 0.0);
    EXPECT_EQ(m.Value(6), 0.0);
    m.SetValue(6, 9); // ignored
    EXPECT_EQ(m.Count(), 6);
}

TEST(Mark, APlaceNameWithoutNumberIsRefusedWithItsName)
{
    for (const char* name : {"pA", "p", "p1x", "b", "p 1"}) {
        TMark m;
        QString error;
        EXPECT_FALSE(m.AddPlace(name, 0, 0, &error)) << name;
        EXPECT_TRUE(error.contains(QStringLiteral("\"%1\"").arg(name))) << error.toStdString();
        EXPECT_EQ(m.Count(), 0);
    }
}

TEST(Mark, ComparisonAndTexts)
{
    TMark a, b, c;
    a.AddPlace("p1", 0, 1);
    a.AddPlace("p2", 0, 99999);
    b.AddPlace("p7", 0, 1);
    b.AddPlace("p8", 0, 99999);
    c.AddPlace("p1", 0, 1);
    EXPECT_TRUE(a.Equals(&b)); // names are not compared
    EXPECT_FALSE(a.Equals(&c));
    EXPECT_FALSE(a.Equals(nullptr));
    EXPECT_EQ(a.GetValuesText(), "1,w");
    EXPECT_TRUE(a.IsCoveredBy(nullptr));
    EXPECT_TRUE(c.IsCoveredBy(&a));
    EXPECT_FALSE(a.IsCoveredBy(&c)); // c has no second entry: 0
    TMark d;
    d.AddPlace("p1", 0, 0.25);
    d.AddPlace("p2", 0, 1e20);
    d.AddPlace("p3", 0, 100000);
    EXPECT_EQ(d.GetValuesText(), "0.25,1E20,100000");
}

namespace {

TMarkList* twoPlaceStore(TMarkList& store)
{
    store.SetPlaces({"p1", "p2"}, {false, false});
    store.SetTransitions({"t1", "t2", "t3"});
    return &store;
}

} // namespace

TEST(MarkList, LinesTextsAndLabels)
{
    TMarkList store;
    twoPlaceStore(store);
    const double m0[] = {1, 0}, m1[] = {0, 1};
    EXPECT_EQ(store.Add(m0), 0);
    EXPECT_EQ(store.Add(m1, nullptr, 0), 1);
    store.AddEdge(0, 1, 0, 1.0);
    store.AddEdge(0, 1, 1, 0.25);
    EXPECT_EQ(store.GetLine(0, rmFull), "M0 = [1,0] [t1>M1;t2>M1;");
    EXPECT_EQ(store.GetLine(0, rmReduced), "M0 = [1,0] [t1>M1;t2>M1;\\\\1;0.25;");
    EXPECT_EQ(store.GetLine(1, rmFull), "M1 = [0,1] [");
    EXPECT_EQ(store.GetLine(1, rmReduced), "M1 = [0,1] [\\\\");
    EXPECT_EQ(store.GetLinksText(1), "");
    EXPECT_EQ(store.GetPositionsText(), "[p1,p2]");
    EXPECT_EQ(store.Parent(1), 0);
    EXPECT_EQ(store.Mark(1).GetValuesText(), "0,1");
    EXPECT_EQ(store.Mark(1).GetPositionsText(), "[p1,p2]");
    EXPECT_EQ(store.Mark(5).Count(), 0);
    EXPECT_EQ(store.Value(1, 1), 1.0);
    EXPECT_EQ(store.Value(2, 0), 0.0);

    // Arcs come marking by marking.
    const double m2[] = {0, 0};
    store.Add(m2);
    store.AddEdge(2, 0, 2, 1);
    EXPECT_THROW(store.AddEdge(1, 0, 0, 1), std::logic_error);
    EXPECT_EQ(store.ArcCount(1), 0);
    EXPECT_EQ(store.ArcCount(2), 1);

    // Chains of labels read as the names joined by ",".
    const int a = store.ChainLabel(0, 2);
    const int b = store.ChainLabel(a, store.ChainLabel(1, 0));
    EXPECT_EQ(store.LabelText(a), "t1,t3");
    EXPECT_EQ(store.LabelText(b), "t1,t3,t2,t1");
    EXPECT_EQ(store.ChainLabel(0, 2), a);
    EXPECT_EQ(store.LabelTransition(b), 0);

    // Weights keep what their 15-digit text reads back as.
    EXPECT_EQ(store.StoredWeight(1.0 / 3), 0.333333333333333);
    EXPECT_EQ(store.StoredWeight(0.1 + 0.2), 0.3);
    EXPECT_EQ(store.StoredWeight(2.0), 2.0);
}

TEST(MarkList, ContinuousPlacesKeepBalancesAndOpenTransitions)
{
    TMarkList store;
    store.SetPlaces({"p1", "b1"}, {false, true});
    const double v[] = {1, 2.5}, b[] = {-0.5};
    const int m = store.Add(v, b);
    store.SetOpenContinuous(m, "q1,q2");
    EXPECT_EQ(store.ContinuousCount(), 1);
    EXPECT_EQ(store.Balance(m, 0), 0.0);
    EXPECT_EQ(store.Balance(m, 1), -0.5);
    EXPECT_EQ(store.OpenContinuous(m), "q1,q2");
    EXPECT_EQ(store.GetValuesText(m), "1,2.5");
}

TEST(MarkList, TheIndexFindsEveryStoredMarking)
{
    TMarkList store;
    store.SetPlaces({"p1", "p2", "p3"}, {false, false, false});
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> value(0, 60);
    QHash<int, int> seen;
    for (int i = 0; i < 100000; ++i) {
        const int a = value(rng), b = value(rng), c = value(rng);
        const double v[] = {double(a), double(b), double(c)};
        const int found = store.Find(v);
        const int key = (a * 61 + b) * 61 + c;
        if (seen.contains(key)) {
            ASSERT_EQ(found, seen[key]);
        } else {
            ASSERT_EQ(found, -1);
            seen.insert(key, store.Add(v));
        }
    }
    for (int m = 0; m < store.Count(); ++m)
        ASSERT_EQ(store.Find(store.Values(m)), m);
    const double negativeZero[] = {-0.0, 0.0, 0.0};
    EXPECT_EQ(store.Find(negativeZero), seen.value(0, -1));
}

TEST(MarkList, MarkingsWhoseValuesTextsShareACrcAreBothStored)
{
    std::vector<double> x, y;
    ASSERT_TRUE(FindCrcCollision(7, x, y));
    TMarkList store;
    store.SetPlaces({"p1", "p2", "p3", "p4", "p5", "p6", "p7"}, std::vector<bool>(7, false));
    EXPECT_EQ(store.Add(x.data()), 0);
    EXPECT_EQ(store.Find(y.data()), -1);
    EXPECT_EQ(store.Add(y.data()), 1);
    EXPECT_EQ(store.Find(x.data()), 0);
    EXPECT_EQ(store.Find(y.data()), 1);
    EXPECT_NE(store.GetValuesText(0), store.GetValuesText(1));
    EXPECT_EQ(Crc32(store.GetValuesText(0).toLatin1()), Crc32(store.GetValuesText(1).toLatin1()));
}
