#include "Pty.h"
#include "links/SerialPortDriver.h"
#include "support/PortNames.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>
#include <unistd.h>

// The driver against a real pseudo-terminal: the test writes what a meter would send.
class TestSerialPortDriver : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void opensPtyWithTheMeterSettings();
    void secondOpenChangesNothing();
    void onePollPassesAtMostTheBufferSize();
    void emptyPollCallsNobody();
    void portChangeWhileOpenIsDropped();
    void settingChangeWhileOpenPurges();
    void pollingDelay();
    void openFailures_data();
    void openFailures();
    void busyPortIsNamedAsBusy();
    void vanishedDeviceClosesOnce();
    void emptyReadKeepsThePortOpen();
    void streamArrivesWholeAcrossPauses();
    void fewReadingsASecondAreReadOnTheTicks();
    void hangUpInTheStreamClosesOnce();
    void bytesTakenInBeforeAHangUpArePassedOn();

private:
    struct Chunk
    {
        QByteArray bytes;
    };
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<PortNames> m_names;
    std::unique_ptr<SerialPortDriver> m_driver;
    QList<QByteArray> m_chunks;

    bool waitForBytes(qsizetype total, int timeoutMs = 5000);
    qsizetype received() const;
};

void TestSerialPortDriver::init()
{
    m_pty = std::make_unique<Pty>();
    QVERIFY(m_pty->isOpen());
    m_names = std::make_unique<PortNames>();
    m_names->setOverride(1, m_pty->slavePath());
    m_driver = std::make_unique<SerialPortDriver>(*m_names);
    m_driver->setPort(SerialPortDriver::PortCOM1);
    m_driver->setDataBits(SerialPortDriver::Data7);
    m_chunks.clear();
    m_driver->setOnReceiveData([this](SerialPortDriver *sender, const char *data, int size) {
        QCOMPARE(sender, m_driver.get());
        QVERIFY(size >= 1);
        QCOMPARE(data, sender->receiveBuffer()); // the driver's own buffer, reused
        m_chunks << QByteArray(data, size);
    });
}

void TestSerialPortDriver::cleanup()
{
    m_driver.reset();
    m_pty.reset();
}

qsizetype TestSerialPortDriver::received() const
{
    qsizetype n = 0;
    for (const QByteArray &c : m_chunks)
        n += c.size();
    return n;
}

bool TestSerialPortDriver::waitForBytes(qsizetype total, int timeoutMs)
{
    return QTest::qWaitFor([&] { return received() >= total; }, timeoutMs);
}

void TestSerialPortDriver::opensPtyWithTheMeterSettings()
{
    // A pseudo-terminal refuses DTR and keeps 8 data bits; neither makes the open fail.
    QVERIFY(m_driver->OpenPort());
    QVERIFY(m_driver->IsOpen());
    QCOMPARE(m_driver->portName(), u"COM1"_qs);
    QCOMPARE(m_driver->lastOpenFailure(), SerialPortDriver::OpenFailure::None);
    QVERIFY(m_pty->write("\n00012340010\r"));
    QVERIFY(waitForBytes(13));
    QCOMPARE(m_chunks.join(), QByteArray("\n00012340010\r"));
    m_driver->ClosePort();
    QVERIFY(!m_driver->IsOpen());
    m_driver->ClosePort(); // closing a closed port does nothing
    QVERIFY(m_driver->OpenPort()); // and it opens again
}

void TestSerialPortDriver::secondOpenChangesNothing()
{
    m_driver->setPollingDelay(60000);
    QVERIFY(m_driver->OpenPort());
    QVERIFY(m_pty->write("waiting"));
    QTest::qWait(150);
    // Reapplying the settings would purge what waits in the queue.
    QVERIFY(m_driver->OpenPort());
    m_driver->Poll();
    QCOMPARE(m_chunks.join(), QByteArray("waiting"));
}

void TestSerialPortDriver::onePollPassesAtMostTheBufferSize()
{
    m_driver->setPollingDelay(60000);
    QVERIFY(m_driver->OpenPort());
    QByteArray burst;
    for (int i = 0; i < 3000; ++i)
        burst += char('0' + i % 10);
    QVERIFY(m_pty->write(burst));
    QTest::qWait(300);
    m_driver->Poll();
    QCOMPARE(m_chunks.size(), 1);
    QCOMPARE(m_chunks[0].size(), 2048);
    QTest::qWait(300);
    m_driver->Poll();
    QCOMPARE(m_chunks.size(), 2);
    QCOMPARE(m_chunks.join(), burst); // the rest waited for the next tick, nothing lost
}

void TestSerialPortDriver::emptyPollCallsNobody()
{
    m_driver->setPollingDelay(60000);
    QVERIFY(m_driver->OpenPort());
    const int before = m_driver->pollCount();
    m_driver->Poll();
    m_driver->Poll();
    QCOMPARE(m_driver->pollCount(), before + 2);
    QVERIFY(m_chunks.isEmpty());
    // A closed driver's tick does nothing at all.
    m_driver->ClosePort();
    m_driver->Poll();
    QCOMPARE(m_driver->pollCount(), before + 2);
}

void TestSerialPortDriver::portChangeWhileOpenIsDropped()
{
    QVERIFY(m_driver->OpenPort());
    m_driver->setPort(SerialPortDriver::PortCOM3);
    QCOMPARE(m_driver->Port(), SerialPortDriver::PortCOM1);
    m_driver->ClosePort();
    QCOMPARE(m_driver->Port(), SerialPortDriver::PortCOM1); // dropped, not deferred
    m_driver->setPort(SerialPortDriver::PortCOM3);
    QCOMPARE(m_driver->Port(), SerialPortDriver::PortCOM3);
    QCOMPARE(m_driver->portName(), u"COM3"_qs);
}

void TestSerialPortDriver::settingChangeWhileOpenPurges()
{
    m_driver->setPollingDelay(60000);
    QVERIFY(m_driver->OpenPort());
    QVERIFY(m_pty->write("stale"));
    QTest::qWait(150);
    m_driver->setBaudRate(SerialPortDriver::Baud19200);
    QCOMPARE(m_driver->BaudRate(), SerialPortDriver::Baud19200);
    m_driver->Poll();
    QVERIFY(m_chunks.isEmpty());
    QVERIFY(m_pty->write("fresh"));
    QTest::qWait(150);
    m_driver->Poll();
    QCOMPARE(m_chunks.join(), QByteArray("fresh"));
}

void TestSerialPortDriver::pollingDelay()
{
    m_driver->setPollingDelay(20);
    QCOMPARE(m_driver->PollingDelay(), quint16(20));
    QVERIFY(m_driver->OpenPort());
    QVERIFY(QTest::qWaitFor([&] { return m_driver->pollCount() >= 5; }, 5000));
    m_driver->ClosePort();
    const int stopped = m_driver->pollCount();
    QTest::qWait(100);
    QCOMPARE(m_driver->pollCount(), stopped); // no poll while closed
    QCOMPARE(SerialPortDriver::baudRateValue(SerialPortDriver::Baud56000), 56000);
    QCOMPARE(SerialPortDriver::baudRateValue(SerialPortDriver::Baud110), 110);
    m_driver->setInBufferSize(64);
    QCOMPARE(m_driver->InBufferSize(), quint16(64));
}

void TestSerialPortDriver::openFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<SerialPortDriver::OpenFailure>("failure");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("missing device")
        << u"/dev/ttyMeterLinkMissing"_qs << SerialPortDriver::OpenFailure::NotFound
        << u"/dev/ttyMeterLinkMissing"_qs;
    QTest::newRow("no port for the number")
        << QString() << SerialPortDriver::OpenFailure::NoDevice << u"--com"_qs;
}

void TestSerialPortDriver::openFailures()
{
    QFETCH(QString, path);
    QFETCH(SerialPortDriver::OpenFailure, failure);
    QFETCH(QString, mentions);
    PortNames names([] { return QStringList(); });
    if (!path.isEmpty())
        names.setOverride(2, path);
    SerialPortDriver driver(names);
    QVERIFY(!driver.OpenPort());
    QVERIFY(!driver.IsOpen());
    QCOMPARE(driver.lastOpenFailure(), failure);
    QVERIFY2(driver.lastOpenFailureText().contains(mentions),
             qPrintable(driver.lastOpenFailureText()));
    QVERIFY(driver.lastOpenFailureText().startsWith(u"COM 2"_qs));
    driver.Poll();
    QCOMPARE(driver.pollCount(), 0);
}

void TestSerialPortDriver::busyPortIsNamedAsBusy()
{
    QSerialPort other(m_pty->slavePath());
    QVERIFY(other.open(QIODevice::ReadWrite));
    QVERIFY(!m_driver->OpenPort());
    QCOMPARE(m_driver->lastOpenFailure(), SerialPortDriver::OpenFailure::Busy);
    QVERIFY(m_driver->lastOpenFailureText().contains(m_pty->slavePath()));
    other.close();
    QVERIFY(m_driver->OpenPort()); // a later open tries again
}

void TestSerialPortDriver::vanishedDeviceClosesOnce()
{
    QSignalSpy lost(m_driver.get(), &SerialPortDriver::deviceLost);
    QVERIFY(m_driver->OpenPort());
    QVERIFY(m_pty->write("\n00012340010\r"));
    QVERIFY(waitForBytes(13));
    m_pty->closeMaster();
    QVERIFY(lost.wait(3000));
    QVERIFY(!m_driver->IsOpen());
    // The reason is the hang-up itself, not an errno some earlier call left behind.
    const QString reason = lost.first().first().toString();
    QVERIFY2(reason.contains(u"hung up"_qs), qPrintable(reason));
    const int polls = m_driver->pollCount();
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1); // no storm of errors
    QCOMPARE(m_driver->pollCount(), polls); // and no more polling
}

void TestSerialPortDriver::emptyReadKeepsThePortOpen()
{
    // A second reader of the same line, told of input before the port is, takes the bytes first:
    // the port is woken and its read finds nothing, as a busy line does now and then.
    QVERIFY(m_pty->openSlave());
    QSocketNotifier thief(m_pty->slaveFd(), QSocketNotifier::Read);
    connect(&thief, &QSocketNotifier::activated, this, [this] {
        char sink[256];
        while (::read(m_pty->slaveFd(), sink, sizeof sink) > 0) { }
    });
    QSignalSpy lost(m_driver.get(), &SerialPortDriver::deviceLost);
    QVERIFY(m_driver->OpenPort());
    for (int i = 0; i < 20 && m_driver->IsOpen() && m_driver->emptyReadCount() < 3; ++i) {
        QVERIFY(m_pty->write("\n00012340010\r"));
        QTest::qWait(20);
    }
    QVERIFY2(lost.isEmpty(), qPrintable(lost.value(0).value(0).toString()));
    QVERIFY(m_driver->IsOpen());
    QVERIFY(m_driver->emptyReadCount() >= 3);

    // The line goes on: the next frame reaches the port.
    thief.setEnabled(false);
    m_chunks.clear();
    QVERIFY(m_pty->write("\n00012340010\r"));
    QVERIFY(waitForBytes(13));
    QCOMPARE(m_chunks.join(), QByteArray("\n00012340010\r"));
    QCOMPARE(lost.count(), 0);
}

void TestSerialPortDriver::streamArrivesWholeAcrossPauses()
{
    // Frames faster than the ticks, then a pause of several ticks, three times over, then a burst
    // larger than one tick passes: the ticks read the device themselves while the line streams
    // and the port watches the line in the pauses. Nothing is lost, doubled or reordered where the
    // reading changes hands.
    QSignalSpy lost(m_driver.get(), &SerialPortDriver::deviceLost);
    QVERIFY(m_driver->OpenPort());
    QByteArray sent;
    int frames = 0;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 25; ++i, ++frames) {
            const QByteArray frame
                = "\n0001" + QByteArray::number(1000 + frames).right(4) + "0010\r";
            QVERIFY(m_pty->write(frame));
            sent += frame;
            QTest::qWait(8);
        }
        QVERIFY(waitForBytes(sent.size()));
        QTest::qWait(160);
    }
    QByteArray burst;
    for (int i = 0; i < 3000; ++i)
        burst += char('a' + i % 26);
    QVERIFY(m_pty->write(burst));
    sent += burst;
    QVERIFY(waitForBytes(sent.size()));
    QTest::qWait(120);
    QCOMPARE(m_chunks.join(), sent);
    QVERIFY2(lost.isEmpty(), qPrintable(lost.value(0).value(0).toString()));
    QVERIFY(m_driver->IsOpen());
    QCOMPARE(m_driver->emptyReadCount(), 0);
}

void TestSerialPortDriver::fewReadingsASecondAreReadOnTheTicks()
{
    // A reading every five ticks, as a meter sending a few a second: once two have come, the
    // ticks read the device and the port no longer wakes for each reading's bytes. A quiet tick
    // is not a failed read. After a pause longer than a second the port watches the line again,
    // and a hang-up is still told once.
    m_driver->setPollingDelay(20);
    QSignalSpy lost(m_driver.get(), &SerialPortDriver::deviceLost);
    QVERIFY(m_driver->OpenPort());
    const QByteArray frame("\n00012340010\r");
    int wakesAfterTwo = -1;
    for (int i = 0; i < 10; ++i) {
        QVERIFY(m_pty->write(frame));
        QVERIFY(waitForBytes((i + 1) * frame.size()));
        if (i == 1)
            wakesAfterTwo = m_driver->watchWakeCount();
        QTest::qWait(100);
    }
    QCOMPARE(m_chunks.join(), frame.repeated(10));
    QCOMPARE(m_driver->watchWakeCount(), wakesAfterTwo);
    QCOMPARE(m_driver->emptyReadCount(), 0);

    QTest::qWait(1300);
    QVERIFY(m_pty->write(frame));
    QVERIFY(waitForBytes(11 * frame.size()));
    QCOMPARE(m_driver->watchWakeCount(), wakesAfterTwo + 1);

    QVERIFY(m_pty->write(frame));
    QVERIFY(waitForBytes(12 * frame.size()));
    QTest::qWait(100);
    m_pty->closeMaster();
    QVERIFY(lost.wait(3000));
    QVERIFY2(lost.first().first().toString().contains(u"hung up"_qs),
             qPrintable(lost.first().first().toString()));
    QTest::qWait(200);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(m_chunks.join(), frame.repeated(12));
}

void TestSerialPortDriver::hangUpInTheStreamClosesOnce()
{
    // The other end closes while frames come faster than the ticks: one loss, named as the
    // hang-up, and no more polling.
    QSignalSpy lost(m_driver.get(), &SerialPortDriver::deviceLost);
    QVERIFY(m_driver->OpenPort());
    for (int i = 0; i < 40; ++i) {
        QVERIFY(m_pty->write("\n00012340010\r"));
        QTest::qWait(8);
    }
    m_pty->closeMaster();
    QVERIFY(lost.wait(3000));
    QVERIFY(!m_driver->IsOpen());
    const QString reason = lost.first().first().toString();
    QVERIFY2(reason.contains(u"hung up"_qs), qPrintable(reason));
    // What came is what was sent, in order, up to the hang-up (the device's own queue goes
    // with it).
    QVERIFY(QByteArray("\n00012340010\r").repeated(40).startsWith(m_chunks.join()));
    const int polls = m_driver->pollCount();
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(m_driver->pollCount(), polls);
}

void TestSerialPortDriver::bytesTakenInBeforeAHangUpArePassedOn()
{
    // The port has taken a frame in, and the line hangs up before the next tick: the frame still
    // reaches the handler, before the loss is told.
    m_driver->setPollingDelay(60000);
    QSignalSpy lost(m_driver.get(), &SerialPortDriver::deviceLost);
    qsizetype receivedWhenLost = -1;
    connect(m_driver.get(), &SerialPortDriver::deviceLost, this,
            [&] { receivedWhenLost = received(); });
    QVERIFY(m_driver->OpenPort());
    QVERIFY(m_pty->write("\n00012340010\r"));
    QTest::qWait(150);
    QVERIFY(m_chunks.isEmpty()); // no tick yet
    m_pty->closeMaster();
    QVERIFY(lost.wait(3000));
    QCOMPARE(m_chunks.join(), QByteArray("\n00012340010\r"));
    QCOMPARE(receivedWhenLost, qsizetype(13));
    QVERIFY(!m_driver->IsOpen());
    QTest::qWait(100);
    QCOMPARE(lost.count(), 1);
}

QTEST_MAIN(TestSerialPortDriver)
#include "tst_serialportdriver.moc"
