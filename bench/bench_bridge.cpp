// The bridge cable's byte poll: one read result at a time through BridgeAssembler, as the link's
// worker would deliver them. Argument 0: readings in step, eleven characters, carriage return,
// line feed; argument 1: random bytes with line feeds, "<" and failed reads mixed in.
// Goal: at least 20 000 000 reads a second on one core.

#include "links/bridge/BridgeAssembler.h"

#include <QList>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

namespace {

constexpr int FailedRead = -1;
constexpr qsizetype Reads = 1 << 20;

QList<int> readsOf(int kind)
{
    QList<int> reads;
    reads.reserve(Reads);
    QRandomGenerator random(7);
    if (kind == 0) {
        while (reads.size() + 13 <= Reads) {
            for (int k = 0; k < 11; ++k)
                reads << (k == 10 && random.bounded(4) == 0 ? '<' : '0' + int(random.bounded(10)));
            reads << 0x0D << 0x0A;
        }
        return reads;
    }
    while (reads.size() < Reads) {
        const quint32 pick = random.bounded(100);
        reads << (pick < 15       ? FailedRead
                      : pick < 25 ? 0x0A
                      : pick < 30 ? '<'
                                  : int(random.bounded(256)));
    }
    return reads;
}

void BM_BridgeAssembly(benchmark::State &state)
{
    const QList<int> reads = readsOf(int(state.range(0)));
    BridgeAssembler assembler;
    qint64 frames = 0;
    qint64 flushes = 0;
    for (auto _ : state) {
        for (const int r : reads) {
            const BridgeStep step
                = r == FailedRead ? BridgeAssembler::failedRead() : assembler.read(quint8(r));
            frames += step.accepted;
            flushes += step.flush;
        }
        benchmark::DoNotOptimize(frames);
        benchmark::DoNotOptimize(flushes);
    }
    if (state.range(0) == 0 && frames == 0)
        state.SkipWithError("no frame was accepted");
    state.counters["reads/s"] = benchmark::Counter(
        double(reads.size()) * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_BridgeAssembly)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
