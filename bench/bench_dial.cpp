// The dial's share of the per-frame display: the face, the needle at the zero position and the
// needle at the reading, as the display draws them for every reading.

#include "QtBenchmarkMain.h"
#include "app/RunState.h"
#include "chart/AnalogDial.h"

#include <QApplication>
#include <QFrame>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct Dial
{
    RunState state;
    QFrame panel;
    std::unique_ptr<AnalogDial> dial;

    Dial(const QString &code, DialScale scale)
    {
        state.scaleCode = code;
        state.dialScale = scale;
        panel.resize(371, 143);
        dial = std::make_unique<AnalogDial>(state, state.limits, &panel);
        dial->setGeometry(2, 2, 367, 139);
    }
};

// Readings spread over the scale and a little beyond, so the needle moves every frame.
int position(int frame, const DialScale &scale)
{
    const int n = scale.dialSteps * 10;
    return (frame * 37) % (n + 41) - 20;
}

void BM_DialFrame(benchmark::State &st, const char16_t *code, DialScale scale)
{
    Dial d(QString::fromUtf16(code), scale);
    int frame = 0;
    for (auto _ : st) {
        d.dial->KDsetup(1);
        d.dial->KDrun(scale.needleOffset);
        d.dial->KDrun(position(frame++, scale));
    }
    benchmark::DoNotOptimize(d.dial->image().constBits());
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK_CAPTURE(BM_DialFrame, scale4, u"4", DialScale {4000, 400, 40, 80})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DialFrame, scale10, u"10", DialScale {1000, 1000, 100, 200})
    ->Unit(benchmark::kMicrosecond);

// A reading wavering by a few counts around one value, then committed, as a meter held on a
// steady source sends it.
void BM_DialWaveringFrame(benchmark::State &st)
{
    const DialScale scale {4000, 400, 40, 80};
    Dial d(u"4"_qs, scale);
    int frame = 0;
    for (auto _ : st) {
        d.dial->KDsetup(1);
        d.dial->KDrun(scale.needleOffset);
        d.dial->KDrun(2500 + (frame++ * 7) % 11 - 5);
        d.dial->commit();
    }
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_DialWaveringFrame)->Unit(benchmark::kMicrosecond);

// A face drawn from scratch, as after a limit edit: every iteration has a limit not seen lately.
void BM_DialNewFace(benchmark::State &st, const char16_t *code, DialScale scale)
{
    Dial d(QString::fromUtf16(code), scale);
    d.state.limits.upperLimitOn = true;
    int frame = 0;
    for (auto _ : st) {
        d.state.limits.UpperLimit = float(frame++ % 1000);
        d.dial->KDsetup(1);
    }
    st.SetItemsProcessed(st.iterations());
}
BENCHMARK_CAPTURE(BM_DialNewFace, scale4, u"4", DialScale {4000, 400, 40, 80})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DialNewFace, scale10, u"10", DialScale {1000, 1000, 100, 200})
    ->Unit(benchmark::kMicrosecond);

} // namespace

QT_BENCHMARK_MAIN(QApplication)
