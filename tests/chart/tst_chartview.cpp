#include "chart/ChartControl.h"
#include "chart/ChartView.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <functional>

using Axis = ChartSurface::Axis;

// What the chart widget draws, read back from grab() on the offscreen platform.
class TestChartView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void colours_data();
    void colours();
    void inactiveAreaIsNotDrawn();
    void onlyTheVisiblePageMatters();
    void largePageKeepsEveryPeak();
    void grabShowsTheToolbar();
    void wheelIsSwallowed();
    void changesRepaint_data();
    void changesRepaint();
    void unusualContentStillPaints_data();
    void unusualContentStillPaints();
    void labelsFitTheMargins_data();
    void labelsFitTheMargins();
    void preparedBackgroundIsTheDrawnOne_data();
    void preparedBackgroundIsTheDrawnOne();
    void screenMatchesAWholeRepaint_data();
    void screenMatchesAWholeRepaint();
};

namespace {

QImage shot(ChartView &view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Whether the colour is found within `reach` pixels of where (x, value) is drawn.
bool colourNear(const ChartView &view, const QImage &image, double x, double value, QRgb colour,
                int reach)
{
    const QPointF at = view.mapToPlot(x, value);
    const int px = int(std::floor(at.x()));
    const int py = int(std::floor(at.y()));
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            if (image.valid(px + dx, py + dy)
                && (image.pixel(px + dx, py + dy) | 0xFF000000) == (colour | 0xFF000000))
                return true;
        }
    }
    return false;
}

int countColour(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) | 0xFF000000) == (colour | 0xFF000000);
    }
    return n;
}

struct Chart
{
    ChartView view;
    ChartControl control {view, 100};
    explicit Chart(double leftMax = 100.0, double leftMin = -100.0)
    {
        view.resize(373, 353);
        control.SetLeftMax(leftMax);
        control.SetLeftMin(leftMin);
    }
};

constexpr QRgb White = 0xFFFFFFFF;

} // namespace

void TestChartView::colours_data()
{
    QTest::addColumn<bool>("area");
    QTest::addColumn<bool>("line");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("value");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<int>("reach");
    // Series 0 (area) holds 63 at x 0 .. 50, series 1 (line) holds 27; the axis shows 0 .. 100.
    QTest::newRow("under both curves") << true << true << 25.5 << 13.0 << ChartView::AreaColor << 0;
    QTest::newRow("between the curves")
        << true << true << 25.5 << 47.0 << ChartView::AreaColor << 0;
    QTest::newRow("above both") << true << true << 25.5 << 83.0 << White << 0;
    QTest::newRow("right of the data") << true << true << 75.5 << 47.0 << White << 0;
    QTest::newRow("area outline") << true << true << 25.5 << 63.0 << ChartView::AreaLineColor << 1;
    QTest::newRow("line over the area")
        << true << true << 25.5 << 27.0 << ChartView::LineColor << 1;
    QTest::newRow("no fill: between") << false << true << 25.5 << 47.0 << White << 0;
    QTest::newRow("no fill: line") << false << true << 25.5 << 27.0 << ChartView::LineColor << 1;
    QTest::newRow("no line: area") << true << false << 25.5 << 27.0 << ChartView::AreaColor << 0;
}

void TestChartView::colours()
{
    QFETCH(bool, area);
    QFETCH(bool, line);
    QFETCH(double, x);
    QFETCH(double, value);
    QFETCH(QRgb, colour);
    QFETCH(int, reach);
    ChartView view;
    view.resize(373, 353);
    view.setAxisMinimum(Axis::Value, 0.0);
    view.setAxisMaximum(Axis::Value, 100.0);
    for (int i = 0; i <= 50; ++i) {
        view.addPoint(0, 63.0);
        view.addPoint(1, 27.0);
    }
    view.setSeriesActive(0, area);
    view.setSeriesActive(1, line);
    const QImage image = shot(view);
    QVERIFY(colourNear(view, image, x, value, colour, reach));
}

void TestChartView::inactiveAreaIsNotDrawn()
{
    Chart c;
    for (int i = 0; i < 60; ++i)
        c.control.AppendValue(40.0 * std::sin(i / 5.0));
    QVERIFY(countColour(shot(c.view), ChartView::AreaColor) > 1000);
    c.control.SetFill(false);
    const QImage image = shot(c.view);
    QCOMPARE(countColour(image, ChartView::AreaColor), 0);
    QCOMPARE(countColour(image, ChartView::AreaLineColor), 0);
    QVERIFY(countColour(image, ChartView::LineColor) > 50);
}

void TestChartView::onlyTheVisiblePageMatters()
{
    // Two charts agree on page 2 (x 101 .. 200) and differ everywhere else, right up to the
    // points next to the page.
    const auto build = [](Chart &c, const std::function<double(int)> &outside) {
        for (int x = 1; x <= 350; ++x)
            c.control.AppendValue(x >= 101 && x <= 200 ? 60.0 * std::sin(x / 7.0) : outside(x));
        c.control.FirstPage();
        c.control.NextPage();
    };
    Chart a;
    build(a, [](int) { return 95.0; });
    Chart b;
    build(b, [](int x) { return x % 2 ? -95.0 : 95.0; });
    QCOMPARE(a.view.axisMinimum(Axis::Horizontal), 101.0);
    QCOMPARE(b.view.axisMinimum(Axis::Horizontal), 101.0);
    const QImage shown = shot(a.view);
    QCOMPARE(shown, shot(b.view));

    // ...and the page's own points do show.
    a.control.NextPage();
    QVERIFY(shot(a.view) != shown);
}

void TestChartView::largePageKeepsEveryPeak()
{
    Chart c(4000.0, -4000.0);
    c.control.SetPageSize(100000);
    // Single-point peaks, far narrower than a pixel column, and a plateau some columns wide.
    const auto value = [](int x) {
        if (x == 33333)
            return 3000.0;
        if (x == 66666)
            return -3000.0;
        return x >= 80000 && x < 85000 ? 2000.0 : 0.0;
    };
    for (int x = 1; x <= 99999; ++x)
        c.control.AppendValue(value(x));
    QCOMPARE(c.view.axisMaximum(Axis::Horizontal), 100000.0);
    QVERIFY(c.view.plotRect().width() < 1000); // so the page is drawn per column
    const QImage image = shot(c.view);
    QVERIFY(colourNear(c.view, image, 33333, 3000.0, ChartView::LineColor, 1));
    QVERIFY(colourNear(c.view, image, 66666, -3000.0, ChartView::LineColor, 1));
    QVERIFY(colourNear(c.view, image, 50000, 0.0, ChartView::LineColor, 1));
    QVERIFY(colourNear(c.view, image, 82500, 2000.0, ChartView::LineColor, 1));
    QVERIFY(colourNear(c.view, image, 82500, 1000.0, ChartView::AreaColor, 0));
    QVERIFY(colourNear(c.view, image, 50000, -1000.0, ChartView::AreaColor, 0));
    for (const double v : {1500.0, 3000.0, -3000.0})
        QVERIFY(!colourNear(c.view, image, 50000, v, ChartView::LineColor, 2));
    QVERIFY(!colourNear(c.view, image, 50000, 1500.0, ChartView::AreaColor, 2));
}

void TestChartView::grabShowsTheToolbar()
{
    Chart c;
    auto *toolbar = new QFrame(&c.view);
    toolbar->setGeometry(0, 0, 373, 31);
    toolbar->setAutoFillBackground(true);
    QPalette p = toolbar->palette();
    p.setColor(QPalette::Window, QColor(0xD4, 0xD0, 0xC8));
    toolbar->setPalette(p);
    for (int i = 0; i < 30; ++i)
        c.control.AppendValue(i);
    const QImage image = shot(c.view);
    QCOMPARE(image.size(), QSize(373, 353));
    QCOMPARE(QColor(image.pixel(186, 15)), QColor(0xD4, 0xD0, 0xC8));
    QVERIFY(c.view.plotRect().top() > ChartView::ToolBarHeight);
    QVERIFY(QRect(0, 0, 373, 353).contains(c.view.plotRect()));
}

void TestChartView::wheelIsSwallowed()
{
    Chart c;
    for (int i = 0; i < 300; ++i)
        c.control.AppendValue(i);
    QWheelEvent wheel(QPointF(200, 200), QPointF(200, 200), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    wheel.ignore();
    QApplication::sendEvent(&c.view, &wheel);
    QVERIFY(wheel.isAccepted());
    QCOMPARE(c.view.axisMinimum(Axis::Horizontal), 201.0);
}

namespace {

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

void TestChartView::changesRepaint_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("repaints");
    QTest::newRow("append on the page") << 0 << true;
    QTest::newRow("page back") << 1 << true;
    QTest::newRow("fill off") << 2 << true;
    QTest::newRow("value axis") << 3 << true;
    QTest::newRow("append while browsing") << 4 << false;
}

void TestChartView::changesRepaint()
{
    QFETCH(int, change);
    QFETCH(bool, repaints);
    Chart c;
    for (int i = 0; i < 250; ++i)
        c.control.AppendValue(i % 50);
    if (change == 4)
        c.control.FirstPage();
    c.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.view));
    PaintCounter counter;
    c.view.installEventFilter(&counter);
    // Twice, so one repaint cannot keep the next from being scheduled.
    for (int round = 0; round < 2; ++round) {
        QTest::qWait(30);
        counter.paints = 0;
        switch (change) {
        case 1:
            c.control.PreviousPage();
            break;
        case 2:
            c.control.SetFill(round != 0);
            break;
        case 3:
            c.control.SetLeftMax(200.0 + round);
            break;
        default:
            c.control.AppendValue(round);
            break;
        }
        if (repaints) {
            QTRY_VERIFY(counter.paints > 0);
        } else {
            QTest::qWait(50);
            QCOMPARE(counter.paints, 0);
        }
    }
}

void TestChartView::unusualContentStillPaints_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("automatic");
    QTest::newRow("one point a page") << 1 << 5.0 << false;
    QTest::newRow("not a number") << 100 << std::nan("") << false;
    QTest::newRow("infinite") << 100 << std::numeric_limits<double>::infinity() << false;
    QTest::newRow("huge") << 100 << 1e300 << false;
    QTest::newRow("automatic axes") << 100 << 7.0 << true;
    QTest::newRow("automatic, not a number") << 100 << std::nan("") << true;
    QTest::newRow("automatic, infinite") << 100 << std::numeric_limits<double>::infinity() << true;
}

void TestChartView::unusualContentStillPaints()
{
    QFETCH(int, pageSize);
    QFETCH(double, value);
    QFETCH(bool, automatic);
    Chart c;
    c.control.SetPageSize(pageSize);
    for (int i = 0; i < 250; ++i)
        c.control.AppendValue(i % 3 ? value : 20.0);
    c.view.setAxisAutomatic(Axis::Horizontal, automatic);
    c.view.setAxisAutomatic(Axis::Value, automatic);
    const QImage image = shot(c.view);
    QCOMPARE(image.size(), QSize(373, 353));
    // Whatever else, the line shows the plain values.
    QVERIFY(countColour(image, ChartView::LineColor) > 0);
}

void TestChartView::labelsFitTheMargins_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("firstPoint");
    QTest::addColumn<double>("lastPoint");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::newRow("shipped") << QSize(373, 353) << 1.0 << 100.0 << -100.0 << 100.0;
    QTest::newRow("long labels") << QSize(373, 353) << 9999901.0 << 10000000.0 << -98765432.0
                                 << 123456789.0;
    QTest::newRow("small values") << QSize(373, 353) << 1.0 << 100.0 << -0.00021 << 0.00093;
    QTest::newRow("big offset") << QSize(500, 250) << 1.0 << 100.0 << 1e6 << 1e6 + 1.0;
    QTest::newRow("small widget") << QSize(200, 150) << 201.0 << 300.0 << -4000.0 << 4000.0;
}

void TestChartView::labelsFitTheMargins()
{
    QFETCH(QSize, size);
    QFETCH(double, firstPoint);
    QFETCH(double, lastPoint);
    QFETCH(double, lowest);
    QFETCH(double, highest);
    // The plot's sides are set by the labels' measured widths; had other texts been measured
    // than are drawn, a label would run into the margin at the widget's edge.
    ChartView view;
    view.resize(size);
    view.setAxisMinimum(Axis::Horizontal, firstPoint);
    view.setAxisMaximum(Axis::Horizontal, lastPoint);
    view.setAxisMinimum(Axis::Value, lowest);
    view.setAxisMaximum(Axis::Value, highest);
    const QImage image = shot(view);
    for (int y = 1; y < size.height() - 1; ++y) {
        for (const int x : {1, 2, size.width() - 3, size.width() - 2})
            QVERIFY2(image.pixel(x, y) == White,
                     qPrintable(QString::number(x) + u","_qs + QString::number(y)));
    }
}

void TestChartView::preparedBackgroundIsTheDrawnOne_data()
{
    QTest::addColumn<double>("highestAfterPreparing");
    QTest::newRow("as prepared") << 4000.0;
    QTest::newRow("axis changed after preparing") << 2000.0;
}

void TestChartView::preparedBackgroundIsTheDrawnOne()
{
    // A background drawn on the preparing thread paints as the one the chart draws itself, and
    // one prepared for axes that changed before the paint is not used.
    QFETCH(double, highestAfterPreparing);
    const auto setUp = [](ChartView &view) {
        view.resize(373, 353);
        view.setAxisMinimum(Axis::Value, -4000);
        view.setAxisMaximum(Axis::Value, 4000);
    };
    ChartView prepared;
    setUp(prepared);
    prepared.prepareBackground();
    prepared.setAxisMaximum(Axis::Value, highestAfterPreparing);
    ChartView drawn;
    setUp(drawn);
    drawn.setAxisMaximum(Axis::Value, highestAfterPreparing);
    QCOMPARE(shot(prepared), shot(drawn));
}

void TestChartView::screenMatchesAWholeRepaint_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("values"); // 0 a slow wave, 1 with gaps and far out of range, 2 jumps
    QTest::addColumn<bool>("fill");
    QTest::addColumn<bool>("automatic");
    QTest::newRow("wave") << 100 << 0 << true << false;
    QTest::newRow("gaps and overflow") << 100 << 1 << true << false;
    QTest::newRow("jumps, no fill") << 100 << 2 << false << false;
    QTest::newRow("short pages") << 7 << 2 << true << false;
    QTest::newRow("more points than columns") << 1000 << 0 << true << false;
    QTest::newRow("about a point a column") << 330 << 2 << true << false;
    QTest::newRow("automatic value axis") << 100 << 2 << true << true;
}

void TestChartView::screenMatchesAWholeRepaint()
{
    QFETCH(int, pageSize);
    QFETCH(int, values);
    QFETCH(bool, fill);
    QFETCH(bool, automatic);
    const auto value = [&](int i) {
        switch (values) {
        case 1:
            return i % 23 == 5 ? std::nan("") : i % 31 == 3 ? 1e6 : double(i % 60 - 30);
        case 2:
            return double((i * 7919) % 181 - 90);
        default:
            return 80.0 * std::sin(i / 9.0);
        }
    };
    const auto setUp = [&](Chart &c) {
        c.control.SetPageSize(pageSize);
        c.control.SetFill(fill);
        c.view.setAxisAutomatic(Axis::Value, automatic);
    };
    // Shown, with the event loop run after every point, as readings come in; the screen is
    // what the window system was given, partial repaints and all.
    Chart live;
    setUp(live);
    live.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&live.view));
    for (int i = 0; i < 260; ++i) {
        live.control.AppendValue(value(i));
        QApplication::processEvents();
        if (i % 37 != 36 && i != 259)
            continue;
        Chart whole;
        setUp(whole);
        for (int j = 0; j <= i; ++j)
            whole.control.AppendValue(value(j));
        const QImage screen = live.view.screen()
                                  ->grabWindow(live.view.winId())
                                  .toImage()
                                  .convertToFormat(QImage::Format_RGB32);
        QVERIFY2(screen == shot(whole.view), qPrintable(u"after point "_qs + QString::number(i)));
    }
}

QTEST_MAIN(TestChartView)
#include "tst_chartview.moc"
