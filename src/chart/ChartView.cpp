#include "chart/ChartView.h"

#include "support/WindowLook.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor GridColor(0xE4, 0xE4, 0xE4);
const QColor FrameColor(0x80, 0x80, 0x80);
const QColor TextColor(Qt::black);
// Pixels kept clear around the ends of a line, for its caps and rounding.
constexpr int Margin = 4;

ChartAxis axisOf(const ChartData &data, ChartSurface::Axis axis)
{
    return {data.isAxisAutomatic(axis), data.axisMinimum(axis), data.axisMaximum(axis)};
}

} // namespace

ChartView::ChartView(QWidget *parent)
    : QFrame(parent)
    , m_font(labelFont())
{
    setObjectName(u"Chtshow"_qs);
    setFrameStyle(QFrame::NoFrame);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_data.setChangedHandler([this] { changed(); });
}

ChartView::~ChartView()
{
    if (m_preparedBackground.valid())
        m_preparedBackground.wait();
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

ChartView::LayoutInputs ChartView::layoutInputs() const
{
    LayoutInputs in;
    in.size = size();
    in.ratio = devicePixelRatioF();
    in.x = ChartLayout::horizontalRange(axisOf(m_data, Axis::Horizontal), m_data.largestX());
    in.y = valueRange(in.x);
    return in;
}

ChartLayout ChartView::layout() const
{
    const LayoutInputs in = layoutInputs();
    const QFontMetrics fm(m_font);
    ChartTextMetrics text;
    text.height = fm.height();
    for (const QString &label : ChartLayout::valueLabels(in.size.height(), text.height, in.y))
        text.valueLabelWidth = std::max(text.valueLabelWidth, fm.horizontalAdvance(label));
    for (const QString &label : ChartLayout::pointEndLabels(in.x))
        text.pointLabelWidth = std::max(text.pointLabelWidth, fm.horizontalAdvance(label));
    return ChartLayout::forWidget(in.size, in.x, in.y, text);
}

const ChartLayout &ChartView::cachedLayout()
{
    const LayoutInputs in = layoutInputs();
    if (!m_layout || in != m_layoutInputs) {
        m_layout = layout();
        m_layoutInputs = in;
    }
    return *m_layout;
}

ChartView::Drawn ChartView::current(const LayoutInputs &inputs) const
{
    Drawn d;
    d.inputs = inputs;
    for (int s = 0; s < ChartData::SeriesCount; ++s) {
        d.counts[std::size_t(s)] = m_data.pointCount(s);
        d.active[std::size_t(s)] = m_data.isSeriesActive(s);
    }
    d.clears = m_data.clearCount();
    return d;
}

bool ChartView::appendedOnly(const ChartLayout &l, const Drawn &now, QRect &columns) const
{
    columns = {};
    if (!m_drawn)
        return false;
    const Drawn &was = *m_drawn;
    if (was.inputs != now.inputs || was.active != now.active || was.clears != now.clears)
        return false;
    const PointSpan shown = ChartLayout::visiblePoints(l.x);
    qint64 firstNew = std::numeric_limits<qint64>::max();
    qint64 lastNew = -1;
    for (std::size_t s = 0; s < now.counts.size(); ++s) {
        if (!now.active[s] || now.counts[s] == was.counts[s])
            continue;
        if (now.counts[s] < was.counts[s])
            return false;
        // A page drawn from per-column extents can change in every column.
        const qint64 last = std::min(now.counts[s] - 1, shown.last);
        if (last - shown.first + 1 > 2 * qint64(l.plot.width()))
            return false;
        firstNew = std::min(firstNew, was.counts[s]);
        lastNew = std::max(lastNew, now.counts[s] - 1);
    }
    if (lastNew < shown.first || firstNew > shown.last || shown.isEmpty())
        return true;
    // From the point before the first new one (its line end and the area's edge move on) to
    // the last new one shown, with room for the line's end caps.
    const qint64 from = std::max(firstNew - 1, shown.first);
    const qint64 to = std::min(lastNew, shown.last);
    const int left
        = from == shown.first ? l.plot.left() : int(std::floor(l.pixelX(double(from)))) - Margin;
    const int right = int(std::ceil(l.pixelX(double(to)))) + Margin;
    columns = QRect(QPoint(left, l.plot.top()), QPoint(right, l.plot.bottom())) & l.plot;
    return true;
}

void ChartView::changed()
{
    // One update() per repaint when the whole chart changes: paging across a long recording
    // scrolls thousands of times.
    if (m_repaintPending || !isVisible())
        return;
    const ChartLayout &l = cachedLayout();
    QRect columns;
    if (appendedOnly(l, current(m_layoutInputs), columns)) {
        if (!columns.isEmpty())
            update(columns);
        return;
    }
    m_repaintPending = true;
    update();
}

QRect ChartView::plotRect() const
{
    return layout().plot;
}

QPointF ChartView::mapToPlot(double x, double value) const
{
    return layout().map(x, value);
}

void ChartView::paintEvent(QPaintEvent *event)
{
    m_repaintPending = false;
    const ChartLayout &l = cachedLayout();
    const Drawn now = current(m_layoutInputs);
    const qreal ratio = devicePixelRatioF();
    QRect columns;
    if (m_picture.size() != size() * ratio || !appendedOnly(l, now, columns))
        drawAll(l);
    else if (!columns.isEmpty())
        drawColumns(l, columns);
    m_drawn = now;

    const QRect r = event->rect();
    QPainter(this).drawPixmap(r, m_picture, QRectF(QPointF(r.topLeft()) * ratio, r.size() * ratio));
}

QFont ChartView::labelFont()
{
    return WindowLook::arial(11, false);
}

void ChartView::prepareBackground()
{
    if (m_preparedBackground.valid())
        m_preparedBackground.wait();
    const ChartLayout &l = cachedLayout();
    m_preparedInputs = m_layoutInputs;
    const qreal ratio = devicePixelRatioF();
    // Drawn in the format of the pixmaps it will be copied into, so its pixels are theirs.
    const QImage::Format format = QPixmap(1, 1).toImage().format();
    m_preparedBackground
        = std::async(std::launch::async, [l, ratio, format, area = QRect(QPoint(), size())] {
              QImage picture(area.size() * ratio, format);
              picture.setDevicePixelRatio(ratio);
              QPainter painter(&picture);
              // A font of the thread's own: a font's loaded faces belong to the thread using it.
              drawBackground(painter, area, labelFont(), l);
              return picture;
          });
}

void ChartView::drawBackground(QPainter &painter, QRect rect, const QFont &font,
                               const ChartLayout &l)
{
    painter.fillRect(rect, Qt::white);
    painter.setPen(GridColor);
    for (const ChartTick &tick : l.yTicks)
        painter.drawLine(l.gridLine(tick));
    for (const ChartTick &tick : l.xTicks)
        painter.drawLine(l.gridColumn(tick));
    // The axes and the frame lie outside the plot, so the series drawn later never cover them.
    drawAxes(painter, font, l);
    painter.setPen(FrameColor);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

void ChartView::drawAll(const ChartLayout &l)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (m_preparedBackground.valid()) {
        QImage prepared = m_preparedBackground.get();
        if (m_preparedInputs == m_layoutInputs && prepared.size() == pixels) {
            m_background = QPixmap::fromImage(std::move(prepared));
            m_backgroundInputs = m_layoutInputs;
        }
    }
    if (m_background.size() != pixels || m_backgroundInputs != m_layoutInputs) {
        if (m_background.size() != pixels) {
            m_background = QPixmap(pixels);
            m_background.setDevicePixelRatio(ratio);
        }
        QPainter painter(&m_background);
        drawBackground(painter, rect(), m_font, l);
        m_backgroundInputs = m_layoutInputs;
    }
    if (m_picture.size() != pixels) {
        m_picture = QPixmap(pixels);
        m_picture.setDevicePixelRatio(ratio);
        m_scratch = QPixmap(pixels);
        m_scratch.setDevicePixelRatio(ratio);
    }
    QPainter painter(&m_picture);
    painter.drawPixmap(0, 0, m_background);
    painter.setClipRect(l.plot);
    for (int s = 0; s < m_data.seriesCount(); ++s) {
        if (m_data.isSeriesActive(s))
            drawSeries(painter, l, s);
    }
}

void ChartView::drawColumns(const ChartLayout &l, const QRect &columns)
{
    // The series are drawn again from a point far enough left of the columns that where that
    // shorter run starts (its line's end cap, its area's left edge) stays outside them; within
    // them the pixels are those of the whole chart drawn afresh.
    const PointSpan shown = ChartLayout::visiblePoints(l.x);
    qint64 from = shown.first;
    if (columns.left() > l.plot.left()) {
        // The last point at least a margin left of the columns (points lie left to right).
        qint64 lo = shown.first;
        qint64 hi = std::min(shown.last, m_data.largestX());
        while (lo < hi) {
            const qint64 mid = lo + (hi - lo + 1) / 2;
            if (l.pixelX(double(mid)) <= columns.left() - Margin)
                lo = mid;
            else
                hi = mid - 1;
        }
        from = lo;
    }
    const qreal ratio = devicePixelRatioF();
    const QRectF source(QPointF(columns.topLeft()) * ratio, QSizeF(columns.size()) * ratio);
    QPainter painter(&m_scratch);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(columns, m_background, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipRect(l.plot);
    for (int s = 0; s < m_data.seriesCount(); ++s) {
        if (m_data.isSeriesActive(s))
            drawSeries(painter, l, s, from);
    }
    painter.end();

    QPainter copy(&m_picture);
    copy.setCompositionMode(QPainter::CompositionMode_Source);
    copy.drawPixmap(columns, m_scratch, source);
}

void ChartView::drawAxes(QPainter &painter, const QFont &font, const ChartLayout &l)
{
    const QFontMetrics fm(font);
    painter.setFont(font);
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

void ChartView::drawSeries(QPainter &painter, const ChartLayout &l, int series, qint64 from)
{
    const bool area = series == 0;
    const QColor line = QColor::fromRgb(area ? AreaLineColor : LineColor);
    const qint64 count = m_data.pointCount(series);
    const PointSpan shown = ChartLayout::visiblePoints(l.x);
    const qint64 last = std::min(count - 1, shown.last);
    // Drawn point by point or by columns as the whole page needs, from wherever it starts.
    const qint64 first = std::max(shown.first, from);
    if (count == 0 || first > last)
        return;

    m_run.clear();
    const int columns = l.plot.width();
    if (last - shown.first + 1 <= 2 * qint64(columns)) {
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
