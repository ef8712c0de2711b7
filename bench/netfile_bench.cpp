// Writing and reading a net file of 10,000 elements (target: each under 0.2 s),
// the large net of large_net.h.
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <clocale>

#include "large_net.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "netfile/net_file.h"
#include "netfile/pnml.h"

namespace {

struct TBenchNet
{
    TBenchNet()
    {
        BuildLargeNet(Net);
        FileName = Dir.filePath(QStringLiteral("large.pn2"));
        SaveNetFile(Net, FileName);
        PnmlName = Dir.filePath(QStringLiteral("large.pnml"));
        SaveNetFile(Net, PnmlName);
    }
    TQRVDesigner Net;
    QTemporaryDir Dir;
    QString FileName;
    QString PnmlName;
};

TBenchNet& net()
{
    static TBenchNet n;
    return n;
}

void WriteNetFile(benchmark::State& state)
{
    TBenchNet& n = net();
    const QString target = n.Dir.filePath(QStringLiteral("written.pn2"));
    for (auto _ : state) {
        const QString error = SaveNetFile(n.Net, target);
        if (!error.isEmpty())
            state.SkipWithError("the net cannot be written");
    }
    state.counters["elements"] = n.Net.ObjectCount();
    state.counters["bytes"] = static_cast<double>(QFile(target).size());
}

void ReadNetFile(benchmark::State& state)
{
    TBenchNet& n = net();
    for (auto _ : state) {
        // Reading replaces the net that is open: here an empty one. Freeing
        // the net read is not part of reading.
        auto* d = new TQRVDesigner;
        const QString error = LoadNetFile(*d, n.FileName);
        if (!error.isEmpty() || d->ObjectCount() != n.Net.ObjectCount())
            state.SkipWithError("the net cannot be read");
        state.PauseTiming();
        delete d;
        state.ResumeTiming();
    }
    state.counters["elements"] = n.Net.ObjectCount();
}

void WritePnml(benchmark::State& state)
{
    TBenchNet& n = net();
    const QString target = n.Dir.filePath(QStringLiteral("written.pnml"));
    for (auto _ : state)
        if (!SaveNetFile(n.Net, target).isEmpty())
            state.SkipWithError("the net cannot be written");
}

void ReadPnml(benchmark::State& state)
{
    TBenchNet& n = net();
    for (auto _ : state) {
        auto* d = new TQRVDesigner;
        if (!LoadNetFile(*d, n.PnmlName).isEmpty() || d->ObjectCount() != n.Net.ObjectCount())
            state.SkipWithError("the net cannot be read");
        state.PauseTiming();
        delete d;
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(WriteNetFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReadNetFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(WritePnml)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReadPnml)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setlocale(LC_NUMERIC, "C");
    QGuiApplication app(argc, argv);
    RegisterStandardClasses();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
