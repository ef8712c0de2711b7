#include "netfile/net_file.h"

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
    if (const TqibXMLNode* open = tree.UnclosedElement())
        ThrowElementError(*open,
                          QStringLiteral("the file ends before this element is closed (is it truncated?)"));

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

// Reads into a fresh container, then moves the objects over.
QString loadInto(TQRVDesigner& designer, const std::function<void(TQRVDesigner&)>& read)
{
    TQRVDesigner fresh;
    fresh.SetScale(designer.Scale());
    fresh.SetScroll(designer.ScrollX(), designer.ScrollY());
    try {
        read(fresh);
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
    return loadInto(designer, [&](TQRVDesigner& fresh) {
        TqibXMLTree tree;
        tree.SetText(text);
        LoadNet(fresh, tree, warnings);
    });
}

QString LoadNetFile(TQRVDesigner& designer, const QString& fileName, QStringList* warnings)
{
    const QFileInfo info(fileName);
    if (info.isDir())
        return QStringLiteral("Cannot read %1: it is a folder, not a net file.").arg(fileName);
    if (!info.isFile())
        return QStringLiteral("Cannot read %1: there is no such file.").arg(fileName);
    const QString error = loadInto(designer, [&](TQRVDesigner& fresh) {
        if (IsPnmlFileName(fileName)) {
            ImportPnml(fresh, fileName, warnings);
            return;
        }
        TqibXMLTree tree;
        tree.LoadFromFile(fileName);
        LoadNet(fresh, tree, warnings);
    });
    if (error.isEmpty() || error.startsWith(QLatin1String("Cannot ")))
        return error;
    return QStringLiteral("Cannot read %1:\n%2").arg(QFileInfo(fileName).fileName(), error);
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
