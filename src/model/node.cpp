#include "model/node.h"

#include <utility>

#include "model/arcs.h"
#include "model/designer.h"
#include "model/name_label.h"

TQRVNode::~TQRVNode()
{
    // Arcs still attached (the whole net is going) drop their reference.
    const QList<TclsLink*> arcs = std::exchange(AttachedArcs, {});
    for (TclsLink* arc : arcs)
        arc->ForgetEnd(this);
}

void TQRVNode::MarkArcsDirty()
{
    for (TclsLink* arc : AttachedArcs)
        arc->IncludeState(osDirty);
}

TQRVObject* TQRVNode::Label() const
{
    return NameLabel::Find(*this);
}

bool TQRVNode::ShowText() const
{
    return Label() != nullptr;
}

void TQRVNode::SetShowText(bool show)
{
    if (show)
        NameLabel::Create(*this);
    else
        NameLabel::Destroy(*this);
    if (Designer())
        Designer()->SelectObject(this);
}

void TQRVNode::SetBounds(double left, double top, double width, double height)
{
    TQRVObject::SetBounds(left, top, width, height);
    MarkArcsDirty();
    if (!Designer() || !Designer()->Updating())
        UpdateRegion();
}

void TQRVNode::MoveBy(double dx, double dy)
{
    TQRVObject::MoveBy(dx, dy);
    NameLabel::MoveWith(*this, dx, dy);
    MarkArcsDirty();
}

void TQRVNode::SavePosition()
{
    TQRVObject::SavePosition();
    NameLabel::Save(*this, LabelSavedLeft, LabelSavedTop);
}

void TQRVNode::RestorePosition()
{
    TQRVObject::RestorePosition();
    NameLabel::Restore(*this, LabelSavedLeft, LabelSavedTop);
    MarkArcsDirty();
}

void TQRVNode::Destroying()
{
    NameLabel::Destroy(*this);
}
