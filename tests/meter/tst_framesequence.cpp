#include "meter/FrameSequence.h"
#include "recording/HeadlessSequence.h"
#include "recording/TableRecorder.h"

#include <QTest>

// The per-frame steps without a window: which hooks a frame reaches, in which order, and what
// the record rules make of it.
class TestFrameSequence : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hooksComeInOrderUntilAFailure_data();
    void hooksComeInOrderUntilAFailure();
    void recallClockFailureKeepsTheFrameOutOfTableAndChart();
    void recallClockStampsTheRow();
    void headlessRunShortStopsAsAtTheLimit();
};

namespace {

// Notes every hook by name, with the value it was given where it has one.
class HookLog : public FrameSequence::Hooks
{
public:
    QStringList calls;
    std::optional<ConversionError> recallFailure;
    QTime recallTime;

    void frameStarted() override { calls << u"started"_qs; }
    void textsCleared(const Reading &) override { calls << u"cleared"_qs; }
    void functionDecoded(const Reading &r) override { calls << u"function "_qs + r.functionText; }
    void flagsDecoded(const Reading &) override { calls << u"flags"_qs; }
    void signDecoded(const Reading &r) override { calls << u"sign "_qs + r.signText; }
    void scaleSelected(const DisplayValues::Scale &s) override
    {
        calls << u"scale "_qs + s.scaleCode + u' ' + QString::number(s.barMaximum);
    }
    void valueComputed(const Reading &r) override
    {
        calls << u"value "_qs + QString::number(double(r.numericValue));
    }
    void needleReset(const DialScale &s) override
    {
        calls << u"rest "_qs + QString::number(s.needleOffset);
    }
    void needleMoved(int p) override { calls << u"needle "_qs + QString::number(p); }
    FrameDecoder::Result recallClock(QTime &time) override
    {
        calls << u"recall"_qs;
        if (recallFailure)
            return recallFailure;
        if (recallTime.isValid())
            time = recallTime;
        return {};
    }
    void barMoved(int p) override { calls << u"bar "_qs + QString::number(p); }
    void charted(int v) override { calls << u"chart "_qs + QString::number(v); }
};

struct Fixture
{
    DisplayState state;
    RecordCounters counters;
    qint32 countdown = 0;
    ReadingTable table;
    TableRecorder recorder {table, counters, countdown};
    FrameSequence sequence {state, recorder};
};

} // namespace

void TestFrameSequence::hooksComeInOrderUntilAFailure_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("rows");

    const QStringList decoded {u"started"_qs, u"cleared"_qs, u"function DCV"_qs, u"flags"_qs,
                               u"sign "_qs};
    QTest::newRow("whole frame") << u"A00012340010D"_qs
                                 << decoded
            + QStringList {u"scale 4 40"_qs, u"value 1234"_qs, u"rest 400"_qs,  u"needle 523"_qs,
                           u"recall"_qs,     u"bar 12"_qs,     u"chart 1234"_qs}
                                 << 1;
    // Digits with a letter decode as texts and fail at the numeric value: no row, no chart.
    QTest::newRow("fails at the numeric value")
        << u"A00012A40000D"_qs << QStringList {u"started"_qs, u"cleared"_qs, u"function DCV"_qs,
                                               u"flags"_qs,   u"sign "_qs,   u"scale 4 40"_qs}
        << 0;
    QTest::newRow("fails in the function table")
        << u"AA0012340000D"_qs << QStringList {u"started"_qs, u"cleared"_qs} << 0;
    QTest::newRow("fails on the frame bits")
        << u"A000G2340000D"_qs << QStringList {u"started"_qs} << 0;
}

void TestFrameSequence::hooksComeInOrderUntilAFailure()
{
    QFETCH(QString, frame);
    QFETCH(QStringList, calls);
    QFETCH(int, rows);

    Fixture f;
    HookLog log;
    f.sequence.run(frame, QTime(12, 0, 0), &log);
    QCOMPARE(log.calls, calls);
    QCOMPARE(f.table.rowCount(), rows);
    QCOMPARE(f.sequence.recorded(), rows > 0);

    // Without hooks the same frame gives the same values.
    Fixture plain;
    plain.sequence.run(frame, QTime(12, 0, 0));
    QCOMPARE(plain.table.rowCount(), rows);
    QCOMPARE(plain.sequence.needlePosition(), f.sequence.needlePosition());
    QCOMPARE(plain.sequence.barPosition(), f.sequence.barPosition());
    QCOMPARE(plain.sequence.charted(), f.sequence.charted());
    QCOMPARE(plain.state.scaleCode, f.state.scaleCode);
}

void TestFrameSequence::recallClockFailureKeepsTheFrameOutOfTableAndChart()
{
    Fixture f;
    HookLog log;
    log.recallFailure = ConversionError {u"x"_qs};
    const FrameDecoder::Result result = f.sequence.run(u"A00012340010D"_qs, QTime(12, 0, 0), &log);
    QVERIFY(result);
    QCOMPARE(result->text, u"x"_qs);
    QCOMPARE(log.calls.last(), u"recall"_qs);
    QCOMPARE(f.table.rowCount(), 0);
    QCOMPARE(f.counters.RecordNo, 1);
    QVERIFY(!f.sequence.charted());
}

void TestFrameSequence::recallClockStampsTheRow()
{
    Fixture f;
    HookLog log;
    log.recallTime = QTime(23, 59, 58);
    QVERIFY(!f.sequence.run(u"A00012340010D"_qs, QTime(12, 0, 0), &log));
    QVERIFY(!f.sequence.run(u"A00012340010D"_qs, QTime(12, 0, 0)));
    QCOMPARE(f.table.rowCount(), 2);
    QCOMPARE(f.table.row(0).time, u"23:59:58"_qs);
    QCOMPARE(f.table.row(1).time, u"12:00:00"_qs);
}

void TestFrameSequence::headlessRunShortStopsAsAtTheLimit()
{
    // The headless recorder, run short of memory, stops as at the record limit so that it can
    // still write its rows and say why it stopped.
    HeadlessSequence h(u"."_qs, u":"_qs);
    h.counters().RecordLimit = 10000000;
    h.table().setBlockLimit(1);
    const qsizetype held = ReadingTable::ChunkRows;
    for (qsizetype i = 0; i < held + 3; ++i)
        QVERIFY(!h.run(u"A00012340010D"_qs, QTime(12, 0, 0)));
    QCOMPARE(h.table().rowCount(), held);
    QCOMPARE(h.counters().RecordedCount, qint32(held));
    QCOMPARE(h.counters().RecordNo, qint32(held + 1));
    QCOMPARE(h.counters().RecordLimit, qint32(held));
    QVERIFY(!h.recorded());
    QCOMPARE(h.table().row(held - 1).no, std::optional<qint32>(qint32(held)));
}

QTEST_GUILESS_MAIN(TestFrameSequence)
#include "tst_framesequence.moc"
