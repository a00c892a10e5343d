#include "meter/BarGraph.h"
#include "meter/LcdPanel.h"
#include "meter/MeterDisplay.h"
#include "support/TestWindow.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

// The per-frame sequence in the real window: what each frame leaves on the panel, the scale and
// the bar graph.
class TestMeterDisplay : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scaleAndBar_data();
    void scaleAndBar();
    void clockAndEcho();
    void invalidMarkersStillShowDigits();
    void failureLeavesWhatEarlierStepsSet_data();
    void failureLeavesWhatEarlierStepsSet();
    void panelIsRebuiltEveryFrame();
    void screenMatchesAWholeRepaint();
};

namespace {

struct Shown
{
    TestWindow t;
    FrameDecoder::Result show(const QString &frame) { return t.showFrame(frame); }
    QString digits() const
    {
        QString text;
        for (const char16_t *name : {u"LcdDa", u"LcdDb", u"LcdDc", u"LcdDd"})
            text += t.find<QLabel>(QString::fromUtf16(name))->text() + u'|';
        return text;
    }
    bool visible(const char16_t *name) const
    {
        return t.find<QWidget>(QString::fromUtf16(name))->isVisibleTo(t.window.get());
    }
};

} // namespace

void TestMeterDisplay::scaleAndBar_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("scaleCode");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<int>("bar");
    QTest::addColumn<float>("numericValue");

    const DialScale four {4000, 400, 40, 80};
    const DialScale thousand {1000, 1000, 100, 200};
    QTest::newRow("volts 1.234") << u"A00012340010D"_qs << u"4"_qs << four << 40 << 12 << 1234.f;
    QTest::newRow("0.005 lights one segment")
        << u"A00000050010D"_qs << u"4"_qs << four << 40 << 1 << 5.f;
    QTest::newRow("39.99") << u"A00139990010D"_qs << u"4"_qs << four << 40 << 39 << 3999.f;
    QTest::newRow("negative: the bar ignores the sign")
        << u"A00012340410D"_qs << u"4"_qs << four << 40 << 12 << -1234.f;
    QTest::newRow("overload fills the bar")
        << u"A00100000100D"_qs << u"4"_qs << four << 40 << 40 << 4001.f;
    QTest::newRow("negative overload fills it too")
        << u"A00100000500D"_qs << u"4"_qs << four << 40 << 40 << -4001.f;
    QTest::newRow("temperature 25")
        << u"A11000250000D"_qs << u"13"_qs << thousand << 10 << 1 << 25.f;
    QTest::newRow("temperature open")
        << u"A11000250001D"_qs << u"13"_qs << thousand << 10 << 0 << 0.f;
    QTest::newRow("capacitance overload: scale of 1000")
        << u"A22400000100D"_qs << u"10"_qs << thousand << 100 << 100 << 1001.f;
    QTest::newRow("capacitance microfarads")
        << u"A22302500000D"_qs << u"10"_qs << thousand << 100 << 2 << 250.f;
    QTest::newRow("fahrenheit overload")
        << u"A12000000100D"_qs << u"13"_qs << thousand << 10 << 100 << 1001.f;
    QTest::newRow("open volts") << u"A00000000001D"_qs << u"4"_qs << four << 40 << 0 << 0.f;
}

void TestMeterDisplay::scaleAndBar()
{
    QFETCH(QString, frame);
    QFETCH(QString, scaleCode);
    QFETCH(DialScale, scale);
    QFETCH(int, barMaximum);
    QFETCH(int, bar);
    QFETCH(float, numericValue);

    Shown s;
    // Start from another scale so that every value is really written by the frame.
    QVERIFY(!s.show(u"A22112340000D"_qs));
    QVERIFY(!s.show(frame));
    const RunState &state = s.t.window->state();
    QCOMPARE(state.scaleCode, scaleCode);
    QVERIFY(state.dialScale == scale);
    auto *pbar = s.t.find<BarGraph>(u"PBar2"_qs);
    QCOMPARE(pbar->maximum(), barMaximum);
    QCOMPARE(s.t.window->display().barPosition(), bar);
    QCOMPARE(pbar->value(), bar);
    QCOMPARE(state.reading.numericValue, numericValue);
}

void TestMeterDisplay::clockAndEcho()
{
    Shown s;
    QVERIFY(!s.visible(u"LCDsend"));
    QVERIFY(s.visible(u"conokn"));
    s.t.clock.current = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58));
    QVERIFY(!s.show(u"A00012340010D"_qs));
    QCOMPARE(s.t.find<QLabel>(u"d_t"_qs)->text(), u"23 : 59 : 58     12 - 31 - 2026"_qs);
    QCOMPARE(s.t.find<QLabel>(u"USBtxt"_qs)->text(), u"A00012340010D"_qs);
    QVERIFY(s.visible(u"LCDsend"));
    QVERIFY(s.visible(u"conok"));
    QVERIFY(!s.visible(u"conokn"));
    QVERIFY(!s.visible(u"d_t")); // the clock label stays out of sight
}

void TestMeterDisplay::invalidMarkersStillShowDigits()
{
    Shown s;
    QVERIFY(!s.show(u"A00012340010D"_qs));
    QVERIFY(s.visible(u"LcdV"));
    // Character 13 is not "D": no function, but digits, flags, bar and value are still decoded.
    QVERIFY(!s.show(u"A0001999041AE"_qs));
    QVERIFY(!s.visible(u"LcdV"));
    QVERIFY(!s.visible(u"LcdDc1"));
    QVERIFY(s.visible(u"LcdFH"));
    QCOMPARE(s.digits(), u"1|9|9|9|"_qs);
    const Reading &r = s.t.window->state().reading;
    QVERIFY(r.functionText.isEmpty());
    QVERIFY(r.unitText.isEmpty());
    QCOMPARE(r.valueText, u"1.234"_qs); // kept from the frame before
    QCOMPARE(r.numericValue, -1999.f);
    QCOMPARE(s.t.window->display().barPosition(), 19);
}

void TestMeterDisplay::failureLeavesWhatEarlierStepsSet_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("shown"); // the steps that show units and flags had run
    QTest::addColumn<QString>("digits");

    QTest::newRow("not hexadecimal: nothing happens to the panel")
        << u"A000123400G0D"_qs << u"'G' is not a valid integer value"_qs << true << u"1|2|3|4|"_qs;
    QTest::newRow("function code A: blanked panel with the previous digits")
        << u"AA0056780010D"_qs << u"'A' is not a valid integer value"_qs << false << u"1|2|3|4|"_qs;
    QTest::newRow("digits that are no number: panel rebuilt, bar untouched")
        << u"A00056B80010D"_qs << u"'56B8' is not a valid integer value"_qs << true
        << u"5|6|B|8|"_qs;
}

void TestMeterDisplay::failureLeavesWhatEarlierStepsSet()
{
    QFETCH(QString, frame);
    QFETCH(QString, message);
    QFETCH(bool, shown);
    QFETCH(QString, digits);

    Shown s;
    QVERIFY(!s.show(u"A00012340010D"_qs));
    const int bar = s.t.window->display().barPosition();
    const FrameDecoder::Result failure = s.show(frame);
    QVERIFY(failure);
    QCOMPARE(failure->message(), message);
    QCOMPARE(s.digits(), digits);
    QCOMPARE(s.visible(u"LcdAuto"), shown);
    QCOMPARE(s.visible(u"LcdV"), shown);
    QCOMPARE(s.visible(u"LcdP1"), shown);
    QCOMPARE(s.t.window->display().barPosition(), bar);
    QVERIFY(s.t.prompts.shown.isEmpty()); // reporting is the link's business
}

void TestMeterDisplay::panelIsRebuiltEveryFrame()
{
    Shown s;
    QVERIFY(!s.show(u"A20500120EE8D"_qs)); // 4 M ohms, every flag
    for (const char16_t *name : {u"LCDohm", u"LCDMM", u"LcdManu", u"LCDHold", u"LCDBATT", u"LcdFH",
                                 u"WEI", u"Labmax", u"Labmin", u"LcdP2"})
        QVERIFY2(s.visible(name), qPrintable(QString::fromUtf16(name)));
    QVERIFY(!s.show(u"A00012340000D"_qs)); // plain volts, 4 V range
    for (const char16_t *name : {u"LCDohm", u"LCDMM", u"LcdManu", u"LCDHold", u"LCDBATT", u"LcdFH",
                                 u"WEI", u"Labmax", u"Labmin", u"LcdP2", u"LcdAuto", u"LcdManu"})
        QVERIFY2(!s.visible(name), qPrintable(QString::fromUtf16(name)));
    QVERIFY(s.visible(u"LcdV"));
    QVERIFY(s.visible(u"LcdP1"));
    QCOMPARE(s.t.find<QLabel>(u"LcdDc1"_qs)->text(), u"DCV"_qs);
}

void TestMeterDisplay::screenMatchesAWholeRepaint()
{
    // Readings as a meter sends them, the event loop run once after each as when streaming:
    // what the window system was given, partial repaints and all, is what a repaint of the
    // whole window draws. Steady, moving and jumping values, other functions and ranges, signs,
    // overload and the bar's ends.
    const QStringList frames = {
        u"A00012340010D"_qs, u"A00012340010D"_qs, u"A00012350010D"_qs, u"A00039990010D"_qs,
        u"A00000010010D"_qs, u"A00100000100D"_qs, u"A01101230010D"_qs, u"A20300990010D"_qs,
        u"A11000250000D"_qs, u"A22112340000D"_qs, u"A40019990410D"_qs, u"A71104500000D"_qs,
        u"A80039990028D"_qs, u"A20100000100D"_qs, u"A11000000001D"_qs, u"A30005670010D"_qs,
        u"A61100120090D"_qs, u"A00020000010D"_qs, u"A00020010010D"_qs, u"A00000000010D"_qs,
    };
    Shown s;
    s.t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.t.window.get()));
    for (int round = 0; round < 3; ++round) {
        for (qsizetype i = 0; i < frames.size(); ++i) {
            s.t.clock.current = s.t.clock.current.addMSecs(250);
            s.show(frames[i]);
            QApplication::processEvents();
            const QImage screen = s.t.window->screen()
                                      ->grabWindow(s.t.window->winId())
                                      .toImage()
                                      .convertToFormat(QImage::Format_RGB32);
            const QImage whole = s.t.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(
                screen == whole,
                qPrintable(u"after "_qs + frames[i] + u" in round "_qs + QString::number(round)));
        }
    }
}

QTEST_MAIN(TestMeterDisplay)
#include "tst_meterdisplay.moc"
