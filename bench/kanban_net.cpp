#include "kanban_net.h"

#include <QHash>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/places.h"
#include "model/transitions.h"

std::unique_ptr<TQRVDesigner> KanbanNet(int cards)
{
    auto net = std::make_unique<TQRVDesigner>();
    QHash<QString, TclsNodeDiscrete*> places;
    const auto place = [&](const QString& role, int station, int number, double tokens) {
        auto* p = new TclsNodeDiscrete(net.get());
        p->SetNameDirect(QStringLiteral("p%1").arg(number));
        p->SetLeft(60.0 * number);
        p->SetTop(40.0 * station);
        net->InsertObject(p);
        p->SetTokensDirect(tokens);
        places.insert(role + QString::number(station), p);
    };
    for (int k = 1; k <= 4; ++k) {
        place(QStringLiteral("P"), k, 4 * k - 3, cards);
        place(QStringLiteral("Pm"), k, 4 * k - 2, 0);
        place(QStringLiteral("Pback"), k, 4 * k - 1, 0);
        place(QStringLiteral("Pout"), k, 4 * k, 0);
    }
    int arcs = 0;
    const auto arc = [&](TQRVNode* from, TQRVNode* to) {
        auto* a = new TclsLinkNormal(net.get());
        a->SetNameDirect(QStringLiteral("L%1").arg(++arcs));
        net->InsertObject(a);
        a->SetSource(from);
        a->SetDest(to);
    };
    int count = 0;
    const auto transition = [&](const QString& name, double rate, const QStringList& in,
                                const QStringList& out) {
        auto* t = new TclsTransTimed(net.get());
        t->SetNameDirect(name);
        t->SetLeft(60.0 * ++count);
        t->SetTop(300);
        net->InsertObject(t);
        TQRVFormula f(nullptr, net.get());
        f.SetFormula(QStringLiteral("RefV"));
        f.SetValue_Reference(rate);
        t->SetRate(&f);
        t->Rate()->SetValue_Reference(rate);
        for (const QString& p : in)
            arc(places.value(p), t);
        for (const QString& p : out)
            arc(t, places.value(p));
    };
    const double redo[] = {0.33, 0.42, 0.39, 0.36};
    const double ok[] = {0.77, 0.98, 0.91, 0.84};
    transition(QStringLiteral("tin4"), 1.0, {QStringLiteral("P4")}, {QStringLiteral("Pm4")});
    for (int k = 1; k <= 4; ++k) {
        const QString s = QString::number(k);
        transition(QStringLiteral("tredo") + s, redo[k - 1], {QStringLiteral("Pm") + s},
                   {QStringLiteral("Pback") + s});
        transition(QStringLiteral("tok") + s, ok[k - 1], {QStringLiteral("Pm") + s},
                   {QStringLiteral("Pout") + s});
        transition(QStringLiteral("tback") + s, 0.3, {QStringLiteral("Pback") + s},
                   {QStringLiteral("Pm") + s});
    }
    transition(QStringLiteral("tsynch1_23"), 0.5,
               {QStringLiteral("Pout2"), QStringLiteral("Pout3"), QStringLiteral("P1")},
               {QStringLiteral("P3"), QStringLiteral("Pm1"), QStringLiteral("P2")});
    transition(QStringLiteral("tsynch4_23"), 0.4,
               {QStringLiteral("P2"), QStringLiteral("Pout4"), QStringLiteral("P3")},
               {QStringLiteral("P4"), QStringLiteral("Pm3"), QStringLiteral("Pm2")});
    transition(QStringLiteral("tout1"), 0.9, {QStringLiteral("Pout1")}, {QStringLiteral("P1")});
    return net;
}
