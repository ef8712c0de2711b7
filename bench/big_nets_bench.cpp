// Big nets stay linear: rings of 10,000 and 50,000 places (a place and a
// transition per stage, two arcs between stages) are written, read, drawn and
// analysed for their invariants; the net with 100,000 far-flung bend points
// (when the shared test data is there) is read and drawn. Each measurement
// runs in a process of its own, so that its peak memory is its own.
// Targets: a net file up to 10 MB reads in under 2 s and draws in under 1 s;
// a ring of 50,000 places reads and writes in about 1 s each; the preparation
// of a reachability graph (a build stopped at its first marking) of the ring
// of 10,000 takes under 0.5 s and 100 MB.
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/places.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "reach/reach_engine.h"
#include "structural/invariants.h"

namespace {

template <class T> T* addNode(TQRVDesigner& d, const QString& name, double x, double y)
{
    auto* node = new T(&d);
    node->SetNameDirect(name);
    node->SetBoundsDirect(x, y, node->Width(), node->Height());
    d.InsertObject(node);
    return node;
}

// p_i -> t_i -> p_(i+1), closed; one token in p1.
void writeRing(int n, const QString& fileName)
{
    TQRVDesigner net;
    // No rebuilding of the whole net after every arc.
    net.SetUpdating(true);
    QList<TclsNodeDiscrete*> places;
    QList<TclsTransTimed*> transitions;
    for (int i = 0; i < n; ++i) {
        const double x = 100 * (i % 100), y = 100 * (i / 100);
        places << addNode<TclsNodeDiscrete>(net, QStringLiteral("p%1").arg(i + 1), x, y);
        transitions << addNode<TclsTransTimed>(net, QStringLiteral("t%1").arg(i + 1), x + 50, y + 10);
    }
    places.first()->SetTokensDirect(1);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 2; ++k) {
            auto* arc = new TclsLinkNormal(&net);
            arc->SetNameDirect(QStringLiteral("L%1").arg(2 * i + k + 1));
            net.InsertObject(arc);
            arc->SetSource(k == 0 ? static_cast<TQRVObject*>(places[i]) : transitions[i]);
            arc->SetDest(k == 0 ? static_cast<TQRVObject*>(transitions[i]) : places[(i + 1) % n]);
        }
    }
    net.SetUpdating(false);
    net.MarkAllDirty();
    net.Update();
    const QString error = SaveNetFile(net, fileName);
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
}

constexpr rlim_t kMostBytes = 8'000'000'000;

// Runs `work` in a child process; prints its time as the child measured it
// (wall clock, and the processor time it took, which varies less on a busy
// machine) and the child's peak memory.
void measure(const std::string& what, const std::function<double()>& work)
{
    std::fflush(stdout);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        // A measurement that is not linear must not take the machine with it:
        // beyond this much memory it fails.
        const rlimit most{kMostBytes, kMostBytes};
        setrlimit(RLIMIT_AS, &most);
        int argc = 1;
        char name[] = "big_nets_bench";
        char* argv[] = {name, nullptr};
        QGuiApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        RegisterStandardClasses();
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        double result[2] = {work(), 0};
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        auto cpu = [](const rusage& u) {
            return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        };
        result[1] = cpu(after) - cpu(before);
        if (write(pipeFds[1], result, sizeof result) != sizeof result)
            _exit(2);
        _exit(0);
    }
    close(pipeFds[1]);
    double result[2] = {-1, -1};
    if (read(pipeFds[0], result, sizeof result) != sizeof result)
        result[0] = -1;
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (result[0] < 0)
        std::printf("%-48s failed (within %.0f GB)\n", what.c_str(), kMostBytes / 1e9);
    else
        std::printf("%-48s %8.3f s (%.3f s CPU) %8.1f MB peak\n", what.c_str(), result[0], result[1],
                    usage.ru_maxrss / 1024.0);
}

double timed(const std::function<void()>& f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return timer.nsecsElapsed() / 1e9;
}

double readNet(const QString& fileName)
{
    // Reading replaces an empty net; freeing the net is not part of it.
    auto* d = new TQRVDesigner;
    QString error;
    const double s = timed([&] { error = LoadNetFile(*d, fileName); });
    return error.isEmpty() ? s : -1;
}

double drawNet(const QString& fileName, QSize view)
{
    auto* d = new TQRVDesigner;
    if (!LoadNetFile(*d, fileName).isEmpty())
        return -1;
    QImage image(view, QImage::Format_RGB32);
    return timed([&] {
        image.fill(Qt::white);
        QPainter painter(&image);
        d->MarkAllDirty();
        d->DrawObjects(painter);
    });
}

} // namespace

int main()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    for (const int n : {10000, 50000}) {
        const QString file = dir.filePath(QStringLiteral("ring%1.pn2").arg(n));
        const QString copy = dir.filePath(QStringLiteral("copy%1.pn2").arg(n));
        const std::string label = std::to_string(n);
        measure("ring of " + label + " places: generate and write",
                [&] { return timed([&] { writeRing(n, file); }); });
        std::printf("%-48s %8.1f MB\n", ("ring of " + label + " places: file").c_str(),
                    QFile(file).size() / 1e6);
        measure("ring of " + label + ": read", [&] { return readNet(file); });
        measure("ring of " + label + ": read, then write", [&] {
            auto* d = new TQRVDesigner;
            if (!LoadNetFile(*d, file).isEmpty())
                return -1.0;
            return timed([&] { SaveNetFile(*d, copy); });
        });
        measure("ring of " + label + ": read, then draw a 1920x1080 view",
                [&] { return drawNet(file, QSize(1920, 1080)); });
        measure("ring of " + label + ": read, then reach --limit 1", [&] {
            auto* d = new TQRVDesigner;
            if (!LoadNetFile(*d, file).isEmpty())
                return -1.0;
            TReachEngine engine;
            engine.SetNet(d);
            engine.Settings.Limit = 1;
            bool built = false;
            const double s = timed([&] { built = engine.BuildClassical(); });
            return built ? s : -1.0;
        });
        measure("ring of " + label + ": read, then invariants", [&] {
            auto* d = new TQRVDesigner;
            if (!LoadNetFile(*d, file).isEmpty())
                return -1.0;
            return timed([&] {
                TQRVInvariants inv;
                inv.BuildIncidence(ReadNetStructure(*d));
                inv.Calculate();
                if (inv.Interrupted() || inv.PInvariants.RowCount() != 1 || inv.TInvariants.RowCount() != 1)
                    std::printf("unexpected invariants\n");
            });
        });
    }
    const QString farFlung = QStringLiteral(QUORVANE_SHARED_DIR) +
                             QStringLiteral("/testdata/robustness/far-flung-bend-points.pn2");
    if (QFile::exists(farFlung)) {
        measure("far-flung bend points (4.4 MB): read", [&] { return readNet(farFlung); });
        measure("far-flung bend points: read, then draw 1920x1080",
                [&] { return drawNet(farFlung, QSize(1920, 1080)); });
    }
    return 0;
}
