// Transitions: immediate, exponentially timed and continuous.
#pragma once

#include <QList>
#include <QPolygon>
#include <QSizeF>

#include "model/formula_reader.h"
#include "model/interfaces.h"
#include "model/node.h"
#include "model/qrv_object.h"
#include "model/types.h"

Q_MOC_INCLUDE("formula/formula.h")

class TQRVFormula;
class TclsLink;

class TclsTrans : public TQRVNode, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(bool Open READ OpenOrFalse)
    Q_PROPERTY(Qrv::TObjSize Size READ Size WRITE SetSize)
    Q_PROPERTY(double Angle READ Angle WRITE SetAngle)
    Q_PROPERTY(TQRVFormula* Priority READ Priority WRITE SetPriority)
    Q_PROPERTY(TQRVFormula* Guard READ Guard WRITE SetGuard)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)

public:
    explicit TclsTrans(TQRVDesigner* designer);

    // Whether the transition is enabled under the marking the places hold now.
    // Needs current arc lists. Formula errors propagate to the caller.
    // Constant weights and guards are read without the parser: on such a net
    // Open and Fire allocate nothing and look nothing up by name.
    bool Open() const;
    // Open for readers that cannot handle a failing formula (the published
    // property, the inspector): false when a formula cannot be evaluated.
    bool OpenOrFalse() const noexcept;
    // One firing: nothing unless Open. Increments FireCount.
    void Fire();
    // The two halves of Fire (the simulation animates between them).
    void FireInputs();
    void FireOutputs();

    Qrv::TObjSize Size() const { return m_size; }
    void SetSize(Qrv::TObjSize size);
    double Angle() const { return m_angle; }
    void SetAngle(double angle);
    void SetAngleDirect(double angle) { m_angle = angle; }
    TQRVFormula* Priority() const { return m_priority; }
    void SetPriority(TQRVFormula* formula);
    TQRVFormula* Guard() const { return m_guard; }
    void SetGuard(TQRVFormula* formula);
    // The actual values of the formulas (constants without the parser).
    double PriorityValue() const { return m_priorityReader.Value(*m_priority); }
    double GuardValue() const { return m_guardReader.Value(*m_guard); }

    // The bar size of a size class, model units.
    static QSizeF BarSize(Qrv::TObjSize size);

    int FireCount = 0;
    bool IsContinuous = false;
    // Sets FireCount to 0 and rebuilds the arc lists (`accept` filters arcs).
    // Only arcs with both ends take part; an arc that is destroyed or gets
    // another end leaves the lists at once. TQRVDesigner::RebuildArcLists
    // rebuilds the lists of every place and transition in one pass.
    void RebuildArcLists(bool (*accept)(const TclsLink*, void*) = nullptr, void* context = nullptr);

    // Ordering used by the reachability analysis: 0 when B's priority is
    // smaller than A's, 1 when larger, 2 when equal (same class); for different
    // classes 0 when A is immediate, else 1.
    static int ComparePriority(const TclsTrans* a, const TclsTrans* b);

    QString GetTypeCaption() const override { return QStringLiteral("Transition"); }
    QString GetNamePrefix() const override { return QStringLiteral("t"); }
    void FinishPlacement(bool placed) override;
    void SizeChanged() override;
    void UpdateRegion() override;
    void Draw(QPainter& painter, int mode) override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

    // The bar as a polygon in screen pixels (also the hit region).
    QPolygon BarPolygon() const;

    // The colour values of transition drawings (0xBBGGRR).
    static constexpr quint32 BarColor = 0xFF0000;
    static constexpr quint32 ContinuousColor = 0x804040;
    static constexpr quint32 EnabledColor = 0x0000FF;

protected:
    void applySize();

    Qrv::TObjSize m_size = Qrv::osNormal;
    double m_angle = 0;
    TQRVFormula* m_priority;
    TQRVFormula* m_guard;

private:
    // The Open test, the count and the input half of a firing; false when not enabled.
    bool takeInputs();

    TFormulaReader m_priorityReader;
    TFormulaReader m_guardReader;
};

class TclsTransInstant : public TclsTrans
{
    Q_OBJECT
    Q_PROPERTY(TQRVFormula* WeightSpeed READ WeightSpeed WRITE SetWeightSpeed)

public:
    Q_INVOKABLE explicit TclsTransInstant(TQRVDesigner* designer);
    TQRVFormula* WeightSpeed() const { return m_weightSpeed; }
    void SetWeightSpeed(TQRVFormula* formula);

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    TQRVFormula* m_weightSpeed;
};

class TclsTransTimed : public TclsTrans, public IQRVVariables
{
    Q_OBJECT
    Q_PROPERTY(TQRVFormula* Rate READ Rate WRITE SetRate)

public:
    Q_INVOKABLE explicit TclsTransTimed(TQRVDesigner* designer);
    TQRVFormula* Rate() const { return m_rate; }
    // Copies the formula unless it has the same text and value; then the
    // size is applied again and the container updates.
    void SetRate(TQRVFormula* formula);

    int VariableCount() const override { return 1; }
    QString VariableName(int index) const override;
    double VariableValueAt(int index) const override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    TQRVFormula* m_rate;
};

class TclsTransContinuous : public TclsTrans, public IQRVVariables
{
    Q_OBJECT
    Q_PROPERTY(TQRVFormula* Expectance READ Expectance WRITE SetExpectance)
    Q_PROPERTY(TQRVFormula* Dispersion READ Dispersion WRITE SetDispersion)

public:
    Q_INVOKABLE explicit TclsTransContinuous(TQRVDesigner* designer);
    TQRVFormula* Expectance() const { return m_expectance; }
    void SetExpectance(TQRVFormula* formula);
    TQRVFormula* Dispersion() const { return m_dispersion; }
    void SetDispersion(TQRVFormula* formula);
    double ExpectanceValue() const { return m_expectanceReader.Value(*m_expectance); }

    // Moves the continuous amount of a time step out of the input places,
    // and into the output places.
    void FlowOut(double dt);
    void FlowIn(double dt);

    QString GetNamePrefix() const override { return QStringLiteral("q"); }

    int VariableCount() const override { return 0; }
    QString VariableName(int) const override { return QString(); }
    double VariableValueAt(int) const override { return 0.0; }

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    TQRVFormula* m_expectance;
    TQRVFormula* m_dispersion;
    TFormulaReader m_expectanceReader;
};
