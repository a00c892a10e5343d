// The whole program path: the meter simulator on a pseudo-terminal, the real window, a click on
// "COM Connect", readings on the replica LCD; then the simulator dies and comes back.

#include "links/SerialLink.h"
#include "meter/BarGraph.h"
#include "meter/MeterDisplay.h"
#include "support/TestWindow.h"
#include "support/WindowProbe.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>

class TestEndToEndSerial : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void liveReadings_data();
    void liveReadings();
    void simulatorDiesAndComesBack();
};

namespace {

// A running simulator whose pseudo-terminal is reached through a link of a fixed name.
class Simulator
{
public:
    Simulator(const QString &link, const QStringList &arguments)
    {
        m_process.setProgram(QString::fromUtf8(METERSIM_PATH));
        m_process.setArguments(QStringList {u"--link"_qs, link} + arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~Simulator() { kill(); }

    bool ready(const QString &link)
    {
        return m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000)
            && QFileInfo(link).isSymLink();
    }
    void kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

private:
    QProcess m_process;
};

double cpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

void TestEndToEndSerial::liveReadings_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("function"); // caption of LcdDc1, when shown
    QTest::addColumn<int>("bar");

    QTest::newRow("DC volts") << u"A00012340010D"_qs << u"1234"_qs
                              << QStringList {u"LcdDc1"_qs,  u"LcdV"_qs, u"LcdP1"_qs,
                                              u"LcdAuto"_qs, u"dd4"_qs,  u"LCDVV"_qs}
                              << u"DCV"_qs << 12;
    QTest::newRow("AC volts, 400 V, negative")
        << u"A01203990410D"_qs << u"0399"_qs
        << QStringList {u"LcdDc1"_qs, u"LcdFH"_qs, u"LcdP3"_qs, u"dd10"_qs} << u"ACV"_qs << 3;
    QTest::newRow("kilo-ohms, manual")
        << u"A20213570008D"_qs << u"1357"_qs
        << QStringList {u"LCDohm"_qs, u"lcdkk"_qs, u"LcdManu"_qs, u"LcdP2"_qs} << QString() << 13;
    QTest::newRow("temperature") << u"A11000250000D"_qs << u"0025"_qs << QStringList {u"LCDCS"_qs}
                                 << QString() << 1;
    QTest::newRow("overload") << u"A00100000110D"_qs << u"  0@  "_qs
                              << QStringList {u"LcdV"_qs, u"LcdP2"_qs} << u"DCV"_qs << 40;
    QTest::newRow("open input") << u"A11000000001D"_qs << u"open"_qs << QStringList {u"LCDCS"_qs}
                                << QString() << 0;
}

void TestEndToEndSerial::liveReadings()
{
    QFETCH(QString, frame);
    QFETCH(QString, digits);
    QFETCH(QStringList, shown);
    QFETCH(QString, function);
    QFETCH(int, bar);

    QTemporaryDir dir;
    const QString link = dir.filePath(u"meter"_qs);
    Simulator sim(link, {u"--frames"_qs, frame, u"--rate"_qs, u"20"_qs});
    QVERIFY(sim.ready(link));

    TestWindow t;
    t.portNames.setOverride(1, link);
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    QVERIFY(visible(t, u"conokn"_qs));
    QTest::mouseClick(t.find<QPushButton>(u"COMCon"_qs), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return ::digits(t) == digits; }, 10000));

    for (const QString &name : shown)
        QVERIFY2(visible(t, name), qPrintable(name));
    if (!function.isNull())
        QCOMPARE(t.find<QLabel>(u"LcdDc1"_qs)->text(), function);
    QCOMPARE(t.find<BarGraph>(u"PBar2"_qs)->value(), bar);
    QVERIFY(visible(t, u"conok"_qs));
    QVERIFY(visible(t, u"LCDsend"_qs));
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestEndToEndSerial::simulatorDiesAndComesBack()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"meter"_qs);
    auto sim = std::make_unique<Simulator>(
        link, QStringList {u"--script"_qs, u"dcv"_qs, u"--rate"_qs, u"10"_qs});
    QVERIFY(sim->ready(link));

    TestWindow t;
    t.portNames.setOverride(1, link);
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *con = t.find<QPushButton>(u"COMCon"_qs);
    QTest::mouseClick(con, Qt::LeftButton);
    MeterDisplay &display = t.window->display();
    QVERIFY(QTest::qWaitFor([&] { return display.framesShown() >= 3; }, 10000));
    QVERIFY(visible(t, u"conok"_qs));

    // Unplugged in the middle of the stream.
    sim->kill();
    QElapsedTimer sinceKill;
    sinceKill.start();
    QVERIFY(QTest::qWaitFor([&] { return visible(t, u"conokn"_qs); }, 5000));
    qInfo("not-connected picture %lld ms after the simulator died", sinceKill.elapsed());
    QVERIFY(!visible(t, u"conok"_qs));
    QVERIFY(con->isChecked());
    QVERIFY(t.window->serialLink().waitingForDevice());

    // No storm of errors: the program idles while it waits for the device.
    const double cpuBefore = cpuSeconds();
    QTest::qWait(1000);
    const double cpuUsed = cpuSeconds() - cpuBefore;
    qInfo("CPU while waiting for the device: %.3f s in 1 s", cpuUsed);
    QVERIFY2(cpuUsed < 0.5, "the program keeps working while the device is gone");
    QVERIFY(t.prompts.shown.isEmpty());
    const int framesBefore = display.framesShown();

    // Back again: readings resume without a click.
    sim = std::make_unique<Simulator>(
        link, QStringList {u"--script"_qs, u"dcv"_qs, u"--rate"_qs, u"10"_qs});
    QVERIFY(sim->ready(link));
    QVERIFY(QTest::qWaitFor([&] { return display.framesShown() >= framesBefore + 3; }, 10000));
    QVERIFY(visible(t, u"conok"_qs));
    QVERIFY(con->isChecked());
    QVERIFY(!t.window->serialLink().waitingForDevice());
    QVERIFY(t.prompts.shown.isEmpty());
}

QTEST_MAIN(TestEndToEndSerial)
#include "tst_e2e_serial.moc"
