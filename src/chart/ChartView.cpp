#include "chart/ChartView.h"

#include "support/WindowLook.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

const QColor GridColor(0xE4, 0xE4, 0xE4);
const QColor FrameColor(0x80, 0x80, 0x80);
const QColor TextColor(Qt::black);

ChartAxis axisOf(const ChartData &data, ChartSurface::Axis axis)
{
    return {data.isAxisAutomatic(axis), data.axisMinimum(axis), data.axisMaximum(axis)};
}

} // namespace

ChartView::ChartView(QWidget *parent)
    : QFrame(parent)
    , m_font(WindowLook::arial(11, false))
{
    setObjectName(u"Chtshow"_qs);
    setFrameStyle(QFrame::NoFrame);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // One update() per repaint: paging across a long recording scrolls thousands of times.
    m_data.setChangedHandler([this] {
        if (!m_repaintPending) {
            m_repaintPending = true;
            update();
        }
    });
}

ChartView::~ChartView()
{
    m_data.setChangedHandler({});
}

ChartRange ChartView::valueRange(ChartRange x) const
{
    ValueExtent shown;
    if (m_data.isAxisAutomatic(Axis::Value)) {
        const PointSpan points = ChartLayout::visiblePoints(x);
        for (int s = 0; s < m_data.seriesCount(); ++s) {
            if (m_data.isSeriesActive(s) && !points.isEmpty())
                shown.merge(m_data.extent(s, points.first, points.last + 1));
        }
    }
    return ChartLayout::valueRange(axisOf(m_data, Axis::Value), shown);
}

ChartLayout ChartView::layout() const
{
    const QFontMetrics fm(m_font);
    const ChartRange x
        = ChartLayout::horizontalRange(axisOf(m_data, Axis::Horizontal), m_data.largestX());
    const ChartRange y = valueRange(x);
    ChartTextMetrics text;
    text.height = fm.height();
    for (const QString &label : ChartLayout::valueLabels(height(), text.height, y))
        text.valueLabelWidth = std::max(text.valueLabelWidth, fm.horizontalAdvance(label));
    for (const QString &label : ChartLayout::pointEndLabels(x))
        text.pointLabelWidth = std::max(text.pointLabelWidth, fm.horizontalAdvance(label));
    return ChartLayout::forWidget(size(), x, y, text);
}

QRect ChartView::plotRect() const
{
    return layout().plot;
}

QPointF ChartView::mapToPlot(double x, double value) const
{
    return layout().map(x, value);
}

void ChartView::paintEvent(QPaintEvent *)
{
    m_repaintPending = false;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const ChartLayout l = layout();

    painter.setPen(GridColor);
    for (const ChartTick &tick : l.yTicks)
        painter.drawLine(l.gridLine(tick));
    for (const ChartTick &tick : l.xTicks)
        painter.drawLine(l.gridColumn(tick));

    painter.save();
    painter.setClipRect(l.plot);
    for (int s = 0; s < m_data.seriesCount(); ++s) {
        if (m_data.isSeriesActive(s))
            drawSeries(painter, l, s);
    }
    painter.restore();

    drawAxes(painter, l);
    painter.setPen(FrameColor);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ChartView::drawAxes(QPainter &painter, const ChartLayout &l) const
{
    const QFontMetrics fm(m_font);
    painter.setFont(m_font);
    painter.setPen(FrameColor);
    painter.drawRect(l.frame());

    for (const ChartTick &tick : l.yTicks) {
        painter.setPen(FrameColor);
        painter.drawLine(l.valueTickMark(tick));
        painter.setPen(TextColor);
        painter.drawText(l.valueLabelBox(tick), Qt::AlignRight | Qt::AlignVCenter, tick.text);
    }
    for (const ChartTick &tick : l.xTicks) {
        painter.setPen(FrameColor);
        painter.drawLine(l.pointTickMark(tick));
        painter.setPen(TextColor);
        painter.drawText(l.pointLabelBox(tick, fm.horizontalAdvance(tick.text)), Qt::AlignCenter,
                         tick.text);
    }
}

void ChartView::drawSeries(QPainter &painter, const ChartLayout &l, int series)
{
    const bool area = series == 0;
    const QColor line = QColor::fromRgb(area ? AreaLineColor : LineColor);
    const qint64 count = m_data.pointCount(series);
    const PointSpan shown = ChartLayout::visiblePoints(l.x);
    const qint64 first = shown.first;
    const qint64 last = std::min(count - 1, shown.last);
    if (count == 0 || first > last)
        return;

    m_run.clear();
    const int columns = l.plot.width();
    if (last - first + 1 <= 2 * qint64(columns)) {
        for (qint64 i = first; i <= last; ++i) {
            const double v = m_data.value(series, i);
            if (std::isnan(v)) {
                drawRun(painter, l, area, line);
                continue;
            }
            m_run.append(l.map(double(i), v));
        }
        drawRun(painter, l, area, line);
        return;
    }

    // More points than pixels: per column the area reaches the highest value, and the line
    // zigzags through each column's lowest and highest, so no peak is lost.
    m_columns.resize(std::size_t(columns));
    m_data.columnExtents(series, l.x.lo, l.x.hi, m_columns);
    if (area) {
        for (int c = 0; c < columns; ++c) {
            const ValueExtent &e = m_columns[std::size_t(c)];
            if (e.isEmpty()) {
                drawRun(painter, l, true, Qt::transparent);
                continue;
            }
            m_run.append({l.columnCentre(c), l.pixelY(e.max)});
        }
        drawRun(painter, l, true, Qt::transparent);
    }
    for (int c = 0; c < columns; ++c) {
        const ValueExtent &e = m_columns[std::size_t(c)];
        if (e.isEmpty()) {
            drawRun(painter, l, false, line);
            continue;
        }
        const double x = l.columnCentre(c);
        const double high = l.pixelY(e.max);
        const double low = l.pixelY(e.min);
        if (c % 2 == 0) {
            m_run.append({x, high});
            m_run.append({x, low});
        } else {
            m_run.append({x, low});
            m_run.append({x, high});
        }
    }
    drawRun(painter, l, false, line);
}

void ChartView::drawRun(QPainter &painter, const ChartLayout &l, bool area, const QColor &line)
{
    if (m_run.isEmpty())
        return;
    if (area) {
        // Down to the bottom of the plot. Points sit on pixel centres; the fill reaches half a
        // pixel beyond them so the end columns are covered.
        const double base = l.areaBase();
        const double left = m_run.first().x() - 0.5;
        const double right = m_run.last().x() + 0.5;
        const double firstY = m_run.first().y();
        m_run.append({right, m_run.last().y()});
        m_run.append({right, base});
        m_run.append({left, base});
        m_run.append({left, firstY});
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgb(AreaColor));
        painter.drawPolygon(m_run.constData(), int(m_run.size()));
        painter.setBrush(Qt::NoBrush);
        m_run.resize(m_run.size() - 4);
    }
    if (line.alpha() > 0) {
        painter.setPen(QPen(line, 0));
        if (m_run.size() == 1)
            painter.drawPoint(m_run.first());
        else
            painter.drawPolyline(m_run.constData(), int(m_run.size()));
    }
    m_run.clear();
}

void ChartView::wheelEvent(QWheelEvent *event)
{
    event->accept();
}
