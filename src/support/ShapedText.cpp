#include "support/ShapedText.h"

#include "support/RasterPainter.h"

#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

namespace {

// The raster engine keeps glyphs up to this many pixels high in its cache and draws larger ones
// as outlines, each way differently for glyph runs and for text; below it both draw the same.
constexpr int largestCachedPixels = 48;

} // namespace

ShapedText ShapedText::fromLayout(const QTextLayout &layout)
{
    ShapedText shaped;
    shaped.m_runs = layout.glyphRuns();
    shaped.measureInk();
    return shaped;
}

ShapedText ShapedText::fromRuns(QList<QGlyphRun> runs)
{
    ShapedText shaped;
    shaped.m_runs = std::move(runs);
    shaped.measureInk();
    return shaped;
}

void ShapedText::measureInk()
{
    QRectF ink;
    for (const QGlyphRun &run : std::as_const(m_runs)) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            ink |= font.boundingRect(glyphs[i]).translated(positions[i]);
    }
    m_ink = ink.isNull() ? QRectF() : ink.adjusted(-1, -1, 1, 1);
}

ShapedText ShapedText::line(const QPainter &p, const QString &text)
{
    QTextLayout layout(text, p.font());
    QTextOption option;
    option.setTextDirection(p.layoutDirection());
    option.setWrapMode(QTextOption::NoWrap);
    // From the line's start whatever the direction, as drawText places its runs.
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setPosition(QPointF(0, 0));
    layout.endLayout();
    ShapedText shaped = fromLayout(layout);
    if (!line.isValid())
        return shaped;
    // From the line's top to its baseline.
    const QPointF up(0, -line.ascent());
    for (QGlyphRun &run : shaped.m_runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF &at : positions)
            at += up;
        run.setPositions(positions);
    }
    shaped.m_ink.translate(up);
    return shaped;
}

void ShapedText::draw(QPainter &p, QPointF origin) const
{
    for (const QGlyphRun &run : m_runs)
        p.drawGlyphRun(origin, run);
}

bool ShapedText::drawsLikeText(const QPainter &p, const QFont &font)
{
    return paintsRasterUnscaled(p) && font.pixelSize() > 0
        && font.pixelSize() <= largestCachedPixels;
}
