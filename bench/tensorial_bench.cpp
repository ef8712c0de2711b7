// The tensorial construction against the classical one on a net of two
// groups joined by one shared transition: each group a ring of 11 places
// with 4 tokens (1,001 markings alone), the shared transition moving a token
// on in both rings at once. Target: the tensorial build, pruning included,
// in under 2 s and within twice the memory of the classical build.
//
//   quorvane_tensorial_bench [RING-PLACES TOKENS]
// Each build runs in a process of its own, so that its peak memory is its own.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "model/arcs.h"
#include "model/designer.h"
#include "model/places.h"
#include "model/transitions.h"
#include "reach/reach_engine.h"

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A line of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKiB(const char* field)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long value = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && line[n] == ':')
            value = std::atol(line + n + 1);
    std::fclose(f);
    return value;
}

// Two rings of `places` places, `tokens` tokens at the first place of each;
// transition i of a ring moves a token from place i to place i + 1; the
// first transitions of both rings are one shared transition.
std::unique_ptr<TQRVDesigner> twoRings(int places, int tokens)
{
    auto net = std::make_unique<TQRVDesigner>();
    int placeNumber = 0, transitionNumber = 0, arcNumber = 0;
    auto arc = [&](TQRVNode* from, TQRVNode* to, const QString& group) {
        auto* a = new TclsLinkNormal(net.get());
        a->SetNameDirect(QStringLiteral("L%1").arg(++arcNumber));
        a->SetGroupDirect(group);
        net->InsertObject(a);
        a->SetSource(from);
        a->SetDest(to);
    };
    auto transition = [&](const QString& group) {
        auto* t = new TclsTransTimed(net.get());
        t->SetNameDirect(QStringLiteral("t%1").arg(++transitionNumber));
        t->SetGroupDirect(group);
        net->InsertObject(t);
        return t;
    };
    auto* shared = transition(QStringLiteral("s1-2"));
    for (int g = 1; g <= 2; ++g) {
        const QString group = QStringLiteral("g%1").arg(g);
        std::vector<TclsNodeDiscrete*> ring;
        for (int i = 0; i < places; ++i) {
            auto* p = new TclsNodeDiscrete(net.get());
            p->SetNameDirect(QStringLiteral("p%1").arg(++placeNumber));
            p->SetGroupDirect(group);
            net->InsertObject(p);
            p->SetTokensDirect(i == 0 ? tokens : 0);
            ring.push_back(p);
        }
        for (int i = 0; i < places; ++i) {
            TclsTrans* t = i == 0 ? shared : transition(group);
            arc(ring[size_t(i)], t, group);
            arc(t, ring[size_t(i + 1) % size_t(places)], group);
        }
    }
    return net;
}

int runOne(bool tensorial, int places, int tokens)
{
    std::unique_ptr<TQRVDesigner> net = twoRings(places, tokens);
    TReachEngine engine;
    engine.SetNet(net.get());
    engine.Settings.Limit = 2147483647;
    const long before = statusKiB("VmRSS");
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = cpuSeconds();
    const bool built = tensorial ? engine.BuildTensorial() : engine.BuildClassical();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const long peak = statusKiB("VmHWM");
    if (!built) {
        std::printf("build failed\n");
        return 1;
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    const TMarkList& st = *engine.Store();
    for (int m = 0; m < st.Count(); ++m)
        hash.addData(st.GetLine(m, rmFull).toLatin1());
    std::printf("%d %lld %.3f %.3f %ld %s\n", st.Count(), static_cast<long long>(st.ArcCount()), seconds, cpu,
                peak - before, hash.result().toHex().constData());
    return 0;
}

struct TFigures
{
    int Markings = 0;
    long long Arcs = 0;
    double Seconds = 0, Cpu = 0;
    long GrowthKiB = 0;
    QByteArray Hash;
};

bool measure(const char* mode, int places, int tokens, TFigures& f)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(mode), QString::number(places), QString::number(tokens)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return false;
    const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() != 6)
        return false;
    f.Markings = parts[0].toInt();
    f.Arcs = parts[1].toLongLong();
    f.Seconds = parts[2].toDouble();
    f.Cpu = parts[3].toDouble();
    f.GrowthKiB = parts[4].toLong();
    f.Hash = parts[5];
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 4 && (std::strcmp(argv[1], "classical") == 0 || std::strcmp(argv[1], "tensorial") == 0))
        return runOne(std::strcmp(argv[1], "tensorial") == 0, std::atoi(argv[2]), std::atoi(argv[3]));

    const int places = argc >= 3 ? std::atoi(argv[1]) : 11;
    const int tokens = argc >= 3 ? std::atoi(argv[2]) : 4;
    std::printf("two rings of %d places with %d tokens, joined by one shared transition\n", places, tokens);
    TFigures classical, tensorial;
    if (!measure("classical", places, tokens, classical) ||
        !measure("tensorial", places, tokens, tensorial)) {
        std::printf("a build failed\n");
        return 1;
    }
    for (const auto& [name, f] : {std::pair<const char*, const TFigures&>{"classical", classical},
                                  std::pair<const char*, const TFigures&>{"tensorial", tensorial}})
        std::printf("%-10s %9d markings %10lld arcs  %.2f s (processor %.2f s)  memory +%.1f MiB\n", name,
                    f.Markings, f.Arcs, f.Seconds, f.Cpu, f.GrowthKiB / 1024.0);
    std::printf("same graph: %s; tensorial time %.2f s (target < 2 s), memory %.2f of the classical (target "
                "< 2)\n",
                classical.Hash == tensorial.Hash ? "yes" : "NO", tensorial.Seconds,
                double(tensorial.GrowthKiB) / double(std::max(1L, classical.GrowthKiB)));
    return 0;
}
