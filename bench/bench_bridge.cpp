// The bridge cable's byte poll: one read result at a time through BridgeAssembler, as the link's
// worker would deliver them. Argument 0: readings in step, eleven characters, carriage return,
// line feed; argument 1: random bytes with line feeds, "<" and failed reads mixed in.
// Goal: at least 20 000 000 reads a second on one core.
// BM_BridgeWorker: the same readings through the poll's worker thread, from a function table
// that serves them from memory, taken every millisecond as a timer would: the cost of the
// thread, the hand-over and the frames' texts, from start to shut-down.

#include "links/bridge/BridgeAssembler.h"
#include "links/bridge/BridgeLibrary.h"
#include "links/bridge/BridgePoll.h"

#include <QList>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

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

// The bytes the in-memory bridge hands out, one per read; afterwards every read times out.
struct MemoryBridge
{
    std::vector<std::uint8_t> bytes;
    std::size_t next = 0;
} memoryBridge;

SiStatus memCount(std::uint32_t *count)
{
    *count = 1;
    return 0;
}
SiStatus memOpen(std::uint32_t, SiHandle *handle)
{
    *handle = &memoryBridge;
    return 0;
}
SiStatus memBaud(SiHandle, std::uint32_t)
{
    return 0;
}
SiStatus memTimeouts(std::uint32_t, std::uint32_t)
{
    return 0;
}
SiStatus memRead(SiHandle, std::uint8_t *buffer, std::uint32_t, std::uint32_t *returned, void *)
{
    if (memoryBridge.next >= memoryBridge.bytes.size()) {
        *returned = 0;
        return 0xFF;
    }
    *buffer = memoryBridge.bytes[memoryBridge.next++];
    *returned = 1;
    return 0;
}
SiStatus memFlush(SiHandle, std::uint8_t, std::uint8_t)
{
    return 0;
}
SiStatus memClose(SiHandle)
{
    return 0;
}

void BM_BridgeWorker(benchmark::State &state)
{
    const QList<int> reads = readsOf(0);
    memoryBridge.bytes.assign(reads.begin(), reads.end());
    const std::size_t expectedFrames = std::size_t(reads.size() / 13);
    const SiUsbXpFunctions functions {memCount, memOpen,  memBaud, memTimeouts,
                                      memRead,  memFlush, memClose};
    for (auto _ : state) {
        memoryBridge.next = 0;
        BridgePoll poll(functions, BridgePoll::Timings {60000, 1});
        poll.start();
        std::size_t frames = 0;
        // Taken every millisecond, as the window's timer takes them.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (frames < expectedFrames && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (const BridgePoll::Event &e : poll.takeEvents())
                frames += e.kind == BridgePoll::Event::Kind::Frame;
        }
        if (frames != expectedFrames) {
            state.SkipWithError("frames went missing");
            break;
        }
        poll.shutDown(5000);
    }
    state.counters["reads/s"] = benchmark::Counter(
        double(reads.size()) * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_BridgeWorker)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_BridgeAssembly)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
