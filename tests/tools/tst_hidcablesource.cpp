#include "FakeHidPlatform.h"
#include "HidCableSource.h"

#include <QSignalSpy>
#include <QTest>

// The headless recorder's HID cable over a scripted HID system: which device it takes, what it
// sends, and how it waits for a cable that went away.
class TestHidCableSource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void takesTheCable_data();
    void takesTheCable();
    void waitsForTheCable();
};

namespace {

FakeHidPlatform::Device device(const QString &identity, const QString &product,
                               bool readWrite = true)
{
    FakeHidPlatform::Device d;
    d.path = u"/dev/hidraw-"_qs + identity;
    d.identity = identity;
    d.product = product;
    d.readWrite = readWrite;
    return d;
}

} // namespace

void TestHidCableSource::takesTheCable_data()
{
    QTest::addColumn<QString>("path"); // empty: by its name
    QTest::addColumn<bool>("readWrite");
    QTest::addColumn<QString>("taken"); // identity, or empty with the error below
    QTest::addColumn<QString>("error");

    QTest::newRow("the cable by its name") << QString() << true << u"b"_qs << QString();
    QTest::newRow("a device by its path") << u"/dev/hidraw-a"_qs << true << u"a"_qs << QString();
    QTest::newRow("no device at the path")
        << u"/dev/hidraw-x"_qs << true << QString()
        << u"cannot open /dev/hidraw-x: no HID device of that path is present"_qs;
    QTest::newRow("a cable without access")
        << QString() << false << QString()
        << u"cannot open USB to Serial (/dev/hidraw-b) for reading and writing: the udev rule "
           "70-meterlink-hid.rules"_qs;
}

void TestHidCableSource::takesTheCable()
{
    QFETCH(QString, path);
    QFETCH(bool, readWrite);
    QFETCH(QString, taken);
    QFETCH(QString, error);

    auto platform = std::make_unique<FakeHidPlatform>();
    FakeHidPlatform &hid = *platform;
    hid.plug(device(u"a"_qs, u"Keyboard"_qs), false);
    hid.plug(device(u"b"_qs, u"USB to Serial"_qs, readWrite), false);
    HidCableSource source(path, std::move(platform));
    QList<QByteArray> reports;
    source.setOnReport([&](quint8 id, QByteArrayView data) {
        reports << QByteArray(1, char(id)) + data.toByteArray();
    });
    QString said;
    const bool opened = source.open(&said);
    QCOMPARE(opened, !taken.isEmpty());
    if (!opened) {
        QVERIFY2(said.startsWith(error), qPrintable(said));
        return;
    }
    QCOMPARE(hid.featureReportsSent(taken),
             QList<QByteArray> {QByteArray("\x00\x80\x25\x00\x00\x03\x00\x00\x00\x00", 10)});
    hid.queueReport(taken, QByteArray("\x00\xF3\x41\x42\x43", 5));
    QTRY_COMPARE(reports, QList<QByteArray> {QByteArray("\x00\xF3\x41\x42\x43", 5)});
    source.close();
}

void TestHidCableSource::waitsForTheCable()
{
    auto platform = std::make_unique<FakeHidPlatform>();
    FakeHidPlatform &hid = *platform;
    hid.plug(device(u"cable"_qs, u"USB to Serial"_qs), false);
    HidCableSource source(QString(), std::move(platform));
    int received = 0;
    source.setOnReport([&](quint8, QByteArrayView) { ++received; });
    QSignalSpy lost(&source, &HidCableSource::lost);
    QSignalSpy back(&source, &HidCableSource::back);
    QSignalSpy gone(&source, &HidCableSource::gone);
    QVERIFY(source.open(nullptr));

    hid.unplug(u"cable"_qs);
    QVERIFY(lost.wait(5000));
    FakeHidPlatform::Device again = device(u"cable2"_qs, u"USB to Serial"_qs);
    hid.plug(again);
    QVERIFY(back.wait(5000));
    // Set up again: the speed report, and reading.
    QCOMPARE(hid.featureReportsSent(u"cable2"_qs).size(), 1);
    hid.queueReport(u"cable2"_qs, QByteArray("\x00\xF0", 2));
    QTRY_COMPARE(received, 1);
    QCOMPARE(gone.count(), 0);

    // Not back in time: gone.
    source.setReconnectSeconds(1);
    hid.unplug(u"cable2"_qs);
    QVERIFY(lost.wait(5000));
    QVERIFY(gone.wait(5000));
    QCOMPARE(back.count(), 1);
}

QTEST_GUILESS_MAIN(TestHidCableSource)
#include "tst_hidcablesource.moc"
