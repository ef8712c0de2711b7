// Reading place/transition nets from PNML files. The file is read into a
// list of items in document order, which then becomes a tree of net file
// elements that LoadNet reads like one of our own files: elements this
// program exported come back from the sections it wrote for them, elements of
// other programs get classes, names and positions here.
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QXmlStreamReader>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/name_label.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/element_xml.h"
#include "netfile/net_file.h"
#include "netfile/pnml.h"
#include "netfile/pnml_layout.h"
#include "netfile/pnml_view.h"
#include "netfile/xml_tree.h"

namespace {

// Nesting beyond this is refused rather than followed.
constexpr int kMaxDepth = 200;

// ---- warnings ---------------------------------------------------------------------

// Collects what the import could not keep, one line per kind of loss, naming
// the first few elements concerned.
class TWarnings
{
public:
    void Add(const QString& what, const QString& where = QString())
    {
        auto it = m_index.find(what);
        if (it == m_index.end()) {
            it = m_index.insert(what, static_cast<int>(m_entries.size()));
            m_entries.push_back({what, {}, 0});
        }
        TEntry& e = m_entries[static_cast<size_t>(it.value())];
        if (where.isEmpty())
            return;
        ++e.Count;
        if (e.Where.size() < 5)
            e.Where << where;
    }

    QStringList Lines() const
    {
        QStringList lines;
        for (const TEntry& e : m_entries) {
            QString line = e.What;
            if (e.Count > 0) {
                line += QStringLiteral(" (") + e.Where.join(QStringLiteral(", "));
                if (e.Count > e.Where.size())
                    line += QStringLiteral(" and %1 more").arg(e.Count - e.Where.size());
                line += QLatin1Char(')');
            }
            lines << line;
        }
        return lines;
    }

private:
    struct TEntry
    {
        QString What;
        QStringList Where;
        int Count;
    };
    std::vector<TEntry> m_entries;
    QHash<QString, int> m_index;
};

// ---- items ------------------------------------------------------------------------

enum TItemKind : quint8 { ikPlace, ikTransition, ikArc, ikRefPlace, ikRefTransition, ikObject };

enum TArcType : quint8 { atNormal, atInhibitor, atTest, atReset, atUnknown };

struct TItem
{
    TItemKind Kind = ikObject;
    QString Id;
    int Line = 0;
    QString Name; // the PNML name, blanks simplified
    bool HasPosition = false;
    QPointF Position;
    bool HasMarking = false;
    QString Marking;
    bool HasInscription = false;
    QString Inscription;
    QString Source, Target, Ref;
    QList<QPointF> Bends;
    QString ArcType;       // as the file gave it; empty for an ordinary arc
    bool HasStyle = false; // sizes, colours, line styles or fonts
    // The element as this program stored it, when it wrote the file.
    std::unique_ptr<TqibXMLNode> Own;

    // Worked out after reading.
    bool Dropped = false;
    int Resolved = -1; // places and transitions: itself; references: what they refer to
    int From = -1;     // arcs: the items of their ends
    int To = -1;
    QString ClassName;
    QString FinalName;
    qint64 Weight = 1;
    QPointF Centre;
};

bool isNode(TItemKind k)
{
    return k == ikPlace || k == ikTransition;
}

QString kindWord(TItemKind k)
{
    switch (k) {
    case ikPlace:
        return QStringLiteral("place");
    case ikTransition:
        return QStringLiteral("transition");
    case ikArc:
        return QStringLiteral("arc");
    case ikRefPlace:
        return QStringLiteral("referencePlace");
    case ikRefTransition:
        return QStringLiteral("referenceTransition");
    case ikObject:
        break;
    }
    return QStringLiteral("object");
}

TArcType arcTypeOf(const QString& text)
{
    QString t;
    for (QChar c : text)
        if (c.isLetter())
            t += c.toLower();
    if (t.endsWith(QLatin1String("arc")) && t.size() > 3)
        t.chop(3);
    if (t.isEmpty() || t == QLatin1String("normal") || t == QLatin1String("ordinary") ||
        t == QLatin1String("regular") || t == QLatin1String("standard"))
        return atNormal;
    if (t == QLatin1String("inhibitor") || t == QLatin1String("inhibit"))
        return atInhibitor;
    if (t == QLatin1String("read") || t == QLatin1String("test") || t == QLatin1String("readonly"))
        return atTest;
    if (t == QLatin1String("reset"))
        return atReset;
    return atUnknown;
}

// A name as a text of the net file can hold it: blanks simplified, and the
// three characters the file cannot store replaced by look-alikes.
QString storableName(const QString& name, bool& changed)
{
    QString s = name.simplified();
    const QString before = s;
    s.replace(QLatin1Char('"'), QLatin1Char('\''));
    s.replace(QLatin1Char('<'), QChar(0x2039));
    s.replace(QLatin1Char('>'), QChar(0x203A));
    changed = s != before;
    return s;
}

bool parseWhole(const QString& text, qint64 least, qint64& value)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !(v >= static_cast<double>(least)) || v != std::floor(v) || v > 9.0e15)
        return false;
    value = static_cast<qint64>(v);
    return true;
}

double parseCoordinate(QStringView text, bool& ok)
{
    // A position far beyond any drawing counts as none: the element is laid out.
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok && !(std::abs(v) <= 1e6))
        ok = false;
    return v;
}

std::unique_ptr<TqibXMLNode> cloneNode(const TqibXMLNode& source)
{
    auto node = std::make_unique<TqibXMLNode>(source.Name);
    node->Value = source.Value;
    node->ValueType = source.ValueType;
    node->Line = source.Line;
    node->Attributes() = source.Attributes();
    for (const TqibXMLNode* child : source.Nodes())
        node->AppendNode(cloneNode(*child).release());
    return node;
}

// Sets every attribute of that name (places and arcs write "name" twice).
void setAttribute(TqibXMLNode& node, const QString& name, const QString& value)
{
    bool found = false;
    for (TqibXMLAttribute& a : node.Attributes())
        if (a.Name == name) {
            a.Value = value;
            found = true;
        }
    if (!found)
        node.AddAttribute(name, value);
}

QString attributeOf(const TqibXMLNode& node, const QString& name)
{
    const TqibXMLAttribute* a = node.GetAttribute(name);
    return a ? a->Value : QString();
}

double realAttribute(const TqibXMLNode& node, const QString& name)
{
    double v = 0;
    const TqibXMLAttribute* a = node.GetAttribute(name);
    if (a)
        ParseReal(a->Value, v);
    return v;
}

// ---- reading the document -----------------------------------------------------------

class TPnmlReader
{
public:
    TPnmlReader(const QByteArray& text, TWarnings& warnings) : m_xml(text), m_warnings(warnings) {}

    void Read();

    std::vector<TItem> Items;
    QStringList Graphs;
    int Pages = 0;

private:
    [[noreturn]] void fail(const QString& what) const;
    void checkError() const;
    bool inPnml() const;
    void enter();
    void leave() { --m_depth; }
    void drop(const QString& owner, const QString& id);

    void readNet();
    void readPage();
    // place, transition, arc, references and pages: false when the element is none of them.
    bool readNetObject();
    void readNode(TItemKind kind);
    void readReference(TItemKind kind);
    void readArc();
    QString readLabelText();
    void readNodeGraphics(TItem& item);
    void readArcGraphics(TItem& item);
    // A tool-specific section: ours gives objects and graphs; in another
    // program's section of an arc the arc's type is looked for.
    void readToolSpecific(TItem* owner);
    bool findArcType(QString& type);
    std::unique_ptr<TqibXMLNode> readStored();
    void readGraphs();

    QXmlStreamReader m_xml;
    TWarnings& m_warnings;
    int m_depth = 0;
    int m_nets = 0;
};

void TPnmlReader::fail(const QString& what) const
{
    throw TNetFileError(QStringLiteral("Line %1: %2").arg(m_xml.lineNumber()).arg(what));
}

void TPnmlReader::checkError() const
{
    if (m_xml.hasError())
        throw TNetFileError(QStringLiteral("Line %1, column %2: %3 (this is no well-formed XML)")
                                .arg(m_xml.lineNumber())
                                .arg(m_xml.columnNumber())
                                .arg(m_xml.errorString()));
}

bool TPnmlReader::inPnml() const
{
    const QStringView ns = m_xml.namespaceUri();
    return ns.isEmpty() || ns.startsWith(QLatin1String("http://www.pnml.org/"));
}

void TPnmlReader::enter()
{
    if (++m_depth > kMaxDepth)
        fail(QStringLiteral("the elements are nested too deeply"));
}

void TPnmlReader::drop(const QString& owner, const QString& id)
{
    m_warnings.Add(QStringLiteral("Elements <%1> in %2 were dropped: this program cannot represent them")
                       .arg(m_xml.name().toString(), owner),
                   id);
    m_xml.skipCurrentElement();
}

void TPnmlReader::Read()
{
    if (!m_xml.readNextStartElement()) {
        checkError();
        fail(QStringLiteral("the file holds no elements"));
    }
    if (m_xml.name() != QLatin1String("pnml"))
        fail(QStringLiteral("this is no PNML file: its first element is <%1>, not <pnml>")
                 .arg(m_xml.name().toString()));
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("net") && inPnml()) {
            if (m_nets++ == 0)
                readNet();
            else
                m_xml.skipCurrentElement();
        } else {
            drop(QStringLiteral("<pnml>"), QString());
        }
    }
    // Whatever follows the document element must still be well-formed.
    while (!m_xml.atEnd())
        m_xml.readNext();
    checkError();
    if (m_nets == 0)
        fail(QStringLiteral("the file holds no <net>"));
    if (m_nets > 1)
        m_warnings.Add(QStringLiteral("The file holds %1 nets; only the first was read").arg(m_nets));
}

void TPnmlReader::readNet()
{
    enter();
    const QString type = m_xml.attributes().value(QStringLiteral("type")).toString();
    if (!type.isEmpty() && !type.contains(QLatin1String("ptnet"), Qt::CaseInsensitive))
        m_warnings.Add(
            QStringLiteral("The net's type is \"%1\", not a place/transition net: only its places, "
                           "transitions and arcs were read")
                .arg(type));
    while (m_xml.readNextStartElement()) {
        const QStringView n = m_xml.name();
        if (!inPnml())
            drop(QStringLiteral("<net>"), QString());
        else if (readNetObject())
            continue;
        else if (n == QLatin1String("name") || n == QLatin1String("graphics"))
            m_xml.skipCurrentElement(); // the net's own name has no place in a net of this program
        else if (n == QLatin1String("toolspecific"))
            readToolSpecific(nullptr);
        else
            drop(QStringLiteral("<net>"), QString());
    }
    leave();
}

bool TPnmlReader::readNetObject()
{
    const QStringView n = m_xml.name();
    if (n == QLatin1String("page"))
        readPage();
    else if (n == QLatin1String("place"))
        readNode(ikPlace);
    else if (n == QLatin1String("transition"))
        readNode(ikTransition);
    else if (n == QLatin1String("arc"))
        readArc();
    else if (n == QLatin1String("referencePlace"))
        readReference(ikRefPlace);
    else if (n == QLatin1String("referenceTransition"))
        readReference(ikRefTransition);
    else
        return false;
    return true;
}

void TPnmlReader::readPage()
{
    enter();
    ++Pages;
    while (m_xml.readNextStartElement()) {
        const QStringView n = m_xml.name();
        if (!inPnml())
            drop(QStringLiteral("<page>"), QString());
        else if (readNetObject())
            continue;
        else if (n == QLatin1String("name") || n == QLatin1String("graphics"))
            m_xml.skipCurrentElement(); // pages are drawn as one
        else if (n == QLatin1String("toolspecific"))
            readToolSpecific(nullptr);
        else
            drop(QStringLiteral("<page>"), QString());
    }
    leave();
}

void TPnmlReader::readNode(TItemKind kind)
{
    enter();
    TItem item;
    item.Kind = kind;
    item.Line = static_cast<int>(m_xml.lineNumber());
    item.Id = m_xml.attributes().value(QStringLiteral("id")).toString();
    if (item.Id.isEmpty())
        fail(QStringLiteral("a <%1> has no id").arg(kindWord(kind)));
    const QString owner = QStringLiteral("<%1>").arg(kindWord(kind));
    while (m_xml.readNextStartElement()) {
        const QStringView n = m_xml.name();
        if (!inPnml())
            drop(owner, item.Id);
        else if (n == QLatin1String("name"))
            item.Name = readLabelText();
        else if (n == QLatin1String("graphics"))
            readNodeGraphics(item);
        else if (n == QLatin1String("initialMarking") && kind == ikPlace) {
            item.HasMarking = true;
            item.Marking = readLabelText();
        } else if (n == QLatin1String("toolspecific"))
            readToolSpecific(&item);
        else
            drop(owner, item.Id);
    }
    Items.push_back(std::move(item));
    leave();
}

void TPnmlReader::readReference(TItemKind kind)
{
    TItem item;
    item.Kind = kind;
    item.Line = static_cast<int>(m_xml.lineNumber());
    item.Id = m_xml.attributes().value(QStringLiteral("id")).toString();
    item.Ref = m_xml.attributes().value(QStringLiteral("ref")).toString();
    if (item.Id.isEmpty())
        fail(QStringLiteral("a <%1> has no id").arg(kindWord(kind)));
    // A reference is another view of its node: its name and position add nothing.
    m_xml.skipCurrentElement();
    Items.push_back(std::move(item));
}

void TPnmlReader::readArc()
{
    enter();
    TItem item;
    item.Kind = ikArc;
    item.Line = static_cast<int>(m_xml.lineNumber());
    const QXmlStreamAttributes attributes = m_xml.attributes();
    item.Id = attributes.value(QStringLiteral("id")).toString();
    item.Source = attributes.value(QStringLiteral("source")).toString();
    item.Target = attributes.value(QStringLiteral("target")).toString();
    item.ArcType = attributes.value(QStringLiteral("type")).toString();
    if (item.Source.isEmpty() || item.Target.isEmpty())
        fail(QStringLiteral("the <arc> \"%1\" lacks its source or target").arg(item.Id));
    const QString owner = QStringLiteral("<arc>");
    const QString where = item.Id.isEmpty() ? item.Source + QStringLiteral("->") + item.Target : item.Id;
    while (m_xml.readNextStartElement()) {
        const QStringView n = m_xml.name();
        if (!inPnml()) {
            drop(owner, where);
        } else if (n == QLatin1String("inscription")) {
            item.HasInscription = true;
            item.Inscription = readLabelText();
        } else if (n == QLatin1String("graphics")) {
            readArcGraphics(item);
        } else if (n == QLatin1String("type")) {
            // <type value="inhibitor"/> or <type><text>inhibitor</text></type>
            const QString value = m_xml.attributes().value(QStringLiteral("value")).toString();
            const QString text = readLabelText();
            item.ArcType = value.isEmpty() ? text : value;
        } else if (n == QLatin1String("toolspecific")) {
            readToolSpecific(&item);
        } else if (n == QLatin1String("name")) {
            m_warnings.Add(QStringLiteral("Names of arcs were dropped: arcs carry no names here"), where);
            m_xml.skipCurrentElement();
        } else {
            drop(owner, where);
        }
    }
    Items.push_back(std::move(item));
    leave();
}

QString TPnmlReader::readLabelText()
{
    enter();
    QString text;
    bool found = false;
    while (m_xml.readNextStartElement()) {
        const QStringView n = m_xml.name();
        if ((n == QLatin1String("text") || n == QLatin1String("value")) && !found) {
            text = m_xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            found = true;
        } else if (n == QLatin1String("graphics")) {
            m_xml.skipCurrentElement(); // where a label is drawn: labels sit beside their element here
        } else {
            drop(QStringLiteral("labels"), QString());
        }
    }
    leave();
    return text;
}

void TPnmlReader::readNodeGraphics(TItem& item)
{
    enter();
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("position")) {
            bool okX = false, okY = false;
            const double x = parseCoordinate(m_xml.attributes().value(QStringLiteral("x")), okX);
            const double y = parseCoordinate(m_xml.attributes().value(QStringLiteral("y")), okY);
            if (okX && okY) {
                item.HasPosition = true;
                item.Position = QPointF(x, y);
            }
        } else {
            item.HasStyle = true;
        }
        m_xml.skipCurrentElement();
    }
    leave();
}

void TPnmlReader::readArcGraphics(TItem& item)
{
    enter();
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("position")) {
            bool okX = false, okY = false;
            const double x = parseCoordinate(m_xml.attributes().value(QStringLiteral("x")), okX);
            const double y = parseCoordinate(m_xml.attributes().value(QStringLiteral("y")), okY);
            if (okX && okY)
                item.Bends.append(QPointF(x, y));
        } else {
            item.HasStyle = true;
        }
        m_xml.skipCurrentElement();
    }
    leave();
}

void TPnmlReader::readToolSpecific(TItem* owner)
{
    enter();
    const QString tool = m_xml.attributes().value(QStringLiteral("tool")).toString();
    if (tool != PnmlView::Tool()) {
        QString type;
        if (owner && owner->Kind == ikArc && findArcType(type)) {
            owner->ArcType = type;
        } else {
            if (!m_xml.isEndElement())
                m_xml.skipCurrentElement();
            m_warnings.Add(QStringLiteral("Tool-specific data of \"%1\" was dropped").arg(tool),
                           owner ? owner->Id : QString());
        }
        leave();
        return;
    }
    while (m_xml.readNextStartElement()) {
        const QStringView n = m_xml.name();
        if (n == QLatin1String("object")) {
            std::unique_ptr<TqibXMLNode> stored = readStored();
            if (!owner) {
                TItem item;
                item.Kind = ikObject;
                item.Line = stored->Line;
                item.Own = std::move(stored);
                Items.push_back(std::move(item));
            } else if (!owner->Own) {
                owner->Own = std::move(stored);
            } else {
                m_warnings.Add(QStringLiteral("Extra objects in this program's section of an element were "
                                              "ignored"),
                               owner->Id);
            }
        } else if (n == QLatin1String("simulate") && !owner) {
            readGraphs();
        } else {
            m_warnings.Add(QStringLiteral("Unknown parts of this program's own sections were ignored: <%1>")
                               .arg(n.toString()));
            m_xml.skipCurrentElement();
        }
    }
    leave();
}

// Another program's section of an arc: the first element named like a type
// (type, arcType, kind, ...) gives the type by its "value" attribute or its
// text. Consumes the section; false when there is none.
bool TPnmlReader::findArcType(QString& type)
{
    const int depth = m_depth;
    bool found = false;
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++m_depth > kMaxDepth + depth)
                fail(QStringLiteral("the elements are nested too deeply"));
            const QString n = m_xml.name().toString().toLower();
            if (!found && (n == QLatin1String("type") || n == QLatin1String("arctype") ||
                           n == QLatin1String("arckind") || n == QLatin1String("kind"))) {
                const QString value = m_xml.attributes().value(QStringLiteral("value")).toString();
                const QString text =
                    m_xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
                --m_depth;
                type = value.isEmpty() ? text : value;
                found = true;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (m_depth == depth)
                break;
            --m_depth;
        }
    }
    return found;
}

std::unique_ptr<TqibXMLNode> TPnmlReader::readStored()
{
    enter();
    auto node = std::make_unique<TqibXMLNode>(m_xml.name().toString());
    node->Line = static_cast<int>(m_xml.lineNumber());
    for (const QXmlStreamAttribute& a : m_xml.attributes())
        node->AddAttribute(a.qualifiedName().toString(), a.value().toString());
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::StartElement)
            node->AppendNode(readStored().release());
        else if (token == QXmlStreamReader::Characters && !m_xml.isWhitespace())
            node->Value += m_xml.text();
        else if (token == QXmlStreamReader::EndElement)
            break;
    }
    node->Value = node->Value.trimmed();
    leave();
    return node;
}

void TPnmlReader::readGraphs()
{
    enter();
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("graph"))
            Graphs << m_xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
        else
            m_xml.skipCurrentElement();
    }
    leave();
}

// ---- from items to a net ------------------------------------------------------------

class TPnmlImport
{
public:
    TPnmlImport(TPnmlReader& reader, TWarnings& warnings)
        : m_items(reader.Items), m_reader(reader), m_warnings(warnings)
    {
    }
    void Run(TQRVDesigner& designer, QStringList* loadWarnings);

private:
    const TqibXMLNode& templateOf(const QString& className);
    void indexIds();
    void resolveReferences();
    void checkOwnClasses();
    void resolveArcs();
    void nameItems();
    void placeNodes();
    void buildTree(TqibXMLTree& tree);
    void applyFileChanges(TQRVDesigner& designer);

    QString takeName(const QString& prefix, int& counter, bool withLabel);
    bool nameFree(const QString& name) const { return !m_taken.contains(NameKey(name)); }

    std::vector<TItem>& m_items;
    TPnmlReader& m_reader;
    TWarnings& m_warnings;
    QHash<QString, int> m_ids;
    QSet<QString> m_taken; // name keys in use
    TQRVDesigner m_scratch;
    std::map<QString, std::unique_ptr<TqibXMLNode>> m_templates;
    bool m_anyOwn = false;
};

const TqibXMLNode& TPnmlImport::templateOf(const QString& className)
{
    auto it = m_templates.find(className);
    if (it != m_templates.end())
        return *it->second;
    auto node = std::make_unique<TqibXMLNode>(QStringLiteral("object"));
    node->AddAttribute(QStringLiteral("class"), className);
    const TQRVClassInfo* cls = TQRVClassRegistry::Instance().Find(className);
    if (!cls)
        throw TNetFileError(QStringLiteral("The element class %1 is not registered.").arg(className));
    std::unique_ptr<TQRVObject> object(cls->Create(&m_scratch));
    dynamic_cast<IQRVStorable&>(*object).SaveToXml(*node);
    return *m_templates.emplace(className, std::move(node)).first->second;
}

void TPnmlImport::Run(TQRVDesigner& designer, QStringList* loadWarnings)
{
    indexIds();
    resolveReferences();
    checkOwnClasses();
    resolveArcs();
    nameItems();
    placeNodes();
    for (const TItem& item : m_items)
        if (item.HasStyle && !item.Own)
            m_warnings.Add(QStringLiteral("Drawing attributes (sizes, colours, lines, fonts) were not kept: "
                                          "elements are drawn in this program's style"),
                           item.Id);
    TqibXMLTree tree;
    buildTree(tree);
    LoadNet(designer, tree, loadWarnings);
    applyFileChanges(designer);
    if (m_reader.Pages > 1)
        m_warnings.Add(QStringLiteral("The net's %1 pages were drawn as one").arg(m_reader.Pages));
}

void TPnmlImport::indexIds()
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        const TItem& item = m_items[i];
        if (item.Kind == ikObject || item.Id.isEmpty())
            continue;
        if (m_ids.contains(item.Id))
            throw TNetFileError(
                QStringLiteral("Line %1: the id \"%2\" is given twice").arg(item.Line).arg(item.Id));
        m_ids.insert(item.Id, static_cast<int>(i));
    }
    for (const TItem& item : m_items)
        if (item.Own)
            m_anyOwn = true;
}

void TPnmlImport::resolveReferences()
{
    const int n = static_cast<int>(m_items.size());
    for (int i = 0; i < n; ++i) {
        TItem& item = m_items[static_cast<size_t>(i)];
        if (isNode(item.Kind)) {
            item.Resolved = i;
            continue;
        }
        if (item.Kind != ikRefPlace && item.Kind != ikRefTransition)
            continue;
        const TItemKind wanted = item.Kind == ikRefPlace ? ikPlace : ikTransition;
        const TItemKind wantedRef = item.Kind;
        int at = i;
        for (int steps = 0; steps <= n; ++steps) {
            const TItem& current = m_items[static_cast<size_t>(at)];
            const int next = m_ids.value(current.Ref, -1);
            if (next < 0)
                break;
            const TItemKind k = m_items[static_cast<size_t>(next)].Kind;
            if (k == wanted) {
                item.Resolved = next;
                break;
            }
            if (k != wantedRef)
                break;
            at = next;
        }
        if (item.Resolved < 0)
            m_warnings.Add(QStringLiteral("References that lead to no %1 were dropped, with their arcs")
                               .arg(kindWord(wanted)),
                           item.Id);
    }
}

void TPnmlImport::checkOwnClasses()
{
    const TQRVClassRegistry& registry = TQRVClassRegistry::Instance();
    for (TItem& item : m_items) {
        if (!item.Own || item.Kind == ikObject)
            continue;
        const TQRVClassInfo* cls = registry.Find(attributeOf(*item.Own, QStringLiteral("class")));
        const QMetaObject* base = item.Kind == ikPlace        ? &TclsNode::staticMetaObject
                                  : item.Kind == ikTransition ? &TclsTrans::staticMetaObject
                                                              : &TclsLink::staticMetaObject;
        if (cls && cls->Meta->inherits(base)) {
            item.ClassName = cls->ClassName();
            continue;
        }
        m_warnings.Add(
            QStringLiteral("This program's data of some elements did not fit them and was ignored"), item.Id);
        item.Own.reset();
    }
}

void TPnmlImport::resolveArcs()
{
    // Parallel ordinary arcs become one arc; key: ends and class.
    QHash<QString, int> ordinary;
    const int n = static_cast<int>(m_items.size());
    for (int i = 0; i < n; ++i) {
        TItem& arc = m_items[static_cast<size_t>(i)];
        if (arc.Kind != ikArc)
            continue;
        const QString where = arc.Id.isEmpty() ? arc.Source + QStringLiteral("->") + arc.Target : arc.Id;
        const int from = m_ids.value(arc.Source, -1);
        const int to = m_ids.value(arc.Target, -1);
        arc.From = from >= 0 ? m_items[static_cast<size_t>(from)].Resolved : -1;
        arc.To = to >= 0 ? m_items[static_cast<size_t>(to)].Resolved : -1;
        if (arc.From < 0 || arc.To < 0) {
            m_warnings.Add(QStringLiteral("Arcs whose source or target is no place or transition of the file "
                                          "were dropped"),
                           where);
            arc.Dropped = true;
            continue;
        }
        const TItemKind fromKind = m_items[static_cast<size_t>(arc.From)].Kind;
        const TItemKind toKind = m_items[static_cast<size_t>(arc.To)].Kind;
        if (fromKind == toKind) {
            m_warnings.Add(QStringLiteral("Arcs that join two places or two transitions were dropped"),
                           where);
            arc.Dropped = true;
            continue;
        }
        if (arc.Own)
            continue;

        const TArcType type = arcTypeOf(arc.ArcType);
        if (type == atReset) {
            m_warnings.Add(QStringLiteral("Reset arcs were dropped: this program has none"), where);
            arc.Dropped = true;
            continue;
        }
        if (type == atUnknown) {
            m_warnings.Add(QStringLiteral("Arcs of the unknown type \"%1\" were dropped").arg(arc.ArcType),
                           where);
            arc.Dropped = true;
            continue;
        }
        qint64 weight = 1;
        if (arc.HasInscription && !parseWhole(arc.Inscription, 1, weight)) {
            m_warnings.Add(
                QStringLiteral("Inscriptions that are no whole numbers of at least 1 were read as 1"), where);
            weight = 1;
        }
        arc.Weight = weight;
        if (type != atNormal && fromKind == ikTransition)
            std::swap(arc.From, arc.To); // inhibitor and read arcs always lead from the place
        switch (type) {
        case atInhibitor:
            arc.ClassName =
                weight > 1 ? QStringLiteral("TclsLinkIngibitorCounter") : QStringLiteral("TclsLinkIngibitor");
            break;
        case atTest:
            arc.ClassName = QStringLiteral("TclsLinkTest");
            break;
        default:
            arc.ClassName = QStringLiteral("TclsLinkNormal");
            break;
        }
        if (type == atNormal) {
            const QString key = QStringLiteral("%1 %2").arg(arc.From).arg(arc.To);
            const int first = ordinary.value(key, -1);
            if (first >= 0) {
                m_items[static_cast<size_t>(first)].Weight += weight;
                m_warnings.Add(QStringLiteral("Arcs with the same source and target were merged into one arc "
                                              "whose weight is their sum"),
                               where);
                arc.Dropped = true;
                continue;
            }
            ordinary.insert(key, i);
        }
    }
}

QString TPnmlImport::takeName(const QString& prefix, int& counter, bool withLabel)
{
    for (;; ++counter) {
        const QString name = prefix + QString::number(counter);
        if (!nameFree(name) || (withLabel && !nameFree(QStringLiteral("Text") + name)))
            continue;
        m_taken.insert(NameKey(name));
        if (withLabel)
            m_taken.insert(NameKey(QStringLiteral("Text") + name));
        ++counter;
        return name;
    }
}

void TPnmlImport::nameItems()
{
    // Names this program stored are kept when they are usable and unique.
    std::vector<TItem*> unnamed;
    for (TItem& item : m_items) {
        if (item.Dropped || (!isNode(item.Kind) && item.Kind != ikArc && item.Kind != ikObject))
            continue;
        if (!item.Own) {
            unnamed.push_back(&item);
            continue;
        }
        const QString name = attributeOf(*item.Own, QStringLiteral("name"));
        if (TQRVDesigner::IsValidName(name) && nameFree(name)) {
            item.FinalName = name;
            m_taken.insert(NameKey(name));
        } else {
            if (item.ClassName.isEmpty())
                item.ClassName = attributeOf(*item.Own, QStringLiteral("class"));
            m_warnings.Add(
                QStringLiteral("Elements whose name is used twice or is no valid name were renamed"), name);
            unnamed.push_back(&item);
        }
    }
    int places = 1, transitions = 1, arcs = 1, others = 1;
    for (TItem* item : unnamed) {
        switch (item->Kind) {
        case ikPlace:
            item->FinalName = takeName(item->Own && item->ClassName == QLatin1String("TclsNodeContinuous")
                                           ? QStringLiteral("b")
                                           : QStringLiteral("p"),
                                       places, !item->Own);
            break;
        case ikTransition:
            item->FinalName = takeName(QStringLiteral("t"), transitions, !item->Own);
            break;
        case ikArc:
            item->FinalName = takeName(QStringLiteral("L"), arcs, false);
            break;
        default:
            item->FinalName = takeName(QStringLiteral("Object"), others, false);
            break;
        }
        if (!item->Own) {
            if (item->Kind == ikPlace)
                item->ClassName = QStringLiteral("TclsNodeDiscrete");
            else if (item->Kind == ikTransition)
                item->ClassName = QStringLiteral("TclsTransTimed");
        }
    }
}

void TPnmlImport::placeNodes()
{
    std::vector<TItem*> foreign;
    for (TItem& item : m_items)
        if (isNode(item.Kind) && !item.Own)
            foreign.push_back(&item);
    if (foreign.empty())
        return;

    bool positioned = true;
    bool allEqual = foreign.size() > 1;
    for (const TItem* item : foreign) {
        positioned = positioned && item->HasPosition;
        allEqual = allEqual && item->HasPosition && item->Position == foreign.front()->Position;
    }
    if (positioned && !allEqual) {
        for (TItem* item : foreign)
            item->Centre = item->Position;
        if (m_anyOwn)
            return;
        // A net of another program: its top-left element at (40, 40).
        double minX = foreign.front()->Centre.x(), minY = foreign.front()->Centre.y();
        for (const TItem* item : foreign) {
            const TqibXMLNode& t = templateOf(item->ClassName);
            minX = std::min(minX, item->Centre.x() - realAttribute(t, QStringLiteral("width")) / 2);
            minY = std::min(minY, item->Centre.y() - realAttribute(t, QStringLiteral("height")) / 2);
        }
        const QPointF shift(std::round(40 - minX), std::round(40 - minY));
        for (TItem* item : foreign)
            item->Centre += shift;
        for (TItem& item : m_items)
            if (item.Kind == ikArc && !item.Own)
                for (QPointF& b : item.Bends)
                    b += shift;
        return;
    }

    // No usable positions: a layered drawing.
    QHash<const TItem*, int> index;
    TLayeredLayoutInput input;
    int longest = 0;
    for (const TItem* item : foreign) {
        index.insert(item, input.Count++);
        qint64 marking = 0;
        input.PreferredRoots << (item->Kind == ikPlace && parseWhole(item->Marking, 0, marking) &&
                                 marking > 0);
        longest = std::max(longest, static_cast<int>((item->Name.isEmpty() ? item->Id : item->Name).size()));
    }
    for (const TItem& arc : m_items) {
        if (arc.Kind != ikArc || arc.Dropped)
            continue;
        const int a = index.value(&m_items[static_cast<size_t>(arc.From)], -1);
        const int b = index.value(&m_items[static_cast<size_t>(arc.To)], -1);
        if (a >= 0 && b >= 0)
            input.Edges << qMakePair(a, b);
    }
    // Room for a label of the longest name beside each element.
    input.ColumnPitch = std::clamp(10.0 * std::ceil((50 + 7.0 * longest) / 10), 80.0, 240.0);
    input.RowPitch = 80;
    const QList<QPointF> centres = LayeredLayout(input);
    for (TItem* item : foreign) {
        item->Centre = centres.at(index.value(item));
        item->Bends.clear(); // bends drawn for other positions would only tangle
    }
    for (TItem& item : m_items)
        if (item.Kind == ikArc && !item.Own)
            item.Bends.clear();
}

void TPnmlImport::buildTree(TqibXMLTree& tree)
{
    for (TItem& item : m_items) {
        if (item.Dropped || item.Kind == ikRefPlace || item.Kind == ikRefTransition)
            continue;
        std::unique_ptr<TqibXMLNode> element = cloneNode(item.Own ? *item.Own : templateOf(item.ClassName));
        if (!item.Own)
            element->Line = item.Line;
        setAttribute(*element, QStringLiteral("name"), item.FinalName);
        if (item.Kind == ikArc) {
            const TItem& from = m_items[static_cast<size_t>(item.From)];
            const TItem& to = m_items[static_cast<size_t>(item.To)];
            setAttribute(*element, QStringLiteral("src"), from.FinalName);
            setAttribute(*element, QStringLiteral("dst"), to.FinalName);
            if (!item.Own) {
                if (TqibXMLNode* weight = element->GetNamedNode(QStringLiteral("weight"))) {
                    setAttribute(*weight, QStringLiteral("formula"), QString::number(item.Weight));
                    setAttribute(*weight, QStringLiteral("Value_Actual"), QString::number(item.Weight));
                }
                if (!item.Bends.isEmpty()) {
                    auto addPoint = [&](const QPointF& p, bool big) {
                        TqibXMLNode* point = element->AddNode(QStringLiteral("point"));
                        point->AddAttribute(QStringLiteral("x"), RealText(p.x()));
                        point->AddAttribute(QStringLiteral("y"), RealText(p.y()));
                        point->AddAttribute(QStringLiteral("big"),
                                            big ? QStringLiteral("1") : QStringLiteral("0"));
                    };
                    // The ends follow the places and transitions when the arc is drawn.
                    addPoint(from.Centre, true);
                    for (const QPointF& b : item.Bends) {
                        addPoint(b, false);
                        addPoint(b, true);
                    }
                    addPoint(item.Bends.last(), false);
                    addPoint(to.Centre, true);
                }
            }
        }
        if (isNode(item.Kind) && !item.Own) {
            const double width = realAttribute(*element, QStringLiteral("width"));
            const double height = realAttribute(*element, QStringLiteral("height"));
            const double left = item.Centre.x() - width / 2, top = item.Centre.y() - height / 2;
            setAttribute(*element, QStringLiteral("left"), RealText(left));
            setAttribute(*element, QStringLiteral("top"), RealText(top));
            if (item.Kind == ikPlace && item.HasMarking) {
                qint64 marking = 0;
                if (!parseWhole(item.Marking, 0, marking))
                    m_warnings.Add(
                        QStringLiteral("Initial markings that are no whole numbers of at least 0 were "
                                       "read as 0"),
                        item.Id);
                setAttribute(*element, QStringLiteral("markers"), QString::number(marking));
            }
            tree.AppendNode(element.release());

            // The name label, as a click would place it: right of the element, top-aligned.
            bool changed = false;
            QString text = storableName(item.Name, changed);
            if (changed)
                m_warnings.Add(
                    QStringLiteral("Names holding '\"', '<' or '>' got look-alike characters instead"),
                    item.Id);
            if (text.isEmpty())
                text = storableName(item.Id, changed);
            auto label = cloneNode(templateOf(QStringLiteral("TclsText")));
            label->Line = item.Line;
            setAttribute(*label, QStringLiteral("name"), QStringLiteral("Text") + item.FinalName);
            setAttribute(*label, QStringLiteral("left"), RealText(left + width + 10));
            setAttribute(*label, QStringLiteral("top"), RealText(top));
            setAttribute(*label, QStringLiteral("text"), text);
            tree.AppendNode(label.release());
            continue;
        }
        tree.AppendNode(element.release());
    }

    TqibXMLNode* simulate = tree.AddNode(QStringLiteral("simulate"));
    for (const QString& g : m_reader.Graphs) {
        if (!IsStorableText(g)) {
            m_warnings.Add(QStringLiteral("Simulation graphs whose names hold '\"', '<' or '>' were dropped"),
                           g);
            continue;
        }
        simulate->AddNode(QStringLiteral("graph"), g);
    }
}

// Elements this program exported come back as they were stored, unless
// another program changed what the standard part says about them since.
void TPnmlImport::applyFileChanges(TQRVDesigner& designer)
{
    for (const TItem& item : m_items) {
        if (!item.Own || item.Dropped || item.Kind == ikObject)
            continue;
        TQRVObject* object = designer.FindObject(item.FinalName);
        if (!object)
            continue;
        if (auto* node = qobject_cast<TQRVNode*>(object)) {
            const QPointF now = PnmlView::Position(*node);
            if (item.HasPosition && !(PnmlView::SameCoordinate(item.Position.x(), now.x()) &&
                                      PnmlView::SameCoordinate(item.Position.y(), now.y()))) {
                const QPointF d = item.Position - now;
                node->SetBoundsDirect(node->Left() + d.x(), node->Top() + d.y(), node->Width(),
                                      node->Height());
                if (TQRVObject* label = NameLabel::Find(*node))
                    label->SetBoundsDirect(label->Left() + d.x(), label->Top() + d.y(), label->Width(),
                                           label->Height());
            }
            if (auto* place = qobject_cast<TclsNode*>(node)) {
                qint64 marking = 0;
                if ((!item.HasMarking || parseWhole(item.Marking, 0, marking)) &&
                    marking != PnmlView::Marking(*place)) {
                    if (auto* discrete = qobject_cast<TclsNodeDiscrete*>(place))
                        discrete->SetTokensDirect(static_cast<double>(marking));
                    else if (auto* continuous = qobject_cast<TclsNodeContinuous*>(place))
                        continuous->SetLevelDirect(static_cast<double>(marking));
                }
            }
            bool changed = false;
            const QString name = storableName(item.Name, changed);
            if (!name.isEmpty() && name != PnmlView::Name(*node)) {
                if (!NameLabel::Find(*node))
                    NameLabel::Create(*node);
                if (auto* label = qobject_cast<TclsText*>(NameLabel::Find(*node)))
                    label->SetText(name);
            }
            continue;
        }
        auto* arc = qobject_cast<TclsLink*>(object);
        if (!arc)
            continue;
        qint64 weight = 1;
        if ((!item.HasInscription || parseWhole(item.Inscription, 1, weight)) &&
            weight != PnmlView::Inscription(*arc))
            arc->Weight()->TrySetFormula(QString::number(weight));
        const QList<QPointF> bends = PnmlView::Bends(*arc);
        bool same = bends.size() == item.Bends.size();
        for (int i = 0; same && i < bends.size(); ++i)
            same = PnmlView::SameCoordinate(bends.at(i).x(), item.Bends.at(i).x()) &&
                   PnmlView::SameCoordinate(bends.at(i).y(), item.Bends.at(i).y());
        if (same)
            continue;
        if (bends.size() == item.Bends.size()) {
            int b = 0;
            for (int i = 1; i + 1 < arc->Points().size(); ++i)
                if (TPivotPoint* p = arc->Points().at(i); p->Stationar()) {
                    p->SetX(item.Bends.at(b).x());
                    p->SetY(item.Bends.at(b).y());
                    ++b;
                }
        } else {
            arc->ClearPoints();
            if (!item.Bends.isEmpty()) {
                arc->AddPoint(0, 0, true);
                for (const QPointF& p : item.Bends) {
                    arc->AddPoint(p.x(), p.y(), false);
                    arc->AddPoint(p.x(), p.y(), true);
                }
                arc->AddPoint(0, 0, false);
                arc->AddPoint(0, 0, true);
            }
        }
        arc->IncludeState(osDirty);
    }
}

} // namespace

void ImportPnmlText(TQRVDesigner& designer, const QByteArray& text, QStringList* warnings)
{
    if (text.trimmed().isEmpty())
        throw TNetFileError(QStringLiteral("The file is empty."));
    TWarnings collected;
    TPnmlReader reader(text, collected);
    reader.Read();
    TPnmlImport import(reader, collected);
    QStringList loadWarnings;
    import.Run(designer, &loadWarnings);
    if (warnings) {
        *warnings << collected.Lines();
        *warnings << loadWarnings;
    }
}
