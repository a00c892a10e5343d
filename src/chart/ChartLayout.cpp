#include "chart/ChartLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Far beyond the plot the raster engine's fixed-point coordinates would overflow; the clip
// hides the difference.
double clampPixel(double v, double lo, double hi)
{
    if (std::isnan(v))
        return v;
    return std::clamp(v, lo - 10000.0, hi + 10000.0);
}

// A point number from a rounded range end, held where the conversion is defined (a NaN end
// gives `lowest`).
qint64 pointNumber(double v, double lowest)
{
    if (!(v >= lowest))
        return qint64(lowest);
    return qint64(std::min(v, 9e18));
}

ChartRange ordered(ChartRange r, double widening)
{
    if (r.lo > r.hi)
        std::swap(r.lo, r.hi);
    if (!(r.hi > r.lo)) {
        r.lo -= widening;
        r.hi += widening;
    }
    return r;
}

// The plot's rows depend on the widget's height and the text's alone.
struct Rows
{
    int top;
    int height;
};

Rows plotRows(int widgetHeight, int textHeight)
{
    const int top = ChartLayout::ToolBarHeight + textHeight / 2 + 6;
    const int bottom = widgetHeight - textHeight - ChartLayout::TickLength - 6;
    return {top, std::max(bottom - top + 1, 1)};
}

double valueStep(ChartRange y, int plotHeight, int textHeight)
{
    // About two lines of text between the value labels.
    return chartTickStep(y.span(), std::max(2, plotHeight / std::max(textHeight * 2, 1)));
}

} // namespace

double chartTickStep(double span, int maxTicks)
{
    const double raw = span / double(std::max(maxTicks, 1));
    if (!(raw > 0.0) || !std::isfinite(raw))
        return 1.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double n = raw / magnitude;
    const double factor = n <= 1.0 ? 1.0 : n <= 2.0 ? 2.0 : n <= 5.0 ? 5.0 : 10.0;
    return factor * magnitude;
}

QList<double> chartTickValues(ChartRange range, double step)
{
    QList<double> values;
    // The tolerances keep the ends when rounding leaves them a hair outside, and make the tick
    // near zero exactly zero.
    const double first = std::ceil(range.lo / step - 1e-9) * step;
    for (int i = 0; i < ChartLayout::MaxTicks; ++i) {
        double v = first + double(i) * step;
        if (v > range.hi + step * 1e-9)
            break;
        if (std::abs(v) < step * 1e-9)
            v = 0.0;
        values.append(v);
    }
    return values;
}

QString chartTickText(double value)
{
    return QString::number(value, 'g', 12);
}

ChartRange ChartLayout::horizontalRange(const ChartAxis &axis, qint64 largestX)
{
    ChartRange r {axis.minimum, axis.maximum};
    if (axis.automatic)
        r = {0.0, double(std::max<qint64>(largestX, 1))};
    if (!std::isfinite(r.lo) || !std::isfinite(r.hi))
        r = {1.0, 100.0};
    return ordered(r, 0.5);
}

ChartRange ChartLayout::valueRange(const ChartAxis &axis, const ValueExtent &shown)
{
    ChartRange r {axis.minimum, axis.maximum};
    if (axis.automatic)
        r = shown.isEmpty() ? ChartRange {0.0, 1.0}
                            : ChartRange {double(shown.min), double(shown.max)};
    // An infinite reading can only widen an automatic range to nothing drawable.
    if (!std::isfinite(r.lo) || !std::isfinite(r.hi))
        r = {0.0, 1.0};
    return ordered(r, 1.0);
}

PointSpan ChartLayout::visiblePoints(ChartRange x)
{
    return {pointNumber(std::ceil(x.lo), 0.0), pointNumber(std::floor(x.hi), -1.0)};
}

QStringList ChartLayout::valueLabels(int widgetHeight, int textHeight, ChartRange y)
{
    const Rows rows = plotRows(widgetHeight, textHeight);
    const QList<double> values = chartTickValues(y, valueStep(y, rows.height, textHeight));
    QStringList texts;
    texts.reserve(values.size());
    for (const double v : values)
        texts.append(chartTickText(v));
    return texts;
}

QStringList ChartLayout::pointEndLabels(ChartRange x)
{
    return {chartTickText(std::floor(x.lo)), chartTickText(std::ceil(x.hi))};
}

ChartLayout ChartLayout::forWidget(QSize widget, ChartRange x, ChartRange y,
                                   const ChartTextMetrics &text)
{
    ChartLayout l;
    l.x = x;
    l.y = y;
    l.textHeight = text.height;

    const Rows rows = plotRows(widget.height(), text.height);
    l.yStep = valueStep(y, rows.height, text.height);
    const int left = 4 + text.valueLabelWidth + TickLength + 3;
    const int right = widget.width() - std::max(10, text.pointLabelWidth / 2 + 4);
    const int plotWidth = std::max(right - left + 1, 1);
    l.xStep = chartTickStep(x.span(), std::max(2, plotWidth / (text.pointLabelWidth + 24)));
    // The horizontal values are point numbers: no ticks between them.
    if (x.span() >= 2.0)
        l.xStep = std::max(l.xStep, 1.0);
    l.plot = QRect(left, rows.top, plotWidth, rows.height);

    const QList<double> yValues = chartTickValues(y, l.yStep);
    l.yTicks.reserve(yValues.size());
    for (const double v : yValues)
        l.yTicks.append({v, int(std::floor(l.pixelY(v))), chartTickText(v)});
    const QList<double> xValues = chartTickValues(x, l.xStep);
    l.xTicks.reserve(xValues.size());
    for (const double v : xValues)
        l.xTicks.append({v, int(std::floor(l.pixelX(v))), chartTickText(v)});
    return l;
}

double ChartLayout::pixelX(double point) const
{
    const QRect &p = plot;
    const double px = p.left() + 0.5 + (point - x.lo) / (x.hi - x.lo) * (p.width() - 1);
    return clampPixel(px, p.left(), p.right());
}

double ChartLayout::pixelY(double value) const
{
    const QRect &p = plot;
    const double py = p.top() + 0.5 + (y.hi - value) / (y.hi - y.lo) * (p.height() - 1);
    return clampPixel(py, p.top(), p.bottom());
}

QLine ChartLayout::gridLine(const ChartTick &valueTick) const
{
    return {plot.left(), valueTick.pixel, plot.right(), valueTick.pixel};
}

QLine ChartLayout::gridColumn(const ChartTick &pointTick) const
{
    return {pointTick.pixel, plot.top(), pointTick.pixel, plot.bottom()};
}

QLine ChartLayout::valueTickMark(const ChartTick &tick) const
{
    return {plot.left() - 1 - TickLength, tick.pixel, plot.left() - 2, tick.pixel};
}

QLine ChartLayout::pointTickMark(const ChartTick &tick) const
{
    return {tick.pixel, plot.bottom() + 2, tick.pixel, plot.bottom() + 1 + TickLength};
}

QRect ChartLayout::valueLabelBox(const ChartTick &tick) const
{
    return {0, tick.pixel - textHeight / 2, plot.left() - TickLength - 4, textHeight};
}

QRect ChartLayout::pointLabelBox(const ChartTick &tick, int textWidth) const
{
    return {tick.pixel - textWidth / 2 - 1, plot.bottom() + TickLength + 3, textWidth + 2,
            textHeight};
}
