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
    r.Register<TclsTransInstant>(net, QStringLiteral("Immediate transition"));
    r.Register<TclsTransTimed>(net, QStringLiteral("Timed transition"));
    r.Register<TclsLinkNormal>(net, QStringLiteral("Normal arc"));
    r.Register<TclsLinkIngibitor>(net, QStringLiteral("Inhibitor arc"));
    r.Register<TclsLinkIngibitorCounter>(net, QStringLiteral("Inhibitor arc with a count"));
    r.Register<TclsLinkTest>(net, QStringLiteral("Test arc"));
    r.Register<TclsMarker>(net, QStringLiteral("Marker: a click adds a token, Ctrl+click takes one"));
    r.Register<TclsNodeDiscrete>(net, QStringLiteral("Discrete place"));

    const QString continuous = QStringLiteral("Continuous");
    r.Register<TclsNodeContinuous>(continuous, QStringLiteral("Continuous place"));
    r.Register<TclsTransContinuous>(continuous, QStringLiteral("Continuous transition"));
    r.Register<TclsLinkContinuous>(continuous, QStringLiteral("Continuous arc"));
    r.Register<TclsLinkFlow>(continuous, QStringLiteral("Flow arc"));
    r.Register<TclsLinkTestContinuous>(continuous, QStringLiteral("Continuous test arc"));
    r.Register<TclsLinkIngibitorContinuous>(continuous, QStringLiteral("Continuous inhibitor arc"));
    r.Register<TclsLinkIngibitorCounterContinuous>(continuous,
                                                   QStringLiteral("Continuous inhibitor arc with a count"));

    const QString design = QStringLiteral("Design");
    r.Register<TclsLine>(design, QStringLiteral("Line"));
    r.Register<TclsRoundRect>(design, QStringLiteral("Rounded rectangle"));
    r.Register<TclsEllipse>(design, QStringLiteral("Ellipse"));
    r.Register<TclsDesignerLink>(design, QStringLiteral("Connector between shapes"));
    r.Register<TclsText>(design, QStringLiteral("Text"));
    r.Register<TclsFrame>(design, QStringLiteral("Frame with a caption"));
}
