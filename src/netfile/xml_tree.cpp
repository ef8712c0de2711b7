#include "netfile/xml_tree.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include "model/numbers.h"
#include "model/safe_save.h"

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
    if (Value == QLatin1String("1") || Value == QLatin1String("0"))
        return Value == QLatin1String("1");
    return Value.toUpper() == QLatin1String("TRUE");
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
}

TqibXMLNode* TqibXMLNode::AddNode(const QString& name, const QString& value)
{
    auto* node = new TqibXMLNode(name, this);
    node->Value = value;
    m_nodes.append(node);
    return node;
}

void TqibXMLNode::AppendNode(TqibXMLNode* node)
{
    node->Parent = this;
    m_nodes.append(node);
}

void TqibXMLNode::AddAttribute(const QString& name, const QString& value)
{
    m_attributes.emplace_back(name, value);
}

TqibXMLAttribute* TqibXMLNode::GetAttribute(const QString& name) const
{
    for (const TqibXMLAttribute& a : m_attributes)
        if (a.Name == name)
            return const_cast<TqibXMLAttribute*>(&a);
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
    // The indentation, without a string of its own for every element.
    static const QString spaces(64, QLatin1Char(' '));
    const QString deep = 2 * level > spaces.size() ? QString(2 * level, QLatin1Char(' ')) : QString();
    const QStringView indent = deep.isEmpty() ? QStringView(spaces).left(2 * level) : QStringView(deep);
    out += indent;
    out += QLatin1Char('<');
    out += Name;
    for (const TqibXMLAttribute& a : m_attributes) {
        out += QLatin1Char(' ');
        out += a.Name;
        out += QLatin1String("=\"");
        out += a.Value;
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

// The text of a file is read either as it was decoded (UTF-16) or, for the
// common files in ASCII or Latin-1, straight from its bytes: both views of a
// text read the same.
char16_t at(QStringView text, qsizetype i)
{
    return text[i].unicode();
}

char16_t at(QLatin1StringView text, qsizetype i)
{
    return static_cast<uchar>(text.data()[i]);
}

bool isSpace(char16_t c)
{
    return QChar(c).isSpace();
}

// `text` without blanks at both ends.
template <class View> View trimmedView(View text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && isSpace(at(text, from)))
        ++from;
    while (to > from && isSpace(at(text, to - 1)))
        --to;
    return text.sliced(from, to - from);
}

// Names of elements and attributes repeat throughout a file: one shared
// string per name saves an allocation for each use.
class TNamePool
{
public:
    template <class View> QString Get(View name)
    {
        for (const QString& s : m_names)
            if (s.size() == name.size() && s == name)
                return s;
        QString s = name.toString();
        if (m_names.size() < 64)
            m_names.append(s);
        return s;
    }

private:
    QList<QString> m_names;
};

// Attribute values repeat too: numbers, flags, formula texts. Short values
// are shared through a table of the first few thousand met, so that a file
// of ever new values (coordinates, names) does not fill it.
template <class View> class TValuePool
{
public:
    QString Get(View value)
    {
        if (value.size() > kLongest)
            return value.toString();
        // The key views the characters of the text read (or of the stored
        // string), which never move while the text is read.
        const auto it = m_values.constFind(value);
        if (it != m_values.cend())
            return it.value();
        QString s = value.toString();
        if (m_values.size() < kMostValues)
            m_values.insert(value, s);
        return s;
    }

private:
    static constexpr qsizetype kLongest = 32;
    static constexpr qsizetype kMostValues = 4096;
    QHash<View, QString> m_values;
};

// A text as the reader sees it: every CR LF and tab a blank, blanks at both
// ends removed.
template <class View> QString normalised(View text)
{
    QString s = text.toString();
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return s.trimmed();
}

// Whether `text` reads differently once normalised (beyond its ends).
template <class View> bool needsNormalising(View text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = at(text, i);
        if (c == u'\t' || (c == u'\r' && i + 1 < n && at(text, i + 1) == u'\n'))
            return true;
    }
    return false;
}

// The first `c` in `text` from `from` on, or its size.
template <class View> qsizetype next(View text, qsizetype from, char16_t c)
{
    const qsizetype n = text.size();
    while (from < n && at(text, from) != c)
        ++from;
    return from;
}

// Parses the text of a tag (already normalised) into a new element.
template <class View, class Pool> void parseTag(TqibXMLNode* node, View tag, TNamePool& names, Pool& values)
{
    const qsizetype n = tag.size();
    const qsizetype blank = next(tag, 0, u' ');
    if (blank == n) {
        node->Name = names.Get(tag);
        return;
    }
    node->Name = names.Get(tag.first(blank));
    qsizetype equals = 0;
    for (qsizetype i = blank; i < n; ++i)
        equals += at(tag, i) == u'=';
    node->Attributes().reserve(equals);
    qsizetype p = blank;
    while (p < n) {
        const qsizetype eq = next(tag, p, u'=');
        if (eq == n)
            break;
        const qsizetype q1 = next(tag, eq + 1, u'"');
        if (q1 == n)
            break;
        const qsizetype q2 = next(tag, q1 + 1, u'"');
        if (q2 == n)
            break;
        node->AddAttribute(names.Get(trimmedView(tag.sliced(p, eq - p))),
                           values.Get(tag.sliced(q1 + 1, q2 - q1 - 1)));
        p = q2 + 1;
    }
}

} // namespace

template <class View> void TqibXMLTree::parse(View all, const TClosedElement& closed)
{
    ClearNodes();
    ClearAttributes();
    Value.clear();
    Name = QStringLiteral("root");
    m_openingTags = 0;
    m_unclosed = nullptr;
    m_topLevelTextLine = 0;
    m_lastLine = 1;

    // One pass: each token is taken into the tree as soon as it is found.
    const qsizetype n = all.size();
    TNamePool names;
    TValuePool<View> values;
    TqibXMLNode* current = this;
    int depth = 0; // of `current`
    bool anyToken = false;
    qsizetype p = 0;
    int line = 1;
    qsizetype lineCountedTo = 0; // text before this index has been counted
    auto lineAt = [&](qsizetype pos) {
        for (; lineCountedTo < pos && lineCountedTo < n; ++lineCountedTo)
            if (at(all, lineCountedTo) == u'\n')
                ++line;
        return line;
    };
    auto takeText = [&](qsizetype from, qsizetype to) {
        const View segment = all.sliced(from, to - from);
        if (trimmedView(segment).isEmpty())
            return;
        anyToken = true;
        if (current == this && m_topLevelTextLine == 0) {
            qsizetype first = from;
            while (isSpace(at(all, first)))
                ++first;
            m_topLevelTextLine = lineAt(first);
        }
        current->Value = normalised(segment);
        current->ValueType = 0;
    };
    // A tag's text read as it stands, or normalised into a string of its own.
    auto parseElement = [&](TqibXMLNode* node, View tag) {
        if (!needsNormalising(tag)) {
            parseTag(node, trimmedView(tag), names, values);
            return;
        }
        const QString buffer = normalised(tag);
        // Values are pooled by views of the text they came from: those of a
        // string that goes away must not be kept.
        TValuePool<QStringView> own;
        parseTag(node, QStringView(buffer), names, own);
    };

    while (p < n) {
        const qsizetype lt = all.indexOf(QLatin1Char('<'), p);
        if (lt < 0) {
            takeText(p, n);
            break;
        }
        takeText(p, lt);
        p = lt;
        if (p + 1 < n && at(all, p + 1) == u'!' &&
            all.sliced(p, std::min<qsizetype>(9, n - p))
                    .compare(QLatin1String("<![CDATA["), Qt::CaseInsensitive) == 0) {
            qsizetype end = all.indexOf(QLatin1String("]]>"), p + 1);
            const bool ended = end >= 0;
            if (!ended)
                end = n;
            QString data = all.sliced(p + 9, end - (p + 9)).toString();
            data.replace(QLatin1String("\r\n"), QLatin1String("\\n "));
            data.replace(QLatin1Char('\t'), QLatin1String("\\t "));
            anyToken = true;
            current->Value = data;
            current->ValueType = 1;
            p = ended ? end + 2 : n;
        } else {
            const qsizetype gt = all.indexOf(QLatin1Char('>'), p + 1);
            if (gt >= 0) {
                const View tag = all.sliced(p + 1, gt - p - 1);
                const int tagLine = lineAt(p);
                anyToken = true;
                if (!tag.isEmpty() && at(tag, 0) == u'/') {
                    if (current == this)
                        throw TXmlReadError(
                            QStringLiteral("Line %1: the closing tag </%2> has no element to close.")
                                .arg(tagLine)
                                .arg(normalised(tag.sliced(1))));
                    TqibXMLNode* done = current;
                    current = current->Parent;
                    --depth;
                    if (current == this && closed)
                        closed(*done);
                } else {
                    const bool empty = !tag.isEmpty() && at(tag, tag.size() - 1) == u'/';
                    auto* node = new TqibXMLNode;
                    current->AppendNode(node);
                    node->Line = tagLine;
                    parseElement(node, tag);
                    if (!empty) {
                        // The tree is walked and destroyed recursively: a
                        // damaged file must not nest deep enough to exhaust
                        // the stack.
                        if (++depth > MaxDepth)
                            throw TXmlReadError(
                                QStringLiteral("Line %1: the elements are nested too deeply.").arg(tagLine));
                        ++m_openingTags;
                        current = node;
                    } else if (current == this && closed) {
                        closed(*node);
                    }
                }
                p = gt;
            }
        }
        ++p;
    }

    qsizetype last = n - 1;
    while (last >= 0 && isSpace(at(all, last)))
        --last;
    m_lastLine = last >= 0 ? lineAt(last) : 1;
    if (!anyToken)
        throw TXmlReadError(QStringLiteral("The file holds no elements."));
    if (current != this)
        m_unclosed = current;
}

void TqibXMLTree::SetText(const QString& text, const TClosedElement& closed)
{
    parse(QStringView(text), closed);
}

namespace {

bool isAscii(const QByteArray& bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 128)
            return false;
    return true;
}

} // namespace

void TqibXMLTree::SetBytes(const QByteArray& bytes, const TClosedElement& closed)
{
    // Read as Decode reads: UTF-8 when the bytes are valid UTF-8 beyond
    // ASCII, Latin-1 otherwise (where each byte is its character).
    if (!isAscii(bytes)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError()) {
            parse(QStringView(text), closed);
            return;
        }
    }
    parse(QLatin1StringView(bytes), closed);
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
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(bytes);
    if (!utf8.hasError())
        return s;
    return QString::fromLatin1(bytes);
}

void TqibXMLTree::SaveToFile(const QString& fileName) const
{
    const QString error = SaveBytesSafely(fileName, Encode(Text()));
    if (!error.isEmpty())
        throw TXmlReadError(error);
}

void TqibXMLTree::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TXmlReadError(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    SetBytes(file.readAll());
}
