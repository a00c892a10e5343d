// meterlog's replay of a one-million-frame capture (the simulator's "walk" script): through the
// headless sequence alone, and on to an XML file as --out writes it; then the real executable.
// Goal: at least 500 000 frames a second.

#include "FrameFeed.h"
#include "FrameJson.h"
#include "MeterScript.h"
#include "ReplayFile.h"
#include "recording/HeadlessSequence.h"
#include "recording/RecordJournal.h"
#include "recording/TableFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 CaptureFrames = 1'000'000;
constexpr qint64 Limitless = 10'000'000;

struct Capture
{
    QTemporaryDir dir;
    QString path;
};

// Written once for all benchmarks: a line feed first, so every reading is a whole frame.
const Capture &capture()
{
    static const std::unique_ptr<Capture> made = [] {
        auto c = std::make_unique<Capture>();
        c->path = c->dir.filePath(u"walk.bin"_qs);
        MeterScript script = *MeterScript::fromName(u"walk"_qs, 1);
        QByteArray bytes("\n");
        bytes.reserve(CaptureFrames * (SimReading::dataLength + 2) + 1);
        for (qint64 i = 0; i < CaptureFrames; ++i)
            bytes += script.next().wireBytes();
        QFile file(c->path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the capture");
        return c;
    }();
    return *made;
}

// Replays the capture as meterlog --from does; false (and the state skipped) on a failure.
bool replay(benchmark::State &state, HeadlessSequence &sequence, FrameFeed &feed)
{
    ReplayFile file;
    QString error;
    if (!file.open(capture().path, &error)) {
        state.SkipWithError(qPrintable(error));
        return false;
    }
    while (file.feedNextBlock(feed)) { }
    if (feed.frames() != CaptureFrames || feed.dropped() != 0) {
        state.SkipWithError("the capture did not replay as whole frames");
        return false;
    }
    benchmark::DoNotOptimize(sequence.table().rowCount());
    return true;
}

void report(benchmark::State &state, std::optional<qint64> rows = {})
{
    state.counters["frames/s"] = benchmark::Counter(double(CaptureFrames * state.iterations()),
                                                    benchmark::Counter::kIsRate);
    if (rows)
        state.counters["rows"] = double(*rows);
}

// The sequence alone, with the record limit as the argument (10000 is the default).
void BM_ReplayThroughSequence(benchmark::State &state)
{
    capture();
    qint64 rows = 0;
    for (auto _ : state) {
        HeadlessSequence sequence(u"."_qs, u":"_qs);
        sequence.counters().RecordLimit = qint32(state.range(0));
        FrameFeed feed(sequence);
        if (!replay(state, sequence, feed))
            return;
        rows = sequence.table().rowCount();
    }
    report(state, rows);
}
BENCHMARK(BM_ReplayThroughSequence)
    ->Arg(10000)
    ->Arg(Limitless)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same with every row also kept in the journal of unsaved rows, as meterlog keeps it: the
// cost of the journal per recorded row is the difference between the two.
void BM_ReplayThroughSequenceJournalled(benchmark::State &state)
{
    capture();
    // The journal's flush timer wants an application object.
    static int argc = 1;
    static char name[] = "bench_meterlog";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    qint64 rows = 0;
    for (auto _ : state) {
        HeadlessSequence sequence(u"."_qs, u":"_qs);
        sequence.counters().RecordLimit = qint32(state.range(0));
        RecordJournal journal(u"bench"_qs);
        journal.setFolder(capture().dir.filePath(u"state"_qs));
        sequence.recorder().setJournal(&journal);
        FrameFeed feed(sequence);
        if (!replay(state, sequence, feed))
            return;
        journal.flush();
        if (journal.failed()) {
            state.SkipWithError("the journal could not be written");
            return;
        }
        rows = sequence.table().rowCount();
        journal.discard();
    }
    report(state, rows);
}
BENCHMARK(BM_ReplayThroughSequenceJournalled)
    ->Arg(10000)
    ->Arg(Limitless)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// As meterlog --from capture --json: every frame also becomes its JSON line (discarded here, so
// the cost is the line's making, not the terminal's). Against BM_ReplayThroughSequence/10000,
// the difference is the cost of the lines.
void BM_ReplayWithJsonLines(benchmark::State &state)
{
    capture();
    qint64 bytes = 0;
    for (auto _ : state) {
        HeadlessSequence sequence(u"."_qs, u":"_qs);
        FrameFeed feed(sequence);
        feed.setListener(
            [&](const QString &frame, FrameFeed::Outcome outcome, const ConversionError *failure) {
                const TimeOfDay &clock = feed.clock();
                const QByteArray line = outcome == FrameFeed::Outcome::Decoded
                    ? FrameJson::reading(clock, frame, sequence)
                    : outcome == FrameFeed::Outcome::Failed
                    ? FrameJson::failure(clock, frame, *failure, sequence)
                    : FrameJson::dropped(clock, frame);
                bytes += line.size();
            });
        if (!replay(state, sequence, feed))
            return;
    }
    benchmark::DoNotOptimize(bytes);
    report(state);
}
BENCHMARK(BM_ReplayWithJsonLines)->Unit(benchmark::kMillisecond)->UseRealTime();

// As meterlog --from capture --out rows.xml, in process.
void BM_ReplayToXml(benchmark::State &state)
{
    const QString out = capture().dir.filePath(u"rows.xml"_qs);
    qint64 rows = 0;
    for (auto _ : state) {
        HeadlessSequence sequence(u"."_qs, u":"_qs);
        sequence.counters().RecordLimit = qint32(state.range(0));
        FrameFeed feed(sequence);
        if (!replay(state, sequence, feed))
            return;
        QString error;
        if (!TableFiles::save(sequence.table(), out, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        rows = sequence.table().rowCount();
    }
    report(state, rows);
}
BENCHMARK(BM_ReplayToXml)->Arg(10000)->Arg(Limitless)->Unit(benchmark::kMillisecond)->UseRealTime();

// The real executable, start to exit; its summary on standard error is discarded.
bool runMeterlog(const QStringList &arguments)
{
    QList<QByteArray> texts {QByteArray(METERLOG_PATH)};
    for (const QString &a : arguments)
        texts.append(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return failed == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

void BM_MeterlogExecutable(benchmark::State &state)
{
    const QString out = capture().dir.filePath(u"exe-rows.xml"_qs);
    const QStringList arguments {
        u"--from"_qs,
        capture().path,
        u"--out"_qs,
        out,
        u"--limit"_qs,
        state.range(0) == Limitless ? u"limitless"_qs : QString::number(state.range(0))};
    for (auto _ : state) {
        if (!runMeterlog(arguments)) {
            state.SkipWithError("meterlog failed");
            return;
        }
    }
    report(state);
}
BENCHMARK(BM_MeterlogExecutable)
    ->Arg(10000)
    ->Arg(Limitless)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
