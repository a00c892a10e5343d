#include "links/bridge/BridgeLibrary.h"
#include "links/bridge/BridgePoll.h"
#include "support/BridgeReference.h"
#include "support/FakeSi.h"

#include <QRandomGenerator>
#include <QTest>
#include <thread>

Q_DECLARE_METATYPE(Reads)

using namespace BridgeReference;

// The poll's worker through the real loader and the stand-in library: the calls the library
// sees, in order, and the frames handed on.
class TestBridgePoll : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_fake.load(); }
    void init() { m_fake.use(); }
    void cleanup() { qunsetenv(BridgeLibrary::EnvironmentVariable); }
    void readSequences_data();
    void readSequences();
    void openOutcomes_data();
    void openOutcomes();
    void carriesOnAcrossStopAndStart();
    void shutDownWhileAReadIsBlocked();
    void shutDownGivesUpOnAReadThatNeverReturns();
    void failingReadsAreReportedOnce();
    void randomReadsAgreeWithTheSteps();

private:
    FakeSi m_fake {FAKE_SIUSBXP};
    BridgeLibrary m_library;

    const SiUsbXpFunctions &functions()
    {
        if (m_library.load() != BridgeLibrary::Status::Loaded)
            qFatal("%s", qPrintable(m_library.message()));
        return m_library.functions();
    }
    // Queues the reads; failed reads return status 0x11.
    void queue(const Reads &reads)
    {
        for (const int r : reads) {
            if (r == FailedRead)
                m_fake.queueFailure(0x11);
            else
                m_fake.queueByte(r);
        }
    }
    // Queued after the reads, before the start: the worker has made every read before it, and
    // their steps, once this one blocks in the library (it fails when released).
    void hold() { m_fake.queueRead(0, 0x22, 0, true); }
};

namespace {

const QStringList OpenCalls {u"SI_GetNumDevices"_qs, u"SI_Open 0"_qs, u"SI_SetBaudRate 9600"_qs,
                             u"SI_SetTimeouts 500 500"_qs};
const QString Read = u"SI_Read 1"_qs;
const QString Flush = u"SI_FlushBuffers 1 1"_qs;
// The read hold() queued, then the stop's close.
const QStringList DrainAndClose {Read, u"SI_Close"_qs};

// The frames among the events, as "decode ..." / "drop ...", and the first open's outcome.
QStringList frames(const std::vector<BridgePoll::Event> &events)
{
    QStringList out;
    for (const BridgePoll::Event &e : events) {
        if (e.kind == BridgePoll::Event::Kind::Frame)
            out << frameEvent(e.frame, e.accepted);
    }
    return out;
}

// The calls a run of reads makes after the open: each read, and a flush after it when due.
QStringList readCalls(const Reads &reads)
{
    ReferencePoll reference;
    QStringList calls;
    for (const int r : reads) {
        calls << Read;
        const qsizetype before = reference.events.size();
        reference.tick(r);
        for (qsizetype i = before; i < reference.events.size(); ++i) {
            if (reference.events[i] == u"flush")
                calls << Flush;
        }
    }
    return calls;
}

QStringList referenceFrames(const Reads &reads)
{
    ReferencePoll reference;
    for (const int r : reads)
        reference.tick(r);
    QStringList out;
    for (const QString &e : std::as_const(reference.events)) {
        if (e != u"flush")
            out << e;
    }
    return out;
}

Reads reading(QByteArrayView eleven)
{
    return bytes(eleven) << 0x0D << 0x0A;
}

} // namespace

void TestBridgePoll::readSequences_data()
{
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("a reading in step")
        << reading("0123456789:") << QStringList {u"decode A0123456789:D"_qs};
    QTest::newRow("'<' 11th becomes C")
        << reading("0123456789<") << QStringList {u"decode A0123456789CD"_qs};
    QTest::newRow("'<' 9th is not decoded")
        << reading("01234567<90") << QStringList {u"drop A01234567<90D"_qs};
    QTest::newRow("thirteen bytes, no line feed: back in step")
        << (bytes("0123456789ABC") + reading("0123456789:"))
        << QStringList {u"decode A0123456789:D"_qs};
    QTest::newRow("early line feed: counting on into an emptied buffer")
        << (bytes("0123\nABCDEFGH") + reading("0123456789:"))
        << QStringList {u"decode A0123456789:D"_qs};
    QTest::newRow("failed reads inside a reading")
        << (bytes("01234") + Reads {FailedRead, FailedRead} + bytes("56789:") + Reads {0x0D}
            + Reads {FailedRead} + Reads {0x0A})
        << QStringList {u"decode A0123456789:D"_qs};
    QTest::newRow("a zero byte cuts the text short") << reading(QByteArrayView("01\0"
                                                                               "3456789:",
                                                                               11))
                                                     << QStringList {u"drop A01D"_qs};
    QTest::newRow("two readings back to back")
        << (reading("0123456789:") + reading("9876543210;"))
        << QStringList {u"decode A0123456789:D"_qs, u"decode A9876543210;D"_qs};
}

void TestBridgePoll::readSequences()
{
    QFETCH(Reads, reads);
    QFETCH(QStringList, frames);
    // The table's expectations are the poll's written steps.
    QCOMPARE(referenceFrames(reads), frames);

    queue(reads);
    hold();
    BridgePoll poll(functions());
    poll.start();
    m_fake.waitForBlockedRead();
    poll.stop();
    m_fake.releaseRead();
    QTRY_VERIFY(m_fake.callLog().endsWith(u"SI_Close"_qs));

    const std::vector<BridgePoll::Event> events = poll.takeEvents();
    QVERIFY(!events.empty());
    QCOMPARE(events.front().kind, BridgePoll::Event::Kind::Open);
    QVERIFY(events.front().open.opened());
    QCOMPARE(::frames(events), frames);
    QCOMPARE(m_fake.callLog(), OpenCalls + readCalls(reads) + DrainAndClose);
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgePoll::openOutcomes_data()
{
    QTest::addColumn<int>("devices");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("message");

    using O = BridgePoll::OpenResult::Outcome;
    const QString close = u"SI_Close"_qs;
    QTest::newRow("no bridge") << 0 << QString() << int(O::NoBridge)
                               << QStringList {u"SI_GetNumDevices"_qs}
                               << u"No USB bridge cable is plugged in."_qs;
    QTest::newRow("two bridges") << 2 << QString() << int(O::SeveralBridges)
                                 << QStringList {u"SI_GetNumDevices"_qs}
                                 << u"2 USB bridge cables are plugged in; unplug all but one."_qs;
    QTest::newRow("count refused")
        << 1 << u"SI_GetNumDevices"_qs << int(O::NoBridge) << QStringList {u"SI_GetNumDevices"_qs}
        << u"The bridge library could not count the USB bridge cables (status 7)."_qs;
    // An open was tried: the stop closes, as it always does after a try.
    QTest::newRow("open refused") << 1 << u"SI_Open"_qs << int(O::OpenFailed)
                                  << (OpenCalls.sliced(0, 2) << close)
                                  << u"The USB bridge cable could not be opened (status 7)."_qs;
    QTest::newRow("speed refused")
        << 1 << u"SI_SetBaudRate"_qs << int(O::BaudRateFailed) << (OpenCalls.sliced(0, 3) << close)
        << u"The USB bridge cable did not take 9600 bit/s (status 7)."_qs;
    QTest::newRow("time-outs refused: not looked at")
        << 1 << u"SI_SetTimeouts"_qs << int(O::Opened) << OpenCalls << QString();
}

void TestBridgePoll::openOutcomes()
{
    QFETCH(int, devices);
    QFETCH(QString, failing);
    QFETCH(int, outcome);
    QFETCH(QStringList, calls);
    QFETCH(QString, message);

    m_fake.setDeviceCount(std::uint32_t(devices));
    if (!failing.isEmpty())
        QVERIFY(m_fake.setStatus(failing.toLatin1().constData(), 7));
    hold(); // the first read, if the open leads to one
    BridgePoll poll(functions());
    poll.start();
    QVERIFY(poll.waitForEvents(5000));
    const std::vector<BridgePoll::Event> events = poll.takeEvents();
    QCOMPARE(events.size(), std::size_t(1));
    const BridgePoll::OpenResult &open = events.front().open;
    QCOMPARE(int(open.outcome), outcome);
    QCOMPARE(open.message(), message);
    if (open.opened()) {
        // It reads until stopped; the stop closes.
        m_fake.waitForBlockedRead();
        poll.stop();
        m_fake.releaseRead();
        QTRY_VERIFY(m_fake.callLog().endsWith(u"SI_Close"_qs));
        calls += DrainAndClose;
    } else {
        poll.stop();
        QVERIFY(poll.shutDown(5000));
    }
    QCOMPARE(m_fake.callLog(), calls);
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgePoll::carriesOnAcrossStopAndStart()
{
    BridgePoll poll(functions());
    queue(bytes("01234"));
    hold();
    const quint32 first = poll.start();
    m_fake.waitForBlockedRead();
    poll.stop();
    m_fake.releaseRead();
    QTRY_VERIFY(m_fake.callLog().endsWith(u"SI_Close"_qs));

    // The buffer and position were kept: the rest of the reading completes it.
    queue(bytes("56789:\r\n"));
    hold();
    const quint32 second = poll.start();
    QVERIFY(second != first);
    m_fake.waitForBlockedRead();
    poll.stop();
    m_fake.releaseRead();
    QTRY_COMPARE(m_fake.callLog().count(u"SI_Close"_qs), 2);
    // The exit's stop after that finds nothing left to close.
    QVERIFY(poll.shutDown(5000));

    const std::vector<BridgePoll::Event> events = poll.takeEvents();
    QStringList seen;
    for (const BridgePoll::Event &e : events) {
        if (e.kind == BridgePoll::Event::Kind::Frame) {
            seen << frameEvent(e.frame, e.accepted);
            QCOMPARE(e.session, second);
        }
    }
    QCOMPARE(seen, QStringList {u"decode A0123456789:D"_qs});
    const QStringList log = m_fake.callLog();
    QCOMPARE(log.count(u"SI_Open 0"_qs), 2);
    QCOMPARE(log.count(u"SI_Close"_qs), 2);
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgePoll::shutDownWhileAReadIsBlocked()
{
    BridgePoll poll(functions());
    poll.start();
    m_fake.queueRead('X', 0, 1, true);
    m_fake.waitForBlockedRead();
    // The read comes back while the shut-down waits: the close follows it, nothing after.
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_fake.releaseRead();
    });
    const bool ended = poll.shutDown(10000);
    releaser.join();
    QVERIFY(ended);
    const QStringList log = m_fake.callLog();
    QCOMPARE(log.last(), u"SI_Close"_qs);
    QCOMPARE(log.count(u"SI_Close"_qs), 1);
    QCOMPARE(m_fake.errors(), QStringList {});
    // Shut down: a start does nothing.
    poll.start();
    QTest::qWait(50);
    QCOMPARE(m_fake.callLog(), log);
}

void TestBridgePoll::shutDownGivesUpOnAReadThatNeverReturns()
{
    {
        BridgePoll poll(functions());
        poll.start();
        m_fake.queueRead('X', 0, 1, true);
        m_fake.waitForBlockedRead();
        // The owner goes on (the window closes) while the library still holds the read.
        QVERIFY(!poll.shutDown(20));
    }
    m_fake.releaseRead();
    // The worker finishes by itself: it closes the bridge and calls nothing more.
    QTRY_VERIFY(m_fake.callLog().endsWith(u"SI_Close"_qs));
    QTest::qWait(50);
    QVERIFY(m_fake.callLog().endsWith(u"SI_Close"_qs));
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgePoll::failingReadsAreReportedOnce()
{
    BridgePoll poll(functions(), BridgePoll::Timings {100, 1});
    queue(bytes("0"));
    poll.start();
    // Nothing more queued: every read fails from now on.
    std::vector<BridgePoll::Event> events;
    QTRY_VERIFY([&] {
        for (BridgePoll::Event &e : poll.takeEvents())
            events.push_back(std::move(e));
        return events.size() >= 2;
    }());
    QCOMPARE(events[0].kind, BridgePoll::Event::Kind::Open);
    QCOMPARE(events[1].kind, BridgePoll::Event::Kind::Failing);
    QTest::qWait(300);
    QVERIFY(poll.takeEvents().empty());
    // A byte again.
    queue(bytes("1"));
    QVERIFY(poll.waitForEvents(5000));
    events = poll.takeEvents();
    QCOMPARE(events.size(), std::size_t(1));
    QCOMPARE(events[0].kind, BridgePoll::Event::Kind::Back);
    QVERIFY(poll.shutDown(5000));
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgePoll::randomReadsAgreeWithTheSteps()
{
    QRandomGenerator random(20261211);
    Reads reads;
    while (reads.size() < 20000) {
        const quint32 pick = random.bounded(100);
        if (pick < 40) {
            // A whole reading, now and then with "<" in it.
            for (int k = 0; k < 11; ++k)
                reads << (random.bounded(6) == 0 ? '<' : '0' + int(random.bounded(10)));
            reads << 0x0D << 0x0A;
        } else if (pick < 20) {
            reads << FailedRead;
        } else if (pick < 30) {
            reads << 0x0A;
        } else if (pick < 34) {
            reads << 0;
        } else {
            reads << int(random.bounded(256));
        }
    }
    queue(reads);
    hold();
    BridgePoll poll(functions(), BridgePoll::Timings {60000, 0});
    poll.start();
    m_fake.waitForBlockedRead();
    poll.stop();
    m_fake.releaseRead();
    QTRY_VERIFY(m_fake.callLog().endsWith(u"SI_Close"_qs));

    const QStringList expected = referenceFrames(reads);
    QVERIFY2(expected.size() > 50, qPrintable(QString::number(expected.size())));
    QCOMPARE(frames(poll.takeEvents()), expected);
    QCOMPARE(m_fake.callLog(), OpenCalls + readCalls(reads) + DrainAndClose);
    QCOMPARE(m_fake.errors(), QStringList {});
}

QTEST_GUILESS_MAIN(TestBridgePoll)
#include "tst_bridgepoll.moc"
