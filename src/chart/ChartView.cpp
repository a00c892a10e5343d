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
constexpr int TickLength = 4;

// 1, 2 or 5 times a power of ten, giving at most about maxTicks steps over span.
double niceStep(double span, int maxTicks)
{
    const double raw = span / double(std::max(maxTicks, 1));
    if (!(raw > 0.0) || !std::isfinite(raw))
        return 1.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double n = raw / magnitude;
    const double factor = n <= 1.0 ? 1.0 : n <= 2.0 ? 2.0 : n <= 5.0 ? 5.0 : 10.0;
    return factor * magnitude;
}

template<class F> void forEachTick(double lo, double hi, double step, F f)
{
    // Bounded, so a huge range with a tiny step can never stall a repaint.
    const double first = std::ceil(lo / step - 1e-9) * step;
    for (int i = 0; i < 200; ++i) {
        double v = first + double(i) * step;
        if (v > hi + step * 1e-9)
            break;
        if (std::abs(v) < step * 1e-9)
            v = 0.0;
        f(v);
    }
}

QString tickText(double v)
{
    return QString::number(v, 'g', 12);
}

// Far beyond the plot the raster engine's fixed-point coordinates would overflow; the clip
// hides the difference.
double clampPixel(double v, double lo, double hi)
{
    if (std::isnan(v))
        return v;
    return std::clamp(v, lo - 10000.0, hi + 10000.0);
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

ChartView::Range ChartView::horizontalRange() const
{
    Range r {m_data.axisMinimum(Axis::Horizontal), m_data.axisMaximum(Axis::Horizontal)};
    if (m_data.isAxisAutomatic(Axis::Horizontal))
        r = {0.0, double(std::max<qint64>(m_data.largestX(), 1))};
    if (!std::isfinite(r.lo) || !std::isfinite(r.hi))
        r = {1.0, 100.0};
    if (r.lo > r.hi)
        std::swap(r.lo, r.hi);
    if (!(r.hi > r.lo)) {
        r.lo -= 0.5;
        r.hi += 0.5;
    }
    return r;
}

ChartView::Range ChartView::valueRange(Range x) const
{
    Range r {m_data.axisMinimum(Axis::Value), m_data.axisMaximum(Axis::Value)};
    if (m_data.isAxisAutomatic(Axis::Value)) {
        ValueExtent e;
        const auto first = qint64(std::max(0.0, std::ceil(x.lo)));
        const double last = std::floor(x.hi);
        for (int s = 0; s < m_data.seriesCount(); ++s) {
            if (m_data.isSeriesActive(s) && last >= double(first))
                e.merge(m_data.extent(s, first, qint64(std::min(last, 9e18)) + 1));
        }
        r = e.isEmpty() ? Range {0.0, 1.0} : Range {double(e.min), double(e.max)};
    }
    // An infinite reading can only widen an automatic range to nothing drawable.
    if (!std::isfinite(r.lo) || !std::isfinite(r.hi))
        r = {0.0, 1.0};
    if (r.lo > r.hi)
        std::swap(r.lo, r.hi);
    if (!(r.hi > r.lo)) {
        r.lo -= 1.0;
        r.hi += 1.0;
    }
    return r;
}

ChartView::Layout ChartView::layout() const
{
    const QFontMetrics fm(m_font);
    Layout l {};
    l.x = horizontalRange();
    l.y = valueRange(l.x);

    const int top = ToolBarHeight + fm.height() / 2 + 6;
    const int bottom = height() - fm.height() - TickLength - 6;
    const int plotHeight = std::max(bottom - top + 1, 1);
    l.yStep = niceStep(l.y.hi - l.y.lo, std::max(2, plotHeight / (fm.height() * 2)));
    int labelWidth = 0;
    forEachTick(l.y.lo, l.y.hi, l.yStep, [&](double v) {
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(tickText(v)));
    });

    const int xLabelWidth = std::max(fm.horizontalAdvance(tickText(std::floor(l.x.lo))),
                                     fm.horizontalAdvance(tickText(std::ceil(l.x.hi))));
    const int left = 4 + labelWidth + TickLength + 3;
    const int right = width() - std::max(10, xLabelWidth / 2 + 4);
    const int plotWidth = std::max(right - left + 1, 1);
    l.xStep = niceStep(l.x.hi - l.x.lo, std::max(2, plotWidth / (xLabelWidth + 24)));
    // The horizontal values are point numbers: no ticks between them.
    if (l.x.hi - l.x.lo >= 2.0)
        l.xStep = std::max(l.xStep, 1.0);
    l.plot = QRect(left, top, plotWidth, plotHeight);
    return l;
}

QRect ChartView::plotRect() const
{
    return layout().plot;
}

QPointF ChartView::mapToPlot(double x, double value) const
{
    return map(layout(), x, value);
}

QPointF ChartView::map(const Layout &l, double x, double value)
{
    // The ends of each range fall on the centres of the outermost pixels.
    const QRect &p = l.plot;
    const double px = p.left() + 0.5 + (x - l.x.lo) / (l.x.hi - l.x.lo) * (p.width() - 1);
    const double py = p.top() + 0.5 + (l.y.hi - value) / (l.y.hi - l.y.lo) * (p.height() - 1);
    return {clampPixel(px, p.left(), p.right()), clampPixel(py, p.top(), p.bottom())};
}

void ChartView::paintEvent(QPaintEvent *)
{
    m_repaintPending = false;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const Layout l = layout();

    painter.setPen(GridColor);
    forEachTick(l.y.lo, l.y.hi, l.yStep, [&](double v) {
        const int y = int(std::floor(map(l, l.x.lo, v).y()));
        painter.drawLine(l.plot.left(), y, l.plot.right(), y);
    });
    forEachTick(l.x.lo, l.x.hi, l.xStep, [&](double v) {
        const int x = int(std::floor(map(l, v, l.y.lo).x()));
        painter.drawLine(x, l.plot.top(), x, l.plot.bottom());
    });

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

void ChartView::drawAxes(QPainter &painter, const Layout &l) const
{
    const QRect &p = l.plot;
    const QFontMetrics fm(m_font);
    painter.setFont(m_font);
    painter.setPen(FrameColor);
    painter.drawRect(p.adjusted(-1, -1, 0, 0));

    forEachTick(l.y.lo, l.y.hi, l.yStep, [&](double v) {
        const int y = int(std::floor(map(l, l.x.lo, v).y()));
        painter.setPen(FrameColor);
        painter.drawLine(p.left() - 1 - TickLength, y, p.left() - 2, y);
        painter.setPen(TextColor);
        const QRect box(0, y - fm.height() / 2, p.left() - TickLength - 4, fm.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, tickText(v));
    });
    forEachTick(l.x.lo, l.x.hi, l.xStep, [&](double v) {
        const int x = int(std::floor(map(l, v, l.y.lo).x()));
        painter.setPen(FrameColor);
        painter.drawLine(x, p.bottom() + 2, x, p.bottom() + 1 + TickLength);
        painter.setPen(TextColor);
        const QString text = tickText(v);
        const int w = fm.horizontalAdvance(text);
        painter.drawText(QRect(x - w / 2 - 1, p.bottom() + TickLength + 3, w + 2, fm.height()),
                         Qt::AlignCenter, text);
    });
}

void ChartView::drawSeries(QPainter &painter, const Layout &l, int series)
{
    const bool area = series == 0;
    const QColor line = QColor::fromRgb(area ? AreaLineColor : LineColor);
    const qint64 count = m_data.pointCount(series);
    const auto first = qint64(std::max(0.0, std::ceil(l.x.lo)));
    const qint64 last = std::min(count - 1, qint64(std::min(std::floor(l.x.hi), 9e18)));
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
            m_run.append(map(l, double(i), v));
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
            m_run.append({l.plot.left() + c + 0.5, map(l, l.x.lo, e.max).y()});
        }
        drawRun(painter, l, true, Qt::transparent);
    }
    for (int c = 0; c < columns; ++c) {
        const ValueExtent &e = m_columns[std::size_t(c)];
        if (e.isEmpty()) {
            drawRun(painter, l, false, line);
            continue;
        }
        const double x = l.plot.left() + c + 0.5;
        const double high = map(l, l.x.lo, e.max).y();
        const double low = map(l, l.x.lo, e.min).y();
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

void ChartView::drawRun(QPainter &painter, const Layout &l, bool area, const QColor &line)
{
    if (m_run.isEmpty())
        return;
    if (area) {
        // Down to the bottom of the plot, whatever the value axis shows. Points sit on pixel
        // centres; the fill reaches half a pixel beyond them so the end columns are covered.
        const double base = l.plot.bottom() + 1.0;
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
