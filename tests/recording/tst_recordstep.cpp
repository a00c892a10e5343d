#include "meter/Reading.h"
#include "recording/RecordStep.h"

#include <QTest>

// The record rules and the recall clock without a window.
class TestRecordStep : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recallClockAdvances_data();
    void recallClockAdvances();
    void largeIntervalsMatchMinuteByMinuteCarrying();
    void keyJoinsTextsWithoutSeparators();
    void countdownReload_data();
    void countdownReload();
    void tickLowersOnlyWhileSampling();
};

namespace {

// The clock moved on one minute at a time, for comparison.
RecallClock carriedOneByOne(RecallClock c, qint32 interval)
{
    qint64 s = qint64(c.second) + interval;
    while (s > 59) {
        s -= 60;
        if (++c.minute > 59) {
            c.minute -= 60;
            if (++c.hour > 23)
                c.hour = 0;
        }
    }
    c.second = qint32(s);
    return c;
}

Reading reading(const QString &value, const QString &function, const QString &unit,
                const QString &autoText)
{
    Reading r;
    r.valueText = value;
    r.functionText = function;
    r.unitText = unit;
    r.autoText = autoText;
    return r;
}

} // namespace

void TestRecordStep::recallClockAdvances_data()
{
    QTest::addColumn<QTime>("start");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QList<QTime>>("stamps");
    QTest::newRow("over midnight")
        << QTime(23, 59, 58) << 5 << QList<QTime> {QTime(0, 0, 3), QTime(0, 0, 8), QTime(0, 0, 13)};
    QTest::newRow("an hour") << QTime(10, 0, 0) << 3600 << QList<QTime> {QTime(11, 0, 0)};
    QTest::newRow("one second") << QTime(0, 0, 0) << 1
                                << QList<QTime> {QTime(0, 0, 1), QTime(0, 0, 2)};
    QTest::newRow("zero stands still")
        << QTime(12, 34, 56) << 0 << QList<QTime> {QTime(12, 34, 56), QTime(12, 34, 56)};
    QTest::newRow("a day comes round") << QTime(8, 0, 0) << 86400 << QList<QTime> {QTime(8, 0, 0)};
}

void TestRecordStep::recallClockAdvances()
{
    QFETCH(QTime, start);
    QFETCH(int, interval);
    QFETCH(QList<QTime>, stamps);
    RecallClock clock {start.hour(), start.minute(), start.second()};
    for (const QTime &expected : stamps) {
        clock.advance(interval);
        QCOMPARE(clock.time(), expected);
    }
}

void TestRecordStep::largeIntervalsMatchMinuteByMinuteCarrying()
{
    // Including fields typed beyond their range, which the carrying wraps on the way.
    const RecallClock starts[] = {{0, 0, 0}, {23, 59, 59}, {7, 75, 30}, {30, 10, 0}, {5, 5, 99}};
    const qint32 intervals[] = {59, 60, 61, 3599, 3600, 86399, 86401, 1000003, 2147483647};
    for (const RecallClock &start : starts) {
        for (qint32 interval : intervals) {
            if (interval > 10000000 && start.hour != 0)
                continue; // the reference loop is slow; one start is enough for the largest
            RecallClock fast = start;
            fast.advance(interval);
            const RecallClock slow = carriedOneByOne(start, interval);
            QVERIFY2(fast.hour == slow.hour && fast.minute == slow.minute
                         && fast.second == slow.second,
                     qPrintable(u"%1:%2:%3 + %4"_qs.arg(start.hour)
                                    .arg(start.minute)
                                    .arg(start.second)
                                    .arg(interval)));
        }
    }
}

void TestRecordStep::keyJoinsTextsWithoutSeparators()
{
    RecordCounters c;
    qint32 countdown = 0;
    const RecordSwitches noRepeat {false, false, u"1"_qs};
    const QTime at(9, 0, 0);
    auto first = RecordStep::take(reading(u"1.2"_qs, u"DCV"_qs, u"V"_qs, u"Auto"_qs), noRepeat, c,
                                  countdown, at, u":"_qs);
    QVERIFY(first.row);
    QCOMPARE(first.row->time, u"09:00:00"_qs);
    QCOMPARE(countdown, 1); // reloaded although sampling is off
    // "1.2" + "DCV" equals "1.2D" + "CV": the same key, so no row.
    auto second = RecordStep::take(reading(u"1.2D"_qs, u"CV"_qs, u"V"_qs, u"Auto"_qs), noRepeat, c,
                                   countdown, at, u":"_qs);
    QVERIFY(!second.row);
    QCOMPARE(c.RecordNo, 2);
    QCOMPARE(c.RecordedCount, 1);
}

void TestRecordStep::countdownReload_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("countdown"); // -1: the conversion fails
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("minus") << u"-"_qs << 0;
    QTest::newRow("plus") << u"+"_qs << 0;
    QTest::newRow("number") << u"15"_qs << 15;
    QTest::newRow("too large") << u"2147483648"_qs << -1;
    QTest::newRow("blank") << u" 1"_qs << -1;
}

void TestRecordStep::countdownReload()
{
    QFETCH(QString, text);
    QFETCH(int, countdown);
    qint32 value = 77;
    const auto failure = RecordStep::reloadCountdown(text, value);
    QCOMPARE(bool(failure), countdown < 0);
    QCOMPARE(value, countdown < 0 ? 77 : countdown);
}

void TestRecordStep::tickLowersOnlyWhileSampling()
{
    qint32 countdown = 2;
    RecordStep::tick(false, countdown);
    QCOMPARE(countdown, 2);
    RecordStep::tick(true, countdown);
    RecordStep::tick(true, countdown);
    RecordStep::tick(true, countdown);
    QCOMPARE(countdown, 0);
    countdown = -3; // a negative interval is never counted up
    RecordStep::tick(true, countdown);
    QCOMPARE(countdown, -3);
}

QTEST_APPLESS_MAIN(TestRecordStep)
#include "tst_recordstep.moc"
