#pragma once

#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QFont;
class QPainter;
class QTextLayout;

// A text the text engine has laid out once, kept as its glyphs. Drawing it again skips the
// engine's itemizing and shaping, most of what a short text costs to draw, and gives the
// pixels drawing the text itself gives: the same glyphs of the same font at the same places.
class ShapedText
{
public:
    // The glyphs of a laid-out text, placed relative to the point the layout is drawn at.
    static ShapedText fromLayout(const QTextLayout &layout);
    // The glyphs QPainter::drawText(origin, text) draws with the painter's font and layout
    // direction, placed relative to the baseline's start.
    static ShapedText line(const QPainter &p, const QString &text);
    // Glyph runs made elsewhere, placed relative to the point they are drawn at.
    static ShapedText fromRuns(QList<QGlyphRun> runs);

    void draw(QPainter &p, QPointF origin) const;
    const QList<QGlyphRun> &runs() const { return m_runs; }

    // Where the glyphs' ink can reach, relative to the origin, with a pixel spare all round for
    // smoothing.
    const QRectF &inkBounds() const { return m_ink; }

    // Whether glyphs drawn on this painter come out as drawing their text would: on the raster
    // engine without scaling (nor a device pixel ratio), in a font small enough for the engine's
    // glyph cache. (A printer keeps text as text; large or scaled glyphs are drawn as outlines.)
    static bool drawsLikeText(const QPainter &p, const QFont &font);

private:
    void measureInk();

    QList<QGlyphRun> m_runs;
    QRectF m_ink;
};

// The values of the texts used most recently, in two generations: a text found in the older one
// moves to the newer; when the newer is full it becomes the older, and the texts not used since
// are dropped. So it holds at most twice a generation, and texts that keep coming back stay.
template<class Value> class RecentTexts
{
public:
    explicit RecentTexts(qsizetype generation)
        : m_generation(generation)
    {
    }

    const Value *find(const QString &text)
    {
        if (auto it = m_newer.constFind(text); it != m_newer.cend())
            return &*it;
        auto old = m_older.find(text);
        if (old == m_older.end())
            return nullptr;
        Value value = std::move(*old);
        m_older.erase(old);
        return &insert(text, std::move(value));
    }

    const Value &insert(const QString &text, Value value)
    {
        if (m_newer.size() >= m_generation) {
            m_older = std::move(m_newer);
            m_newer = {};
        }
        return *m_newer.insert(text, std::move(value));
    }

    void clear()
    {
        m_newer.clear();
        m_older.clear();
    }

    qsizetype size() const { return m_newer.size() + m_older.size(); }

private:
    qsizetype m_generation;
    QHash<QString, Value> m_newer;
    QHash<QString, Value> m_older;
};
