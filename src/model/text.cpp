// Free text objects, also the name labels of places and transitions.
#include "model/text.h"

#include <QFontMetrics>
#include <QPainter>

#include "model/designer.h"
#include "model/graphics_objects.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

TclsText::TclsText(TQRVDesigner* designer) : TQRVObject(designer), m_font(new TQRVFont(this))
{
    connect(m_font, &TQRVFont::Changed, this, [this] {
        RecomputeSize();
        DesignerUpdate();
    });
}

void TclsText::SetText(const QString& text)
{
    if (text.isEmpty() || text == m_text)
        return;
    if (!IsStorableText(text)) {
        if (Designer())
            Designer()->ShowError(UnstorableTextMessage(QStringLiteral("A text")));
        return;
    }
    m_text = text;
    RecomputeSize();
    DesignerUpdate();
}

void TclsText::SetFont(TQRVFont* font)
{
    if (font && font != m_font)
        m_font->Assign(*font);
}

void TclsText::RecomputeSize()
{
    const QFontMetrics metrics(m_font->ToQFont(1.0));
    SetBounds(m_left, m_top, metrics.horizontalAdvance(m_text), metrics.height());
}

void TclsText::FinishPlacement(bool placed)
{
    TQRVObject::FinishPlacement(placed);
    RecomputeSize();
    UpdateRegion();
}

void TclsText::Loaded()
{
    RecomputeSize();
    UpdateRegion();
}

void TclsText::UpdateRegion()
{
    ExcludeState(osDirty);
    const int x = qRound(ScreenX());
    const int y = qRound(ScreenY());
    m_region = QRegion(QRect(x, y, qRound(m_width), qRound(m_height)), QRegion::Ellipse);
}

void TclsText::Draw(QPainter& painter, int mode)
{
    TQRVObject::Draw(painter, mode);
    const double scale = Designer() ? Designer()->Scale() : 1.0;
    const bool highlighted = (mode & dmHighlight) || (Designer() && Designer()->IsSelected(this));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setFont(m_font->ToQFont(scale));
    painter.setPen(highlighted ? HighlightColor() : m_font->Color());
    const QPointF at(ScreenX(), ScreenY());
    painter.drawText(QRectF(at, QSizeF(1e6, 1e6)), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_text);
}

void TclsText::SaveToXml(TqibXMLNode& element) const
{
    SaveCommonAttributes(*this, element);
    element.AddAttribute(QStringLiteral("text"), m_text);
    SaveFont(element, *m_font);
}

void TclsText::LoadFromXml(const TqibXMLNode& element)
{
    LoadCommonAttributes(*this, element);
    m_text = RequiredAttribute(element, QStringLiteral("text")).Value;
    const QSignalBlocker block(m_font);
    LoadFont(element, *m_font);
}
