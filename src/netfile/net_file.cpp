#include "netfile/net_file.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

#include "model/class_registry.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/safe_save.h"
#include "netfile/element_xml.h"
#include "netfile/pnml.h"
#include "netfile/xml_tree.h"

bool IsPnmlFileName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".pnml"), Qt::CaseInsensitive);
}

namespace {

// The element of one object, or none for an object that is not stored.
bool saveObject(const TQRVObject* o, TqibXMLNode& element)
{
    const auto* storable = dynamic_cast<const IQRVStorable*>(o);
    if (!storable)
        return false;
    // Room for the attributes of every class, so that the list grows once.
    element.Attributes().reserve(16);
    element.AddAttribute(QStringLiteral("class"), o->ClassName());
    storable->SaveToXml(element);
    return true;
}

void saveCharts(const TQRVDesigner& designer, TqibXMLNode& simulate)
{
    for (const QString& g : designer.Graphs)
        simulate.AddNode(QStringLiteral("graph"), g);
}

} // namespace

void SaveNet(const TQRVDesigner& designer, TqibXMLTree& tree)
{
    for (const TQRVObject* o : designer.ObjectList()) {
        auto element = std::make_unique<TqibXMLNode>(QStringLiteral("object"));
        if (saveObject(o, *element))
            tree.AppendNode(element.release());
    }
    saveCharts(designer, *tree.AddNode(QStringLiteral("simulate")));
}

QString NetToText(const TQRVDesigner& designer)
{
    // The text of each element is written as soon as it is built, so that a
    // big net is never held as a whole tree besides its objects and its text.
    QString text;
    for (const TQRVObject* o : designer.ObjectList()) {
        TqibXMLNode element(QStringLiteral("object"));
        if (saveObject(o, element))
            element.AppendXml(text, 0);
    }
    TqibXMLNode simulate(QStringLiteral("simulate"));
    saveCharts(designer, simulate);
    simulate.AppendXml(text, 0);
    return text;
}

namespace {

// Whether `node` lies within `ancestor`.
bool isWithin(const TqibXMLNode* node, const TqibXMLNode* ancestor)
{
    for (; node; node = node->Parent)
        if (node->Parent == ancestor)
            return true;
    return false;
}

void loadNet(TQRVDesigner& designer, const TqibXMLTree& tree, QStringList* warnings, bool release)
{
    QList<TqibXMLNode*> elements;
    tree.FindNamedNodes(QStringLiteral("object"), elements);
    QList<TqibXMLNode*> graphs;
    tree.FindNamedNodes(QStringLiteral("graph"), graphs);
    QStringList graphNames;
    for (const TqibXMLNode* g : graphs)
        graphNames.append(g->Value);
    designer.SetUpdating(true);
    const TQRVClassRegistry& registry = TQRVClassRegistry::Instance();
    for (qsizetype i = 0; i < elements.size(); ++i) {
        TqibXMLNode* element = elements.at(i);
        // An object element is emptied once read, unless objects nested in
        // it are still to be read (their messages name the enclosing one).
        const auto done = [&] {
            if (release && element->Parent == &tree &&
                (i + 1 == elements.size() || !isWithin(elements.at(i + 1), element))) {
                element->ClearNodes();
                element->Attributes() = QList<TqibXMLAttribute>();
            }
        };
        const QString className = RequiredAttribute(*element, QStringLiteral("class")).Value;
        const TQRVClassInfo* cls = registry.Find(className);
        if (!cls)
            ThrowElementError(*element, QStringLiteral("the class \"%1\" is unknown").arg(className));
        TQRVObject* object = cls->Create(&designer);
        auto* storable = dynamic_cast<IQRVStorable*>(object);
        if (!storable) {
            delete object;
            if (warnings)
                warnings->append(DescribeElement(*element) +
                                 QStringLiteral(": this kind of object is not stored; skipped."));
            done();
            continue;
        }
        object->IncludeState(osLoading);
        try {
            storable->LoadFromXml(*element);
        } catch (...) {
            delete object;
            throw;
        }
        const QString name = object->Name();
        if (!TQRVDesigner::IsValidName(name)) {
            delete object;
            ThrowElementError(*element,
                              QStringLiteral("the attribute \"name\": \"%1\" is not a valid name").arg(name));
        }
        if (designer.FindObject(name)) {
            delete object;
            ThrowElementError(
                *element,
                QStringLiteral("the attribute \"name\": another object is already named \"%1\"").arg(name));
        }
        designer.InsertObject(object);
        done();
    }
    designer.Graphs = graphNames;

    designer.SetUpdating(false);
    for (int i = 0; i < designer.ObjectCount(); ++i) {
        TQRVObject* o = designer.Objects(i);
        o->ExcludeState(osLoading);
        o->Loaded();
    }
}

} // namespace

void LoadNet(TQRVDesigner& designer, const TqibXMLTree& tree, QStringList* warnings)
{
    loadNet(designer, tree, warnings, false);
}

void LoadNet(TQRVDesigner& designer, TqibXMLTree&& tree, QStringList* warnings)
{
    loadNet(designer, tree, warnings, true);
}

namespace {

// A text that is not a whole net: the reason, and where.
class TNotANetError : public std::runtime_error
{
public:
    explicit TNotANetError(const QString& reason) : std::runtime_error(reason.toStdString()), Reason(reason)
    {
    }
    QString Reason;
};

// A net file holds nothing but object elements at its top level, followed by
// its one list of charts (the simulate element) at the very end. Anything
// else is not a net, or not the whole of one.
void checkWholeNet(const TqibXMLTree& tree)
{
    const QString simulate = QStringLiteral("simulate");
    const QString object = QStringLiteral("object");
    // A file cut inside an object or the list of charts says where.
    if (const TqibXMLNode* open = tree.UnclosedElement()) {
        const TqibXMLNode* top = open;
        while (top->Parent && top->Parent != &tree)
            top = top->Parent;
        if (top->Name == object || top->Name == simulate)
            ThrowElementError(
                *open, QStringLiteral("the file ends before this element is closed (is it truncated?)"));
    }
    const TqibXMLNode* charts = nullptr;
    bool onlyObjects = true;
    for (const TqibXMLNode* n : tree.Nodes()) {
        if (n->Name == simulate && !charts)
            charts = n;
        onlyObjects = onlyObjects && n->Name == object;
    }
    if (!charts) {
        // Objects and nothing else: a net file cut between two elements.
        const bool cut = onlyObjects && !tree.Nodes().isEmpty() && tree.TopLevelTextLine() == 0;
        throw TNotANetError(QStringLiteral("it has no list of charts at its end (line %1)%2")
                                .arg(tree.LastLine())
                                .arg(cut ? QStringLiteral(": is it cut short?") : QString()));
    }

    int line = 0;
    QString reason;
    if (tree.TopLevelTextLine() > 0) {
        line = tree.TopLevelTextLine();
        reason = QStringLiteral("it holds text outside its elements");
    }
    bool chartsSeen = false;
    for (const TqibXMLNode* n : tree.Nodes()) {
        QString what;
        if (n->Name == simulate)
            what = chartsSeen ? QStringLiteral("it has a second list of charts") : QString();
        else if (n->Name != object)
            what =
                QStringLiteral("its element <%1> is neither an object nor the list of charts").arg(n->Name);
        else if (chartsSeen)
            what = QStringLiteral("an object follows its list of charts");
        chartsSeen = chartsSeen || n->Name == simulate;
        if (what.isEmpty())
            continue;
        if (reason.isEmpty() || n->Line < line) {
            line = n->Line;
            reason = what;
        }
        break;
    }
    if (!reason.isEmpty())
        throw TNotANetError(QStringLiteral("%1 (line %2)").arg(reason).arg(line));
}

// Reads a net in the program's own format from its text.
// The text is let go once the tree holds it all.
void readNetText(TQRVDesigner& fresh, QString text, QStringList* warnings)
{
    if (QStringView(text).trimmed().isEmpty())
        throw TNotANetError(QStringLiteral("it is empty"));
    TqibXMLTree tree;
    tree.SetText(text);
    text = QString();
    checkWholeNet(tree);
    LoadNet(fresh, std::move(tree), warnings);
}

// The same for the bytes of a file, read without a decoded copy when they
// allow it. The bytes are let go once the tree holds them all.
void readNetBytes(TQRVDesigner& fresh, QByteArray bytes, QStringList* warnings)
{
    TqibXMLTree tree;
    try {
        tree.SetBytes(bytes);
    } catch (const TXmlReadError&) {
        // A text of blanks only holds no element either.
        if (QStringView(TqibXMLTree::Decode(bytes)).trimmed().isEmpty())
            throw TNotANetError(QStringLiteral("it is empty"));
        throw;
    }
    bytes = QByteArray();
    checkWholeNet(tree);
    LoadNet(fresh, std::move(tree), warnings);
}

// Reads into a fresh container, then moves the objects over. `source` names
// what is read in messages.
QString loadInto(TQRVDesigner& designer, const QString& source,
                 const std::function<void(TQRVDesigner&)>& read)
{
    TQRVDesigner fresh;
    fresh.SetScale(designer.Scale());
    fresh.SetScroll(designer.ScrollX(), designer.ScrollY());
    try {
        read(fresh);
    } catch (const TNotANetError& e) {
        return QStringLiteral("%1 is not a net file: %2").arg(source, e.Reason);
    } catch (const TNetFileError& e) {
        return e.Message;
    } catch (const TXmlReadError& e) {
        return e.Message;
    } catch (const TConvertError& e) {
        return e.Message;
    }
    designer.ClearNet();
    designer.SetUpdating(true);
    designer.TakeObjectsFrom(fresh);
    designer.Graphs = fresh.Graphs;
    designer.SetCapture(nullptr);
    designer.SetUpdating(false);
    designer.MarkAllDirty();
    designer.Update();
    designer.Modified();
    return QString();
}

} // namespace

QString NetFromText(TQRVDesigner& designer, const QString& text, QStringList* warnings)
{
    return loadInto(designer, QStringLiteral("The text"),
                    [&](TQRVDesigner& fresh) { readNetText(fresh, text, warnings); });
}

QString LoadNetFile(TQRVDesigner& designer, const QString& fileName, QStringList* warnings)
{
    const QFileInfo info(fileName);
    if (info.isDir())
        return QStringLiteral("Cannot read %1: it is a folder, not a net file.").arg(fileName);
    if (!info.isFile())
        return QStringLiteral("Cannot read %1: there is no such file.").arg(fileName);
    const QString error = loadInto(designer, info.fileName(), [&](TQRVDesigner& fresh) {
        if (IsPnmlFileName(fileName)) {
            ImportPnml(fresh, fileName, warnings);
            return;
        }
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            throw TXmlReadError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
        readNetBytes(fresh, file.readAll(), warnings);
    });
    if (error.isEmpty() || error.startsWith(QLatin1String("Cannot ")) ||
        error.startsWith(info.fileName() + ' '))
        return error;
    return QStringLiteral("Cannot read %1:\n%2").arg(info.fileName(), error);
}

QString SaveNetFile(const TQRVDesigner& designer, const QString& fileName, QStringList* warnings)
{
    try {
        if (IsPnmlFileName(fileName)) {
            ExportPnml(designer, fileName, warnings);
            return QString();
        }
        return SaveBytesSafely(fileName, TqibXMLTree::Encode(NetToText(designer)));
    } catch (const TXmlReadError& e) {
        return e.Message;
    } catch (const TNetFileError& e) {
        return e.Message;
    }
    return QString();
}
