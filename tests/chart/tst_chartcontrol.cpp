#include "chart/ChartControl.h"
#include "chart/ChartData.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <limits>

using Axis = ChartSurface::Axis;

// The chart's data and axes, and the paging controller over them.
class TestChartControl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void storedValues_data();
    void storedValues();
    void extentOfAnyRange_data();
    void extentOfAnyRange();
    void extentOfRandomRanges();
    void columnExtents_data();
    void columnExtents();
    void clearFreesMemory();
    void scrollLimitCheck_data();
    void scrollLimitCheck();
    void repaintOnlyForVisibleChanges();

    void pageArithmetic_data();
    void pageArithmetic();
    void creation();
    void appendingFollowsTheNewestPage_data();
    void appendingFollowsTheNewestPage();
    void pagingWithOnePage_data();
    void pagingWithOnePage();
    void browsing();
    void firstAndNextPage();
    void samePageSizeDoesNothing();
    void newPageSizeJumpsToTheLastPage_data();
    void newPageSizeJumpsToTheLastPage();
    void pageSizeBelowOneIsIgnored();
    void clearChart_data();
    void clearChart();
    void fill();
    void leftMaxAndMin_data();
    void leftMaxAndMin();
};

namespace {

struct Page
{
    double min;
    double max;
    bool operator==(const Page &) const = default;
};

Page page(const ChartData &d)
{
    return {d.axisMinimum(Axis::Horizontal), d.axisMaximum(Axis::Horizontal)};
}

char *toString(const Page &p)
{
    return QTest::toString(QString::number(p.min) + u" .. "_qs + QString::number(p.max));
}

// Values with spikes and steps, all within 16 bits.
double wave(qint64 i)
{
    return double((i * 7919) % 8001 - 4000);
}

ValueExtent scan(const ChartData &d, int series, qint64 first, qint64 end)
{
    ValueExtent e;
    for (qint64 i = std::max<qint64>(first, 0); i < std::min(end, d.pointCount(series)); ++i)
        e.add(float(d.value(series, i)));
    return e;
}

void fillWave(ChartData &d, int series, qint64 count)
{
    for (qint64 i = 0; i < count; ++i)
        d.addPoint(series, wave(i));
}

} // namespace

void TestChartControl::storedValues_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QList<double>>("expected");
    const QList<double> counts {0, 3999, -3999, 22001, -22001, 32767, -32768};
    QTest::newRow("display counts") << counts << 1 << counts;
    QTest::newRow("beyond 16 bits, fractions") << QList<double> {1, 40000, -0.5, 1e10} << 1
                                               << QList<double> {1, 40000, -0.5, double(1e10f)};
    QTest::newRow("rounded to float")
        << QList<double> {0.1, 16777217} << 1 << QList<double> {double(0.1f), 16777216};
    // The fraction turns the second chunk wide half-way; the whole numbers before it must stay.
    QTest::newRow("wide in the middle of a chunk")
        << QList<double> {7, -3} << ChartData::ChunkSize + ChartData::ChunkSize / 2
        << QList<double> {7, -3};
    QTest::newRow("infinity") << QList<double> {std::numeric_limits<double>::infinity(), 5} << 1
                              << QList<double> {std::numeric_limits<double>::infinity(), 5};
}

void TestChartControl::storedValues()
{
    QFETCH(QList<double>, values);
    QFETCH(int, repeat);
    QFETCH(QList<double>, expected);
    ChartData d;
    const qint64 n = qint64(values.size()) * repeat;
    for (qint64 i = 0; i < n; ++i)
        d.addPoint(1, values[i % values.size()]);
    if (repeat > 1)
        d.addPoint(1, 0.25); // widens the chunk in use
    QCOMPARE(d.pointCount(1), n + (repeat > 1 ? 1 : 0));
    QCOMPARE(d.pointCount(0), 0);
    for (qint64 i = 0; i < n; ++i)
        QCOMPARE(d.value(1, i), expected[i % expected.size()]);
    if (repeat > 1)
        QCOMPARE(d.value(1, n), 0.25);
    QCOMPARE(d.largestX(), d.pointCount(1) - 1);
}

void TestChartControl::extentOfAnyRange_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("end");
    const qint64 c = ChartData::ChunkSize;
    const qint64 b = ChartData::BlockSize;
    QTest::newRow("everything") << qint64(0) << 3 * c + 100;
    QTest::newRow("one chunk") << c << 2 * c;
    QTest::newRow("one block") << b << 2 * b;
    QTest::newRow("inside a block") << b + 3 << b + 9;
    QTest::newRow("across blocks") << b - 1 << 3 * b + 1;
    QTest::newRow("across chunks") << c - 5 << 2 * c + 5;
    QTest::newRow("partial last chunk") << 3 * c + 7 << 3 * c + 100;
    QTest::newRow("partial last block") << 3 * c + 64 << 3 * c + 100;
    QTest::newRow("beyond both ends") << qint64(-50) << 10 * c;
    QTest::newRow("single point") << 2 * c + 17 << 2 * c + 18;
    QTest::newRow("empty") << qint64(500) << qint64(500);
}

void TestChartControl::extentOfAnyRange()
{
    QFETCH(qint64, first);
    QFETCH(qint64, end);
    ChartData d;
    fillWave(d, 0, 3 * ChartData::ChunkSize + 100);
    // A wide chunk among narrow ones.
    for (qint64 i = 0; i < 3 * ChartData::ChunkSize + 100; ++i)
        d.addPoint(
            1, i >= ChartData::ChunkSize && i < 2 * ChartData::ChunkSize ? wave(i) + 0.5 : wave(i));
    for (int s = 0; s < 2; ++s) {
        const ValueExtent expected = scan(d, s, first, end);
        const ValueExtent got = d.extent(s, first, end);
        QCOMPARE(got.isEmpty(), expected.isEmpty());
        if (!expected.isEmpty()) {
            QCOMPARE(got.min, expected.min);
            QCOMPARE(got.max, expected.max);
        }
    }
}

void TestChartControl::extentOfRandomRanges()
{
    ChartData d;
    QRandomGenerator random(20240611);
    const qint64 n = 5 * ChartData::ChunkSize + 333;
    for (qint64 i = 0; i < n; ++i)
        d.addPoint(0, i % 997 == 0 ? std::nan("") : double(random.bounded(-22001, 22002)));
    for (int k = 0; k < 3000; ++k) {
        const qint64 a = qint64(random.bounded(quint64(n + 10)));
        const qint64 b = qint64(random.bounded(quint64(n + 10)));
        const ValueExtent expected = scan(d, 0, std::min(a, b), std::max(a, b));
        const ValueExtent got = d.extent(0, std::min(a, b), std::max(a, b));
        QCOMPARE(got.isEmpty(), expected.isEmpty());
        if (!expected.isEmpty()) {
            QCOMPARE(got.min, expected.min);
            QCOMPARE(got.max, expected.max);
        }
    }
}

void TestChartControl::columnExtents_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("columns");
    QTest::newRow("a page wider than the plot") << 1.0 << 100000.0 << 320;
    QTest::newRow("everything") << 0.0 << 199999.0 << 7;
    QTest::newRow("past the data") << 150001.0 << 250000.0 << 300;
    QTest::newRow("before the data") << -1000.0 << 999.0 << 10;
    QTest::newRow("fractional ends") << 10.5 << 5000.25 << 33;
    QTest::newRow("last column holds its end") << 1.0 << 2.0 << 2;
}

void TestChartControl::columnExtents()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, columns);
    ChartData d;
    fillWave(d, 0, 200000);
    std::vector<ValueExtent> got(std::size_t(columns), ValueExtent {});
    d.columnExtents(0, from, to, got);
    const double width = (to - from) / columns;
    for (int c = 0; c < columns; ++c) {
        // The points whose x lies in [from + c * width, from + (c + 1) * width), the last
        // column closed at `to`.
        ValueExtent expected;
        for (qint64 i = 0; i < d.pointCount(0); ++i) {
            const double x = double(i);
            const double lo = from + c * width;
            const double hi = from + (c + 1) * width;
            if (x >= lo && (x < hi || (c == columns - 1 && x <= to)))
                expected.add(float(d.value(0, i)));
        }
        QCOMPARE(got[std::size_t(c)].isEmpty(), expected.isEmpty());
        if (!expected.isEmpty()) {
            QCOMPARE(got[std::size_t(c)].min, expected.min);
            QCOMPARE(got[std::size_t(c)].max, expected.max);
        }
    }
}

void TestChartControl::clearFreesMemory()
{
    ChartData d;
    fillWave(d, 0, 100000);
    fillWave(d, 1, 100000);
    d.addPoint(1, 0.5);
    QVERIFY(d.allocatedBytes() > 0);
    const std::size_t withBoth = d.allocatedBytes();
    d.clearSeries(1);
    QVERIFY(d.allocatedBytes() < withBoth);
    QCOMPARE(d.pointCount(1), 0);
    QCOMPARE(d.pointCount(0), 100000);
    d.clearSeries(0);
    QCOMPARE(d.allocatedBytes(), std::size_t(0));
    QCOMPARE(d.largestX(), -1);
    // Usable again after clearing.
    d.addPoint(0, 12);
    QCOMPARE(d.value(0, 0), 12.0);
}

void TestChartControl::scrollLimitCheck_data()
{
    QTest::addColumn<qint64>("points");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("offset");
    QTest::addColumn<bool>("moves");
    QTest::newRow("no points") << qint64(0) << 1.0 << 100.0 << 100.0 << false;
    QTest::newRow("no points, back") << qint64(0) << 101.0 << 200.0 << -100.0 << false;
    QTest::newRow("newest at the maximum") << qint64(101) << 1.0 << 100.0 << 100.0 << false;
    QTest::newRow("newest beyond the maximum") << qint64(102) << 1.0 << 100.0 << 100.0 << true;
    QTest::newRow("far beyond") << qint64(100000) << 1.0 << 100.0 << 100.0 << true;
    QTest::newRow("zero offset") << qint64(100000) << 1.0 << 100.0 << 0.0 << false;
    QTest::newRow("back from page 2") << qint64(300) << 101.0 << 200.0 << -100.0 << true;
    QTest::newRow("back from page 1") << qint64(300) << 1.0 << 100.0 << -100.0 << true;
    QTest::newRow("back from x 0") << qint64(300) << 0.0 << 99.0 << -100.0 << false;
    QTest::newRow("back past the data") << qint64(300) << -99.0 << 0.0 << -100.0 << false;
    QTest::newRow("forward past the data") << qint64(300) << 401.0 << 500.0 << 100.0 << false;
}

void TestChartControl::scrollLimitCheck()
{
    QFETCH(qint64, points);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, offset);
    QFETCH(bool, moves);
    ChartData d;
    fillWave(d, 1, points); // the data's extent counts every series
    d.setAxisMinimum(Axis::Horizontal, min);
    d.setAxisMaximum(Axis::Horizontal, max);
    d.setAxisAutomatic(Axis::Horizontal, true);
    int changes = 0;
    d.setChangedHandler([&] { ++changes; });

    QCOMPARE(d.scrollHorizontal(offset), moves);
    const double shift = moves ? offset : 0.0;
    QCOMPARE(page(d), (Page {min + shift, max + shift}));
    QCOMPARE(changes, moves ? 1 : 0);
    QCOMPARE(d.isAxisAutomatic(Axis::Horizontal), !moves);
}

void TestChartControl::repaintOnlyForVisibleChanges()
{
    ChartData d;
    int changes = 0;
    d.setChangedHandler([&] { ++changes; });
    fillWave(d, 0, 100); // x 0 .. 99, all within reach of the axis 1 .. 100
    QCOMPARE(changes, 100);
    fillWave(d, 1, 300); // x 101 .. 299 of series 1 lie off the page
    QCOMPARE(changes, 202);
    d.setSeriesActive(0, false);
    d.setSeriesActive(0, false);
    QCOMPARE(changes, 203);
    d.setAxisMaximum(Axis::Value, 100.0); // unchanged
    QCOMPARE(changes, 203);
    d.setAxisMaximum(Axis::Value, 4000.0);
    QCOMPARE(changes, 204);
    d.clearSeries(1);
    QCOMPARE(changes, 205);
}

void TestChartControl::pageArithmetic_data()
{
    QTest::addColumn<qint64>("points");
    QTest::addColumn<qint64>("pageSize");
    QTest::addColumn<qint64>("pages");
    QTest::newRow("none") << qint64(0) << qint64(100) << qint64(0);
    QTest::newRow("one") << qint64(1) << qint64(100) << qint64(1);
    QTest::newRow("full page") << qint64(100) << qint64(100) << qint64(1);
    QTest::newRow("one over") << qint64(101) << qint64(100) << qint64(2);
    QTest::newRow("page size 1") << qint64(12345) << qint64(1) << qint64(12345);
    QTest::newRow("beyond 32 bits") << qint64(10000000000) << qint64(3) << qint64(3333333334);
}

void TestChartControl::pageArithmetic()
{
    QFETCH(qint64, points);
    QFETCH(qint64, pageSize);
    QFETCH(qint64, pages);
    QCOMPARE(ChartControl::pagesFor(points, pageSize), pages);
}

void TestChartControl::creation()
{
    ChartData d;
    d.setAxisAutomatic(Axis::Horizontal, true);
    d.setSeriesActive(0, false);
    ChartControl c(d, 100);
    QVERIFY(&c.Chart() == static_cast<ChartSurface *>(&d));
    for (int s = 0; s < d.seriesCount(); ++s) {
        QCOMPARE(d.pointCount(s), 1);
        QCOMPARE(d.value(s, 0), 0.0);
    }
    QCOMPARE(page(d), (Page {1, 100}));
    QVERIFY(!d.isAxisAutomatic(Axis::Horizontal));
    QCOMPARE(c.CurrentPage(), 1);
    QCOMPARE(c.PageCount(), 1);
    QCOMPARE(c.PageSize(), 100);
    QVERIFY(!c.Browsing());
    QCOMPARE(c.PointCount(), 0); // no append yet
    QCOMPARE(c.LeftMax(), 0.0);
    QCOMPARE(c.LeftMin(), 0.0);
    QVERIFY(c.FillOn());
    QVERIFY(d.isSeriesActive(0));
    QVERIFY(d.isSeriesActive(1));
}

void TestChartControl::appendingFollowsTheNewestPage_data()
{
    QTest::addColumn<int>("appends");
    QTest::addColumn<int>("expectedPage");
    QTest::addColumn<double>("axisMin");
    QTest::newRow("99") << 99 << 1 << 1.0;
    // 101 points fill two pages, yet the newest (x 100) is still on the first.
    QTest::newRow("100") << 100 << 2 << 1.0;
    QTest::newRow("101") << 101 << 2 << 101.0;
    QTest::newRow("200") << 200 << 3 << 101.0;
    QTest::newRow("201") << 201 << 3 << 201.0;
    QTest::newRow("1000") << 1000 << 11 << 901.0;
}

void TestChartControl::appendingFollowsTheNewestPage()
{
    QFETCH(int, appends);
    QFETCH(int, expectedPage);
    QFETCH(double, axisMin);
    ChartData d;
    ChartControl c(d, 100);
    qint32 returned = 0;
    for (int i = 1; i <= appends; ++i)
        returned = c.AppendValue(i * 1.5);
    QCOMPARE(returned, expectedPage);
    QCOMPARE(c.CurrentPage(), expectedPage);
    QCOMPARE(c.PageCount(), expectedPage);
    QCOMPARE(c.PointCount(), appends + 1);
    QCOMPARE(page(d), (Page {axisMin, axisMin + 99}));
    for (int s = 0; s < d.seriesCount(); ++s) {
        QCOMPARE(d.pointCount(s), appends + 1);
        QCOMPARE(d.value(s, appends), appends * 1.5);
    }
}

void TestChartControl::pagingWithOnePage_data()
{
    QTest::addColumn<int>("appends");
    QTest::newRow("fresh") << 0;
    QTest::newRow("one page") << 99;
}

void TestChartControl::pagingWithOnePage()
{
    QFETCH(int, appends);
    ChartData d;
    ChartControl c(d, 100);
    for (int i = 0; i < appends; ++i)
        c.AppendValue(i);
    QCOMPARE(c.PreviousPage(), 1);
    QCOMPARE(c.NextPage(), 1);
    QCOMPARE(c.LastPage(), 1);
    QCOMPARE(c.FirstPage(), 1);
    QVERIFY(!c.Browsing());
    QCOMPARE(page(d), (Page {1, 100}));
}

void TestChartControl::browsing()
{
    ChartData d;
    ChartControl c(d, 100);
    for (int i = 0; i < 250; ++i)
        c.AppendValue(i);
    QCOMPARE(page(d), (Page {201, 300}));

    QCOMPARE(c.PreviousPage(), 2);
    QVERIFY(c.Browsing());
    QCOMPARE(page(d), (Page {101, 200}));
    for (int i = 0; i < 200; ++i)
        QCOMPARE(c.AppendValue(i), 2);
    QCOMPARE(c.PageCount(), 5); // 451 points
    QCOMPARE(c.PointCount(), 451);
    QCOMPARE(page(d), (Page {101, 200}));

    QCOMPARE(c.LastPage(), 5);
    QVERIFY(!c.Browsing());
    QCOMPARE(page(d), (Page {401, 500}));
    for (int i = 0; i < 50; ++i)
        c.AppendValue(i);
    QCOMPARE(c.AppendValue(0), 6);
    QCOMPARE(page(d), (Page {501, 600}));
}

void TestChartControl::firstAndNextPage()
{
    ChartData d;
    ChartControl c(d, 100);
    for (int i = 0; i < 350; ++i)
        c.AppendValue(i);
    QCOMPARE(c.FirstPage(), 1);
    QVERIFY(c.Browsing());
    QCOMPARE(page(d), (Page {1, 100}));
    QCOMPARE(c.FirstPage(), 1);
    QCOMPARE(c.NextPage(), 2);
    QCOMPARE(c.NextPage(), 3);
    QVERIFY(c.Browsing());
    QCOMPARE(page(d), (Page {201, 300}));
    QCOMPARE(c.NextPage(), 4); // reaching the last page resumes following
    QVERIFY(!c.Browsing());
    QCOMPARE(c.NextPage(), 4);
    QCOMPARE(page(d), (Page {301, 400}));
}

void TestChartControl::samePageSizeDoesNothing()
{
    ChartData d;
    ChartControl c(d, 100);
    for (int i = 0; i < 350; ++i)
        c.AppendValue(i);
    c.FirstPage();
    c.SetPageSize(100);
    QCOMPARE(c.CurrentPage(), 1);
    QVERIFY(c.Browsing());
    QCOMPARE(page(d), (Page {1, 100}));
}

void TestChartControl::newPageSizeJumpsToTheLastPage_data()
{
    QTest::addColumn<int>("appends");
    QTest::addColumn<bool>("browse");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("pages");
    QTest::addColumn<double>("axisMin");
    QTest::newRow("121 points by 50") << 120 << false << 50 << 3 << 101.0;
    QTest::newRow("while browsing") << 120 << true << 50 << 3 << 101.0;
    QTest::newRow("200 points by 50") << 199 << false << 50 << 4 << 151.0;
    QTest::newRow("to a larger size") << 999 << true << 300 << 4 << 901.0;
    // 11 points (x 0 .. 10) count 11 pages, but the axis stops at the newest point.
    QTest::newRow("one point a page") << 10 << false << 1 << 11 << 10.0;
    // The newest point (x 100) sits on the first page: the limit check keeps the axis there
    // while the counters say page 2.
    QTest::newRow("limit check holds") << 100 << false << 100 << 2 << 1.0;
}

void TestChartControl::newPageSizeJumpsToTheLastPage()
{
    QFETCH(int, appends);
    QFETCH(bool, browse);
    QFETCH(int, pageSize);
    QFETCH(int, pages);
    QFETCH(double, axisMin);
    ChartData d;
    ChartControl c(d, 20);
    for (int i = 0; i < appends; ++i)
        c.AppendValue(i);
    if (browse)
        c.FirstPage();
    c.SetPageSize(pageSize);
    QCOMPARE(c.PageSize(), pageSize);
    QCOMPARE(c.PageCount(), pages);
    QCOMPARE(c.CurrentPage(), pages);
    QVERIFY(!c.Browsing());
    QCOMPARE(page(d), (Page {axisMin, axisMin + pageSize - 1}));
}

void TestChartControl::pageSizeBelowOneIsIgnored()
{
    ChartData d;
    ChartControl c(d, 100);
    for (int i = 0; i < 150; ++i)
        c.AppendValue(i);
    for (const qint32 p : {0, -1, std::numeric_limits<qint32>::min()}) {
        c.SetPageSize(p);
        QCOMPARE(c.PageSize(), 100);
        QCOMPARE(c.PageCount(), 2);
        QCOMPARE(page(d), (Page {101, 200}));
    }
    ChartData e;
    ChartControl zero(e, 0);
    QCOMPARE(zero.PageSize(), 1);
    QCOMPARE(page(e), (Page {1, 1}));
}

void TestChartControl::clearChart_data()
{
    QTest::addColumn<int>("appends");
    QTest::addColumn<bool>("browse");
    QTest::addColumn<int>("oldPages");
    QTest::newRow("fresh") << 0 << false << 1;
    QTest::newRow("one page") << 50 << false << 1;
    QTest::newRow("several pages") << 250 << false << 3;
    QTest::newRow("browsing") << 250 << true << 3;
}

void TestChartControl::clearChart()
{
    QFETCH(int, appends);
    QFETCH(bool, browse);
    QFETCH(int, oldPages);
    ChartData d;
    ChartControl c(d, 100);
    for (int i = 0; i < appends; ++i)
        c.AppendValue(i + 1);
    if (browse)
        c.PreviousPage();

    QCOMPARE(c.ClearChart(), 1);
    QCOMPARE(page(d), (Page {1, 100}));
    QVERIFY(!c.Browsing());
    QCOMPARE(c.PageCount(), oldPages);
    for (int s = 0; s < d.seriesCount(); ++s) {
        QCOMPARE(d.pointCount(s), 1);
        QCOMPARE(d.value(s, 0), 0.0);
    }
    QCOMPARE(c.AppendValue(7), 1);
    QCOMPARE(c.PageCount(), 1);
    QCOMPARE(c.PointCount(), 2);
}

void TestChartControl::fill()
{
    ChartData d;
    ChartControl c(d, 100);
    int changes = 0;
    d.setChangedHandler([&] { ++changes; });
    c.SetFill(true);
    QCOMPARE(changes, 0);
    c.SetFill(false);
    QVERIFY(!c.FillOn());
    QVERIFY(!d.isSeriesActive(0));
    QVERIFY(d.isSeriesActive(1)); // the line stays
    c.SetFill(true);
    QVERIFY(c.FillOn());
    QVERIFY(d.isSeriesActive(0));
    QCOMPARE(changes, 2);
}

void TestChartControl::leftMaxAndMin_data()
{
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("axisMax");
    QTest::addColumn<double>("axisMin");
    QTest::newRow("full scale") << 4000.0 << -4000.0 << 4000.0 << -4000.0;
    QTest::newRow("fractions") << 0.5 << -22001.25 << 0.5 << -22001.25;
    // The fields start at 0: setting 0 is no change, so the axis keeps what it had.
    QTest::newRow("zero is no change") << 0.0 << 0.0 << 77.0 << -77.0;
}

void TestChartControl::leftMaxAndMin()
{
    QFETCH(double, max);
    QFETCH(double, min);
    QFETCH(double, axisMax);
    QFETCH(double, axisMin);
    ChartData d;
    ChartControl c(d, 100);
    d.setAxisMaximum(Axis::Value, 77.0);
    d.setAxisMinimum(Axis::Value, -77.0);
    c.SetLeftMax(max);
    c.SetLeftMin(min);
    QCOMPARE(c.LeftMax(), max);
    QCOMPARE(c.LeftMin(), min);
    QCOMPARE(d.axisMaximum(Axis::Value), axisMax);
    QCOMPARE(d.axisMinimum(Axis::Value), axisMin);
    QCOMPARE(page(d), (Page {1, 100}));
}

QTEST_GUILESS_MAIN(TestChartControl)
#include "tst_chartcontrol.moc"
