// The stochastic simulator on the Kanban net with N cards (the net of
// Kanban-PT-00005.pnml with its four free-card places at N and the rates of
// the steady-state benchmark): firings per second of the compiled net alone
// and of a whole estimation, and heap allocations in the firing loop (target:
// 2,000,000 firings per second on one core, no allocation). Also the steps
// per second of the deterministic engine on the live net.
//
//   quorvane_simulation_bench [N] [FIRINGS]     (defaults 5 and 20000000)
#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

#include "allocation_counter.h"
#include "formula/formula.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/name_label.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "simulation/sim_engine.h"
#include "simulation/stochastic_estimator.h"
#include "simulation/stochastic_net.h"

namespace {

// The element whose name label reads `text` (the PNML name).
TQRVObject* byLabel(TQRVDesigner& d, const QString& text)
{
    for (TQRVObject* o : d.ObjectList())
        if (auto* node = qobject_cast<TQRVNode*>(o))
            if (auto* label = qobject_cast<TclsText*>(NameLabel::Find(*node)); label && label->Text() == text)
                return node;
    return nullptr;
}

bool buildKanban(TQRVDesigner& d, int n)
{
    const QString file = QStringLiteral(QUORVANE_SHARED_DIR "/testdata/pnml/Kanban-PT-00005.pnml");
    const QString error = LoadNetFile(d, file);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    for (const char* p : {"P1", "P2", "P3", "P4"})
        static_cast<TclsNodeDiscrete*>(byLabel(d, QString::fromLatin1(p)))->SetTokensDirect(n);
    const struct
    {
        const char* Name;
        const char* Rate;
    } rates[] = {{"tin4", "1.0"},       {"tredo4", "0.36"}, {"tok4", "0.84"},   {"tsynch4_23", "0.4"},
                 {"tredo2", "0.42"},    {"tok2", "0.98"},   {"tredo3", "0.39"}, {"tok3", "0.91"},
                 {"tsynch1_23", "0.5"}, {"tredo1", "0.33"}, {"tok1", "0.77"},   {"tout1", "0.9"},
                 {"tback1", "0.3"},     {"tback2", "0.3"},  {"tback3", "0.3"},  {"tback4", "0.3"}};
    for (const auto& r : rates) {
        auto* t = qobject_cast<TclsTransTimed*>(byLabel(d, QString::fromLatin1(r.Name)));
        if (!t) {
            std::fprintf(stderr, "no timed transition %s\n", r.Name);
            return false;
        }
        t->Rate()->SetFormula(QString::fromLatin1(r.Rate));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    RegisterStandardClasses();
    const int n = argc > 1 ? std::atoi(argv[1]) : 5;
    const long firings = argc > 2 ? std::atol(argv[2]) : 20000000L;

    TQRVDesigner net;
    if (!buildKanban(net, n))
        return 1;
    std::printf("Kanban N=%d: %d objects\n", n, net.ObjectCount());

    // The compiled net alone: the firing loop.
    TStochasticNet compiled;
    QString why;
    if (!compiled.Compile(net, &why)) {
        std::printf("not compiled: %s\n", qPrintable(why));
        return 1;
    }
    TSimRandom random(1);
    compiled.Reset(random);
    double time = 0;
    QElapsedTimer clock;
    clock.start();
    g_counting = true;
    for (long i = 0; i < firings; ++i) {
        time += compiled.Delay();
        compiled.Advance();
    }
    g_counting = false;
    double seconds = clock.nsecsElapsed() / 1e9;
    std::printf(
        "firing loop: %ld firings in %.3f s: %.0f firings per second, %ld allocations, model time %.0f\n",
        firings, seconds, firings / seconds, g_allocations, time);

    // A whole estimation: tokens of every place, rate of every transition.
    TStochasticEstimator estimator(net);
    estimator.AddDefaultMeasures();
    TEstimateSettings settings;
    settings.Firings = firings;
    settings.Warmup = 100;
    clock.restart();
    g_allocations = 0;
    const QString error = estimator.Run(settings);
    seconds = clock.nsecsElapsed() / 1e9;
    if (!error.isEmpty()) {
        std::printf("%s\n", qPrintable(error));
        return 1;
    }
    std::printf("estimation: %lld firings in %.3f s: %.0f firings per second, %d measures, %d batches\n",
                static_cast<long long>(estimator.Firings()), seconds, estimator.Firings() / seconds,
                static_cast<int>(estimator.Results().size()), estimator.Results().front().Samples);
    const QString tin4 = byLabel(net, QStringLiteral("tin4"))->Name();
    for (const TSimEstimate& e : estimator.Results())
        if (e.Description == QStringLiteral("Average operation rate of ") + tin4)
            std::printf("throughput of tin4: %.6f +- %.6f\n", e.Mean, e.HalfWidth);

    // The deterministic engine on the live net.
    TSimEngine engine(net, 1);
    engine.Open();
    const int steps = 200000;
    clock.restart();
    for (int i = 0; i < steps; ++i)
        engine.Step();
    seconds = clock.nsecsElapsed() / 1e9;
    std::printf("deterministic engine: %d steps in %.3f s: %.0f steps per second\n", steps, seconds,
                steps / seconds);
    engine.PutInitialMarking();
    return 0;
}
