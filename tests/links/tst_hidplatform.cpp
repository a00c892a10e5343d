#include "links/hid/HidReportDescriptor.h"
#include "links/hid/HidrawPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// The hidraw/udev layer on this machine, which has no HID devices: listing, the hot-plug
// monitor, refused opens and the reader's poll with its stop; and the report-descriptor rules.
class TestHidPlatform : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void inputReports_data();
    void inputReports();
    void listsWhatIsPresent();
    void monitorStartsAndStops();
    void openRefusesWhatIsNoHidDevice_data();
    void openRefusesWhatIsNoHidDevice();
    void readChannelOnMissingNodeIsRefused();
    void readChannelReadsAndStops();
    void stopEndsAPause();
};

static QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

void TestHidPlatform::inputReports_data()
{
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("numbered");

    QTest::newRow("empty: 64 + 1") << QByteArray() << 65 << false;
    QTest::newRow("only output reports")
        << bytes({0x75, 0x08, 0x95, 0x10, 0x91, 0x02}) << 65 << false;
    QTest::newRow("unnumbered 64 bytes")
        << bytes({0x06, 0x00, 0xff, 0x09, 0x01, 0xa1, 0x01, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02,
                  0x95, 0x40, 0x91, 0x02, 0xc0})
        << 65 << false;
    QTest::newRow("the longest of numbered reports")
        << bytes({0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0x85, 0x02, 0x95, 0x20, 0x81,
                  0x02, 0x95, 0x64, 0x91, 0x02})
        << 33 << true;
    QTest::newRow("one report in several items")
        << bytes({0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x02}) << 9 << false;
    QTest::newRow("bits round up to bytes")
        << bytes({0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x75, 0x05, 0x95, 0x01, 0x81, 0x01}) << 2
        << false;
    QTest::newRow("pop restores the pushed sizes")
        << bytes({0x75, 0x08, 0x95, 0x04, 0xa4, 0x75, 0x10, 0x95, 0x0a, 0xb4, 0x81, 0x02}) << 5
        << false;
    QTest::newRow("four-byte item data")
        << bytes({0x75, 0x08, 0x97, 0x0c, 0x00, 0x00, 0x00, 0x81, 0x02}) << 13 << false;
    QTest::newRow("long item skipped")
        << bytes({0xfe, 0x02, 0x10, 0x95, 0x81, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02}) << 3 << false;
    QTest::newRow("truncated item ends the walk")
        << bytes({0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x96, 0x01}) << 3 << false;
}

void TestHidPlatform::inputReports()
{
    QFETCH(QByteArray, descriptor);
    QFETCH(int, length);
    QFETCH(bool, numbered);
    const HidInputReports reports = hidInputReports(descriptor);
    QCOMPARE(reports.length, length);
    QCOMPARE(reports.numbered, numbered);
}

void TestHidPlatform::listsWhatIsPresent()
{
    HidrawPlatform platform;
    const QList<HidPlatform::Interface> found = platform.listInterfaces();
    const QStringList nodes
        = QDir(QStringLiteral("/sys/class/hidraw")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(found.size(), nodes.size());
    for (const HidPlatform::Interface &entry : found) {
        QVERIFY(entry.path.startsWith(QStringLiteral("/dev/")));
        QVERIFY(!entry.identity.isEmpty());
    }
}

void TestHidPlatform::monitorStartsAndStops()
{
    for (int round = 0; round < 2; ++round) {
        auto platform = std::make_unique<HidrawPlatform>();
        if (!platform->monitoring())
            QSKIP("this system gives no udev monitor");
        QTest::qWait(20);
        platform.reset();
    }
}

void TestHidPlatform::openRefusesWhatIsNoHidDevice_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");

    QTest::newRow("missing node") << QStringLiteral("/dev/hidraw-none-here") << ENOENT;
    QTest::newRow("character device that is no hidraw") << QStringLiteral("/dev/null") << ENODEV;
    QTest::newRow("plain file") << QStringLiteral("@file") << ENODEV;
}

void TestHidPlatform::openRefusesWhatIsNoHidDevice()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    QTemporaryDir dir;
    if (path == QStringLiteral("@file")) {
        path = dir.filePath(QStringLiteral("plain"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    HidrawPlatform platform;
    quint32 code = 0;
    QVERIFY(!platform.open(path, &code));
    QCOMPARE(code, quint32(error));
    QCOMPARE(platform.errorText(code), qt_error_string(error));
    QVERIFY(!platform.errorText(code).isEmpty());
}

void TestHidPlatform::readChannelOnMissingNodeIsRefused()
{
    HidrawPlatform platform;
    auto channel = platform.openReadChannel(QStringLiteral("/dev/hidraw-none-here"));
    QCOMPARE(channel->inputReportLength(), 65);
    char buffer[65];
    const HidReadChannel::Result result = channel->read(buffer, 65, 10);
    QCOMPARE(result.outcome, HidReadChannel::Outcome::Refused);
    QCOMPARE(result.error, quint32(ENOENT));
}

// A FIFO stands in for the node: the channel's poll, read and stop are the real ones.
void TestHidPlatform::readChannelReadsAndStops()
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("node")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    HidrawPlatform platform;
    auto channel = platform.openReadChannel(QString::fromLocal8Bit(fifo));
    char buffer[65] = {};
    QCOMPARE(channel->read(buffer, 65, 10).outcome, HidReadChannel::Outcome::TimedOut);

    const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
    QVERIFY(writer >= 0);
    QCOMPARE(::write(writer, "\x01\x02\x03", 3), ssize_t(3));
    const HidReadChannel::Result got = channel->read(buffer, 65, 5000);
    QCOMPARE(got.outcome, HidReadChannel::Outcome::Report);
    // No descriptor says the reports are numbered: identifier 0 goes in front.
    QCOMPARE(QByteArray(buffer, got.size), bytes({0x00, 0x01, 0x02, 0x03}));

    std::atomic<int> outcome = -1;
    std::thread reader([&] {
        char own[65];
        outcome = int(channel->read(own, 65, 60000).outcome);
    });
    QTest::qWait(20);
    channel->stop();
    QVERIFY(QTest::qWaitFor([&] { return outcome.load() >= 0; }, 10000));
    reader.join();
    QCOMPARE(HidReadChannel::Outcome(outcome.load()), HidReadChannel::Outcome::Stopped);
    QCOMPARE(channel->read(buffer, 65, 60000).outcome, HidReadChannel::Outcome::Stopped);
    ::close(writer);
}

void TestHidPlatform::stopEndsAPause()
{
    HidrawPlatform platform;
    auto channel = platform.openReadChannel(QStringLiteral("/dev/hidraw-none-here"));
    QVERIFY(channel->pause(1));
    std::atomic<int> paused = -1;
    std::thread reader([&] { paused = channel->pause(60000) ? 1 : 0; });
    channel->stop();
    QVERIFY(QTest::qWaitFor([&] { return paused.load() >= 0; }, 10000));
    reader.join();
    QCOMPARE(paused.load(), 0);
}

QTEST_GUILESS_MAIN(TestHidPlatform)
#include "tst_hidplatform.moc"
