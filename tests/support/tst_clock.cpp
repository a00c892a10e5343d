// The clock's local time equals the system's conversion, across a change of the zone's offset.

#include "support/Clock.h"

#include <QTest>
#include <QTimeZone>

class TestClock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void localTimeAsTheSystemGivesIt();
    void followsTheOffsetAcrossAChange_data();
    void followsTheOffsetAcrossAChange();

private:
    QByteArray m_tz;
};

namespace {

// A clock at a time the test sets.
class SetClock : public Clock
{
public:
    qint64 ms = 0;

protected:
    qint64 epochMSecs() const override { return ms; }
};

void setZone(const QByteArray &zone)
{
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
    tzset();
}

} // namespace

void TestClock::initTestCase()
{
    m_tz = qgetenv("TZ");
    if (!qEnvironmentVariableIsSet("TZ"))
        m_tz = QByteArray();
}

void TestClock::cleanupTestCase()
{
    setZone(m_tz);
}

void TestClock::localTimeAsTheSystemGivesIt()
{
    setZone("Europe/Helsinki");
    Clock clock;
    for (int i = 0; i < 3; ++i) {
        const QDateTime before = QDateTime::currentDateTime();
        const QDateTime now = clock.now();
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY(now.toMSecsSinceEpoch() >= before.toMSecsSinceEpoch());
        QVERIFY(now.toMSecsSinceEpoch() <= after.toMSecsSinceEpoch());
        QCOMPARE(now.offsetFromUtc(), before.offsetFromUtc());
        QCOMPARE(now.date(), before.date());
    }
}

void TestClock::followsTheOffsetAcrossAChange_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("change"); // the instant the offset changes, in UTC
    QTest::newRow("summer time begins")
        << QByteArray("Europe/Helsinki") << QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC);
    QTest::newRow("summer time ends")
        << QByteArray("Europe/Helsinki") << QDateTime(QDate(2026, 10, 25), QTime(1, 0), Qt::UTC);
    QTest::newRow("half-hour zone")
        << QByteArray("Australia/Adelaide") << QDateTime(QDate(2026, 4, 4), QTime(16, 30), Qt::UTC);
    QTest::newRow("a zone with no change")
        << QByteArray("UTC") << QDateTime(QDate(2026, 4, 4), QTime(16, 30), Qt::UTC);
}

void TestClock::followsTheOffsetAcrossAChange()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, change);
    setZone(zone);
    if (zone != "UTC" && !QTimeZone(zone).isValid())
        QSKIP("the time zone database lacks this zone");
    SetClock clock;
    // Steps through the minute before the change and past it, as a reading stream would.
    const qint64 at = change.toMSecsSinceEpoch();
    for (qint64 ms = at - 61'000; ms <= at + 61'000; ms += 250) {
        clock.ms = ms;
        const QDateTime now = clock.now();
        const QDateTime system = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
        QCOMPARE(now.time(), system.time());
        QCOMPARE(now.date(), system.date());
        QCOMPARE(now.toMSecsSinceEpoch(), ms);
    }
}

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
