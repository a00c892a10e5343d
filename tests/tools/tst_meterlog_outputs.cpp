// meterlog's outputs where they can go wrong: a disk that fills up, standard output that fails,
// an output named over an input, links planted in shared folders, devices under a report's name.
// The real executable on real files.

#include "MeterlogProcess.h"
#include "Pty.h"
#include "support/FileTargets.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

class TestMeterlogOutputs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void outputThatRunsOutOfRoom_data();
    void outputThatRunsOutOfRoom();
    void reportIntoADevice_data();
    void reportIntoADevice();
    void sameFileForInputAndOutput_data();
    void sameFileForInputAndOutput();
    void jsonOntoAFailingOutput();
    void jsonReaderThatGoesAway();
    void linkPlantedInASharedFolder_data();
    void linkPlantedInASharedFolder();
};

namespace {

const QByteArray earlier = "earlier contents\n";

ReadingTable numberedTable(int rows)
{
    ReadingTable table;
    for (int i = 0; i < rows; ++i) {
        ReadingTable::Row r;
        r.no = i + 1;
        r.time = u"09:05:%1"_qs.arg(i % 60, 2, 10, QChar(u'0'));
        r.dcAc = u"DCV"_qs;
        r.value = QString::number(1000 + i);
        r.unit = u"V"_qs;
        r.range = u"4 V"_qs;
        r.autoText = u"Auto"_qs;
        r.nval = 1000 + i;
        table.append(r);
    }
    return table;
}

// As many readings as given, each a different value.
QByteArray capture(int readings)
{
    QList<QByteArray> frames;
    for (int i = 0; i < readings; ++i)
        frames.append(QByteArray("000") + QByteArray::number(1000 + i % 3000) + "0010");
    QList<const char *> nibbles;
    for (const QByteArray &f : frames)
        nibbles.append(f.constData());
    return meterReadings(nibbles);
}

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot);
}

bool makeLink(const QString &target, const QString &link)
{
    return symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

} // namespace

void TestMeterlogOutputs::outputThatRunsOutOfRoom_data()
{
    QTest::addColumn<QString>("outName");
    QTest::addColumn<int>("room"); // bytes a file may grow to

    QTest::newRow("report, room for the first piece only") << u"r.pdf"_qs << 4 * 1024;
    QTest::newRow("report, the last piece does not fit") << u"r.pdf"_qs << 32 * 1024;
    QTest::newRow("report, full after the first large piece") << u"r.pdf"_qs << 100 * 1024;
    QTest::newRow("XML packet") << u"r.xml"_qs << 32 * 1024;
    QTest::newRow("text") << u"r.txt"_qs << 32 * 1024;
}

// A disk that fills up while convert writes: exit 5, and the earlier file as it was.
void TestMeterlogOutputs::outputThatRunsOutOfRoom()
{
    QFETCH(QString, outName);
    QFETCH(int, room);

    QTemporaryDir dir;
    const QString in = dir.filePath(u"rows.xml"_qs);
    QVERIFY(TableFiles::save(numberedTable(2500), in));
    QVERIFY(QDir().mkpath(dir.filePath(u"small"_qs)));
    const QString out = dir.filePath(u"small/"_qs + outName);
    QVERIFY(writeFile(out, earlier));

    MeterlogResult run;
    {
        // meterlog inherits the limit: its writes past it fail as on a full disk.
        const FileSizeLimit limit {rlim_t(room)};
        run = runMeterlog({u"convert"_qs, in, out});
    }
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 5);
    QVERIFY2(run.err.contains(QFile::encodeName(out)), run.err.constData());
    QCOMPARE(readFile(out), earlier);
    QCOMPARE(names(dir.filePath(u"small"_qs)), QStringList {outName});

    // With room enough, the same command makes the whole document.
    const MeterlogResult roomy = runMeterlog({u"convert"_qs, in, out});
    QCOMPARE(roomy.exitCode, 0);
    QVERIFY(readFile(out).size() > room);
    if (outName.endsWith(u".pdf"_qs))
        QVERIFY(readFile(out).trimmed().endsWith("%%EOF"));
}

void TestMeterlogOutputs::reportIntoADevice_data()
{
    QTest::addColumn<bool>("node"); // a device node named .pdf, else a link of that name
    QTest::newRow("device node") << true;
    QTest::newRow("link to /dev/null") << false;
}

// A device under a report's name gets the document written into it and stays a device.
void TestMeterlogOutputs::reportIntoADevice()
{
    QFETCH(bool, node);
    QTemporaryDir dir;
    const QString in = dir.filePath(u"rows.xml"_qs);
    QVERIFY(TableFiles::save(numberedTable(100), in));
    const QString out = dir.filePath(u"report.pdf"_qs);
    if (node) {
        if (geteuid() != 0)
            QSKIP("making a device node needs root");
        // The null device's numbers, under a name of the test's own.
        QCOMPARE(mknod(QFile::encodeName(out).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    } else {
        QVERIFY(makeLink(u"/dev/null"_qs, out));
    }
    const QString kind = fileKind(out);

    const MeterlogResult run = runMeterlog({u"convert"_qs, in, out});
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    QCOMPARE(fileKind(out), kind);
    QCOMPARE(fileKind(u"/dev/null"_qs), u"device"_qs);
    QCOMPARE(names(dir.path()), QStringList({u"report.pdf"_qs, u"rows.xml"_qs}));
}

void TestMeterlogOutputs::sameFileForInputAndOutput_data()
{
    QTest::addColumn<QStringList>("arguments"); // %D: the temporary folder
    QTest::addColumn<QString>("message");

    const auto row = [](const char *name, const QStringList &arguments, const QString &message) {
        QTest::newRow(name) << arguments << message;
    };
    row("--out is the replayed capture",
        {u"--from"_qs, u"%D/cap.bin"_qs, u"--out"_qs, u"%D/cap.bin"_qs},
        u"--from and --out name the same file"_qs);
    row("--out is the capture by another path",
        {u"--from"_qs, u"%D/cap.bin"_qs, u"--out"_qs, u"%D/sub/../cap.bin"_qs},
        u"--from and --out name the same file"_qs);
    row("--out is a link to the capture",
        {u"--from"_qs, u"%D/cap.bin"_qs, u"--out"_qs, u"%D/link.bin"_qs},
        u"--from and --out name the same file"_qs);
    row("--out is a hard link of the capture",
        {u"--from"_qs, u"%D/cap.bin"_qs, u"--out"_qs, u"%D/hard.bin"_qs},
        u"--from and --out name the same file"_qs);
    row("--out is the HID report file",
        {u"--from-hid"_qs, u"%D/reports.txt"_qs, u"--out"_qs, u"%D/./reports.txt"_qs},
        u"--from-hid and --out name the same file"_qs);
    row("--capture and --out",
        {u"--port"_qs, u"%D/tty"_qs, u"--capture"_qs, u"%D/c.bin"_qs, u"--out"_qs,
         u"%D/sub/../c.bin"_qs},
        u"--capture and --out name the same file"_qs);
    row("convert into its input", {u"convert"_qs, u"%D/rows.xml"_qs, u"%D/rows.xml"_qs},
        u"convert's IN and OUT name the same file"_qs);
    row("report over its input through a link",
        {u"convert"_qs, u"%D/rows.xml"_qs, u"%D/report.pdf"_qs},
        u"convert's IN and OUT name the same file"_qs);
}

// An output named over the file the run reads is refused before anything is written.
void TestMeterlogOutputs::sameFileForInputAndOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString d = dir.path();
    const QByteArray bytes = capture(20);
    QVERIFY(writeFile(dir.filePath(u"cap.bin"_qs), bytes));
    QVERIFY(writeFile(dir.filePath(u"reports.txt"_qs), "00 F3 41\n"));
    QVERIFY(TableFiles::save(numberedTable(3), dir.filePath(u"rows.xml"_qs)));
    const QByteArray rows = readFile(dir.filePath(u"rows.xml"_qs));
    QVERIFY(QDir().mkpath(dir.filePath(u"sub"_qs)));
    QVERIFY(makeLink(u"cap.bin"_qs, dir.filePath(u"link.bin"_qs)));
    QVERIFY(makeLink(u"rows.xml"_qs, dir.filePath(u"report.pdf"_qs)));
    QCOMPARE(link(QFile::encodeName(dir.filePath(u"cap.bin"_qs)).constData(),
                  QFile::encodeName(dir.filePath(u"hard.bin"_qs)).constData()),
             0);
    const QStringList before = names(d);
    for (QString &a : arguments)
        a.replace(u"%D"_qs, d);

    const MeterlogResult run = runMeterlog(arguments);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(QString::fromLocal8Bit(run.err).contains(message), run.err.constData());
    QCOMPARE(readFile(dir.filePath(u"cap.bin"_qs)), bytes);
    QCOMPARE(readFile(dir.filePath(u"rows.xml"_qs)), rows);
    QCOMPARE(names(d), before);
}

// Standard output on a full disk: said at once, every row still recorded and written, exit 5.
void TestMeterlogOutputs::jsonOntoAFailingOutput()
{
    QTemporaryDir dir;
    const QString cap = dir.filePath(u"cap.bin"_qs);
    QVERIFY(writeFile(cap, capture(3000)));
    const QString plain = dir.filePath(u"plain.xml"_qs);
    QCOMPARE(runMeterlog({u"--from"_qs, cap, u"--out"_qs, plain}).exitCode, 0);

    const QString out = dir.filePath(u"rows.xml"_qs);
    QProcess p;
    p.setStandardOutputFile(u"/dev/full"_qs);
    p.start(meterlogPath(), {u"--from"_qs, cap, u"--json"_qs, u"--out"_qs, out});
    QVERIFY(p.waitForFinished(120'000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 5);
    QVERIFY2(err.contains(u"cannot write the --json lines to standard output (No space left on "
                          "device)"_qs),
             qPrintable(err));
    QCOMPARE(err.count(u"standard output"_qs), 1);
    QVERIFY2(err.contains(u"3000 frames: 3000 rows recorded"_qs), qPrintable(err));
    const std::optional<ReadingTable> written = loadTable(out);
    const std::optional<ReadingTable> expected = loadTable(plain);
    QVERIFY(written && expected);
    QCOMPARE(written->rowCount(), 3000);
    QCOMPARE(rowTexts(*written), rowTexts(*expected));
}

// A reader that goes away ends the run quietly, as a signal does: the rows so far are written.
void TestMeterlogOutputs::jsonReaderThatGoesAway()
{
    QTemporaryDir dir;
    const QString cap = dir.filePath(u"cap.bin"_qs);
    QVERIFY(writeFile(cap, capture(3000)));
    const QString out = dir.filePath(u"rows.xml"_qs);
    QProcess p;
    p.start(meterlogPath(), {u"--from"_qs, cap, u"--json"_qs, u"--out"_qs, out});
    QVERIFY(p.waitForStarted(10'000));
    p.closeReadChannel(QProcess::StandardOutput);
    QVERIFY(p.waitForFinished(120'000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(!err.contains(u"cannot write"_qs), qPrintable(err));
    QVERIFY(loadTable(out));
}

void TestMeterlogOutputs::linkPlantedInASharedFolder_data()
{
    QTest::addColumn<QString>("output"); // "out", "capture", "convert", "report"
    QTest::addColumn<bool>("planted"); // the link is another user's, else the folder owner's

    for (const char *output : {"out", "capture", "convert", "report"}) {
        QTest::addRow("--%s through another user's link", output)
            << QString::fromLatin1(output) << true;
    }
    QTest::newRow("--out through the folder owner's link") << u"out"_qs << false;
    QTest::newRow("report through the folder owner's link") << u"report"_qs << false;
}

// A folder like /tmp: another user's link there never leads an output into the file it names.
void TestMeterlogOutputs::linkPlantedInASharedFolder()
{
    QFETCH(QString, output);
    QFETCH(bool, planted);
    if (geteuid() != 0)
        QSKIP("a link of another user needs root to make");

    QTemporaryDir dir;
    const QString shared = dir.filePath(u"shared"_qs);
    QVERIFY(QDir().mkpath(shared));
    QCOMPARE(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString victim = dir.filePath(u"victim"_qs);
    QVERIFY(writeFile(victim, earlier));
    const QString name = output == u"report" ? u"r.pdf"_qs
        : output == u"capture"               ? u"c.bin"_qs
                                             : u"r.xml"_qs;
    const QString link = shared + u'/' + name;
    QVERIFY(makeLink(victim, link));
    if (planted)
        QCOMPARE(lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
    const QString in = dir.filePath(u"rows.xml"_qs);
    QVERIFY(TableFiles::save(numberedTable(5), in));
    const QString cap = dir.filePath(u"cap.bin"_qs);
    QVERIFY(writeFile(cap, capture(5)));

    Pty pty;
    MeterlogResult run;
    if (output == u"capture") {
        QVERIFY2(pty.isOpen(), qPrintable(pty.errorString()));
        QVERIFY(pty.openSlave());
        run = runMeterlog({u"--port"_qs, pty.slavePath(), u"--capture"_qs, link});
    } else if (output == u"out") {
        run = runMeterlog({u"--from"_qs, cap, u"--out"_qs, link});
    } else {
        run = runMeterlog({u"convert"_qs, in, link});
    }
    QVERIFY(run.finished);
    QCOMPARE(fileKind(link), u"link"_qs);
    QCOMPARE(names(shared), QStringList {name});
    if (!planted) {
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QVERIFY(readFile(victim) != earlier);
        return;
    }
    QCOMPARE(run.exitCode, 5);
    QVERIFY2(run.err.contains(QByteArray("symbolic link that another user made in the shared "
                                         "folder "
                                         + QFile::encodeName(shared))),
             run.err.constData());
    QCOMPARE(readFile(victim), earlier);
}

QTEST_GUILESS_MAIN(TestMeterlogOutputs)
#include "tst_meterlog_outputs.moc"
