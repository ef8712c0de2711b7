// Connectors between filled shapes (ellipses and rounded rectangles).
#pragma once

#include "model/arcs.h"
#include "model/interfaces.h"
#include "model/qrv_object.h"

class TQRVFormula;

// A connector between two filled shapes, drawn and edited like an arc.
class TclsDesignerLink : public TQRVObject, public IQRVStorable
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit TclsDesignerLink(TQRVDesigner* designer);
    ~TclsDesignerLink() override;

    TQRVDesign* Source() const { return m_source; }
    TQRVDesign* Target() const { return m_target; }
    void SetSource(TQRVDesign* shape);
    void SetTarget(TQRVDesign* shape);
    QString SourceName;
    QString TargetName;
    TQRVFormula* Weight() const { return m_weight; }

    TLinkGeometry Geometry{this};

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

private:
    TQRVFormula* m_weight;
    TQRVDesign* m_source = nullptr;
    TQRVDesign* m_target = nullptr;
};
