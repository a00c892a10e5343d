#include "FakeHidPlatform.h"
#include "links/hid/HidDeviceController.h"

#include <QEventLoop>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>

// The HID controller over the scripted HID system: the device list through scans and rescans,
// taking and returning, strings and feature reports, and the reader threads with their
// hand-overs to the UI thread, also while they are being stopped.
class TestHidController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void oneControllerPerProgram();
    void sleepTimes_data();
    void sleepTimes();
    void deviceSleepTimeReachesDevicesWithThePreviousValue();
    void deviceChangeAssignment_data();
    void deviceChangeAssignment();
    void rescan_data();
    void rescan();
    void unpluggedTakenDeviceStaysUntilReturned();
    void returningAPluggedDevicePutsAFreshOneInItsPlace();
    void takeDeviceAt_data();
    void takeDeviceAt();
    void listDevices_data();
    void listDevices();
    void defaultHandlersPassOnToDevicesThatKeptThePreviousOne();
    void readerConditions_data();
    void readerConditions();
    void serialText_data();
    void serialText();
    void productTextIsReadWhenOpenableAndRemembered();
    void featureReports_data();
    void featureReports();
    void reportsArriveInOrderOnTheUiThread();
    void refusedReadsPauseAndReport_data();
    void refusedReadsPauseAndReport();
    void stopWhileReading_data();
    void stopWhileReading();
    void unplugDuringAStop();
    void unplugWhileReadingThenReplug();
    void rebuildOnChangeKeepsReadingAPassedOnHandler();
};

static FakeHidPlatform::Device fakeDevice(const QString &name)
{
    FakeHidPlatform::Device device;
    device.identity = name;
    device.path = QStringLiteral("/dev/hidraw-") + name;
    return device;
}

// "a b c" as a list of names.
static QStringList names(const char *spaced)
{
    return QString::fromLatin1(spaced).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

static void plugAll(FakeHidPlatform &platform, const QStringList &names)
{
    for (const QString &name : names)
        platform.plug(fakeDevice(name), false);
}

static QStringList identities(const HidDeviceController &controller)
{
    QStringList out;
    for (int i = 0; i < controller.deviceCount(); ++i)
        out.append(controller.deviceAt(i)->identity());
    return out;
}

// Waits, without running the event loop, until the reader has handed a report over: the hand-over
// then waits for the UI thread.
static bool handOverPending(const HidDevice &device)
{
    for (int i = 0; i < 10000; ++i) {
        if (device.handOverPending())
            return true;
        QThread::msleep(1);
    }
    return false;
}

static bool readerWaits(const FakeHidPlatform &platform, const QString &identity)
{
    return QTest::qWaitFor(
        [&] {
            const auto calls = platform.readCalls();
            return std::any_of(calls.cbegin(), calls.cend(),
                               [&](const auto &call) { return call.identity == identity; });
        },
        10000);
}

// Handlers bound to methods, so that setting the same one twice is recognisably the same.
class Recorder : public QObject
{
    Q_OBJECT
public:
    QStringList arrivals, removals, unplugs;
    int changes = 0;
    void arrival(HidDevice *device) { arrivals.append(device->identity()); }
    void removal(HidDevice *device) { removals.append(device->identity()); }
    void unplug(HidDevice *device) { unplugs.append(device->identity()); }
    void change(HidDeviceController *) { ++changes; }
    void otherChange(HidDeviceController *) { ++changes; }
    void data(HidDevice *, quint8, const quint8 *, quint16) { }
    void otherData(HidDevice *, quint8, const quint8 *, quint16) { }

    void watch(HidDeviceController &controller)
    {
        controller.setOnArrival({this, &Recorder::arrival});
        controller.setOnRemoval({this, &Recorder::removal});
        controller.setOnDeviceChange({this, &Recorder::change});
    }
};

void TestHidController::oneControllerPerProgram()
{
    FakeHidPlatform platform;
    QString error;
    auto first = HidDeviceController::create(platform, &error);
    QVERIFY(first);
    QVERIFY(error.isEmpty());
    QCOMPARE(HidDeviceController::Version(), QStringLiteral("1.0.22"));
    QVERIFY(!HidDeviceController::create(platform, &error));
    QCOMPARE(error, QStringLiteral("Only one HidDeviceController allowed per program"));
    first.reset();
    QVERIFY(HidDeviceController::create(platform));
}

void TestHidController::sleepTimes_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("below") << 9 << false;
    QTest::newRow("lowest") << 10 << true;
    QTest::newRow("highest") << 10000 << true;
    QTest::newRow("above") << 10001 << false;
    QTest::newRow("negative") << -100 << false;
}

void TestHidController::sleepTimes()
{
    QFETCH(int, value);
    QFETCH(bool, accepted);
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a")});
    auto controller = HidDeviceController::create(platform);
    HidDevice *device = controller->deviceAt(0);
    QCOMPARE(device->ReaderSleepTime(), 100);
    QCOMPARE(controller->DeviceSleepTime(), 100);
    QCOMPARE(device->setReaderSleepTime(value), accepted);
    QCOMPARE(device->ReaderSleepTime(), accepted ? value : 100);
    QCOMPARE(controller->setDeviceSleepTime(value), accepted);
    QCOMPARE(controller->DeviceSleepTime(), accepted ? value : 100);
}

void TestHidController::deviceSleepTimeReachesDevicesWithThePreviousValue()
{
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a"), QStringLiteral("b")});
    auto controller = HidDeviceController::create(platform);
    QVERIFY(controller->deviceAt(1)->setReaderSleepTime(50));
    QVERIFY(controller->setDeviceSleepTime(200));
    QCOMPARE(controller->deviceAt(0)->ReaderSleepTime(), 200);
    QCOMPARE(controller->deviceAt(1)->ReaderSleepTime(), 50);
    platform.plug(fakeDevice(QStringLiteral("c")), false);
    controller->DeviceChange();
    QCOMPARE(controller->deviceAt(2)->ReaderSleepTime(), 200);
}

void TestHidController::deviceChangeAssignment_data()
{
    // The handlers set in turn: "A" and "B" are two bound methods, "-" none, "D" a rescan.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("raised");
    QTest::newRow("first assignment raises once") << names("A") << 1;
    QTest::newRow("same handler again raises nothing") << names("A A") << 1;
    QTest::newRow("another handler after the first raises nothing without a change")
        << names("A B") << 1;
    QTest::newRow("none, then the first handler raises") << names("- A") << 1;
    QTest::newRow("rescan with no change raises nothing") << names("A D") << 1;
}

void TestHidController::deviceChangeAssignment()
{
    QFETCH(QStringList, steps);
    QFETCH(int, raised);
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a")});
    auto controller = HidDeviceController::create(platform);
    Recorder recorder;
    for (const QString &step : std::as_const(steps)) {
        if (step == QStringLiteral("A"))
            controller->setOnDeviceChange({&recorder, &Recorder::change});
        else if (step == QStringLiteral("B"))
            controller->setOnDeviceChange({&recorder, &Recorder::otherChange});
        else if (step == QStringLiteral("-"))
            controller->setOnDeviceChange(nullptr);
        else
            controller->DeviceChange();
    }
    QCOMPARE(recorder.changes, raised);
    QCOMPARE(identities(*controller), QStringList {QStringLiteral("a")});
}

void TestHidController::rescan_data()
{
    QTest::addColumn<QStringList>("atStart");
    QTest::addColumn<QStringList>("unplugged");
    QTest::addColumn<QStringList>("plugged");
    QTest::addColumn<QStringList>("removals");
    QTest::addColumn<QStringList>("arrivals");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("changes");

    QTest::newRow("present at start and at the rescan raises nothing")
        << names("a b") << QStringList {} << QStringList {} << QStringList {} << QStringList {}
        << names("a b") << 0;
    QTest::newRow("arrivals are appended in scan order")
        << names("a") << QStringList {} << names("b c") << QStringList {} << names("b c")
        << names("a b c") << 1;
    QTest::newRow("removals run last to first")
        << names("a b c") << names("a c") << QStringList {} << names("c a") << QStringList {}
        << names("b") << 1;
    QTest::newRow("removal and arrival in one rescan")
        << names("a b") << names("a") << names("d") << names("a") << names("d") << names("b d")
        << 1;
    QTest::newRow("an interface that does not open is left out")
        << names("a") << QStringList {} << names("!x y") << QStringList {} << names("y")
        << names("a y") << 1;
}

void TestHidController::rescan()
{
    QFETCH(QStringList, atStart);
    QFETCH(QStringList, unplugged);
    QFETCH(QStringList, plugged);
    QFETCH(QStringList, removals);
    QFETCH(QStringList, arrivals);
    QFETCH(QStringList, listed);
    QFETCH(int, changes);
    FakeHidPlatform platform;
    plugAll(platform, atStart);
    auto controller = HidDeviceController::create(platform);
    QCOMPARE(identities(*controller), atStart);
    Recorder recorder;
    recorder.watch(*controller);
    recorder.changes = 0; // the first assignment's own raise
    for (const QString &name : unplugged)
        platform.unplug(name, false);
    for (QString name : plugged) {
        FakeHidPlatform::Device device = fakeDevice(name.remove(QLatin1Char('!')));
        device.opens = !plugged.contains(QLatin1Char('!') + name);
        platform.plug(device, false);
    }
    // One notification for the whole burst; the controller rescans from the event loop.
    Q_EMIT platform.devicesChanged();
    QVERIFY(QTest::qWaitFor([&] { return identities(*controller) == listed; }, 10000));
    QCOMPARE(recorder.removals, removals);
    QCOMPARE(recorder.arrivals, arrivals);
    QCOMPARE(recorder.changes, changes);
}

void TestHidController::unpluggedTakenDeviceStaysUntilReturned()
{
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a"), QStringLiteral("b")});
    auto controller = HidDeviceController::create(platform);
    Recorder recorder;
    recorder.watch(*controller);
    QPointer<HidDevice> taken = controller->TakeDeviceAt(0);
    QVERIFY(taken);
    taken->setUnplugHandler({&recorder, &Recorder::unplug});

    platform.unplug(QStringLiteral("a"), false);
    controller->DeviceChange();
    QCOMPARE(recorder.removals, QStringList {QStringLiteral("a")});
    QCOMPARE(recorder.unplugs, QStringList {QStringLiteral("a")});
    QVERIFY(!taken->UnplugHandler());
    QCOMPARE(identities(*controller), names("a b"));
    QVERIFY(!taken->pluggedIn());
    QVERIFY(!controller->TakeDeviceAt(0));

    // Found gone once: a later rescan does not report it again.
    controller->DeviceChange();
    QCOMPARE(recorder.removals.size(), 1);

    int enumerated = 0;
    controller->setOnEnumerate([&](HidDevice *, int) { return ++enumerated, true; });
    QCOMPARE(controller->ListDevices(), 1);

    QVERIFY(controller->ReturnDevice(taken));
    QVERIFY(!taken);
    QCOMPARE(identities(*controller), QStringList {QStringLiteral("b")});
}

void TestHidController::returningAPluggedDevicePutsAFreshOneInItsPlace()
{
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a"), QStringLiteral("b")});
    auto controller = HidDeviceController::create(platform);
    Recorder recorder;
    HidDevice *taken = controller->TakeDeviceAt(1);
    QVERIFY(taken);
    QPointer<HidDevice> old = taken;
    taken->setDataHandler({&recorder, &Recorder::data});
    taken->setUnplugHandler({&recorder, &Recorder::unplug});
    QVERIFY(taken->setReaderSleepTime(30));
    QVERIFY(taken->readerRunning());

    QVERIFY(controller->ReturnDevice(taken));
    QVERIFY(!taken);
    QVERIFY(!controller->ReturnDevice(taken));
    QCOMPARE(controller->deviceCount(), 2);
    HidDevice *fresh = controller->deviceAt(1);
    QVERIFY(fresh != old.data());
    QCOMPARE(fresh->identity(), QStringLiteral("b"));
    QVERIFY(!fresh->taken());
    QVERIFY(!fresh->readerRunning());
    QVERIFY(fresh->DataHandler() == HidDataEvent(&recorder, &Recorder::data));
    QVERIFY(fresh->UnplugHandler() == HidPlugEvent(&recorder, &Recorder::unplug));
    QCOMPARE(fresh->ReaderSleepTime(), 30);
    QCOMPARE(platform.openChannels(QStringLiteral("b")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!old, 10000);

    QCOMPARE(controller->TakeDeviceAt(1), fresh);
    QVERIFY(fresh->readerRunning());
}

void TestHidController::takeDeviceAt_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("takenBefore");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("first") << 0 << false << true;
    QTest::newRow("last") << 1 << false << true;
    QTest::newRow("already taken") << 1 << true << false;
    QTest::newRow("negative") << -1 << false << false;
    QTest::newRow("past the end") << 2 << false << false;
}

void TestHidController::takeDeviceAt()
{
    QFETCH(int, index);
    QFETCH(bool, takenBefore);
    QFETCH(bool, succeeds);
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a"), QStringLiteral("b")});
    auto controller = HidDeviceController::create(platform);
    if (takenBefore)
        QVERIFY(controller->TakeDeviceAt(index));
    HidDevice *device = controller->TakeDeviceAt(index);
    QCOMPARE(device != nullptr, succeeds);
    if (succeeds) {
        QCOMPARE(device, controller->deviceAt(index));
        QVERIFY(device->taken());
    }
}

void TestHidController::listDevices_data()
{
    // What OnEnumerate answers for each call; "-" for no handler. "t" takes the device.
    QTest::addColumn<QString>("answers");
    QTest::addColumn<int>("calls");
    QTest::addColumn<QStringList>("stillOpen");
    QTest::newRow("every device") << QStringLiteral("yyy") << 3 << QStringList {};
    QTest::newRow("false after the first") << QStringLiteral("nyy") << 1 << QStringList {};
    QTest::newRow("false at the second") << QStringLiteral("yny") << 2 << QStringList {};
    QTest::newRow("taken devices keep their handles")
        << QStringLiteral("yty") << 3 << QStringList {QStringLiteral("b")};
    QTest::newRow("no handler") << QStringLiteral("-") << 0 << QStringList {};
}

void TestHidController::listDevices()
{
    QFETCH(QString, answers);
    QFETCH(int, calls);
    QFETCH(QStringList, stillOpen);
    FakeHidPlatform platform;
    const QStringList names {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    plugAll(platform, names);
    auto controller = HidDeviceController::create(platform);
    QList<int> indexes;
    if (answers != QStringLiteral("-")) {
        controller->setOnEnumerate([&](HidDevice *device, int index) {
            indexes.append(index);
            [&] {
                QVERIFY(device->enumerating());
            }();
            // Opens its handle, which the walk closes again unless the device was taken.
            device->SendFeatureReport(QByteArrayView("\x00\x01", 2));
            if (answers.at(index) == QLatin1Char('t'))
                controller->TakeDeviceAt(index);
            return answers.at(index) != QLatin1Char('n');
        });
    }
    QCOMPARE(controller->ListDevices(), calls);
    QCOMPARE(indexes.size(), calls);
    for (int i = 0; i < indexes.size(); ++i)
        QCOMPARE(indexes.at(i), i);
    for (const QString &name : names) {
        QCOMPARE(platform.openHandles(name), stillOpen.contains(name) ? 1 : 0);
        QVERIFY(!controller->deviceAt(names.indexOf(name))->enumerating());
    }
}

void TestHidController::defaultHandlersPassOnToDevicesThatKeptThePreviousOne()
{
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a"), QStringLiteral("b")});
    auto controller = HidDeviceController::create(platform);
    Recorder recorder;
    controller->deviceAt(0)->setDataHandler({&recorder, &Recorder::otherData});
    controller->setOnDeviceData({&recorder, &Recorder::data});
    QVERIFY(controller->deviceAt(0)->DataHandler()
            == HidDataEvent(&recorder, &Recorder::otherData));
    QVERIFY(controller->deviceAt(1)->DataHandler() == HidDataEvent(&recorder, &Recorder::data));

    HidDataErrorEvent errors = [](HidDevice *, quint32) {
    };
    controller->setOnDeviceDataError(errors);
    QVERIFY(controller->deviceAt(0)->DataErrorHandler() == errors);
    controller->setOnDeviceUnplug({&recorder, &Recorder::unplug});
    QVERIFY(controller->deviceAt(1)->UnplugHandler() == HidPlugEvent(&recorder, &Recorder::unplug));

    // New devices start with the defaults.
    platform.plug(fakeDevice(QStringLiteral("c")), false);
    controller->DeviceChange();
    QVERIFY(controller->deviceAt(2)->DataHandler() == HidDataEvent(&recorder, &Recorder::data));
    QVERIFY(controller->deviceAt(2)->DataErrorHandler() == errors);
}

void TestHidController::readerConditions_data()
{
    QTest::addColumn<bool>("readWrite");
    QTest::addColumn<bool>("take");
    QTest::addColumn<bool>("handler");
    QTest::addColumn<bool>("reads");
    QTest::newRow("all hold") << true << true << true << true;
    QTest::newRow("no read-write access") << false << true << true << false;
    QTest::newRow("not taken") << true << false << true << false;
    QTest::newRow("no handler") << true << true << false << false;
}

void TestHidController::readerConditions()
{
    QFETCH(bool, readWrite);
    QFETCH(bool, take);
    QFETCH(bool, handler);
    QFETCH(bool, reads);
    FakeHidPlatform platform;
    FakeHidPlatform::Device scripted = fakeDevice(QStringLiteral("a"));
    scripted.readWrite = readWrite;
    platform.plug(scripted, false);
    auto controller = HidDeviceController::create(platform);
    HidDevice *device = controller->deviceAt(0);
    QCOMPARE(device->ReadWriteAccess(), readWrite);
    // Either order of taking and setting the handler.
    for (int order = 0; order < 2; ++order) {
        if (order == 1) {
            QPointer<HidDevice> again = device;
            if (take)
                QVERIFY(controller->ReturnDevice(again));
            device = controller->deviceAt(0);
            device->setDataHandler(nullptr);
        }
        if (order == 0 && take)
            QVERIFY(controller->TakeDeviceAt(0));
        if (handler)
            device->setDataHandler([](HidDevice *, quint8, const quint8 *, quint16) {});
        if (order == 1 && take)
            QVERIFY(controller->TakeDeviceAt(0));
        QCOMPARE(device->readerRunning(), reads);
        QCOMPARE(platform.openChannels(QStringLiteral("a")), reads ? 1 : 0);
    }
    device->setDataHandler(nullptr);
    QVERIFY(!device->readerRunning());
    QCOMPARE(platform.openChannels(QStringLiteral("a")), 0);
}

void TestHidController::serialText_data()
{
    const QString english(QChar(0x0409));
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("languages");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a serial number")
        << QStringLiteral("0001A") << english << QStringLiteral("0001A");
    QTest::newRow("equal to the language list") << english << english << QString();
    QTest::newRow("equal within the list's length")
        << english + QStringLiteral("xyz") << english << QString();
    QTest::newRow("differs in the list's second language")
        << english + QStringLiteral("x") << english + QChar(0x0407)
        << english + QStringLiteral("x");
    QTest::newRow("shorter than the list")
        << QStringLiteral("A") << QStringLiteral("AB") << QStringLiteral("A");
    QTest::newRow("empty language list") << QStringLiteral("0001A") << QString() << QString();
    QTest::newRow("no serial number") << QString() << english << QString();
}

void TestHidController::serialText()
{
    QFETCH(QString, serial);
    QFETCH(QString, languages);
    QFETCH(QString, expected);
    FakeHidPlatform platform;
    FakeHidPlatform::Device scripted = fakeDevice(QStringLiteral("a"));
    scripted.serial = serial;
    scripted.languages = languages;
    platform.plug(scripted, false);
    auto controller = HidDeviceController::create(platform);
    HidDevice *device = controller->deviceAt(0);
    QCOMPARE(device->SerialText(), QString()); // neither taken nor being enumerated
    QVERIFY(controller->TakeDeviceAt(0));
    QCOMPARE(device->SerialText(), expected);
    QCOMPARE(platform.openHandles(QStringLiteral("a")), 0);
}

void TestHidController::productTextIsReadWhenOpenableAndRemembered()
{
    FakeHidPlatform platform;
    FakeHidPlatform::Device scripted = fakeDevice(QStringLiteral("a"));
    scripted.product = QStringLiteral("USB to Serial");
    scripted.serial = QStringLiteral("0042");
    platform.plug(scripted, false);
    auto controller = HidDeviceController::create(platform);
    HidDevice *device = controller->deviceAt(0);
    QCOMPARE(device->ProductText(), QString());
    QString during;
    controller->setOnEnumerate([&](HidDevice *listed, int) {
        during = listed->ProductText();
        return true;
    });
    QCOMPARE(controller->ListDevices(), 1);
    QCOMPARE(during, QStringLiteral("USB to Serial"));
    QCOMPARE(platform.openHandles(QStringLiteral("a")), 0);
    QVERIFY(controller->TakeDeviceAt(0));
    QCOMPARE(device->SerialText(), QStringLiteral("0042"));

    platform.unplug(QStringLiteral("a"), false);
    controller->DeviceChange();
    QVERIFY(!device->pluggedIn());
    QCOMPARE(device->ProductText(), QStringLiteral("USB to Serial"));
    QCOMPARE(device->SerialText(), QStringLiteral("0042"));
}

void TestHidController::featureReports_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("sent");
    QTest::newRow("taken") << QStringLiteral("taken") << true;
    QTest::newRow("being enumerated") << QStringLiteral("enumerated") << true;
    QTest::newRow("neither taken nor enumerated") << QStringLiteral("idle") << false;
    QTest::newRow("no read-write access") << QStringLiteral("query-only") << false;
    QTest::newRow("device refuses") << QStringLiteral("refuses") << false;
    QTest::newRow("unplugged") << QStringLiteral("unplugged") << false;
}

void TestHidController::featureReports()
{
    QFETCH(QString, situation);
    QFETCH(bool, sent);
    FakeHidPlatform platform;
    FakeHidPlatform::Device scripted = fakeDevice(QStringLiteral("a"));
    scripted.readWrite = situation != QStringLiteral("query-only");
    scripted.featureReportsFail = situation == QStringLiteral("refuses");
    platform.plug(scripted, false);
    auto controller = HidDeviceController::create(platform);
    HidDevice *device = controller->deviceAt(0);
    const QByteArray speed("\x00\x80\x25\x00\x00\x03\x00\x00\x00\x00", 10);
    bool result = false;
    if (situation == QStringLiteral("enumerated")) {
        controller->setOnEnumerate([&](HidDevice *listed, int) {
            result = listed->SendFeatureReport(speed);
            return true;
        });
        controller->ListDevices();
    } else {
        if (situation != QStringLiteral("idle"))
            QVERIFY(controller->TakeDeviceAt(0));
        if (situation == QStringLiteral("unplugged")) {
            platform.unplug(QStringLiteral("a"), false);
            controller->DeviceChange();
        }
        result = device->SendFeatureReport(speed);
    }
    QCOMPARE(result, sent);
    QCOMPARE(platform.featureReportsSent(QStringLiteral("a")),
             sent ? QList<QByteArray> {speed} : QList<QByteArray> {});
}

void TestHidController::reportsArriveInOrderOnTheUiThread()
{
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a")});
    auto controller = HidDeviceController::create(platform);
    HidDevice *device = controller->TakeDeviceAt(0);
    QList<QByteArray> received;
    bool elsewhere = false;
    device->setDataHandler([&](HidDevice *from, quint8 id, const quint8 *data, quint16 size) {
        elsewhere = elsewhere || QThread::currentThread() != qApp->thread() || from != device;
        received.append(char(id) + QByteArray(reinterpret_cast<const char *>(data), size));
    });
    QList<QByteArray> sent;
    for (int i = 0; i < 50; ++i) {
        QByteArray report(1 + i % 8, char(i));
        report[0] = char(i % 3);
        sent.append(report);
        platform.queueReport(QStringLiteral("a"), report);
    }
    platform.queueReport(QStringLiteral("a"), QByteArray()); // dropped: no bytes
    QVERIFY(QTest::qWaitFor([&] { return received.size() >= sent.size(); }, 10000));
    QCOMPARE(received, sent);
    QVERIFY(!elsewhere);
}

void TestHidController::refusedReadsPauseAndReport_data()
{
    QTest::addColumn<int>("sleepTime");
    QTest::addColumn<int>("errors");
    QTest::newRow("short sleep: several refusals, each after a pause") << 10 << 3;
    QTest::newRow("long sleep: one refusal, then the pause") << 10000 << 1;
}

void TestHidController::refusedReadsPauseAndReport()
{
    QFETCH(int, sleepTime);
    QFETCH(int, errors);
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a")});
    auto controller = HidDeviceController::create(platform);
    HidDevice *device = controller->TakeDeviceAt(0);
    QVERIFY(device->setReaderSleepTime(sleepTime));
    QList<quint32> codes;
    device->setDataErrorHandler([&](HidDevice *, quint32 code) { codes.append(code); });
    QList<QByteArray> reports;
    device->setDataHandler([&](HidDevice *, quint8 id, const quint8 *data, quint16 size) {
        reports.append(char(id) + QByteArray(reinterpret_cast<const char *>(data), size));
    });
    platform.refuseReads(QStringLiteral("a"), 0x1f);
    QVERIFY(QTest::qWaitFor([&] { return codes.size() >= errors; }, 10000));
    // After the last reported refusal the reader pauses for its sleep time.
    QVERIFY(QTest::qWaitFor(
        [&] {
            const auto calls = platform.readCalls();
            return !calls.isEmpty() && calls.last().isPause;
        },
        10000));
    // Every refused read is followed by a pause of the sleep time before the next read.
    const QList<FakeHidPlatform::ReadCall> calls = platform.readCalls();
    int refused = 0;
    for (int i = 0; i + 1 < calls.size(); ++i) {
        if (!calls.at(i).refused)
            continue;
        ++refused;
        QVERIFY(calls.at(i + 1).isPause);
        QCOMPARE(calls.at(i + 1).timeoutMs, sleepTime);
    }
    QVERIFY(refused >= errors);
    for (quint32 code : std::as_const(codes))
        QCOMPARE(code, quint32(0x1f));
    QCOMPARE(controller->errorText(0x1f), QStringLiteral("fake error 31"));

    if (sleepTime == 10) {
        // The reader goes on after the refusals.
        platform.refuseReads(QStringLiteral("a"), 0);
        platform.queueReport(QStringLiteral("a"), QByteArray("\x00\x01", 2));
        QVERIFY(QTest::qWaitFor([&] { return reports.size() == 1; }, 10000));
    }
    // A stop ends the pause at once; a long pause would make this wait its whole length.
    device->setDataHandler(nullptr);
    QVERIFY(!device->readerRunning());
}

void TestHidController::stopWhileReading_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("handled");
    for (const char *stop : {"clear handler", "return device", "destroy controller"}) {
        const QString name = QString::fromLatin1(stop);
        QTest::addRow("%s, reader waiting for a report", stop)
            << name << QStringLiteral("waiting") << 0;
        // The stop itself serves the pending hand-over, except for a device going away.
        QTest::addRow("%s, hand-over pending", stop)
            << name << QStringLiteral("pending")
            << (name == QStringLiteral("destroy controller") ? 0 : 1);
    }
    QTest::newRow("clear handler, handler in a nested event loop")
        << QStringLiteral("clear handler") << QStringLiteral("nested") << 1;
    QTest::newRow("return device, handler in a nested event loop")
        << QStringLiteral("return device") << QStringLiteral("nested") << 1;
}

void TestHidController::stopWhileReading()
{
    QFETCH(QString, stop);
    QFETCH(QString, where);
    QFETCH(int, handled);
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a")});
    auto controller = HidDeviceController::create(platform);
    QPointer<HidDevice> device = controller->TakeDeviceAt(0);
    QVERIFY(device);

    auto doStop = [&] {
        if (stop == QStringLiteral("clear handler"))
            device->setDataHandler(nullptr);
        else if (stop == QStringLiteral("return device"))
            QVERIFY(controller->ReturnDevice(device));
        else
            controller.reset();
    };

    int calls = 0;
    bool stoppedInside = false;
    device->setDataHandler([&](HidDevice *, quint8, const quint8 *, quint16) {
        ++calls;
        if (where == QStringLiteral("nested")) {
            QEventLoop loop;
            QTimer::singleShot(0, &loop, [&] {
                doStop();
                stoppedInside = true;
                loop.quit();
            });
            loop.exec();
        }
    });
    QVERIFY(readerWaits(platform, QStringLiteral("a")));

    if (where == QStringLiteral("waiting")) {
        doStop();
    } else if (where == QStringLiteral("pending")) {
        platform.queueReport(QStringLiteral("a"), QByteArray("\x00\x05", 2));
        QVERIFY(handOverPending(*device));
        QCOMPARE(calls, 0);
        doStop();
    } else {
        platform.queueReport(QStringLiteral("a"), QByteArray("\x00\x05", 2));
        QVERIFY(QTest::qWaitFor([&] { return stoppedInside; }, 10000));
    }
    QCOMPARE(calls, handled);
    QCOMPARE(platform.openChannels(QStringLiteral("a")), 0);
    QVERIFY(!device || !device->readerRunning());
    QTest::qWait(1);
    if (controller) {
        QCOMPARE(controller->deviceCount(), 1);
        QVERIFY(!controller->deviceAt(0)->readerRunning());
    }
}

void TestHidController::unplugDuringAStop()
{
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a"), QStringLiteral("b")});
    auto controller = HidDeviceController::create(platform);
    Recorder recorder;
    recorder.watch(*controller);
    QPointer<HidDevice> device = controller->TakeDeviceAt(0);
    // The owner returns a device it hears is gone, as the window's list does.
    controller->setOnRemoval([&](HidDevice *gone) {
        recorder.removals.append(gone->identity());
        if (gone == device)
            controller->ReturnDevice(device);
    });
    int calls = 0;
    device->setDataHandler([&](HidDevice *, quint8, const quint8 *, quint16) {
        ++calls;
        // Served by the stop below: the device vanishes and the rescan runs right here.
        platform.unplug(QStringLiteral("a"), false);
        controller->DeviceChange();
    });
    QVERIFY(readerWaits(platform, QStringLiteral("a")));
    platform.queueReport(QStringLiteral("a"), QByteArray("\x00\x05", 2));
    QVERIFY(handOverPending(*device));
    QPointer<HidDevice> held = device;
    held->setDataHandler(nullptr);
    QCOMPARE(calls, 1);
    QCOMPARE(recorder.removals, QStringList {QStringLiteral("a")});
    QVERIFY(!device);
    QCOMPARE(identities(*controller), QStringList {QStringLiteral("b")});
    QCOMPARE(platform.openChannels(QStringLiteral("a")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!held, 10000);
}

void TestHidController::unplugWhileReadingThenReplug()
{
    FakeHidPlatform platform;
    plugAll(platform, {QStringLiteral("a")});
    auto controller = HidDeviceController::create(platform);
    Recorder recorder;
    recorder.watch(*controller);
    QList<QByteArray> reports;
    QList<quint32> errors;
    controller->setOnDeviceData([&](HidDevice *, quint8 id, const quint8 *data, quint16 size) {
        reports.append(char(id) + QByteArray(reinterpret_cast<const char *>(data), size));
    });
    controller->setOnDeviceDataError([&](HidDevice *, quint32 code) { errors.append(code); });
    QVERIFY(controller->setDeviceSleepTime(10));
    QPointer<HidDevice> device = controller->TakeDeviceAt(0);
    QVERIFY(device->readerRunning());
    platform.queueReport(QStringLiteral("a"), QByteArray("\x00\x01", 2));
    QVERIFY(QTest::qWaitFor([&] { return reports.size() == 1; }, 10000));

    platform.unplug(QStringLiteral("a"));
    QVERIFY(QTest::qWaitFor([&] { return recorder.removals.size() == 1; }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return !errors.isEmpty(); }, 10000));
    QCOMPARE(errors.first(), FakeHidPlatform::goneError);
    QVERIFY(device && !device->pluggedIn());
    QCOMPARE(controller->deviceCount(), 1);
    QVERIFY(controller->ReturnDevice(device));
    QCOMPARE(controller->deviceCount(), 0);
    QCOMPARE(platform.openChannels(QStringLiteral("a")), 0);

    // Plugged in again it is a new interface on the same path.
    FakeHidPlatform::Device again = fakeDevice(QStringLiteral("a2"));
    again.path = fakeDevice(QStringLiteral("a")).path;
    platform.plug(again);
    QVERIFY(QTest::qWaitFor([&] { return recorder.arrivals.size() == 1; }, 10000));
    device = controller->TakeDeviceAt(0);
    QVERIFY(device && device->readerRunning());
    platform.queueReport(QStringLiteral("a2"), QByteArray("\x00\x02", 2));
    QVERIFY(QTest::qWaitFor([&] { return reports.size() == 2; }, 10000));
    QCOMPARE(reports.last(), QByteArray("\x00\x02", 2));
}

// The owner's pattern on every change: return all it holds, list and take everything again.
// A device that was being read gets its handler passed to its fresh object and reads on.
void TestHidController::rebuildOnChangeKeepsReadingAPassedOnHandler()
{
    FakeHidPlatform platform;
    plugAll(platform, names("a b"));
    auto controller = HidDeviceController::create(platform);
    QList<QPointer<HidDevice>> held;
    int rebuilds = 0;
    controller->setOnEnumerate([&](HidDevice *, int index) {
        held.append(controller->TakeDeviceAt(index));
        return true;
    });
    controller->setOnDeviceChange([&](HidDeviceController *) {
        ++rebuilds;
        for (QPointer<HidDevice> &device : held)
            controller->ReturnDevice(device);
        held.clear();
        controller->ListDevices();
    });
    QCOMPARE(rebuilds, 1);
    QCOMPARE(held.size(), 2);
    QList<HidDevice *> from;
    held.at(1)->setDataHandler(
        [&](HidDevice *device, quint8, const quint8 *, quint16) { from.append(device); });
    platform.queueReport(QStringLiteral("b"), QByteArray("\x00\x01", 2));
    QVERIFY(QTest::qWaitFor([&] { return from.size() == 1; }, 10000));

    platform.plug(fakeDevice(QStringLiteral("c")));
    QVERIFY(QTest::qWaitFor([&] { return rebuilds == 2; }, 10000));
    QCOMPARE(held.size(), 3);
    QVERIFY(held.at(1) && held.at(1) != from.first());
    QVERIFY(held.at(1)->readerRunning());
    QVERIFY(!held.at(0)->readerRunning());
    platform.queueReport(QStringLiteral("b"), QByteArray("\x00\x02", 2));
    QVERIFY(QTest::qWaitFor([&] { return from.size() == 2; }, 10000));
    QCOMPARE(from.last(), held.at(1).data());
    QCOMPARE(platform.openChannels(QStringLiteral("b")), 1);
}

QTEST_GUILESS_MAIN(TestHidController)
#include "tst_hidcontroller.moc"
