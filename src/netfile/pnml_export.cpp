// Writing nets as PNML place/transition nets. Every place, transition and arc
// is written as the standard has it; what the standard has no place for (the
// classes, formulas, sizes, annotation objects, simulation graphs) goes into
// sections of this program, so that its own files come back without loss.
#include <QSet>
#include <QXmlStreamWriter>

#include <vector>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/name_label.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"
#include "netfile/element_xml.h"
#include "netfile/pnml.h"
#include "netfile/pnml_view.h"
#include "netfile/xml_tree.h"

namespace {

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// An NCName for an id: letters, digits, '_', '-', '.'; not starting with a digit.
QString idFrom(const QString& text)
{
    QString id;
    for (QChar c : text)
        id += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'_' || c == u'-' || c == u'.' ? c : u'_';
    if (id.isEmpty() || !(id.at(0).isLetter() || id.at(0) == u'_'))
        id.prepend(u'_');
    return id;
}

// Coordinates as PNML's decimals: never with an exponent.
QString decimal(double value)
{
    const QString general = RealText(value);
    if (!general.contains(u'E'))
        return general;
    QString fixed = QString::number(value, 'f', 6);
    while (fixed.endsWith(u'0'))
        fixed.chop(1);
    if (fixed.endsWith(u'.'))
        fixed.chop(1);
    return fixed == QLatin1String("-0") ? QStringLiteral("0") : fixed;
}

class TPnmlWriter
{
public:
    explicit TPnmlWriter(const TQRVDesigner& designer) : m_designer(designer), m_xml(&m_bytes)
    {
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(2);
    }

    QByteArray Write(const QString& netName, QStringList* warnings);

private:
    void start(const QString& name) { m_xml.writeStartElement(PnmlView::Namespace(), name); }
    void end() { m_xml.writeEndElement(); }
    void textLabel(const QString& label, const QString& text);
    void position(const QString& element, const QPointF& p);
    QString safe(const QString& text);
    void writeStored(const TqibXMLNode& element);
    void writeOwn(const QList<const TQRVObject*>& objects);
    void writePlace(const TclsNode& place);
    void writeTransition(const TclsTrans& transition);
    void writeArc(const TclsLink& arc);
    void writeName(const TQRVObject& node);
    void writeNodeGraphics(const TQRVObject& node);
    QString uniqueId(const QString& wanted);

    const TQRVDesigner& m_designer;
    QByteArray m_bytes;
    QXmlStreamWriter m_xml;
    QSet<QString> m_ids;
    int m_otherArcs = 0;
    int m_continuousNodes = 0;
    int m_rounded = 0;
    int m_unsafe = 0;
};

QString TPnmlWriter::safe(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool replaced = false;
    for (char32_t c : text.toUcs4()) {
        if (isXmlChar(c)) {
            out += QString::fromUcs4(&c, 1);
        } else {
            out += QChar(0xFFFD);
            replaced = true;
        }
    }
    if (replaced)
        ++m_unsafe;
    return out;
}

void TPnmlWriter::textLabel(const QString& label, const QString& text)
{
    start(label);
    m_xml.writeTextElement(PnmlView::Namespace(), QStringLiteral("text"), safe(text));
    end();
}

void TPnmlWriter::position(const QString& element, const QPointF& p)
{
    m_xml.writeEmptyElement(PnmlView::Namespace(), element);
    m_xml.writeAttribute(QStringLiteral("x"), decimal(p.x()));
    m_xml.writeAttribute(QStringLiteral("y"), decimal(p.y()));
}

// An element as the net file stores it; a repeated attribute is written once
// (XML allows no repetition, and readers take the first anyway).
void TPnmlWriter::writeStored(const TqibXMLNode& element)
{
    start(element.Name);
    QSet<QString> written;
    for (const TqibXMLAttribute& a : element.Attributes()) {
        if (written.contains(a.Name))
            continue;
        written.insert(a.Name);
        m_xml.writeAttribute(a.Name, safe(a.Value));
    }
    if (!element.Value.isEmpty())
        m_xml.writeCharacters(safe(element.Value));
    for (const TqibXMLNode* child : element.Nodes())
        writeStored(*child);
    end();
}

void TPnmlWriter::writeOwn(const QList<const TQRVObject*>& objects)
{
    if (objects.isEmpty())
        return;
    start(QStringLiteral("toolspecific"));
    m_xml.writeAttribute(QStringLiteral("tool"), PnmlView::Tool());
    m_xml.writeAttribute(QStringLiteral("version"), PnmlView::ToolVersion());
    for (const TQRVObject* o : objects) {
        TqibXMLNode element(QStringLiteral("object"));
        element.AddAttribute(QStringLiteral("class"), o->ClassName());
        dynamic_cast<const IQRVStorable&>(*o).SaveToXml(element);
        writeStored(element);
    }
    end();
}

void TPnmlWriter::writeName(const TQRVObject& node)
{
    start(QStringLiteral("name"));
    m_xml.writeTextElement(PnmlView::Namespace(), QStringLiteral("text"), safe(PnmlView::Name(node)));
    if (const TQRVObject* label = NameLabel::Find(node)) {
        // Where the label stands: its centre from the element's.
        const QPointF c(label->Left() + label->Width() / 2, label->Top() + label->Height() / 2);
        start(QStringLiteral("graphics"));
        position(QStringLiteral("offset"), c - PnmlView::Position(node));
        end();
    }
    end();
}

void TPnmlWriter::writeNodeGraphics(const TQRVObject& node)
{
    start(QStringLiteral("graphics"));
    position(QStringLiteral("position"), PnmlView::Position(node));
    position(QStringLiteral("dimension"), QPointF(node.Width(), node.Height()));
    end();
}

void TPnmlWriter::writePlace(const TclsNode& place)
{
    start(QStringLiteral("place"));
    m_xml.writeAttribute(QStringLiteral("id"), place.Name());
    writeName(place);
    writeNodeGraphics(place);
    const qint64 marking = PnmlView::Marking(place);
    if (static_cast<double>(marking) != place.Value())
        ++m_rounded;
    if (marking > 0) {
        start(QStringLiteral("initialMarking"));
        m_xml.writeTextElement(PnmlView::Namespace(), QStringLiteral("text"), QString::number(marking));
        end();
    }
    if (place.IsContinuous)
        ++m_continuousNodes;
    writeOwn({&place});
    end();
}

void TPnmlWriter::writeTransition(const TclsTrans& transition)
{
    start(QStringLiteral("transition"));
    m_xml.writeAttribute(QStringLiteral("id"), transition.Name());
    writeName(transition);
    writeNodeGraphics(transition);
    if (transition.IsContinuous)
        ++m_continuousNodes;
    writeOwn({&transition});
    end();
}

void TPnmlWriter::writeArc(const TclsLink& arc)
{
    start(QStringLiteral("arc"));
    m_xml.writeAttribute(QStringLiteral("id"), arc.Name());
    m_xml.writeAttribute(QStringLiteral("source"), arc.SourceObject()->Name());
    m_xml.writeAttribute(QStringLiteral("target"), arc.DestObject()->Name());
    const qint64 inscription = PnmlView::Inscription(arc);
    double weight = 0;
    if (!arc.Weight()->TryValue(weight) || weight != static_cast<double>(inscription))
        ++m_rounded;
    if (inscription != 1) {
        start(QStringLiteral("inscription"));
        m_xml.writeTextElement(PnmlView::Namespace(), QStringLiteral("text"), QString::number(inscription));
        end();
    }
    const QList<QPointF> bends = PnmlView::Bends(arc);
    if (!bends.isEmpty()) {
        start(QStringLiteral("graphics"));
        for (const QPointF& b : bends)
            position(QStringLiteral("position"), b);
        end();
    }
    if (arc.Kind() != lkNormal)
        ++m_otherArcs;
    writeOwn({&arc});
    end();
}

QString TPnmlWriter::uniqueId(const QString& wanted)
{
    QString id = wanted;
    for (int n = 2; m_ids.contains(NameKey(id)); ++n)
        id = wanted + QString::number(n);
    m_ids.insert(NameKey(id));
    return id;
}

QByteArray TPnmlWriter::Write(const QString& netName, QStringList* warnings)
{
    for (const TQRVObject* o : m_designer.ObjectList())
        m_ids.insert(NameKey(o->Name()));
    const QString name = netName.isEmpty() ? QStringLiteral("net") : netName;

    m_xml.writeStartDocument();
    m_xml.writeDefaultNamespace(PnmlView::Namespace());
    start(QStringLiteral("pnml"));
    start(QStringLiteral("net"));
    m_xml.writeAttribute(QStringLiteral("id"), uniqueId(idFrom(name)));
    m_xml.writeAttribute(QStringLiteral("type"), PnmlView::PtNetType());
    textLabel(QStringLiteral("name"), name);
    start(QStringLiteral("page"));
    m_xml.writeAttribute(QStringLiteral("id"), uniqueId(QStringLiteral("page1")));

    // In the order of the net, so that it comes back in that order; runs of
    // objects the standard has no place for share one section.
    QList<const TQRVObject*> pending;
    for (const TQRVObject* o : m_designer.ObjectList()) {
        if (!dynamic_cast<const IQRVStorable*>(o))
            continue;
        const auto* place = qobject_cast<const TclsNode*>(o);
        const auto* transition = qobject_cast<const TclsTrans*>(o);
        const bool arc = PnmlView::IsPnmlArc(*o);
        if (!place && !transition && !arc) {
            pending << o;
            continue;
        }
        writeOwn(pending);
        pending.clear();
        if (place)
            writePlace(*place);
        else if (transition)
            writeTransition(*transition);
        else
            writeArc(*static_cast<const TclsLink*>(o));
    }
    writeOwn(pending);
    end(); // page

    if (!m_designer.Graphs.isEmpty()) {
        start(QStringLiteral("toolspecific"));
        m_xml.writeAttribute(QStringLiteral("tool"), PnmlView::Tool());
        m_xml.writeAttribute(QStringLiteral("version"), PnmlView::ToolVersion());
        start(QStringLiteral("simulate"));
        for (const QString& g : m_designer.Graphs)
            m_xml.writeTextElement(PnmlView::Namespace(), QStringLiteral("graph"), safe(g));
        end();
        end();
    }
    end(); // net
    end(); // pnml
    m_xml.writeEndDocument();

    if (warnings) {
        if (m_otherArcs > 0)
            *warnings << QStringLiteral(
                             "PNML knows only ordinary arcs: other programs read the %1 inhibitor, "
                             "test, continuous and flow arcs as ordinary ones.")
                             .arg(m_otherArcs);
        if (m_continuousNodes > 0)
            *warnings << QStringLiteral(
                             "PNML knows no continuous places and transitions: other programs read "
                             "the %1 continuous elements as discrete ones.")
                             .arg(m_continuousNodes);
        if (m_rounded > 0)
            *warnings << QStringLiteral("PNML knows only whole numbers of tokens: other programs read %1 "
                                        "markings and arc weights rounded.")
                             .arg(m_rounded);
        if (m_unsafe > 0)
            *warnings << QStringLiteral("%1 texts held characters that XML cannot carry; they were replaced.")
                             .arg(m_unsafe);
    }
    return m_bytes;
}

} // namespace

QByteArray ExportPnmlText(const TQRVDesigner& designer, const QString& netName, QStringList* warnings)
{
    TPnmlWriter writer(designer);
    return writer.Write(netName, warnings);
}
