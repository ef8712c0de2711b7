// The common base of every net element, and of the sub-objects that elements own.
#pragma once

#include <QObject>
#include <QPointF>
#include <QRegion>
#include <QString>

class QPainter;
class TQRVDesigner;

// The state flags of an element.
enum TObjState : quint8 {
    osLoading = 1,  // being read from a file: formulas take new texts unchecked
    osPlacing = 2,  // just created by a click, not yet confirmed
    osDirty = 4,    // geometry changed: the hit region must be rebuilt
    osDoomed = 8,   // marked for deletion
    osDragging = 16 // being moved by the mouse
};

// Drawing modes passed to Draw.
enum TDrawMode : int {
    dmNormal = 0,
    dmHighlight = 1 // draw as if selected
};

class TQRVObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(QString Group READ Group WRITE SetGroup)

public:
    explicit TQRVObject(TQRVDesigner* designer);
    ~TQRVObject() override;

    TQRVDesigner* Designer() const { return m_designer; }
    // The class name used in files and by the palette ("TclsNodeDiscrete").
    QString ClassName() const { return QString::fromLatin1(metaObject()->className()); }

    QString Name() const { return m_name; }
    // Renames through the container; an unusable name is reported and refused.
    void SetName(const QString& name);
    QString Group() const { return m_group; }
    // A group label holding '"', '<' or '>' would break the net file: refused with a message.
    void SetGroup(const QString& group);

    // A number no other object of this run carries, not even one destroyed
    // before: the edit layer tells objects apart by it.
    quint64 Serial() const { return m_serial; }

    quint8 State() const { return m_state; }
    bool HasState(TObjState s) const { return (m_state & s) != 0; }
    void IncludeState(TObjState s) { m_state |= s; }
    void ExcludeState(TObjState s) { m_state &= static_cast<quint8>(~s); }

    double Left() const { return m_left; }
    double Top() const { return m_top; }
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    // Store the value only if it differs, then mark dirty and update the container.
    void SetLeft(double v);
    void SetTop(double v);
    double SavedLeft = 0;
    double SavedTop = 0;

    // Screen geometry under the container's scale and scroll.
    double ScreenX() const;
    double ScreenY() const;
    double ScreenWidth() const;
    double ScreenHeight() const;

    // ---- virtual operations -------------------------------------------------
    // Answers true when a new object created at screen (X, Y) must be destroyed at once.
    virtual bool RejectPlacement(double x, double y);
    virtual QString GetTypeCaption() const { return QString(); }
    virtual void FinishPlacement(bool placed);
    virtual void BeginDrag() {}
    virtual void EndDrag() {}
    // Called by a formula on its owner after the formula accepted a new text.
    virtual void SizeChanged() {}
    virtual void SavePosition();
    virtual void RestorePosition();
    virtual QString GetNamePrefix() const { return QStringLiteral("QRVObject"); }
    virtual void MouseDown(Qt::MouseButton button, double x, double y);
    virtual void MouseUp(Qt::MouseButton button, double x, double y);
    virtual void MouseMove(double x, double y);
    virtual void Draw(QPainter& painter, int mode);
    // Rebuilds the screen-space hit region; the base only clears osDirty.
    virtual void UpdateRegion();
    virtual void SetBounds(double left, double top, double width, double height);
    virtual void MoveBy(double dx, double dy);
    virtual const QRegion& GetRegion() const { return m_region; }
    // The screen area the object draws in, give or take its labels and
    // handles; empty when unknown. The surface leaves out what lies far outside.
    virtual QRect DrawnBounds() const { return m_region.boundingRect(); }
    // After a file was read: resolve references to other objects by name.
    virtual void Loaded() {}
    // `object` is about to be destroyed (arcs mark themselves doomed when it is an end).
    virtual void Notification(TQRVObject* object) { Q_UNUSED(object) }
    // Called by the container just before this object is destroyed
    // (places and transitions destroy their name label here).
    virtual void Destroying() {}

    // Used by the container only.
    void SetNameDirect(const QString& name) { m_name = name; }
    void SetGroupDirect(const QString& group) { m_group = group; }
    void SetBoundsDirect(double left, double top, double width, double height);
    void SetDesignerDirect(TQRVDesigner* designer) { m_designer = designer; }

protected:
    // Whether to draw in the highlight colour: asked by `mode`, or selected.
    bool IsHighlighted(int mode) const;
    // Sets up pen and brush as every element expects before drawing.
    void PrepareCanvas(QPainter& painter) const;
    // Whether the container asks this object to update (not while Updating).
    void DesignerUpdate() const;

    QRegion m_region;
    double m_left = 0;
    double m_top = 0;
    double m_width = 0;
    double m_height = 0;

private:
    TQRVDesigner* m_designer;
    quint64 m_serial;
    QString m_name;
    QString m_group;
    quint8 m_state = 0;
};

// Base of the filled annotation shapes.
class TQRVDesign : public TQRVObject
{
    Q_OBJECT
public:
    using TQRVObject::TQRVObject;
};

// Base of sub-objects that belong to one element and are edited as its properties.
class TQRVPersistent : public QObject
{
    Q_OBJECT
public:
    explicit TQRVPersistent(TQRVObject* owner) : m_owner(owner) {}
    TQRVObject* Owner() const { return m_owner; }

protected:
    TQRVObject* m_owner;
};

// Whether a text may be stored in a net file as it is: the file format has
// no escapes, so '"', '<' and '>' would make the file unreadable.
bool IsStorableText(const QString& text);
QString UnstorableTextMessage(const QString& what);
