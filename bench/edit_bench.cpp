// The edit history on the large net of large_net.h (10,000 elements): the
// time of an edit, of its undo and of its redo (target: each under 50 ms),
// and the memory that 100 undo steps of small edits hold (target: within
// 50 MB). Times are the best of several rounds.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <clocale>
#include <functional>
#include <malloc.h>

#include "large_net.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/edits.h"
#include "model/net_fragment.h"
#include "model/places.h"

namespace {

double milliseconds(const std::function<void()>& f)
{
    QElapsedTimer clock;
    clock.start();
    f();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

qint64 heapInUse()
{
    return static_cast<qint64>(mallinfo2().uordblks);
}

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Runs the edit, its undo and its redo `rounds` times (undoing it again
// after each round) and prints the best time of each.
void measure(TQRVDesigner& d, const QString& name, const std::function<void()>& edit, int rounds = 7)
{
    double doing = 1e9, undoing = 1e9, redoing = 1e9;
    for (int i = 0; i < rounds; ++i) {
        d.Edits().Clear();
        doing = std::min(doing, milliseconds(edit));
        if (d.Edits().Count() != 1) {
            out() << name << ": the edit made no step\n";
            return;
        }
        undoing = std::min(undoing, milliseconds([&] { d.Edits().Undo(); }));
        redoing = std::min(redoing, milliseconds([&] { d.Edits().Redo(); }));
        d.Edits().Undo();
    }
    out() << qSetFieldWidth(44) << Qt::left << name << qSetFieldWidth(0)
          << QStringLiteral("edit %1 ms, undo %2 ms, redo %3 ms\n")
                 .arg(doing, 0, 'f', 2)
                 .arg(undoing, 0, 'f', 2)
                 .arg(redoing, 0, 'f', 2);
    out().flush();
}

QPointF centre(const TQRVObject* o)
{
    return QPointF(o->Left() + o->Width() / 2, o->Top() + o->Height() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    RegisterStandardClasses();

    TQRVDesigner d;
    BuildLargeNet(d);
    out() << "net of " << d.ObjectCount() << " elements\n";
    auto* place = qobject_cast<TclsNodeDiscrete*>(d.FindObject(QStringLiteral("p1000")));
    TQRVObject* transition = d.FindObject(QStringLiteral("t1000"));

    measure(d, QStringLiteral("drag a place (press, 5 moves, release)"), [&] {
        const QPointF c = centre(place);
        d.SelectObject(place);
        d.LeftButtonDown(c.x(), c.y());
        for (int i = 1; i <= 5; ++i)
            d.MouseMoveTo(c.x() + 8 * i, c.y() + 4 * i);
        d.LeftButtonUp(c.x() + 40, c.y() + 20);
    });
    measure(d, QStringLiteral("change the tokens of a place"),
            [&] { d.Edits().SetProperty({place}, "Tokens", place->Tokens() + 1); });
    measure(d, QStringLiteral("rename a place"), [&] { d.Edits().Rename(place, QStringLiteral("renamed")); });
    measure(d, QStringLiteral("turn a transition"),
            [&] { d.Edits().SetProperty({transition}, "Angle", 90.0); });
    measure(d, QStringLiteral("delete a place with its arcs and label"),
            [&] { d.Edits().Delete({d.FindObject(QStringLiteral("p1000"))}); });
    measure(d, QStringLiteral("create a place by a click"), [&] {
        d.SetCreationClass(TQRVClassRegistry::Instance().Find<TclsNodeDiscrete>());
        d.LeftButtonDown(5500, 5500);
        d.LeftButtonUp(5500, 5500);
        d.SetCreationClass(nullptr);
    });
    const QList<TQRVObject*> some = {d.FindObject(QStringLiteral("p10")), d.FindObject(QStringLiteral("t10")),
                                     d.FindObject(QStringLiteral("p11"))};
    const QString fragment = FragmentText(FragmentObjects(d, some));
    measure(d, QStringLiteral("paste 3 elements with labels and arcs"),
            [&] { PasteFragment(d, fragment, TPastePlace(), QStringLiteral("Paste")); });

    // Large edits, for comparison: every place's marking, every object moved.
    QList<QPair<TclsNode*, double>> previous;
    for (TQRVObject* o : d.ObjectList())
        if (auto* p = qobject_cast<TclsNodeDiscrete*>(o))
            previous.append({p, p->Tokens()});
    measure(
        d, QStringLiteral("a marking of all 2,000 places"),
        [&] {
            for (const auto& [p, tokens] : previous)
                static_cast<TclsNodeDiscrete*>(p)->SetTokensDirect(tokens + 1);
            d.Edits().LeaveMarking(QStringLiteral("Marking"), previous);
        },
        3);
    const QList<TQRVObject*> all(d.ObjectList().begin(), d.ObjectList().end());
    measure(
        d, QStringLiteral("move all 10,000 elements"), [&] { d.Edits().MoveBy(all, 10, 0); }, 3);

    // Memory: 100 small edits, one step each.
    d.Edits().Clear();
    malloc_trim(0);
    const qint64 heap = heapInUse();
    QList<TclsNodeDiscrete*> places;
    for (TQRVObject* o : d.ObjectList())
        if (auto* p = qobject_cast<TclsNodeDiscrete*>(o))
            places.append(p);
    for (int i = 0; i < 100; ++i) {
        TclsNodeDiscrete* p = places.at((i * 37) % places.size());
        switch (i % 4) {
        case 0:
            d.Edits().MoveBy({p}, 10, 10);
            break;
        case 1:
            d.Edits().SetProperty({p}, "Tokens", p->Tokens() + 1);
            break;
        case 2:
            d.Edits().Rename(p, QStringLiteral("q%1").arg(i));
            break;
        default:
            d.Edits().SetProperty({p}, "Size", QVariant::fromValue(Qrv::osLarge));
            break;
        }
    }
    malloc_trim(0);
    out() << "100 undo steps of small edits: " << d.Edits().Count() << " steps, the history counts "
          << QString::number(d.Edits().HistoryBytes() / 1024.0, 'f', 1) << " KB, the heap grew by "
          << QString::number((heapInUse() - heap) / 1048576.0, 'f', 2) << " MB\n";
    return 0;
}
