#include "model/class_registry.h"

void RegisterStandardClasses()
{
    // The element classes register here, in palette order, as they arrive.
}
