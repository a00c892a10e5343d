#include "app/RunState.h"
#include "chart/AnalogDial.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

const QRgb Black = qRgb(0, 0, 0);
const QRgb White = qRgb(255, 255, 255);
const QRgb Red = qRgb(255, 0, 0);

struct ScaleChoice
{
    const char16_t *code;
    DialScale scale;
};

const ScaleChoice Scales[] = {
    {u"4", {4000, 400, 40, 80}},   {u"6", {6000, 600, 60, 120}},    {u"34", {3400, 340, 34, 68}},
    {u"2", {20000, 200, 20, 40}},  {u"10", {1000, 1000, 100, 200}}, {u"13", {1000, 1000, 100, 200}},
    {u"22", {22000, 220, 22, 44}},
};

// The dial in a panel of the shipped size, placed as the window places it.
struct Dial
{
    RunState state;
    QFrame panel;
    std::unique_ptr<AnalogDial> dial;

    explicit Dial(const QString &code = u"4"_qs, DialScale scale = {4000, 400, 40, 80})
    {
        panel.resize(371, 143);
        dial = std::make_unique<AnalogDial>(state, state.limits, &panel);
        dial->setGeometry(2, 2, 367, 139);
        setScale(code, scale);
    }
    void setScale(const QString &code, DialScale scale)
    {
        state.scaleCode = code;
        state.dialScale = scale;
    }
    QRgb pixel(QPoint p) const { return dial->image().pixel(p); }
};

// Whether some pixel within `reach` of p has the colour.
bool near(const QImage &image, QPoint p, QRgb colour, int reach = 1)
{
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const QPoint q = p + QPoint(dx, dy);
            if (image.rect().contains(q) && image.pixel(q) == colour)
                return true;
        }
    }
    return false;
}

// Rows of the image that a needle from tip to base crosses, below its tip.
QList<QPoint> needlePath(const NeedleLine &line, const QRect &bounds)
{
    QList<QPoint> path;
    const double slope = double(line.base.x() - line.tip.x()) / (line.base.y() - line.tip.y());
    for (int y = line.tip.y() + 2; y < bounds.bottom(); ++y) {
        const QPoint p(qRound(line.tip.x() + slope * (y - line.tip.y())), y);
        if (bounds.contains(p))
            path << p;
    }
    return path;
}

QString differences(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return u"sizes differ"_qs;
    int count = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (count++ == 0)
                    first = {x, y};
            }
        }
    }
    return count == 0
        ? QString()
        : u"%1 pixels differ, the first at %2,%3"_qs.arg(count).arg(first.x()).arg(first.y());
}

} // namespace

Q_DECLARE_METATYPE(DialScale)

// The dial widget's drawing: face, band colours and needle.
class TestAnalogDial : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void imageOfThePanel();
    void bandDotsAreBlack_data();
    void bandDotsAreBlack();
    void limitsColourTheBand_data();
    void limitsColourTheBand();
    void labelsAndTicks();
    void labelsAreWhole_data();
    void labelsAreWhole();
    void scaleWithoutLabelsDrawsOnlyTheBand();
    void needleAlongItsLine_data();
    void needleAlongItsLine();
    void secondRunErasesTheFirstNeedle_data();
    void secondRunErasesTheFirstNeedle();
    void setupWipesTheNeedle();
    void firstRunErasesNothingVisible();
    void faceIsTheDotByDotDrawing_data();
    void faceIsTheDotByDotDrawing();
    void remadeFacesMatchFreshOnes();
    void preparedFaceIsTheDrawnFace_data();
    void preparedFaceIsTheDrawnFace();
    void followsThePanelSize();
    void oddScalesDoNotBreak();
    void paintShowsTheImage();
    void needlesAreTheStrokedLines();
    void screenFollowsTheFrames();
    void steadyReadingPaintsNothing();
    void shots();
};

void TestAnalogDial::imageOfThePanel()
{
    Dial d;
    QCOMPARE(d.dial->image().size(), QSize(367, 139));
    QCOMPARE(d.dial->image().format(), QImage::Format_RGB32);
    QCOMPARE(d.dial->previousNeedle(), NeedleLine {});
    d.dial->KDsetup(1);
    QCOMPARE(d.pixel({0, 0}), White);
    QCOMPARE(d.pixel({186, 100}), White); // inside the arc: no needle yet
}

void TestAnalogDial::bandDotsAreBlack_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    for (const ScaleChoice &s : Scales)
        QTest::newRow(qPrintable(QString::fromUtf16(s.code)))
            << QString::fromUtf16(s.code) << s.scale;
}

void TestAnalogDial::bandDotsAreBlack()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    Dial d(code, scale);
    d.dial->KDsetup(1);
    // The centre of each dot's 2 x 2 box; every scale spans the same arc.
    for (const QPoint p : {QPoint(19, 112), QPoint(187, 28), QPoint(354, 112)})
        QCOMPARE(d.pixel(p), Black);
    // At the top of the arc, pen 4 around the dots' 2 x 2 boxes makes the band 6 pixels thick.
    int thickness = 0;
    for (int y = 20; y < 40; ++y)
        thickness += d.pixel({187, y}) == Black;
    QCOMPARE(thickness, 6);
    QCOMPARE(d.pixel({186, 36}), White); // below the band
    QCOMPARE(d.pixel({60, 20}), White); // above the band, between labels
}

void TestAnalogDial::limitsColourTheBand_data()
{
    QTest::addColumn<bool>("upperOn");
    QTest::addColumn<float>("upper");
    QTest::addColumn<bool>("lowerOn");
    QTest::addColumn<float>("lower");
    QTest::addColumn<QList<int>>("redDots");
    QTest::addColumn<QList<int>>("blackDots");

    const QList<int> all {0, 100, 250, 350, 400, 450, 550, 700, 800};
    QTest::newRow("both off") << false << 1000.f << false << -1000.f << QList<int> {} << all;
    QTest::newRow("both off, zero limits") << false << 0.f << false << 0.f << QList<int> {} << all;
    QTest::newRow("both on") << true << 1000.f << true << -1000.f << QList<int> {0, 250, 550, 800}
                             << QList<int> {350, 400, 450};
    QTest::newRow("upper on") << true << 1000.f << false << -1000.f << QList<int> {550, 800}
                              << QList<int> {0, 250, 400, 450};
    QTest::newRow("lower on") << false << 1000.f << true << -1000.f << QList<int> {0, 250}
                              << QList<int> {350, 400, 550, 800};
}

void TestAnalogDial::limitsColourTheBand()
{
    QFETCH(bool, upperOn);
    QFETCH(float, upper);
    QFETCH(bool, lowerOn);
    QFETCH(float, lower);
    QFETCH(QList<int>, redDots);
    QFETCH(QList<int>, blackDots);

    Dial d;
    d.state.limits.upperLimitOn = upperOn;
    d.state.limits.UpperLimit = upper;
    d.state.limits.lowerLimitOn = lowerOn;
    d.state.limits.LowerLimit = lower;
    d.dial->KDsetup(1);
    const DialFaceLayout face = dialFaceLayout({371, 143}, u"4", d.state.dialScale);
    for (const int j : redDots)
        QVERIFY2(d.pixel(face.band[j].at + QPoint(1, 1)) == Red, qPrintable(QString::number(j)));
    for (const int j : blackDots)
        QVERIFY2(d.pixel(face.band[j].at + QPoint(1, 1)) == Black, qPrintable(QString::number(j)));
}

void TestAnalogDial::labelsAndTicks()
{
    Dial d;
    d.dial->KDsetup(1);
    const QImage &image = d.dial->image();
    // A label's ink starts at its top-left corner, give or take the font's bearing and leading;
    // each character is at most 6 pixels wide and the digits 8 high.
    const struct
    {
        QPoint topLeft;
        int length;
    } labels[] = {{{1, 95}, 3}, {{183, 8}, 1}, {{353, 95}, 2}};
    for (const auto &l : labels) {
        const QRect searched(l.topLeft - QPoint(1, 3), QSize(l.length * 6 + 3, 13));
        QRect inked;
        for (int y = searched.top(); y <= searched.bottom(); ++y) {
            for (int x = searched.left(); x <= searched.right(); ++x) {
                if (image.rect().contains(x, y) && image.pixel(x, y) == Black)
                    inked |= QRect(x, y, 1, 1);
            }
        }
        const QString where = u"ink at %1,%2 %3x%4"_qs.arg(inked.x())
                                  .arg(inked.y())
                                  .arg(inked.width())
                                  .arg(inked.height());
        QVERIFY2(inked.left() >= l.topLeft.x() && inked.left() <= l.topLeft.x() + 2,
                 qPrintable(where));
        QVERIFY2(inked.top() >= l.topLeft.y() && inked.top() <= l.topLeft.y() + 4,
                 qPrintable(where));
        QVERIFY2(inked.width() >= l.length * 4 && inked.height() >= 6, qPrintable(where));
    }
    // The major dots of steps 0, 40 and 80, drawn red above the band.
    for (const QPoint p : {QPoint(15, 109), QPoint(186, 24), QPoint(356, 109)})
        QCOMPARE(d.pixel(p + QPoint(1, 0)), Red);
    // Pen 2 around the 2 x 2 box: the top dot shows 4 pixels wide above the band.
    int width = 0;
    for (int x = 180; x < 194; ++x)
        width += d.pixel({x, 24}) == Red;
    QCOMPARE(width, 4);
}

void TestAnalogDial::labelsAreWhole_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    for (const ScaleChoice &s : Scales) {
        if (!dialLabelSet(s.code).labels.isEmpty())
            QTest::newRow(qPrintable(QString::fromUtf16(s.code)))
                << QString::fromUtf16(s.code) << s.scale;
    }
}

// Every label of every scale lies inside the dial's picture in the font it is drawn in, and
// shows whole there: its text drawn alone where the dial draws it loses no pixel to the
// picture's edges, and each of those pixels is inked on the dial. A label moved in from its
// offsets keeps clear of the band.
void TestAnalogDial::labelsAreWhole()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    Dial d(code, scale);
    d.dial->KDsetup(1);
    const QImage &image = d.dial->image();
    const QFont &font = d.dial->labelFont();
    const QFontMetrics fm(font);
    const auto ink = [&](const QString &text, QPoint baseline, QSize canvas, QPoint shift) {
        QImage alone(canvas, QImage::Format_RGB32);
        alone.fill(Qt::white);
        QPainter p(&alone);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(baseline + shift, text);
        p.end();
        QList<QPoint> inked;
        for (int y = 0; y < alone.height(); ++y)
            for (int x = 0; x < alone.width(); ++x)
                if (alone.pixel(x, y) != White)
                    inked << QPoint(x, y) - shift;
        return inked;
    };

    const DialFaceLayout face = dialFaceLayout({371, 143}, code, scale, d.dial->labelExtent());
    const DialFaceLayout offsetsOnly = dialFaceLayout({371, 143}, code, scale);
    QCOMPARE(offsetsOnly.marks.size(), face.marks.size());
    qsizetype labels = 0;
    for (const DialFaceLayout::Mark &m : face.marks) {
        if (m.text.isEmpty())
            continue;
        ++labels;
        const QPoint baseline = m.textTopLeft + QPoint(0, fm.ascent());
        const QRect box = QRect(m.textTopLeft, QSize(fm.horizontalAdvance(m.text), fm.height()))
            | fm.boundingRect(m.text).translated(baseline);
        const QString where = u"\"%1\" at %2,%3 %4x%5"_qs.arg(m.text)
                                  .arg(box.x())
                                  .arg(box.y())
                                  .arg(box.width())
                                  .arg(box.height());
        QVERIFY2(d.dial->rect().contains(box), qPrintable(where));
        const QList<QPoint> whole = ink(m.text, baseline, image.size() + QSize(100, 100), {50, 50});
        const QList<QPoint> shown = ink(m.text, baseline, image.size(), {});
        QVERIFY(!whole.isEmpty());
        QVERIFY2(shown == whole, qPrintable(where));
        for (const QPoint &p : shown)
            QVERIFY2(image.pixel(p) != White, qPrintable(where));
        if (m.textTopLeft != offsetsOnly.marks[qsizetype(&m - face.marks.data())].textTopLeft) {
            for (const DialFaceLayout::BandDot &dot : face.band) {
                const QRect reach(dot.at - QPoint(2, 2), QSize(6, 6));
                for (const QPoint &p : shown)
                    QVERIFY2(!reach.contains(p), qPrintable(where));
            }
        }
    }
    QCOMPARE(labels, dialLabelSet(code).labels.size());
}

void TestAnalogDial::scaleWithoutLabelsDrawsOnlyTheBand()
{
    Dial d(u"22"_qs, {22000, 220, 22, 44});
    d.dial->KDsetup(1);
    const QImage &image = d.dial->image();
    const DialFaceLayout face = dialFaceLayout({371, 143}, u"22", d.state.dialScale);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (c == White)
                continue;
            QCOMPARE(c, Black);
            // Every inked pixel belongs to some band dot (pen 4 around a 2 x 2 box).
            const bool onBand = std::any_of(face.band.cbegin(), face.band.cend(), [&](auto &dot) {
                const QPoint centre = dot.at + QPoint(1, 1);
                return std::abs(centre.x() - x) <= 3 && std::abs(centre.y() - y) <= 3;
            });
            QVERIFY2(onBand, qPrintable(u"%1,%2"_qs.arg(x).arg(y)));
        }
    }
}

void TestAnalogDial::needleAlongItsLine_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QPoint>("tip");
    QTest::addColumn<QPoint>("base");
    QTest::newRow("0") << 0 << QPoint(20, 117) << QPoint(395, 393);
    QTest::newRow("400") << 400 << QPoint(186, 34) << QPoint(185, 393);
    QTest::newRow("800") << 800 << QPoint(351, 117) << QPoint(-24, 393);
    QTest::newRow("beyond the left end") << -20 << QPoint() << QPoint();
}

void TestAnalogDial::needleAlongItsLine()
{
    QFETCH(int, position);
    QFETCH(QPoint, tip);
    QFETCH(QPoint, base);

    Dial d;
    d.dial->KDsetup(1);
    const QImage face = d.dial->image();
    d.dial->KDrun(position);
    const NeedleLine line = d.dial->previousNeedle();
    if (!tip.isNull()) {
        QCOMPARE(line.tip, tip);
        QCOMPARE(line.base, base);
    }
    const QImage &image = d.dial->image();
    const QList<QPoint> path = needlePath(line, image.rect());
    QVERIFY(!path.isEmpty());
    for (const QPoint p : path)
        QVERIFY2(near(image, p, Black), qPrintable(u"%1,%2"_qs.arg(p.x()).arg(p.y())));
    if (image.rect().contains(line.tip))
        QVERIFY(near(image, line.tip, Black));
    // The needle changes nothing but pixels on its line.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == face.pixel(x, y))
                continue;
            QCOMPARE(image.pixel(x, y), Black);
            const QPoint a = line.tip;
            const QPoint b = line.base;
            const double cross
                = double(b.x() - a.x()) * (y - a.y()) - double(b.y() - a.y()) * (x - a.x());
            const double distance = std::abs(cross) / std::hypot(b.x() - a.x(), b.y() - a.y());
            QVERIFY2(distance < 2.0 && y >= a.y() - 2, qPrintable(u"%1,%2"_qs.arg(x).arg(y)));
        }
    }
}

void TestAnalogDial::secondRunErasesTheFirstNeedle_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    const DialScale four {4000, 400, 40, 80};
    const DialScale ten {1000, 1000, 100, 200};
    QTest::newRow("4: 0 then 800") << u"4"_qs << four << 0 << 800;
    QTest::newRow("4: 800 then 0") << u"4"_qs << four << 800 << 0;
    QTest::newRow("4: 400 then 404") << u"4"_qs << four << 400 << 404;
    QTest::newRow("4: beyond both ends") << u"4"_qs << four << -80 << 880;
    QTest::newRow("10: 1000 then 1234") << u"10"_qs << ten << 1000 << 1234;
    QTest::newRow("13: 0 then 2000") << u"13"_qs << ten << 0 << 2000;
    QTest::newRow("6: 600 then 17") << u"6"_qs << DialScale {6000, 600, 60, 120} << 600 << 17;
}

void TestAnalogDial::secondRunErasesTheFirstNeedle()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(int, first);
    QFETCH(int, second);

    // The same limits on both, so the red band is part of what must survive the erasing.
    Dial twice(code, scale);
    Dial once(code, scale);
    for (Dial *d : {&twice, &once}) {
        d->state.limits = LimitState {};
        d->state.limits.upperLimitOn = true;
        d->state.limits.UpperLimit = 100;
        d->dial->KDsetup(1);
    }
    twice.dial->KDrun(first);
    const NeedleLine firstLine = twice.dial->previousNeedle();
    twice.dial->KDrun(second);
    once.dial->KDrun(second);

    QCOMPARE(twice.dial->previousNeedle(), once.dial->previousNeedle());
    QVERIFY(!(firstLine == once.dial->previousNeedle()));
    const QString diff = differences(twice.dial->image(), once.dial->image());
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestAnalogDial::setupWipesTheNeedle()
{
    Dial d;
    d.dial->KDsetup(1);
    const QImage face = d.dial->image();
    d.dial->KDrun(600);
    const NeedleLine needle = d.dial->previousNeedle();
    QVERIFY(d.dial->image() != face);
    d.dial->KDsetup(1);
    QVERIFY(d.dial->image() == face);
    QCOMPARE(d.dial->previousNeedle(), needle);
}

void TestAnalogDial::firstRunErasesNothingVisible()
{
    Dial d;
    QCOMPARE(d.dial->previousNeedle(), (NeedleLine {{0, 0}, {0, 0}}));
    d.dial->KDsetup(1);
    const QImage face = d.dial->image();
    d.dial->KDrun(400);
    QCOMPARE(d.pixel({0, 0}), White);
    // Every change is the needle's black; the white stroke at 0,0 left nothing behind.
    const QImage &image = d.dial->image();
    int changed = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != face.pixel(x, y)) {
                ++changed;
                QCOMPARE(image.pixel(x, y), Black);
                QVERIFY(x >= 184 && x <= 188 && y >= 32);
            }
        }
    }
    QVERIFY(changed > 100);
}

void TestAnalogDial::faceIsTheDotByDotDrawing_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<bool>("limitsOn");
    for (const ScaleChoice &s : Scales) {
        const QString code = QString::fromUtf16(s.code);
        QTest::newRow(qPrintable(code)) << code << s.scale << false;
        QTest::newRow(qPrintable(code + u" limits"_qs)) << code << s.scale << true;
    }
}

// The face, drawn step by step with the canvas operations the dial is described with.
void TestAnalogDial::faceIsTheDotByDotDrawing()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(bool, limitsOn);

    Dial d(code, scale);
    LimitState &l = d.state.limits;
    l.upperLimitOn = l.lowerLimitOn = limitsOn;
    l.UpperLimit = float(scale.fullScale) / 4;
    l.LowerLimit = -float(scale.fullScale) / 3;
    d.dial->KDsetup(1);

    QImage expected(367, 139, QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter p(&expected);
    p.setFont(d.dial->labelFont());
    const DialFaceLayout face = dialFaceLayout({371, 143}, code, scale, d.dial->labelExtent());
    for (const DialFaceLayout::Mark &m : face.marks) {
        if (!m.text.isEmpty()) {
            p.setPen(QPen(Qt::black, 1));
            p.drawText(m.textTopLeft + QPoint(0, p.fontMetrics().ascent()), m.text);
        }
        if (m.hasDot) {
            p.setPen(QPen(QColor::fromRgb(QRgb(face.dotInk)), 2));
            p.drawEllipse(QRectF(QPointF(m.dot), QSizeF(2, 2)));
        }
    }
    const BandLimits limits {l.upperLimitOn, l.UpperLimit, l.lowerLimitOn, l.LowerLimit};
    for (const DialFaceLayout::BandDot &dot : face.band) {
        p.setPen(QPen(QColor::fromRgb(QRgb(bandInk(dot.count, limits))), 4));
        p.drawEllipse(QRectF(QPointF(dot.at), QSizeF(2, 2)));
    }
    p.end();

    const QString diff = differences(d.dial->image(), expected);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestAnalogDial::remadeFacesMatchFreshOnes()
{
    // One dial goes through many faces and comes back; each face must equal one drawn anew.
    Dial reused;
    const auto check = [&](const QString &code, DialScale scale, bool upperOn, float upper) {
        reused.setScale(code, scale);
        reused.state.limits.upperLimitOn = upperOn;
        reused.state.limits.UpperLimit = upper;
        reused.dial->KDsetup(1);
        Dial fresh(code, scale);
        fresh.state.limits = reused.state.limits;
        fresh.dial->KDsetup(1);
        const QString diff = differences(reused.dial->image(), fresh.dial->image());
        QVERIFY2(diff.isEmpty(), qPrintable(code + u": "_qs + diff));
    };
    const DialScale four {4000, 400, 40, 80};
    const DialScale ten {1000, 1000, 100, 200};
    for (int round = 0; round < 2; ++round) {
        for (const ScaleChoice &s : Scales)
            check(QString::fromUtf16(s.code), s.scale, false, 0);
    }
    check(u"4"_qs, four, true, 1000);
    check(u"4"_qs, four, true, 2000);
    check(u"4"_qs, four, false, 2000);
    check(u"4"_qs, four, true, 1000);
    check(u"10"_qs, ten, true, 1000);
    check(u"13"_qs, ten, true, 1000);
    check(u"4"_qs, DialScale {4000, 400, 40, 60}, false, 0);
}

void TestAnalogDial::preparedFaceIsTheDrawnFace_data()
{
    QTest::addColumn<QString>("preparedCode");
    QTest::addColumn<DialScale>("preparedScale");
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<bool>("upperOn");
    for (const ScaleChoice &s : Scales) {
        const QString code = QString::fromUtf16(s.code);
        QTest::addRow("%s", qPrintable(code)) << code << s.scale << code << s.scale << false;
    }
    const DialScale four {4000, 400, 40, 80};
    const DialScale ten {1000, 1000, 100, 200};
    QTest::newRow("limit on") << u"4"_qs << four << u"4"_qs << four << true;
    QTest::newRow("prepared for another scale") << u"10"_qs << ten << u"4"_qs << four << false;
}

void TestAnalogDial::preparedFaceIsTheDrawnFace()
{
    // A face drawn on the preparing thread is the face KDsetup draws itself, and one prepared for
    // a scale that is not set up after all changes nothing.
    QFETCH(QString, preparedCode);
    QFETCH(DialScale, preparedScale);
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(bool, upperOn);
    Dial prepared(code, scale);
    prepared.state.limits.upperLimitOn = upperOn;
    prepared.state.limits.UpperLimit = 1000;
    prepared.dial->prepareFace(preparedCode, preparedScale);
    prepared.dial->KDsetup(1);
    prepared.dial->KDrun(scale.needleOffset);
    Dial drawn(code, scale);
    drawn.state.limits = prepared.state.limits;
    drawn.dial->KDsetup(1);
    drawn.dial->KDrun(scale.needleOffset);
    const QString diff = differences(prepared.dial->image(), drawn.dial->image());
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestAnalogDial::followsThePanelSize()
{
    Dial d;
    d.panel.resize(301, 123);
    d.dial->KDsetup(1);
    QCOMPARE(d.dial->image().size(), QSize(297, 119));
    const DialFaceLayout face = dialFaceLayout({301, 123}, u"4", d.state.dialScale);
    QCOMPARE(d.pixel(face.band[0].at + QPoint(1, 1)), Black);
    QCOMPARE(d.pixel(face.band[800].at + QPoint(1, 1)), Black);
    d.dial->KDrun(400);
    NeedleLine expected;
    QVERIFY(DialArc::forPanel({301, 123}).needle(400, 800, &expected));
    QCOMPARE(d.dial->previousNeedle(), expected);
}

void TestAnalogDial::oddScalesDoNotBreak()
{
    Dial d(u"4"_qs, {4000, 400, 40, 0});
    d.dial->KDsetup(1);
    d.dial->KDrun(0);
    QVERIFY(d.dial->image().isNull() == false);
    QCOMPARE(d.pixel({186, 27}), White);
    QCOMPARE(d.dial->previousNeedle(), NeedleLine {});

    d.setScale(u"4"_qs, {4000, 400, 40, 80});
    d.dial->KDsetup(1);
    for (const int p :
         {std::numeric_limits<int>::max(), std::numeric_limits<int>::min(), -1000, 5000, 400})
        d.dial->KDrun(p);
    QCOMPARE(d.dial->previousNeedle().tip, QPoint(186, 34));
}

void TestAnalogDial::paintShowsTheImage()
{
    Dial d;
    d.dial->KDsetup(1);
    d.dial->KDrun(300);
    const QImage shown = d.dial->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString diff = differences(shown, d.dial->image());
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

// With METERLINK_DIAL_SHOTS set to a folder, saves each scale's dial there for a look by eye.
namespace {

// Counts the paint events of a widget.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// What the window system was given for the dial's panel, down to the dial's own pixels.
QImage onScreen(Dial &d)
{
    return d.panel.screen()
        ->grabWindow(d.panel.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32)
        .copy(d.dial->geometry());
}

} // namespace

void TestAnalogDial::needlesAreTheStrokedLines()
{
    // The needle and its erasing line stroked on the image as the dial's design draws them: a
    // 2-pixel round-capped line, without antialiasing. Positions across every scale and beyond
    // its ends, each drawn again a little later, as a wavering reading does.
    for (const ScaleChoice &choice : Scales) {
        Dial d(QString::fromUtf16(choice.code), choice.scale);
        d.dial->KDsetup(1);
        QImage expected = d.dial->image().copy();
        const int n = choice.scale.dialSteps * 10;
        const int positions[] = {0, n / 3, n / 3 + 1, n / 3, -15, n + 30, n, n / 2, 1, n / 2, 0};
        for (const int position : positions) {
            const NeedleLine before = d.dial->previousNeedle();
            d.dial->KDrun(position);
            QPainter p(&expected);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(before.tip, before.base);
            const NeedleLine now = d.dial->previousNeedle();
            p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(now.tip, now.base);
            p.end();
            const QString diff = differences(d.dial->image(), expected);
            QVERIFY2(diff.isEmpty(),
                     qPrintable(QString::fromUtf16(choice.code) + u" at "_qs
                                + QString::number(position) + u": "_qs + diff));
        }
    }
}

void TestAnalogDial::screenFollowsTheFrames()
{
    // Frames as the display sequence runs them, with the event loop between them: the needle
    // moving, standing, the scale switching, the limits coming on, a needle that cannot be
    // placed (an empty scale) and a run of the needle alone.
    struct Frame
    {
        int scale; // index into Scales, -1 for a scale of no steps
        int position;
        bool limits = false;
        bool setup = true;
    };
    const Frame frames[] = {
        {0, 100}, {0, 2500},    {0, 2500},       {0, 3990}, {1, 10},   {1, 5999},
        {0, 5},   {0, 5, true}, {0, 3000, true}, {-1, 50},  {0, 1200}, {0, 1250, false, false},
        {4, 500}, {5, 500},     {0, 4000},       {0, 0},
    };
    Dial d;
    d.panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d.panel));
    int n = 0;
    for (const Frame &f : frames) {
        if (f.scale < 0)
            d.setScale(u"4"_qs, {0, 0, 0, 0});
        else
            d.setScale(QString::fromUtf16(Scales[f.scale].code), Scales[f.scale].scale);
        d.state.limits.upperLimitOn = f.limits;
        d.state.limits.UpperLimit = 200;
        // As the display sequence runs them: the needle at its rest, then at the reading.
        if (f.setup) {
            d.dial->KDsetup(1);
            d.dial->KDrun(0);
        }
        d.dial->KDrun(f.position);
        if (n % 2 == 0)
            d.dial->commit();
        // Once, as the benchmarks do: what a committed frame changed is painted in this pass;
        // without the commit the event loop shows it by the next.
        QApplication::processEvents();
        if (n % 2 != 0)
            QApplication::processEvents();
        const QString diff = differences(onScreen(d), d.dial->image());
        QVERIFY2(diff.isEmpty(), qPrintable(u"frame "_qs + QString::number(n) + u": "_qs + diff));
        ++n;
    }
}

void TestAnalogDial::steadyReadingPaintsNothing()
{
    Dial d;
    d.panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d.panel));
    d.dial->KDsetup(1);
    d.dial->KDrun(0);
    d.dial->KDrun(1234);
    d.dial->commit();
    QApplication::processEvents();
    PaintCounter panel;
    PaintCounter dial;
    d.panel.installEventFilter(&panel);
    d.dial->installEventFilter(&dial);
    for (int i = 0; i < 3; ++i) {
        d.dial->KDsetup(1);
        d.dial->KDrun(0);
        d.dial->KDrun(1234);
        d.dial->commit();
        QApplication::processEvents();
    }
    QCOMPARE(dial.paints, 0);
    QCOMPARE(panel.paints, 0);
}

void TestAnalogDial::shots()
{
    const QString dir = qEnvironmentVariable("METERLINK_DIAL_SHOTS");
    if (dir.isEmpty())
        QSKIP("METERLINK_DIAL_SHOTS is not set");
    QVERIFY(QDir().mkpath(dir));
    for (const ScaleChoice &s : Scales) {
        Dial d(QString::fromUtf16(s.code), s.scale);
        d.dial->KDsetup(1);
        d.dial->KDrun(s.scale.needleOffset);
        d.dial->KDrun(s.scale.dialSteps * 7);
        QVERIFY(d.dial->image().save(dir + u"/dial-"_qs + QString::fromUtf16(s.code) + u".png"_qs));
    }
    Dial limited;
    LimitState &l = limited.state.limits;
    l.upperLimitOn = l.lowerLimitOn = true;
    l.UpperLimit = 1000;
    l.LowerLimit = -1000;
    limited.dial->KDsetup(1);
    limited.dial->KDrun(400);
    limited.dial->KDrun(650);
    QVERIFY(limited.dial->image().save(dir + u"/dial-4-limits.png"_qs));
}

QTEST_MAIN(TestAnalogDial)
#include "tst_analogdial.moc"
