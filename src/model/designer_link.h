// Connectors between filled shapes (ellipses and rounded rectangles).
#pragma once

#include "model/arcs.h"

class TQRVFormula;

// A connector between two filled shapes, drawn, placed and edited like an
// arc. It has no meaning for the net: it is never an input or output of a
// transition, and its weight is stored but not shown.
class TclsDesignerLink : public TQRVLinkBase
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit TclsDesignerLink(TQRVDesigner* designer);

    TQRVDesign* Source() const;
    TQRVDesign* Target() const;
    void SetSource(TQRVDesign* shape);
    void SetTarget(TQRVDesign* shape);
    TQRVFormula* Weight() const { return m_weight; }

    bool CanConnect(const TQRVObject* object) const override;
    QString GetTypeCaption() const override { return QStringLiteral("Link"); }
    QString GetNamePrefix() const override { return QStringLiteral("L"); }

protected:
    QColor lineColor() const override;
};
