#include "model/qrv_object.h"

#include <QPainter>

#include <atomic>

#include "model/designer.h"

namespace {
std::atomic<quint64> g_lastSerial{0};
} // namespace

TQRVObject::TQRVObject(TQRVDesigner* designer) : m_designer(designer), m_serial(++g_lastSerial) {}

TQRVObject::~TQRVObject() = default;

void TQRVObject::SetName(const QString& name)
{
    if (name == m_name)
        return;
    if (!m_designer) {
        m_name = name;
        return;
    }
    const QString error = m_designer->RenameObject(this, name);
    if (!error.isEmpty())
        m_designer->ShowError(error);
}

void TQRVObject::SetGroup(const QString& group)
{
    if (group == m_group)
        return;
    if (!IsStorableText(group)) {
        if (m_designer)
            m_designer->ShowError(UnstorableTextMessage(QStringLiteral("A group label")));
        return;
    }
    m_group = group;
}

void TQRVObject::SetLeft(double v)
{
    if (v == m_left)
        return;
    m_left = v;
    IncludeState(osDirty);
    DesignerUpdate();
}

void TQRVObject::SetTop(double v)
{
    if (v == m_top)
        return;
    m_top = v;
    IncludeState(osDirty);
    DesignerUpdate();
}

double TQRVObject::ScreenX() const
{
    return m_designer ? m_designer->ToScreenX(m_left) : m_left;
}

double TQRVObject::ScreenY() const
{
    return m_designer ? m_designer->ToScreenY(m_top) : m_top;
}

double TQRVObject::ScreenWidth() const
{
    return m_designer ? m_width * m_designer->Scale() : m_width;
}

double TQRVObject::ScreenHeight() const
{
    return m_designer ? m_height * m_designer->Scale() : m_height;
}

bool TQRVObject::RejectPlacement(double, double)
{
    return false;
}

void TQRVObject::FinishPlacement(bool)
{
    ExcludeState(osPlacing);
}

void TQRVObject::SavePosition()
{
    SavedLeft = m_left;
    SavedTop = m_top;
}

void TQRVObject::RestorePosition()
{
    m_left = SavedLeft;
    m_top = SavedTop;
    IncludeState(osDirty);
}

void TQRVObject::MouseDown(Qt::MouseButton, double, double) {}
void TQRVObject::MouseUp(Qt::MouseButton, double, double) {}
void TQRVObject::MouseMove(double, double) {}

void TQRVObject::Draw(QPainter& painter, int)
{
    PrepareCanvas(painter);
}

void TQRVObject::UpdateRegion()
{
    ExcludeState(osDirty);
}

void TQRVObject::SetBounds(double left, double top, double width, double height)
{
    SetBoundsDirect(left, top, width, height);
    IncludeState(osDirty);
}

void TQRVObject::SetBoundsDirect(double left, double top, double width, double height)
{
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
}

void TQRVObject::MoveBy(double dx, double dy)
{
    m_left += dx;
    m_top += dy;
    IncludeState(osDirty);
}

bool TQRVObject::IsHighlighted(int mode) const
{
    return (mode & dmHighlight) || (m_designer && m_designer->IsSelected(this));
}

void TQRVObject::PrepareCanvas(QPainter& painter) const
{
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
}

void TQRVObject::DesignerUpdate() const
{
    if (m_designer)
        m_designer->Update();
}

bool IsStorableText(const QString& text)
{
    for (QChar c : text)
        if (c == u'"' || c == u'<' || c == u'>')
            return false;
    return true;
}

QString UnstorableTextMessage(const QString& what)
{
    return what + QStringLiteral(" may not contain the characters \" < >");
}
