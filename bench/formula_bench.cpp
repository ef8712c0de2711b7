// Evaluations per second of formulas, through Value_Actual as every caller
// reads them: the reference value alone, a constant expression, and a
// formula that reads three elements of a small net.
#include <benchmark/benchmark.h>

#include "formula/formula.h"
#include "formula/parser.h"
#include "model/designer.h"
#include "model/interfaces.h"

namespace {

// A small element publishing one variable; the "transition" reads its own
// rate formula as a timed transition does.
class TBenchElement : public TQRVObject, public IQRVVariables
{
public:
    TBenchElement(TQRVDesigner* designer, const QString& name, const QString& variable, double value)
        : TQRVObject(designer), m_variable(variable), m_value(value)
    {
        SetNameDirect(name);
        designer->InsertObject(this);
    }
    int VariableCount() const override { return 1; }
    QString VariableName(int) const override { return m_variable; }
    double VariableValueAt(int) const override { return Rate ? Rate->Value_Actual() : m_value; }
    TQRVFormula* Rate = nullptr;

private:
    QString m_variable;
    double m_value;
};

struct TBenchNet
{
    TBenchNet()
    {
        new TBenchElement(&Designer, "p1", "TOKENS", 3);
        new TBenchElement(&Designer, "p2", "TOKENS", 5);
        auto* t1 = new TBenchElement(&Designer, "t1", "Rate", 0);
        t1->Rate = new TQRVFormula(t1);
        t1->Rate->SetValue_Reference(2);
    }
    TQRVDesigner Designer;
};

void evaluate(benchmark::State& state, const QString& text)
{
    TBenchNet net;
    TQRVFormula formula(nullptr, &net.Designer);
    formula.SetValue_Reference(1.5);
    if (!formula.TrySetFormula(text).isEmpty()) {
        state.SkipWithError("the formula fails");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(formula.Value_Actual());
    state.SetItemsProcessed(state.iterations());
}

void BM_RefV(benchmark::State& state)
{
    evaluate(state, "RefV");
}
BENCHMARK(BM_RefV);

void BM_ConstantExpression(benchmark::State& state)
{
    evaluate(state, "2 * (3 + 4) / 7 - SIN(PI / 2) + SQRT(16)");
}
BENCHMARK(BM_ConstantExpression);

void BM_NetFormula(benchmark::State& state)
{
    evaluate(state, "MAX(P1_TOKENS, 2) * P2_TOKENS + T1_RATE / 4");
}
BENCHMARK(BM_NetFormula);

void BM_CompileNetFormula(benchmark::State& state)
{
    const QString text = "MAX(P1_TOKENS, 2) * P2_TOKENS + T1_RATE / 4";
    for (auto _ : state)
        benchmark::DoNotOptimize(TRxMathParser::Compile(text));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompileNetFormula);

} // namespace

BENCHMARK_MAIN();
