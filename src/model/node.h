// The common base of places and transitions: their arcs and their name labels.
#pragma once

#include <QList>

#include "model/qrv_object.h"

class TclsLink;

class TQRVNode : public TQRVObject
{
    Q_OBJECT
public:
    using TQRVObject::TQRVObject;
    ~TQRVNode() override;

    // Every arc that has this node as an end, kept current by the arcs.
    QList<TclsLink*> AttachedArcs;
    // The arcs that end here (InArcs) and start here (OutArcs), in net order,
    // as RebuildArcLists last found them. Only arcs with both ends take part;
    // an arc that is destroyed or gets another end leaves the lists at once.
    QList<TclsLink*> InArcs;
    QList<TclsLink*> OutArcs;
    void MarkArcsDirty();

    // The name label: a text object named "Text" + the node's name, found by
    // that name only. ShowText is true exactly when it exists; setting it
    // creates or destroys the label, then the node becomes the single selection.
    TQRVObject* Label() const;
    bool ShowText() const;
    void SetShowText(bool show);
    double LabelSavedLeft = 0;
    double LabelSavedTop = 0;

    // Moving a node moves its label too (unless the label is itself selected)
    // and marks its arcs dirty; destroying it destroys its label.
    void SetBounds(double left, double top, double width, double height) override;
    void MoveBy(double dx, double dy) override;
    void SavePosition() override;
    void RestorePosition() override;
    void Destroying() override;
};
