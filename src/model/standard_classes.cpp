// The element classes of the program, in palette order.
#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/designer_link.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"

void RegisterStandardClasses()
{
    TQRVClassRegistry& r = TQRVClassRegistry::Instance();
    const QString net = QStringLiteral("Net");
    r.Register<TclsTransInstant>(net);
    r.Register<TclsTransTimed>(net);
    r.Register<TclsLinkNormal>(net);
    r.Register<TclsLinkIngibitor>(net);
    r.Register<TclsLinkIngibitorCounter>(net);
    r.Register<TclsLinkTest>(net);
    // GAP (annotations not landed yet): TclsMarker registers here, on "Net".
    r.Register<TclsNodeDiscrete>(net);

    const QString continuous = QStringLiteral("Continuous");
    r.Register<TclsNodeContinuous>(continuous);
    r.Register<TclsTransContinuous>(continuous);
    r.Register<TclsLinkContinuous>(continuous);
    r.Register<TclsLinkFlow>(continuous);
    r.Register<TclsLinkTestContinuous>(continuous);
    r.Register<TclsLinkIngibitorContinuous>(continuous);
    r.Register<TclsLinkIngibitorCounterContinuous>(continuous);

    const QString design = QStringLiteral("Design");
    // GAP (annotations not landed yet): TclsLine, TclsRoundRect, TclsEllipse register here.
    r.Register<TclsDesignerLink>(design);
    r.Register<TclsText>(design);
    // GAP (annotations not landed yet): TclsFrame registers here.
}
