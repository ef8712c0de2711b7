// Writing and reading a net file of 10,000 elements (target: each under 0.2 s).
// The net: 2,000 places with their name labels, 2,000 timed transitions and
// 4,000 arcs, in a grid, as a user's large model would be.
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <clocale>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/name_label.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "netfile/pnml.h"

namespace {

constexpr int kPlaces = 2000;

template <class T> T* addNode(TQRVDesigner& d, double x, double y)
{
    auto* node = new T(&d);
    node->SetNameDirect(d.UniqueName(node->GetNamePrefix()));
    node->SetBoundsDirect(x, y, node->Width(), node->Height());
    d.InsertObject(node);
    return node;
}

void addArc(TQRVDesigner& d, TQRVObject* from, TQRVObject* to)
{
    auto* arc = new TclsLinkNormal(&d);
    arc->SetNameDirect(QStringLiteral("L%1").arg(d.ObjectCount()));
    d.InsertObject(arc);
    arc->SetSource(from);
    arc->SetDest(to);
}

struct TBenchNet
{
    TBenchNet()
    {
        QList<TclsNodeDiscrete*> places;
        QList<TclsTransTimed*> transitions;
        for (int i = 0; i < kPlaces; ++i) {
            const double x = 100 * (i % 50), y = 120 * (i / 50);
            auto* p = addNode<TclsNodeDiscrete>(Net, x, y);
            p->SetTokensDirect(i % 3);
            auto* label = new TclsText(&Net);
            label->SetNameDirect(NameLabel::LabelName(*p));
            label->SetTextDirect(QStringLiteral("place %1").arg(i + 1));
            label->SetBoundsDirect(x + 40, y, 50, 15);
            Net.InsertObject(label);
            places << p;
            auto* t = addNode<TclsTransTimed>(Net, x + 50, y + 60);
            t->Rate()->SetValue_Reference(1 + i % 7);
            transitions << t;
        }
        for (int i = 0; i < kPlaces; ++i) {
            addArc(Net, places[i], transitions[i]);
            addArc(Net, transitions[i], places[(i + 1) % kPlaces]);
        }
        Net.MarkAllDirty();
        Net.Update();
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
