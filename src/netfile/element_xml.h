// Helpers with which the element classes store themselves in net files.
#pragma once

#include <QString>

#include <stdexcept>

class TQRVBrush;
class TQRVFont;
class TQRVFormula;
class TQRVObject;
class TQRVPen;
class TqibXMLAttribute;
class TqibXMLNode;

// A net file element that cannot be read. The message names the element,
// the attribute and the line.
class TNetFileError : public std::runtime_error
{
public:
    explicit TNetFileError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message)
    {
    }
    QString Message;
};

// Where an element stands in the file, for messages: line, class and name.
QString DescribeElement(const TqibXMLNode& element);
[[noreturn]] void ThrowElementError(const TqibXMLNode& element, const QString& what);

// Reading attributes: a missing required attribute or a malformed number
// throws TNetFileError; an optional one that is absent leaves `value` alone.
const TqibXMLAttribute& RequiredAttribute(const TqibXMLNode& element, const QString& name);
double ReadReal(const TqibXMLNode& element, const QString& name);
int ReadInteger(const TqibXMLNode& element, const QString& name);
bool ReadOptionalReal(const TqibXMLNode& element, const QString& name, double& value);
bool ReadOptionalInteger(const TqibXMLNode& element, const QString& name, int& value);
// A coordinate of a point: required, and within the range an object's
// position may take.
double ReadPosition(const TqibXMLNode& element, const QString& name);
bool ReadOptionalString(const TqibXMLNode& element, const QString& name, QString& value);
const TqibXMLNode& RequiredChild(const TqibXMLNode& element, const QString& name);

// The attributes every object writes after "class": name, left, top,
// width, height, group. Reading sets them directly (no setters, no updates).
void SaveCommonAttributes(const TQRVObject& object, TqibXMLNode& element);
void LoadCommonAttributes(TQRVObject& object, const TqibXMLNode& element);

// A formula as a child element holding "formula", "Value_Reference", "Value_Actual".
void SaveFormula(TqibXMLNode& element, const QString& childName, const TQRVFormula& formula);
// Reads the child when present; a required one that is missing throws.
void LoadFormula(const TqibXMLNode& element, const QString& childName, TQRVFormula& formula, bool required);

// font (name, size, color, style), pen (style, color), brush (style, color).
void SaveFont(TqibXMLNode& element, const TQRVFont& font);
void LoadFont(const TqibXMLNode& element, TQRVFont& font); // required, all four attributes
void SavePen(TqibXMLNode& element, const TQRVPen& pen);
void LoadPen(const TqibXMLNode& element, TQRVPen& pen); // optional
void SaveBrush(TqibXMLNode& element, const TQRVBrush& brush);
void LoadBrush(const TqibXMLNode& element, TQRVBrush& brush); // required, both attributes

// Reals as files write them (shortest general form, 15 digits).
QString RealText(double value);
