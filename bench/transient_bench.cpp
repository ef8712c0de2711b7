// Transient analysis of the Kanban net: the throughput of tin4 and the mean
// tokens of the four free-card places at 11 time points from 0 to 100, with
// the precision index the left-out Poisson mass asks for (target for N = 4,
// 454,475 markings: under 10 s for the sweep, memory within the sparse
// matrix and one vector per time point).
//   quorvane_transient_bench [N] [K]   (K: a fixed precision index instead)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "kanban_net.h"
#include "performance/transient_engine.h"
#include "reach/reach_engine.h"

namespace {

long residentMegabytes(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<int>(std::strlen(field))).trimmed().split(' ').value(0).toLong() /
                   1024;
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int cards = argc > 1 ? std::atoi(argv[1]) : 4;
    const int fixed = argc > 2 ? std::atoi(argv[2]) : 0;
    QElapsedTimer clock;
    clock.start();
    auto net = KanbanNet(cards);
    TTransEngine engine(net.get());
    {
        TReachEngine reach;
        reach.SetNet(net.get());
        reach.Settings.Limit = 100000000;
        reach.BuildClassical();
        std::printf("reach: %d markings, %lld arcs, %lld ms\n", reach.Store()->Count(),
                    static_cast<long long>(reach.Store()->ArcCount()),
                    static_cast<long long>(clock.restart()));
        if (!engine.LoadGraph(*reach.Store(), false)) {
            std::printf("graph refused: %s\n", qPrintable(engine.LastError));
            return 1;
        }
    }
    std::printf("graph: %lld ms, %zu MB; resident %ld MB\n", static_cast<long long>(clock.restart()),
                engine.Markings.MemoryBytes() >> 20, residentMegabytes("VmRSS:"));
    engine.AddItems(QStringLiteral("Average operation rate of "), QStringLiteral("tin4"));
    for (const char* p : {"p1", "p5", "p9", "p13"})
        engine.AddItems(QStringLiteral("Average tokens count in "), QString::fromLatin1(p));
    engine.AutomaticPowers = fixed <= 0;
    engine.PowerCount = fixed;
    TSweepArgument time;
    time.Text = QStringLiteral("Time");
    time.Count = 11;
    time.Initial = 0;
    time.Step = 10;
    const std::clock_t cpu = std::clock();
    const TSweepOutcome out = engine.RunTransientSweep(time, TSweepArgument());
    const qint64 sweepMs = clock.restart();
    const double sweepCpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    if (out.Kind != TSweepOutcome::Completed) {
        std::printf("sweep failed: %s\n", qPrintable(out.Message));
        return 1;
    }
    const double n = engine.MarkingCount();
    std::printf("sweep: %lld ms (%.0f ms of processor time); uniformisation rate %.6g, precision index %d, "
                "powers formed %d\n",
                static_cast<long long>(sweepMs), sweepCpuMs, engine.UniformRate, engine.PowersUsed,
                engine.PowersFormed);
    std::printf(
        "memory of the sums: %.0f MB (11 vectors and 3 of work) against %.0f MB for %d power vectors\n",
        n * 8 * 14 / 1048576.0, n * 8 * (engine.PowersUsed + 1) / 1048576.0, engine.PowersUsed + 1);
    std::printf("peak resident %ld MB\n", residentMegabytes("VmHWM:"));
    for (const QString& w : std::as_const(engine.Warnings))
        std::printf("warning: %s\n", qPrintable(w));
    for (int i = 0; i < engine.Arg1Count; ++i) {
        std::printf("t = %5.1f", engine.Arg1Values[static_cast<std::size_t>(i)]);
        for (int e = 0; e < engine.Items.size(); ++e)
            std::printf("  %.10f", engine.Result(i, 0, e));
        std::printf("\n");
    }
    return 0;
}
