#include "links/HidCableLink.h"
#include "links/LinkWatchdog.h"
#include "links/SerialLink.h"
#include "links/hid/HidDeviceController.h"
#include "meter/MeterDisplay.h"
#include "support/TestWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The HID cable link in the real window, over a scripted HID system.
class TestHidLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listSelectsTheCable_data();
    void listSelectsTheCable();
    void reportsBecomeOneFrame();
    void emptyListSaysSoOnce();
    void silentMeterStopsTheLink();
    void repeatedReadErrorsShareOneLine();
    void readingGoesOnAfterAnotherDeviceChanges();
    void goneCableRaisesTheButton();
    void logsKeepTheirNewestLines();
    void serialButtonStopsTheReading();
    void noAccessSaysWhatHelps();
    void readButtonReadsTheOtherFamily();
};

namespace {

FakeHidPlatform::Device device(const QString &identity, const QString &product,
                               const QString &serial = {})
{
    FakeHidPlatform::Device d;
    d.path = u"/dev/hidraw-"_qs + identity;
    d.identity = identity;
    d.product = product;
    d.serial = serial;
    return d;
}

QStringList texts(const QListWidget *list)
{
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    return all;
}

QByteArray report(std::initializer_list<int> bytes)
{
    QByteArray r;
    r.append('\0'); // report identifier
    for (int b : bytes)
        r.append(char(b));
    return r;
}

struct Window
{
    TestWindow t;
    QListWidget *devices = t.find<QListWidget>(u"DevListBox"_qs);
    QListWidget *history = t.find<QListWidget>(u"HistoryListBox"_qs);
    QPushButton *usbCon = t.find<QPushButton>(u"USBCon"_qs);
    QPlainTextEdit *memo1 = t.find<QPlainTextEdit>(u"Memo1"_qs);
    QPlainTextEdit *memo2 = t.find<QPlainTextEdit>(u"Memo2"_qs);

    Window() { t.find<QTimer>(u"ConTimer"_qs)->stop(); } // the tests tick the watchdog

    // Plugs the devices in and waits for the rebuilt list.
    bool plug(const QList<FakeHidPlatform::Device> &all)
    {
        for (const FakeHidPlatform::Device &d : all)
            t.hid.plug(d);
        return QTest::qWaitFor([&] { return devices->count() == all.size(); }, 5000);
    }
    HidCableLink &link() { return t.window->hidLink(); }
};

} // namespace

void TestHidLink::listSelectsTheCable_data()
{
    QTest::addColumn<QStringList>("products");
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<int>("selected");

    QTest::newRow("the cable among others")
        << QStringList {u"Keyboard"_qs, u"USB to Serial"_qs, QString()}
        << QStringList {QString(), QString(), QString()} << 1;
    QTest::newRow("two cables: the later one")
        << QStringList {u"USB to Serial"_qs, u"USB to Serial"_qs}
        << QStringList {QString(), QString()} << 1;
    QTest::newRow("a cable with a serial number is not the cable")
        << QStringList {u"USB to Serial"_qs} << QStringList {u"0001"_qs} << -1;
    QTest::newRow("no cable") << QStringList {u"Mouse"_qs} << QStringList {QString()} << -1;
}

void TestHidLink::listSelectsTheCable()
{
    QFETCH(QStringList, products);
    QFETCH(QStringList, serials);
    QFETCH(int, selected);

    Window w;
    QList<FakeHidPlatform::Device> all;
    for (int i = 0; i < products.size(); ++i)
        all << device(QString::number(i), products[i], serials[i]);
    QVERIFY(w.plug(all));

    QStringList expected;
    for (int i = 0; i < products.size(); ++i) {
        QString text = products[i].isEmpty() ? u"Device VID=10C4 PID=EA80"_qs : products[i];
        if (!serials[i].isEmpty())
            text += u" (Serial="_qs + serials[i] + u')';
        expected << text;
    }
    QCOMPARE(texts(w.devices), expected);
    const QList<QListWidgetItem *> chosen = w.devices->selectedItems();
    QCOMPARE(chosen.isEmpty() ? -1 : w.devices->row(chosen.first()), selected);
    // Every device is listed and taken, not only the cable.
    QTRY_COMPARE(w.history->count(), products.size());
    QVERIFY(w.history->item(0)->text().startsWith(u"Arrival of Device VID=10C4 PID=EA80"_qs));
}

void TestHidLink::reportsBecomeOneFrame()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    w.history->clear();
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    QVERIFY(w.usbCon->isChecked());
    QCOMPARE(w.t.hid.featureReportsSent(u"cable"_qs),
             QList<QByteArray> {QByteArray("\x00\x80\x25\x00\x00\x03\x00\x00\x00\x00", 10)});
    QCOMPARE(texts(w.history), QStringList {u"80 25 00 00 03 00 00 00 00 "_qs});

    const int shown = w.t.window->display().framesShown();
    for (const QByteArray &r : {report({0xF3, 0x41, 0x42, 0x43}), report({0xF3, 0x44, 0x45, 0x46}),
                                report({0xF3, 0x47, 0x48, 0x49}), report({0xF2, 0x4A, 0x4B}),
                                report({0xF2, 0x0D, 0x0A}), report({0xF0})})
        w.t.hid.queueReport(u"cable"_qs, r);
    QTRY_COMPARE(w.memo1->toPlainText(), u"123456789ABDA"_qs);
    QCOMPARE(w.memo2->toPlainText(), u"4142434445464748494A4B0D0A"_qs);
    QCOMPARE(w.history->count(), 6);
    QCOMPARE(w.history->item(1)->text(), u"R 00  F3 41 42 43 "_qs);
    QCOMPARE(w.history->item(5)->text(), u"R 00  F2 0D 0A "_qs);
    QCOMPARE(w.t.window->display().framesShown(), shown + 1);
    QCOMPARE(w.t.window->state().ReadingFrame, u"A123456789ABD"_qs);
    QVERIFY(w.link().burst().hidByteText().isEmpty());
    QVERIFY(!w.link().burst().hidBurstOpen());

    // A report without bytes and no burst open only counts.
    w.t.hid.queueReport(u"cable"_qs, report({0xF0}));
    QTRY_COMPARE(w.link().burst().hidIdleReports(), 2);
    QCOMPARE(w.history->count(), 6);
    QCOMPARE(w.t.window->display().framesShown(), shown + 1);
}

void TestHidLink::emptyListSaysSoOnce()
{
    Window w;
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    QCOMPARE(w.t.prompts.texts(u"information"_qs),
             QStringList {
                 u"USB interface cable is not securely connected, please check and re-try."_qs});
    QVERIFY(!w.usbCon->isChecked());
}

void TestHidLink::silentMeterStopsTheLink()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    for (int i = 0; i < HidCableLink::IdleReportLimit; ++i)
        w.t.hid.queueReport(u"cable"_qs, report({0xF0}));
    QTRY_COMPARE_WITH_TIMEOUT(w.link().burst().hidIdleReports(), HidCableLink::IdleReportLimit,
                              20000);
    LinkWatchdog &watchdog = w.t.window->watchdog();
    for (int i = 0; i < 3; ++i)
        watchdog.ConTimerTimer();
    QCOMPARE(
        w.t.prompts.texts(u"information"_qs),
        QStringList {
            u"USB interface cable is securely connected, please check if the meter is ready."_qs});
    QVERIFY(!w.usbCon->isChecked());
    QCOMPARE(w.link().burst().hidIdleReports(), 0);
    QVERIFY(!w.link().currentDevice()->readerRunning());
}

void TestHidLink::repeatedReadErrorsShareOneLine()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    w.history->clear();
    w.t.hid.refuseReads(u"cable"_qs, 0x1F);
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    QTRY_VERIFY(w.history->count() >= 2
                && w.history->item(w.history->count() - 1)->text().contains(u"\u00D73"_qs));
    // The speed report's line, then one line for every refusal.
    QCOMPARE(w.history->count(), 2);
    QVERIFY(w.history->item(1)->text().startsWith(u"READ ERROR: fake error 31 (1F)"_qs));
    // Not in a tight loop: the reader waits between refused reads.
    QVERIFY(w.t.hid.refusedReads(u"cable"_qs) < 200);
    w.t.hid.refuseReads(u"cable"_qs, 0);
}

void TestHidLink::readingGoesOnAfterAnotherDeviceChanges()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs), device(u"kb"_qs, u"Keyboard"_qs)}));
    QTRY_VERIFY(w.link().currentDevice() && w.link().currentDevice()->readerRunning());
    QVERIFY(w.usbCon->isChecked());
    for (const QByteArray &r : {report({0xF3, 0x30, 0x30, 0x30}), report({0xF3, 0x31, 0x32, 0x33}),
                                report({0xF3, 0x34, 0x30, 0x30}), report({0xF2, 0x31, 0x30}),
                                report({0xF2, 0x0D, 0x0A}), report({0xF0})})
        w.t.hid.queueReport(u"cable"_qs, r);
    QTRY_COMPARE(w.t.window->state().ReadingFrame, u"A00012340010D"_qs);
    QCOMPARE(w.t.window->state().reading.valueText, u"1.234"_qs);
}

void TestHidLink::goneCableRaisesTheButton()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    QVERIFY(w.usbCon->isChecked());
    w.t.hid.unplug(u"cable"_qs);
    QTRY_COMPARE(w.devices->count(), 0);
    QVERIFY(!w.usbCon->isChecked());
    QVERIFY(texts(w.history).contains(u"Removal of USB to Serial"_qs));
}

void TestHidLink::logsKeepTheirNewestLines()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    HidCableLink &link = w.link();
    for (int i = 0; i < HidCableLink::MaxLogLines + 5; ++i) {
        const quint8 data[] = {0xF1, quint8(i)};
        link.HidReportToFrame(nullptr, 0, data, 2);
        const quint8 end[] = {0xF0};
        link.HidReportToFrame(nullptr, 0, end, 1);
    }
    QCOMPARE(w.history->count(), HidCableLink::MaxLogLines);
    QCOMPARE(w.memo1->blockCount(), HidCableLink::MaxLogLines);
    QCOMPARE(w.memo2->blockCount(), HidCableLink::MaxLogLines);
    QCOMPARE(w.history->item(w.history->count() - 1)->text(),
             QString(u"R 00  F1 "_qs
                     + QString::number((HidCableLink::MaxLogLines + 4) % 256, 16)
                           .toUpper()
                           .rightJustified(2, u'0')
                     + u' '));
}

void TestHidLink::serialButtonStopsTheReading()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    QVERIFY(w.link().isRunning());
    // "COM Connect" raises "USB Connect" and the HID cable is read no more.
    QTest::mouseClick(w.t.find<QPushButton>(u"COMCon"_qs), Qt::LeftButton);
    QVERIFY(!w.usbCon->isChecked());
    QVERIFY(!w.link().isRunning());
    QTRY_VERIFY(!w.link().currentDevice() || !w.link().currentDevice()->readerRunning());
}

void TestHidLink::noAccessSaysWhatHelps()
{
    Window w;
    FakeHidPlatform::Device cable = device(u"cable"_qs, u"USB to Serial"_qs);
    cable.readWrite = false;
    QVERIFY(w.plug({cable}));
    w.history->clear();
    QTest::mouseClick(w.usbCon, Qt::LeftButton);
    QVERIFY(!w.usbCon->isChecked());
    QVERIFY(w.t.prompts.texts(u"information"_qs).isEmpty());
    const QString last = w.history->item(w.history->count() - 1)->text();
    QVERIFY2(last.startsWith(u"Cannot open USB to Serial (/dev/hidraw-cable)"_qs),
             qPrintable(last));
    QVERIFY(last.contains(u"70-meterlink-hid.rules"_qs));
}

void TestHidLink::readButtonReadsTheOtherFamily()
{
    Window w;
    QVERIFY(w.plug({device(u"cable"_qs, u"USB to Serial"_qs)}));
    auto *read = w.t.find<QPushButton>(u"ReadBtn"_qs);
    QTest::mouseClick(read, Qt::LeftButton);
    QVERIFY(read->isChecked());
    QVERIFY(w.link().isRunning());
    const int shown = w.t.window->display().framesShown();
    // Fourteen bytes whose high digits read 1 to E: echoed, and shown nowhere.
    w.t.hid.queueReport(u"cable"_qs, report({0xF7, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}));
    w.t.hid.queueReport(u"cable"_qs, report({0xF7, 0x88, 0x99, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4}));
    w.t.hid.queueReport(u"cable"_qs, report({0xF0}));
    QTRY_COMPARE(w.t.find<QLabel>(u"USBtxt"_qs)->text(), u"12345678901234"_qs);
    QCOMPARE(w.t.window->display().framesShown(), shown);
    QVERIFY(w.memo1->toPlainText().isEmpty());
    // Released, the device is read no more.
    QTest::mouseClick(read, Qt::LeftButton);
    QVERIFY(!w.link().isRunning());
}

QTEST_MAIN(TestHidLink)
#include "tst_hidlink.moc"
