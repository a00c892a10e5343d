#include "chart/ChartData.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int ChunkMask = ChartData::ChunkSize - 1;
constexpr int BlockMask = ChartData::BlockSize - 1;
constexpr int BlocksPerChunk = ChartData::ChunkSize / ChartData::BlockSize;

bool fitsNarrow(double v)
{
    return v >= -32768.0 && v <= 32767.0 && double(qint16(v)) == v;
}

// First point index whose horizontal value is >= x, within [0, count].
qint64 indexAtOrAfter(double x, qint64 count)
{
    if (!(x > 0.0))
        return 0;
    if (x >= double(count))
        return count;
    return qint64(std::ceil(x));
}

} // namespace

// A chunk starts narrow (16-bit whole numbers) and turns wide (float) for good at the first
// value that does not fit; its summaries always hold the stored values.
struct ChartData::Series::Chunk
{
    std::unique_ptr<qint16[]> narrow = std::make_unique_for_overwrite<qint16[]>(ChunkSize);
    std::unique_ptr<float[]> wide;
    ValueExtent whole;
    std::array<ValueExtent, BlocksPerChunk> blocks;

    float at(int offset) const { return narrow ? float(narrow[offset]) : wide[offset]; }

    void widen(int filled)
    {
        wide = std::make_unique_for_overwrite<float[]>(ChunkSize);
        std::copy(narrow.get(), narrow.get() + filled, wide.get());
        narrow.reset();
    }

    template<class T> static void scan(const T *values, int from, int to, ValueExtent &extent)
    {
        for (int i = from; i < to; ++i)
            extent.add(float(values[i]));
    }

    // Over [from, to) of a chunk holding `filled` points.
    ValueExtent extent(int from, int to, int filled) const
    {
        ValueExtent r;
        int i = from;
        while (i < to) {
            const int blockStart = i & ~BlockMask;
            const int blockEnd = std::min(blockStart + BlockSize, filled);
            const int stop = std::min(to, blockEnd);
            if (i == blockStart && stop == blockEnd)
                r.merge(blocks[std::size_t(i >> BlockBits)]);
            else if (narrow)
                scan(narrow.get(), i, stop, r);
            else
                scan(wide.get(), i, stop, r);
            i = stop;
        }
        return r;
    }
};

ChartData::Series::Series() = default;
ChartData::Series::~Series() = default;

void ChartData::Series::append(double value)
{
    const int offset = int(m_count & ChunkMask);
    if (offset == 0)
        m_chunks.push_back(std::make_unique<Chunk>());
    Chunk &chunk = *m_chunks.back();
    float stored;
    if (chunk.narrow && fitsNarrow(value)) {
        const auto v = qint16(value);
        chunk.narrow[offset] = v;
        stored = float(v);
    } else {
        if (chunk.narrow)
            chunk.widen(offset);
        stored = float(value);
        chunk.wide[offset] = stored;
    }
    chunk.blocks[std::size_t(offset >> BlockBits)].add(stored);
    chunk.whole.add(stored);
    ++m_count;
}

void ChartData::Series::clear()
{
    std::vector<std::unique_ptr<Chunk>>().swap(m_chunks);
    m_count = 0;
}

double ChartData::Series::value(qint64 index) const
{
    Q_ASSERT(index >= 0 && index < m_count);
    return m_chunks[std::size_t(index >> ChunkBits)]->at(int(index & ChunkMask));
}

ValueExtent ChartData::Series::extent(qint64 first, qint64 end) const
{
    ValueExtent r;
    first = std::max<qint64>(first, 0);
    end = std::min(end, m_count);
    while (first < end) {
        const auto chunkIndex = std::size_t(first >> ChunkBits);
        const qint64 base = qint64(chunkIndex) << ChunkBits;
        const qint64 chunkEnd = std::min(base + ChunkSize, m_count);
        const qint64 stop = std::min(end, chunkEnd);
        const Chunk &chunk = *m_chunks[chunkIndex];
        if (first == base && stop == chunkEnd)
            r.merge(chunk.whole);
        else
            r.merge(chunk.extent(int(first - base), int(stop - base), int(chunkEnd - base)));
        first = stop;
    }
    return r;
}

std::size_t ChartData::Series::allocatedBytes() const
{
    std::size_t bytes = m_chunks.capacity() * sizeof(std::unique_ptr<Chunk>);
    for (const auto &chunk : m_chunks) {
        bytes += sizeof(Chunk);
        bytes += chunk->narrow ? ChunkSize * sizeof(qint16) : ChunkSize * sizeof(float);
    }
    return bytes;
}

ChartData::ChartData()
{
    // The design-time axes: horizontal 1 .. 100, value 0 .. 100, both manual.
    axisState(Axis::Horizontal) = {false, 1.0, 100.0};
    axisState(Axis::Value) = {false, 0.0, 100.0};
}

ChartData::~ChartData() = default;

QString ChartData::seriesName(int series)
{
    return series == 0 ? u"Series2"_qs : u"Series1"_qs;
}

void ChartData::addPoint(int series, double value)
{
    Series &s = m_series[std::size_t(series)];
    s.append(value);
    if (canBeSeen(s.count() - 1))
        changed();
}

void ChartData::clearSeries(int series)
{
    m_series[std::size_t(series)].clear();
    ++m_clears;
    changed();
}

qint64 ChartData::pointCount(int series) const
{
    return m_series[std::size_t(series)].count();
}

void ChartData::setSeriesActive(int series, bool active)
{
    Series &s = m_series[std::size_t(series)];
    if (s.active == active)
        return;
    s.active = active;
    changed();
}

bool ChartData::isSeriesActive(int series) const
{
    return m_series[std::size_t(series)].active;
}

void ChartData::setAxisAutomatic(Axis axis, bool automatic)
{
    AxisState &a = axisState(axis);
    if (a.automatic == automatic)
        return;
    a.automatic = automatic;
    changed();
}

bool ChartData::isAxisAutomatic(Axis axis) const
{
    return axisState(axis).automatic;
}

void ChartData::setAxisMinimum(Axis axis, double minimum)
{
    AxisState &a = axisState(axis);
    if (a.minimum == minimum)
        return;
    a.minimum = minimum;
    changed();
}

void ChartData::setAxisMaximum(Axis axis, double maximum)
{
    AxisState &a = axisState(axis);
    if (a.maximum == maximum)
        return;
    a.maximum = maximum;
    changed();
}

double ChartData::axisMinimum(Axis axis) const
{
    return axisState(axis).minimum;
}

double ChartData::axisMaximum(Axis axis) const
{
    return axisState(axis).maximum;
}

bool ChartData::scrollHorizontal(double offset)
{
    // Every series starts at x 0, so the data's smallest x is 0 as soon as any point exists.
    const qint64 largest = largestX();
    if (largest < 0)
        return false;
    AxisState &a = axisState(Axis::Horizontal);
    const bool move
        = (offset > 0.0 && double(largest) > a.maximum) || (offset < 0.0 && 0.0 < a.minimum);
    if (!move)
        return false;
    a.minimum += offset;
    a.maximum += offset;
    a.automatic = false;
    changed();
    return true;
}

double ChartData::value(int series, qint64 index) const
{
    return m_series[std::size_t(series)].value(index);
}

ValueExtent ChartData::extent(int series, qint64 first, qint64 end) const
{
    return m_series[std::size_t(series)].extent(first, end);
}

void ChartData::columnExtents(int series, double xFrom, double xTo,
                              std::span<ValueExtent> columns) const
{
    const Series &s = m_series[std::size_t(series)];
    const auto n = qsizetype(columns.size());
    const double width = (xTo - xFrom) / double(n);
    qint64 first = indexAtOrAfter(xFrom, s.count());
    for (qsizetype c = 0; c < n; ++c) {
        const qint64 end = c + 1 < n ? indexAtOrAfter(xFrom + double(c + 1) * width, s.count())
                                     : indexAtOrAfter(std::floor(xTo) + 1.0, s.count());
        columns[std::size_t(c)] = s.extent(first, end);
        first = std::max(first, end);
    }
}

qint64 ChartData::largestX() const
{
    qint64 count = 0;
    for (const Series &s : m_series)
        count = std::max(count, s.count());
    return count - 1;
}

std::size_t ChartData::allocatedBytes() const
{
    std::size_t bytes = 0;
    for (const Series &s : m_series)
        bytes += s.allocatedBytes();
    return bytes;
}

void ChartData::setChangedHandler(std::function<void()> handler)
{
    m_changed = std::move(handler);
}

bool ChartData::canBeSeen(qint64 x) const
{
    const AxisState &a = axisState(Axis::Horizontal);
    if (a.automatic)
        return true;
    const double lo = std::min(a.minimum, a.maximum);
    const double hi = std::max(a.minimum, a.maximum);
    return double(x) >= lo - 1.0 && double(x) <= hi + 1.0;
}

void ChartData::changed()
{
    if (m_changed)
        m_changed();
}
