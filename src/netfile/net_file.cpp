#include "netfile/net_file.h"

#include <QFile>
#include <QFileInfo>

#include "model/class_registry.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "netfile/element_xml.h"
#include "netfile/pnml.h"
#include "netfile/xml_tree.h"

bool IsPnmlFileName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".pnml"), Qt::CaseInsensitive);
}

void SaveNet(const TQRVDesigner& designer, TqibXMLTree& tree)
{
    for (TQRVObject* o : designer.ObjectList()) {
        const auto* storable = dynamic_cast<const IQRVStorable*>(o);
        if (!storable)
            continue;
        TqibXMLNode* element = tree.AddNode(QStringLiteral("object"));
        element->AddAttribute(QStringLiteral("class"), o->ClassName());
        storable->SaveToXml(*element);
    }
    TqibXMLNode* simulate = tree.AddNode(QStringLiteral("simulate"));
    for (const QString& g : designer.Graphs)
        simulate->AddNode(QStringLiteral("graph"), g);
}

QString NetToText(const TQRVDesigner& designer)
{
    TqibXMLTree tree;
    SaveNet(designer, tree);
    return tree.Text();
}

void LoadNet(TQRVDesigner& designer, const TqibXMLTree& tree, QStringList* warnings)
{
    QList<TqibXMLNode*> elements;
    tree.FindNamedNodes(QStringLiteral("object"), elements);
    designer.SetUpdating(true);
    const TQRVClassRegistry& registry = TQRVClassRegistry::Instance();
    for (const TqibXMLNode* element : elements) {
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
    }

    QList<TqibXMLNode*> graphs;
    tree.FindNamedNodes(QStringLiteral("graph"), graphs);
    designer.Graphs.clear();
    for (const TqibXMLNode* g : graphs)
        designer.Graphs.append(g->Value);

    designer.SetUpdating(false);
    for (int i = 0; i < designer.ObjectCount(); ++i) {
        TQRVObject* o = designer.Objects(i);
        o->ExcludeState(osLoading);
        o->Loaded();
    }
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
void readNetText(TQRVDesigner& fresh, const QString& text, QStringList* warnings)
{
    if (text.trimmed().isEmpty())
        throw TNotANetError(QStringLiteral("it is empty"));
    TqibXMLTree tree;
    tree.SetText(text);
    checkWholeNet(tree);
    LoadNet(fresh, tree, warnings);
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
        readNetText(fresh, TqibXMLTree::Decode(file.readAll()), warnings);
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
        TqibXMLTree tree;
        SaveNet(designer, tree);
        tree.SaveToFile(fileName);
    } catch (const TXmlReadError& e) {
        return e.Message;
    } catch (const TNetFileError& e) {
        return e.Message;
    }
    return QString();
}
