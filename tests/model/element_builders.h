// Building nets in tests without a window: places, transitions and arcs put
// straight into a container, and pictures of what the container draws.
#pragma once

#include <QImage>
#include <QPainter>

#include <functional>
#include <memory>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/places.h"
#include "model/transitions.h"
#include "netfile/xml_tree.h"
#include "test_support.h"

// A place or transition with its top-left corner at (left, top), in the net.
template <class T> T* AddNode(TQRVDesigner& d, double left, double top, const QString& name = QString())
{
    auto* node = new T(&d);
    node->SetBoundsDirect(left, top, node->Width(), node->Height());
    node->SetNameDirect(name.isEmpty() ? d.UniqueName(node->GetNamePrefix()) : name);
    node->IncludeState(osDirty);
    d.InsertObject(node);
    d.Update();
    return node;
}

// A straight arc between two objects, in the net. `weight` is a formula text.
template <class A>
A* AddArc(TQRVDesigner& d, TQRVObject* source, TQRVObject* dest, const QString& weight = QString())
{
    auto* arc = new A(&d);
    arc->SetNameDirect(d.UniqueName(arc->GetNamePrefix()));
    d.InsertObject(arc);
    arc->SetSource(source);
    arc->SetDest(dest);
    if (!weight.isEmpty())
        arc->Weight()->SetFormula(weight);
    arc->IncludeState(osDirty);
    d.Update();
    return arc;
}

// What the container draws, on a white picture of the given size.
inline QImage Picture(const TQRVDesigner& d, int width = 300, int height = 200)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    d.DrawObjects(painter);
    return image;
}

inline int CountPixels(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(image.pixel(x, y)))
                ++n;
    return n;
}

inline bool IsColor(QRgb pixel, quint32 bgr)
{
    return (pixel & 0xFFFFFF) == (BgrColor(bgr).rgb() & 0xFFFFFF);
}

inline bool IsMagenta(QRgb pixel)
{
    return IsColor(pixel, 0xFF00FF);
}

// An arc of the given kind, connected without the connection rules.
inline TclsLink* AddArcOfKind(TQRVDesigner& d, TLinkKind kind, TQRVObject* source, TQRVObject* dest,
                              const QString& weight = QString())
{
    switch (kind) {
    case lkNormal:
        return AddArc<TclsLinkNormal>(d, source, dest, weight);
    case lkIngibitor:
        return AddArc<TclsLinkIngibitor>(d, source, dest, weight);
    case lkIngibitorCounter:
        return AddArc<TclsLinkIngibitorCounter>(d, source, dest, weight);
    case lkTest:
        return AddArc<TclsLinkTest>(d, source, dest, weight);
    case lkContinuous:
        return AddArc<TclsLinkContinuous>(d, source, dest, weight);
    case lkTestContinuous:
        return AddArc<TclsLinkTestContinuous>(d, source, dest, weight);
    case lkIngibitorContinuous:
        return AddArc<TclsLinkIngibitorContinuous>(d, source, dest, weight);
    case lkIngibitorCounterContinuous:
        return AddArc<TclsLinkIngibitorCounterContinuous>(d, source, dest, weight);
    case lkFlow:
        return AddArc<TclsLinkFlow>(d, source, dest, weight);
    }
    return nullptr;
}

// What an element writes into a net file, as text.
inline QString SavedText(const IQRVStorable& element)
{
    TqibXMLNode node(QStringLiteral("object"));
    element.SaveToXml(node);
    return node.AsXml(0);
}

// An element read from the text of one file element, outside the net.
template <class T> std::unique_ptr<T> LoadedElement(TQRVDesigner& d, const QString& text)
{
    TqibXMLTree tree;
    tree.SetText(text);
    auto o = std::make_unique<T>(&d);
    o->IncludeState(osLoading);
    o->LoadFromXml(*tree.Nodes().first());
    o->ExcludeState(osLoading);
    return o;
}
