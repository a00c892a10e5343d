#pragma once

#include "chart/ChartData.h"

#include <QLine>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// Where the time chart puts its plot, ticks and points, as pure functions of the widget size,
// the axes and a few font measures. Coordinates are widget pixels.

// The part of an axis the chart shows, lo < hi once it comes out of ChartLayout.
struct ChartRange
{
    double lo = 0.0;
    double hi = 1.0;

    double span() const { return hi - lo; }
    friend bool operator==(const ChartRange &, const ChartRange &) = default;
};

// An axis as set on the chart.
struct ChartAxis
{
    bool automatic = false;
    double minimum = 0.0;
    double maximum = 0.0;
};

// The point numbers a horizontal range shows, first .. last; none when last < first.
struct PointSpan
{
    qint64 first = 0;
    qint64 last = -1;

    bool isEmpty() const { return last < first; }
    friend bool operator==(const PointSpan &, const PointSpan &) = default;
};

// 1, 2 or 5 times a power of ten, giving at most about maxTicks steps over span; 1 when the span
// is not a positive finite number.
double chartTickStep(double span, int maxTicks);
// The multiples of step within the range, ascending; at most ChartLayout::MaxTicks of them.
QList<double> chartTickValues(ChartRange range, double step);
QString chartTickText(double value);

// A tick with its gridline and label: pixel is the column (horizontal axis) or row (value
// axis) it is drawn at.
struct ChartTick
{
    double value = 0.0;
    int pixel = 0;
    QString text;

    friend bool operator==(const ChartTick &, const ChartTick &) = default;
};

// Font measures the layout needs, in pixels.
struct ChartTextMetrics
{
    int height = 0; // of a line of text
    int valueLabelWidth = 0; // of the widest of valueLabels()
    int pointLabelWidth = 0; // of the wider of pointEndLabels()
};

struct ChartLayout
{
    // The top strip is left to the toolbar laid over the chart.
    static constexpr int ToolBarHeight = 31;
    static constexpr int TickLength = 4;
    // Bounds the ticks of an axis, so a huge range with a tiny step can never stall a repaint.
    static constexpr int MaxTicks = 200;

    // The axis' own range, or 0 .. the largest point number when automatic; one wide around a
    // single number, 1 .. 100 when not finite.
    static ChartRange horizontalRange(const ChartAxis &axis, qint64 largestX);
    // The axis' own range, or the extent of the shown points when automatic (0 .. 1 without
    // any); two wide around a single value, 0 .. 1 when not finite.
    static ChartRange valueRange(const ChartAxis &axis, const ValueExtent &shown);
    static PointSpan visiblePoints(ChartRange x);

    // The texts whose widths ChartTextMetrics gives. The value axis' labels depend on the
    // widget's height alone, so they can be measured before the plot's sides are known.
    static QStringList valueLabels(int widgetHeight, int textHeight, ChartRange y);
    static QStringList pointEndLabels(ChartRange x);

    static ChartLayout forWidget(QSize widget, ChartRange x, ChartRange y,
                                 const ChartTextMetrics &text);

    // Where a point is drawn. The ends of each range fall on the centres of the outermost
    // pixels; far outside the plot the result is held 10000 pixels beyond it.
    QPointF map(double point, double value) const { return {pixelX(point), pixelY(value)}; }
    double pixelX(double point) const;
    double pixelY(double value) const;
    // Centre of the plot's pixel column c (0 is the leftmost).
    double columnCentre(int c) const { return plot.left() + c + 0.5; }
    // The filled area reaches down to here, whatever the value axis shows.
    double areaBase() const { return plot.bottom() + 1.0; }

    QRect frame() const { return plot.adjusted(-1, -1, 0, 0); }
    QLine gridLine(const ChartTick &valueTick) const;
    QLine gridColumn(const ChartTick &pointTick) const;
    QLine valueTickMark(const ChartTick &tick) const;
    QLine pointTickMark(const ChartTick &tick) const;
    // Right-aligned and vertically centred in it.
    QRect valueLabelBox(const ChartTick &tick) const;
    // Centred in it, for a label text textWidth wide.
    QRect pointLabelBox(const ChartTick &tick, int textWidth) const;

    QRect plot; // the pixels inside the frame
    ChartRange x;
    ChartRange y;
    double xStep = 1.0;
    double yStep = 1.0;
    QList<ChartTick> xTicks;
    QList<ChartTick> yTicks;
    int textHeight = 0;
};
