// Formula values: the actual value, names of other elements, the validated
// text write, faults, and the file attributes.
#include <gtest/gtest.h>

#include "formula/formula.h"
#include "formula/parser.h"
#include "model/interfaces.h"
#include "netfile/xml_tree.h"
#include "test_support.h"

namespace {

// A place-like element: TOKENS and COST (its cost formula).
class TTestPlace : public TQRVObject, public IQRVVariables
{
public:
    TTestPlace(TQRVDesigner* designer, const QString& name)
        : TQRVObject(designer), Cost(new TQRVFormula(this))
    {
        SetNameDirect(name);
        designer->InsertObject(this);
    }
    int VariableCount() const override { return 2; }
    QString VariableName(int index) const override { return index == 0 ? "TOKENS" : "COST"; }
    double VariableValueAt(int index) const override
    {
        return index == 0 ? Tokens : (index == 1 ? Cost->Value_Actual() : 0);
    }
    void SizeChanged() override { ++Notified; }

    double Tokens = 0;
    TQRVFormula* Cost;
    int Notified = 0;
};

// A timed-transition-like element: Rate (its rate formula).
class TTestTransition : public TQRVObject, public IQRVVariables
{
public:
    TTestTransition(TQRVDesigner* designer, const QString& name)
        : TQRVObject(designer), Rate(new TQRVFormula(this))
    {
        SetNameDirect(name);
        designer->InsertObject(this);
    }
    int VariableCount() const override { return 1; }
    QString VariableName(int) const override { return "Rate"; }
    double VariableValueAt(int index) const override { return index == 0 ? Rate->Value_Actual() : 0; }

    TQRVFormula* Rate;
};

// An element without variables.
class TTestArc : public TQRVObject
{
public:
    TTestArc(TQRVDesigner* designer, const QString& name) : TQRVObject(designer)
    {
        SetNameDirect(name);
        designer->InsertObject(this);
    }
};

QString failure(const TQRVFormula& f)
{
    double v = 0;
    QString message;
    if (f.TryValue(v, &message))
        return QStringLiteral("value %1").arg(v);
    return message;
}

} // namespace

TEST(Formula, FreshFormulaGivesItsReferenceValue)
{
    TTestDesigner d;
    TQRVFormula f(nullptr, &d);
    EXPECT_EQ(f.Formula(), "RefV");
    EXPECT_EQ(f.Kind(), fkReal);
    EXPECT_EQ(f.Value_Actual(), 0);
    f.SetValue_Reference(2.7);
    EXPECT_EQ(f.Value_Actual(), 2.7);
    f.SetKind(fkInteger);
    EXPECT_EQ(f.Value_Actual(), 2);
    EXPECT_TRUE(d.Errors.isEmpty());
}

TEST(Formula, ActualValueIsNeverNegativeAndFollowsTheKind)
{
    TTestDesigner d;
    TQRVFormula f(nullptr, &d);
    f.SetFormula("-3");
    EXPECT_EQ(f.Evaluate(), -3);
    EXPECT_EQ(f.Value_Actual(), 0);
    EXPECT_FALSE(std::signbit(f.Value_Actual()));
    f.SetFormula("2 - 5");
    EXPECT_EQ(f.Value_Actual(), 0);
    f.SetFormula("-0");
    EXPECT_FALSE(std::signbit(f.Value_Actual()));

    f.SetFormula("2.9");
    f.SetKind(fkInteger);
    EXPECT_EQ(f.Value_Actual(), 2);
    f.SetKind(fkBoolean);
    f.SetFormula("0.1");
    EXPECT_EQ(f.Value_Actual(), 1);
    f.SetFormula("0");
    EXPECT_EQ(f.Value_Actual(), 0);
    f.SetKind(fkReal);
    // Extended precision inside, rounded to a 64-bit float at the end.
    f.SetFormula("0.1");
    EXPECT_EQ(f.Evaluate(), 0.1L);
    EXPECT_EQ(f.Value_Actual(), 0.1);
    EXPECT_TRUE(d.Errors.isEmpty());
}

TEST(Formula, ReadsVariablesOfNamedElements)
{
    TTestDesigner d;
    auto* p1 = new TTestPlace(&d, "P1");
    auto* t1 = new TTestTransition(&d, "t1");
    new TTestArc(&d, "L1");
    p1->Tokens = 4;
    p1->Cost->SetFormula("1.5");
    t1->Rate->SetFormula("p1_tokens * 2");

    TQRVFormula f(nullptr, &d);
    f.SetFormula("MAX(P1_TOKENS, 2) * p1_cost + T1_RATE / 4");
    EXPECT_EQ(f.Value_Actual(), 4 * 1.5 + 8 / 4.0);
    EXPECT_EQ(f.Parser().Evaluate(), f.Evaluate()); // the parser's own callback agrees
    p1->Tokens = 6;                                 // values are read at every evaluation
    EXPECT_EQ(f.Value_Actual(), 6 * 1.5 + 12 / 4.0);
    f.SetValue_Reference(10);
    f.SetFormula("RefV + refv");
    EXPECT_EQ(f.Value_Actual(), 20);

    for (const char* text : {"T1_X", "NOPE", "Q9_TOKENS", "L1_TOKENS", "_TOKENS", "P1_", "P1_TOKENS_"}) {
        TQRVFormula g(nullptr, &d);
        EXPECT_EQ(g.TrySetFormula(text), "Unknown Variable") << text;
    }
    TQRVFormula detached(nullptr);
    EXPECT_EQ(detached.TrySetFormula("P1_TOKENS"), "Unknown Variable");
}

TEST(Formula, RenamingOrDeletingAnElementIsSeenByTheNextEvaluation)
{
    TTestDesigner d;
    auto* p1 = new TTestPlace(&d, "p1");
    p1->Tokens = 3;
    TQRVFormula f(nullptr, &d);
    f.SetFormula("P1_TOKENS + 1");
    EXPECT_EQ(f.Value_Actual(), 4);

    p1->SetName("p9");
    EXPECT_EQ(failure(f), "Unknown Variable");
    TQRVFormula g(nullptr, &d);
    g.SetFormula("P9_TOKENS");
    EXPECT_EQ(g.Value_Actual(), 3);
    p1->SetName("P1");
    EXPECT_EQ(f.Value_Actual(), 4);
    EXPECT_EQ(failure(g), "Unknown Variable");

    d.DestroyObject(p1);
    EXPECT_EQ(failure(f), "Unknown Variable");
    auto* other = new TTestPlace(&d, "p1");
    other->Tokens = 10;
    EXPECT_EQ(f.Value_Actual(), 11);
    d.ClearNet();
    EXPECT_EQ(failure(f), "Unknown Variable");
}

TEST(Formula, FollowsTheNetItsOwnerBelongsTo)
{
    TTestDesigner a;
    TTestDesigner b;
    auto* pa = new TTestPlace(&a, "p1");
    pa->Tokens = 1;
    auto* pb = new TTestPlace(&b, "p2");
    pb->Tokens = 2;
    auto* holder = new TTestPlace(&a, "p3");
    // Read from a file: the names are not checked yet.
    holder->IncludeState(osLoading);
    holder->Cost->SetFormula("P1_TOKENS + P2_TOKENS");
    holder->ExcludeState(osLoading);
    EXPECT_EQ(failure(*holder->Cost), "Unknown Variable");
    EXPECT_EQ(holder->Cost->Designer(), &a);

    // p1 and the holder join p2's net: now every name resolves there.
    b.TakeObjectsFrom(a);
    EXPECT_EQ(holder->Cost->Designer(), &b);
    EXPECT_EQ(holder->Cost->Value_Actual(), 3);
}

TEST(Formula, InvalidTextIsReportedAndThePreviousTextStays)
{
    TTestDesigner d;
    auto* p1 = new TTestPlace(&d, "p1");
    TQRVFormula* f = p1->Cost;
    f->SetFormula("2 * 3");
    EXPECT_EQ(p1->Notified, 1);
    EXPECT_EQ(f->Value_Actual(), 6);

    f->SetFormula("2 *");
    EXPECT_EQ(d.Errors, QStringList{"Syntax Error"});
    EXPECT_EQ(f->Formula(), "2 * 3");
    EXPECT_EQ(f->Value_Actual(), 6);
    EXPECT_EQ(p1->Notified, 1);

    EXPECT_EQ(f->TrySetFormula("1/0"), "Division by Zero");
    EXPECT_EQ(f->TrySetFormula("(1"), "Bracketing Error");
    EXPECT_EQ(f->Formula(), "2 * 3");
    EXPECT_EQ(d.Errors.size(), 1);
}

TEST(Formula, TextsOfALoadingOwnerAreTakenUnchecked)
{
    TTestDesigner d;
    auto* p1 = new TTestPlace(&d, "p1");
    p1->IncludeState(osLoading);
    p1->Cost->SetFormula("P2_TOKENS * 2");
    EXPECT_EQ(p1->Cost->Formula(), "P2_TOKENS * 2");
    EXPECT_EQ(p1->Notified, 0);
    p1->Cost->SetFormula("(");
    EXPECT_EQ(p1->Cost->Formula(), "(");
    p1->ExcludeState(osLoading);
    EXPECT_TRUE(d.Errors.isEmpty());
    EXPECT_EQ(failure(*p1->Cost), "Bracketing Error");
}

TEST(Formula, FloatingPointFaultsFailLikeParserErrors)
{
    TTestDesigner d;
    TQRVFormula f(nullptr, &d);
    f.SetFormula("10 ^ 4000 * 10 ^ 4000");
    EXPECT_EQ(d.Errors, QStringList{"Floating-point overflow"});
    EXPECT_EQ(f.Formula(), "RefV");
    EXPECT_EQ(f.TrySetFormula("(-8) ^ (1/3)"), "Invalid floating-point operation");
    EXPECT_EQ(f.TrySetFormula("0 ^ -2"), "Floating-point division by zero");
    // Fine in extended precision, but no 64-bit float can hold it.
    EXPECT_EQ(f.TrySetFormula("1E399"), "Floating-point overflow");
    EXPECT_EQ(f.TrySetFormula("1E399 / 1E390"), "");
    EXPECT_EQ(f.Value_Actual(), 1e9);

    auto* p1 = new TTestPlace(&d, "p1");
    p1->Tokens = 1e300;
    f.SetFormula("P1_TOKENS");
    p1->Tokens = std::numeric_limits<double>::infinity();
    EXPECT_EQ(failure(f), "Floating-point overflow");
    p1->Tokens = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(failure(f), "Invalid floating-point operation");
}

TEST(Formula, ACircularReferenceFailsInsteadOfRecursing)
{
    TTestDesigner d;
    auto* t1 = new TTestTransition(&d, "t1");
    auto* t2 = new TTestTransition(&d, "t2");
    t1->Rate->SetFormula("T1_RATE + 1");
    EXPECT_EQ(d.Errors, QStringList{"Circular reference"});
    EXPECT_EQ(t1->Rate->Formula(), "RefV");

    t1->Rate->SetFormula("T2_RATE * 2");
    t2->Rate->SetValue_Reference(3);
    EXPECT_EQ(t1->Rate->Value_Actual(), 6);
    EXPECT_EQ(t2->Rate->TrySetFormula("T1_RATE"), "Circular reference");
    EXPECT_EQ(t1->Rate->Value_Actual(), 6);

    // A cycle made while loading fails at evaluation, and evaluation recovers.
    t2->IncludeState(osLoading);
    t2->Rate->SetFormula("T1_RATE");
    t2->ExcludeState(osLoading);
    EXPECT_EQ(failure(*t1->Rate), "Circular reference");
    t2->Rate->SetFormula("4");
    EXPECT_EQ(t1->Rate->Value_Actual(), 8);
}

TEST(Formula, ALongChainOfFormulasFailsInsteadOfExhaustingTheStack)
{
    TTestDesigner d;
    // c1 reads c2's cost, which reads c3's, ... down to the last one.
    const int n = TQRVFormula::MaxReferenceDepth;
    std::vector<TTestPlace*> chain;
    for (int i = 1; i <= n; ++i)
        chain.push_back(new TTestPlace(&d, QStringLiteral("c%1").arg(i)));
    chain.back()->Cost->SetFormula("1");
    for (int i = n - 1; i >= 1; --i)
        ASSERT_EQ(
            chain[static_cast<size_t>(i - 1)]->Cost->TrySetFormula(QStringLiteral("C%1_COST + 1").arg(i + 1)),
            "")
            << i;
    EXPECT_EQ(chain.front()->Cost->Value_Actual(), n);

    // One more link is refused where it is set...
    auto* head = new TTestPlace(&d, "c0");
    EXPECT_EQ(head->Cost->TrySetFormula("C1_COST"), "Formulas refer to each other too deeply");
    EXPECT_EQ(head->Cost->Formula(), "RefV");
    // ...and fails, like any other error, when a file made it unchecked.
    head->IncludeState(osLoading);
    head->Cost->SetFormula("C1_COST");
    head->ExcludeState(osLoading);
    EXPECT_EQ(failure(*head->Cost), "Formulas refer to each other too deeply");
    // Far longer chains fail the same way.
    TTestPlace* last = head;
    for (int i = 0; i < 50 * n; ++i) {
        auto* p = new TTestPlace(&d, QStringLiteral("x%1").arg(i));
        p->IncludeState(osLoading);
        p->Cost->SetFormula(last->Name() + "_COST");
        p->ExcludeState(osLoading);
        last = p;
    }
    EXPECT_EQ(failure(*last->Cost), "Formulas refer to each other too deeply");
    // The chains that fit are still read.
    EXPECT_EQ(chain.front()->Cost->Value_Actual(), n);
    EXPECT_TRUE(d.Errors.isEmpty());
}

TEST(Formula, AssignCopiesOnlyTheText)
{
    TTestDesigner d;
    auto* p1 = new TTestPlace(&d, "p1");
    TQRVFormula source(nullptr, &d);
    source.SetFormula("1 + 2");
    source.SetValue_Reference(5);
    source.SetKind(fkInteger);
    p1->Cost->Assign(source);
    EXPECT_EQ(p1->Cost->Formula(), "1 + 2");
    EXPECT_EQ(p1->Cost->Value_Reference(), 0);
    EXPECT_EQ(p1->Cost->Kind(), fkReal);
    EXPECT_EQ(p1->Notified, 2); // the accepted text, then the assignment

    source.Parser().SetExpression(QString());
    p1->Cost->Assign(source);
    EXPECT_EQ(p1->Cost->Formula(), "1 + 2");
    EXPECT_EQ(p1->Notified, 3);
}

TEST(Formula, IsStaticWhenNoElementVariableIsNamed)
{
    TTestDesigner d;
    new TTestPlace(&d, "p1");
    TQRVFormula f(nullptr, &d);
    EXPECT_TRUE(f.IsStatic());
    for (const char* text : {"RefV * 2 + SIN(PI)", "MAX(1, 2, E)", "1/0 + P1_TOKENS"}) {
        f.Parser().SetExpression(text);
        EXPECT_TRUE(f.IsStatic()) << text;
    }
    for (const char* text : {"P1_TOKENS", "MAX(1, p1_tokens)", "RefV + P2_TOKENS + *"}) {
        f.Parser().SetExpression(text);
        EXPECT_FALSE(f.IsStatic()) << text;
    }
}

TEST(FormulaFile, WritesAndReadsTheAttributes)
{
    TTestDesigner d;
    TQRVFormula f(nullptr, &d);
    f.SetFormula("2*3 < 7");
    f.SetValue_Reference(0.25);
    TqibXMLNode saved("weight");
    f.SaveToXml(saved);
    ASSERT_EQ(saved.Attributes().size(), 3);
    EXPECT_EQ(saved.Attributes()[0].Name, "formula");
    EXPECT_EQ(saved.Attributes()[0].Value, "2%2A3%20%3C%207");
    EXPECT_EQ(saved.Attributes()[1].Name, "Value_Reference");
    EXPECT_EQ(saved.Attributes()[1].Value, "0.25");
    EXPECT_EQ(saved.Attributes()[2].Name, "Value_Actual");
    EXPECT_EQ(saved.Attributes()[2].Value, "1");

    TQRVFormula g(nullptr, &d);
    g.LoadFromXml(saved);
    EXPECT_EQ(g.Formula(), "2*3 < 7");
    EXPECT_EQ(g.Value_Reference(), 0.25);

    // A text that cannot be evaluated now keeps its text; the value beside it
    // is the reference value. Reading it back restores the text.
    auto* p1 = new TTestPlace(&d, "p1");
    f.SetFormula("P1_TOKENS");
    d.DestroyObject(p1);
    TqibXMLNode fallback("weight");
    f.SaveToXml(fallback);
    EXPECT_EQ(fallback.GetAttribute("formula")->Value, "P1_TOKENS");
    EXPECT_EQ(fallback.GetAttribute("Value_Reference")->Value, "0.25");
    EXPECT_EQ(fallback.GetAttribute("Value_Actual")->Value, "0.25");
    EXPECT_TRUE(d.Errors.isEmpty());

    // A malformed number is the caller's to report.
    TqibXMLNode bad("weight");
    bad.AddAttribute("Value_Reference", "x1");
    EXPECT_THROW(g.LoadFromXml(bad), TConvertError);
}

TEST(FormulaFile, PercentEncodingRoundTripsEveryCharacter)
{
    QString all;
    for (int code = 1; code <= 255; ++code) {
        const QString one(QChar(static_cast<char16_t>(code)));
        all += one;
        EXPECT_EQ(TQRVFormula::DecodeText(TQRVFormula::EncodeText(one)), one) << code;
        EXPECT_EQ(TQRVFormula::DecodeText(TQRVFormula::EncodeText("a" + one + "%b")), "a" + one + "%b")
            << code;
    }
    const QString encoded = TQRVFormula::EncodeText(all);
    EXPECT_EQ(TQRVFormula::DecodeText(encoded), all);
    // Nothing in the encoded text can end an attribute or be changed by the reader.
    for (QChar c : encoded) {
        EXPECT_GT(c.unicode(), 32);
        EXPECT_LT(c.unicode(), 128);
        EXPECT_FALSE(c == '"' || c == '<' || c == '>');
    }
    EXPECT_EQ(TQRVFormula::EncodeText("A*2 < B"), "A%2A2%20%3C%20B");
    EXPECT_EQ(TQRVFormula::EncodeText(QString::fromUtf8("\u00e9\u20ac")), QString::fromUtf8("%E9\u20ac"));

    // A formula text holding any of these survives a whole file.
    TTestDesigner d;
    TQRVFormula f(nullptr, &d);
    const QString text = QString::fromUtf8("1, \"q\" <b> \t x\u20ac #%");
    ASSERT_EQ(f.TrySetFormula(text), ""); // the text after "," is not read
    TqibXMLTree tree;
    f.SaveToXml(*tree.AddNode("formula"));
    TqibXMLTree read;
    read.SetText(tree.Text());
    ASSERT_EQ(read.Nodes().size(), 1);
    TQRVFormula g(nullptr, &d);
    g.LoadFromXml(*read.Nodes().first());
    EXPECT_EQ(g.Formula(), text);
}

TEST(FormulaFile, DecodingDropsEscapesThatGiveNoCharacter)
{
    EXPECT_EQ(TQRVFormula::DecodeText("%41%2a"), "A*");
    EXPECT_EQ(TQRVFormula::DecodeText("1%002"), "12");
    EXPECT_EQ(TQRVFormula::DecodeText("1%ZZ2"), "12");
    EXPECT_EQ(TQRVFormula::DecodeText("1%+12"), "12");
    EXPECT_EQ(TQRVFormula::DecodeText("50%"), "50%");
    EXPECT_EQ(TQRVFormula::DecodeText("5%4"), "5%4");
}
