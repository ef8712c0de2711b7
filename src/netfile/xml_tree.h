// A small tree of elements with attributes and text values, written and read
// in the simple XML form of net files: tags, attributes in double quotes, text
// and CDATA sections; no declarations, comments, entities or namespaces, and
// closing tags are not matched against their opening tags.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

// A malformed number or another value that cannot be converted.
class TConvertError : public std::runtime_error
{
public:
    explicit TConvertError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message)
    {
    }
    QString Message;
};

class TqibXMLAttribute
{
public:
    TqibXMLAttribute() = default;
    TqibXMLAttribute(const QString& name, const QString& value) : Name(name), Value(value) {}
    QString Name;
    QString Value;

    QString AsString() const { return Value; }
    // "," is read as "."; a malformed number throws TConvertError.
    double AsFloat() const;
    int AsInteger() const;
    bool AsBoolean() const;
    QString AsXml() const;
};

class TqibXMLNode
{
public:
    explicit TqibXMLNode(const QString& name = QString(), TqibXMLNode* parent = nullptr);
    virtual ~TqibXMLNode();
    TqibXMLNode(const TqibXMLNode&) = delete;
    TqibXMLNode& operator=(const TqibXMLNode&) = delete;

    QString Name;
    QString Value;
    quint8 ValueType = 0; // 0 text, 1 CDATA
    TqibXMLNode* Parent = nullptr;
    int Line = 0; // line of the opening tag in the file read, 0 when unknown

    const QList<TqibXMLNode*>& Nodes() const { return m_nodes; }
    // The attributes in document order. Pointers to them (GetAttribute) stay
    // valid until the next attribute is added.
    const QList<TqibXMLAttribute>& Attributes() const { return m_attributes; }
    QList<TqibXMLAttribute>& Attributes() { return m_attributes; }

    TqibXMLNode* AddNode(const QString& name, const QString& value = QString());
    // Appends an element built elsewhere; this node takes ownership.
    void AppendNode(TqibXMLNode* node);
    void AddAttribute(const QString& name, const QString& value);
    // The first attribute of that exact name, or none.
    TqibXMLAttribute* GetAttribute(const QString& name) const;
    TqibXMLNode* GetNamedNode(const QString& name) const;
    TqibXMLNode* FindNamedNode(const QString& name) const;
    void FindNamedNodes(const QString& name, QList<TqibXMLNode*>& list) const;
    void ClearNodes();
    void ClearAttributes();

    QString AsXml(int level) const;
    void AppendXml(QString& out, int level) const;

private:
    QList<TqibXMLNode*> m_nodes;
    QList<TqibXMLAttribute> m_attributes;
};

// A file that cannot be read as a tree.
class TXmlReadError : public std::runtime_error
{
public:
    explicit TXmlReadError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message)
    {
    }
    QString Message;
};

class TqibXMLTree : public TqibXMLNode
{
public:
    TqibXMLTree();

    // The text of every top-level element (the root itself is not written).
    QString Text() const;
    // Elements nest at most this deep; net files use three levels.
    static constexpr int MaxDepth = 200;

    // Replaces the tree by what `text` holds. Throws TXmlReadError for a text
    // without any token, with a closing tag beyond the top level, or with
    // elements nested deeper than MaxDepth.
    // `closed`, when given, is called with each top-level element as soon as
    // it is complete (and may empty it).
    using TClosedElement = std::function<void(TqibXMLNode& element)>;
    void SetText(const QString& text, const TClosedElement& closed = {});
    // The same for the bytes of a file, read as Decode reads them; bytes in
    // ASCII or Latin-1 are read where they are, without a decoded copy.
    void SetBytes(const QByteArray& bytes, const TClosedElement& closed = {});

    // File forms. The text is stored in Latin-1 when every character fits,
    // in UTF-8 otherwise; reading takes UTF-8 when the bytes are valid UTF-8.
    // SaveToFile writes a temporary file beside the target and renames it over
    // the target only when it is complete. Both throw TXmlReadError on failure.
    void SaveToFile(const QString& fileName) const;
    void LoadFromFile(const QString& fileName);
    static QByteArray Encode(const QString& text);
    static QString Decode(const QByteArray& bytes);

    int OpeningTags() const { return m_openingTags; }
    // The innermost element that the text opened but never closed (a
    // truncated file), or none.
    const TqibXMLNode* UnclosedElement() const { return m_unclosed; }
    // The line of the first text outside every element, 0 when there is none.
    int TopLevelTextLine() const { return m_topLevelTextLine; }
    // The last line of the text that holds more than blanks (1 for a blank text).
    int LastLine() const { return m_lastLine; }

private:
    template <class View> void parse(View text, const TClosedElement& closed);

    int m_openingTags = 0;
    const TqibXMLNode* m_unclosed = nullptr;
    int m_topLevelTextLine = 0;
    int m_lastLine = 1;
};
