#include "chart/ChartLayout.h"

#include <QTest>
#include <cmath>
#include <limits>

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::nan("");

// The chart's size in the window, with font measures near its font's. The plot is (41, 43)
// 319 x 288.
const QSize Widget(373, 353);
const ChartTextMetrics Text {13, 30, 20};
const ChartRange Page {1.0, 100.0};
const ChartRange Values {-100.0, 100.0};

ChartLayout shipped()
{
    return ChartLayout::forWidget(Widget, Page, Values, Text);
}

ValueExtent extentOf(double min, double max)
{
    ValueExtent e;
    if (!std::isnan(min)) {
        e.add(float(min));
        e.add(float(max));
    }
    return e;
}

QStringList texts(const QList<ChartTick> &ticks)
{
    QStringList t;
    for (const ChartTick &tick : ticks)
        t << tick.text;
    return t;
}

QList<int> pixels(const QList<ChartTick> &ticks)
{
    QList<int> p;
    for (const ChartTick &tick : ticks)
        p << tick.pixel;
    return p;
}

} // namespace

char *toString(const ChartRange &r)
{
    return QTest::toString(QString::number(r.lo, 'g', 17) + u" .. "_qs
                           + QString::number(r.hi, 'g', 17));
}

char *toString(const PointSpan &s)
{
    return QTest::toString(QString::number(s.first) + u" .. "_qs + QString::number(s.last));
}

Q_DECLARE_METATYPE(ChartRange)
Q_DECLARE_METATYPE(ChartTextMetrics)

// Where the time chart puts its plot, ticks and points.
class TestChartLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tickStep_data();
    void tickStep();
    void tickValues_data();
    void tickValues();

    void horizontalRange_data();
    void horizontalRange();
    void valueRange_data();
    void valueRange();
    void visiblePoints_data();
    void visiblePoints();

    void plotRect_data();
    void plotRect();
    void steps_data();
    void steps();
    void ticks_data();
    void ticks();
    void measuredLabelsAreTheDrawnOnes_data();
    void measuredLabelsAreTheDrawnOnes();
    void pointEndLabels_data();
    void pointEndLabels();

    void mapping_data();
    void mapping();
    void notANumberIsNotPlaced();
    void columnsAndArea();
    void marksAndLabelBoxes();
    void labelsStayInsideTheWidget_data();
    void labelsStayInsideTheWidget();
};

void TestChartLayout::tickStep_data()
{
    QTest::addColumn<double>("span");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<double>("step");

    QTest::newRow("exactly ten per step") << 100.0 << 10 << 10.0;
    QTest::newRow("rounds up to 2") << 8000.0 << 7 << 2000.0;
    QTest::newRow("exactly 2") << 20.0 << 10 << 2.0;
    QTest::newRow("rounds up to 5") << 25.0 << 10 << 5.0;
    QTest::newRow("rounds up to 10") << 60.0 << 10 << 10.0;
    QTest::newRow("the shipped value axis") << 200.0 << 11 << 20.0;
    QTest::newRow("the shipped page") << 99.0 << 7 << 20.0;
    QTest::newRow("below one") << 1.0 << 3 << 0.5;
    QTest::newRow("tiny") << 0.00114 << 10 << 0.0002;
    QTest::newRow("huge") << 2e300 << 10 << 2e299;
    QTest::newRow("two ticks") << 99.0 << 2 << 50.0;
    QTest::newRow("no ticks counts as one") << 7.0 << 0 << 10.0;
    QTest::newRow("negative ticks count as one") << 7.0 << -3 << 10.0;
    QTest::newRow("zero span") << 0.0 << 10 << 1.0;
    QTest::newRow("negative span") << -50.0 << 10 << 1.0;
    QTest::newRow("infinite span") << Inf << 10 << 1.0;
    QTest::newRow("not a number") << NaN << 10 << 1.0;
}

void TestChartLayout::tickStep()
{
    QFETCH(double, span);
    QFETCH(int, maxTicks);
    QFETCH(double, step);
    QCOMPARE(chartTickStep(span, maxTicks), step);
}

void TestChartLayout::tickValues_data()
{
    QTest::addColumn<ChartRange>("range");
    QTest::addColumn<double>("step");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("ends on ticks")
        << ChartRange {0, 100} << 20.0
        << QStringList {u"0"_qs, u"20"_qs, u"40"_qs, u"60"_qs, u"80"_qs, u"100"_qs};
    QTest::newRow("ends between ticks")
        << ChartRange {1, 100} << 25.0 << QStringList {u"25"_qs, u"50"_qs, u"75"_qs, u"100"_qs};
    QTest::newRow("negative") << ChartRange {-4000, -1500} << 1000.0
                              << QStringList {u"-4000"_qs, u"-3000"_qs, u"-2000"_qs};
    QTest::newRow("fractional page")
        << ChartRange {0.3, 3.7} << 1.0 << QStringList {u"1"_qs, u"2"_qs, u"3"_qs};
    // The tick that lands a rounding error off zero is drawn as 0.
    QTest::newRow("through zero in small steps")
        << ChartRange {-0.00021, 0.00043} << 0.0001
        << QStringList {u"-0.0002"_qs, u"-0.0001"_qs, u"0"_qs,     u"0.0001"_qs,
                        u"0.0002"_qs,  u"0.0003"_qs,  u"0.0004"_qs};
    // 0.1 * 3 and 0.1 * 7 are a hair off the range's ends; both ends still get their tick.
    QTest::newRow("ends a rounding error away")
        << ChartRange {0.1 * 3, 0.7} << 0.1
        << QStringList {u"0.3"_qs, u"0.4"_qs, u"0.5"_qs, u"0.6"_qs, u"0.7"_qs};
    QTest::newRow("no multiple inside") << ChartRange {0.2, 0.8} << 1.0 << QStringList {};
    QTest::newRow("range zero on a multiple") << ChartRange {5, 5} << 1.0 << QStringList {u"5"_qs};
    QTest::newRow("big offset") << ChartRange {1e6, 1e6 + 1} << 0.5
                                << QStringList {u"1000000"_qs, u"1000000.5"_qs, u"1000001"_qs};
}

void TestChartLayout::tickValues()
{
    QFETCH(ChartRange, range);
    QFETCH(double, step);
    QFETCH(QStringList, texts);

    QStringList found;
    for (const double v : chartTickValues(range, step))
        found << chartTickText(v);
    QCOMPARE(found, texts);
}

void TestChartLayout::horizontalRange_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<qint64>("largestX");
    QTest::addColumn<ChartRange>("shown");

    QTest::newRow("first page") << false << 1.0 << 100.0 << qint64(40) << ChartRange {1, 100};
    QTest::newRow("later page") << false << 201.0 << 300.0 << qint64(249) << ChartRange {201, 300};
    QTest::newRow("inside out") << false << 300.0 << 201.0 << qint64(0) << ChartRange {201, 300};
    QTest::newRow("page size 1") << false << 1.0 << 1.0 << qint64(5) << ChartRange {0.5, 1.5};
    QTest::newRow("automatic") << true << 1.0 << 100.0 << qint64(249) << ChartRange {0, 249};
    QTest::newRow("automatic, single point")
        << true << 1.0 << 100.0 << qint64(0) << ChartRange {0, 1};
    QTest::newRow("automatic, no points")
        << true << 1.0 << 100.0 << qint64(-1) << ChartRange {0, 1};
    QTest::newRow("infinite") << false << -Inf << 40.0 << qint64(5) << ChartRange {1, 100};
    QTest::newRow("not a number") << false << 1.0 << NaN << qint64(5) << ChartRange {1, 100};
}

void TestChartLayout::horizontalRange()
{
    QFETCH(bool, automatic);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(qint64, largestX);
    QFETCH(ChartRange, shown);
    QCOMPARE(ChartLayout::horizontalRange({automatic, minimum, maximum}, largestX), shown);
}

void TestChartLayout::valueRange_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    // NaN for no shown points.
    QTest::addColumn<double>("shownMin");
    QTest::addColumn<double>("shownMax");
    QTest::addColumn<ChartRange>("shown");

    QTest::newRow("manual") << false << -100.0 << 100.0 << 3.0 << 7.0 << ChartRange {-100, 100};
    QTest::newRow("manual, inside out")
        << false << 50.0 << -50.0 << NaN << NaN << ChartRange {-50, 50};
    QTest::newRow("manual, range zero") << false << 5.0 << 5.0 << NaN << NaN << ChartRange {4, 6};
    QTest::newRow("manual, infinite") << false << -Inf << 100.0 << NaN << NaN << ChartRange {0, 1};
    QTest::newRow("manual, not a number")
        << false << NaN << 100.0 << NaN << NaN << ChartRange {0, 1};
    QTest::newRow("automatic") << true << -100.0 << 100.0 << -3.0 << 12.5 << ChartRange {-3, 12.5};
    QTest::newRow("automatic, nothing shown")
        << true << -100.0 << 100.0 << NaN << NaN << ChartRange {0, 1};
    QTest::newRow("automatic, constant")
        << true << -100.0 << 100.0 << 12.5 << 12.5 << ChartRange {11.5, 13.5};
    QTest::newRow("automatic, infinite reading")
        << true << -100.0 << 100.0 << 3.0 << Inf << ChartRange {0, 1};
}

void TestChartLayout::valueRange()
{
    QFETCH(bool, automatic);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, shownMin);
    QFETCH(double, shownMax);
    QFETCH(ChartRange, shown);
    QCOMPARE(ChartLayout::valueRange({automatic, minimum, maximum}, extentOf(shownMin, shownMax)),
             shown);
}

void TestChartLayout::visiblePoints_data()
{
    QTest::addColumn<ChartRange>("range");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");

    QTest::newRow("page") << ChartRange {1, 100} << qint64(1) << qint64(100);
    QTest::newRow("fractional ends") << ChartRange {0.3, 3.7} << qint64(1) << qint64(3);
    QTest::newRow("single point") << ChartRange {6.5, 7.5} << qint64(7) << qint64(7);
    QTest::newRow("starts before zero") << ChartRange {-20, 15} << qint64(0) << qint64(15);
    QTest::newRow("between two points") << ChartRange {0.2, 0.8} << qint64(1) << qint64(0);
    QTest::newRow("all before zero") << ChartRange {-50, -1} << qint64(0) << qint64(-1);
    QTest::newRow("far before zero") << ChartRange {-1e300, -1e299} << qint64(0) << qint64(-1);
    // Beyond any point that can be held, the numbers stay representable.
    QTest::newRow("far beyond") << ChartRange {1e300, 2e300} << qint64(9'000'000'000'000'000'000)
                                << qint64(9'000'000'000'000'000'000);
    QTest::newRow("not a number") << ChartRange {NaN, NaN} << qint64(0) << qint64(-1);
}

void TestChartLayout::visiblePoints()
{
    QFETCH(ChartRange, range);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    const PointSpan span = ChartLayout::visiblePoints(range);
    QCOMPARE(span, (PointSpan {first, last}));
    QCOMPARE(span.isEmpty(), last < first);
}

void TestChartLayout::plotRect_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<ChartTextMetrics>("text");
    QTest::addColumn<QRect>("plot");

    // Top: toolbar, half a line, 6. Bottom: a line, the tick, 6. Left: 4, the widest value
    // label, the tick, 3. Right: half the widest end label and 4, at least 10.
    QTest::newRow("shipped") << Widget << Text << QRect(41, 43, 319, 288);
    QTest::newRow("wide end labels")
        << QSize(200, 150) << ChartTextMetrics {12, 25, 60} << QRect(36, 43, 131, 86);
    QTest::newRow("no labels") << QSize(800, 600) << ChartTextMetrics {14, 0, 0}
                               << QRect(11, 44, 780, 533);
    QTest::newRow("too small") << QSize(50, 40) << Text << QRect(41, 43, 1, 1);
    QTest::newRow("empty widget") << QSize(0, 0) << Text << QRect(41, 43, 1, 1);
}

void TestChartLayout::plotRect()
{
    QFETCH(QSize, widget);
    QFETCH(ChartTextMetrics, text);
    QFETCH(QRect, plot);
    const ChartLayout l = ChartLayout::forWidget(widget, Page, Values, text);
    QCOMPARE(l.plot, plot);
    QCOMPARE(l.frame(), plot.adjusted(-1, -1, 0, 0));
}

void TestChartLayout::steps_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<ChartTextMetrics>("text");
    QTest::addColumn<ChartRange>("x");
    QTest::addColumn<ChartRange>("y");
    QTest::addColumn<double>("xStep");
    QTest::addColumn<double>("yStep");

    // 288 rows hold 11 steps two lines apart; 319 columns hold 7 of a 20 wide label and 24.
    QTest::newRow("shipped") << Widget << Text << Page << Values << 20.0 << 20.0;
    QTest::newRow("display counts")
        << Widget << Text << ChartRange {201, 300} << ChartRange {-4000, 4000} << 20.0 << 1000.0;
    QTest::newRow("large page") << Widget << ChartTextMetrics {13, 30, 40} << ChartRange {1, 100000}
                                << Values << 50000.0 << 20.0;
    // Ticks fall on point numbers only, however few the steps...
    QTest::newRow("few points") << Widget << Text << ChartRange {0.3, 3.7} << Values << 1.0 << 20.0;
    // ...unless the range is narrower than two points.
    QTest::newRow("page size 1") << Widget << Text << ChartRange {0.5, 1.5} << Values << 0.2
                                 << 20.0;
    QTest::newRow("value range zero widened")
        << Widget << Text << Page << ChartRange {4, 6} << 20.0 << 0.2;
    QTest::newRow("small values") << Widget << Text << Page << ChartRange {-0.00021, 0.00093}
                                  << 20.0 << 0.0002;
    QTest::newRow("tall") << QSize(373, 1000) << Text << Page << Values << 20.0 << 10.0;
    QTest::newRow("flat: two steps at least")
        << QSize(373, 80) << Text << Page << Values << 20.0 << 100.0;
    QTest::newRow("narrow: two steps at least")
        << QSize(100, 353) << Text << Page << Values << 50.0 << 20.0;
    QTest::newRow("no text height")
        << Widget << ChartTextMetrics {0, 30, 20} << Page << Values << 20.0 << 1.0;
}

void TestChartLayout::steps()
{
    QFETCH(QSize, widget);
    QFETCH(ChartTextMetrics, text);
    QFETCH(ChartRange, x);
    QFETCH(ChartRange, y);
    QFETCH(double, xStep);
    QFETCH(double, yStep);
    const ChartLayout l = ChartLayout::forWidget(widget, x, y, text);
    QCOMPARE(l.xStep, xStep);
    QCOMPARE(l.yStep, yStep);
    QCOMPARE(l.x, x);
    QCOMPARE(l.y, y);
    // However small the step, the ticks stay bounded.
    QVERIFY(l.xTicks.size() <= ChartLayout::MaxTicks);
    QVERIFY(l.yTicks.size() <= ChartLayout::MaxTicks);
}

void TestChartLayout::ticks_data()
{
    QTest::addColumn<ChartRange>("x");
    QTest::addColumn<ChartRange>("y");
    QTest::addColumn<QStringList>("xTexts");
    QTest::addColumn<QList<int>>("xPixels");
    QTest::addColumn<QStringList>("yTexts");
    QTest::addColumn<QList<int>>("yPixels");

    // Plot columns 41 .. 359, rows 43 .. 330; the ends of a range are on the end pixels.
    QTest::newRow("shipped") << Page << Values
                             << QStringList {u"20"_qs, u"40"_qs, u"60"_qs, u"80"_qs, u"100"_qs}
                             << QList<int> {102, 166, 231, 295, 359}
                             << QStringList {u"-100"_qs, u"-80"_qs, u"-60"_qs, u"-40"_qs,
                                             u"-20"_qs,  u"0"_qs,   u"20"_qs,  u"40"_qs,
                                             u"60"_qs,   u"80"_qs,  u"100"_qs}
                             << QList<int> {330, 301, 273, 244, 215, 187, 158, 129, 100, 72, 43};
    QTest::newRow("page from 0")
        << ChartRange {0, 100} << ChartRange {0, 100}
        << QStringList {u"0"_qs, u"20"_qs, u"40"_qs, u"60"_qs, u"80"_qs, u"100"_qs}
        << QList<int> {41, 105, 168, 232, 295, 359}
        << QStringList {u"0"_qs,  u"10"_qs, u"20"_qs, u"30"_qs, u"40"_qs, u"50"_qs,
                        u"60"_qs, u"70"_qs, u"80"_qs, u"90"_qs, u"100"_qs}
        << QList<int> {330, 301, 273, 244, 215, 187, 158, 129, 100, 72, 43};
    QTest::newRow("page size 1")
        << ChartRange {0.5, 1.5} << ChartRange {4, 6}
        << QStringList {u"0.6"_qs, u"0.8"_qs, u"1"_qs, u"1.2"_qs, u"1.4"_qs}
        << QList<int> {73, 136, 200, 264, 327}
        << QStringList {u"4"_qs,   u"4.2"_qs, u"4.4"_qs, u"4.6"_qs, u"4.8"_qs, u"5"_qs,
                        u"5.2"_qs, u"5.4"_qs, u"5.6"_qs, u"5.8"_qs, u"6"_qs}
        << QList<int> {330, 301, 273, 244, 215, 187, 158, 129, 100, 72, 43};
}

void TestChartLayout::ticks()
{
    QFETCH(ChartRange, x);
    QFETCH(ChartRange, y);
    QFETCH(QStringList, xTexts);
    QFETCH(QList<int>, xPixels);
    QFETCH(QStringList, yTexts);
    QFETCH(QList<int>, yPixels);
    const ChartLayout l = ChartLayout::forWidget(Widget, x, y, Text);
    QCOMPARE(texts(l.xTicks), xTexts);
    QCOMPARE(pixels(l.xTicks), xPixels);
    QCOMPARE(texts(l.yTicks), yTexts);
    QCOMPARE(pixels(l.yTicks), yPixels);
    // A tick is drawn in the pixel its value maps into.
    for (const ChartTick &t : l.xTicks)
        QCOMPARE(t.pixel, int(std::floor(l.pixelX(t.value))));
    for (const ChartTick &t : l.yTicks)
        QCOMPARE(t.pixel, int(std::floor(l.pixelY(t.value))));
}

void TestChartLayout::measuredLabelsAreTheDrawnOnes_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<ChartRange>("y");

    QTest::newRow("shipped") << Widget << Values;
    QTest::newRow("tall, small values") << QSize(373, 1000) << ChartRange {-0.00021, 0.00093};
    QTest::newRow("flat") << QSize(373, 80) << ChartRange {-4000, 4000};
    QTest::newRow("too small") << QSize(50, 40) << ChartRange {4, 6};
    QTest::newRow("big offset") << QSize(600, 400) << ChartRange {1e6, 1e6 + 1};
}

void TestChartLayout::measuredLabelsAreTheDrawnOnes()
{
    QFETCH(QSize, widget);
    QFETCH(ChartRange, y);
    // The value labels' width decides the plot's left side, so the labels measured before the
    // layout must be those it draws, whatever that width turns out to be.
    const QStringList measured = ChartLayout::valueLabels(widget.height(), Text.height, y);
    QVERIFY(!measured.isEmpty());
    for (const int labelWidth : {0, 30, 200}) {
        const ChartLayout l
            = ChartLayout::forWidget(widget, Page, y, {Text.height, labelWidth, 20});
        QCOMPARE(texts(l.yTicks), measured);
    }
}

void TestChartLayout::pointEndLabels_data()
{
    QTest::addColumn<ChartRange>("x");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("page") << Page << QStringList {u"1"_qs, u"100"_qs};
    QTest::newRow("fractional ends") << ChartRange {0.3, 3.7} << QStringList {u"0"_qs, u"4"_qs};
    QTest::newRow("page size 1") << ChartRange {0.5, 1.5} << QStringList {u"0"_qs, u"2"_qs};
    QTest::newRow("long recording")
        << ChartRange {9999901, 10000000} << QStringList {u"9999901"_qs, u"10000000"_qs};
}

void TestChartLayout::pointEndLabels()
{
    QFETCH(ChartRange, x);
    QFETCH(QStringList, labels);
    QCOMPARE(ChartLayout::pointEndLabels(x), labels);
}

void TestChartLayout::mapping_data()
{
    QTest::addColumn<ChartRange>("x");
    QTest::addColumn<double>("point");
    QTest::addColumn<double>("value");
    QTest::addColumn<QPointF>("at");

    // Plot columns 41 .. 359, rows 43 .. 330.
    QTest::newRow("first point, top") << Page << 1.0 << 100.0 << QPointF(41.5, 43.5);
    QTest::newRow("last point, bottom") << Page << 100.0 << -100.0 << QPointF(359.5, 330.5);
    QTest::newRow("middle") << Page << 50.5 << 0.0 << QPointF(200.5, 187.0);
    QTest::newRow("single point") << ChartRange {6.5, 7.5} << 7.0 << 50.0 << QPointF(200.5, 115.25);
    // A little outside is drawn where it is and clipped, so a line leaves the plot at its slope.
    QTest::newRow("a little above") << Page << 1.0 << 110.0 << QPointF(41.5, 29.15);
    QTest::newRow("a little before") << Page << 0.0 << 0.0 << QPointF(38.287878787878789, 187.0);
    // Far outside is held 10000 pixels beyond the plot.
    QTest::newRow("far above") << Page << 50.5 << 1e6 << QPointF(200.5, 43.0 - 10000.0);
    QTest::newRow("far below") << Page << 50.5 << -1e300 << QPointF(200.5, 330.0 + 10000.0);
    QTest::newRow("far before") << Page << -1e9 << 0.0 << QPointF(41.0 - 10000.0, 187.0);
    QTest::newRow("far beyond") << Page << 1e12 << 0.0 << QPointF(359.0 + 10000.0, 187.0);
    QTest::newRow("infinite") << Page << Inf << -Inf << QPointF(359.0 + 10000.0, 330.0 + 10000.0);
}

void TestChartLayout::mapping()
{
    QFETCH(ChartRange, x);
    QFETCH(double, point);
    QFETCH(double, value);
    QFETCH(QPointF, at);
    const ChartLayout l = ChartLayout::forWidget(Widget, x, Values, Text);
    const QPointF p = l.map(point, value);
    QCOMPARE(p.x(), at.x());
    QCOMPARE(p.y(), at.y());
    QCOMPARE(l.pixelX(point), at.x());
    QCOMPARE(l.pixelY(value), at.y());
}

void TestChartLayout::notANumberIsNotPlaced()
{
    const ChartLayout l = shipped();
    QVERIFY(std::isnan(l.pixelY(NaN)));
    QVERIFY(std::isnan(l.pixelX(NaN)));
}

void TestChartLayout::columnsAndArea()
{
    const ChartLayout l = shipped();
    // The columns' centres run from the first point's to the last point's.
    QCOMPARE(l.columnCentre(0), l.pixelX(Page.lo));
    QCOMPARE(l.columnCentre(l.plot.width() - 1), l.pixelX(Page.hi));
    QCOMPARE(l.columnCentre(1) - l.columnCentre(0), 1.0);
    // The area is filled to the bottom of the last row, not its centre.
    QCOMPARE(l.areaBase(), 331.0);
    QCOMPARE(l.areaBase(), l.pixelY(Values.lo) + 0.5);
}

void TestChartLayout::marksAndLabelBoxes()
{
    const ChartLayout l = shipped();
    const ChartTick zero = l.yTicks.at(5);
    QCOMPARE(zero.text, u"0"_qs);
    QCOMPARE(l.gridLine(zero), QLine(41, 187, 359, 187));
    // The tick marks start next to the frame, which is drawn a pixel outside the plot.
    QCOMPARE(l.valueTickMark(zero), QLine(36, 187, 39, 187));
    QCOMPARE(l.valueLabelBox(zero), QRect(0, 181, 33, 13));

    const ChartTick twenty = l.xTicks.at(0);
    QCOMPARE(twenty.text, u"20"_qs);
    QCOMPARE(l.gridColumn(twenty), QLine(102, 43, 102, 330));
    QCOMPARE(l.pointTickMark(twenty), QLine(102, 332, 102, 335));
    QCOMPARE(l.pointLabelBox(twenty, 14), QRect(94, 337, 16, 13));
    QCOMPARE(l.pointLabelBox(twenty, 15), QRect(94, 337, 17, 13));
}

void TestChartLayout::labelsStayInsideTheWidget_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<ChartTextMetrics>("text");
    QTest::addColumn<ChartRange>("x");

    QTest::newRow("shipped") << Widget << Text << Page;
    QTest::newRow("wide labels") << QSize(600, 400) << ChartTextMetrics {16, 90, 70}
                                 << ChartRange {9999901, 10000000};
    QTest::newRow("large") << QSize(1600, 1000) << ChartTextMetrics {20, 40, 30}
                           << ChartRange {1, 100000};
}

void TestChartLayout::labelsStayInsideTheWidget()
{
    QFETCH(QSize, widget);
    QFETCH(ChartTextMetrics, text);
    QFETCH(ChartRange, x);
    const ChartLayout l = ChartLayout::forWidget(widget, x, Values, text);
    const QRect inside(QPoint(0, 0), widget);
    QVERIFY(l.plot.top() > ChartLayout::ToolBarHeight);
    QVERIFY(inside.contains(l.frame()));
    QVERIFY(!l.yTicks.isEmpty());
    QVERIFY(!l.xTicks.isEmpty());
    for (const ChartTick &t : l.yTicks) {
        const QRect box = l.valueLabelBox(t);
        // Room for the widest label, left of its tick mark.
        QVERIFY(box.width() >= text.valueLabelWidth);
        QVERIFY(box.right() < l.valueTickMark(t).x1());
        QVERIFY(box.left() >= 0);
        QVERIFY(box.bottom() < widget.height());
    }
    for (const ChartTick &t : l.xTicks) {
        const QRect box = l.pointLabelBox(t, text.pointLabelWidth);
        QVERIFY(box.top() > l.pointTickMark(t).y2());
        QVERIFY2(inside.contains(box), qPrintable(t.text));
    }
}

QTEST_APPLESS_MAIN(TestChartLayout)
#include "tst_chartlayout.moc"
