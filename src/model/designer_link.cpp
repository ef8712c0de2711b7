// Connectors between filled shapes.
#include "model/designer_link.h"

#include "model/designer.h"
#include "model/types.h"

TclsDesignerLink::TclsDesignerLink(TQRVDesigner* designer) : TQRVLinkBase(designer) {}

TQRVDesign* TclsDesignerLink::Source() const
{
    return static_cast<TQRVDesign*>(SourceObject());
}

TQRVDesign* TclsDesignerLink::Target() const
{
    return static_cast<TQRVDesign*>(DestObject());
}

void TclsDesignerLink::SetSource(TQRVDesign* shape)
{
    if (shape && setEnd(true, shape))
        DesignerUpdate();
}

void TclsDesignerLink::SetTarget(TQRVDesign* shape)
{
    if (shape && setEnd(false, shape))
        DesignerUpdate();
}

bool TclsDesignerLink::CanConnect(const TQRVObject* object) const
{
    return qobject_cast<const TQRVDesign*>(object) != nullptr;
}

QColor TclsDesignerLink::lineColor() const
{
    return Qt::black;
}
