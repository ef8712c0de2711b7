// Element classes made for the inspector's tests: one property of every kind
// the inspector edits.
#pragma once

#include <QColor>
#include <QStringList>

#include "formula/formula.h"
#include "model/graphics_objects.h"
#include "model/interfaces.h"
#include "model/qrv_object.h"
#include "model/types.h"
#include "stored_properties.h"

class TTestElement : public TQRVObject, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(Qrv::TObjSize Size READ Size WRITE SetSize)
    Q_PROPERTY(Qrv::TFontStyles Styles READ Styles WRITE SetStyles)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TQRVFont* Font READ Font)
    Q_PROPERTY(TQRVPen* Pen READ Pen)
    Q_PROPERTY(TQRVBrush* Brush READ Brush)
    Q_PROPERTY(TQRVFormula* Weight READ Weight)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(double Computed READ Computed)

public:
    explicit TTestElement(TQRVDesigner* designer)
        : TQRVObject(designer), m_font(new TQRVFont(this)), m_pen(new TQRVPen(this)),
          m_brush(new TQRVBrush(this)), m_weight(new TQRVFormula(this))
    {
    }
    QString GetNamePrefix() const override { return QStringLiteral("e"); }
    QRV_TEST_STORABLE

    int Count() const { return m_count; }
    void SetCount(int v) { m_count = v; }
    double Ratio() const { return m_ratio; }
    void SetRatio(double v) { m_ratio = v; }
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& v) { m_caption = v; }
    Qrv::TObjSize Size() const { return m_size; }
    void SetSize(Qrv::TObjSize v) { m_size = v; }
    Qrv::TFontStyles Styles() const { return m_styles; }
    void SetStyles(Qrv::TFontStyles v) { m_styles = v; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool v) { m_visible = v; }
    QColor Color() const { return m_color; }
    void SetColor(const QColor& c) { m_color = c; }
    TQRVFont* Font() const { return m_font; }
    TQRVPen* Pen() const { return m_pen; }
    TQRVBrush* Brush() const { return m_brush; }
    TQRVFormula* Weight() const { return m_weight; }
    QStringList Lines() const { return m_lines; }
    void SetLines(const QStringList& v) { m_lines = v; }
    int Tag() const { return 0; }
    void SetTag(int) {}
    double Computed() const { return 42; }

private:
    int m_count = 0;
    double m_ratio = 0.5;
    QString m_caption;
    Qrv::TObjSize m_size = Qrv::osNormal;
    Qrv::TFontStyles m_styles;
    bool m_visible = false;
    QColor m_color = Qt::black;
    TQRVFont* m_font;
    TQRVPen* m_pen;
    TQRVBrush* m_brush;
    TQRVFormula* m_weight;
    QStringList m_lines;
};

// A plain sub-object that publishes a formula.
class TTestSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TQRVFormula* Limit READ Limit)

public:
    explicit TTestSettings(TQRVObject* owner) : QObject(owner), m_limit(new TQRVFormula(owner)) {}
    TQRVFormula* Limit() const { return m_limit; }

private:
    TQRVFormula* m_limit;
};

// Shares some properties with TTestElement; `Caption` has another type.
class TTestOther : public TQRVObject, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
    Q_PROPERTY(int Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(Qrv::TObjSize Size READ Size WRITE SetSize)
    Q_PROPERTY(TQRVFormula* Weight READ Weight)
    Q_PROPERTY(short Small READ Small WRITE SetSmall)
    Q_PROPERTY(TTestSettings* Settings READ Settings)

public:
    explicit TTestOther(TQRVDesigner* designer)
        : TQRVObject(designer), m_weight(new TQRVFormula(this)), m_settings(new TTestSettings(this))
    {
    }
    QString GetNamePrefix() const override { return QStringLiteral("o"); }
    QRV_TEST_STORABLE

    int Count() const { return m_count; }
    void SetCount(int v) { m_count = v; }
    double Ratio() const { return m_ratio; }
    void SetRatio(double v) { m_ratio = v; }
    int Caption() const { return 0; }
    void SetCaption(int) {}
    Qrv::TObjSize Size() const { return m_size; }
    void SetSize(Qrv::TObjSize v) { m_size = v; }
    TQRVFormula* Weight() const { return m_weight; }
    short Small() const { return m_small; }
    void SetSmall(short v) { m_small = v; }
    TTestSettings* Settings() const { return m_settings; }

private:
    int m_count = 0;
    double m_ratio = 0.5;
    Qrv::TObjSize m_size = Qrv::osNormal;
    TQRVFormula* m_weight;
    TTestSettings* m_settings;
    short m_small = 0;
};

// An element that offers formula variables.
class TTestCounter : public TQRVObject, public IQRVVariables, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(double Tokens READ Tokens WRITE SetTokens)

public:
    explicit TTestCounter(TQRVDesigner* designer) : TQRVObject(designer) {}
    QString GetNamePrefix() const override { return QStringLiteral("c"); }
    QRV_TEST_STORABLE
    double Tokens() const { return m_tokens; }
    void SetTokens(double v) { m_tokens = v; }

    int VariableCount() const override { return 2; }
    QString VariableName(int index) const override
    {
        return index == 0 ? QStringLiteral("TOKENS") : index == 1 ? QStringLiteral("COST") : QString();
    }
    double VariableValueAt(int index) const override { return index == 0 ? m_tokens : 0; }

private:
    double m_tokens = 0;
};
