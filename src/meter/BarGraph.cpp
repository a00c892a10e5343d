#include "meter/BarGraph.h"

#include <QPainter>
#include <QStyleOptionFrame>

BarGraph::BarGraph(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BarGraph::setMaximum(int maximum)
{
    if (maximum == m_maximum)
        return;
    m_maximum = maximum;
    update();
}

void BarGraph::setValue(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
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

    if (m_maximum <= 0 || m_value <= 0)
        return;
    const QRect inside = r.adjusted(2, 2, -2, -2);
    const int filled = int(qint64(inside.width()) * qMin(m_value, m_maximum) / m_maximum);
    // Blocks, as on a classic progress bar and on the meter's own bar graph.
    const QColor chunk = pal.color(QPalette::Highlight);
    constexpr int block = 8, gap = 2;
    for (int x = 0; x < filled; x += block + gap)
        p.fillRect(inside.x() + x, inside.y(), qMin(block, filled - x), inside.height(), chunk);
}
