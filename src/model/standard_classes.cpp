// The element classes of the program, in palette order.
#include "model/annotations.h"
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
    r.Register<TclsMarker>(net);
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
    r.Register<TclsLine>(design);
    r.Register<TclsRoundRect>(design);
    r.Register<TclsEllipse>(design);
    r.Register<TclsDesignerLink>(design);
    r.Register<TclsText>(design);
    r.Register<TclsFrame>(design);
}
