#include "chart/AlarmLimits.h"
#include "chart/AnalogDial.h"
#include "meter/MeterDisplay.h"
#include "support/TestWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

// Alarm limits and the min/max tracker in the real window, driven by decoded frames.
class TestAlarmLimits : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void upperLimitIsStrict();
    void lowerLimitIsStrict();
    void signOrNothingIsZero_data();
    void signOrNothingIsZero();
    void switchesOffNeverAlarm();
    void badLimitTextKeepsTheLimit();
    void keyFilter();
    void trackerRestartsPerUnit();
    void unitChange();
    void bandShowsTheLimitsInRed();
};

namespace {

// A 4 V-range DC reading of the given count (0..3999, sign from the status digit).
QString volts(int count)
{
    const QString digits = QString::number(qAbs(count)).rightJustified(4, u'0');
    return u"A000"_qs + digits + (count < 0 ? u"0410D"_qs : u"0010D"_qs);
}

struct Window
{
    TestWindow t;
    Window()
    {
        t.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    }
    void show(const QString &frame) { QVERIFY(!t.showFrame(frame)); }
    bool alarmShown() const { return t.find<QWidget>(u"oltext"_qs)->isVisible(); }
    QString text(const char16_t *name) const
    {
        return t.find<QLabel>(QString::fromUtf16(name))->text();
    }
};

} // namespace

void TestAlarmLimits::upperLimitIsStrict()
{
    Window w;
    w.t.find<QLineEdit>(u"Setmax"_qs)->setText(u"1000"_qs);
    w.t.find<QCheckBox>(u"SetMaxB"_qs)->click();
    w.show(volts(1000));
    QVERIFY(!w.alarmShown());
    QCOMPARE(w.t.beeper.beeps, 0);
    w.show(volts(1001));
    QVERIFY(w.alarmShown());
    QCOMPARE(w.t.beeper.beeps, 1);
    w.show(volts(1500)); // every reading beyond the limit beeps again
    QCOMPARE(w.t.beeper.beeps, 2);
    w.show(volts(999));
    QVERIFY(!w.alarmShown());
    QCOMPARE(w.t.beeper.beeps, 2);
}

void TestAlarmLimits::lowerLimitIsStrict()
{
    Window w;
    w.t.find<QLineEdit>(u"SetMin"_qs)->setText(u"-500"_qs);
    w.t.find<QCheckBox>(u"SetMinB"_qs)->click();
    w.show(volts(-500));
    QVERIFY(!w.alarmShown());
    w.show(volts(-501));
    QVERIFY(w.alarmShown());
    QCOMPARE(w.t.beeper.beeps, 1);
}

void TestAlarmLimits::signOrNothingIsZero_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("plus") << u"+"_qs;
    QTest::newRow("minus") << u"-"_qs;
}

void TestAlarmLimits::signOrNothingIsZero()
{
    QFETCH(QString, text);
    Window w;
    w.t.find<QCheckBox>(u"SetMaxB"_qs)->click();
    w.t.find<QLineEdit>(u"Setmax"_qs)->setText(text);
    QCOMPARE(w.t.window->state().limits.UpperLimit, 0.0f);
    w.show(volts(0));
    QVERIFY(!w.alarmShown());
    w.show(volts(1));
    QVERIFY(w.alarmShown());
    QVERIFY(w.t.prompts.shown.isEmpty());
}

void TestAlarmLimits::switchesOffNeverAlarm()
{
    Window w;
    w.t.find<QLineEdit>(u"Setmax"_qs)->setText(u"10"_qs);
    w.t.find<QLineEdit>(u"SetMin"_qs)->setText(u"-10"_qs);
    for (int count : {3999, -3999, 0, 11, -11})
        w.show(volts(count));
    w.show(u"A00100000100D"_qs); // overload
    QVERIFY(!w.alarmShown());
    QCOMPARE(w.t.beeper.beeps, 0);
}

void TestAlarmLimits::badLimitTextKeepsTheLimit()
{
    Window w;
    auto *edit = w.t.find<QLineEdit>(u"Setmax"_qs);
    edit->setText(u"1200"_qs);
    QTest::keyClicks(edit, u"4-0"_qs); // the filter lets signs through anywhere
    QCOMPARE(edit->text(), u"12004-0"_qs);
    QTRY_COMPARE(w.t.prompts.texts(u"applicationError"_qs),
                 QStringList {u"'12004-' is not a valid integer value"_qs});
    QCOMPARE(w.t.window->state().limits.UpperLimit, 12004.0f); // the last text that converted
}

void TestAlarmLimits::keyFilter()
{
    Window w;
    auto *edit = w.t.find<QLineEdit>(u"SetMin"_qs);
    edit->clear();
    QTest::keyClicks(edit, u"-a1.2 x+"_qs);
    QCOMPARE(edit->text(), u"-12+"_qs);
    QVERIFY(w.t.prompts.texts(u"warningCancel"_qs).isEmpty()); // dropped without a word
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), u"-12"_qs);
}

void TestAlarmLimits::trackerRestartsPerUnit()
{
    Window w;
    w.show(volts(2000));
    // The first reading restarts the tracker: no texts yet, but the unit.
    QCOMPARE(w.text(u"MaxText"), QString());
    QCOMPARE(w.text(u"MinText"), QString());
    QCOMPARE(w.text(u"MaxTextU"), u"V"_qs);
    QCOMPARE(w.text(u"MinTextU"), u"V"_qs);

    // In a new unit, readings 20, 12, 15, 9: the first only restarts.
    for (const char16_t *frame :
         {u"A11000200000D", u"A11000120000D", u"A11000150000D", u"A11000090000D"})
        w.show(QString::fromUtf16(frame));
    QCOMPARE(w.text(u"MaxText"), u"0015"_qs);
    QCOMPARE(w.text(u"MinText"), u"0009"_qs);
    QCOMPARE(w.text(u"MaxTextU"), u"#"_qs);
}

void TestAlarmLimits::unitChange()
{
    Window w;
    w.show(volts(1000));
    w.show(volts(1500));
    w.show(volts(500));
    QCOMPARE(w.text(u"MaxText"), u"1.500"_qs);
    QCOMPARE(w.text(u"MinText"), u"0.500"_qs);
    w.show(u"A20000500010D"_qs); // ohms: the unit labels change at once, the values lag
    QCOMPARE(w.text(u"MaxTextU"), u"*"_qs);
    QCOMPARE(w.text(u"MaxText"), u"1.500"_qs);
    w.show(u"A20000600010D"_qs);
    QCOMPARE(w.text(u"MaxText"), u"006.0"_qs);
    QCOMPARE(w.text(u"MinText"), u"006.0"_qs);
}

void TestAlarmLimits::bandShowsTheLimitsInRed()
{
    Window w;
    const auto redPixels = [&] {
        const QImage &image = w.t.find<AnalogDial>(u"KD1"_qs)->image();
        int red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == qRgb(255, 0, 0))
                    ++red;
        return red;
    };
    const int majorDots = redPixels(); // the scale's major dots are red too
    w.t.find<QLineEdit>(u"Setmax"_qs)->setText(u"1000"_qs);
    w.t.find<QCheckBox>(u"SetMaxB"_qs)->click(); // the band is redrawn at once
    const int upperOnly = redPixels();
    QVERIFY(upperOnly > majorDots);
    w.t.find<QLineEdit>(u"SetMin"_qs)->setText(u"-1000"_qs);
    w.t.find<QCheckBox>(u"SetMinB"_qs)->click();
    QVERIFY(redPixels() > upperOnly);
    w.t.find<QCheckBox>(u"SetMaxB"_qs)->click();
    w.t.find<QCheckBox>(u"SetMinB"_qs)->click();
    QCOMPARE(redPixels(), majorDots);
}

QTEST_MAIN(TestAlarmLimits)
#include "tst_alarmlimits.moc"
