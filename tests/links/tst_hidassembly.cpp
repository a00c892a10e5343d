#include "links/FamilyAssemblers.h"
#include "links/HidAssembly.h"
#include "meter/FrameSink.h"

#include <QRandomGenerator>
#include <QTest>

class TestHidAssembly : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reportText_data();
    void reportText();
    void cableBursts_data();
    void cableBursts();
    void idleCountResets();
    void burstSharedBetweenHandlers();
    void readReport_data();
    void readReport();
    void ferrant_data();
    void ferrant();
    void nestrel_data();
    void nestrel();
    void randomReportsAgreeWithTheSteps();
    void sinkTakesAHandedVerdict();
};

namespace {

// A report as the tables write it: the identifier, then the data bytes.
QByteArray report(std::initializer_list<int> bytes)
{
    QByteArray r;
    for (int b : bytes)
        r += char(b);
    return r;
}

// What the window would do with the cable's handler: history lines, logs and frames.
struct CableRun
{
    QStringList history, memo2, memo1, frames;
    QList<bool> accepted;

    void feed(HidBurstAssembler &a, const QByteArray &r)
    {
        const QByteArrayView data = QByteArrayView(r).sliced(1);
        const HidBurst::Report kind = a.feed(
            data,
            [&](const QString &frame) {
                frames << frame;
                accepted << HidBurstAssembler::plausible(frame);
            },
            [&](const QString &byteText, const QString &lowDigits) {
                memo2 << byteText;
                memo1 << lowDigits;
            });
        if (kind == HidBurst::Report::Carried)
            history << HidBurst::reportText(quint8(r[0]), data);
    }
};

QByteArray randomReport(QRandomGenerator &random)
{
    QByteArray r(1 + random.bounded(66), Qt::Uninitialized); // identifier and 0..64 data bytes
    for (char &b : r)
        b = char(random.bounded(256));
    if (r.size() > 1 && random.bounded(10) < 7) // mostly carrying reports, so bursts grow long
        r[1] = char((r[1] & 0xF0) | (1 + random.bounded(9)));
    return r;
}

// The report handlers' steps as written, building every text.
struct ReferenceSteps
{
    bool readReport = false; // the 22000-count handler instead of the cable's
    QString byteText;
    bool open = false;
    qint32 idle = 0;
    QStringList history, memo2, memo1, frames;
    QList<bool> accepted;

    void feed(const QByteArray &r)
    {
        QString text = QString::asprintf("R %.2X  ", uint(quint8(r[0])));
        for (char b : r.mid(1))
            text += QString::asprintf("%.2X ", uint(quint8(b)));
        const bool hasCount = text.size() >= 8;
        if (hasCount)
            ++idle;
        const QChar c = hasCount ? text[7] : QChar();
        if (c >= u'1' && c <= u'9') {
            idle = 0;
            open = true;
            for (int b = 0; b < c.digitValue(); ++b) {
                for (int pos : {10 + 3 * b, 11 + 3 * b}) {
                    if (pos <= text.size())
                        byteText += text[pos - 1];
                }
            }
            history << text;
            return;
        }
        if (open)
            readReport ? endReadBurst() : endCableBurst();
        open = false;
    }

    void endCableBurst()
    {
        QString frame;
        for (int i = 0; i < 13 && 2 * i + 1 < byteText.size(); ++i)
            frame += byteText[2 * i + 1];
        memo2 << byteText;
        memo1 << frame;
        frame = frame.mid(12, 1) + frame.left(12);
        frames << frame;
        accepted << (frame.size() >= 13 && frame[0] == u'A' && frame[12] == u'D');
        byteText.clear();
    }

    void endReadBurst()
    {
        QString frame, check;
        for (int i = 0; i < 14 && 2 * i + 1 < byteText.size(); ++i) {
            check += byteText[2 * i];
            frame += byteText[2 * i + 1];
        }
        frames << frame;
        accepted << (check == u"123456789ABCDE");
        byteText.clear();
    }
};

// Records which steps of the sink a frame reached.
class StepSink : public FrameSink
{
public:
    QStringList steps;

protected:
    void keep(const QString &frame) override { steps << u"keep "_qs + frame; }
    FrameDecoder::Result decode(const QString &frame) override
    {
        steps << u"decode "_qs + frame;
        return {};
    }
    void report(const QString &, const ConversionError &) override { steps << u"report"_qs; }
    void dropped(const QString &frame) override { steps << u"dropped "_qs + frame; }
};

} // namespace

void TestHidAssembly::reportText_data()
{
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QString>("text");
    QTest::newRow("first report of a reading")
        << report({0x00, 0xF3, 0x41, 0x42, 0x43}) << u"R 00  F3 41 42 43 "_qs;
    QTest::newRow("identifier only") << report({0xAB}) << u"R AB  "_qs;
    QTest::newRow("upper-case digits") << report({0x3c, 0xfe, 0x0a}) << u"R 3C  FE 0A "_qs;
}

void TestHidAssembly::reportText()
{
    QFETCH(QByteArray, report);
    QFETCH(QString, text);
    QCOMPARE(HidBurst::reportText(quint8(report[0]), QByteArrayView(report).sliced(1)), text);
}

void TestHidAssembly::cableBursts_data()
{
    QTest::addColumn<QList<QByteArray>>("reports");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QStringList>("memo2");
    QTest::addColumn<QStringList>("memo1");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QList<bool>>("accepted");
    QTest::addColumn<QString>("byteText"); // left afterwards
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("idle");

    const QList<QByteArray> reading {
        report({0x00, 0xF3, 0x41, 0x42, 0x43}), report({0x00, 0xF3, 0x44, 0x45, 0x46}),
        report({0x00, 0xF3, 0x47, 0x48, 0x49}), report({0x00, 0xF2, 0x4A, 0x4B}),
        report({0x00, 0xF2, 0x0D, 0x0A}),
    };
    const QStringList readingLines {
        u"R 00  F3 41 42 43 "_qs, u"R 00  F3 44 45 46 "_qs, u"R 00  F3 47 48 49 "_qs,
        u"R 00  F2 4A 4B "_qs,    u"R 00  F2 0D 0A "_qs,
    };
    QTest::newRow("a reading in five reports, then a pause")
        << (reading + QList {report({0x00, 0xF0})}) << readingLines
        << QStringList {u"4142434445464748494A4B0D0A"_qs} << QStringList {u"123456789ABDA"_qs}
        << QStringList {u"A123456789ABD"_qs} << QList {true} << QString() << false << 1;
    QTest::newRow("the reading still open")
        << reading << readingLines << QStringList {} << QStringList {} << QStringList {}
        << QList<bool> {} << u"4142434445464748494A4B0D0A"_qs << true << 0;
    QTest::newRow("a pause with no burst open counts only")
        << QList {report({0x00, 0xF0})} << QStringList {} << QStringList {} << QStringList {}
        << QStringList {} << QList<bool> {} << QString() << false << 1;
    QTest::newRow("a report without data bytes ends a burst but does not count")
        << QList {report({0x00, 0xF1, 0x41}), report({0x00})} << QStringList {u"R 00  F1 41 "_qs}
        << QStringList {u"41"_qs} << QStringList {u"1"_qs} << QStringList {u"1"_qs} << QList {false}
        << QString() << false << 0;
    QTest::newRow("a short burst fails the test")
        << QList {report({0x00, 0xF3, 0x31, 0x32, 0x33}), report({0x00, 0xF2, 0x0D, 0x0A}),
                  report({0x00, 0xF0}), report({0x00, 0xF0})}
        << QStringList {u"R 00  F3 31 32 33 "_qs, u"R 00  F2 0D 0A "_qs}
        << QStringList {u"3132330D0A"_qs} << QStringList {u"123DA"_qs} << QStringList {u"123DA"_qs}
        << QList {false} << QString() << false << 2;
    QTest::newRow("a count larger than the bytes present")
        << QList {report({0x07, 0x09, 0x41, 0x42}), report({0x07, 0x00})}
        << QStringList {u"R 07  09 41 42 "_qs} << QStringList {u"4142"_qs} << QStringList {u"12"_qs}
        << QStringList {u"12"_qs} << QList {false} << QString() << false << 1;
    QTest::newRow("a count byte alone opens a burst of nothing")
        << QList {report({0x00, 0x05}), report({0x00, 0x00})} << QStringList {u"R 00  05 "_qs}
        << QStringList {QString()} << QStringList {QString()} << QStringList {QString()}
        << QList {false} << QString() << false << 1;
    QTest::newRow("bytes after the 13th are ignored")
        << QList {report({0x00, 0x99, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38}),
                  report({0x00, 0x96, 0x39, 0x30, 0x0D, 0x0A, 0x3F, 0x3E}), report({0x00, 0x90})}
        << QStringList {u"R 00  99 30 31 32 33 34 35 36 37 38 "_qs,
                        u"R 00  96 39 30 0D 0A 3F 3E "_qs}
        << QStringList {u"30313233343536373839300D0A3F3E"_qs} << QStringList {u"01234567890DA"_qs}
        << QStringList {u"A01234567890D"_qs} << QList {true} << QString() << false << 1;
    QByteArray full(65, '\x55');
    full[0] = '\x00';
    full[1] = '\x49';
    QTest::newRow("a 64-byte report adds its count only")
        << QList {full} << QStringList {HidBurst::reportText(0, QByteArrayView(full).sliced(1))}
        << QStringList {} << QStringList {} << QStringList {} << QList<bool> {}
        << u"555555555555555555"_qs << true << 0;
    for (int nibble : {0x0, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF}) {
        QTest::addRow("count nibble %X carries nothing", nibble)
            << QList {report({0x00, 0x31, 0x41}), report({0x00, 0x30 | nibble, 0x42, 0x43})}
            << QStringList {u"R 00  31 41 "_qs} << QStringList {u"41"_qs} << QStringList {u"1"_qs}
            << QStringList {u"1"_qs} << QList {false} << QString() << false << 1;
    }
}

void TestHidAssembly::cableBursts()
{
    QFETCH(QList<QByteArray>, reports);
    QFETCH(QStringList, history);
    QFETCH(QStringList, memo2);
    QFETCH(QStringList, memo1);
    QFETCH(QStringList, frames);
    QFETCH(QList<bool>, accepted);
    QFETCH(QString, byteText);
    QFETCH(bool, open);
    QFETCH(int, idle);

    HidBurstAssembler a;
    CableRun run;
    for (const QByteArray &r : reports)
        run.feed(a, r);
    QCOMPARE(run.history, history);
    QCOMPARE(run.memo2, memo2);
    QCOMPARE(run.memo1, memo1);
    QCOMPARE(run.frames, frames);
    QCOMPARE(run.accepted, accepted);
    QCOMPARE(a.burst().hidByteText(), byteText);
    QCOMPARE(a.burst().hidBurstOpen(), open);
    QCOMPARE(a.burst().hidIdleReports(), idle);

    // Without the logs the frames are the same.
    HidBurstAssembler quiet;
    QStringList quietFrames;
    for (const QByteArray &r : reports)
        quiet.feed(QByteArrayView(r).sliced(1), [&](const QString &f) { quietFrames << f; });
    QCOMPARE(quietFrames, frames);
}

void TestHidAssembly::idleCountResets()
{
    HidBurstAssembler a;
    CableRun run;
    for (int i = 0; i < 5; ++i)
        run.feed(a, report({0x00, 0xF0}));
    QCOMPARE(a.burst().hidIdleReports(), 5);
    a.burst().resetHidIdleReports();
    QCOMPARE(a.burst().hidIdleReports(), 0);
    run.feed(a, report({0x00, 0xF0}));
    run.feed(a, report({0x00, 0xF1, 0x41}));
    QCOMPARE(a.burst().hidIdleReports(), 0);
    // clear() forgets the burst but not the count.
    run.feed(a, report({0x00, 0xF0}));
    run.feed(a, report({0x00, 0xF1, 0x41}));
    a.clear();
    QVERIFY(!a.burst().hidBurstOpen());
    QCOMPARE(a.burst().hidByteText(), QString());
    run.feed(a, report({0x00, 0xF0}));
    QCOMPARE(a.burst().hidIdleReports(), 1);
    QCOMPARE(run.frames, QStringList {u"1"_qs});
}

void TestHidAssembly::burstSharedBetweenHandlers()
{
    // A burst begun by one handler and ended by the other, as when Read is pressed mid-burst.
    HidBurst shared;
    HidBurstAssembler cable(shared);
    HidReadReportAssembler read(shared);
    QStringList frames;
    cable.feed(report({0xF3, 0x11, 0x22, 0x33}), [&](const QString &f) { frames << f; });
    QVERIFY(shared.hidBurstOpen());
    read.feed(report({0xF0}), [&](const QString &f, bool) { frames << f; });
    QCOMPARE(frames, QStringList {u"123"_qs});
    QVERIFY(!shared.hidBurstOpen());
    QCOMPARE(shared.hidIdleReports(), 1);
    QCOMPARE(&cable.burst(), &shared);
}

void TestHidAssembly::readReport_data()
{
    QTest::addColumn<QByteArray>("bytes"); // the burst's meter bytes, sent three a report
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("accepted");

    QByteArray ordered;
    for (int i = 1; i <= 14; ++i)
        ordered += char(i << 4 | (i % 10));
    QTest::newRow("high digits 1 to E") << ordered << u"12345678901234"_qs << true;
    QByteArray swapped = ordered;
    std::swap(swapped[3], swapped[4]);
    QTest::newRow("two bytes swapped") << swapped << u"12354678901234"_qs << false;
    QTest::newRow("13 bytes") << ordered.first(13) << u"1234567890123"_qs << false;
    QTest::newRow("a 15th byte is ignored") << ordered + '\xF5' << u"12345678901234"_qs << true;
    QTest::newRow("a serial reading")
        << QByteArray("\n0001234001\r") << u"A0001234001D"_qs << false;
}

void TestHidAssembly::readReport()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, frame);
    QFETCH(bool, accepted);
    HidReadReportAssembler a;
    QStringList frames;
    QList<bool> verdicts;
    const auto onFrame = [&](const QString &f, bool ok) {
        frames << f;
        verdicts << ok;
    };
    for (qsizetype i = 0; i < bytes.size(); i += 3) {
        const QByteArray part = bytes.mid(i, 3);
        const QByteArray data = char(0xF0 | part.size()) + part;
        QCOMPARE(a.feed(data, onFrame), HidBurst::Report::Carried);
    }
    QCOMPARE(a.feed(QByteArray("\xF0"), onFrame), HidBurst::Report::Ended);
    QCOMPARE(frames, QStringList {frame});
    QCOMPARE(verdicts, QList {accepted});
    QCOMPARE(a.feed(QByteArray("\xF0"), onFrame), HidBurst::Report::Idle);
    QCOMPARE(frames.size(), 1);
}

void TestHidAssembly::ferrant_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QList<bool>>("accepted");
    QTest::addColumn<QString>("left");

    QTest::newRow("line feed, twelve data bytes, carriage return")
        << QByteArray("\n123456789012\r") << QStringList {u"A123456789012D"_qs} << QList {true}
        << QString();
    QTest::newRow("eleven data bytes")
        << QByteArray("\n12345678901\r") << QStringList {u"A12345678901D"_qs} << QList {false}
        << QString();
    QTest::newRow("a lost carriage return runs on")
        << QByteArray("\n123456789012\n123456789012\r") << QStringList {u"A123456789012A"_qs}
        << QList {false} << QString();
    QTest::newRow("two frames, the next begun")
        << QByteArray("\n123456789012\r\n210987654321\r\n")
        << QStringList {u"A123456789012D"_qs, u"A210987654321D"_qs} << QList {true, true}
        << u"A"_qs;
    QTest::newRow("lone carriage return")
        << QByteArray("\r") << QStringList {u"D"_qs} << QList {false} << QString();
}

void TestHidAssembly::ferrant()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, frames);
    QFETCH(QList<bool>, accepted);
    QFETCH(QString, left);
    // Split at every point, the frames are the same.
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        FerrantAssembler a;
        QStringList seen;
        QList<bool> verdicts;
        const auto onFrame = [&](const QString &f) {
            seen << f;
            verdicts << FerrantAssembler::plausible(f);
            QVERIFY(a.accumulator().isEmpty());
        };
        a.feed(QByteArrayView(bytes).first(cut), onFrame);
        a.feed(QByteArrayView(bytes).sliced(cut), onFrame);
        QCOMPARE(seen, frames);
        QCOMPARE(verdicts, accepted);
        QCOMPARE(a.accumulator(), left);
    }
}

void TestHidAssembly::nestrel_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QList<bool>>("accepted");

    QTest::newRow("line feed, nine data bytes, carriage return")
        << QByteArray("\n123456789\r") << QStringList {u"123456789DA"_qs} << QList {true};
    QTest::newRow("eight data bytes")
        << QByteArray("\n12345678\r") << QStringList {u"12345678DDA"_qs} << QList {false};
    QTest::newRow("ten data bytes")
        << QByteArray("\n1234567890\r") << QStringList {u"123456789DA"_qs} << QList {false};
    QTest::newRow("no line feed") << QByteArray("0123456789\r") << QStringList {u"123456789DA"_qs}
                                  << QList {false};
    QTest::newRow("lone carriage return")
        << QByteArray("\r") << QStringList {u"DA"_qs} << QList {false};
    QTest::newRow("two readings") << QByteArray("\n123456789\r\n987654321\r")
                                  << QStringList {u"123456789DA"_qs, u"987654321DA"_qs}
                                  << QList {true, true};
}

void TestHidAssembly::nestrel()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, frames);
    QFETCH(QList<bool>, accepted);
    NestrelAssembler a;
    QStringList seen;
    QList<bool> verdicts;
    a.feed(bytes, [&](const QString &f, bool ok) {
        seen << f;
        verdicts << ok;
    });
    QCOMPARE(seen, frames);
    QCOMPARE(verdicts, accepted);
    QVERIFY(a.accumulator().isEmpty());
    QVERIFY(NestrelAssembler::plausible(u"A123456789D"_qs));
    QVERIFY(!NestrelAssembler::plausible(u"123456789DA"_qs));
}

void TestHidAssembly::randomReportsAgreeWithTheSteps()
{
    QRandomGenerator random(20261210);
    HidBurstAssembler cable;
    HidReadReportAssembler read;
    CableRun cableRun;
    QStringList readFrames;
    QList<bool> readVerdicts;
    ReferenceSteps cableSteps;
    ReferenceSteps readSteps;
    readSteps.readReport = true;

    for (int i = 0; i < 20000; ++i) {
        const QByteArray r = randomReport(random);
        cableRun.feed(cable, r);
        cableSteps.feed(r);
        read.feed(QByteArrayView(r).sliced(1), [&](const QString &f, bool ok) {
            readFrames << f;
            readVerdicts << ok;
        });
        readSteps.feed(r);

        QCOMPARE(cable.burst().hidIdleReports(), cableSteps.idle);
        QCOMPARE(cable.burst().hidBurstOpen(), cableSteps.open);
        QCOMPARE(cable.burst().hidByteText(), cableSteps.byteText);
        QCOMPARE(read.burst().hidByteText(), readSteps.byteText);
        if (!cableRun.frames.isEmpty())
            QVERIFY(cableRun.frames.last().size() <= 13);
    }
    QCOMPARE(cableRun.history, cableSteps.history);
    QCOMPARE(cableRun.memo2, cableSteps.memo2);
    QCOMPARE(cableRun.memo1, cableSteps.memo1);
    QCOMPARE(cableRun.frames, cableSteps.frames);
    QCOMPARE(cableRun.accepted, cableSteps.accepted);
    QCOMPARE(readFrames, readSteps.frames);
    QCOMPARE(readVerdicts, readSteps.accepted);
    // The run must reach whole frames, not only short ones.
    QVERIFY(std::count_if(cableRun.frames.begin(), cableRun.frames.end(),
                          [](const QString &f) { return f.size() == 13; })
            > 100);
}

void TestHidAssembly::sinkTakesAHandedVerdict()
{
    // The verdict of an assembler whose test is not of the frame decides, not the frame itself.
    NestrelAssembler a;
    StepSink sink;
    QList<FrameSink::Outcome> outcomes;
    a.feed(QByteArray("\n123456789\r0123456789\r"),
           [&](const QString &frame, bool accepted) { outcomes << sink.take(frame, accepted); });
    QCOMPARE(outcomes, (QList {FrameSink::Outcome::Decoded, FrameSink::Outcome::Dropped}));
    QCOMPARE(sink.steps,
             (QStringList {u"keep 123456789DA"_qs, u"decode 123456789DA"_qs, u"keep 123456789DA"_qs,
                           u"dropped 123456789DA"_qs}));
}

QTEST_GUILESS_MAIN(TestHidAssembly)
#include "tst_hidassembly.moc"
