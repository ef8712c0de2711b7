// Annotation objects: free text (also the name labels of places and
// transitions), frames, ellipses, rounded rectangles, lines, connectors
// between shapes, and the token marker tool.
#pragma once

#include <QFont>

#include "model/graphics_objects.h"
#include "model/interfaces.h"
#include "model/qrv_object.h"
#include "model/text.h"
#include "model/types.h"

class TclsFrame : public TQRVObject, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(TQRVFont* Font READ Font WRITE SetFont)
    Q_PROPERTY(Qrv::TPenStyle Style READ Style WRITE SetStyle)

public:
    Q_INVOKABLE explicit TclsFrame(TQRVDesigner* designer);

    QString Text() const { return m_text; }
    void SetText(const QString& text);
    TQRVFont* Font() const { return m_font; }
    void SetFont(TQRVFont* font);
    Qrv::TPenStyle Style() const { return m_style; }
    void SetStyle(Qrv::TPenStyle style);

    QString GetTypeCaption() const override { return QStringLiteral("Text"); }
    QString GetNamePrefix() const override { return QStringLiteral("TFrame"); }
    void FinishPlacement(bool placed) override;
    void Loaded() override;
    void UpdateRegion() override;
    void Draw(QPainter& painter, int mode) override;
    void MouseDown(Qt::MouseButton button, double x, double y) override;
    void MouseMove(double x, double y) override;
    void MouseUp(Qt::MouseButton button, double x, double y) override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    QString m_text = QStringLiteral("Text");
    TQRVFont* m_font;
    QRegion m_handle; // the corner handle that resizes the frame
    bool m_resizing = false;
    Qrv::TPenStyle m_style = Qrv::psSolid;
};

// The filled shapes: ellipses and rounded rectangles.
class TclsShape : public TQRVDesign, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(TQRVBrush* Fill READ Fill WRITE SetFill)
    Q_PROPERTY(Qrv::TPenStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    explicit TclsShape(TQRVDesigner* designer);

    QString Text() const { return m_text; }
    void SetText(const QString& text);
    TQRVBrush* Fill() const { return m_fill; }
    void SetFill(TQRVBrush* brush);
    Qrv::TPenStyle Style() const { return m_style; }
    void SetStyle(Qrv::TPenStyle style);

    QString GetTypeCaption() const override { return QStringLiteral("Text"); }
    QString GetNamePrefix() const override { return QStringLiteral("ellipse"); }
    void FinishPlacement(bool placed) override;
    void Loaded() override;
    void UpdateRegion() override;
    void Draw(QPainter& painter, int mode) override;
    void MouseDown(Qt::MouseButton button, double x, double y) override;
    void MouseMove(double x, double y) override;
    void MouseUp(Qt::MouseButton button, double x, double y) override;
    // Connectors follow the shapes they are attached to.
    void MoveBy(double dx, double dy) override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

    // The font of the text inside the shapes at a view scale: Arial 10, scaled.
    static QFont TextFont(double scale);

protected:
    virtual bool isRounded() const = 0;

private:
    void markLinksDirty();

    QString m_text = QStringLiteral("Text");
    TQRVBrush* m_fill;
    QRegion m_handle; // the corner handle that resizes the shape
    bool m_resizing = false;
    Qrv::TPenStyle m_style = Qrv::psSolid;
};

class TclsEllipse : public TclsShape
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsEllipse(TQRVDesigner* designer) : TclsShape(designer) {}

protected:
    bool isRounded() const override { return false; }
};

class TclsRoundRect : public TclsShape
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsRoundRect(TQRVDesigner* designer) : TclsShape(designer) {}

protected:
    bool isRounded() const override { return true; }
};

class TclsLine : public TQRVObject, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(TQRVPen* Pen READ Pen WRITE SetPen)

public:
    Q_INVOKABLE explicit TclsLine(TQRVDesigner* designer);

    TQRVPen* Pen() const { return m_pen; }
    void SetPen(TQRVPen* pen);

    QString GetTypeCaption() const override { return QStringLiteral("Text"); }
    QString GetNamePrefix() const override { return QStringLiteral("line"); }
    void FinishPlacement(bool placed) override;
    void Loaded() override;
    void UpdateRegion() override;
    void Draw(QPainter& painter, int mode) override;
    void MouseDown(Qt::MouseButton button, double x, double y) override;
    void MouseMove(double x, double y) override;
    void MouseUp(Qt::MouseButton button, double x, double y) override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    // Which end follows the mouse.
    enum TLineDrag : quint8 { ldNone, ldStart, ldEnd };

    QRegion m_startHandle;
    QRegion m_endHandle;
    TLineDrag m_drag = ldNone;
    double m_endX = 0; // the end point kept while the start moves
    double m_endY = 0;
    TQRVPen* m_pen;
};

// The token marker: a click tool that adds a token to a discrete place (or
// takes one away with Ctrl) and never stays in the net.
class TclsMarker : public TQRVObject
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsMarker(TQRVDesigner* designer) : TQRVObject(designer) {}
    QString GetTypeCaption() const override { return QStringLiteral("Marker"); }
    bool RejectPlacement(double x, double y) override;
};
