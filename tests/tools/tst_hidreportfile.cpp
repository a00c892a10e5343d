#include "FrameFeed.h"
#include "HidReportFile.h"
#include "recording/HeadlessSequence.h"

#include <QRandomGenerator>
#include <QTest>

class TestHidReportFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lines_data();
    void lines();
    void badLines_data();
    void badLines();
    void writtenReportsReadBackInAnyChunks();
    void reportsReplayThroughTheFeed();
};

namespace {

// Each report as the test writes it: "id: data" in hexadecimal.
QString shown(quint8 id, QByteArrayView data)
{
    return QString::number(id, 16) + u": "_qs + QString::fromLatin1(data.toByteArray().toHex());
}

QStringList readAll(const QByteArray &text, QString *error = nullptr)
{
    HidReportFile::Reader reader;
    QStringList reports;
    const auto onReport = [&](quint8 id, QByteArrayView data) {
        reports << shown(id, data);
    };
    const bool ok = reader.feed(text, onReport) && reader.finish(onReport);
    if (error)
        *error = reader.error();
    if (ok != reader.error().isEmpty())
        reports << u"(the result and the error disagree)"_qs;
    return reports;
}

} // namespace

void TestHidReportFile::lines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("reports");

    QTest::newRow("a reading and a pause")
        << QByteArray("00 F3 41 42 43\n00 F2 0D 0A\n00 F0\n")
        << QStringList {u"0: f3414243"_qs, u"0: f20d0a"_qs, u"0: f0"_qs};
    QTest::newRow("identifier only") << QByteArray("7e\n") << QStringList {u"7e: "_qs};
    QTest::newRow("no final line feed") << QByteArray("00 F0") << QStringList {u"0: f0"_qs};
    QTest::newRow("blank lines and notes skipped")
        << QByteArray("# cable capture\n\n   \n  # pause\n01 f1 30\n")
        << QStringList {u"1: f130"_qs};
    QTest::newRow("blanks, tabs and CR LF")
        << QByteArray("\t00  F1\t41 \r\n") << QStringList {u"0: f141"_qs};
    QTest::newRow("empty text") << QByteArray() << QStringList {};
}

void TestHidReportFile::lines()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, reports);
    QString error;
    QCOMPARE(readAll(text, &error), reports);
    QCOMPARE(error, QString());
}

void TestHidReportFile::badLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("reports"); // those before the bad line
    QTest::addColumn<QString>("error");

    QTest::newRow("not hexadecimal")
        << QByteArray("00 F0\n\n00 G1 41\n00 F0\n") << QStringList {u"0: f0"_qs}
        << u"line 3: \"G1\" is not a byte of two hexadecimal digits"_qs;
    QTest::newRow("one digit") << QByteArray("0 F0\n") << QStringList {}
                               << u"line 1: \"0\" is not a byte of two hexadecimal digits"_qs;
    QTest::newRow("digits not separated")
        << QByteArray("00F341\n") << QStringList {}
        << u"line 1: \"00F341\" is not a byte of two hexadecimal digits"_qs;
    QTest::newRow("a note after bytes")
        << QByteArray("# fine\n00 F0 # pause\n") << QStringList {}
        << u"line 2: \"#\" is not a byte of two hexadecimal digits"_qs;
    QTest::newRow("a long word is cut short")
        << QByteArray("00 0123456789abcdefXYZ") << QStringList {}
        << u"line 1: \"0123456789abcdef...\" is not a byte of two hexadecimal digits"_qs;
    QTest::newRow("control characters are shown escaped")
        << QByteArray("00 \x1B[2J\x07\n") << QStringList {}
        << u"line 1: \"\\x1B[2J\\x07\" is not a byte of two hexadecimal digits"_qs;
    // A file without line feeds is not held whole.
    QTest::newRow("a line beyond 64 KiB")
        << QByteArray("00 F0\n" + QByteArray(70000, '0')) << QStringList {u"0: f0"_qs}
        << u"line 2: longer than 65536 characters"_qs;
}

void TestHidReportFile::badLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, reports);
    QFETCH(QString, error);
    QString got;
    QCOMPARE(readAll(text, &got), reports);
    QCOMPARE(got, error);
}

void TestHidReportFile::writtenReportsReadBackInAnyChunks()
{
    QCOMPARE(HidReportFile::line(0, QByteArray("\xF3\x41\x42\x43")),
             QByteArray("00 F3 41 42 43\n"));
    QCOMPARE(HidReportFile::line(0xAB, {}), QByteArray("AB\n"));

    QRandomGenerator random(7);
    QByteArray text("# written by the test\n");
    QStringList written;
    for (int i = 0; i < 500; ++i) {
        QByteArray data(random.bounded(65), Qt::Uninitialized);
        for (char &b : data)
            b = char(random.bounded(256));
        const auto id = quint8(random.bounded(256));
        HidReportFile::appendLine(text, id, data);
        written << shown(id, data);
    }
    // Split into chunks of random sizes, the reports are the same.
    for (int round = 0; round < 20; ++round) {
        HidReportFile::Reader reader;
        QStringList read;
        const auto onReport = [&](quint8 id, QByteArrayView data) {
            read << shown(id, data);
        };
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype size = 1 + random.bounded(round * 50 + 1);
            QVERIFY(reader.feed(QByteArrayView(text).sliced(at, qMin(size, text.size() - at)),
                                onReport));
            at += size;
        }
        QVERIFY(reader.finish(onReport));
        QCOMPARE(read, written);
        QCOMPARE(reader.lines(), 501);
    }
}

void TestHidReportFile::reportsReplayThroughTheFeed()
{
    // Two readings as the cable packs them, a short burst between them, pauses after each.
    const QByteArray text("00 F3 30 30 30 00 00 00 00\n00 F3 31 32 33\n00 F3 34 30 30\n"
                          "00 F2 31 30\n00 F2 0D 0A\n00 F0\n00 F0\n"
                          "00 F2 35 0D\n00 F0\n"
                          "00 F3 32 30 31\n00 F3 30 30 39\n00 F3 39 30 30\n00 F2 31 30\n"
                          "00 F2 0D 0A\n00 F0\n");
    HeadlessSequence sequence(u"."_qs, u":"_qs);
    FrameFeed feed(sequence);
    QStringList seen;
    feed.setListener(
        [&](const QString &frame, FrameSink::Outcome outcome, const ConversionError *) {
            seen << frame + (outcome == FrameSink::Outcome::Decoded ? u" decoded"_qs : u" not"_qs);
        });
    HidReportFile::Reader reader;
    QVERIFY(reader.feed(text, [&](quint8, QByteArrayView data) { feed.feedHidReport(data); }));
    QCOMPARE(
        seen,
        (QStringList {u"A00012340010D decoded"_qs, u"5D not"_qs, u"A20100990010D decoded"_qs}));
    QCOMPARE(feed.frames(), 3);
    QCOMPARE(feed.dropped(), 1);
    QCOMPARE(feed.hidBurst().hidIdleReports(), 1);
    QCOMPARE(sequence.table().rowCount(), 2);
}

QTEST_GUILESS_MAIN(TestHidReportFile)
#include "tst_hidreportfile.moc"
