#include "app/CommandLine.h"
#include "support/PortNames.h"
#include "support/Prompts.h"
#include "support/StrictInt.h"

#include <QProcess>
#include <QTest>

class TestSeams : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void portsOrderedAdaptersFirst();
    void portNumbersMapToPresentPorts();
    void overridesWin();
    void overrideOption_data();
    void overrideOption();
    void commandLine_data();
    void commandLine();
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
    void dialogFilters();
    void savedNameTakesTheFilterExtension_data();
    void savedNameTakesTheFilterExtension();
    void strictIntegers_data();
    void strictIntegers();
};

void TestSeams::portsOrderedAdaptersFirst()
{
    const QStringList present {u"/dev/ttyS1"_qs,   u"/dev/ttyUSB10"_qs, u"/dev/pts/3"_qs,
                               u"/dev/ttyACM0"_qs, u"/dev/ttyS0"_qs,    u"/dev/ttyUSB2"_qs};
    QCOMPARE(PortNames::ordered(present),
             (QStringList {u"/dev/ttyACM0"_qs, u"/dev/ttyUSB2"_qs, u"/dev/ttyUSB10"_qs,
                           u"/dev/ttyS0"_qs, u"/dev/ttyS1"_qs, u"/dev/pts/3"_qs}));
}

void TestSeams::portNumbersMapToPresentPorts()
{
    QStringList present {u"/dev/ttyS0"_qs, u"/dev/ttyUSB0"_qs};
    PortNames names([&] { return present; });
    QCOMPARE(names.devicePath(1), u"/dev/ttyUSB0"_qs);
    QCOMPARE(names.devicePath(2), u"/dev/ttyS0"_qs);
    QCOMPARE(names.devicePath(3), QString());
    // The mapping follows ports that come and go.
    present << u"/dev/ttyACM0"_qs;
    QCOMPARE(names.devicePath(1), u"/dev/ttyACM0"_qs);
    QCOMPARE(PortNames().devicePath(1), QString());
}

void TestSeams::overridesWin()
{
    qputenv("METERLINK_COM2", "/dev/from-environment");
    qputenv("METERLINK_COM3", "/dev/env-three");
    PortNames names([] { return QStringList {u"/dev/ttyUSB0"_qs}; });
    names.readEnvironment();
    QVERIFY(names.addOverrideOption(u"3=/dev/pts/7"_qs, nullptr));
    qunsetenv("METERLINK_COM2");
    qunsetenv("METERLINK_COM3");
    QCOMPARE(names.devicePath(1), u"/dev/ttyUSB0"_qs);
    QCOMPARE(names.devicePath(2), u"/dev/from-environment"_qs);
    QCOMPARE(names.devicePath(3), u"/dev/pts/7"_qs); // the command line wins
}

void TestSeams::overrideOption_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("valid");
    QTest::newRow("port 1") << u"1=/dev/ttyUSB0"_qs << true;
    QTest::newRow("path with =") << u"4=/tmp/a=b"_qs << true;
    QTest::newRow("port 5") << u"5=/dev/ttyUSB0"_qs << false;
    QTest::newRow("port 0") << u"0=/dev/ttyUSB0"_qs << false;
    QTest::newRow("no path") << u"1="_qs << false;
    QTest::newRow("no number") << u"/dev/ttyUSB0"_qs << false;
}

void TestSeams::overrideOption()
{
    QFETCH(QString, option);
    QFETCH(bool, valid);
    PortNames names;
    QString error;
    QCOMPARE(names.addOverrideOption(option, &error), valid);
    QCOMPARE(error.isEmpty(), valid);
}

void TestSeams::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("exitNow");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("brimlow");
    QTest::addColumn<int>("overrides");

    QTest::newRow("nothing") << QStringList {} << false << 0 << true << 0;
    QTest::newRow("two ports") << QStringList {u"--com"_qs, u"1=/dev/pts/3"_qs,
                                               u"--com=2=/dev/ttyUSB1"_qs}
                               << false << 0 << true << 2;
    QTest::newRow("model") << QStringList {u"--model"_qs, u"IFFerrant"_qs} << false << 0 << false
                           << 0;
    QTest::newRow("bad port") << QStringList {u"--com"_qs, u"9=/dev/x"_qs} << true << 2 << true
                              << 0;
    QTest::newRow("bad model") << QStringList {u"--model"_qs, u"x"_qs} << true << 2 << true << 0;
    QTest::newRow("unknown option") << QStringList {u"--colour"_qs} << true << 2 << true << 0;
    QTest::newRow("stray argument") << QStringList {u"file.xml"_qs} << true << 2 << true << 0;
    QTest::newRow("help") << QStringList {u"--help"_qs} << true << 0 << true << 0;
}

void TestSeams::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, exitNow);
    QFETCH(int, exitCode);
    QFETCH(bool, brimlow);
    QFETCH(int, overrides);

    const CommandLine c = CommandLine::parse(QStringList {u"meterlink"_qs} + arguments);
    QCOMPARE(c.exitNow, exitNow);
    QCOMPARE(c.exitCode, exitCode);
    if (exitNow) {
        QVERIFY(!c.message.isEmpty());
        return;
    }
    QCOMPARE(c.switches.Brimlow, brimlow);
    QCOMPARE(c.comOverrides.size(), overrides);
}

void TestSeams::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--help") << QStringList {u"--help"_qs} << u"--com <N=PATH>"_qs;
    QTest::newRow("-h") << QStringList {u"-h"_qs} << u"--model <switches>"_qs;
    QTest::newRow("--help after an option")
        << QStringList {u"--com"_qs, u"1=/dev/ttyUSB0"_qs, u"--help"_qs} << u"Usage:"_qs;
    QTest::newRow("--version") << QStringList {u"--version"_qs} << u"MeterLink 2.0\n"_qs;
    QTest::newRow("-v") << QStringList {u"-v"_qs} << u"MeterLink 2.0\n"_qs;
}

// The real program, where no window system can be reached: the X11 platform without a display.
void TestSeams::helpAndVersionNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_qs);
    environment.remove(u"WAYLAND_DISPLAY"_qs);
    environment.insert(u"QT_QPA_PLATFORM"_qs, u"xcb"_qs);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(METERLINK_PATH), arguments);
    QVERIFY(program.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QByteArray err = program.readAllStandardError();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, err.constData());
    QVERIFY2(out.contains(expected), qPrintable(out));
    QVERIFY2(err.isEmpty(), err.constData());
}

void TestSeams::dialogFilters()
{
    QCOMPARE(QtPrompts::qtFilter(u"Bitmaps (*.bmp)|*.bmp"_qs), u"Bitmaps (*.bmp)"_qs);
    QCOMPARE(QtPrompts::qtFilter(u"Excel files|*.xls|Text files|*.txt;*.log"_qs),
             u"Excel files (*.xls);;Text files (*.txt *.log)"_qs);
}

void TestSeams::savedNameTakesTheFilterExtension_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("selectedFilter"); // as Qt's dialog reports it
    QTest::addColumn<QString>("defaultExtension");
    QTest::addColumn<QString>("saved");

    const auto row = [](const char *name, const char16_t *chosen, const char16_t *filter,
                        const char16_t *defaultExtension, const char16_t *saved) {
        QTest::newRow(name) << QString::fromUtf16(chosen) << QString::fromUtf16(filter)
                            << QString::fromUtf16(defaultExtension) << QString::fromUtf16(saved);
    };
    row("CSV filter", u"/d/drive", u"CSV File (*.csv)", u"xls", u"/d/drive.csv");
    row("first filter", u"/d/drive", u"Excel File (*.xls)", u"xls", u"/d/drive.xls");
    row("extension typed", u"/d/drive.txt", u"CSV File (*.csv)", u"xls", u"/d/drive.txt");
    row("extension in other letters", u"/d/drive.CSV", u"Excel File (*.xls)", u"xls",
        u"/d/drive.CSV");
    row("dot in the folder only", u"/d.v/drive", u"CSV File (*.csv)", u"xls", u"/d.v/drive.csv");
    row("no filter reported", u"/d/drive", u"", u"xls", u"/d/drive.xls");
    row("filter of several patterns", u"/d/drive", u"Text (*.txt *.log)", u"xls", u"/d/drive.txt");
    row("filter of any name", u"/d/drive", u"All (*)", u"xls", u"/d/drive.xls");
    row("no default extension", u"/d/drive", u"CSV File (*.csv)", u"", u"/d/drive");
    row("cancelled", u"", u"CSV File (*.csv)", u"xls", u"");
}

// The name a save dialog's answer stands for, whichever dialog (Qt's or the desktop's) gave it.
void TestSeams::savedNameTakesTheFilterExtension()
{
    QFETCH(QString, chosen);
    QFETCH(QString, selectedFilter);
    QFETCH(QString, defaultExtension);
    QFETCH(QString, saved);
    FileDialogOptions options;
    options.filter = u"Excel File(*.xls)|*.xls|CSV File(*.csv)|*.csv"_qs;
    options.defaultExtension = defaultExtension;
    QCOMPARE(QtPrompts::savedName(chosen, selectedFilter, options), saved);
}

void TestSeams::strictIntegers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");

    QTest::newRow("digits") << u"0123"_qs << true << 123;
    QTest::newRow("minus") << u"-123"_qs << true << -123;
    QTest::newRow("plus") << u"+7"_qs << true << 7;
    QTest::newRow("largest") << u"2147483647"_qs << true << 2147483647;
    QTest::newRow("smallest") << u"-2147483648"_qs << true << int(-2147483647 - 1);
    QTest::newRow("too large") << u"2147483648"_qs << false << 0;
    QTest::newRow("far too large") << u"99999999999999999999"_qs << false << 0;
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("sign alone") << u"-"_qs << false << 0;
    QTest::newRow("blank inside") << u"1 2"_qs << false << 0;
    QTest::newRow("leading blank") << u" 12"_qs << false << 0;
    QTest::newRow("hex digit") << u"1A"_qs << false << 0;
    QTest::newRow("overload mark") << u"0@"_qs << false << 0;
    QTest::newRow("two signs") << u"--1"_qs << false << 0;
    QTest::newRow("Arabic-Indic digit") << u"\u0661"_qs << false << 0;
}

void TestSeams::strictIntegers()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const std::optional<qint32> n = strictToInt(text);
    QCOMPARE(bool(n), valid);
    if (valid)
        QCOMPARE(*n, value);
}

QTEST_GUILESS_MAIN(TestSeams)
#include "tst_seams.moc"
