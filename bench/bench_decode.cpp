#include "meter/FrameDecoder.h"

#include <QStringList>
#include <benchmark/benchmark.h>

namespace {

// Valid frames of every function, with overloads, open inputs and negative readings mixed in.
const QStringList &frameMix()
{
    static const QStringList frames {
        u"A00012340010D"_qs, u"A01139990410D"_qs, u"A00200000100D"_qs, u"A00312340008D"_qs,
        u"A10012340010D"_qs, u"A10100420400D"_qs, u"A11000250010D"_qs, u"A12009870000D"_qs,
        u"A20012340010D"_qs, u"A20500000101D"_qs, u"A21000000001D"_qs, u"A22203330010D"_qs,
        u"A22400000500D"_qs, u"A3FF05990010D"_qs, u"A40012340010D"_qs, u"A41101230408D"_qs,
        u"A50039990010D"_qs, u"A51100010000D"_qs, u"A60100000100D"_qs, u"A61012340410D"_qs,
        u"A70008000010D"_qs, u"A71204500008D"_qs, u"A8FF12342010D"_qs, u"A8FF00005500D"_qs,
        u"A80012340008D"_qs, u"A12000000500D"_qs, u"A00000250001D"_qs, u"A9FF12340010D"_qs,
    };
    return frames;
}

void decodeMix(benchmark::State &state, const QString &separator, bool keepValueText)
{
    const QStringList &frames = frameMix();
    Reading r;
    for (const QString &frame : frames) {
        if (FrameDecoder::decodeFrame(r, frame, separator)) {
            state.SkipWithError("a frame of the mix does not decode");
            return;
        }
    }

    QString kept; // a recorded copy shares the value text, so the next frame cannot reuse it
    qsizetype i = 0;
    for (auto _ : state) {
        auto failure = FrameDecoder::decodeFrame(r, frames[i], separator);
        benchmark::DoNotOptimize(failure);
        benchmark::DoNotOptimize(r.numericValue);
        if (keepValueText)
            kept = r.valueText;
        if (++i == frames.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_DecodeFrameMix(benchmark::State &state)
{
    decodeMix(state, u"."_qs, false);
}

void BM_DecodeFrameMixValueTextKept(benchmark::State &state)
{
    decodeMix(state, u"."_qs, true);
}

} // namespace

BENCHMARK(BM_DecodeFrameMix);
BENCHMARK(BM_DecodeFrameMixValueTextKept);

BENCHMARK_MAIN();
