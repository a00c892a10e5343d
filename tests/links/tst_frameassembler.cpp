#include "links/FrameAssembler.h"
#include "support/MeterBytes.h"

#include <QTest>

class TestFrameAssembler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void assembly_data();
    void assembly();
    void everySplitGivesTheSameFrames();
    void failedFrameStillEndsItsFrame();
};

namespace {

QByteArray reading(const char *nibbles)
{
    return meterReading(nibbles);
}

QStringList assemble(FrameAssembler &a, const QList<QByteArray> &chunks)
{
    QStringList frames;
    for (const QByteArray &chunk : chunks)
        a.feed(chunk, [&](const QString &frame) { frames << frame; });
    return frames;
}

} // namespace

void TestFrameAssembler::assembly_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("left"); // accumulator afterwards

    const QByteArray one = "\n" + reading("00012340010").chopped(1); // LF first, no trailing LF
    QTest::newRow("LF, eleven bytes, CR")
        << QList<QByteArray> {one} << QStringList {u"A00012340010D"_qs} << QString();
    QTest::newRow("split after the LF") << QList<QByteArray> {one.left(1), one.mid(1)}
                                        << QStringList {u"A00012340010D"_qs} << QString();
    QTest::newRow("split before the CR") << QList<QByteArray> {one.chopped(1), one.right(1)}
                                         << QStringList {u"A00012340010D"_qs} << QString();
    QTest::newRow("two readings in one read")
        << QList<QByteArray> {"\n" + reading("00012340010") + reading("20100990010")}
        << QStringList {u"A00012340010D"_qs, u"A20100990010D"_qs} << u"A"_qs;
    QTest::newRow("lone CR") << QList<QByteArray> {QByteArray("\r")} << QStringList {u"D"_qs}
                             << QString();
    QByteArray long25(25, '\x35');
    QTest::newRow("25 bytes then CR")
        << QList<QByteArray> {long25 + "\r"} << QStringList {QString(21, u'5')} << QString();
    QTest::newRow("0x8D is no carriage return") << QList<QByteArray> {QByteArray("\n12\x8D"
                                                                                 "45")}
                                                << QStringList {} << u"A12D45"_qs;
    QTest::newRow("high halves are ignored") << QList<QByteArray> {QByteArray("\x0A\xF1\x72\x0D")}
                                             << QStringList {u"A12D"_qs} << QString();
    QTest::newRow("no CR never ends a frame")
        << QList<QByteArray> {QByteArray("\n0001"), QByteArray("2340010")} << QStringList {}
        << u"A00012340010"_qs;
}

void TestFrameAssembler::assembly()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, frames);
    QFETCH(QString, left);
    FrameAssembler a;
    QCOMPARE(assemble(a, chunks), frames);
    QCOMPARE(a.accumulator(), left);
}

void TestFrameAssembler::everySplitGivesTheSameFrames()
{
    const QByteArray stream = "\x35\x36\r\n" + reading("00012340010") + reading("81000002001")
        + reading("4003999"
                  "0010");
    FrameAssembler whole;
    const QStringList expected = assemble(whole, {stream});
    QCOMPARE(expected.size(), 4);
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        FrameAssembler a;
        QCOMPARE(assemble(a, {stream.left(cut), stream.mid(cut)}), expected);
    }
    // One byte at a time.
    FrameAssembler bytewise;
    QList<QByteArray> bytes;
    for (char c : stream)
        bytes << QByteArray(1, c);
    QCOMPARE(assemble(bytewise, bytes), expected);
}

void TestFrameAssembler::failedFrameStillEndsItsFrame()
{
    // Whatever the handler of a frame does, the next frame starts from nothing.
    FrameAssembler a;
    QStringList seen;
    const QByteArray stream = QByteArray("\nZZZZZZZZZZZ\r\n") + reading("00012340010");
    a.feed(stream, [&](const QString &frame) {
        seen << frame;
        QVERIFY(a.accumulator().isEmpty());
    });
    QCOMPARE(seen, (QStringList {u"AAAAAAAAAAAAD"_qs, u"A00012340010D"_qs}));
    QVERIFY(FrameAssembler::plausible(seen[1]));
    QVERIFY(!FrameAssembler::plausible(u"D"_qs));
    QVERIFY(!FrameAssembler::plausible(u"A0001234001D"_qs));
}

QTEST_GUILESS_MAIN(TestFrameAssembler)
#include "tst_frameassembler.moc"
