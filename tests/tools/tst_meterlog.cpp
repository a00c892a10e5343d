// meterlog, the headless recorder, where users meet it: the real executable on real files,
// and the real window fed the same bytes. The live line is tst_meterlog_live's.

#include "HidReportFile.h"
#include "MeterScript.h"
#include "MeterlogProcess.h"
#include "chart/ChartControl.h"
#include "links/SerialLink.h"
#include "meter/MeterDisplay.h"
#include "recording/ReadingRecorder.h"
#include "support/FileTargets.h"
#include "support/TestWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <sys/stat.h>
#include <unistd.h>

class TestMeterlog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sameFramesAndRowsAsTheWindow_data();
    void sameFramesAndRowsAsTheWindow();
    void jsonOfKnownFrames_data();
    void jsonOfKnownFrames();
    void jsonTimestamps_data();
    void jsonTimestamps();
    void samplingInterval_data();
    void samplingInterval();
    void reportPages_data();
    void reportPages();
    void emptyTableHasNoReport_data();
    void emptyTableHasNoReport();
    void textAndXmlRoundTrip();
    void csvOut_data();
    void csvOut();
    void convertToCsv();
    void convertIntoAFifo_data();
    void convertIntoAFifo();
    void failures_data();
    void failures();
    void helpNamesTheExitCodes();
    void outThatCannotBeReplacedFailsAtStart_data();
    void outThatCannotBeReplacedFailsAtStart();
    void recoverWritesAJournal_data();
    void recoverWritesAJournal();
    void replayThatEndsRemovesItsJournal();
    void journalThatCannotBeWrittenSaysSoOnce();
    void hidReportsReplayAsTheSerialBytesDo();
    void hidReplayNamesABadLine();
};

namespace {

// The simulator's readings as the meter sends them, a line feed first so the first reading is
// a whole frame; with noise, some frames fail to decode or are not frames at all.
QByteArray streamOf(const QString &script, int readings, double noise, quint32 seed)
{
    MeterScript source = *MeterScript::fromName(script, seed);
    NoiseInjector injector({noise, noise / 2, noise}, seed);
    QByteArray bytes("\n");
    for (int i = 0; i < readings; ++i)
        bytes += injector.wireBytes(source.next());
    return bytes;
}

// A frame as a line of text: what happened to it and what it showed.
QString frameView(const QString &frame, const QString &error, bool dropped, bool recorded,
                  const QStringList &texts, const QList<qint64> &numbers, const QString &chart)
{
    QStringList parts {frame, dropped ? u"dropped"_qs : error, recorded ? u"row"_qs : u"-"_qs};
    if (!dropped && error.isEmpty()) {
        parts += texts;
        for (qint64 n : numbers)
            parts.append(QString::number(n));
        parts.append(chart);
    }
    return parts.join(u" | "_qs);
}

QString meterlogView(const QJsonObject &o)
{
    const bool dropped = o.contains(u"dropped"_qs);
    const auto text = [&](const char16_t *key) {
        return o.value(QStringView(key)).toString();
    };
    const QJsonValue chart = o.value(u"chart"_qs);
    return frameView(
        dropped ? text(u"dropped") : text(u"frame"), text(u"error"), dropped,
        o.value(u"recorded"_qs).toBool(),
        {text(u"function"), text(u"value"), text(u"unit"), text(u"range"), text(u"auto")},
        {qint64(o.value(u"numeric"_qs).toDouble()), o.value(u"needle"_qs).toInteger(),
         o.value(u"bar"_qs).toInteger()},
        chart.isNull() ? u"-"_qs : QString::number(chart.toInteger()));
}

// Pages of a PDF as Qt's writer leaves them: one uncompressed "/Type /Page" object each.
int pdfPages(const QByteArray &pdf)
{
    static const QRegularExpression page(u"/Type\\s*/Page(?!s)"_qs);
    int pages = 0;
    for (QRegularExpressionMatchIterator it = page.globalMatch(QString::fromLatin1(pdf));
         it.hasNext(); it.next())
        ++pages;
    return pages;
}

ReadingTable numberedTable(int rows)
{
    ReadingTable table;
    for (int i = 0; i < rows; ++i) {
        ReadingTable::Row r;
        r.no = i + 1;
        r.time = u"09:05:%1"_qs.arg(i % 60, 2, 10, QChar(u'0'));
        r.dcAc = i % 3 ? u"DCV"_qs : u"OHM"_qs;
        r.value = QString::number(1000 + i);
        r.unit = i % 3 ? u"V"_qs : u"K *"_qs;
        r.range = u"4 V"_qs;
        r.autoText = i % 2 ? u"Auto"_qs : u"Manu"_qs;
        r.nval = 1000 + i;
        table.append(r);
    }
    return table;
}

} // namespace

void TestMeterlog::sameFramesAndRowsAsTheWindow_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<double>("noise");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<bool>("limit1000");

    QTest::newRow("every function") << u"walk"_qs << 0.0 << true << false;
    QTest::newRow("damaged frames") << u"walk"_qs << 0.04 << true << false;
    QTest::newRow("damaged, Repeat off") << u"walk"_qs << 0.04 << false << false;
    QTest::newRow("damaged, limit 1000 reached") << u"dcv"_qs << 0.02 << true << true;
}

void TestMeterlog::sameFramesAndRowsAsTheWindow()
{
    QFETCH(QString, script);
    QFETCH(double, noise);
    QFETCH(bool, repeat);
    QFETCH(bool, limit1000);

    QTemporaryDir dir;
    const QByteArray bytes = streamOf(script, 1500, noise, 7);
    const QString capture = dir.filePath(u"capture.bin"_qs);
    QVERIFY(writeFile(capture, bytes));
    const QString out = dir.filePath(u"rows.xml"_qs);
    QStringList options {u"--from"_qs, capture, u"--json"_qs, u"--out"_qs, out};
    if (!repeat)
        options << u"--no-repeat"_qs;
    if (limit1000)
        options << u"--limit"_qs << u"1000"_qs;
    const MeterlogResult run = runMeterlog(options);
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    const QList<QJsonObject> lines = jsonLines(run.out);

    TestWindow t;
    t.find<QCheckBox>(u"RepeatSet"_qs)->setChecked(repeat);
    if (limit1000)
        t.window->recorder().N10001Click();
    SerialLink &link = t.window->serialLink();
    MeterDisplay &display = t.window->display();
    const ReadingTable &table = t.window->recorder().table();

    // One frame at a time through the window's serial receive handler, each compared with
    // meterlog's line for it.
    qsizetype from = 0;
    int index = 0;
    int failures = 0;
    for (qsizetype cr; (cr = bytes.indexOf('\r', from)) >= 0; from = cr + 1, ++index) {
        const int shown = display.framesShown();
        const qsizetype rows = table.rowCount();
        const qint32 points = t.window->chartControl().PointCount();
        const qsizetype errors = t.prompts.texts(u"applicationError"_qs).size();
        link.GostelData(&link.COMM2(), bytes.constData() + from, int(cr + 1 - from));
        QCoreApplication::processEvents(); // the error report shows after the handler

        const QStringList reported = t.prompts.texts(u"applicationError"_qs);
        const QString error = reported.size() > errors ? reported.last() : QString();
        failures += error.isEmpty() ? 0 : 1;
        const Reading &r = t.window->state().reading;
        const QString window = frameView(
            t.window->state().ReadingFrame, error, display.framesShown() == shown,
            table.rowCount() > rows,
            {r.functionText, r.valueText, r.unitText, r.rangeText, r.autoText},
            {qint64(r.numericValue), display.needlePosition(), display.barPosition()},
            t.window->chartControl().PointCount() > points ? QString::number(display.chartValue())
                                                           : u"-"_qs);
        QVERIFY2(index < lines.size(), "meterlog printed fewer frames than the window saw");
        QCOMPARE(meterlogView(lines[index]), window);
    }
    QCOMPARE(lines.size(), index);
    if (noise > 0)
        QVERIFY2(failures > 0, "the damaged stream never reached a failing step");

    const std::optional<ReadingTable> written = loadTable(out);
    QVERIFY(written);
    QCOMPARE(rowTexts(*written), rowTexts(table));
    QCOMPARE(written->rowCount(), limit1000 ? 1000 : table.rowCount());
}

void TestMeterlog::jsonOfKnownFrames_data()
{
    QTest::addColumn<QByteArray>("nibbles");
    QTest::addColumn<QJsonObject>("expected");

    const auto flags = [](std::initializer_list<const char16_t *> on) {
        QJsonObject o;
        for (const char16_t *name : {u"hv", u"negative", u"lowBattery", u"overload", u"hold",
                                     u"max", u"min", u"auto", u"manual", u"open"})
            o.insert(QString::fromUtf16(name), false);
        for (const char16_t *name : on)
            o.insert(QString::fromUtf16(name), true);
        return o;
    };
    QTest::newRow("1.234 V DC auto") << QByteArray("00012340010")
                                     << QJsonObject {{u"frame"_qs, u"A00012340010D"_qs},
                                                     {u"function"_qs, u"DCV"_qs},
                                                     {u"value"_qs, u"1.234"_qs},
                                                     {u"unit"_qs, u"V"_qs},
                                                     {u"range"_qs, u"4 V"_qs},
                                                     {u"auto"_qs, u"Auto"_qs},
                                                     {u"numeric"_qs, 1234},
                                                     {u"flags"_qs, flags({u"auto"})},
                                                     {u"scaleCode"_qs, u"4"_qs},
                                                     {u"needle"_qs, 523},
                                                     {u"bar"_qs, 12},
                                                     {u"chart"_qs, 1234},
                                                     {u"recorded"_qs, true},
                                                     {u"row"_qs, 1}};
    QTest::newRow("-39.9 V AC") << QByteArray("01203990410")
                                << QJsonObject {{u"function"_qs, u"ACV"_qs},
                                                {u"value"_qs, u"-039.9"_qs},
                                                {u"range"_qs, u"400 V"_qs},
                                                {u"numeric"_qs, -399},
                                                {u"flags"_qs, flags({u"negative", u"auto"})},
                                                {u"needle"_qs, 361},
                                                {u"bar"_qs, 3},
                                                {u"chart"_qs, -399},
                                                {u"row"_qs, 1}};
    QTest::newRow("overload") << QByteArray("00100000110")
                              << QJsonObject {{u"value"_qs, u"0@"_qs},
                                              {u"numeric"_qs, 4001},
                                              {u"flags"_qs, flags({u"overload", u"auto"})},
                                              {u"needle"_qs, 800},
                                              {u"bar"_qs, 40},
                                              {u"chart"_qs, 4000}};
    QTest::newRow("temperature, open input") << QByteArray("11000000001")
                                             << QJsonObject {{u"function"_qs, u"TMP"_qs},
                                                             {u"unit"_qs, u"#"_qs},
                                                             {u"value"_qs, u"open"_qs},
                                                             {u"numeric"_qs, 0},
                                                             {u"scaleCode"_qs, u"13"_qs},
                                                             {u"flags"_qs, flags({u"open"})},
                                                             {u"needle"_qs, 0},
                                                             {u"bar"_qs, 0},
                                                             {u"chart"_qs, 0}};
    QTest::newRow("bad digit") << QByteArray("0001B340010")
                               << QJsonObject {
                                      {u"error"_qs, u"'1B34' is not a valid integer value"_qs},
                                      {u"frame"_qs, u"A0001B340010D"_qs},
                                      {u"recorded"_qs, false}};
    QTest::newRow("bad function") << QByteArray("B0012340010")
                                  << QJsonObject {
                                         {u"error"_qs, u"'B' is not a valid integer value"_qs},
                                         {u"frame"_qs, u"AB0012340010D"_qs}};
}

void TestMeterlog::jsonOfKnownFrames()
{
    QFETCH(QByteArray, nibbles);
    QFETCH(QJsonObject, expected);

    QTemporaryDir dir;
    const QString capture = dir.filePath(u"frames.bin"_qs);
    // A partial reading before the first line feed, as when plugging into a running meter.
    QVERIFY(writeFile(capture, "0123\r" + meterReadings({nibbles.constData()})));
    const MeterlogResult run = runMeterlog({u"--from"_qs, capture, u"--json"_qs});
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    const QList<QJsonObject> lines = jsonLines(run.out);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].value(u"dropped"_qs).toString(), u"0123D"_qs);

    const QJsonObject &line = lines[1];
    QVERIFY(QRegularExpression(u"^\\d\\d:\\d\\d:\\d\\d$"_qs)
                .match(line.value(u"time"_qs).toString())
                .hasMatch());
    const QStringList readingKeys {u"time"_qs,    u"timestamp"_qs, u"frame"_qs,     u"function"_qs,
                                   u"value"_qs,   u"unit"_qs,      u"range"_qs,     u"auto"_qs,
                                   u"numeric"_qs, u"flags"_qs,     u"scaleCode"_qs, u"needle"_qs,
                                   u"bar"_qs,     u"chart"_qs,     u"recorded"_qs,  u"row"_qs};
    if (!expected.contains(u"error"_qs)) {
        QStringList keys = line.keys();
        QStringList wanted = readingKeys;
        keys.sort();
        wanted.sort();
        QCOMPARE(keys, wanted);
    }
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QCOMPARE(line.value(it.key()), it.value());
    // Compact, one object a line.
    QVERIFY(!run.out.contains(": ") && !run.out.contains(", "));
}

void TestMeterlog::jsonTimestamps_data()
{
    QTest::addColumn<QString>("zone"); // TZ of the run

    QTest::newRow("UTC") << u"UTC"_qs;
    QTest::newRow("Berlin") << u"Europe/Berlin"_qs;
    QTest::newRow("Kolkata, half an hour") << u"Asia/Kolkata"_qs;
    QTest::newRow("St. John's, west of UTC") << u"America/St_Johns"_qs;
}

// Every line's "timestamp" is the local date and time in the run's zone, to the millisecond,
// with the numeric offset ("+00:00" for UTC): it names an instant of the run and agrees with
// "time", which keeps its form.
void TestMeterlog::jsonTimestamps()
{
    QFETCH(QString, zone);
    const QTimeZone timeZone(zone.toLatin1());
    if (!timeZone.isValid())
        QSKIP("the time zone database does not know the zone");

    QTemporaryDir dir;
    const QString capture = dir.filePath(u"frames.bin"_qs);
    // A dropped frame, decoded ones and one that fails.
    QVERIFY(writeFile(capture,
                      "0123\r" + meterReadings({"00012340010", "0001B340010", "01203990410"})
                          + streamOf(u"walk"_qs, 300, 0, 3)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TZ"_qs, zone);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const MeterlogResult run = runMeterlog({u"--from"_qs, capture, u"--json"_qs}, environment);
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    const QList<QJsonObject> lines = jsonLines(run.out);
    QCOMPARE(lines.size(), 304);
    QVERIFY(lines[0].contains(u"dropped"_qs));
    QVERIFY(lines[2].contains(u"error"_qs));

    static const QRegularExpression form(
        u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"_qs);
    qint64 previous = before;
    for (const QJsonObject &line : lines) {
        const QString stamp = line.value(u"timestamp"_qs).toString();
        QVERIFY2(form.match(stamp).hasMatch(), qPrintable(stamp));
        const QDateTime when = QDateTime::fromString(stamp, Qt::ISODateWithMs);
        QVERIFY2(when.isValid(), qPrintable(stamp));
        const qint64 ms = when.toMSecsSinceEpoch();
        QVERIFY2(ms >= previous && ms <= after, qPrintable(stamp));
        previous = ms;
        // The offset is the zone's at that instant; the wall clock is the zone's there.
        const int offset = timeZone.offsetFromUtc(when);
        QCOMPARE(when.offsetFromUtc(), offset);
        const QDateTime local = when.toTimeZone(timeZone);
        QCOMPARE(stamp.left(23), local.toString(u"yyyy-MM-dd'T'HH:mm:ss.zzz"_qs));
        QCOMPARE(line.value(u"time"_qs).toString(), local.toString(u"hh:mm:ss"_qs));
    }
    if (zone == u"UTC")
        QVERIFY(lines[0].value(u"timestamp"_qs).toString().endsWith(u"+00:00"_qs));
}

void TestMeterlog::samplingInterval_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("rows");

    // A replay takes far less than an hour of the wall clock: with --interval 3600 the first
    // reading is taken and every later one finds the countdown above 0.
    QTest::newRow("no interval") << QStringList {} << 200;
    QTest::newRow("interval 0") << QStringList {u"--interval"_qs, u"0"_qs} << 200;
    QTest::newRow("interval 3600") << QStringList {u"--interval"_qs, u"3600"_qs} << 1;
    QTest::newRow("interval 0, limit 1")
        << QStringList {u"--interval"_qs, u"0"_qs, u"--limit"_qs, u"1"_qs} << 1;
}

void TestMeterlog::samplingInterval()
{
    QFETCH(QStringList, options);
    QFETCH(int, rows);

    QTemporaryDir dir;
    const QString capture = dir.filePath(u"dcv.bin"_qs);
    QVERIFY(writeFile(capture, streamOf(u"dcv"_qs, 200, 0, 1)));
    const QString out = dir.filePath(u"rows.txt"_qs);
    const MeterlogResult run
        = runMeterlog(QStringList {u"--from"_qs, capture, u"--out"_qs, out} + options);
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    const std::optional<ReadingTable> written = loadTable(out);
    QVERIFY(written);
    QCOMPARE(written->rowCount(), rows);
    QCOMPARE(written->row(0).no, std::optional<qint32>(1));
}

void TestMeterlog::reportPages_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("outName");
    QTest::addColumn<int>("pages");

    QTest::newRow("37 rows fill one page") << 37 << u"report.pdf"_qs << 1;
    QTest::newRow("38 rows need two") << 38 << u"REPORT.PDF"_qs << 2;
    QTest::newRow("75 rows need three") << 75 << u"report.Pdf"_qs << 3;
}

void TestMeterlog::reportPages()
{
    QFETCH(int, rows);
    QFETCH(QString, outName);
    QFETCH(int, pages);

    QTemporaryDir dir;
    const QString in = dir.filePath(u"rows.xml"_qs);
    QVERIFY(TableFiles::save(numberedTable(rows), in));
    const QString out = dir.filePath(outName);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"QT_QPA_PLATFORM"_qs); // meterlog needs no display of its own
    const MeterlogResult run = runMeterlog({u"convert"_qs, in, out}, environment);
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    const QByteArray pdf = readFile(out);
    QVERIFY(pdf.startsWith("%PDF-"));
    QCOMPARE(pdfPages(pdf), pages);
}

void TestMeterlog::emptyTableHasNoReport_data()
{
    QTest::addColumn<QString>("inName");
    QTest::addColumn<bool>("outExists"); // an earlier report of that name
    QTest::newRow("XML packet, no earlier report") << u"empty.xml"_qs << false;
    QTest::newRow("text file, earlier report") << u"empty.txt"_qs << true;
}

// As the window's Print does nothing for an empty table, convert writes no report of one.
void TestMeterlog::emptyTableHasNoReport()
{
    QFETCH(QString, inName);
    QFETCH(bool, outExists);
    QTemporaryDir dir;
    const QString in = dir.filePath(inName);
    QVERIFY(TableFiles::save(ReadingTable(), in));
    const QString out = dir.filePath(u"report.pdf"_qs);
    const QByteArray earlier = "an earlier report";
    if (outExists)
        QVERIFY(writeFile(out, earlier));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"QT_QPA_PLATFORM"_qs);
    const MeterlogResult run = runMeterlog({u"convert"_qs, in, out}, environment);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.contains("empty"), run.err.constData());
    QVERIFY2(run.err.contains(in.toLocal8Bit()), run.err.constData());
    QCOMPARE(QFile::exists(out), outExists);
    if (outExists)
        QCOMPARE(readFile(out), earlier);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), outExists ? 2 : 1);
}

void TestMeterlog::textAndXmlRoundTrip()
{
    QTemporaryDir dir;
    ReadingTable original = numberedTable(50);
    ReadingTable::Row awkward;
    awkward.no = 51;
    awkward.time = u"23:59:59"_qs;
    awkward.dcAc = u")"_qs;
    awkward.value = u"<&\"'>"_qs;
    awkward.unit = u"v"_qs;
    awkward.nval = -4001;
    original.append(awkward);
    const QString xml = dir.filePath(u"a.xml"_qs);
    QVERIFY(TableFiles::save(original, xml));

    const QString text = dir.filePath(u"b.xls"_qs);
    const QString back = dir.filePath(u"c.xml"_qs);
    QCOMPARE(runMeterlog({u"convert"_qs, xml, text}).exitCode, 0);
    QCOMPARE(runMeterlog({u"convert"_qs, text, back}).exitCode, 0);

    // The text form is the window's writer's, byte for byte; it has no Nval.
    const QString expectedText = dir.filePath(u"expected.txt"_qs);
    QVERIFY(TableFiles::saveText(original, expectedText));
    QCOMPARE(readFile(text), readFile(expectedText));
    const std::optional<ReadingTable> result = loadTable(back);
    QVERIFY(result);
    QCOMPARE(result->rowCount(), original.rowCount());
    for (qsizetype i = 0; i < original.rowCount(); ++i) {
        ReadingTable::Row expected = original.row(i);
        expected.nval.reset();
        QCOMPARE(result->row(i), expected);
    }
}

void TestMeterlog::csvOut_data()
{
    QTest::addColumn<QString>("locale"); // LC_ALL of the run
    QTest::addColumn<bool>("fullDisk"); // --out is a link to /dev/full

    QTest::newRow("point") << u"C.UTF-8"_qs << false;
    QTest::newRow("comma decimal separator") << u"de_DE.UTF-8"_qs << false;
    QTest::newRow("no room, rows beside the journal") << u"de_DE.UTF-8"_qs << true;
}

// --out rows.csv writes the rows the run recorded as the window's CSV writer does, the values
// with the locale's decimal separator; when the file cannot take them, the file beside the
// journal is CSV too.
void TestMeterlog::csvOut()
{
    QFETCH(QString, locale);
    QFETCH(bool, fullDisk);

    QTemporaryDir dir;
    const QString capture = dir.filePath(u"capture.bin"_qs);
    QVERIFY(writeFile(capture,
                      meterReadings({"00012340010", "01203990410", "11000000001"})
                          + streamOf(u"walk"_qs, 200, 0.04, 11)));
    const QString out = dir.filePath(u"rows.csv"_qs);
    if (fullDisk)
        QVERIFY(QFile::link(u"/dev/full"_qs, out));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_qs, locale);
    environment.insert(u"XDG_STATE_HOME"_qs, dir.filePath(u"state"_qs));
    const MeterlogResult run
        = runMeterlog({u"--from"_qs, capture, u"--json"_qs, u"--out"_qs, out}, environment);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, fullDisk ? 5 : 0);

    QString written = out;
    if (fullDisk) {
        const QRegularExpression instead(u"the rows are written to (.*) instead"_qs);
        const QRegularExpressionMatch match = instead.match(QString::fromLocal8Bit(run.err));
        QVERIFY2(match.hasMatch(), run.err.constData());
        written = match.captured(1);
        QCOMPARE(QFileInfo(written).path(), dir.filePath(u"state/meterlink"_qs));
        QVERIFY(written.endsWith(u"-rows.csv"_qs));
        QCOMPARE(fileKind(out), u"link"_qs);
    }

    // The rows as the --json lines reported them, through the CSV writer.
    ReadingTable recorded;
    for (const QJsonObject &o : jsonLines(run.out)) {
        if (!o.value(u"recorded"_qs).toBool() || o.contains(u"error"_qs))
            continue;
        ReadingTable::Row r;
        r.no = o.value(u"row"_qs).toInt();
        r.time = o.value(u"time"_qs).toString();
        r.dcAc = o.value(u"function"_qs).toString();
        r.value = o.value(u"value"_qs).toString();
        r.unit = o.value(u"unit"_qs).toString();
        r.range = o.value(u"range"_qs).toString();
        r.autoText = o.value(u"auto"_qs).toString();
        recorded.append(r);
    }
    QVERIFY(recorded.rowCount() > 100);
    const QString expected = dir.filePath(u"expected.csv"_qs);
    QVERIFY(TableFiles::saveCsv(recorded, expected));
    const QByteArray bytes = readFile(written);
    QCOMPARE(bytes, readFile(expected));
    QVERIFY(bytes.contains(locale == u"C.UTF-8" ? ",1.234," : ",\"1,234\","));
}

// convert writes CSV from any table file, as the window's writer does; a CSV file is not read.
void TestMeterlog::convertToCsv()
{
    QTemporaryDir dir;
    ReadingTable original = numberedTable(30);
    for (const QString &value :
         {u"1,5"_qs, u"a \"b\""_qs, u"two\r\nlines"_qs, u"\u00B5A \u03A9"_qs, QString()}) {
        ReadingTable::Row r = original.row(0);
        r.value = value;
        original.append(r);
    }
    const QString xml = dir.filePath(u"rows.xml"_qs);
    QVERIFY(TableFiles::save(original, xml));
    const QString expected = dir.filePath(u"expected.csv"_qs);
    QVERIFY(TableFiles::saveCsv(original, expected));

    const QString csv = dir.filePath(u"rows.csv"_qs);
    const MeterlogResult run = runMeterlog({u"convert"_qs, xml, csv});
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    QCOMPARE(readFile(csv), readFile(expected));

    const QString back = dir.filePath(u"back.xml"_qs);
    const MeterlogResult load = runMeterlog({u"convert"_qs, csv, back});
    QCOMPARE(load.exitCode, 4);
    QVERIFY2(load.err.contains("Failed to Load File! Line 2: ")
                 && load.err.contains("CSV files are written for spreadsheets, not read back"),
             load.err.constData());
    QVERIFY(!QFile::exists(back));
}

void TestMeterlog::convertIntoAFifo_data()
{
    QTest::addColumn<QString>("outName");
    QTest::newRow("report") << u"out.pdf"_qs;
    QTest::newRow("XML") << u"out.xml"_qs;
    QTest::newRow("text") << u"out.txt"_qs;
    QTest::newRow("CSV") << u"out.csv"_qs;
}

// Whatever the output, a FIFO gets the whole of it and stays a FIFO.
void TestMeterlog::convertIntoAFifo()
{
    QFETCH(QString, outName);
    QTemporaryDir dir;
    const QString in = dir.filePath(u"rows.xml"_qs);
    QVERIFY(TableFiles::save(numberedTable(2500), in)); // more than a pipe holds at once
    QVERIFY(QDir().mkpath(dir.filePath(u"plain"_qs)));
    const QString plain = dir.filePath(u"plain/"_qs + outName);
    QCOMPARE(runMeterlog({u"convert"_qs, in, plain}).exitCode, 0);
    const QByteArray expected = readFile(plain);
    QVERIFY(expected.size() > 64 * 1024);

    const QString out = dir.filePath(outName);
    FifoReader reader(out);
    QVERIFY(reader.isValid());
    const MeterlogResult run = runMeterlog({u"convert"_qs, in, out});
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    const QByteArray bytes = reader.bytes();
    QCOMPARE(fileKind(out), u"FIFO"_qs);
    if (outName.endsWith(u".pdf"_qs)) { // made at another moment: same pages, whole document
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
        QCOMPARE(bytes.size(), expected.size());
        QCOMPARE(pdfPages(bytes), pdfPages(expected));
    } else {
        QCOMPARE(bytes, expected);
    }
}

void TestMeterlog::failures_data()
{
    QTest::addColumn<QStringList>("arguments"); // %D: a temporary folder
    QTest::addColumn<QString>("environment"); // NAME=VALUE or empty
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const auto row = [](const char *name, QStringList arguments, int exitCode, QString message,
                        QString environment = {}) {
        QTest::newRow(name) << arguments << environment << exitCode << message;
    };
    row("no source", {u"--out"_qs, u"%D/r.xml"_qs}, 2, u"no source"_qs);
    row("two sources", {u"--from"_qs, u"a"_qs, u"--port"_qs, u"b"_qs}, 2, u"only one"_qs);
    row("unknown option", {u"--from"_qs, u"a"_qs, u"--colour"_qs}, 2, u"colour"_qs);
    row("limit 0", {u"--from"_qs, u"a"_qs, u"--limit"_qs, u"0"_qs}, 2, u"--limit"_qs);
    row("limit not a number", {u"--from"_qs, u"a"_qs, u"--limit"_qs, u"1e4"_qs}, 2, u"1e4"_qs);
    row("interval not a number", {u"--from"_qs, u"a"_qs, u"--interval"_qs, u"-1"_qs}, 2,
        u"--interval"_qs);
    row("COM 5", {u"--com"_qs, u"5"_qs}, 2, u"1 to 4"_qs);
    row("capture of a replay", {u"--from"_qs, u"a"_qs, u"--capture"_qs, u"c"_qs}, 2,
        u"--capture"_qs);
    row("convert without output", {u"convert"_qs, u"a.xml"_qs}, 2, u"convert"_qs);
    row("recover without output", {u"--recover"_qs, u"%D/x.txt"_qs}, 2, u"--recover"_qs);
    row("recover while recording",
        {u"--recover"_qs, u"%D/x.txt"_qs, u"--from"_qs, u"a"_qs, u"o"_qs}, 2,
        u"--recover takes no other options"_qs);
    row("missing device", {u"--port"_qs, u"%D/ttyNone"_qs}, 3,
        u"cannot open %D/ttyNone: the device does not exist"_qs);
    row("COM 3 named by the environment", {u"--com"_qs, u"3"_qs}, 3,
        u"cannot open COM 3 (%D/ttyGone)"_qs, u"METERLINK_COM3=%D/ttyGone"_qs);
    row("no HID cable", {u"--hid"_qs}, 3, u"no HID cable \"USB to Serial\" is plugged in"_qs);
    row("no HID device at the path", {u"--hid"_qs, u"%D/hidraw9"_qs}, 3,
        u"cannot open %D/hidraw9: no HID device of that path is present"_qs);
    row("HID cable and a replay", {u"--hid"_qs, u"--from"_qs, u"a"_qs}, 2, u"only one"_qs);
    row("missing capture", {u"--from"_qs, u"%D/none.bin"_qs}, 4,
        u"cannot read the capture %D/none.bin"_qs);
    row("capture is a folder", {u"--from"_qs, u"%D"_qs}, 4, u"it is a folder"_qs);
    row("out in a missing folder", {u"--from"_qs, u"%D/x.bin"_qs, u"--out"_qs, u"%D/no/r.xml"_qs},
        5, u"cannot write %D/no/r.xml"_qs);
    row("out is a folder", {u"--from"_qs, u"%D/x.bin"_qs, u"--out"_qs, u"%D"_qs}, 5,
        u"it is a folder"_qs);
    row("convert a missing file", {u"convert"_qs, u"%D/none.txt"_qs, u"%D/o.xml"_qs}, 4,
        u"Failed to Load File! Could not read %D/none.txt"_qs);
    row("convert broken XML", {u"convert"_qs, u"%D/x.xml"_qs, u"%D/o.txt"_qs}, 4,
        u"Failed to Load File!"_qs);
    // Over an earlier file, which stays as it was.
    row("convert a device", {u"convert"_qs, u"/dev/zero"_qs, u"%D/x.txt"_qs}, 4,
        u"Failed to Load File! Could not read /dev/zero: it is not a regular file"_qs);
    row("convert a bad number", {u"convert"_qs, u"%D/e.txt"_qs, u"%D/o.xml"_qs}, 4,
        u"Line 2: '\\x1B]0;owned\\x07\\x00' is not a whole number"_qs);
    row("convert into a missing folder", {u"convert"_qs, u"%D/x.txt"_qs, u"%D/no/o.xml"_qs}, 5,
        u"%D/no/o.xml"_qs);
    row("report into a missing folder", {u"convert"_qs, u"%D/x.txt"_qs, u"%D/no/o.pdf"_qs}, 5,
        u"cannot write %D/no/o.pdf"_qs);
}

void TestMeterlog::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString d = dir.path();
    QVERIFY(writeFile(dir.filePath(u"x.bin"_qs), meterReadings({"00012340010"})));
    QVERIFY(writeFile(dir.filePath(u"x.xml"_qs), "<?xml version=\"1.0\"?><DATAPACKET"));
    const QByteArray text = "No\tTime\r\n1\t09:05:04\tDCV\t1.234\r\n";
    QVERIFY(writeFile(dir.filePath(u"x.txt"_qs), text));
    // A number field holding a terminal's escape sequence and a NUL.
    QVERIFY(writeFile(dir.filePath(u"e.txt"_qs), QByteArray("No\r\n\x1B]0;owned\x07\0\r\n", 17)));
    for (QString &a : arguments)
        a.replace(u"%D"_qs, d);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!environment.isEmpty())
        env.insert(environment.section(u'=', 0, 0),
                   environment.section(u'=', 1).replace(u"%D"_qs, d));

    const MeterlogResult run = runMeterlog(arguments, env);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    const QString err = QString::fromLocal8Bit(run.err);
    QVERIFY2(err.contains(message.replace(u"%D"_qs, d)), qPrintable(err));
    QVERIFY(!run.err.contains('\x1B') && !run.err.contains('\0'));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(QDir(d).entryList(QDir::Files | QDir::Hidden).size(), 4); // nothing left behind
    QCOMPARE(readFile(dir.filePath(u"x.txt"_qs)), text);
}

void TestMeterlog::helpNamesTheExitCodes()
{
    const MeterlogResult run = runMeterlog({u"--help"_qs});
    QCOMPARE(run.exitCode, 0);
    for (const char *text : {"--com N", "--port PATH", "--from FILE", "convert IN OUT",
                             "--recover JOURNAL OUT", "~/.local/state/meterlink",
                             "\n  2    usage error", "\n  3    ", "\n  4    ", "\n  5    "})
        QVERIFY2(run.out.contains(text), text);
}

void TestMeterlog::outThatCannotBeReplacedFailsAtStart_data()
{
    QTest::addColumn<QString>("out"); // in the test's folder
    QTest::addColumn<QString>("linkTo"); // out is a symbolic link to this, when given
    QTest::addColumn<QString>("reason");

    QTest::newRow("read-only file") << u"ro.xml"_qs << QString() << u"not writable"_qs;
    QTest::newRow("link into a folder below a file")
        << u"link.xml"_qs << u"%D/x.bin/sub/rows.xml"_qs << u"cannot write %D/link.xml"_qs;
}

void TestMeterlog::outThatCannotBeReplacedFailsAtStart()
{
    QFETCH(QString, out);
    QFETCH(QString, linkTo);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString d = dir.path();
    // The folder takes anyone's files: only the file itself may refuse.
    QVERIFY(QFile::setPermissions(d, QFileDevice::Permissions(0x7777)));
    QVERIFY(writeFile(dir.filePath(u"x.bin"_qs), meterReadings({"00012340010"})));
    const QString outPath = dir.filePath(out);
    if (linkTo.isEmpty()) {
        QVERIFY(writeFile(outPath, "earlier rows"));
        QVERIFY(QFile::setPermissions(
            outPath, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    } else {
        QVERIFY(QFile::link(linkTo.replace(u"%D"_qs, d), outPath));
    }

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_STATE_HOME"_qs, dir.filePath(u"state"_qs));
    p.setProcessEnvironment(env);
    // Root writes a read-only file all the same: the run is an ordinary user's.
    p.setChildProcessModifier([] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
    });
    p.start(meterlogPath(), {u"--from"_qs, dir.filePath(u"x.bin"_qs), u"--out"_qs, outPath});
    QVERIFY(p.waitForFinished(60'000));
    QCOMPARE(p.exitCode(), 5);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(err.contains(reason.replace(u"%D"_qs, d)), qPrintable(err));
    // Refused before any row: no summary of a run.
    QVERIFY2(!err.contains(u"rows recorded"_qs), qPrintable(err));
    if (linkTo.isEmpty())
        QCOMPARE(readFile(outPath), QByteArray("earlier rows"));
}

void TestMeterlog::recoverWritesAJournal_data()
{
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("rows"); // in OUT afterwards, -1: no OUT

    const QByteArray header = "No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\tNval\r\n";
    const QByteArray two = "1\t09:05:04\tDCV\t1.234\tV\t4 V\tAuto\t1234\r\n"
                           "2\t09:05:05\tDCV\t  0@  \tV\t4 V\tAuto\t0\r\n";
    QTest::newRow("to XML") << header + two << u"rows.xml"_qs << 0 << 2;
    QTest::newRow("to text") << header + two << u"rows.txt"_qs << 0 << 2;
    QTest::newRow("last line cut short") << header + two + "3\t09:0" << u"rows.xml"_qs << 0 << 2;
    QTest::newRow("damaged line") << header + two + "x\ty\r\n" << u"rows.xml"_qs << 4 << 2;
    QTest::newRow("no journal") << QByteArray() << u"rows.xml"_qs << 4 << -1;
    QTest::newRow("output below a file") << header + two << u"j.journal/rows.xml"_qs << 5 << -1;
}

void TestMeterlog::recoverWritesAJournal()
{
    QFETCH(QByteArray, journal);
    QFETCH(QString, out);
    QFETCH(int, exitCode);
    QFETCH(int, rows);

    QTemporaryDir dir;
    const QString journalPath = dir.filePath(u"j.journal"_qs);
    if (!journal.isEmpty())
        QVERIFY(writeFile(journalPath, journal));
    const MeterlogResult run = runMeterlog({u"--recover"_qs, journalPath, dir.filePath(out)});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode != 0)
        QVERIFY(!run.err.isEmpty());
    if (rows < 0) {
        QVERIFY(!QFile::exists(dir.filePath(out)));
        return;
    }
    const std::optional<ReadingTable> written = loadTable(dir.filePath(out));
    QVERIFY(written);
    QCOMPARE(written->rowCount(), rows);
    QCOMPARE(written->row(1).no, std::optional<qint32>(2));
    QCOMPARE(written->row(0).value, u"1.234"_qs);
    QCOMPARE(written->row(0).time, u"09:05:04"_qs);
    QVERIFY(QFile::exists(journalPath)); // the journal stays for the user to remove
}

void TestMeterlog::replayThatEndsRemovesItsJournal()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"x.bin"_qs), streamOf(u"dcv"_qs, 200, 0, 1)));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_STATE_HOME"_qs, dir.filePath(u"state"_qs));
    for (const QStringList &out :
         {QStringList {}, QStringList {u"--out"_qs, dir.filePath(u"r.xml"_qs)}}) {
        const MeterlogResult run
            = runMeterlog(QStringList {u"--from"_qs, dir.filePath(u"x.bin"_qs)} + out, env);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QDir(dir.filePath(u"state/meterlink"_qs)).entryList(QDir::Files), QStringList());
    }
}

void TestMeterlog::journalThatCannotBeWrittenSaysSoOnce()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"x.bin"_qs), streamOf(u"dcv"_qs, 300, 0, 1)));
    QVERIFY(writeFile(dir.filePath(u"file"_qs), "not a folder"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_STATE_HOME"_qs, dir.filePath(u"file/state"_qs));
    const QString out = dir.filePath(u"r.xml"_qs);
    const MeterlogResult run
        = runMeterlog({u"--from"_qs, dir.filePath(u"x.bin"_qs), u"--out"_qs, out}, env);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err.count("cannot keep the rows in the journal"), 1);
    QVERIFY2(run.err.contains(QFile::encodeName(dir.filePath(u"file"_qs))), run.err.constData());
    // Recording went on: every row is written.
    const std::optional<ReadingTable> written = loadTable(out);
    QVERIFY(written);
    QCOMPARE(written->rowCount(), 300);
}

void TestMeterlog::hidReportsReplayAsTheSerialBytesDo()
{
    // The same readings once as the serial cable delivers them and once as the HID cable packs
    // them: three meter bytes a report at most, then reports without bytes while the meter
    // pauses. Both replays give the same JSON lines but for the time.
    MeterScript script = *MeterScript::fromName(u"walk"_qs, 11);
    QByteArray serial("\n");
    QByteArray hid("# the cable's reports\n");
    for (int i = 0; i < 300; ++i) {
        const QByteArray wire = script.next().wireBytes();
        serial += wire;
        for (qsizetype at = 0; at < wire.size(); at += 3) {
            const QByteArray part = wire.mid(at, 3);
            QByteArray report(1, char(0xF0 | part.size()));
            report += part + QByteArray(4, '\0');
            HidReportFile::appendLine(hid, 0, report);
        }
        for (int pause = 0; pause < 1 + i % 3; ++pause)
            HidReportFile::appendLine(hid, 0, QByteArray("\xF0\0\0\0\0\0\0", 8));
    }
    QTemporaryDir dir;
    const QString serialPath = dir.filePath(u"serial.bin"_qs);
    const QString hidPath = dir.filePath(u"reports.txt"_qs);
    QVERIFY(writeFile(serialPath, serial));
    QVERIFY(writeFile(hidPath, hid));

    const MeterlogResult fromSerial = runMeterlog({u"--from"_qs, serialPath, u"--json"_qs});
    const MeterlogResult fromHid = runMeterlog({u"--from-hid"_qs, hidPath, u"--json"_qs});
    QVERIFY2(fromHid.finished && fromHid.exitCode == 0, fromHid.err.constData());
    QVERIFY2(fromSerial.finished && fromSerial.exitCode == 0, fromSerial.err.constData());
    QList<QJsonObject> serialLines = jsonLines(fromSerial.out);
    QList<QJsonObject> hidLines = jsonLines(fromHid.out);
    QCOMPARE(serialLines.size(), 300);
    for (QList<QJsonObject> *lines : {&serialLines, &hidLines}) {
        for (QJsonObject &line : *lines) {
            line.remove(u"time"_qs);
            line.remove(u"timestamp"_qs);
        }
    }
    QCOMPARE(hidLines, serialLines);
}

void TestMeterlog::hidReplayNamesABadLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"reports.txt"_qs);
    // The bad line is the last and has no line feed, so it is read only at the end of the file.
    QVERIFY(writeFile(path, "00 F0\n\n00 F3 3Z"));
    const MeterlogResult run = runMeterlog({u"--from-hid"_qs, path});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 4);
    const QString err = QString::fromLocal8Bit(run.err);
    QVERIFY2(err.contains(u"cannot read the capture "_qs + path
                          + u": line 3: \"3Z\" is not a byte of two hexadecimal digits"_qs),
             qPrintable(err));
}

QTEST_MAIN(TestMeterlog)
#include "tst_meterlog.moc"
