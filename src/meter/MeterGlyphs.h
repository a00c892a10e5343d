#pragma once

#include "support/ShapedText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QStringView>
#include <optional>

class QPainter;

// Paints texts in which a few plain characters stand for the meter's symbols, the way the
// meter's own display shows them. The texts keep these characters wherever they are stored or
// recorded; only painting turns them into symbols:
//   "*" ohm sign, "#" degrees Celsius, "?" degrees Fahrenheit, ")" diode, "&" continuity,
//   "$" battery, "%" dwell (percent sign), "<" angle sign, '"' hold, "@" the "L" of "0L".
// Symbols are drawn as vector shapes, one capital-letter height tall, in the painter's pen
// colour; every other character is drawn with the font. One object caches the metrics of one
// font and keeps its recent texts shaped, so keep it where the same font is painted often (a
// grid column, a display element).
class MeterGlyphs
{
public:
    explicit MeterGlyphs(const QFont &font);

    const QFont &font() const { return m_font; }
    // Height of a capital letter, and so of every symbol.
    qreal symbolHeight() const { return measures().capHeight; }

    // Horizontal advance of the painted text.
    qreal width(QStringView text) const;
    // Paints the text inside rect. Horizontal alignment as usual; vertically the capital
    // height is centred (AlignVCenter, the default), or put against the top or bottom edge.
    void draw(QPainter &p, const QRectF &rect, int alignment, QStringView text) const;
    // Paints the text with its baseline starting at origin; returns the advance.
    qreal drawAt(QPainter &p, QPointF origin, QStringView text) const;

    static bool isSymbol(QChar c);

    // One-off conveniences; they measure the font on every call.
    static qreal textWidth(QStringView text, const QFont &font);
    static void drawText(QPainter &p, const QRectF &rect, int alignment, QStringView text,
                         const QFont &font);

private:
    struct Measures
    {
        qreal capHeight;
        qreal stroke;
        qreal bearing;
    };
    // Measured on first use: loading a font's face is costly, and many fonts wait unpainted.
    const Measures &measures() const;
    qreal symbolAdvance(QChar symbol) const;
    void drawSymbol(QPainter &p, QChar symbol, QPointF origin) const;
    // The font's advance of a run of plain text.
    qreal runAdvance(const QString &run) const;
    // Draws a run of plain text with its baseline starting at origin, as drawText would.
    void drawRun(QPainter &p, QPointF origin, const QString &run) const;

    QFont m_font;
    QFontMetricsF m_metrics;
    mutable std::optional<Measures> m_measures;
    mutable RecentTexts<ShapedText> m_shaped {256};
    mutable RecentTexts<qreal> m_advances {256};
    mutable Qt::LayoutDirection m_shapedDirection = Qt::LayoutDirectionAuto;
};
