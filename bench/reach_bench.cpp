// Reachability engine figures: markings expanded per second, memory per
// marking, the time to write the graph file, the behavioural analysis and
// the removal of unsteady markings.
//
//   quorvane_reach_bench [quick | ring]
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

#include "reach/reach_engine.h"
#include "reach_nets.h"

namespace {

// Processor time of this thread: less disturbed than wall time when other
// programs share the machine.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct TFigures
{
    const char* Name;
    std::shared_ptr<TQRVDesigner> Net;
    bool Reduce = false;
};

void report(const TFigures& f, bool graphFile)
{
    TReachEngine engine;
    engine.SetNet(f.Net.get());
    engine.Settings.Limit = 2147483647;
    engine.Settings.RemoveUnsteady = f.Reduce;
    engine.Settings.PriorityMode = f.Reduce;

    QElapsedTimer timer;
    timer.start();
    const double cpu0 = cpuSeconds();
    if (!engine.BuildClassical()) {
        std::printf("%-28s build failed\n", f.Name);
        return;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const TMarkList& st = *engine.Store();
    const double markings = engine.TotalMarkings();
    const double bytes = double(st.MemoryBytes());
    const double budget =
        8.0 * st.PlaceCount() * st.Count() + 48.0 * st.Count() + 16.0 * double(st.ArcCount());
    const double perMarking =
        (bytes - 8.0 * st.PlaceCount() * st.Count() - 16.0 * double(st.ArcCount())) / st.Count();
    std::printf("%-28s %3d places %9.0f markings %9lld arcs%s\n", f.Name, st.PlaceCount(), markings,
                static_cast<long long>(st.ArcCount()), engine.UsedCompiledNet() ? "" : " (on the live net)");
    std::printf("%-28s build %.2f s (processor %.2f s): %.0f markings/s (%.0f per processor second)\n", "",
                seconds, cpu, markings / seconds, markings / cpu);
    std::printf("%-28s %.1f bytes/marking, %.0f%% of the budget; %.1f bytes per marking besides values and "
                "arcs\n",
                "", bytes / st.Count(), 100.0 * bytes / budget, perMarking);
    if (f.Reduce)
        std::printf("%-28s %d steady markings after removal\n", "", st.Count());
    if (!graphFile)
        return;

    QTemporaryDir dir;
    timer.restart();
    double c = cpuSeconds();
    const QString error = engine.WriteGraphFile(dir.filePath("graph.rag"));
    const double write = timer.nsecsElapsed() / 1e9, writeCpu = cpuSeconds() - c;
    timer.restart();
    c = cpuSeconds();
    const TBehaviour b = engine.AnalyseBehaviour();
    const double analysis = timer.nsecsElapsed() / 1e9, analysisCpu = cpuSeconds() - c;
    std::printf(
        "%-28s graph file %.2f s (processor %.2f s)%s, behavioural analysis %.2f s (processor %.2f s): "
        "%s\n",
        "", write, writeCpu, error.isEmpty() ? "" : " FAILED", analysis, analysisCpu,
        qPrintable(b.Lines.value(0)));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "quick") == 0;
    const bool ring = argc > 1 && std::strcmp(argv[1], "ring") == 0;
    std::vector<TFigures> runs;
    if (ring) {
        runs.push_back({"ring 6 processes, 9 cust.", RingNet(6, 3, 9)});
    } else if (quick) {
        runs.push_back({"ring 6 processes, 5 cust.", RingNet(6, 3, 5)});
        runs.push_back({"philosophers 8", PhilosophersNet(8)});
        runs.push_back({"routing 6 queues, 8 jobs", RoutingNet(6, 8), true});
    } else {
        runs.push_back({"ring 6 processes, 8 cust.", RingNet(6, 3, 8)});
        runs.push_back({"ring 6 processes, 9 cust.", RingNet(6, 3, 9)});
        runs.push_back({"philosophers 5", PhilosophersNet(5)});
        runs.push_back({"philosophers 13", PhilosophersNet(13)});
        runs.push_back({"routing 8 queues, 12 jobs", RoutingNet(8, 12), true});
    }
    for (const TFigures& f : runs)
        report(f, true);
    return 0;
}
