// Arcs: polylines that connect places with transitions, in nine kinds.
#pragma once

#include <QList>
#include <QPointF>
#include <QRegion>

#include "model/interfaces.h"
#include "model/qrv_object.h"

class TQRVFormula;
class TclsNode;
class TclsTrans;

// A point of an arc's polyline. Stationary points are fixed corners (the two
// ends and every bend); the others are handles that sit midway between their
// neighbours until the user drags them.
class TPivotPoint : public TQRVPersistent
{
    Q_OBJECT
    Q_PROPERTY(double RX READ RX WRITE SetRX)
    Q_PROPERTY(double RY READ RY WRITE SetRY)
    Q_PROPERTY(double X READ X WRITE SetX)
    Q_PROPERTY(double Y READ Y WRITE SetY)
    Q_PROPERTY(bool Stationar READ Stationar WRITE SetStationar)
    Q_PROPERTY(TQRVObject* Link READ Link)

public:
    TPivotPoint(TQRVObject* link, double x, double y, bool stationar);

    double X() const { return m_x; }
    void SetX(double v) { m_x = v; }
    double Y() const { return m_y; }
    void SetY(double v) { m_y = v; }
    // The same position in screen pixels.
    double RX() const;
    void SetRX(double v);
    double RY() const;
    void SetRY(double v);
    bool Stationar() const { return m_stationar; }
    void SetStationar(bool v) { m_stationar = v; }
    TQRVObject* Link() const { return m_owner; }

    double SavedX = 0;
    double SavedY = 0;
    QRegion Region; // the point's hit square (screen)

private:
    double m_x;
    double m_y;
    bool m_stationar;
};

// The arc kinds, for code that must tell them apart quickly.
enum TLinkKind : quint8 {
    lkNormal,
    lkIngibitor,
    lkIngibitorCounter,
    lkTest,
    lkContinuous,
    lkTestContinuous,
    lkIngibitorContinuous,
    lkIngibitorCounterContinuous,
    lkFlow
};

// The polyline geometry, placing and editing that arcs and designer links share.
class TLinkGeometry
{
public:
    explicit TLinkGeometry(TQRVObject* owner) : m_owner(owner) {}
    ~TLinkGeometry();

    QList<TPivotPoint*> Points;
    TPivotPoint* ActivePoint = nullptr;
    double DragStartX = 0;
    double DragStartY = 0;
    double TokenPosition = 0;
    double Length = 0;

    TPivotPoint* FirstPoint() const;
    TPivotPoint* LastPoint() const;
    TPivotPoint* PointByIndex(int i) const;
    // Among the inner points, the last whose hit square holds the screen point.
    TPivotPoint* PointAt(double x, double y) const;
    void ClearPoints();
    TPivotPoint* AddPoint(double x, double y, bool stationar);

private:
    TQRVObject* m_owner;
};

class TclsLink : public TQRVObject, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(TQRVFormula* Weight READ Weight WRITE SetWeight)

public:
    TclsLink(TQRVDesigner* designer, TLinkKind kind);
    ~TclsLink() override;

    TLinkKind Kind() const { return m_kind; }
    // Drawing style: 0 arrow, 1 inhibitor circle, 2 counter, 3 continuous, 4 test.
    quint8 Style() const;
    // Whether the arc is drawn in the continuous colour.
    bool IsContinuousKind() const;

    TQRVFormula* Weight() const { return m_weight; }
    void SetWeight(TQRVFormula* formula);

    TclsNode* SourceNode() const;
    TQRVNode* Source() const { return m_source; }
    TQRVNode* Dest() const { return m_dest; }
    // Accept only places and transitions, and only an object different from the other end.
    void SetSource(TQRVObject* object);
    void SetDest(TQRVObject* object);
    QString SourceName; // end names read from a file, resolved by Loaded
    QString DestName;

    // Connection rules: an empty result means the end is allowed.
    virtual QString TestStart(const TQRVObject* object) const = 0;
    virtual QString TestEnd(const TQRVObject* object) const;

    TLinkGeometry Geometry{this};
    const QList<TPivotPoint*>& Points() const { return Geometry.Points; }
    double TokenPosition() const { return Geometry.TokenPosition; }
    void SetTokenPosition(double fraction);
    double Length() const { return Geometry.Length; }

    QString GetTypeCaption() const override { return QStringLiteral("Link"); }
    QString GetNamePrefix() const override { return QStringLiteral("L"); }
    bool RejectPlacement(double x, double y) override;
    void FinishPlacement(bool placed) override;
    void MouseDown(Qt::MouseButton button, double x, double y) override;
    void MouseUp(Qt::MouseButton button, double x, double y) override;
    void MouseMove(double x, double y) override;
    void UpdateRegion() override;
    void MoveBy(double dx, double dy) override;
    void SavePosition() override;
    void RestorePosition() override;
    void Draw(QPainter& painter, int mode) override;
    void Loaded() override;
    void Notification(TQRVObject* object) override;
    void Destroying() override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

protected:
    // The message common to every kind when both ends are places or both transitions.
    QString commonEndCheck(const TQRVObject* object) const;

    TLinkKind m_kind;
    TQRVFormula* m_weight;
    TQRVNode* m_source = nullptr;
    TQRVNode* m_dest = nullptr;
};

class TclsLinkNormal : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkNormal(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkIngibitor : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitor(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkIngibitorCounter : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitorCounter(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkTest : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkTest(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkContinuous(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkTestContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkTestContinuous(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkIngibitorContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitorContinuous(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkIngibitorCounterContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitorCounterContinuous(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};

class TclsLinkFlow : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkFlow(TQRVDesigner* designer);
    QString TestStart(const TQRVObject* object) const override;
    QString TestEnd(const TQRVObject* object) const override;
};
