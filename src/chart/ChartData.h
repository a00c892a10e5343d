#pragma once

#include "chart/ChartSurface.h"

#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <vector>

// Smallest and largest of some values; empty (min > max) when there were none. NaN is skipped.
struct ValueExtent
{
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();

    bool isEmpty() const { return !(min <= max); }
    void add(float v)
    {
        if (v < min)
            min = v;
        if (v > max)
            max = v;
    }
    void merge(const ValueExtent &other)
    {
        if (other.min < min)
            min = other.min;
        if (other.max > max)
            max = other.max;
    }
};

// The points and axes of the time chart, without any drawing. The chart keeps every point
// until cleared (ten million and more), so a point costs 2 bytes per series while its value is
// a whole number that fits 16 bits (every display reading does) and 4 bytes (float) otherwise;
// min/max summaries per block of points let a page of any size be drawn in time bounded by its
// pixel width.
class ChartData final : public ChartSurface
{
public:
    static constexpr int SeriesCount = 2;
    // Points per storage chunk. A full chunk is never moved, so appends never copy points.
    static constexpr int ChunkBits = 14;
    static constexpr int ChunkSize = 1 << ChunkBits;
    // Points per min/max summary inside a chunk.
    static constexpr int BlockBits = 6;
    static constexpr int BlockSize = 1 << BlockBits;

    ChartData();
    ~ChartData() override;
    ChartData(const ChartData &) = delete;
    ChartData &operator=(const ChartData &) = delete;

    // Series 0 is the filled area "Series2", series 1 the line "Series1".
    static QString seriesName(int series);

    int seriesCount() const override { return SeriesCount; }
    void addPoint(int series, double value) override;
    void clearSeries(int series) override;
    qint64 pointCount(int series) const override;
    void setSeriesActive(int series, bool active) override;
    bool isSeriesActive(int series) const override;

    void setAxisAutomatic(Axis axis, bool automatic) override;
    bool isAxisAutomatic(Axis axis) const override;
    void setAxisMinimum(Axis axis, double minimum) override;
    void setAxisMaximum(Axis axis, double maximum) override;
    double axisMinimum(Axis axis) const override;
    double axisMaximum(Axis axis) const override;
    bool scrollHorizontal(double offset) override;

    // The value as stored: exact for whole numbers within 16 bits, rounded to float otherwise.
    double value(int series, qint64 index) const;
    // Over the points with index in [first, end), clamped to the series.
    ValueExtent extent(int series, qint64 first, qint64 end) const;
    // Splits the horizontal range [xFrom, xTo] into columns.size() equal columns and gives
    // each the extent of the points whose horizontal value falls into it (the last column
    // includes xTo). Costs O(columns * (ChunkSize / BlockSize + BlockSize)) at most, whatever
    // the number of points in the range.
    void columnExtents(int series, double xFrom, double xTo, std::span<ValueExtent> columns) const;
    // Largest horizontal value of any series; -1 without points.
    qint64 largestX() const;
    // Counts the clears of any series: with the point counts it tells whether points were only
    // appended since an earlier look.
    quint64 clearCount() const { return m_clears; }

    // Heap bytes held for points, summaries and chunk tables.
    std::size_t allocatedBytes() const;

    // Called after every change that can alter the drawn chart (appends out of view do not).
    void setChangedHandler(std::function<void()> handler);

private:
    class Series
    {
    public:
        Series();
        ~Series();
        Series(const Series &) = delete;
        Series &operator=(const Series &) = delete;

        void append(double value);
        void clear();
        qint64 count() const { return m_count; }
        double value(qint64 index) const;
        ValueExtent extent(qint64 first, qint64 end) const;
        std::size_t allocatedBytes() const;

        bool active = true;

    private:
        struct Chunk;
        std::vector<std::unique_ptr<Chunk>> m_chunks;
        qint64 m_count = 0;
    };

    struct AxisState
    {
        bool automatic = false;
        double minimum = 0.0;
        double maximum = 0.0;
    };

    AxisState &axisState(Axis axis) { return m_axes[axis == Axis::Horizontal ? 0 : 1]; }
    const AxisState &axisState(Axis axis) const { return m_axes[axis == Axis::Horizontal ? 0 : 1]; }
    bool canBeSeen(qint64 x) const;
    void changed();

    std::array<Series, SeriesCount> m_series;
    std::array<AxisState, 2> m_axes;
    std::function<void()> m_changed;
    quint64 m_clears = 0;
};
