#include "chart/ChartControl.h"
#include "chart/ChartSurface.h"
#include "meter/MeterDisplay.h"
#include "recording/ReadingRecorder.h"
#include "recording/SamplingClock.h"
#include "support/TestWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The sampling interval and the recall clock in the real window, fed through the display.
class TestSamplingClock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recallStampsRows();
    void recallCheckSetsTheStartEdits();
    void startTimeOutOfRangeIsRefused();
    void recallIntervalThatIsNoNumberEndsTheFrame();
    void uncheckedRecallStampsTheTimeOfDay();
    void samplingTickRunsEverySecondWhileChecked();
    void samplingSpacesRowsByTheInterval();
    void emptiedIntervalTakesEveryReading();
    void testCommandAppendsOutsideTheRules();
};

namespace {

const QString DcVolts = u"A00012340010D"_qs; // 1.234 V DC, auto range

struct Window
{
    TestWindow t;
    FrameDecoder::Result show(const QString &frame = DcVolts) { return t.showFrame(frame); }
    ReadingTable &table() { return t.window->recorder().table(); }
    QLineEdit *edit(const char *name) { return t.find<QLineEdit>(QString::fromLatin1(name)); }
    QCheckBox *box(const char *name) { return t.find<QCheckBox>(QString::fromLatin1(name)); }
    SamplingClock &sampling() { return t.window->samplingClock(); }

    // Ticks the recall box and types a start time and interval, as a user would.
    void startRecall(const char *h, const char *m, const char *s, const char *interval)
    {
        box("RecallCheck")->click();
        edit("TimeH")->setText(QString::fromLatin1(h));
        edit("TimeM")->setText(QString::fromLatin1(m));
        edit("TimeS")->setText(QString::fromLatin1(s));
        edit("TimeInt")->setText(QString::fromLatin1(interval));
        sampling().RecallCheckExit();
    }
};

} // namespace

void TestSamplingClock::recallStampsRows()
{
    Window w;
    w.startRecall("23", "59", "58", "5");
    for (int i = 0; i < 3; ++i)
        QVERIFY(!w.show());
    QCOMPARE(w.table().text(0, ReadingTable::Time), u"00:00:03"_qs);
    QCOMPARE(w.table().text(1, ReadingTable::Time), u"00:00:08"_qs);
    QCOMPARE(w.table().text(2, ReadingTable::Time), u"00:00:13"_qs);

    // The clock moves on for readings the record step refuses too.
    w.box("RepeatSet")->setChecked(false);
    QVERIFY(!w.show()); // a repeat: no row, but 00:00:18
    QVERIFY(!w.show(u"A00012350010D"_qs));
    QCOMPARE(w.table().rowCount(), 4);
    QCOMPARE(w.table().text(3, ReadingTable::Time), u"00:00:23"_qs);
}

void TestSamplingClock::recallCheckSetsTheStartEdits()
{
    Window w;
    w.box("RecallCheck")->click();
    QCOMPARE(w.edit("TimeH")->text() + w.edit("TimeM")->text() + w.edit("TimeS")->text(),
             u"000000"_qs);
    w.box("RecallCheck")->click();
    QCOMPARE(w.edit("TimeH")->text() + w.edit("TimeM")->text() + w.edit("TimeS")->text(),
             u"235959"_qs);
    const RecallClock &clock = w.t.window->state().recall;
    QCOMPARE(QTime(clock.hour, clock.minute, clock.second), QTime(23, 59, 59));
}

void TestSamplingClock::startTimeOutOfRangeIsRefused()
{
    Window w;
    w.startRecall("05", "06", "07", "1");
    QLineEdit *hour = w.edit("TimeH");
    hour->selectAll();
    QTest::keyClicks(hour, u"24"_qs); // "2" is a valid hour, "24" is not
    QCOMPARE(w.t.prompts.texts(u"information"_qs), QStringList {u"Input error!"_qs});
    QCOMPARE(hour->text(), u"00"_qs);
    QCOMPARE(w.t.window->state().recall.hour, 2); // the value of the last valid release

    QLineEdit *second = w.edit("TimeS");
    second->setText(u"60"_qs);
    QTest::keyClick(w.edit("TimeM"), Qt::Key_End); // any release checks all three
    QCOMPARE(w.t.prompts.texts(u"information"_qs).size(), 2);
    QCOMPARE(second->text(), u"00"_qs);
    QCOMPARE(w.t.window->state().recall.second, 7);
    QCOMPARE(w.t.window->state().recall.hour, 0); // "00" read back on this release
}

void TestSamplingClock::recallIntervalThatIsNoNumberEndsTheFrame()
{
    Window w;
    w.startRecall("10", "00", "00", "1");
    w.edit("TimeInt")->clear();
    const qsizetype points = w.t.window->chartControl().Chart().pointCount(0);
    const FrameDecoder::Result failure = w.show();
    QVERIFY(failure);
    QCOMPARE(failure->message(), u"'' is not a valid integer value"_qs);
    QCOMPARE(w.table().rowCount(), 0);
    QCOMPARE(w.t.window->chartControl().Chart().pointCount(0), points);
}

void TestSamplingClock::uncheckedRecallStampsTheTimeOfDay()
{
    Window w;
    w.t.clock.current = QDateTime(QDate(2026, 5, 4), QTime(14, 15, 16));
    QVERIFY(!w.show());
    QCOMPARE(w.table().text(0, ReadingTable::Time), u"14:15:16"_qs);
}

void TestSamplingClock::samplingTickRunsEverySecondWhileChecked()
{
    Window w;
    auto *tick = w.t.find<QTimer>(u"Trecord"_qs);
    QVERIFY(!tick->isActive());
    w.box("RecordSI")->click();
    QVERIFY(tick->isActive());
    QCOMPARE(tick->interval(), 1000);
    w.box("RecordSI")->click();
    QVERIFY(!tick->isActive());
}

void TestSamplingClock::samplingSpacesRowsByTheInterval()
{
    Window w;
    w.edit("RecordSITime")->setText(u"3"_qs); // the change reloads the countdown: 3
    w.box("RecordSI")->click();
    QCOMPARE(w.t.window->state().SampleCountdown, 3);
    for (int second = 0; second < 3; ++second) {
        QVERIFY(!w.show());
        w.sampling().TrecordTimer();
    }
    QCOMPARE(w.table().rowCount(), 0);
    QVERIFY(!w.show()); // run down: taken, and reloaded to 3
    QCOMPARE(w.t.window->state().SampleCountdown, 3);
    for (int second = 0; second < 3; ++second) {
        QVERIFY(!w.show());
        QCOMPARE(w.table().rowCount(), 1);
        w.sampling().TrecordTimer();
    }
    QVERIFY(!w.show());
    QCOMPARE(w.table().rowCount(), 2);
    QCOMPARE(w.table().integer(1, ReadingTable::No), std::optional<qint32>(2));

    // Unchecked, the tick leaves the countdown alone and every reading is taken.
    w.box("RecordSI")->click();
    w.sampling().TrecordTimer();
    QCOMPARE(w.t.window->state().SampleCountdown, 3);
    QVERIFY(!w.show());
    QCOMPARE(w.table().rowCount(), 3);
    QVERIFY(w.t.prompts.shown.isEmpty());
}

void TestSamplingClock::emptiedIntervalTakesEveryReading()
{
    Window w;
    w.box("RecordSI")->click();
    QVERIFY(!w.show());
    QCOMPARE(w.t.window->state().SampleCountdown, 1);
    w.edit("RecordSITime")->clear(); // the change handler reloads at once
    QCOMPARE(w.t.window->state().SampleCountdown, 0);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!w.show());
    QCOMPARE(w.table().rowCount(), 4);
}

void TestSamplingClock::testCommandAppendsOutsideTheRules()
{
    Window w;
    QVERIFY(!w.show());
    RunState &s = w.t.window->state();
    const QString key = s.counters.LastRecordKey;
    w.box("RecallCheck")->click(); // 00:00:00, interval 1
    w.t.find<QPushButton>(u"RecallDataTest"_qs)->click();
    QCOMPARE(w.table().rowCount(), 2);
    const ReadingTable::Row row = w.table().row(1);
    QCOMPARE(row.no, std::optional<qint32>(2));
    QCOMPARE(row.time, u"00:00:01"_qs);
    QCOMPARE(row.value, u"1.234"_qs);
    QCOMPARE(row.unit, u"V"_qs);
    QVERIFY(row.range.isEmpty());
    QCOMPARE(s.counters.RecordNo, 3);
    QCOMPARE(s.counters.RecordedCount, 1);
    QCOMPARE(s.counters.LastRecordKey, key);
}

QTEST_MAIN(TestSamplingClock)
#include "tst_samplingclock.moc"
