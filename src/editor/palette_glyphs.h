// The pictures of the palette buttons, drawn in code.
#pragma once

#include <QIcon>
#include <QString>

// The glyph of an element class (by class name), of the pointer
// ("RACPPOINTER") and of the scroll buttons ("RACPLEFT", "RACPRIGHT").
// A name without a picture of its own gets the default one ("TclsDEFAULT").
QIcon PaletteGlyph(const QString& name, int size = 24);
// Whether a name has a picture of its own.
bool HasPaletteGlyph(const QString& name);
