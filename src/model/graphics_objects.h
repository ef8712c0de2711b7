// The font, pen and brush that annotation objects own and publish.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QObject>
#include <QPen>

#include "model/types.h"

// The colour of a stored colour value; negative values are the platform's
// system colours (window text, window, button face...), drawn in their usual
// colours.
QColor ColorFromValue(qint32 value);

class TQRVFont : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(Qrv::TFontStyles Style READ Style WRITE SetStyle)

public:
    explicit TQRVFont(QObject* parent = nullptr) : QObject(parent) {}

    QColor Color() const { return ColorFromValue(m_colorValue); }
    void SetColor(const QColor& c);
    // The colour as files store it: 0xBBGGRR, or a negative system colour.
    qint32 ColorValue() const { return m_colorValue; }
    void SetColorValue(qint32 value);
    QString Name() const { return m_name; }
    // A name holding '"', '<' or '>' would break the net file: refused with
    // a message (through the container of the element that owns the font).
    void SetName(const QString& n);
    // Stores the name as it is (file reading).
    void SetNameDirect(const QString& n) { m_name = n; }
    int Size() const { return m_size; }
    void SetSize(int s);
    Qrv::TFontStyles Style() const { return m_style; }
    void SetStyle(Qrv::TFontStyles s);
    void Assign(const TQRVFont& other);

    // The font for drawing, its point size multiplied by `scale` and rounded.
    QFont ToQFont(double scale = 1.0) const;
    void FromQFont(const QFont& font);

Q_SIGNALS:
    void Changed();

private:
    qint32 m_colorValue = 0; // black
    QString m_name = QStringLiteral("Arial");
    int m_size = 10;
    Qrv::TFontStyles m_style;
};

class TQRVPen : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(Qrv::TPenStyle Style READ Style WRITE SetStyle)

public:
    explicit TQRVPen(QObject* parent = nullptr) : QObject(parent) {}
    QColor Color() const { return ColorFromValue(m_colorValue); }
    void SetColor(const QColor& c);
    // The colour as files store it: 0xBBGGRR, or a negative system colour.
    qint32 ColorValue() const { return m_colorValue; }
    void SetColorValue(qint32 value);
    Qrv::TPenStyle Style() const { return m_style; }
    void SetStyle(Qrv::TPenStyle s);
    void Assign(const TQRVPen& other);
    QPen ToQPen() const;

Q_SIGNALS:
    void Changed();

private:
    qint32 m_colorValue = 0; // black
    Qrv::TPenStyle m_style = Qrv::psSolid;
};

class TQRVBrush : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(Qrv::TBrushStyle Style READ Style WRITE SetStyle)

public:
    explicit TQRVBrush(QObject* parent = nullptr) : QObject(parent) {}
    QColor Color() const { return ColorFromValue(m_colorValue); }
    void SetColor(const QColor& c);
    // The colour as files store it: 0xBBGGRR, or a negative system colour.
    qint32 ColorValue() const { return m_colorValue; }
    void SetColorValue(qint32 value);
    Qrv::TBrushStyle Style() const { return m_style; }
    void SetStyle(Qrv::TBrushStyle s);
    void Assign(const TQRVBrush& other);
    QBrush ToQBrush() const;

Q_SIGNALS:
    void Changed();

private:
    qint32 m_colorValue = 0xFFFFFF; // white
    Qrv::TBrushStyle m_style = Qrv::bsSolid;
};
