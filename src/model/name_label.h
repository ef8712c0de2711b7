// The name labels of places and transitions: text objects named "Text" + the
// element's name, found by that name only.
#pragma once

#include <QString>

class TQRVObject;

namespace NameLabel {

QString LabelName(const TQRVObject& node);
// The object that carries the label's name, or none.
TQRVObject* Find(const TQRVObject& node);
// Creates the label 10 units right of the element, top-aligned, showing the
// element's name; nothing when an object of the label's name exists already.
void Create(TQRVObject& node);
// Destroys the label when there is one.
void Destroy(TQRVObject& node);
// Moves the label with its element, unless the label is selected itself
// (then it moves on its own).
void MoveWith(const TQRVObject& node, double dx, double dy);
void Save(const TQRVObject& node, double& left, double& top);
void Restore(const TQRVObject& node, double left, double top);

} // namespace NameLabel
