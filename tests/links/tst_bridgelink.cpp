#include "app/ExitCommand.h"
#include "links/BridgeLink.h"
#include "support/FakeSi.h"
#include "support/TestWindow.h"
#include "support/WindowProbe.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

// "USB Connect " in the real window, over the stand-in bridge library loaded by the real loader.
class TestBridgeLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_fake.load(); }
    void init() { m_fake.use(); }
    void cleanup() { qunsetenv(BridgeLibrary::EnvironmentVariable); }
    void readingsReachTheDisplay();
    void refusals_data();
    void refusals();
    void windowRunsWhileAReadWaits();
    void exitWhileAReadIsBlocked();
    void silentBridgeShowsNotConnected();

private:
    FakeSi m_fake {FAKE_SIUSBXP};
};

namespace {

struct Window
{
    TestWindow t;
    QPushButton *usb = t.find<QPushButton>(u"USB"_qs);
    QPlainTextEdit *memo3 = t.find<QPlainTextEdit>(u"Memo3"_qs);
    QTimer *timer1 = t.find<QTimer>(u"Timer1"_qs);

    Window() { t.find<QTimer>(u"ConTimer"_qs)->stop(); } // only the link moves the pictures

    bool visible(const char16_t *name)
    {
        return t.find<QLabel>(QString::fromUtf16(name))->isVisibleTo(t.window->centralWidget());
    }
};

} // namespace

void TestBridgeLink::readingsReachTheDisplay()
{
    Window w;
    QCOMPARE(w.memo3->toPlainText(), u"Memo3"_qs);
    m_fake.queueText("00012340010\r\n");
    QTest::mouseClick(w.usb, Qt::LeftButton);
    QVERIFY(w.usb->isChecked());
    QVERIFY(w.timer1->isActive());
    QTRY_COMPARE(digits(w.t), u"1234"_qs);
    QVERIFY(w.visible(u"conok"));

    // The next reading, after bytes out of step.
    m_fake.queueText("9\n"
                     "00000000000" // the thirteenth byte stored: in step again
                     "00012350010\r\n");
    QTRY_COMPARE(digits(w.t), u"1235"_qs);

    QTest::mouseClick(w.usb, Qt::LeftButton);
    QVERIFY(!w.usb->isChecked());
    QVERIFY(!w.timer1->isActive());
    QCOMPARE(w.memo3->toPlainText(), BridgeLink::stopText());
    QTRY_COMPARE(m_fake.callLog().last(), u"SI_Close"_qs);
    QCOMPARE(m_fake.errors(), QStringList {});
    QVERIFY(w.t.prompts.shown.isEmpty());

    // The test list beside it: "updatedevice" empties it.
    auto *devices = w.t.find<QComboBox>(u"cmbDevice"_qs);
    devices->addItems({u"a"_qs, u"b"_qs});
    QTest::mouseClick(w.t.find<QPushButton>(u"updatedevice"_qs), Qt::LeftButton);
    QCOMPARE(devices->count(), 0);
}

void TestBridgeLink::refusals_data()
{
    QTest::addColumn<QByteArray>("library");
    QTest::addColumn<int>("devices");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("closed");

    const QByteArray fake(FAKE_SIUSBXP);
    QTest::newRow("no library") << QByteArray("/nonexistent/libSiUSBXp.so") << 1 << QString()
                                << u"METERLINK_SIUSBXP"_qs << false;
    QTest::newRow("no bridge") << fake << 0 << QString() << u"No USB bridge cable is plugged in."_qs
                               << false;
    QTest::newRow("two bridges") << fake << 2 << QString()
                                 << u"2 USB bridge cables are plugged in; unplug all but one."_qs
                                 << false;
    QTest::newRow("open refused") << fake << 1 << u"SI_Open"_qs
                                  << u"The USB bridge cable could not be opened (status 9)."_qs
                                  << true;
    QTest::newRow("speed refused")
        << fake << 1 << u"SI_SetBaudRate"_qs
        << u"The USB bridge cable did not take 9600 bit/s (status 9)."_qs << true;
}

void TestBridgeLink::refusals()
{
    QFETCH(QByteArray, library);
    QFETCH(int, devices);
    QFETCH(QString, failing);
    QFETCH(QString, message);
    QFETCH(bool, closed);

    qputenv(BridgeLibrary::EnvironmentVariable, library);
    m_fake.setDeviceCount(std::uint32_t(devices));
    if (!failing.isEmpty())
        QVERIFY(m_fake.setStatus(failing.toLatin1().constData(), 9));
    Window w;
    QTest::mouseClick(w.usb, Qt::LeftButton);
    // One box that says which, and the button up again as after a release.
    QTRY_COMPARE(w.t.prompts.shown.size(), 1);
    QCOMPARE(w.t.prompts.shown.front().kind, u"information"_qs);
    QVERIFY2(w.t.prompts.shown.front().text.contains(message),
             qPrintable(w.t.prompts.shown.front().text));
    QVERIFY(!w.usb->isChecked());
    QVERIFY(!w.timer1->isActive());
    QCOMPARE(w.memo3->toPlainText(), BridgeLink::stopText());
    // The close after an open that was tried, and no read at all.
    if (closed)
        QTRY_COMPARE(m_fake.callLog().last(), u"SI_Close"_qs);
    QTest::qWait(30);
    QCOMPARE(m_fake.callLog().contains(u"SI_Close"_qs), closed);
    QVERIFY(!m_fake.callLog().contains(u"SI_Read 1"_qs));
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgeLink::windowRunsWhileAReadWaits()
{
    Window w;
    m_fake.queueRead(0, 0x22, 0, true); // a read that fails in the end, so the buffer stays empty
    QTest::mouseClick(w.usb, Qt::LeftButton);
    m_fake.waitForBlockedRead();

    // The library holds the read for as long as it likes; the window goes on meanwhile.
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    QTRY_VERIFY(ran);
    QTest::mouseClick(w.usb, Qt::LeftButton);
    QVERIFY(!w.usb->isChecked());
    QCOMPARE(w.memo3->toPlainText(), BridgeLink::stopText());
    QVERIFY(!m_fake.callLog().contains(u"SI_Close"_qs));

    // The close waits for the read to come back; nothing is read after it.
    m_fake.releaseRead();
    QTRY_COMPARE(m_fake.callLog().last(), u"SI_Close"_qs);
    // Started again at once: the open follows the close.
    m_fake.queueText("00012340010\r\n");
    QTest::mouseClick(w.usb, Qt::LeftButton);
    QTRY_COMPARE(digits(w.t), u"1234"_qs);
    QTest::mouseClick(w.usb, Qt::LeftButton);
    QTRY_COMPARE(m_fake.callLog().count(u"SI_Close"_qs), 2);
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgeLink::exitWhileAReadIsBlocked()
{
    Window w;
    m_fake.queueByte('0', true);
    QTest::mouseClick(w.usb, Qt::LeftButton);
    m_fake.waitForBlockedRead();

    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_fake.releaseRead();
    });
    w.t.prompts.questionAnswers = {true};
    w.t.find<QAction>(u"EXIT1"_qs)->trigger();
    releaser.join();
    QCOMPARE(w.memo3->toPlainText(), BridgeLink::stopText());
    QVERIFY(!w.timer1->isActive());
    // The exit waited for the read, then closed: one close, nothing after it.
    const QStringList log = m_fake.callLog();
    QCOMPARE(log.last(), u"SI_Close"_qs);
    QCOMPARE(log.count(u"SI_Close"_qs), 1);
    QCOMPARE(m_fake.errors(), QStringList {});
}

void TestBridgeLink::silentBridgeShowsNotConnected()
{
    Window w;
    m_fake.queueText("00012340010\r\n");
    QTest::mouseClick(w.usb, Qt::LeftButton);
    QTRY_COMPARE(digits(w.t), u"1234"_qs);
    QVERIFY(w.visible(u"conok"));

    // Every read fails from now on: after a few seconds the link says the cable is silent.
    QTRY_VERIFY_WITH_TIMEOUT(w.visible(u"conokn"), 10000);
    QVERIFY(!w.visible(u"conok"));
    QVERIFY(w.usb->isChecked());
    QVERIFY(w.usb->toolTip().contains(u"no byte"_qs));

    m_fake.queueText("00012350010\r\n");
    QTRY_COMPARE(digits(w.t), u"1235"_qs);
    QVERIFY(w.visible(u"conok"));
    QCOMPARE(w.usb->toolTip(), QString());
    QVERIFY(w.t.prompts.shown.isEmpty());
}

QTEST_MAIN(TestBridgeLink)
#include "tst_bridgelink.moc"
