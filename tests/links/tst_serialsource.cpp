#include "Pty.h"
#include "links/SerialSource.h"
#include "support/PortNames.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The serial byte source on a real pseudo-terminal: chunks in order, the reasons of a failed
// open, and the wait for a vanished device, bounded or not.
class TestSerialSource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chunksArriveInOrder();
    void noHandlerLeavesDataUnread();
    void openFailureReasons_data();
    void openFailureReasons();
    void vanishedDevice_data();
    void vanishedDevice();
};

void TestSerialSource::chunksArriveInOrder()
{
    Pty pty;
    PortNames names;
    names.setOverride(1, pty.slavePath());
    SerialSource source(names);
    source.setPortNumber(1);
    QByteArray received;
    int chunks = 0;
    source.setOnChunk([&](QByteArrayView bytes) {
        received += bytes.toByteArray();
        ++chunks;
    });
    QString reason;
    QVERIFY2(source.open(&reason), qPrintable(reason));
    QVERIFY(source.isOpen());
    QVERIFY(pty.write("\n00012340010\r"));
    QVERIFY(QTest::qWaitFor([&] { return received.size() == 13; }, 5000));
    QVERIFY(pty.write("\n00043210010\r"));
    QVERIFY(QTest::qWaitFor([&] { return received.size() == 26; }, 5000));
    QCOMPARE(received, QByteArray("\n00012340010\r\n00043210010\r"));
    QVERIFY(chunks >= 2);
    source.close();
    QVERIFY(!source.isOpen());
}

void TestSerialSource::noHandlerLeavesDataUnread()
{
    Pty pty;
    PortNames names;
    names.setOverride(1, pty.slavePath());
    SerialSource source(names);
    source.setPortNumber(1);
    QVERIFY(source.open(nullptr));
    QVERIFY(!source.driver().hasReceiveHandler());
}

void TestSerialSource::openFailureReasons_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("advice");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing device") << u"/dev/ttyMeterLinkMissing"_qs << QString()
                                    << u"the device does not exist (is the cable plugged in?)."_qs;
    QTest::newRow("no port, the driver's advice")
        << QString() << QString()
        << u"no serial port is present for this number. Plug in the cable, or name the device "
           "with --com N=PATH."_qs;
    QTest::newRow("no port, the caller's advice")
        << QString() << u"use --port."_qs << u"use --port."_qs;
    QTest::newRow("advice only for a missing port")
        << u"/dev/ttyMeterLinkMissing"_qs << u"use --port."_qs
        << u"the device does not exist (is the cable plugged in?)."_qs;
}

void TestSerialSource::openFailureReasons()
{
    QFETCH(QString, path);
    QFETCH(QString, advice);
    QFETCH(QString, reason);
    PortNames names([] { return QStringList(); });
    if (!path.isEmpty())
        names.setOverride(3, path);
    SerialSource source(names);
    source.setPortNumber(3);
    source.setNoDeviceAdvice(advice);
    QString said;
    QVERIFY(!source.open(&said));
    QCOMPARE(said, reason);
    QVERIFY(source.openFailureText().startsWith(u"COM 3"_qs));
    QVERIFY(!source.waitingForDevice());
}

void TestSerialSource::vanishedDevice_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("comesBack");
    QTest::newRow("waited for without end, back") << -1 << true;
    QTest::newRow("not waited for") << 0 << false;
    QTest::newRow("waited for a second, gone") << 1 << false;
}

void TestSerialSource::vanishedDevice()
{
    QFETCH(int, seconds);
    QFETCH(bool, comesBack);

    QTemporaryDir dir;
    const QString link = dir.filePath(u"meter"_qs);
    auto first = std::make_unique<Pty>();
    QVERIFY(QFile::link(first->slavePath(), link));
    PortNames names;
    names.setOverride(1, link);
    SerialSource source(names);
    source.setPortNumber(1);
    source.setReconnectSeconds(seconds);
    QSignalSpy lost(&source, &MeterSource::lost);
    QSignalSpy back(&source, &MeterSource::back);
    QSignalSpy gone(&source, &MeterSource::gone);
    QVERIFY(source.open(nullptr));

    first.reset(); // unplugged
    // Gone with its name: a new pseudo-terminal elsewhere may take over the old one's number.
    QVERIFY(QFile::remove(link));
    QVERIFY(lost.wait(5000));
    QVERIFY(!source.isOpen());
    const QString reason = lost.first().first().toString();
    QVERIFY2(reason.contains(u"hung up"_qs), qPrintable(reason));
    if (!comesBack) {
        QVERIFY(gone.count() == 1 || gone.wait(5000));
        QVERIFY(!source.waitingForDevice());
        QCOMPARE(back.count(), 0);
        return;
    }
    QVERIFY(source.waitingForDevice());
    Pty second; // plugged in again, under the same name
    QVERIFY(QFile::link(second.slavePath(), link));
    // Taken again by the once-a-second retry; a busy machine may need several.
    QVERIFY(back.wait(15000));
    QVERIFY(source.isOpen());
    QVERIFY(!source.waitingForDevice());
    QCOMPARE(gone.count(), 0);
    QCOMPARE(lost.count(), 1);
}

QTEST_MAIN(TestSerialSource)
#include "tst_serialsource.moc"
