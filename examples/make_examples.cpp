// Draws the example nets of examples/ and writes them as .pn2 files.
//   make-examples [FOLDER]   (default: the current folder)
// Every position lies on the grid; each file is written, read back and
// written again, so that it is stored exactly as the program stores it.
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

#include <clocale>
#include <cmath>
#include <functional>

#include "formula/formula.h"
#include "model/annotations.h"
#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/designer_link.h"
#include "model/graphics_objects.h"
#include "model/name_label.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/net_file.h"

namespace {

enum TSide { Right, Left, Above, Below };

class TBuilder
{
public:
    TQRVDesigner Net;

    // A place or transition centred at (x, y), with a name label showing `label`.
    // A transition's bar is turned by `angle` degrees.
    template <class T> T* Node(double x, double y, const QString& label, TSide side = Right, double angle = 0)
    {
        auto* node = new T(&Net);
        node->SetNameDirect(Net.UniqueName(node->GetNamePrefix()));
        node->SetBoundsDirect(x - node->Width() / 2, y - node->Height() / 2, node->Width(), node->Height());
        if (auto* t = qobject_cast<TclsTrans*>(node))
            t->SetAngleDirect(angle);
        Net.InsertObject(node);
        NameLabel::Create(*node);
        auto* text = static_cast<TclsText*>(NameLabel::Find(*node));
        text->SetText(label);
        // Half the extent of what is drawn.
        const double a = angle * M_PI / 180;
        const double w = node->Width(), h = node->Height();
        const double halfW = (std::abs(w * std::cos(a)) + std::abs(h * std::sin(a))) / 2;
        const double halfH = (std::abs(w * std::sin(a)) + std::abs(h * std::cos(a))) / 2;
        double left = 0, top = 0;
        switch (side) {
        case Right:
            left = x + halfW + 8;
            top = y - text->Height() / 2;
            break;
        case Left:
            left = x - halfW - 8 - text->Width();
            top = y - text->Height() / 2;
            break;
        case Above:
            left = x - text->Width() / 2;
            top = y - halfH - 4 - text->Height();
            break;
        case Below:
            left = x - text->Width() / 2;
            top = y + halfH + 4;
            break;
        }
        text->SetBoundsDirect(std::round(left), std::round(top), text->Width(), text->Height());
        return node;
    }

    TclsNodeDiscrete* Place(double x, double y, const QString& label, double tokens = 0, TSide side = Right)
    {
        auto* p = Node<TclsNodeDiscrete>(x, y, label, side);
        p->SetTokens(tokens);
        return p;
    }

    TclsTransTimed* Timed(double x, double y, const QString& label, const QString& rate, TSide side = Right,
                          double angle = 0)
    {
        auto* t = Node<TclsTransTimed>(x, y, label, side, angle);
        t->Rate()->SetFormula(QStringLiteral("RefV"));
        bool ok = false;
        const double value = rate.toDouble(&ok);
        if (ok)
            t->Rate()->SetValue_Reference(value);
        else
            t->Rate()->SetFormula(rate);
        return t;
    }

    TclsTransInstant* Immediate(double x, double y, const QString& label, double weight, TSide side = Right,
                                double angle = 0)
    {
        auto* t = Node<TclsTransInstant>(x, y, label, side, angle);
        t->WeightSpeed()->SetValue_Reference(weight);
        return t;
    }

    // An arc through the given bends.
    template <class A>
    A* Arc(TQRVObject* from, TQRVObject* to, const QString& weight = QString(),
           const QList<QPointF>& bends = {})
    {
        auto* arc = new A(&Net);
        arc->SetNameDirect(Net.UniqueName(arc->GetNamePrefix()));
        Net.InsertObject(arc);
        arc->SetSource(from);
        arc->SetDest(to);
        if (!weight.isEmpty())
            arc->Weight()->SetFormula(weight);
        if (!bends.isEmpty()) {
            arc->ClearPoints();
            arc->AddPoint(0, 0, true);
            for (const QPointF& b : bends) {
                arc->AddPoint(b.x(), b.y(), false);
                arc->AddPoint(b.x(), b.y(), true);
            }
            arc->AddPoint(0, 0, false);
            arc->AddPoint(0, 0, true);
        }
        arc->IncludeState(osDirty);
        return arc;
    }

    TclsText* Text(double left, double top, const QString& text, int size = 10, bool bold = false)
    {
        auto* t = new TclsText(&Net);
        t->SetNameDirect(Net.UniqueName(t->GetNamePrefix()));
        t->SetBoundsDirect(left, top, 0, 0);
        Net.InsertObject(t);
        t->Font()->SetSize(size);
        if (bold)
            t->Font()->SetStyle(Qrv::TFontStyles(Qrv::fsBold));
        t->SetText(text);
        t->RecomputeSize();
        return t;
    }

    TclsFrame* Frame(double left, double top, double width, double height, const QString& caption)
    {
        auto* f = new TclsFrame(&Net);
        f->SetNameDirect(Net.UniqueName(f->GetNamePrefix()));
        f->SetBoundsDirect(left, top, width, height);
        Net.InsertObject(f);
        f->SetText(caption);
        f->SetStyle(Qrv::psDot);
        return f;
    }

    // Writes the net, reads it back and writes it again.
    bool Save(const QString& fileName, QTextStream& err)
    {
        Net.MarkAllDirty();
        Net.Update();
        QString error = SaveNetFile(Net, fileName);
        TQRVDesigner again;
        if (error.isEmpty())
            error = LoadNetFile(again, fileName);
        if (error.isEmpty())
            error = SaveNetFile(again, fileName);
        if (!error.isEmpty())
            err << error << "\n";
        return error.isEmpty();
    }
};

// A producer and a consumer that share a buffer of three places.
void producerConsumer(TBuilder& b)
{
    b.Text(40, 20, QStringLiteral("Producer and consumer with a buffer of three"), 14, true);
    b.Text(40, 46, QStringLiteral("Timed transitions; rates: produce 1, deliver 4, fetch 4, consume 1.5."));
    b.Frame(30, 80, 230, 330, QStringLiteral("Producer"));
    b.Frame(280, 80, 170, 330, QStringLiteral("Buffer"));
    b.Frame(470, 80, 200, 330, QStringLiteral("Consumer"));

    auto* ready = b.Place(140, 130, QStringLiteral("ready to produce"), 1);
    auto* produce = b.Timed(140, 210, QStringLiteral("produce"), QStringLiteral("1"));
    auto* made = b.Place(140, 290, QStringLiteral("item made"));
    auto* deliver = b.Timed(140, 370, QStringLiteral("deliver"), QStringLiteral("4"), Below);
    auto* slots = b.Place(360, 210, QStringLiteral("free slots"), 3, Below);
    auto* buffer = b.Place(360, 370, QStringLiteral("buffer"), 0, Below);
    auto* idle = b.Place(580, 130, QStringLiteral("ready to fetch"), 1, Left);
    auto* fetch = b.Timed(580, 210, QStringLiteral("fetch"), QStringLiteral("4"));
    auto* taken = b.Place(580, 290, QStringLiteral("item taken"), 0, Left);
    auto* consume = b.Timed(580, 370, QStringLiteral("consume"), QStringLiteral("1.5"), Left);

    b.Arc<TclsLinkNormal>(ready, produce);
    b.Arc<TclsLinkNormal>(produce, made);
    b.Arc<TclsLinkNormal>(made, deliver);
    b.Arc<TclsLinkNormal>(deliver, ready, QString(), {{60, 370}, {60, 130}});
    b.Arc<TclsLinkNormal>(slots, deliver);
    b.Arc<TclsLinkNormal>(deliver, buffer);
    b.Arc<TclsLinkNormal>(buffer, fetch);
    b.Arc<TclsLinkNormal>(fetch, slots);
    b.Arc<TclsLinkNormal>(idle, fetch);
    b.Arc<TclsLinkNormal>(fetch, taken);
    b.Arc<TclsLinkNormal>(taken, consume);
    b.Arc<TclsLinkNormal>(consume, idle, QString(), {{640, 370}, {640, 130}});
}

// Five philosophers around a table; each needs the forks on both sides.
void diningPhilosophers(TBuilder& b)
{
    b.Text(40, 20, QStringLiteral("Five dining philosophers"), 14, true);
    b.Text(40, 46,
           QStringLiteral("A philosopher eats with both neighbouring forks. Timed transitions: take 1, "
                          "put back 2."));
    const QPointF centre(440, 440);
    auto at = [&](double radius, double degrees) {
        const double a = degrees * M_PI / 180;
        return QPointF(centre.x() + 10 * std::round(radius * std::sin(a) / 10),
                       centre.y() - 10 * std::round(radius * std::cos(a) / 10));
    };
    // The side of an element at that angle that faces the centre.
    auto inward = [](double degrees) {
        if (degrees == 0)
            return Below;
        if (degrees == 180)
            return Above;
        return degrees < 180 ? Left : Right;
    };
    QList<TclsNodeDiscrete*> forks, thinking, eating;
    QList<TclsTransTimed*> take, put;
    for (int i = 0; i < 5; ++i) {
        const double a = 72.0 * i;
        const int n = i + 1;
        const TSide side = a == 0 ? Right : (a < 180 ? Right : Left);
        QPointF p = at(170, a);
        thinking << b.Place(p.x(), p.y(), QStringLiteral("thinking %1").arg(n), 1, inward(a));
        p = at(260, a - 15);
        take << b.Timed(p.x(), p.y(), QStringLiteral("take %1").arg(n), QStringLiteral("1"), side, a - 15);
        p = at(260, a + 15);
        put << b.Timed(p.x(), p.y(), QStringLiteral("put %1").arg(n), QStringLiteral("2"), side, a + 15);
        p = at(340, a);
        eating << b.Place(p.x(), p.y(), QStringLiteral("eating %1").arg(n), 0, a == 0 ? Above : side);
    }
    for (int i = 0; i < 5; ++i) {
        const QPointF p = at(230, 72.0 * i + 36);
        forks << b.Place(p.x(), p.y(), QStringLiteral("fork %1").arg(i + 1), 1, inward(72.0 * i + 36));
    }
    for (int i = 0; i < 5; ++i) {
        // Philosopher i sits between fork i-1 (left) and fork i (right).
        TclsNodeDiscrete* left = forks.at((i + 4) % 5);
        TclsNodeDiscrete* right = forks.at(i);
        b.Arc<TclsLinkNormal>(thinking.at(i), take.at(i));
        b.Arc<TclsLinkNormal>(left, take.at(i));
        b.Arc<TclsLinkNormal>(right, take.at(i));
        b.Arc<TclsLinkNormal>(take.at(i), eating.at(i));
        b.Arc<TclsLinkNormal>(eating.at(i), put.at(i));
        b.Arc<TclsLinkNormal>(put.at(i), thinking.at(i));
        b.Arc<TclsLinkNormal>(put.at(i), left);
        b.Arc<TclsLinkNormal>(put.at(i), right);
    }
}

// Jobs are routed by immediate transitions in conflict, weighted 30 : 70.
void stochasticConflict(TBuilder& b)
{
    b.Text(40, 20, QStringLiteral("Routing by immediate transitions in conflict"), 14, true);
    b.Text(40, 46,
           QStringLiteral("Three jobs circulate. An arrived job goes to server A with weight 30, to "
                          "server B with weight 70."));
    auto* idle = b.Place(100, 240, QStringLiteral("jobs outside"), 3, Left);
    auto* arrive = b.Timed(200, 240, QStringLiteral("arrive"), QStringLiteral("1"), Below, 90);
    auto* arrived = b.Place(300, 240, QStringLiteral("arrived"), 0, Below);
    auto* toA = b.Immediate(400, 160, QStringLiteral("to A (30)"), 30, Above, 90);
    auto* toB = b.Immediate(400, 320, QStringLiteral("to B (70)"), 70, Below, 90);
    auto* queueA = b.Place(500, 160, QStringLiteral("queue A"), 0, Above);
    auto* queueB = b.Place(500, 320, QStringLiteral("queue B"), 0, Below);
    auto* serveA = b.Timed(600, 160, QStringLiteral("serve A (2)"), QStringLiteral("2"), Above, 90);
    auto* serveB = b.Timed(600, 320, QStringLiteral("serve B (3)"), QStringLiteral("3"), Below, 90);

    b.Arc<TclsLinkNormal>(idle, arrive);
    b.Arc<TclsLinkNormal>(arrive, arrived);
    b.Arc<TclsLinkNormal>(arrived, toA);
    b.Arc<TclsLinkNormal>(arrived, toB);
    b.Arc<TclsLinkNormal>(toA, queueA);
    b.Arc<TclsLinkNormal>(toB, queueB);
    b.Arc<TclsLinkNormal>(queueA, serveA);
    b.Arc<TclsLinkNormal>(queueB, serveB);
    b.Arc<TclsLinkNormal>(serveA, idle, QString(), {{680, 160}, {680, 100}, {100, 100}});
    b.Arc<TclsLinkNormal>(serveB, idle, QString(), {{680, 320}, {680, 400}, {100, 400}});
}

// A generator without limit: the reachability graph marks its output place w.
void unbounded(TBuilder& b)
{
    b.Text(40, 20, QStringLiteral("An unbounded net"), 14, true);
    b.Text(40, 46,
           QStringLiteral("'generate' can always fire and puts a token into 'waiting' each time; "
                          "'serve' is slower."));
    auto* source = b.Place(100, 180, QStringLiteral("source"), 1, Left);
    auto* generate = b.Timed(220, 180, QStringLiteral("generate (2)"), QStringLiteral("2"), Above, 90);
    auto* waiting = b.Place(340, 180, QStringLiteral("waiting"), 0, Below);
    auto* serve = b.Timed(460, 180, QStringLiteral("serve (1)"), QStringLiteral("1"), Above, 90);
    auto* done = b.Place(580, 180, QStringLiteral("done"), 0, Below);
    b.Arc<TclsLinkNormal>(source, generate);
    b.Arc<TclsLinkNormal>(generate, source, QString(), {{220, 260}, {100, 260}});
    b.Arc<TclsLinkNormal>(generate, waiting);
    b.Arc<TclsLinkNormal>(waiting, serve);
    b.Arc<TclsLinkNormal>(serve, done);
}

// A tank filled by a pump that is switched on and off; water is drawn in portions.
void hybrid(TBuilder& b)
{
    b.Text(40, 20, QStringLiteral("A hybrid net: a pump fills a tank"), 14, true);
    b.Text(40, 46,
           QStringLiteral("Continuous places hold levels. The pump runs while 'pump on' is marked and "
                          "the tank holds less than 80;"));
    b.Text(40, 62, QStringLiteral("every 'draw' takes 5 units through a flow arc."));
    b.Frame(30, 100, 240, 240, QStringLiteral("Pump control"));

    auto* on = b.Place(100, 160, QStringLiteral("pump on"), 1, Below);
    auto* off = b.Place(100, 280, QStringLiteral("pump off"), 0, Below);
    auto* switchOff = b.Timed(200, 160, QStringLiteral("switch off (0.1)"), QStringLiteral("0.1"), Below, 90);
    auto* switchOn = b.Timed(200, 280, QStringLiteral("switch on (0.2)"), QStringLiteral("0.2"), Below, 90);
    b.Arc<TclsLinkNormal>(on, switchOff);
    b.Arc<TclsLinkNormal>(switchOff, off, QString(), {{250, 160}, {250, 220}, {100, 220}});
    b.Arc<TclsLinkNormal>(off, switchOn);
    b.Arc<TclsLinkNormal>(switchOn, on, QString(), {{60, 280}, {60, 160}});

    auto* reservoir = b.Node<TclsNodeContinuous>(360, 420, QStringLiteral("reservoir"), Below);
    reservoir->SetBoundMax(1000);
    reservoir->SetLevel(500);
    auto* pumping = b.Node<TclsTransContinuous>(480, 420, QStringLiteral("pumping"), Below, 90);
    pumping->Expectance()->SetValue_Reference(2);
    auto* tank = b.Node<TclsNodeContinuous>(600, 420, QStringLiteral("tank"), Below);
    tank->SetBoundMax(100);
    tank->SetLevel(20);
    auto* draw = b.Timed(720, 420, QStringLiteral("draw (0.3)"), QStringLiteral("0.3"), Below, 90);
    auto* used = b.Node<TclsNodeContinuous>(840, 420, QStringLiteral("used"), Below);

    b.Arc<TclsLinkContinuous>(reservoir, pumping);
    b.Arc<TclsLinkContinuous>(pumping, tank);
    b.Arc<TclsLinkTest>(on, pumping, QString(), {{100, 120}, {420, 120}, {420, 370}});
    b.Arc<TclsLinkIngibitorCounterContinuous>(tank, pumping, QStringLiteral("80"), {{600, 360}, {540, 360}});
    b.Arc<TclsLinkFlow>(tank, draw, QStringLiteral("5"));
    b.Arc<TclsLinkFlow>(draw, used, QStringLiteral("5"));
}

// Readers and writers: inhibitor arcs exclude, test arcs read without taking.
void inhibitorTest(TBuilder& b)
{
    b.Text(40, 20, QStringLiteral("Readers and writers: inhibitor and test arcs"), 14, true);
    b.Text(40, 46,
           QStringLiteral("Nobody starts reading while a writer writes; a writer waits until nobody "
                          "reads or writes;"));
    b.Text(40, 62,
           QStringLiteral("at most two read at once. Both start only while the library is open (test "
                          "arcs: the token stays)."));

    auto* readers = b.Place(100, 200, QStringLiteral("readers idle"), 3, Above);
    auto* startRead = b.Timed(220, 200, QStringLiteral("start read"), QStringLiteral("1"), Above, 90);
    auto* reading = b.Place(340, 200, QStringLiteral("reading"), 0, Above);
    auto* endRead = b.Timed(460, 200, QStringLiteral("end read"), QStringLiteral("2"), Above, 90);
    auto* open = b.Place(160, 320, QStringLiteral("library open"), 1, Left);
    auto* writers = b.Place(100, 440, QStringLiteral("writers idle"), 2, Below);
    auto* startWrite = b.Timed(220, 440, QStringLiteral("start write"), QStringLiteral("1"), Below, 90);
    auto* writing = b.Place(340, 440, QStringLiteral("writing"), 0, Below);
    auto* endWrite = b.Timed(460, 440, QStringLiteral("end write"), QStringLiteral("2"), Below, 90);

    b.Arc<TclsLinkNormal>(readers, startRead);
    b.Arc<TclsLinkNormal>(startRead, reading);
    b.Arc<TclsLinkNormal>(reading, endRead);
    b.Arc<TclsLinkNormal>(endRead, readers, QString(), {{500, 200}, {500, 120}, {40, 120}, {40, 200}});
    b.Arc<TclsLinkNormal>(writers, startWrite);
    b.Arc<TclsLinkNormal>(startWrite, writing);
    b.Arc<TclsLinkNormal>(writing, endWrite);
    b.Arc<TclsLinkNormal>(endWrite, writers, QString(), {{500, 440}, {500, 520}, {40, 520}, {40, 440}});
    b.Arc<TclsLinkIngibitor>(writing, startRead);
    b.Arc<TclsLinkIngibitor>(reading, startWrite);
    b.Arc<TclsLinkIngibitor>(writing, startWrite, QString(), {{280, 470}});
    b.Arc<TclsLinkIngibitorCounter>(reading, startRead, QStringLiteral("2"), {{280, 170}});
    b.Arc<TclsLinkTest>(open, startRead);
    b.Arc<TclsLinkTest>(open, startWrite);
}

// Two groups joined by one shared transition, labelled for the tensorial construction.
void twoGroups(TBuilder& b)
{
    b.Text(40, 20, QStringLiteral("Two groups joined by one shared transition"), 14, true);
    b.Text(40, 46,
           QStringLiteral("Every place, transition and arc carries its group label (g1, g2); 'hand over' is "
                          "shared (s1-2)."));
    b.Text(40, 62,
           QStringLiteral("Build the reachability graph with 'Tenzorial': each group's graph is built alone, "
                          "then the two are combined."));
    b.Frame(30, 100, 380, 320, QStringLiteral("Group 1 (g1): producer with a store of two"));
    b.Frame(510, 100, 240, 320, QStringLiteral("Group 2 (g2): consumer"));

    auto* ready = b.Place(100, 160, QStringLiteral("ready"), 1, Left);
    auto* produce = b.Timed(100, 250, QStringLiteral("produce (2)"), QStringLiteral("2"), Left);
    auto* made = b.Place(100, 340, QStringLiteral("made"), 0, Left);
    auto* put = b.Timed(220, 340, QStringLiteral("put (5)"), QStringLiteral("5"), Below, 90);
    auto* full = b.Place(340, 340, QStringLiteral("store full"), 0, Below);
    auto* space = b.Place(340, 160, QStringLiteral("store free"), 2, Above);
    auto* handOver = b.Timed(460, 250, QStringLiteral("hand over (3)"), QStringLiteral("3"), Above, 90);
    auto* waiting = b.Place(580, 160, QStringLiteral("waiting"), 1, Above);
    auto* consume = b.Timed(680, 250, QStringLiteral("consume (1)"), QStringLiteral("1"), Below, 90);
    auto* has = b.Place(580, 340, QStringLiteral("has item"), 0, Below);

    const QString g1 = QStringLiteral("g1"), g2 = QStringLiteral("g2");
    QList<TQRVObject*> group1{ready, produce, made, put, full, space};
    group1 << b.Arc<TclsLinkNormal>(ready, produce) << b.Arc<TclsLinkNormal>(produce, made)
           << b.Arc<TclsLinkNormal>(made, put) << b.Arc<TclsLinkNormal>(space, put)
           << b.Arc<TclsLinkNormal>(put, ready, QString(), {{220, 160}}) << b.Arc<TclsLinkNormal>(put, full)
           << b.Arc<TclsLinkNormal>(full, handOver) << b.Arc<TclsLinkNormal>(handOver, space);
    QList<TQRVObject*> group2{waiting, consume, has};
    group2 << b.Arc<TclsLinkNormal>(waiting, handOver) << b.Arc<TclsLinkNormal>(handOver, has)
           << b.Arc<TclsLinkNormal>(has, consume) << b.Arc<TclsLinkNormal>(consume, waiting);
    for (TQRVObject* o : group1)
        o->SetGroupDirect(g1);
    for (TQRVObject* o : group2)
        o->SetGroupDirect(g2);
    handOver->SetGroupDirect(QStringLiteral("s1-2"));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setlocale(LC_NUMERIC, "C");
    QGuiApplication app(argc, argv);
    RegisterStandardClasses();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTextStream err(stderr);

    const struct
    {
        const char* file;
        void (*draw)(TBuilder&);
    } examples[] = {
        {"producer-consumer.pn2", producerConsumer},
        {"dining-philosophers.pn2", diningPhilosophers},
        {"stochastic-conflict.pn2", stochasticConflict},
        {"unbounded.pn2", unbounded},
        {"hybrid-tank.pn2", hybrid},
        {"readers-writers.pn2", inhibitorTest},
        {"two-groups.pn2", twoGroups},
    };
    int status = 0;
    for (const auto& e : examples) {
        TBuilder b;
        e.draw(b);
        if (!b.Save(QDir(folder).filePath(QString::fromLatin1(e.file)), err))
            status = 1;
    }
    return status;
}
