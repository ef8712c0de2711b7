#include "model/name_label.h"

#include "model/class_registry.h"
#include "model/designer.h"
#include "model/text.h"

namespace NameLabel {

QString LabelName(const TQRVObject& node)
{
    return QStringLiteral("Text") + node.Name();
}

TQRVObject* Find(const TQRVObject& node)
{
    return node.Designer() ? node.Designer()->FindObject(LabelName(node)) : nullptr;
}

void Create(TQRVObject& node)
{
    TQRVDesigner* d = node.Designer();
    if (!d || !TQRVDesigner::IsValidName(LabelName(node)) || Find(node))
        return;
    TQRVClassInfo textClass;
    textClass.Meta = &TclsText::staticMetaObject;
    textClass.Create = [](TQRVDesigner* designer) -> TQRVObject* { return new TclsText(designer); };
    // CreateObject adds the scroll offset; the label lands at model
    // (Left + Width + 10, Top) whatever the view.
    const double left = node.Left() + node.Width() + 10 - d->ScrollX() / d->Scale();
    const double top = node.Top() - d->ScrollY() / d->Scale();
    auto* label = static_cast<TclsText*>(d->CreateObject(&textClass, left, top, 0, 0));
    label->SetText(node.Name());
    label->SetName(LabelName(node));
}

void Destroy(TQRVObject& node)
{
    if (TQRVObject* label = Find(node))
        node.Designer()->DestroyObject(label);
}

void MoveWith(const TQRVObject& node, double dx, double dy)
{
    TQRVObject* label = Find(node);
    if (label && !node.Designer()->IsSelected(label))
        label->MoveBy(dx, dy);
}

void Save(const TQRVObject& node, double& left, double& top)
{
    if (TQRVObject* label = Find(node)) {
        left = label->Left();
        top = label->Top();
    }
}

void Restore(const TQRVObject& node, double left, double top)
{
    TQRVObject* label = Find(node);
    if (label && !node.Designer()->IsSelected(label))
        label->SetBounds(left, top, label->Width(), label->Height());
}

} // namespace NameLabel
