#include "Pty.h"
#include "links/CableLink.h"
#include "links/LinkWatchdog.h"
#include "links/SerialLink.h"
#include "meter/BarGraph.h"
#include "meter/MeterDisplay.h"
#include "recording/ReadingRecorder.h"
#include "recording/ReadingTable.h"
#include "support/ErrorReport.h"
#include "support/MeterBytes.h"
#include "support/TestWindow.h"
#include "support/WindowProbe.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

// The serial link in the real window, fed through a real pseudo-terminal.
class TestSerialLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectAndDisconnect();
    void hiddenConnectCommands();
    void readingsReachTheDisplay_data();
    void readingsReachTheDisplay();
    void framesOfOneReadAreRecordedTogether();
    void unopenablePortIsReported();
    void watchdogShowsSilence();
    void vanishedDeviceIsReopenedByItself();
    void conversionFailureIsReportedOnceAndTheNextFrameDecodes();
    void otherProfilesInstallTheirHandlers();
    void anotherLinksButtonStopsTheRunningLinkFirst();
    void watchdogAsksTheRunningLinkOnSilence();
};

namespace {

QByteArray reading(const char *nibbles)
{
    return meterReading(nibbles);
}

// A link that only says whether it runs and counts what the watchdog asks of it.
class CountingLink : public CableLink
{
public:
    bool running = false;
    int silenceTicks = 0;
    int stops = 0;
    bool isRunning() const override { return running; }
    void stop() override
    {
        running = false;
        ++stops;
    }
    void silenceTick() override { ++silenceTicks; }
};

} // namespace

void TestSerialLink::connectAndDisconnect()
{
    Pty pty;
    TestWindow t;
    t.portNames.setOverride(1, pty.slavePath());
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *con = t.find<QPushButton>(u"COMCon"_qs);
    SerialPortDriver &driver = t.window->serialLink().COMM2();

    QTest::mouseClick(con, Qt::LeftButton);
    QVERIFY(con->isChecked());
    QVERIFY(driver.IsOpen());
    QVERIFY(t.prompts.shown.isEmpty());
    QVERIFY(!t.find<QWidget>(u"BtCOM1"_qs)->isEnabled());
    QVERIFY(!t.find<QMenu>(u"ComSetup1"_qs)->isEnabled());
    QVERIFY(t.find<QAction>(u"START1"_qs)->isChecked());
    QVERIFY(!t.find<QAction>(u"START1"_qs)->isEnabled());
    QVERIFY(t.find<QAction>(u"STOP1"_qs)->isEnabled());
    QVERIFY(t.find<QWidget>(u"BtDiscon"_qs)->isVisibleTo(t.window->centralWidget()));
    // The port cannot change while open.
    t.find<QAction>(u"COM31"_qs)->trigger();
    QCOMPARE(driver.Port(), SerialPortDriver::PortCOM1);
    t.find<QAction>(u"COM11"_qs)->setChecked(true);

    QTest::mouseClick(con, Qt::LeftButton);
    QVERIFY(!con->isChecked());
    QVERIFY(!driver.IsOpen());
    QVERIFY(t.find<QWidget>(u"BtCOM1"_qs)->isEnabled());
    QVERIFY(t.find<QMenu>(u"ComSetup1"_qs)->isEnabled());
    QVERIFY(!t.find<QAction>(u"START1"_qs)->isChecked());
    QVERIFY(!t.find<QAction>(u"STOP1"_qs)->isEnabled());
    QVERIFY(t.find<QWidget>(u"BTCon"_qs)->isVisibleTo(t.window->centralWidget()));
    QCOMPARE(t.window->serialLink().portNumber(), 1);
}

void TestSerialLink::hiddenConnectCommands()
{
    Pty pty;
    TestWindow t;
    t.portNames.setOverride(1, pty.slavePath());
    auto *con = t.find<QPushButton>(u"COMCon"_qs);
    auto *usb = t.find<QPushButton>(u"USB"_qs);
    usb->setChecked(true);
    t.find<QAction>(u"START1"_qs)->trigger();
    QVERIFY(con->isChecked());
    QVERIFY(!usb->isChecked()); // one toggle of the group down at a time
    QVERIFY(t.window->serialLink().COMM2().IsOpen());
    t.find<QAction>(u"STOP1"_qs)->trigger();
    QVERIFY(!con->isChecked());
    QVERIFY(!t.window->serialLink().COMM2().IsOpen());
}

void TestSerialLink::readingsReachTheDisplay_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<QString>("valueText");

    // The stream starts mid-reading: the first, partial frame is dropped.
    QTest::newRow("DC volts") << QByteArray("340010\r\n") + reading("00012340010") << u"1234"_qs
                              << 12 << 40 << u"1.234"_qs;
    QTest::newRow("ohms, overload")
        << reading("20100000100") << u"  0@  "_qs << 40 << 40 << u"0.@"_qs;
    QTest::newRow("temperature") << reading("11000250001") + reading("11000250000") << u"0025"_qs
                                 << 1 << 10 << u"0025"_qs;
    QTest::newRow("capacitance") << reading("22112340000") << u"1234"_qs << 12 << 100
                                 << u"123.4"_qs;
    QTest::newRow("open input") << reading("11000000001") << u"open"_qs << 0 << 10 << QString();
}

void TestSerialLink::readingsReachTheDisplay()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, digits);
    QFETCH(int, bar);
    QFETCH(int, barMaximum);
    QFETCH(QString, valueText);

    Pty pty;
    TestWindow t;
    t.portNames.setOverride(1, pty.slavePath());
    QTest::mouseClick(t.find<QPushButton>(u"COMCon"_qs), Qt::LeftButton);
    QVERIFY(pty.write("\n" + stream));
    QVERIFY(QTest::qWaitFor([&] { return ::digits(t) == digits; }, 5000));
    QCOMPARE(t.window->display().barPosition(), bar);
    QCOMPARE(t.find<BarGraph>(u"PBar2"_qs)->maximum(), barMaximum);
    if (!valueText.isNull())
        QCOMPARE(t.window->state().reading.valueText, valueText);
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestSerialLink::framesOfOneReadAreRecordedTogether()
{
    // Frames that one read of the port brings all become rows, and the grid ends on the newest,
    // as when they come one by one.
    Pty pty;
    TestWindow t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    t.portNames.setOverride(1, pty.slavePath());
    QTest::mouseClick(t.find<QPushButton>(u"COMCon"_qs), Qt::LeftButton);
    auto *grid = t.find<QTableView>(u"DBGrid1"_qs);
    const ReadingTable &table = t.window->recorder().table();
    const auto newestShown = [&] {
        const QModelIndex newest = grid->model()->index(grid->model()->rowCount() - 1, 0);
        return grid->model()->rowCount() == table.rowCount() && grid->currentIndex() == newest
            && grid->viewport()->rect().contains(grid->visualRect(newest))
            && grid->verticalScrollBar()->value() == grid->verticalScrollBar()->maximum();
    };
    QByteArray frames = "\n";
    for (int i = 0; i < 30; ++i)
        frames += reading(i % 2 ? "00012340010" : "00043210010");
    QVERIFY(pty.write(frames));
    QVERIFY(QTest::qWaitFor([&] { return table.rowCount() == 30; }, 5000));
    QVERIFY(newestShown());
    QCOMPARE(table.row(29).value, u"1.234"_qs);
    QVERIFY(pty.write(reading("00043210010")));
    QVERIFY(QTest::qWaitFor([&] { return table.rowCount() == 31; }, 5000));
    QVERIFY(newestShown());
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestSerialLink::unopenablePortIsReported()
{
    TestWindow t;
    t.portNames.setOverride(1, u"/dev/ttyMeterLinkGone"_qs);
    auto *con = t.find<QPushButton>(u"COMCon"_qs);
    QTest::mouseClick(con, Qt::LeftButton);
    const QStringList boxes = t.prompts.texts(u"information"_qs);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].contains(u"COM 1"_qs));
    QVERIFY(boxes[0].contains(u"/dev/ttyMeterLinkGone"_qs));
    QVERIFY(!con->isChecked());
    QVERIFY(t.find<QWidget>(u"BtCOM1"_qs)->isEnabled());
    QVERIFY(t.find<QMenu>(u"ComSetup1"_qs)->isEnabled());
    QVERIFY(!t.window->serialLink().waitingForDevice());
}

void TestSerialLink::watchdogShowsSilence()
{
    TestWindow t;
    LinkWatchdog &watchdog = t.window->watchdog();
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    t.find<QTimer>(u"ConTimer"_qs)->stop(); // the test ticks it
    QVERIFY(visible(t, u"conokn"_qs));

    QVERIFY(!t.showFrame(u"A00012340010D"_qs));
    QVERIFY(visible(t, u"conok"_qs));
    QVERIFY(!visible(t, u"conokn"_qs));
    watchdog.ConTimerTimer();
    watchdog.ConTimerTimer();
    QVERIFY(visible(t, u"conok"_qs));
    watchdog.ConTimerTimer(); // the third silent tick
    QVERIFY(!visible(t, u"conok"_qs));
    QVERIFY(visible(t, u"conokn"_qs));
    QCOMPARE(t.window->state().LinkSilenceCount, 0);

    // Frames closer than the watchdog's three ticks keep the picture steady.
    for (int i = 0; i < 10; ++i) {
        QVERIFY(!t.showFrame(u"A00012340010D"_qs));
        watchdog.ConTimerTimer();
        watchdog.ConTimerTimer();
        QVERIFY(visible(t, u"conok"_qs));
    }
}

void TestSerialLink::vanishedDeviceIsReopenedByItself()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"meter"_qs);
    auto first = std::make_unique<Pty>();
    QVERIFY(QFile::link(first->slavePath(), link));

    TestWindow t;
    t.portNames.setOverride(1, link);
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *con = t.find<QPushButton>(u"COMCon"_qs);
    QTest::mouseClick(con, Qt::LeftButton);
    QVERIFY(first->write("\n" + reading("00012340010")));
    QVERIFY(QTest::qWaitFor([&] { return digits(t) == u"1234"_qs; }, 5000));
    QVERIFY(visible(t, u"conok"_qs));

    first.reset(); // unplugged
    // Gone with its name: a new pseudo-terminal elsewhere may take over the old one's number.
    QVERIFY(QFile::remove(link));
    QVERIFY(QTest::qWaitFor([&] { return visible(t, u"conokn"_qs); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return t.window->serialLink().waitingForDevice(); }, 5000));
    QVERIFY(con->isChecked());
    QVERIFY(!t.window->serialLink().COMM2().IsOpen());
    QVERIFY(t.prompts.shown.isEmpty()); // no box, no storm
    QVERIFY(!t.find<QWidget>(u"BtCOM1"_qs)->isEnabled());

    Pty second; // plugged in again, under the same name
    QVERIFY(QFile::link(second.slavePath(), link));
    QVERIFY(QTest::qWaitFor([&] { return t.window->serialLink().COMM2().IsOpen(); }, 5000));
    QVERIFY(second.write("\n" + reading("00043210010")));
    QVERIFY(QTest::qWaitFor([&] { return digits(t) == u"4321"_qs; }, 5000));
    QVERIFY(visible(t, u"conok"_qs));
    QVERIFY(!t.window->serialLink().waitingForDevice());
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestSerialLink::conversionFailureIsReportedOnceAndTheNextFrameDecodes()
{
    TestWindow t;
    SerialLink &link = t.window->serialLink();
    const QByteArray more = reading("A0012340010") + reading("1B012340010");
    const QByteArray bad = "\n" + more;
    // While the first box is open, more failures arrive; none of them stacks a second box.
    t.prompts.whileNextBoxIsOpen = [&] {
        link.GostelData(nullptr, more.constData(), int(more.size()));
        QCoreApplication::processEvents();
    };
    link.GostelData(nullptr, bad.constData(), int(bad.size()));
    QTRY_COMPARE(t.prompts.texts(u"applicationError"_qs),
                 QStringList {u"'A' is not a valid integer value"_qs});
    QTest::qWait(50);
    QCOMPARE(t.prompts.shown.size(), 1);
    QCOMPARE(t.window->errorReport().suppressed(), 3);

    // The failing frames ended their frames: the next one decodes as if nothing happened.
    const QByteArray good = reading("00012340010");
    link.GostelData(nullptr, good.constData(), int(good.size()));
    QCOMPARE(t.window->state().reading.valueText, u"1.234"_qs);
    QCOMPARE(digits(t), u"1234"_qs);

    // Once the box is closed, a new failure is reported again.
    const QByteArray again = reading("A0012340010");
    link.GostelData(nullptr, again.constData(), int(again.size()));
    QTRY_COMPARE(t.prompts.texts(u"applicationError"_qs).size(), 2);
}

void TestSerialLink::otherProfilesInstallTheirHandlers()
{
    // The other families' frames are received, echoed and checked; their decoder shows nothing.
    ModelSwitches sennick;
    sennick.Brimlow = false;
    sennick.IFSennick = true;
    TestWindow t(sennick);
    SerialLink &link = t.window->serialLink();
    QVERIFY(link.COMM2().hasReceiveHandler());
    const QByteArray stream("\x0A\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0D", 11);
    link.NestrelData(nullptr, stream.constData(), int(stream.size()));
    QCOMPARE(t.find<QLabel>(u"USBtxt"_qs)->text(), u"123456789DA"_qs);
    QCOMPARE(t.window->state().ReadingFrame, u"123456789DA"_qs);
    QCOMPARE(t.window->display().framesShown(), 0);
    QCOMPARE(t.window->recorder().table().rowCount(), 0);

    const QByteArray ferrant("\x0A\x01\x02\x03\x04\x05\x06\x07\x08\x09\x00\x01\x02\x0D", 14);
    link.FerrantDATA(nullptr, ferrant.constData(), int(ferrant.size()));
    QCOMPARE(t.find<QLabel>(u"USBtxt"_qs)->text(), u"A123456789012D"_qs);
    QCOMPARE(t.window->display().framesShown(), 0);

    TestWindow brimlow;
    QVERIFY(brimlow.window->serialLink().COMM2().hasReceiveHandler());
}

void TestSerialLink::anotherLinksButtonStopsTheRunningLinkFirst()
{
    Pty pty;
    TestWindow t;
    t.portNames.setOverride(1, pty.slavePath());
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *con = t.find<QPushButton>(u"COMCon"_qs);
    auto *usb = t.find<QPushButton>(u"USB"_qs);
    SerialPortDriver &driver = t.window->serialLink().COMM2();

    QTest::mouseClick(con, Qt::LeftButton);
    QVERIFY(driver.IsOpen());
    QVERIFY(pty.write("\n" + reading("00012340010")));
    QVERIFY(QTest::qWaitFor([&] { return digits(t) == u"1234"_qs; }, 5000));

    // "USB Connect " while the serial link runs: the serial link goes down with its own steps,
    // so no readings come from it and the buttons show that nothing runs (here the bridge's
    // library is missing, so the bridge link says so and does not stay down either).
    qputenv("METERLINK_SIUSBXP", "/nonexistent/libSiUSBXp.so");
    QTest::mouseClick(usb, Qt::LeftButton);
    qunsetenv("METERLINK_SIUSBXP");
    QCOMPARE(t.prompts.shown.size(), 1);
    QCOMPARE(t.prompts.shown.front().kind, u"information"_qs);
    t.prompts.shown.clear();
    QVERIFY(!driver.IsOpen());
    QVERIFY(!con->isChecked());
    QVERIFY(!usb->isChecked());
    QVERIFY(t.find<QWidget>(u"BTCon"_qs)->isVisibleTo(t.window->centralWidget()));
    QVERIFY(t.find<QWidget>(u"BtCOM1"_qs)->isEnabled());
    QVERIFY(t.find<QMenu>(u"ComSetup1"_qs)->isEnabled());
    QVERIFY(!t.find<QAction>(u"START1"_qs)->isChecked());
    QVERIFY(pty.write(reading("00043210010")));
    QTest::qWait(200);
    QCOMPARE(digits(t), u"1234"_qs);

    // One click starts the serial link again.
    QTest::mouseClick(con, Qt::LeftButton);
    QVERIFY(con->isChecked());
    QVERIFY(driver.IsOpen());
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestSerialLink::watchdogAsksTheRunningLinkOnSilence()
{
    QLabel conok;
    QLabel conokn;
    LinkState state;
    LinkSet links;
    CountingLink idle;
    CountingLink running;
    running.running = true;
    links.add(&idle);
    links.add(&running);
    LinkWatchdog watchdog({&conok, &conokn}, state, links);

    for (int tick = 0; tick < 9; ++tick)
        watchdog.ConTimerTimer();
    QCOMPARE(running.silenceTicks, 3); // every third silent tick
    QCOMPARE(idle.silenceTicks, 0);
    watchdog.frameArrived();
    watchdog.ConTimerTimer();
    watchdog.ConTimerTimer();
    QCOMPARE(running.silenceTicks, 3);

    // Starting one link stops the others that run; exit takes every link down in one call.
    links.starting(&idle);
    QCOMPARE(running.stops, 1);
    QCOMPARE(idle.stops, 0);
    running.running = true;
    links.takeDownAll();
    QCOMPARE(running.stops, 2);
    QCOMPARE(idle.stops, 0);
    QCOMPARE(links.active(), nullptr);
}

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
