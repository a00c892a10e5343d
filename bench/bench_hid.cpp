// The HID cable's reports: assembly and its acceptance test alone, then on through the headless
// frame sequence as meterlog replays them. A reading arrives as the cable sends it, 3+3+3+2+2
// meter bytes in five 8-byte reports, followed by reports without bytes while the meter pauses
// (the argument: how many). Goal: at least 1 000 000 reports a second through the assembly.

#include "FrameFeed.h"
#include "MeterScript.h"
#include "links/HidAssembly.h"
#include "recording/HeadlessSequence.h"

#include <QByteArray>
#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype ReportLength = 8; // count byte and up to 7 meter bytes, zero-padded
constexpr qint64 Readings = 2000;

// Reports of Readings readings, each with `pause` empty reports after it, stored back to back.
QByteArray reports(int pause)
{
    MeterScript script = *MeterScript::fromName(u"walk"_qs, 1);
    QByteArray all;
    const auto add = [&all](QByteArrayView meterBytes) {
        QByteArray r(ReportLength, '\0');
        r[0] = char(0xF0 | meterBytes.size());
        std::copy(meterBytes.begin(), meterBytes.end(), r.begin() + 1);
        all += r;
    };
    for (qint64 i = 0; i < Readings; ++i) {
        const QByteArray wire = script.next().wireBytes();
        const QByteArrayView bytes(wire);
        add(bytes.sliced(0, 3));
        add(bytes.sliced(3, 3));
        add(bytes.sliced(6, 3));
        add(bytes.sliced(9, 2));
        add(bytes.sliced(11, 2));
        for (int p = 0; p < pause; ++p)
            add({});
    }
    return all;
}

template<class Feed> void eachReport(const QByteArray &all, Feed &&feed)
{
    for (qsizetype at = 0; at < all.size(); at += ReportLength)
        feed(QByteArrayView(all).sliced(at, ReportLength));
}

void count(benchmark::State &state, const QByteArray &all)
{
    const double perRun = double(all.size() / ReportLength);
    state.counters["reports/s"]
        = benchmark::Counter(perRun * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frames/s"] = benchmark::Counter(double(Readings) * double(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

// Assembly and the acceptance test, as the window's link runs them before its sink.
void BM_HidAssembly(benchmark::State &state)
{
    const QByteArray all = reports(int(state.range(0)));
    HidBurstAssembler assembler;
    qint64 accepted = 0;
    for (auto _ : state) {
        accepted = 0;
        eachReport(all, [&](QByteArrayView data) {
            assembler.feed(data, [&](const QString &frame) {
                accepted += HidBurstAssembler::plausible(frame);
            });
        });
        benchmark::DoNotOptimize(accepted);
    }
    if (accepted != Readings)
        state.SkipWithError("the reports did not give one frame a reading");
    count(state, all);
}

// As meterlog would replay a capture of reports: frame sink and headless sequence included.
void BM_HidReplayThroughSequence(benchmark::State &state)
{
    const QByteArray all = reports(int(state.range(0)));
    for (auto _ : state) {
        HeadlessSequence sequence(u"."_qs, u":"_qs);
        FrameFeed feed(sequence);
        eachReport(all, [&](QByteArrayView data) { feed.feedHidReport(data); });
        if (feed.frames() != Readings || feed.dropped() != 0) {
            state.SkipWithError("the reports did not replay as whole frames");
            return;
        }
        benchmark::DoNotOptimize(sequence.table().rowCount());
    }
    count(state, all);
}

} // namespace

BENCHMARK(BM_HidAssembly)->Arg(2)->Arg(20)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_HidReplayThroughSequence)
    ->Arg(2)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
