#pragma once

#include <QtGlobal>

// What the chart paging control needs of a chart: series it can append to and clear, and two
// axes whose range it sets and scrolls. Implemented by the data alone (ChartData) and by the
// widget that draws it (ChartView).
class ChartSurface
{
public:
    enum class Axis { Horizontal, Value };

    virtual ~ChartSurface() = default;

    virtual int seriesCount() const = 0;

    // The new point's horizontal value is the series' point count before the append.
    virtual void addPoint(int series, double value) = 0;
    virtual void clearSeries(int series) = 0;
    virtual qint64 pointCount(int series) const = 0;
    // An inactive series keeps its points and is not drawn.
    virtual void setSeriesActive(int series, bool active) = 0;
    virtual bool isSeriesActive(int series) const = 0;

    virtual void setAxisAutomatic(Axis axis, bool automatic) = 0;
    virtual bool isAxisAutomatic(Axis axis) const = 0;
    virtual void setAxisMinimum(Axis axis, double minimum) = 0;
    virtual void setAxisMaximum(Axis axis, double maximum) = 0;
    virtual double axisMinimum(Axis axis) const = 0;
    virtual double axisMaximum(Axis axis) const = 0;

    // Moves the horizontal axis by offset, limited to the data: forward only while the largest
    // horizontal value lies beyond the axis maximum, back only while the smallest lies before
    // the minimum; 0 never moves. A move switches the axis to manual and repaints. Returns
    // whether the axis moved.
    virtual bool scrollHorizontal(double offset) = 0;

protected:
    ChartSurface() = default;
    ChartSurface(const ChartSurface &) = default;
    ChartSurface &operator=(const ChartSurface &) = default;
};
