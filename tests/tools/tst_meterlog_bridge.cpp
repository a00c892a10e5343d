// meterlog --bridge: the real executable loading the stand-in bridge library by path, as it
// would load the maker's, steered by a script file and leaving its call log in another.

#include "MeterlogProcess.h"

#include <QTemporaryDir>

class TestMeterlogBridge : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void openFailures_data();
    void openFailures();
    void readingsBecomeJsonAndRows();
    void silentCableIsReportedAndItsReturn();
    void usageErrors_data();
    void usageErrors();
};

namespace {

// A run's folder: the fake's script and call log, and meterlog's environment pointing at them.
struct BridgeRun
{
    QTemporaryDir dir;
    QString script = dir.filePath(u"script.txt"_qs);
    QString log = dir.filePath(u"calls.txt"_qs);

    QProcessEnvironment environment(const QString &library = QString::fromLocal8Bit(FAKE_SIUSBXP))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"METERLINK_SIUSBXP"_qs, library);
        env.insert(u"FAKE_SIUSBXP_SCRIPT"_qs, script);
        env.insert(u"FAKE_SIUSBXP_LOG"_qs, log);
        return env;
    }
    // The calls the fake logged, and the misuse it saw after its "errors:" line; "no log" when
    // it wrote none.
    QStringList calls() const { return logPart(0); }
    QStringList errors() const { return logPart(1); }

private:
    QStringList logPart(int part) const
    {
        const QStringList parts = QString::fromLatin1(readFile(log)).split(u"errors:\n"_qs);
        return parts.size() == 2 ? parts[part].split(u'\n', Qt::SkipEmptyParts)
                                 : QStringList {u"no log"_qs};
    }
};

QStringList reads(int count)
{
    return QStringList(count, u"SI_Read 1"_qs);
}

const QString Flush = u"SI_FlushBuffers 1 1"_qs;

const QStringList Opened {u"SI_GetNumDevices"_qs, u"SI_Open 0"_qs, u"SI_SetBaudRate 9600"_qs,
                          u"SI_SetTimeouts 500 500"_qs};

// A JSON line reduced to what became of the frame.
QString frameView(const QJsonObject &o)
{
    if (o.contains(u"dropped"_qs))
        return u"dropped "_qs + o.value(u"dropped"_qs).toString();
    return o.value(u"frame"_qs).toString() + u' ' + o.value(u"value"_qs).toString() + u' '
        + o.value(u"unit"_qs).toString() + (o.value(u"recorded"_qs).toBool() ? u" row"_qs : u""_qs);
}

} // namespace

void TestMeterlogBridge::openFailures_data()
{
    QTest::addColumn<QString>("library"); // "fake", "noflush" or "missing"
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("calls");

    const QString count = u"SI_GetNumDevices"_qs;
    QTest::newRow("no library") << u"missing"_qs << QString()
                                << u"%L\" named by METERLINK_SIUSBXP could not be loaded"_qs
                                << QStringList {u"no log"_qs};
    // Loaded and unloaded again: its log is written, empty.
    QTest::newRow("library without SI_FlushBuffers")
        << u"noflush"_qs << QString() << u"%L\" has no function SI_FlushBuffers"_qs
        << QStringList();
    QTest::newRow("no bridge") << u"fake"_qs << u"devices 0"_qs
                               << u"No USB bridge cable is plugged in."_qs << QStringList {count};
    QTest::newRow("two bridges") << u"fake"_qs << u"devices 2"_qs
                                 << u"2 USB bridge cables are plugged in; unplug all but one."_qs
                                 << QStringList {count};
    QTest::newRow("count refused")
        << u"fake"_qs << u"status SI_GetNumDevices 3"_qs
        << u"could not count the USB bridge cables (status 3)"_qs << QStringList {count};
    // The failed open's null handle is closed all the same, and refused.
    QTest::newRow("open refused") << u"fake"_qs << u"status SI_Open 4"_qs
                                  << u"The USB bridge cable could not be opened (status 4)."_qs
                                  << QStringList {count, u"SI_Open 0"_qs, u"SI_Close"_qs};
    QTest::newRow("baud rate refused")
        << u"fake"_qs << u"# the line speed\nstatus SI_SetBaudRate 2\n"_qs
        << u"The USB bridge cable did not take 9600 bit/s (status 2)."_qs
        << QStringList {count, u"SI_Open 0"_qs, u"SI_SetBaudRate 9600"_qs, u"SI_Close"_qs};
}

void TestMeterlogBridge::openFailures()
{
    QFETCH(QString, library);
    QFETCH(QString, script);
    QFETCH(QString, message);
    QFETCH(QStringList, calls);

    BridgeRun run;
    const QString path = library == u"fake" ? QString::fromLocal8Bit(FAKE_SIUSBXP)
        : library == u"noflush"             ? QString::fromLocal8Bit(FAKE_SIUSBXP_NOFLUSH)
                                            : run.dir.filePath(u"libNone.so"_qs);
    QVERIFY(writeFile(run.script, script.toUtf8()));
    const QString out = run.dir.filePath(u"rows.xml"_qs);
    const MeterlogResult result
        = runMeterlog({u"--bridge"_qs, u"--json"_qs, u"--out"_qs, out}, run.environment(path));

    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 3);
    const QString err = QString::fromLocal8Bit(result.err);
    QVERIFY2(err.contains(message.replace(u"%L"_qs, path)), qPrintable(err));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(run.calls(), calls);
    if (QFile::exists(run.log))
        QCOMPARE(run.errors(), QStringList());
    QVERIFY(!QFile::exists(out));
}

void TestMeterlogBridge::readingsBecomeJsonAndRows()
{
    BridgeRun run;
    QVERIFY(writeFile(run.script, R"(# a reading is eleven characters, then CR LF
line 00012340010
# "<" as the 9th character: not decoded
line 00012340<10
# a line feed 5th: the buffer is emptied, the count goes on to the 13th byte
text 0123
read 0A
text 4567890
read 0D
line 00112340010
fail 4
line 00012350010
)"));
    const QString out = run.dir.filePath(u"rows.txt"_qs);
    const MeterlogResult result
        = runMeterlog({u"--bridge"_qs, u"--json"_qs, u"--duration"_qs, u"1"_qs, u"--out"_qs, out},
                      run.environment());
    QVERIFY(result.finished);
    QVERIFY2(result.exitCode == 0, result.err.constData());

    QStringList frames;
    for (const QJsonObject &o : jsonLines(result.out))
        frames.append(frameView(o));
    QCOMPARE(frames,
             (QStringList {u"A00012340010D 1.234 V row"_qs, u"dropped A00012340<10D"_qs,
                           u"A00112340010D 12.34 V row"_qs, u"A00012350010D 1.235 V row"_qs}));
    QVERIFY2(result.err.contains("4 frames: 3 rows recorded, 1 dropped, 0 failed; written to"),
             result.err.constData());

    const std::optional<ReadingTable> table = loadTable(out);
    QVERIFY(table);
    QStringList values;
    for (qsizetype i = 0; i < table->rowCount(); ++i)
        values.append(table->row(i).value + u' ' + table->row(i).unit);
    QCOMPARE(values, (QStringList {u"1.234 V"_qs, u"12.34 V"_qs, u"1.235 V"_qs}));

    // Every script read in order, a flush after each 13th byte and after the early line feed;
    // then reads of a silent cable until the run ends with the one close.
    const QStringList expected = Opened + reads(13) + QStringList {Flush} + reads(13)
        + QStringList {Flush} + reads(5) + QStringList {Flush} + reads(8) + QStringList {Flush}
        + reads(13) + QStringList {Flush} + reads(1) + reads(13) + QStringList {Flush};
    const QStringList calls = run.calls();
    QCOMPARE(calls.mid(0, expected.size()), expected);
    QCOMPARE(calls.last(), u"SI_Close"_qs);
    const QStringList silent = calls.mid(expected.size(), calls.size() - expected.size() - 1);
    QVERIFY(!silent.isEmpty());
    QCOMPARE(silent, reads(int(silent.size())));
    QCOMPARE(run.errors(), QStringList());
}

void TestMeterlogBridge::silentCableIsReportedAndItsReturn()
{
    // Failed reads pause 10 ms each, so these last more than 3 s; the reading after them is the
    // first byte again.
    BridgeRun run;
    QByteArray script("line 00012340010\n");
    for (int i = 0; i < 320; ++i)
        script += "fail 5\n";
    script += "line 00012350010\n";
    QVERIFY(writeFile(run.script, script));

    LiveMeterlog meterlog({u"--bridge"_qs, u"--json"_qs}, run.environment());
    QVERIFY(meterlog.started());
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT(
        (err += meterlog.process().readAllStandardError()).contains("delivers bytes again"),
        20'000);
    meterlog.process().terminate();
    QVERIFY(meterlog.finish());
    QCOMPARE(meterlog.exitCode(), 0);
    err += meterlog.err();

    const qsizetype silent = err.indexOf("the bridge cable has given no byte for 3 s");
    QVERIFY2(silent >= 0, err.constData());
    QVERIFY2(silent < err.indexOf("the bridge cable delivers bytes again"), err.constData());
    QCOMPARE(meterlog.recorded().size(), 2);
    QCOMPARE(run.calls().last(), u"SI_Close"_qs);
    QCOMPARE(run.errors(), QStringList());
}

void TestMeterlogBridge::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("capture") << QStringList {u"--bridge"_qs, u"--capture"_qs, u"x"_qs}
                             << u"--capture records the bytes of a port"_qs;
    QTest::newRow("reconnect") << QStringList {u"--bridge"_qs, u"--reconnect"_qs, u"5"_qs}
                               << u"--reconnect is for a port or HID cable"_qs;
    QTest::newRow("two sources") << QStringList {u"--bridge"_qs, u"--hid"_qs}
                                 << u"give only one of"_qs;
}

void TestMeterlogBridge::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    BridgeRun run;
    QVERIFY(writeFile(run.script, "devices 1\n"));
    const MeterlogResult result = runMeterlog(arguments, run.environment());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 2);
    const QString err = QString::fromLocal8Bit(result.err);
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY(!QFile::exists(run.log)); // the library was not loaded
}

QTEST_MAIN(TestMeterlogBridge)
#include "tst_meterlog_bridge.moc"
