#include "links/bridge/BridgeAssembler.h"
#include "support/BridgeReference.h"

#include <QRandomGenerator>
#include <QTest>
#include <cstring>

Q_DECLARE_METATYPE(Reads)

class TestBridgeAssembler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readings_data();
    void readings();
    void earlyLineFeedEmptiesTheBuffer();
    void readingFrame_data();
    void readingFrame();
    void carriesOnAcrossRestarts();
    void randomReadsAgreeWithTheSteps();
};

namespace {

using namespace BridgeReference;

// Runs the reads; each read adds its frame ("decode ..." or "drop ...") then "flush" if due.
QStringList run(BridgeAssembler &assembler, const Reads &reads)
{
    QStringList events;
    for (const int r : reads) {
        const BridgeStep step
            = r == FailedRead ? BridgeAssembler::failedRead() : assembler.read(quint8(r));
        if (step.frame)
            events << frameEvent(assembler.frame(), step.accepted);
        else if (step.accepted)
            events << u"accepted without a frame"_qs;
        if (step.flush)
            events << u"flush"_qs;
    }
    return events;
}

} // namespace

void TestBridgeAssembler::readings_data()
{
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("position");

    QTest::newRow("a reading") << bytes("0123456789:\r\n")
                               << QStringList {u"decode A0123456789:D"_qs, u"flush"_qs} << 0;
    QTest::newRow("< 11th becomes C")
        << bytes("0123456789<\r\n") << QStringList {u"decode A0123456789CD"_qs, u"flush"_qs} << 0;
    QTest::newRow("< 9th is not decoded")
        << bytes("01234567<90\r\n") << QStringList {u"drop A01234567<90D"_qs, u"flush"_qs} << 0;
    QTest::newRow("< 9th and 11th is decoded")
        << bytes("01234567<9<\r\n") << QStringList {u"decode A01234567<9CD"_qs, u"flush"_qs} << 0;
    QTest::newRow("13 bytes without a line feed")
        << bytes("0123456789:\r0") << QStringList {u"flush"_qs} << 0;
    QTest::newRow("line feed 5th") << bytes("0123\n") << QStringList {u"flush"_qs} << 5;
    QTest::newRow("early line feed then a line feed 13th")
        << bytes("0123\n456789\r\n") << QStringList {u"flush"_qs, u"drop AD"_qs, u"flush"_qs} << 0;
    QTest::newRow("failed reads change nothing")
        << (bytes("01234") + Reads {FailedRead, FailedRead} + bytes("56789:\r\n")
            + Reads {FailedRead})
        << QStringList {u"decode A0123456789:D"_qs, u"flush"_qs} << 0;
    QTest::newRow("only failed reads") << Reads {FailedRead, FailedRead} << QStringList {} << 0;
    QTest::newRow("zero byte cuts the text") << bytes(QByteArrayView("01234\0006789:\r\n", 13))
                                             << QStringList {u"drop A01234D"_qs, u"flush"_qs} << 0;
    QTest::newRow("carriage return place is cleared whatever it held")
        << bytes("0123456789<X\n") << QStringList {u"decode A0123456789CD"_qs, u"flush"_qs} << 0;
    QTest::newRow("characters as received")
        << bytes("0123456789\xB5\r\n") << QStringList {u"decode A0123456789\u00B5D"_qs, u"flush"_qs}
        << 0;
    QTest::newRow("two readings") << bytes("0123456789:\r\n 2.345 V  A\r\n")
                                  << QStringList {u"decode A0123456789:D"_qs, u"flush"_qs,
                                                  u"decode A 2.345 V  AD"_qs, u"flush"_qs}
                                  << 0;
    QTest::newRow("out of step") << bytes("9:\r\n0123456789:\r\n")
                                 << QStringList {u"flush"_qs, u"flush"_qs, u"flush"_qs} << 4;
    QTest::newRow("line feed first") << bytes("\n") << QStringList {u"flush"_qs} << 1;
    QTest::newRow("line feed 12th") << bytes("0123456789:\n") << QStringList {u"flush"_qs} << 12;
    QTest::newRow("twelve bytes wait") << bytes("0123456789:\r") << QStringList {} << 12;
}

void TestBridgeAssembler::readings()
{
    QFETCH(Reads, reads);
    QFETCH(QStringList, events);
    QFETCH(int, position);

    BridgeAssembler assembler;
    QCOMPARE(run(assembler, reads), events);
    QCOMPARE(int(assembler.XpressPos()), position);

    ReferencePoll reference;
    for (const int r : reads)
        reference.tick(r);
    QCOMPARE(reference.events, events);
}

void TestBridgeAssembler::earlyLineFeedEmptiesTheBuffer()
{
    BridgeAssembler assembler;
    run(assembler, bytes("0123\n"));
    for (const quint8 b : assembler.XpressBuffer())
        QCOMPARE(b, quint8(0));
    QCOMPARE(assembler.XpressPos(), quint8(5));
    // The text was taken before the buffer was emptied.
    QCOMPARE(assembler.readingFrame(), u"0123\n"_qs);

    // The count goes on: the next byte lands at position 5, after an empty text.
    assembler.read('X');
    QCOMPARE(assembler.XpressBuffer()[5], quint8('X'));
    QCOMPARE(assembler.readingFrame(), QString());
}

void TestBridgeAssembler::readingFrame_data()
{
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<QString>("readingFrame");

    QTest::newRow("start") << Reads {} << QString();
    QTest::newRow("partial") << bytes("012") << u"012"_qs;
    QTest::newRow("after a frame") << bytes("0123456789<\r\n") << u"A0123456789CD"_qs;
    QTest::newRow("failed read keeps the frame")
        << (bytes("0123456789:\r\n") + Reads {FailedRead}) << u"A0123456789:D"_qs;
    QTest::newRow("next byte after a frame") << bytes("0123456789:\r\nX") << u"X123456789:"_qs;
    QTest::newRow("old line feed shows through")
        << bytes("0123456789:\r\nabcdefghijkl") << u"abcdefghijkl\n"_qs;
}

void TestBridgeAssembler::readingFrame()
{
    QFETCH(Reads, reads);
    QFETCH(QString, readingFrame);

    BridgeAssembler assembler;
    ReferencePoll reference;
    for (const int r : reads) {
        reference.tick(r);
        if (r != FailedRead)
            assembler.read(quint8(r));
    }
    QCOMPARE(assembler.readingFrame(), readingFrame);
    QCOMPARE(assembler.readingFrame(),
             QString::fromLatin1(reference.readingFrame.data(),
                                 qsizetype(reference.readingFrame.size())));
}

void TestBridgeAssembler::carriesOnAcrossRestarts()
{
    // A reading split by a stop and a start of the link still completes: nothing resets.
    BridgeAssembler assembler;
    QCOMPARE(run(assembler, bytes("012345")), QStringList {});
    QCOMPARE(run(assembler, Reads {FailedRead, FailedRead}), QStringList {});
    QCOMPARE(run(assembler, bytes("6789:\r\n")),
             (QStringList {u"decode A0123456789:D"_qs, u"flush"_qs}));
}

void TestBridgeAssembler::randomReadsAgreeWithTheSteps()
{
    QRandomGenerator random(20261210);
    BridgeAssembler assembler;
    ReferencePoll reference;
    QStringList events;
    int frames = 0;
    for (int i = 0; i < 300000; ++i) {
        int r;
        const quint32 pick = random.bounded(100);
        if (pick < 15)
            r = FailedRead;
        else if (pick < 25)
            r = 0x0A;
        else if (pick < 30)
            r = 0x0D;
        else if (pick < 36)
            r = '<';
        else if (pick < 38)
            r = 0;
        else
            r = int(random.bounded(256));
        // Whole readings now and then, so frames of every kind occur.
        Reads reads {r};
        if (random.bounded(8) == 0) {
            reads.clear();
            for (int k = 0; k < 11; ++k)
                reads << (random.bounded(6) == 0 ? '<' : '0' + int(random.bounded(10)));
            reads << 0x0D << 0x0A;
        }
        for (const int read : reads) {
            const qsizetype before = reference.events.size();
            reference.tick(read);
            const QStringList got = run(assembler, Reads {read});
            if (got != reference.events.sliced(before))
                QFAIL(qPrintable(u"read %1 of value %2: %3 instead of %4"_qs.arg(i).arg(read).arg(
                    got.join(u", "), reference.events.sliced(before).join(u", "))));
            QCOMPARE(int(assembler.XpressPos()), int(reference.pos));
            QVERIFY(std::memcmp(assembler.XpressBuffer().data(), reference.buffer,
                                sizeof reference.buffer)
                    == 0);
            if (i % 64 == 0)
                QCOMPARE(assembler.readingFrame(),
                         QString::fromLatin1(reference.readingFrame.data(),
                                             qsizetype(reference.readingFrame.size())));
            for (const QString &e : got)
                if (e.startsWith(u"decode"))
                    ++frames;
        }
    }
    QVERIFY(frames > 1000);
}

QTEST_GUILESS_MAIN(TestBridgeAssembler)
#include "tst_bridgeassembler.moc"
