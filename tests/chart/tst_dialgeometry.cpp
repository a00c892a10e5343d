#include "chart/DialGeometry.h"

#include <QTest>
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace {

const QSize Panel(371, 143);

const DialScale Scale4 {4000, 400, 40, 80};
const DialScale Scale6 {6000, 600, 60, 120};
const DialScale Scale34 {3400, 340, 34, 68};
const DialScale Scale2 {20000, 200, 20, 40};
const DialScale Scale10 {1000, 1000, 100, 200};
const DialScale Scale22 {22000, 220, 22, 44};

// Runs of consecutive red band dots, as (first, last) dot numbers.
using Runs = QList<QPair<int, int>>;

} // namespace

Q_DECLARE_METATYPE(DialScale)
Q_DECLARE_METATYPE(BandLimits)
Q_DECLARE_METATYPE(DialInk)
Q_DECLARE_METATYPE(Runs)

// Where the dial's marks, labels and needle go, and how the band is coloured.
class TestDialGeometry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void arcOfTheShippedPanel();
    void roundHalfEven_data();
    void roundHalfEven();
    void roundingIgnoresTheRoundingMode();

    void bandDots_data();
    void bandDots();
    void labels_data();
    void labels();
    void keepInside_data();
    void keepInside();
    void labelsKeptInside_data();
    void labelsKeptInside();
    void majorDots_data();
    void majorDots();
    void labelsBeyondTheLastStepAreLeftOut();
    void scaleWithoutStepsHasNoFace();

    void needle_data();
    void needle();
    void needleOutsideTheScale();

    void bandColour_data();
    void bandColour();
    void effectiveLimitsIgnoreSwitchedOffValues();
};

void TestDialGeometry::arcOfTheShippedPanel()
{
    const DialArc a = DialArc::forPanel(Panel);
    QCOMPARE(a.W, 331);
    QCOMPARE(a.H, 83);
    QVERIFY(std::abs(a.R - 206.5015f) < 1e-4f);
    // With pi in place of 3.1415 the sweep would be 106.5369.
    QVERIFY(std::abs(a.S - 106.5401f) < 1e-4f);
    QVERIFY(std::abs(a.T - 36.7299f) < 1e-4f);
    QVERIFY(!DialArc::forPanel(QSize(40, 143)).isDrawable());
    QVERIFY(!DialArc::forPanel(QSize(371, 60)).isDrawable());
}

void TestDialGeometry::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("185.5") << 185.5 << 186;
    QTest::newRow("184.5") << 184.5 << 184;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-1.5") << -1.5 << -2;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("-24.5") << -24.5 << -24;
    QTest::newRow("just below a half") << std::nextafter(2.5, 0.0) << 2;
    QTest::newRow("just above a half") << std::nextafter(2.5, 3.0) << 3;
    QTest::newRow("just above -a half") << std::nextafter(-2.5, 0.0) << -2;
    QTest::newRow("0.49999999999999994") << 0.49999999999999994 << 0;
    QTest::newRow("-0.7") << -0.7 << -1;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("+inf") << std::numeric_limits<double>::infinity() << DialPixelLimit;
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << -DialPixelLimit;
    QTest::newRow("huge") << 1e300 << DialPixelLimit;
}

void TestDialGeometry::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, rounded);
    QCOMPARE(::roundHalfEven(value), rounded);
}

void TestDialGeometry::roundingIgnoresTheRoundingMode()
{
    const int saved = std::fegetround();
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        const int up = ::roundHalfEven(2.5);
        const int down = ::roundHalfEven(-3.5);
        const int plain = ::roundHalfEven(7.2);
        std::fesetround(saved);
        QCOMPARE(up, 2);
        QCOMPARE(down, -4);
        QCOMPARE(plain, 7);
    }
}

void TestDialGeometry::bandDots_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<int>("dot");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<double>("count");

    QTest::newRow("4 first") << u"4"_qs << Scale4 << 0 << QPoint(18, 111) << -4000.0;
    QTest::newRow("4 middle") << u"4"_qs << Scale4 << 400 << QPoint(186, 27) << 0.0;
    QTest::newRow("4 last") << u"4"_qs << Scale4 << 800 << QPoint(353, 111) << 4000.0;
    // Dots that move by a pixel if the sweep is computed with pi instead of 3.1415.
    QTest::newRow("4 dot 112") << u"4"_qs << Scale4 << 112 << QPoint(55, 72) << -2880.0;
    QTest::newRow("4 dot 650") << u"4"_qs << Scale4 << 650 << QPoint(301, 61) << 2500.0;
    // Every scale spans the same arc.
    QTest::newRow("6 last") << u"6"_qs << Scale6 << 1200 << QPoint(353, 111) << 6000.0;
    QTest::newRow("34 middle") << u"34"_qs << Scale34 << 340 << QPoint(186, 27) << 0.0;
    QTest::newRow("10 first") << u"10"_qs << Scale10 << 0 << QPoint(18, 111) << -1000.0;
    // The band's count follows the formula even where the scale is not centred on zero.
    QTest::newRow("10 last") << u"10"_qs << Scale10 << 2000 << QPoint(353, 111) << 19000.0;
    QTest::newRow("22 middle") << u"22"_qs << Scale22 << 220 << QPoint(186, 27) << -19800.0;
    QTest::newRow("2 last") << u"2"_qs << Scale2 << 400 << QPoint(353, 111) << -16000.0;
}

void TestDialGeometry::bandDots()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(int, dot);
    QFETCH(QPoint, at);
    QFETCH(double, count);

    const DialFaceLayout face = dialFaceLayout(Panel, code, scale);
    QCOMPARE(face.band.size(), qsizetype(scale.dialSteps) * 10 + 1);
    QCOMPARE(face.band[dot].at, at);
    QCOMPARE(face.band[dot].count, count);
}

void TestDialGeometry::labels_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<QList<int>>("steps");
    // A few of the labels with the top-left corner of their text.
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<QPoint>>("places");

    QTest::newRow("4") << u"4"_qs << Scale4 << QList<int> {0, 10, 20, 30, 40, 50, 60, 70, 80}
                       << QStringList {u"-40"_qs, u"0"_qs, u"40"_qs}
                       << QList<QPoint> {{1, 95}, {183, 8}, {353, 95}};
    QTest::newRow("6") << u"6"_qs << Scale6 << QList<int> {0, 15, 30, 45, 60, 75, 90, 105, 120}
                       << QStringList {u"-60"_qs, u"0"_qs, u"60"_qs}
                       << QList<QPoint> {{1, 95}, {183, 8}, {354, 95}};
    QTest::newRow("34") << u"34"_qs << Scale34 << QList<int> {4, 14, 24, 34, 44, 54, 64}
                        << QStringList {u"0"_qs} << QList<QPoint> {{183, 8}};
    QTest::newRow("10") << u"10"_qs << Scale10
                        << QList<int> {0, 25, 50, 75, 100, 125, 150, 175, 200}
                        << QStringList {u"-10"_qs, u"0"_qs, u"10"_qs}
                        << QList<QPoint> {{5, 95}, {183, 8}, {355, 100}};
    // The outermost labels hang over the image's edges.
    QTest::newRow("13") << u"13"_qs << Scale10
                        << QList<int> {0, 25, 50, 75, 100, 125, 150, 175, 200}
                        << QStringList {u"-1000"_qs, u"0"_qs, u"1000"_qs}
                        << QList<QPoint> {{-4, 95}, {183, 8}, {350, 97}};
    QTest::newRow("2") << u"2"_qs << Scale2 << QList<int> {} << QStringList {} << QList<QPoint> {};
    QTest::newRow("22") << u"22"_qs << Scale22 << QList<int> {} << QStringList {}
                        << QList<QPoint> {};
    QTest::newRow("unknown") << u"7"_qs << Scale4 << QList<int> {} << QStringList {}
                             << QList<QPoint> {};
}

void TestDialGeometry::labels()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(QList<int>, steps);
    QFETCH(QStringList, texts);
    QFETCH(QList<QPoint>, places);

    const DialFaceLayout face = dialFaceLayout(Panel, code, scale);
    QList<int> labelled;
    for (const DialFaceLayout::Mark &m : face.marks) {
        if (!m.text.isEmpty())
            labelled << m.step;
    }
    QCOMPARE(labelled, steps);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const auto m
            = std::find_if(face.marks.cbegin(), face.marks.cend(),
                           [&](const DialFaceLayout::Mark &x) { return x.text == texts[i]; });
        QVERIFY2(m != face.marks.cend(), qPrintable(texts[i]));
        QCOMPARE(m->textTopLeft, places[i]);
    }
    // Texts and offsets come straight from the scale's set.
    const DialLabelSet &set = dialLabelSet(code);
    QCOMPARE(set.labels.size(), steps.size());
}

void TestDialGeometry::keepInside_data()
{
    QTest::addColumn<QPoint>("topLeft");
    QTest::addColumn<QRect>("extent");
    QTest::addColumn<QPoint>("kept");
    const QRect text(0, 0, 24, 12);
    QTest::newRow("inside") << QPoint(10, 10) << text << QPoint(10, 10);
    QTest::newRow("touching the right and bottom edges")
        << QPoint(76, 38) << text << QPoint(76, 38);
    QTest::newRow("over the left edge") << QPoint(-4, 20) << text << QPoint(0, 20);
    QTest::newRow("over the right edge") << QPoint(90, 20) << text << QPoint(76, 20);
    QTest::newRow("over the top and bottom")
        << QPoint(5, -3) << QRect(0, 0, 24, 60) << QPoint(5, 0);
    QTest::newRow("ink left of the corner") << QPoint(0, 0) << QRect(-2, 0, 24, 12) << QPoint(2, 0);
    QTest::newRow("wider than the picture")
        << QPoint(-4, 0) << QRect(0, 0, 120, 12) << QPoint(0, 0);
}

// A picture of 100 x 50 pixels.
void TestDialGeometry::keepInside()
{
    QFETCH(QPoint, topLeft);
    QFETCH(QRect, extent);
    QFETCH(QPoint, kept);
    QCOMPARE(::keepInside(topLeft, extent, QSize(100, 50)), kept);
}

void TestDialGeometry::labelsKeptInside_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<QPoint>>("places");
    // Labels that fit stay where their offsets put them.
    QTest::newRow("4") << u"4"_qs << Scale4 << QStringList {u"-40"_qs, u"0"_qs, u"40"_qs}
                       << QList<QPoint> {{1, 95}, {183, 8}, {353, 95}};
    QTest::newRow("13") << u"13"_qs << Scale10 << QStringList {u"-1000"_qs, u"0"_qs, u"1000"_qs}
                        << QList<QPoint> {{0, 81}, {183, 8}, {343, 81}};
}

// Texts 6 pixels a character and 12 high, in the shipped panel's 367 x 139 picture.
void TestDialGeometry::labelsKeptInside()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(QStringList, texts);
    QFETCH(QList<QPoint>, places);
    const DialFaceLayout face = dialFaceLayout(Panel, code, scale, [](const QString &text) {
        return QRect(0, 0, 6 * int(text.size()), 12);
    });
    for (const DialFaceLayout::Mark &m : face.marks) {
        if (m.text.isEmpty())
            continue;
        QVERIFY2(
            QRect(0, 0, 367, 139).contains(QRect(m.textTopLeft, QSize(6 * int(m.text.size()), 12))),
            qPrintable(m.text));
        const qsizetype i = texts.indexOf(m.text);
        if (i >= 0)
            QCOMPARE(m.textTopLeft, places[i]);
    }
}

void TestDialGeometry::majorDots_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<DialInk>("ink");
    QTest::addColumn<QList<QPoint>>("places"); // of the first, middle and last dot, if given

    QTest::newRow("4") << u"4"_qs << Scale4 << QList<int> {0, 10, 20, 30, 40, 50, 60, 70, 80}
                       << DialInk::Red << QList<QPoint> {{15, 109}, {186, 24}, {356, 109}};
    QTest::newRow("6") << u"6"_qs << Scale6 << QList<int> {0, 15, 30, 45, 60, 75, 90, 105, 120}
                       << DialInk::Red << QList<QPoint> {{15, 109}, {186, 24}, {356, 109}};
    QTest::newRow("34") << u"34"_qs << Scale34 << QList<int> {4, 14, 24, 34, 44, 54, 64}
                        << DialInk::Red << QList<QPoint> {};
    QTest::newRow("10") << u"10"_qs << Scale10 << QList<int> {} << DialInk::Black
                        << QList<QPoint> {};
    QTest::newRow("13") << u"13"_qs << Scale10 << QList<int> {} << DialInk::Black
                        << QList<QPoint> {};
    QTest::newRow("22") << u"22"_qs << Scale22 << QList<int> {} << DialInk::Black
                        << QList<QPoint> {};
}

void TestDialGeometry::majorDots()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(QList<int>, steps);
    QFETCH(DialInk, ink);
    QFETCH(QList<QPoint>, places);

    const DialFaceLayout face = dialFaceLayout(Panel, code, scale);
    QList<int> dotted;
    QList<QPoint> at;
    for (const DialFaceLayout::Mark &m : face.marks) {
        if (m.hasDot) {
            dotted << m.step;
            at << m.dot;
        }
    }
    QCOMPARE(dotted, steps);
    if (!steps.isEmpty())
        QCOMPARE(face.dotInk, ink);
    if (!places.isEmpty()) {
        QCOMPARE(at.constFirst(), places[0]);
        QCOMPARE(at[at.size() / 2], places[1]);
        QCOMPARE(at.constLast(), places[2]);
    }
}

void TestDialGeometry::labelsBeyondTheLastStepAreLeftOut()
{
    const DialFaceLayout face = dialFaceLayout(Panel, u"4", DialScale {4000, 400, 40, 55});
    QList<int> labelled;
    for (const DialFaceLayout::Mark &m : face.marks) {
        QVERIFY(m.step <= 55);
        if (!m.text.isEmpty())
            labelled << m.step;
    }
    QCOMPARE(labelled, (QList<int> {0, 10, 20, 30, 40, 50}));
    // Step 55 is now the right end of the arc.
    QCOMPARE(face.band.constLast().at, QPoint(353, 111));
}

void TestDialGeometry::scaleWithoutStepsHasNoFace()
{
    for (const int steps : {0, -1}) {
        const DialFaceLayout face = dialFaceLayout(Panel, u"4", DialScale {4000, 400, 40, steps});
        QVERIFY(face.marks.isEmpty());
        QVERIFY(face.band.isEmpty());
    }
    QVERIFY(dialFaceLayout(QSize(30, 30), u"4", Scale4).band.isEmpty());
}

void TestDialGeometry::needle_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("dialSteps");
    QTest::addColumn<QPoint>("tip");
    QTest::addColumn<QPoint>("base");

    QTest::newRow("4: 0") << 0 << 80 << QPoint(20, 117) << QPoint(395, 393);
    // The base's x is 185, not 186, only when the arithmetic between the float values is done
    // in double: in float the needle's slight lean is lost and 165.5 rounds up to the even 166.
    QTest::newRow("4: 400") << 400 << 80 << QPoint(186, 34) << QPoint(185, 393);
    QTest::newRow("4: 800") << 800 << 80 << QPoint(351, 117) << QPoint(-24, 393);
    QTest::newRow("10: 0") << 0 << 200 << QPoint(20, 117) << QPoint(395, 393);
    QTest::newRow("10: 2000") << 2000 << 200 << QPoint(351, 117) << QPoint(-24, 393);
}

void TestDialGeometry::needle()
{
    QFETCH(int, position);
    QFETCH(int, dialSteps);
    QFETCH(QPoint, tip);
    QFETCH(QPoint, base);

    NeedleLine line;
    QVERIFY(DialArc::forPanel(Panel).needle(position, qint64(dialSteps) * 10, &line));
    QCOMPARE(line.tip, tip);
    QCOMPARE(line.base, base);
}

void TestDialGeometry::needleOutsideTheScale()
{
    const DialArc arc = DialArc::forPanel(Panel);
    NeedleLine left;
    NeedleLine right;
    QVERIFY(arc.needle(-100, 800, &left));
    QVERIFY(arc.needle(900, 800, &right));
    // Beyond the ends the tip keeps following the circle, lower than the ends.
    QVERIFY(left.tip.x() < 20 && left.tip.y() > 117);
    QVERIFY(right.tip.x() > 351 && right.tip.y() > 117);
    QCOMPARE(left.tip.x() + right.tip.x(), 20 + 351);

    // Pointing sideways puts the base far out, held to the pixel limit.
    NeedleLine extreme;
    QVERIFY(arc.needle(std::numeric_limits<qint32>::max(), 800, &extreme));
    QVERIFY(std::abs(extreme.base.x()) <= DialPixelLimit + 20);
    QVERIFY(arc.needle(std::numeric_limits<qint32>::min(), 800, &extreme));

    NeedleLine none {{1, 2}, {3, 4}};
    QVERIFY(!arc.needle(400, 0, &none));
    QCOMPARE(none, (NeedleLine {{1, 2}, {3, 4}}));
    QVERIFY(!DialArc::forPanel(QSize(10, 10)).needle(400, 800, &none));
}

void TestDialGeometry::bandColour_data()
{
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<BandLimits>("limits");
    QTest::addColumn<Runs>("red");

    QTest::newRow("both off") << Scale4 << BandLimits {false, 1000, false, -1000} << Runs {};
    QTest::newRow("both off, limits inside out")
        << Scale4 << BandLimits {false, -5000, false, 5000} << Runs {};
    // Dot 500 is 1000 counts: not beyond the limit.
    QTest::newRow("upper 1000") << Scale4 << BandLimits {true, 1000, false, -1000}
                                << Runs {{501, 800}};
    QTest::newRow("upper 999.5") << Scale4 << BandLimits {true, 999.5f, false, 0}
                                 << Runs {{500, 800}};
    QTest::newRow("lower -1000") << Scale4 << BandLimits {false, 1000, true, -1000}
                                 << Runs {{0, 299}};
    QTest::newRow("both 1000") << Scale4 << BandLimits {true, 1000, true, -1000}
                               << Runs {{0, 299}, {501, 800}};
    QTest::newRow("upper below lower")
        << Scale4 << BandLimits {true, -500, true, 500} << Runs {{0, 800}};
    QTest::newRow("upper at full scale")
        << Scale4 << BandLimits {true, 4000, true, -4000} << Runs {};
    QTest::newRow("upper 0") << Scale4 << BandLimits {true, 0, false, 0} << Runs {{401, 800}};
    QTest::newRow("10: upper 1000")
        << Scale10 << BandLimits {true, 1000, false, -1000} << Runs {{201, 2000}};
}

void TestDialGeometry::bandColour()
{
    QFETCH(DialScale, scale);
    QFETCH(BandLimits, limits);
    QFETCH(Runs, red);

    const DialFaceLayout face = dialFaceLayout(Panel, u"4", scale);
    Runs found;
    for (int j = 0; j < face.band.size(); ++j) {
        const DialInk ink = bandInk(face.band[j].count, limits);
        QVERIFY(ink == DialInk::Red || ink == DialInk::Black);
        if (ink != DialInk::Red)
            continue;
        if (!found.isEmpty() && found.last().second == j - 1)
            found.last().second = j;
        else
            found.append({j, j});
    }
    QCOMPARE(found, red);
}

void TestDialGeometry::effectiveLimitsIgnoreSwitchedOffValues()
{
    QCOMPARE((BandLimits {false, 12, true, -7}.effective()), (BandLimits {false, 0, true, -7}));
    QCOMPARE((BandLimits {true, 12, false, -7}.effective()), (BandLimits {true, 12, false, 0}));
    QCOMPARE((BandLimits {false, 12, false, -7}.effective()),
             (BandLimits {false, 99, false, 5}.effective()));
}

QTEST_APPLESS_MAIN(TestDialGeometry)
#include "tst_dialgeometry.moc"
