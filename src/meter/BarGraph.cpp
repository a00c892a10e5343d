#include "meter/BarGraph.h"

#include <QPainter>
#include <QStyleOptionFrame>

BarGraph::BarGraph(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

namespace {

QRect insideOf(const QRect &r)
{
    return r.adjusted(2, 2, -2, -2);
}

} // namespace

int BarGraph::filledWidth(int value, int maximum) const
{
    if (maximum <= 0 || value <= 0)
        return 0;
    return int(qint64(insideOf(rect()).width()) * qMin(value, maximum) / maximum);
}

void BarGraph::filledChanged(int before)
{
    const int after = filledWidth(m_value, m_maximum);
    if (after == before)
        return;
    // Left of the shorter bar the blocks stand where they stood.
    const QRect inside = insideOf(rect());
    update(
        QRect(inside.x() + qMin(before, after), inside.y(), qAbs(after - before), inside.height()));
}

void BarGraph::setMaximum(int maximum)
{
    if (maximum == m_maximum)
        return;
    const int before = filledWidth(m_value, m_maximum);
    m_maximum = maximum;
    filledChanged(before);
}

void BarGraph::setValue(int value)
{
    if (value == m_value)
        return;
    const int before = filledWidth(m_value, m_maximum);
    m_value = value;
    filledChanged(before);
}

void BarGraph::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    const QPalette &pal = palette();
    p.fillRect(r, pal.color(QPalette::Base));
    // A sunken frame, drawn by hand: the style's rounded, shaded bar costs far more per frame.
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());

    const int filled = filledWidth(m_value, m_maximum);
    if (filled <= 0)
        return;
    const QRect inside = insideOf(r);
    // Blocks, as on a classic progress bar and on the meter's own bar graph.
    const QColor chunk = pal.color(QPalette::Highlight);
    constexpr int block = 8, gap = 2;
    for (int x = 0; x < filled; x += block + gap)
        p.fillRect(inside.x() + x, inside.y(), qMin(block, filled - x), inside.height(), chunk);
}
