// Speed of the invariant computation on generated nets. Prints one line per
// net: its size, what was found and how long the computation took.
#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <sys/resource.h>

#include "model/progress.h"
#include "structural/invariants.h"

namespace {

class TNet
{
public:
    QString P(int i) { return QStringLiteral("p%1").arg(i); }
    QString T(int i) { return QStringLiteral("t%1").arg(i); }
    void Place(const QString& name, double tokens = 0) { Net.Places.append({name, tokens}); }
    void Trans(const QString& name) { Net.Transitions << name; }
    void In(const QString& place, const QString& trans)
    {
        Net.Arcs.append({place, trans, false, lkNormal, 1});
    }
    void Out(const QString& trans, const QString& place)
    {
        Net.Arcs.append({place, trans, true, lkNormal, 1});
    }
    TNetStructure Net;
};

// p_i -> t_i -> p_(i+1), closed into a ring: one P- and one T-invariant.
TNetStructure ring(int n)
{
    TNet b;
    for (int i = 1; i <= n; ++i) {
        b.Place(b.P(i), i == 1 ? 1 : 0);
        b.Trans(b.T(i));
    }
    for (int i = 1; i <= n; ++i) {
        b.In(b.P(i), b.T(i));
        b.Out(b.T(i), b.P(i % n + 1));
    }
    return b.Net;
}

// n independent producer-consumer pairs: a producer cycle and a consumer
// cycle joined by a buffer place (5 places, 4 transitions each).
TNetStructure producerConsumer(int n)
{
    TNet b;
    for (int k = 0; k < n; ++k) {
        const QString s = QString::number(k);
        const QString ready = "ready" + s, made = "made" + s, buffer = "buffer" + s, idle = "idle" + s,
                      busy = "busy" + s;
        const QString produce = "produce" + s, deliver = "deliver" + s, take = "take" + s,
                      consume = "consume" + s;
        b.Place(ready, 1);
        b.Place(made);
        b.Place(buffer);
        b.Place(idle, 1);
        b.Place(busy);
        for (const QString& t : {produce, deliver, take, consume})
            b.Trans(t);
        b.In(ready, produce);
        b.Out(produce, made);
        b.In(made, deliver);
        b.Out(deliver, ready);
        b.Out(deliver, buffer);
        b.In(buffer, take);
        b.In(idle, take);
        b.Out(take, busy);
        b.In(busy, consume);
        b.Out(consume, idle);
    }
    return b.Net;
}

// A 10 x 10 torus: transition (i, j) takes a token from place (i, j) and
// from its right neighbour and puts one into each of the two places below them.
TNetStructure grid(int n)
{
    TNet b;
    auto p = [n](int i, int j) { return QStringLiteral("p%1_%2").arg((i + n) % n).arg((j + n) % n); };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            b.Place(p(i, j), 1);
            b.Trans(QStringLiteral("t%1_%2").arg(i).arg(j));
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const QString t = QStringLiteral("t%1_%2").arg(i).arg(j);
            b.In(p(i, j), t);
            b.In(p(i, j + 1), t);
            b.Out(t, p(i + 1, j));
            b.Out(t, p(i + 1, j + 1));
        }
    return b.Net;
}

long maxRssMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

void measure(const char* name, const TNetStructure& net)
{
    TQRVInvariants inv;
    QElapsedTimer timer;
    timer.start();
    inv.BuildIncidence(net);
    TSilentProgress silent;
    inv.Calculate(&silent);
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf(
        "%-28s %4lld places %4lld transitions  P-inv %6s  T-inv %6s  %10.2f ms  max RSS %ld MiB\n", name,
        static_cast<long long>(net.Places.size()), static_cast<long long>(net.Transitions.size()),
        inv.PNotFound ? "none" : qPrintable(QString::number(inv.PInvariants.RowCount())),
        inv.TNotFound ? "none" : qPrintable(QString::number(inv.TInvariants.RowCount())), ms, maxRssMiB());
    for (const QString& s : inv.Interruptions)
        std::printf("    %s\n", qPrintable(s));
}

} // namespace

int main()
{
    for (int n : {50, 100, 200, 400})
        measure(qPrintable(QStringLiteral("ring %1").arg(n)), ring(n));
    for (int n : {10, 40, 100})
        measure(qPrintable(QStringLiteral("producer-consumer x%1").arg(n)), producerConsumer(n));
    measure("grid 10 x 10", grid(10));
    return 0;
}
