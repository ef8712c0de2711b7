// Reachability engine figures: markings expanded per second, memory per
// marking, the time to write the graph file, the behavioural analysis and
// the removal of unsteady markings.
//
//   quorvane_reach_bench [quick | ring]
//   quorvane_reach_bench kanban [FILE]   Kanban with 1 to 5 cards, from the
//                                        contest's net of 5 cards (targets for
//                                        5 cards: build and graph file in 2.5 s,
//                                        its analysis in 1 s, 810 MB at most)
//   quorvane_reach_bench prepare         the preparation of a build on rings
//                                        of 10,000 and 50,000 places (target
//                                        for 10,000: 0.5 s and 100 MB)
//   quorvane_reach_bench ring-file N FILE  writes the ring of N places as a net file
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

#include "model/class_registry.h"
#include "model/places.h"
#include "netfile/net_file.h"
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

// The peak resident memory of the process since the last reset, in MB.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Kanban with `cards` cards: the contest's net with every marked place holding `cards`.
bool kanban(const QString& file, int cards, TQRVDesigner& net)
{
    const QString error = LoadNetFile(net, file);
    if (!error.isEmpty()) {
        std::printf("%s\n", qPrintable(error));
        return false;
    }
    for (TQRVObject* o : net.ObjectList())
        if (auto* p = qobject_cast<TclsNodeDiscrete*>(o))
            if (p->Tokens() > 0)
                p->SetTokensDirect(cards);
    return true;
}

// Takes every byte and keeps none: the graph file's text without the disk.
class TDiscardDevice : public QIODevice
{
public:
    TDiscardDevice() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override { return len; }
};

double processSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void reportKanban(const QString& file)
{
    std::printf("Times are wall clock; in brackets the processor time of all threads. text MB/s: the\n"
                "graph file's text made without writing it; file MB/s: the file written and synced.\n");
    std::printf("%-6s %9s %9s %14s %10s %7s %8s %9s %9s %14s %7s\n", "cards", "markings", "arcs", "build s",
                "markings/s", "B/mark", "file MB", "text MB/s", "file MB/s", "build+file s", "peak MB");
    for (int cards = 1; cards <= 5; ++cards) {
        TQRVDesigner net;
        if (!kanban(file, cards, net))
            return;
        resetPeak();
        TReachEngine engine;
        engine.SetNet(&net);
        engine.Settings.Limit = 3000000;
        QElapsedTimer timer;
        timer.start();
        double cpu = processSeconds();
        if (!engine.BuildClassical()) {
            std::printf("%-6d build failed\n", cards);
            return;
        }
        const double build = timer.nsecsElapsed() / 1e9, buildCpu = processSeconds() - cpu;
        TDiscardDevice discard;
        timer.restart();
        const bool formatted = engine.WriteGraph(discard);
        const double format = timer.nsecsElapsed() / 1e9;
        QTemporaryDir dir;
        const QString graph = dir.filePath(QStringLiteral("graph.rag"));
        timer.restart();
        cpu = processSeconds();
        const QString error = engine.WriteGraphFile(graph);
        const double write = timer.nsecsElapsed() / 1e9, writeCpu = processSeconds() - cpu;
        const double peak = peakMegabytes();
        const double megabytes = QFileInfo(graph).size() / 1e6;
        const TMarkList& st = *engine.Store();
        std::printf("%-6d %9d %9lld %6.2f (%5.2f) %10.0f %7.1f %8.1f %9.0f %9.0f %6.2f (%5.2f) %7.0f%s%s\n",
                    cards, st.Count(), static_cast<long long>(st.ArcCount()), build, buildCpu,
                    st.Count() / build, double(st.MemoryBytes()) / st.Count(), megabytes,
                    formatted ? megabytes / format : 0.0, megabytes / write, build + write,
                    buildCpu + writeCpu, peak, engine.UsedPackedMarkings() ? "" : " (doubles)",
                    error.isEmpty() ? "" : " WRITE FAILED");
        {
            // The same build writing its file as it goes, as the command line does.
            TReachEngine streamed;
            streamed.SetNet(&net);
            streamed.Settings.Limit = 3000000;
            streamed.GraphFileName = dir.filePath(QStringLiteral("streamed.rag"));
            timer.restart();
            cpu = processSeconds();
            const bool built = streamed.BuildClassical();
            const double both = timer.nsecsElapsed() / 1e9, bothCpu = processSeconds() - cpu;
            const bool same = built && QFileInfo(streamed.GraphFileName).size() == QFileInfo(graph).size();
            std::printf("%-6s build with the file written meanwhile %.2f s (%.2f)%s\n", "", both, bothCpu,
                        same ? "" : " FILE DIFFERS");
        }
        if (cards == 5) {
            timer.restart();
            cpu = processSeconds();
            const TBehaviour b = engine.AnalyseBehaviour();
            std::printf("%-6s behavioural analysis %.2f s (%.2f): %s\n", "", timer.nsecsElapsed() / 1e9,
                        processSeconds() - cpu, qPrintable(b.Lines.join(QStringLiteral("; "))));
        }
    }
}

void reportPreparation()
{
    std::printf("%-8s %10s %10s %10s\n", "places", "net s", "prepare s", "peak MB");
    for (int places : {10000, 50000}) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<TQRVDesigner> net = CycleNet(places);
        const double made = timer.nsecsElapsed() / 1e9;
        resetPeak();
        const double before = peakMegabytes();
        TReachEngine engine;
        engine.SetNet(net.get());
        engine.Settings.Limit = 1;
        timer.restart();
        const bool built = engine.BuildClassical();
        const double prepare = timer.nsecsElapsed() / 1e9;
        std::printf("%-8d %10.2f %10.3f %10.0f%s\n", places, made, prepare, peakMegabytes() - before,
                    built ? "" : " build failed");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    RegisterStandardClasses();
    if (argc > 1 && std::strcmp(argv[1], "kanban") == 0) {
        reportKanban(argc > 2 ? QString::fromLocal8Bit(argv[2])
                              : QStringLiteral(QUORVANE_SHARED_DIR "/testdata/pnml/Kanban-PT-00005.pnml"));
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "prepare") == 0) {
        reportPreparation();
        return 0;
    }
    if (argc > 3 && std::strcmp(argv[1], "ring-file") == 0) {
        const QString error = SaveNetFile(*CycleNet(std::atoi(argv[2])), QString::fromLocal8Bit(argv[3]));
        std::printf("%s\n", error.isEmpty() ? "written" : qPrintable(error));
        return error.isEmpty() ? 0 : 1;
    }
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
