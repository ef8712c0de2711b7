#include "netfile/xml_tree.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "model/numbers.h"

// ---- attributes -------------------------------------------------------------

double TqibXMLAttribute::AsFloat() const
{
    double v = 0;
    if (!ParseReal(Value, v))
        throw TConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(Value));
    return v;
}

int TqibXMLAttribute::AsInteger() const
{
    int v = 0;
    if (!ParseInteger(Value, v))
        throw TConvertError(QStringLiteral("'%1' is not a valid integer value").arg(Value));
    return v;
}

bool TqibXMLAttribute::AsBoolean() const
{
    return Value.toUpper() == QLatin1String("TRUE") || Value == QLatin1String("1");
}

QString TqibXMLAttribute::AsXml() const
{
    return QLatin1Char(' ') + Name + QLatin1String("=\"") + Value + QLatin1Char('"');
}

// ---- nodes ------------------------------------------------------------------

TqibXMLNode::TqibXMLNode(const QString& name, TqibXMLNode* parent) : Name(name), Parent(parent) {}

TqibXMLNode::~TqibXMLNode()
{
    ClearNodes();
    ClearAttributes();
}

TqibXMLNode* TqibXMLNode::AddNode(const QString& name, const QString& value)
{
    auto* node = new TqibXMLNode(name, this);
    node->Value = value;
    m_nodes.append(node);
    return node;
}

TqibXMLAttribute* TqibXMLNode::AddAttribute(const QString& name, const QString& value)
{
    auto* a = new TqibXMLAttribute(name, value);
    m_attributes.append(a);
    return a;
}

TqibXMLAttribute* TqibXMLNode::GetAttribute(const QString& name) const
{
    for (TqibXMLAttribute* a : m_attributes)
        if (a->Name == name)
            return a;
    return nullptr;
}

TqibXMLNode* TqibXMLNode::GetNamedNode(const QString& name) const
{
    for (TqibXMLNode* n : m_nodes)
        if (n->Name == name)
            return n;
    return nullptr;
}

TqibXMLNode* TqibXMLNode::FindNamedNode(const QString& name) const
{
    for (TqibXMLNode* n : m_nodes) {
        if (n->Name == name)
            return n;
        if (TqibXMLNode* found = n->FindNamedNode(name))
            return found;
    }
    return nullptr;
}

void TqibXMLNode::FindNamedNodes(const QString& name, QList<TqibXMLNode*>& list) const
{
    for (TqibXMLNode* n : m_nodes) {
        if (n->Name == name)
            list.append(n);
        n->FindNamedNodes(name, list);
    }
}

void TqibXMLNode::ClearNodes()
{
    qDeleteAll(m_nodes);
    m_nodes.clear();
}

void TqibXMLNode::ClearAttributes()
{
    qDeleteAll(m_attributes);
    m_attributes.clear();
}

QString TqibXMLNode::AsXml(int level) const
{
    QString s;
    AppendXml(s, level);
    return s;
}

void TqibXMLNode::AppendXml(QString& out, int level) const
{
    static const QLatin1String crlf("\r\n");
    const QString indent(2 * level, QLatin1Char(' '));
    out += indent;
    out += QLatin1Char('<');
    out += Name;
    for (const TqibXMLAttribute* a : m_attributes) {
        out += QLatin1Char(' ');
        out += a->Name;
        out += QLatin1String("=\"");
        out += a->Value;
        out += QLatin1Char('"');
    }
    if (m_nodes.isEmpty() && Value.isEmpty()) {
        out += QLatin1String(" />");
        out += crlf;
        return;
    }
    out += QLatin1Char('>');
    out += crlf;
    if (!Value.isEmpty()) {
        out += indent;
        out += QLatin1String("  ");
        if (ValueType == 0) {
            out += Value;
        } else {
            QString v = Value;
            v.replace(QLatin1String("\\n "), crlf);
            v.replace(QLatin1String("\\t "), QLatin1String("\t"));
            out += QLatin1String("<![CDATA[");
            out += v;
            out += QLatin1String("]]>");
        }
        out += crlf;
    }
    for (const TqibXMLNode* n : m_nodes)
        n->AppendXml(out, level + 1);
    out += indent;
    out += QLatin1String("</");
    out += Name;
    out += QLatin1Char('>');
    out += crlf;
}

// ---- the tree ---------------------------------------------------------------

TqibXMLTree::TqibXMLTree() : TqibXMLNode(QString()) {}

QString TqibXMLTree::Text() const
{
    QString s;
    s.reserve(4096);
    for (const TqibXMLNode* n : Nodes())
        n->AppendXml(s, 0);
    return s;
}

namespace {

enum TTokenKind { tkText, tkCData, tkOpen, tkEmpty, tkClose };

struct TToken
{
    TTokenKind Kind;
    QString Text;
    int Line;
};

QString normalised(QStringView text)
{
    QString s = text.toString();
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return s.trimmed();
}

// Parses the text of a tag into a new element.
void parseTag(TqibXMLNode* node, const QString& tag)
{
    const int blank = tag.indexOf(QLatin1Char(' '));
    if (blank < 0) {
        node->Name = tag;
        return;
    }
    node->Name = tag.left(blank);
    int p = blank;
    const int n = tag.size();
    while (p < n) {
        const int eq = tag.indexOf(QLatin1Char('='), p);
        if (eq < 0)
            break;
        const int q1 = tag.indexOf(QLatin1Char('"'), eq + 1);
        if (q1 < 0)
            break;
        const int q2 = tag.indexOf(QLatin1Char('"'), q1 + 1);
        if (q2 < 0)
            break;
        node->AddAttribute(tag.mid(p, eq - p).trimmed(), tag.mid(q1 + 1, q2 - q1 - 1));
        p = q2 + 1;
    }
}

} // namespace

void TqibXMLTree::SetText(const QString& text)
{
    ClearNodes();
    ClearAttributes();
    Value.clear();
    Name = QStringLiteral("root");
    m_openingTags = 0;
    m_unclosed = nullptr;

    // Tokenizing.
    QList<TToken> tokens;
    const int n = text.size();
    int p = 0;
    int line = 1;
    int lineCountedTo = 0; // text before this index has been counted
    auto lineAt = [&](int pos) {
        for (; lineCountedTo < pos && lineCountedTo < n; ++lineCountedTo)
            if (text.at(lineCountedTo) == QLatin1Char('\n'))
                ++line;
        return line;
    };
    while (p < n) {
        const int lt = text.indexOf(QLatin1Char('<'), p);
        if (lt < 0) {
            const QString rest = normalised(QStringView(text).mid(p));
            if (!rest.isEmpty())
                tokens.append({tkText, rest, lineAt(p)});
            break;
        }
        const QString before = normalised(QStringView(text).mid(p, lt - p));
        if (!before.isEmpty())
            tokens.append({tkText, before, lineAt(p)});
        p = lt;
        if (QStringView(text).mid(p, 9).compare(QLatin1String("<![CDATA["), Qt::CaseInsensitive) == 0) {
            int end = text.indexOf(QLatin1String("]]>"), p + 1);
            const bool closed = end >= 0;
            if (!closed)
                end = n;
            QString data = text.mid(p + 9, end - (p + 9));
            data.replace(QLatin1String("\r\n"), QLatin1String("\\n "));
            data.replace(QLatin1Char('\t'), QLatin1String("\\t "));
            tokens.append({tkCData, data, lineAt(p)});
            p = closed ? end + 2 : n;
        } else {
            const int gt = text.indexOf(QLatin1Char('>'), p + 1);
            if (gt >= 0) {
                QString tag = text.mid(p + 1, gt - p - 1);
                const int tagLine = lineAt(p);
                if (tag.startsWith(QLatin1Char('/'))) {
                    tokens.append({tkClose, normalised(QStringView(tag).mid(1)), tagLine});
                } else if (tag.endsWith(QLatin1Char('/'))) {
                    tokens.append({tkEmpty, normalised(tag), tagLine});
                } else {
                    tokens.append({tkOpen, normalised(tag), tagLine});
                    ++m_openingTags;
                }
                p = gt;
            }
        }
        ++p;
    }

    if (tokens.isEmpty())
        throw TXmlReadError(QStringLiteral("The file holds no elements."));

    // Building the tree.
    TqibXMLNode* current = this;
    for (const TToken& t : tokens) {
        switch (t.Kind) {
        case tkOpen:
        case tkEmpty: {
            TqibXMLNode* node = current->AddNode(QString());
            node->Line = t.Line;
            parseTag(node, t.Text);
            if (t.Kind == tkOpen)
                current = node;
            break;
        }
        case tkClose:
            if (current == this)
                throw TXmlReadError(QStringLiteral("Line %1: the closing tag </%2> has no element to close.")
                                        .arg(t.Line)
                                        .arg(t.Text));
            current = current->Parent;
            break;
        case tkText:
            current->Value = t.Text;
            current->ValueType = 0;
            break;
        case tkCData:
            current->Value = t.Text;
            current->ValueType = 1;
            break;
        }
    }
    if (current != this)
        m_unclosed = current;
}

QByteArray TqibXMLTree::Encode(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 255)
            return text.toUtf8();
    return text.toLatin1();
}

QString TqibXMLTree::Decode(const QByteArray& bytes)
{
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 128) {
            ascii = false;
            break;
        }
    if (ascii)
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(bytes);
    if (!utf8.hasError())
        return s;
    return QString::fromLatin1(bytes);
}

void TqibXMLTree::SaveToFile(const QString& fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw TXmlReadError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
    const QByteArray bytes = Encode(Text());
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw TXmlReadError(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
}

void TqibXMLTree::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TXmlReadError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    SetText(Decode(file.readAll()));
}
