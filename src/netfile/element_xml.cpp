#include "netfile/element_xml.h"

#include <cmath>

#include "formula/formula.h"
#include "model/graphics_objects.h"
#include "model/numbers.h"
#include "model/qrv_object.h"
#include "netfile/xml_tree.h"

QString RealText(double value)
{
    return FormatGeneral(value, 15);
}

QString DescribeElement(const TqibXMLNode& element)
{
    // Find the object this element belongs to, for its class and name.
    const TqibXMLNode* object = &element;
    while (object && object->Name != QLatin1String("object"))
        object = object->Parent;
    QString where;
    if (element.Line > 0)
        where = QStringLiteral("Line %1: ").arg(element.Line);
    if (object) {
        const TqibXMLAttribute* cls = object->GetAttribute(QStringLiteral("class"));
        const TqibXMLAttribute* name = object->GetAttribute(QStringLiteral("name"));
        where += QStringLiteral("object");
        if (name)
            where += QStringLiteral(" \"%1\"").arg(name->Value);
        if (cls)
            where += QStringLiteral(" (%1)").arg(cls->Value);
        if (object != &element)
            where += QStringLiteral(", element <%1>").arg(element.Name);
    } else {
        where += QStringLiteral("element <%1>").arg(element.Name);
    }
    return where;
}

void ThrowElementError(const TqibXMLNode& element, const QString& what)
{
    throw TNetFileError(DescribeElement(element) + QStringLiteral(": ") + what);
}

const TqibXMLAttribute& RequiredAttribute(const TqibXMLNode& element, const QString& name)
{
    const TqibXMLAttribute* a = element.GetAttribute(name);
    if (!a)
        ThrowElementError(element, QStringLiteral("the attribute \"%1\" is missing").arg(name));
    return *a;
}

namespace {
double convertReal(const TqibXMLNode& element, const TqibXMLAttribute& a)
{
    try {
        return a.AsFloat();
    } catch (const TConvertError& e) {
        ThrowElementError(element, QStringLiteral("the attribute \"%1\": %2").arg(a.Name, e.Message));
    }
}

int convertInteger(const TqibXMLNode& element, const TqibXMLAttribute& a)
{
    try {
        return a.AsInteger();
    } catch (const TConvertError& e) {
        ThrowElementError(element, QStringLiteral("the attribute \"%1\": %2").arg(a.Name, e.Message));
    }
}
} // namespace

double ReadReal(const TqibXMLNode& element, const QString& name)
{
    return convertReal(element, RequiredAttribute(element, name));
}

int ReadInteger(const TqibXMLNode& element, const QString& name)
{
    return convertInteger(element, RequiredAttribute(element, name));
}

bool ReadOptionalReal(const TqibXMLNode& element, const QString& name, double& value)
{
    const TqibXMLAttribute* a = element.GetAttribute(name);
    if (!a)
        return false;
    value = convertReal(element, *a);
    return true;
}

bool ReadOptionalInteger(const TqibXMLNode& element, const QString& name, int& value)
{
    const TqibXMLAttribute* a = element.GetAttribute(name);
    if (!a)
        return false;
    value = convertInteger(element, *a);
    return true;
}

bool ReadOptionalString(const TqibXMLNode& element, const QString& name, QString& value)
{
    const TqibXMLAttribute* a = element.GetAttribute(name);
    if (!a)
        return false;
    value = a->Value;
    return true;
}

const TqibXMLNode& RequiredChild(const TqibXMLNode& element, const QString& name)
{
    const TqibXMLNode* child = element.GetNamedNode(name);
    if (!child)
        ThrowElementError(element, QStringLiteral("the child element <%1> is missing").arg(name));
    return *child;
}

void SaveCommonAttributes(const TQRVObject& object, TqibXMLNode& element)
{
    element.AddAttribute(QStringLiteral("name"), object.Name());
    element.AddAttribute(QStringLiteral("left"), RealText(object.Left()));
    element.AddAttribute(QStringLiteral("top"), RealText(object.Top()));
    element.AddAttribute(QStringLiteral("width"), RealText(object.Width()));
    element.AddAttribute(QStringLiteral("height"), RealText(object.Height()));
    element.AddAttribute(QStringLiteral("group"), object.Group());
}

namespace {
// Positions and sizes far beyond the drawing area cannot come from the editor;
// they would overflow the screen arithmetic or make a hit region take minutes.
constexpr double kMaxPosition = 1e6;
constexpr double kMaxExtent = 5e4;

double boundedReal(const TqibXMLNode& element, const TqibXMLAttribute& a, double limit)
{
    const double value = convertReal(element, a);
    if (std::abs(value) > limit)
        ThrowElementError(element, QStringLiteral("the attribute \"%1\": %2 is out of range (-%3 to %3)")
                                       .arg(a.Name, a.Value.trimmed(), RealText(limit)));
    return value;
}

// An optional attribute: `value` stays as it is when it is absent.
void readBoundedReal(const TqibXMLNode& element, const QString& name, double limit, double& value)
{
    if (const TqibXMLAttribute* a = element.GetAttribute(name))
        value = boundedReal(element, *a, limit);
}
} // namespace

double ReadPosition(const TqibXMLNode& element, const QString& name)
{
    return boundedReal(element, RequiredAttribute(element, name), kMaxPosition);
}

void LoadCommonAttributes(TQRVObject& object, const TqibXMLNode& element)
{
    object.SetNameDirect(RequiredAttribute(element, QStringLiteral("name")).Value);
    double left = object.Left(), top = object.Top(), width = object.Width(), height = object.Height();
    readBoundedReal(element, QStringLiteral("left"), kMaxPosition, left);
    readBoundedReal(element, QStringLiteral("top"), kMaxPosition, top);
    readBoundedReal(element, QStringLiteral("width"), kMaxExtent, width);
    readBoundedReal(element, QStringLiteral("height"), kMaxExtent, height);
    object.SetBoundsDirect(left, top, width, height);
    QString group;
    if (ReadOptionalString(element, QStringLiteral("group"), group))
        object.SetGroupDirect(group);
}

void SaveFormula(TqibXMLNode& element, const QString& childName, const TQRVFormula& formula)
{
    formula.SaveToXml(*element.AddNode(childName));
}

void LoadFormula(const TqibXMLNode& element, const QString& childName, TQRVFormula& formula, bool required)
{
    const TqibXMLNode* child = element.GetNamedNode(childName);
    if (!child) {
        if (required)
            ThrowElementError(element, QStringLiteral("the child element <%1> is missing").arg(childName));
        return;
    }
    try {
        formula.LoadFromXml(*child);
    } catch (const TConvertError& e) {
        ThrowElementError(*child, e.Message);
    }
}

void SaveFont(TqibXMLNode& element, const TQRVFont& font)
{
    TqibXMLNode* f = element.AddNode(QStringLiteral("font"));
    f->AddAttribute(QStringLiteral("name"), font.Name());
    f->AddAttribute(QStringLiteral("size"), QString::number(font.Size()));
    f->AddAttribute(QStringLiteral("color"), QString::number(font.ColorValue()));
    f->AddAttribute(QStringLiteral("style"), QString::number(static_cast<int>(font.Style())));
}

void LoadFont(const TqibXMLNode& element, TQRVFont& font)
{
    const TqibXMLNode& f = RequiredChild(element, QStringLiteral("font"));
    const QString name = RequiredAttribute(f, QStringLiteral("name")).Value;
    const int size = ReadInteger(f, QStringLiteral("size"));
    const int color = ReadInteger(f, QStringLiteral("color"));
    const int style = ReadInteger(f, QStringLiteral("style"));
    font.SetNameDirect(name);
    font.SetSize(size);
    font.SetColorValue(color);
    font.SetStyle(Qrv::TFontStyles(style & 0x0F));
}

void SavePen(TqibXMLNode& element, const TQRVPen& pen)
{
    TqibXMLNode* p = element.AddNode(QStringLiteral("pen"));
    p->AddAttribute(QStringLiteral("style"), QString::number(static_cast<int>(pen.Style())));
    p->AddAttribute(QStringLiteral("color"), QString::number(pen.ColorValue()));
}

void LoadPen(const TqibXMLNode& element, TQRVPen& pen)
{
    const TqibXMLNode* p = element.GetNamedNode(QStringLiteral("pen"));
    if (!p)
        return;
    int style = 0, color = 0;
    if (ReadOptionalInteger(*p, QStringLiteral("style"), style) && style >= Qrv::psSolid &&
        style <= Qrv::psInsideFrame)
        pen.SetStyle(static_cast<Qrv::TPenStyle>(style));
    if (ReadOptionalInteger(*p, QStringLiteral("color"), color))
        pen.SetColorValue(color);
}

void SaveBrush(TqibXMLNode& element, const TQRVBrush& brush)
{
    TqibXMLNode* b = element.AddNode(QStringLiteral("brush"));
    b->AddAttribute(QStringLiteral("style"), QString::number(static_cast<int>(brush.Style())));
    b->AddAttribute(QStringLiteral("color"), QString::number(brush.ColorValue()));
}

void LoadBrush(const TqibXMLNode& element, TQRVBrush& brush)
{
    const TqibXMLNode& b = RequiredChild(element, QStringLiteral("brush"));
    const int style = ReadInteger(b, QStringLiteral("style"));
    const int color = ReadInteger(b, QStringLiteral("color"));
    if (style < Qrv::bsSolid || style > Qrv::bsDiagCross)
        ThrowElementError(b, QStringLiteral("the attribute \"style\": %1 is not a brush style").arg(style));
    brush.SetStyle(static_cast<Qrv::TBrushStyle>(style));
    brush.SetColorValue(color);
}
