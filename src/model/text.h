// Free text objects, also used as the name labels of places and transitions.
#pragma once

#include "model/interfaces.h"
#include "model/qrv_object.h"

class TQRVFont;

class TclsText : public TQRVObject, public IQRVStorable
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(TQRVFont* Font READ Font WRITE SetFont)

public:
    Q_INVOKABLE explicit TclsText(TQRVDesigner* designer);

    QString Text() const { return m_text; }
    // Only a non-empty text that differs is taken; then the size follows it.
    void SetText(const QString& text);
    void SetTextDirect(const QString& text) { m_text = text; }
    TQRVFont* Font() const { return m_font; }
    void SetFont(TQRVFont* font);
    // Width and height become those of Text measured in Font at its own size.
    void RecomputeSize();

    QString GetTypeCaption() const override { return QStringLiteral("Text"); }
    QString GetNamePrefix() const override { return QStringLiteral("TText"); }
    void FinishPlacement(bool placed) override;
    void Loaded() override;
    void UpdateRegion() override;
    void Draw(QPainter& painter, int mode) override;

    void SaveToXml(TqibXMLNode& element) const override;
    void LoadFromXml(const TqibXMLNode& element) override;

private:
    QString m_text = QStringLiteral("Text");
    TQRVFont* m_font;
};
