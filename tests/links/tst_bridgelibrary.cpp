#include "links/bridge/BridgeLibrary.h"
#include "support/FakeSi.h"

#include <QLibrary>
#include <QTest>
#include <cstddef>
#include <thread>

class TestBridgeLibrary : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void resolvesAllSeven();
    void missing_data();
    void missing();
    void callsReachTheLibrary();
    void statusesComeBack_data();
    void statusesComeBack();
    void readResults_data();
    void readResults();
    void callAfterCloseIsAnError();
    void readFromAWorkerThread();

private:
    // The fake's control functions, from the same file BridgeLibrary loads.
    FakeSi m_fake {FAKE_SIUSBXP};
    QStringList callLog() const { return m_fake.callLog(); }
    QStringList errors() const { return m_fake.errors(); }
};

void TestBridgeLibrary::initTestCase()
{
    m_fake.load();
}

void TestBridgeLibrary::init()
{
    m_fake.use();
}

void TestBridgeLibrary::cleanup()
{
    qunsetenv(BridgeLibrary::EnvironmentVariable);
}

void TestBridgeLibrary::resolvesAllSeven()
{
    BridgeLibrary library;
    QCOMPARE(library.status(), BridgeLibrary::Status::NotLoaded);
    QCOMPARE(library.load(), BridgeLibrary::Status::Loaded);
    QVERIFY(library.isLoaded());
    QCOMPARE(library.message(), QString());
    QCOMPARE(library.requestedName(), QString::fromLocal8Bit(FAKE_SIUSBXP));
    const SiUsbXpFunctions &f = library.functions();
    QVERIFY(f.SI_GetNumDevices);
    QVERIFY(f.SI_Open);
    QVERIFY(f.SI_SetBaudRate);
    QVERIFY(f.SI_SetTimeouts);
    QVERIFY(f.SI_Read);
    QVERIFY(f.SI_FlushBuffers);
    QVERIFY(f.SI_Close);
    // The loader only resolves: nothing is called.
    QCOMPARE(callLog(), QStringList {});
}

void TestBridgeLibrary::missing_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<BridgeLibrary::Status>("status");
    QTest::addColumn<QStringList>("messageNames");
    QTest::addColumn<QString>("missingFunction");

    QTest::newRow("no file") << QByteArray("/nonexistent/libSiUSBXp.so")
                             << BridgeLibrary::Status::LibraryMissing
                             << QStringList {u"/nonexistent/libSiUSBXp.so"_qs,
                                             u"METERLINK_SIUSBXP"_qs}
                             << QString();
    QTest::newRow("not a library")
        << QByteArray(__FILE__) << BridgeLibrary::Status::LibraryMissing
        << QStringList {QString::fromLocal8Bit(__FILE__), u"METERLINK_SIUSBXP"_qs} << QString();
    // Unset, the system's search path is asked for SiUSBXp, which this machine lacks.
    QTest::newRow("unset") << QByteArray() << BridgeLibrary::Status::LibraryMissing
                           << QStringList {u"SiUSBXp"_qs, u"libSiUSBXp.so"_qs,
                                           u"METERLINK_SIUSBXP"_qs}
                           << QString();
    QTest::newRow("no SI_FlushBuffers")
        << QByteArray(FAKE_SIUSBXP_NOFLUSH) << BridgeLibrary::Status::FunctionMissing
        << QStringList {u"SI_FlushBuffers"_qs} << u"SI_FlushBuffers"_qs;
}

void TestBridgeLibrary::missing()
{
    QFETCH(QByteArray, variable);
    QFETCH(BridgeLibrary::Status, status);
    QFETCH(QStringList, messageNames);
    QFETCH(QString, missingFunction);

    if (variable.isEmpty()) {
        qunsetenv(BridgeLibrary::EnvironmentVariable);
        if (QLibrary(u"SiUSBXp"_qs).load())
            QSKIP("a bridge library is installed on this machine");
    } else {
        qputenv(BridgeLibrary::EnvironmentVariable, variable);
    }
    BridgeLibrary library;
    QCOMPARE(library.load(), status);
    QCOMPARE(library.status(), status);
    QVERIFY(!library.isLoaded());
    for (const QString &name : messageNames)
        QVERIFY2(library.message().contains(name), qPrintable(library.message()));
    QCOMPARE(library.missingFunction(), missingFunction);
    const SiUsbXpFunctions &f = library.functions();
    QVERIFY(!f.SI_GetNumDevices && !f.SI_Open && !f.SI_SetBaudRate && !f.SI_SetTimeouts
            && !f.SI_Read && !f.SI_FlushBuffers && !f.SI_Close);
    // A second load keeps the first answer.
    QCOMPARE(library.load(), status);
}

void TestBridgeLibrary::callsReachTheLibrary()
{
    BridgeLibrary library;
    QCOMPARE(library.load(), BridgeLibrary::Status::Loaded);
    const SiUsbXpFunctions &f = library.functions();
    m_fake.setDeviceCount(1);
    m_fake.queueRead('7', 0, 1, false);

    std::uint32_t count = 0;
    QCOMPARE(f.SI_GetNumDevices(&count), 0);
    QCOMPARE(count, 1u);
    SiHandle handle = nullptr;
    QCOMPARE(f.SI_Open(0, &handle), 0);
    QVERIFY(handle);
    QCOMPARE(f.SI_SetBaudRate(handle, 9600), 0);
    QCOMPARE(f.SI_SetTimeouts(500, 500), 0);
    std::uint8_t byte = 0;
    std::uint32_t returned = 0;
    QCOMPARE(f.SI_Read(handle, &byte, 1, &returned, nullptr), 0);
    QCOMPARE(byte, std::uint8_t('7'));
    QCOMPARE(returned, 1u);
    QCOMPARE(f.SI_FlushBuffers(handle, 1, 1), 0);
    QCOMPARE(f.SI_Close(handle), 0);

    QCOMPARE(callLog(),
             (QStringList {u"SI_GetNumDevices"_qs, u"SI_Open 0"_qs, u"SI_SetBaudRate 9600"_qs,
                           u"SI_SetTimeouts 500 500"_qs, u"SI_Read 1"_qs, u"SI_FlushBuffers 1 1"_qs,
                           u"SI_Close"_qs}));
    QCOMPARE(errors(), QStringList {});
}

void TestBridgeLibrary::statusesComeBack_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("status");

    for (const char *name : {"SI_GetNumDevices", "SI_Open", "SI_SetBaudRate", "SI_SetTimeouts",
                             "SI_FlushBuffers", "SI_Close"}) {
        QTest::newRow(name) << QString::fromLatin1(name) << 0x12;
    }
}

void TestBridgeLibrary::statusesComeBack()
{
    QFETCH(QString, function);
    QFETCH(int, status);

    BridgeLibrary library;
    QCOMPARE(library.load(), BridgeLibrary::Status::Loaded);
    const SiUsbXpFunctions &f = library.functions();
    QVERIFY(m_fake.setStatus(function.toLatin1().constData(), status));
    const auto expected = [&](const char *name) {
        return function == QLatin1String(name) ? status : 0;
    };

    std::uint32_t count = 0;
    QCOMPARE(f.SI_GetNumDevices(&count), expected("SI_GetNumDevices"));
    SiHandle handle = nullptr;
    QCOMPARE(f.SI_Open(0, &handle), expected("SI_Open"));
    if (function == u"SI_Open")
        return; // no handle to go on with
    QCOMPARE(f.SI_SetBaudRate(handle, 9600), expected("SI_SetBaudRate"));
    QCOMPARE(f.SI_SetTimeouts(500, 500), expected("SI_SetTimeouts"));
    QCOMPARE(f.SI_FlushBuffers(handle, 1, 1), expected("SI_FlushBuffers"));
    QCOMPARE(f.SI_Close(handle), expected("SI_Close"));
    QCOMPARE(errors(), QStringList {});
}

void TestBridgeLibrary::readResults_data()
{
    QTest::addColumn<int>("queuedByte");
    QTest::addColumn<int>("queuedStatus");
    QTest::addColumn<int>("queuedCount");
    QTest::addColumn<bool>("queued");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("returned");

    QTest::newRow("a byte") << 0x41 << 0 << 1 << true << 0 << 0x41 << 1;
    QTest::newRow("no byte, status 0") << 0x41 << 0 << 0 << true << 0 << 0xEE << 0;
    QTest::newRow("failing status") << 0x41 << 0x0B << 0 << true << 0x0B << 0xEE << 0;
    QTest::newRow("nothing queued") << 0 << 0 << 0 << false << 0xFF << 0xEE << 0;
}

void TestBridgeLibrary::readResults()
{
    QFETCH(int, queuedByte);
    QFETCH(int, queuedStatus);
    QFETCH(int, queuedCount);
    QFETCH(bool, queued);
    QFETCH(int, status);
    QFETCH(int, byte);
    QFETCH(int, returned);

    BridgeLibrary library;
    QCOMPARE(library.load(), BridgeLibrary::Status::Loaded);
    const SiUsbXpFunctions &f = library.functions();
    if (queued)
        m_fake.queueRead(queuedByte, queuedStatus, std::uint32_t(queuedCount), false);
    SiHandle handle = nullptr;
    QCOMPARE(f.SI_Open(0, &handle), 0);
    std::uint8_t target = 0xEE;
    std::uint32_t count = 99;
    QCOMPARE(f.SI_Read(handle, &target, 1, &count, nullptr), status);
    QCOMPARE(int(target), byte);
    QCOMPARE(int(count), returned);
    QCOMPARE(f.SI_Close(handle), 0);
    QCOMPARE(errors(), QStringList {});
}

void TestBridgeLibrary::callAfterCloseIsAnError()
{
    BridgeLibrary library;
    QCOMPARE(library.load(), BridgeLibrary::Status::Loaded);
    const SiUsbXpFunctions &f = library.functions();
    SiHandle handle = nullptr;
    QCOMPARE(f.SI_Open(0, &handle), 0);
    QCOMPARE(f.SI_Close(handle), 0);
    QCOMPARE(errors(), QStringList {});

    std::uint8_t byte = 0;
    std::uint32_t count = 0;
    f.SI_Read(handle, &byte, 1, &count, nullptr);
    f.SI_FlushBuffers(handle, 1, 1);
    f.SI_Close(handle);
    QCOMPARE(errors(),
             (QStringList {u"SI_Read without an open bridge"_qs,
                           u"SI_FlushBuffers without an open bridge"_qs,
                           u"SI_Close without an open bridge"_qs}));
}

void TestBridgeLibrary::readFromAWorkerThread()
{
    BridgeLibrary library;
    QCOMPARE(library.load(), BridgeLibrary::Status::Loaded);
    const SiUsbXpFunctions &f = library.functions();
    SiHandle handle = nullptr;
    QCOMPARE(f.SI_Open(0, &handle), 0);
    m_fake.queueRead('X', 0, 1, true);

    std::uint8_t byte = 0;
    std::uint32_t count = 0;
    SiStatus status = -1;
    // A std::thread: its join is a hand-over ThreadSanitizer sees (QThread::wait waits inside Qt).
    std::thread worker([&] { status = f.SI_Read(handle, &byte, 1, &count, nullptr); });
    // The read is held in the library until released: no time-out involved.
    m_fake.waitForBlockedRead();
    m_fake.releaseRead();
    worker.join();
    QCOMPARE(status, 0);
    QCOMPARE(byte, std::uint8_t('X'));
    QCOMPARE(count, 1u);
    QCOMPARE(f.SI_Close(handle), 0);
    QCOMPARE(errors(), QStringList {});
}

QTEST_GUILESS_MAIN(TestBridgeLibrary)
#include "tst_bridgelibrary.moc"
