// Arcs: polylines that connect places with transitions, in nine kinds.
#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QRegion>

#include "model/formula_reader.h"
#include "model/interfaces.h"
#include "model/node.h"
#include "model/qrv_object.h"

Q_MOC_INCLUDE("formula/formula.h")

class QPainter;
class TQRVFormula;
class TclsNode;
class TclsTrans;

// A point of a polyline. Stationary points are fixed corners (the two ends
// and every bend); the others are handles that sit midway between their
// neighbours until the user drags them. Positions are model coordinates.
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
    QRegion Region; // the point's hit square (screen); empty for the two ends

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

// What arcs and designer links share: a polyline between two objects with
// its hit region, placing by clicks, editing of bends, drawing of the line
// and its end marker, and the file layout. Subclasses decide which objects
// may be ends and what else is drawn.
class TQRVLinkBase : public TQRVObject, public IQRVStorable
{
    Q_OBJECT

public:
    explicit TQRVLinkBase(TQRVDesigner* designer);
    ~TQRVLinkBase() override;

    // ---- the polyline (model coordinates) -----------------------------------
    const QList<TPivotPoint*>& Points() const { return m_points; }
    TPivotPoint* FirstPoint() const;
    // The last point, unless it is also the first.
    TPivotPoint* LastPoint() const;
    TPivotPoint* PointByIndex(int i) const;
    // Among the inner points, the last whose hit square holds the screen point.
    TPivotPoint* PointAt(double x, double y) const;
    // Whether the screen point lies within `distance` pixels of a segment of
    // the polyline as drawn; never for a link not connected or being placed.
    // A plain geometric test: it needs no region.
    bool NearLine(double x, double y, double distance) const;
    // How close a click must come to a link's line to pick it (pixels).
    static constexpr double LineHitDistance = 4;
    // The shortest arrowhead drawn, at any scale (pixels).
    static constexpr double ArrowLength = 8;
    void ClearPoints();
    TPivotPoint* AddPoint(double x, double y, bool stationar);

    // The inner point being dragged, and where (snapped, model) its drag began.
    TPivotPoint* ActivePoint = nullptr;
    double DragStartX = 0;
    double DragStartY = 0;

    // Fraction 0...1 of the length at which an animated token is drawn (0: none).
    double TokenPosition() const { return m_tokenPosition; }
    void SetTokenPosition(double fraction);
    // 1 + the screen length of the polyline, as of the last rebuild.
    double Length() const { return m_length; }

    TQRVObject* SourceObject() const { return m_sourceObj; }
    TQRVObject* DestObject() const { return m_destObj; }
    // Both ends are set: only then does the link take part in the net.
    bool IsConnected() const { return m_sourceObj && m_destObj; }
    // End names read from a file, resolved by Loaded.
    QString SourceName;
    QString DestName;
    // The end is going away: every reference to it is dropped.
    void ForgetEnd(const TQRVObject* end);

    // Whether an object can be an end of this kind of link at all.
    virtual bool CanConnect(const TQRVObject* object) const = 0;

    // ---- element operations ----------------------------------------------------
    bool RejectPlacement(double x, double y) override;
    void FinishPlacement(bool placed) override;
    void MouseDown(Qt::MouseButton button, double x, double y) override;
    void MouseUp(Qt::MouseButton button, double x, double y) override;
    void MouseMove(double x, double y) override;
    void UpdateRegion() override;
    // All points, ends included: the region holds the inner ones only.
    QRect DrawnBounds() const override;
    void MoveBy(double dx, double dy) override;
    void SavePosition() override;
    void RestorePosition() override;
    void Draw(QPainter& painter, int mode) override;
    void Loaded() override;
    void Notification(TQRVObject* object) override;
    void Destroying() override;

    // name (again), src, dst; the weight, then one point per polyline point.
    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

protected:
    // Sets an end: only an object the link can connect, different from the
    // other end, or none. Returns false when refused.
    bool setEnd(bool source, TQRVObject* object);
    // An end changed from `previous` (arcs keep their ends' lists current).
    virtual void endChanged(bool source, TQRVObject* previous);
    // Messages for a refused first or last click; empty when allowed.
    virtual QString startError(const TQRVObject* object) const;
    virtual QString endError(const TQRVObject* object) const;

    // Drawing: the colour when not highlighted, the style (0 arrow,
    // 1 inhibitor circle, 2 counter, 3 continuous, 4 test), the line width,
    // and what a subclass adds once the line and its end marker are drawn.
    virtual QColor lineColor() const = 0;
    virtual quint8 drawStyle() const { return 0; }
    virtual int lineWidth() const { return 1; }
    virtual void drawExtras(QPainter& painter, const QList<QPointF>& screen, const QColor& color) const;

    TQRVFormula* m_weight;

private:
    TQRVObject* objectUnder(double x, double y) const;
    QPointF snappedModel(double x, double y) const;
    QPointF toScreen(double mx, double my) const;
    QPointF toModel(const QPointF& screen) const;
    void centreHandles();
    // Moves point `index` onto the boundary of `end`'s region, from its centre
    // towards `towards`. False when both lie inside the region.
    bool clipToBoundary(const TQRVObject* end, const QPointF& towards, int index);
    void rebuildHitSquares();
    void drawSegments(QPainter& painter, const QList<QPointF>& s, const QColor& color) const;
    void drawEndMarker(QPainter& painter, const QList<QPointF>& s, const QColor& color) const;
    void placingClick(double x, double y);
    void placingMove(double x, double y);
    void removeBend(double x, double y);
    void setBoundsFromPoints();
    bool endsMoved() const;

    QList<TPivotPoint*> m_points;
    double m_tokenPosition = 0;
    double m_length = 0;
    TQRVObject* m_sourceObj = nullptr;
    TQRVObject* m_destObj = nullptr;
    // The ends' boxes at the last rebuild, so that a link follows ends that
    // moved without telling it.
    QRectF m_sourceBox;
    QRectF m_destBox;
};

class TclsLink : public TQRVLinkBase
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
    // Copies the text of `formula` into the arc's own weight formula.
    void SetWeight(TQRVFormula* formula);
    // The weight's actual value; a constant weight is read without the parser.
    double WeightValue() const { return m_weightReader.Value(*m_weight); }

    TQRVNode* Source() const;
    TQRVNode* Dest() const;
    // The ends by kind (none when the end is of the other kind or missing).
    TclsNode* SourcePlace() const { return m_sourcePlace; }
    TclsNode* DestPlace() const { return m_destPlace; }
    TclsTrans* SourceTrans() const { return m_sourceTrans; }
    TclsTrans* DestTrans() const { return m_destTrans; }
    // Accept only places and transitions, and only an object different from
    // the other end; then the container updates.
    void SetSource(TQRVObject* object);
    void SetDest(TQRVObject* object);

    // Connection rules: an empty result means the end is allowed. TestEnd
    // ends with the check common to all kinds, which starts a new line.
    QString TestStart(const TQRVObject* object) const;
    QString TestEnd(const TQRVObject* object) const;

    bool CanConnect(const TQRVObject* object) const override;
    QString GetTypeCaption() const override { return QStringLiteral("Link"); }
    QString GetNamePrefix() const override { return QStringLiteral("L"); }

    // The colour values of arc drawings (0xBBGGRR).
    static constexpr quint32 ArcColor = 0xFF0000;
    static constexpr quint32 ContinuousArcColor = 0x804040;
    // The weight is written at the size of a name label's font (points at scale 1).
    static constexpr double WeightFontSize = 10;

protected:
    void endChanged(bool source, TQRVObject* previous) override;
    QString startError(const TQRVObject* object) const override { return TestStart(object); }
    QString endError(const TQRVObject* object) const override { return TestEnd(object); }
    QColor lineColor() const override;
    quint8 drawStyle() const override { return Style(); }
    int lineWidth() const override { return m_kind == lkFlow ? 2 : 1; }
    void drawExtras(QPainter& painter, const QList<QPointF>& screen, const QColor& color) const override;

private:
    TLinkKind m_kind;
    TFormulaReader m_weightReader;
    TclsNode* m_sourcePlace = nullptr;
    TclsNode* m_destPlace = nullptr;
    TclsTrans* m_sourceTrans = nullptr;
    TclsTrans* m_destTrans = nullptr;
};

class TclsLinkNormal : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkNormal(TQRVDesigner* designer) : TclsLink(designer, lkNormal) {}
};

class TclsLinkIngibitor : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitor(TQRVDesigner* designer) : TclsLink(designer, lkIngibitor) {}
};

class TclsLinkIngibitorCounter : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitorCounter(TQRVDesigner* designer)
        : TclsLink(designer, lkIngibitorCounter)
    {
    }
};

class TclsLinkTest : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkTest(TQRVDesigner* designer) : TclsLink(designer, lkTest) {}
};

class TclsLinkContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkContinuous(TQRVDesigner* designer) : TclsLink(designer, lkContinuous) {}
};

class TclsLinkTestContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkTestContinuous(TQRVDesigner* designer) : TclsLink(designer, lkTestContinuous)
    {
    }
};

class TclsLinkIngibitorContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitorContinuous(TQRVDesigner* designer)
        : TclsLink(designer, lkIngibitorContinuous)
    {
    }
};

class TclsLinkIngibitorCounterContinuous : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkIngibitorCounterContinuous(TQRVDesigner* designer)
        : TclsLink(designer, lkIngibitorCounterContinuous)
    {
    }
};

class TclsLinkFlow : public TclsLink
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TclsLinkFlow(TQRVDesigner* designer) : TclsLink(designer, lkFlow) {}
};
