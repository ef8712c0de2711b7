// The size classes of places and transitions as net files write them.
#pragma once

#include <QString>

#include "model/types.h"

// "osVerySmall" ... "osVeryLarge".
QString ObjSizeName(Qrv::TObjSize size);
// Reads an identifier without regard to case; false for anything else.
bool ParseObjSize(const QString& text, Qrv::TObjSize& size);

class TqibXMLNode;
// The required "size" attribute of a place or transition element.
Qrv::TObjSize ReadObjSize(const TqibXMLNode& element);
