// Places: discrete places hold tokens, continuous places a level between bounds.
#pragma once

#include <QList>

#include "model/interfaces.h"
#include "model/node.h"
#include "model/qrv_object.h"
#include "model/types.h"

Q_MOC_INCLUDE("formula/formula.h")

class TQRVFormula;
class TclsLink;

// The value a place holds that stands for "unbounded" in reachability analysis.
constexpr double OmegaValue = 99999.0;

class TclsNode : public TQRVNode, public IQRVStorable, public IQRVVariables
{
    Q_OBJECT
    Q_PROPERTY(Qrv::TObjSize Size READ Size WRITE SetSize)
    Q_PROPERTY(TQRVFormula* Cost READ Cost WRITE SetCost)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)

public:
    explicit TclsNode(TQRVDesigner* designer);

    Qrv::TObjSize Size() const { return m_size; }
    void SetSize(Qrv::TObjSize size);
    TQRVFormula* Cost() const { return m_cost; }
    // Copies the text of `formula` into the place's own cost formula.
    void SetCost(TQRVFormula* formula);
    // True exactly when an object named "Text" + the place's name exists.

    // The diameter of a size class in model units.
    static double Diameter(Qrv::TObjSize size);

    // The token count of a discrete place, the level of a continuous one.
    virtual double Value() const = 0;
    // The lower bound used by the enabling rules: 0, or BoundMin.
    virtual double LowerBound() const { return 0.0; }

    // Arc lists, rebuilt from the net: arcs whose destination (InArcs) or
    // source (OutArcs) is this place. `accept` filters arcs (all when empty).
    // Only arcs with both ends take part. An arc that is destroyed or gets
    // another end leaves the lists at once. TQRVDesigner::RebuildArcLists
    // rebuilds the lists of every place and transition in one pass.
    void RebuildArcLists(bool (*accept)(const TclsLink*, void*) = nullptr, void* context = nullptr);

    bool IsContinuous = false;

    // Element operations.
    QString GetTypeCaption() const override { return QStringLiteral("Position"); }
    void FinishPlacement(bool placed) override;
    void UpdateRegion() override;

    // Common file attributes of places; the subclasses add theirs.
    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

    // The colour values of place drawings (0xBBGGRR).
    static constexpr quint32 ContinuousColor = 0x804040;
    static constexpr quint32 LevelColor = 0xC6C68E;

protected:
    void applyDiameter();

    Qrv::TObjSize m_size = Qrv::osNormal;
    TQRVFormula* m_cost;
};

class TclsNodeDiscrete : public TclsNode
{
    Q_OBJECT
    Q_PROPERTY(double Tokens READ Tokens WRITE SetTokens)

public:
    Q_INVOKABLE explicit TclsNodeDiscrete(TQRVDesigner* designer);

    double Tokens() const { return m_tokens; }
    // Ignored when equal to the current value or negative; otherwise stored
    // rounded to a whole number (halves to even), then the container updates.
    void SetTokens(double value);
    // Stores the value as it is (file reading).
    void SetTokensDirect(double value) { m_tokens = value; }
    // Typed by the user: a count that is negative or not whole is refused with a message.
    QString RefusedValue(const QByteArray& property, const QVariant& value) const override;

    double Value() const override { return m_tokens; }
    QString GetNamePrefix() const override { return QStringLiteral("p"); }
    void Draw(QPainter& painter, int mode) override;

    int VariableCount() const override { return 2; }
    QString VariableName(int index) const override;
    double VariableValueAt(int index) const override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    double m_tokens = 0;
};

class TclsNodeContinuous : public TclsNode
{
    Q_OBJECT
    Q_PROPERTY(double BoundMin READ BoundMin WRITE SetBoundMin)
    Q_PROPERTY(double BoundMax READ BoundMax WRITE SetBoundMax)
    Q_PROPERTY(double Level READ Level WRITE SetLevel)
    Q_PROPERTY(double Balance READ BalanceOrZero)

public:
    Q_INVOKABLE explicit TclsNodeContinuous(TQRVDesigner* designer);

    double BoundMin() const { return m_boundMin; }
    void SetBoundMin(double v) { m_boundMin = v; }
    double BoundMax() const { return m_boundMax; }
    // Stores it; a level above it is cut to it.
    void SetBoundMax(double v);
    double Level() const { return m_level; }
    // Stores it; a level above BoundMax is cut to BoundMax.
    void SetLevel(double v);
    // Stores the values as they are (file reading).
    void SetLevelDirect(double v) { m_level = v; }
    void SetBoundMaxDirect(double v) { m_boundMax = v; }
    // Adds Delta, kept within the bound in the direction of the change.
    void ChangeLevel(double delta);
    // The net rate of change of Level under the current marking.
    double Balance() const;
    // Balance for readers that cannot handle a failing formula (the published
    // property, the inspector): 0 when a formula cannot be evaluated.
    double BalanceOrZero() const noexcept;

    double Value() const override { return m_level; }
    double LowerBound() const override { return m_boundMin; }
    QString GetNamePrefix() const override { return QStringLiteral("b"); }
    void Draw(QPainter& painter, int mode) override;

    int VariableCount() const override { return 4; }
    QString VariableName(int index) const override;
    double VariableValueAt(int index) const override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    double m_boundMin = 0;
    double m_boundMax = 10000;
    double m_level = 0;
};
