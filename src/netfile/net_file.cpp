#include "netfile/net_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <functional>
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

namespace {

// The text of each element of a net in turn (objects, then the list of
// charts), each written as soon as it is built, so that a big net is never
// held as a whole tree besides its objects.
void writeElements(const TQRVDesigner& designer, const std::function<void(const QString&)>& write)
{
    QString text;
    for (const TQRVObject* o : designer.ObjectList()) {
        TqibXMLNode element(QStringLiteral("object"));
        if (!saveObject(o, element))
            continue;
        text.resize(0); // keeps its room for the next element
        element.AppendXml(text, 0);
        write(text);
    }
    TqibXMLNode simulate(QStringLiteral("simulate"));
    saveCharts(designer, simulate);
    text.resize(0);
    simulate.AppendXml(text, 0);
    write(text);
}

// The bytes of the file of a net, as TqibXMLTree::Encode(NetToText()) gives
// them: in Latin-1, built element by element without the whole text besides
// them, unless a character needs UTF-8.
QByteArray netFileBytes(const TQRVDesigner& designer)
{
    QByteArray bytes;
    bool latin1 = true;
    writeElements(designer, [&](const QString& text) {
        if (!latin1)
            return;
        const qsizetype at = bytes.size(), n = text.size();
        if (at + n > bytes.capacity())
            bytes.reserve(std::max(at + n, 2 * bytes.capacity()));
        bytes.resize(at + n);
        char* out = bytes.data() + at;
        const QChar* in = text.constData();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = in[i].unicode();
            if (c > 255) {
                latin1 = false;
                return;
            }
            out[i] = static_cast<char>(c);
        }
    });
    if (latin1)
        return bytes;
    bytes = QByteArray();
    return TqibXMLTree::Encode(NetToText(designer));
}

} // namespace

QString NetToText(const TQRVDesigner& designer)
{
    QString text;
    writeElements(designer, [&](const QString& element) { text += element; });
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

// Builds the object of one object element and adds it to `designer` (which
// is Updating); an element of an object that is not stored is skipped with a
// warning. Throws for an element that cannot be read.
void readObject(TQRVDesigner& designer, TqibXMLNode& element, QStringList* warnings)
{
    const QString className = RequiredAttribute(element, QStringLiteral("class")).Value;
    const TQRVClassInfo* cls = TQRVClassRegistry::Instance().Find(className);
    if (!cls)
        ThrowElementError(element, QStringLiteral("the class \"%1\" is unknown").arg(className));
    TQRVObject* object = cls->Create(&designer);
    auto* storable = dynamic_cast<IQRVStorable*>(object);
    if (!storable) {
        delete object;
        if (warnings)
            warnings->append(DescribeElement(element) +
                             QStringLiteral(": this kind of object is not stored; skipped."));
        return;
    }
    object->IncludeState(osLoading);
    try {
        storable->LoadFromXml(element);
    } catch (...) {
        delete object;
        throw;
    }
    const QString name = object->Name();
    if (!TQRVDesigner::IsValidName(name)) {
        delete object;
        ThrowElementError(element,
                          QStringLiteral("the attribute \"name\": \"%1\" is not a valid name").arg(name));
    }
    if (designer.FindObject(name)) {
        delete object;
        ThrowElementError(
            element,
            QStringLiteral("the attribute \"name\": another object is already named \"%1\"").arg(name));
    }
    designer.InsertObject(object);
}

// Once every object is built: the charts, then references by name.
void finishLoading(TQRVDesigner& designer, const QStringList& graphNames)
{
    designer.Graphs = graphNames;
    designer.SetUpdating(false);
    for (int i = 0; i < designer.ObjectCount(); ++i) {
        TQRVObject* o = designer.Objects(i);
        o->ExcludeState(osLoading);
        o->Loaded();
    }
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
    for (qsizetype i = 0; i < elements.size(); ++i) {
        TqibXMLNode* element = elements.at(i);
        readObject(designer, *element, warnings);
        // An object element is emptied once read, unless objects nested in
        // it are still to be read (their messages name the enclosing one).
        if (release && element->Parent == &tree &&
            (i + 1 == elements.size() || !isWithin(elements.at(i + 1), element))) {
            element->ClearNodes();
            element->Attributes() = QList<TqibXMLAttribute>();
        }
    }
    finishLoading(designer, graphNames);
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

// Reads a net in the program's own format: `parse` parses the text into a
// tree, and each object is built as soon as its top-level element is
// complete, which is then emptied, so that a big net never holds its whole
// tree besides its objects. What is wrong with the file as a whole is
// reported before what is wrong with one of its objects.
void readNet(TQRVDesigner& fresh, QStringList* warnings,
             const std::function<void(TqibXMLTree&, const TqibXMLTree::TClosedElement&)>& parse)
{
    const QString object = QStringLiteral("object");
    const QString graph = QStringLiteral("graph");
    TqibXMLTree tree;
    QStringList graphNames;
    QStringList found;          // warnings, passed on once the file is a whole net
    std::exception_ptr failure; // of the first object that cannot be read
    QList<TqibXMLNode*> nested;
    fresh.SetUpdating(true);
    parse(tree, [&](TqibXMLNode& element) {
        nested.clear();
        if (element.Name == graph)
            nested.append(&element);
        element.FindNamedNodes(graph, nested);
        for (const TqibXMLNode* g : nested)
            graphNames.append(g->Value);
        if (!failure) {
            nested.clear();
            if (element.Name == object)
                nested.append(&element);
            element.FindNamedNodes(object, nested);
            try {
                for (TqibXMLNode* o : nested)
                    readObject(fresh, *o, &found);
            } catch (const TNetFileError&) {
                failure = std::current_exception();
            } catch (const TConvertError&) {
                failure = std::current_exception();
            } catch (const TXmlReadError&) {
                failure = std::current_exception();
            }
        }
        element.ClearNodes();
        element.Attributes() = QList<TqibXMLAttribute>();
    });
    checkWholeNet(tree);
    if (warnings)
        warnings->append(found);
    if (failure)
        std::rethrow_exception(failure);
    finishLoading(fresh, graphNames);
}

// From its text; the text is let go once it is read.
void readNetText(TQRVDesigner& fresh, QString text, QStringList* warnings)
{
    if (QStringView(text).trimmed().isEmpty())
        throw TNotANetError(QStringLiteral("it is empty"));
    readNet(fresh, warnings, [&](TqibXMLTree& tree, const TqibXMLTree::TClosedElement& closed) {
        tree.SetText(text, closed);
        text = QString();
    });
}

// From the bytes of a file, read without a decoded copy when they allow it.
// The bytes are let go once they are read.
void readNetBytes(TQRVDesigner& fresh, QByteArray bytes, QStringList* warnings)
{
    readNet(fresh, warnings, [&](TqibXMLTree& tree, const TqibXMLTree::TClosedElement& closed) {
        try {
            tree.SetBytes(bytes, closed);
        } catch (const TXmlReadError&) {
            // A text of blanks only holds no element either.
            if (QStringView(TqibXMLTree::Decode(bytes)).trimmed().isEmpty())
                throw TNotANetError(QStringLiteral("it is empty"));
            throw;
        }
        bytes = QByteArray();
    });
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
        return SaveBytesSafely(fileName, netFileBytes(designer));
    } catch (const TXmlReadError& e) {
        return e.Message;
    } catch (const TNetFileError& e) {
        return e.Message;
    }
    return QString();
}
