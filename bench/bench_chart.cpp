// The time chart: appending a reading (through the paging control, on the widget and on the
// data alone), repainting the newest page with up to ten million points held, paging across
// all of them, and the memory a held point costs.

#include "QtBenchmarkMain.h"
#include "chart/ChartControl.h"
#include "chart/ChartData.h"
#include "chart/ChartView.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr qint64 MaxHeld = 10'000'000;
// Appends between two runs of the event loop in the append benchmarks.
constexpr qint64 EventBatch = 4096;

// A reading that moves like a real one: whole display counts within the full scale.
double reading(qint64 i)
{
    return std::round(3000.0 * std::sin(double(i) / 40.0)) + double((i * 7919) % 201 - 100);
}

struct ShownChart
{
    ChartView view;
    ChartControl control {view, 100};
    ShownChart()
    {
        view.resize(373, 353);
        control.SetLeftMax(4000);
        control.SetLeftMin(-4000);
        view.show();
        QApplication::processEvents();
    }
};

double residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE));
}

// First, while the heap is still fresh, so the resident-size growth is the chart's own.
void BM_MemoryPerPoint(benchmark::State &state)
{
    const qint64 n = state.range(0);
    const bool wholeNumbers = state.range(1) != 0;
    for (auto _ : state) {
        ::malloc_trim(0);
        const double before = residentBytes();
        auto data = std::make_unique<ChartData>();
        ChartControl control(*data, 100);
        for (qint64 i = 1; i < n; ++i)
            control.AppendValue(wholeNumbers ? reading(i) : reading(i) + 0.5);
        const double held = double(control.PointCount());
        state.counters["bytes_per_point"] = double(data->allocatedBytes()) / held;
        state.counters["rss_bytes_per_point"] = (residentBytes() - before) / held;
        state.counters["points"] = held;
    }
}
BENCHMARK(BM_MemoryPerPoint)
    ->ArgNames({"points", "whole"})
    ->Args({1'000'000, 1})
    ->Args({10'000'000, 1})
    ->Args({1'000'000, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// One reading through the paging control onto the shown widget, with the repaint it schedules.
// The event loop runs (untimed) every few thousand appends, as the program's does between
// readings; the chart is cleared (untimed) at ten million points.
void BM_AppendValueOnView(benchmark::State &state)
{
    ShownChart c;
    qint64 i = 0;
    for (auto _ : state) {
        c.control.AppendValue(reading(++i));
        if (i % EventBatch == 0) {
            state.PauseTiming();
            QApplication::processEvents();
            if (c.control.PointCount() >= MaxHeld)
                c.control.ClearChart();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendValueOnView);

// The same on the data alone.
void BM_AppendValueOnData(benchmark::State &state)
{
    ChartData data;
    ChartControl control(data, 100);
    qint64 i = 0;
    for (auto _ : state) {
        control.AppendValue(reading(++i));
        if (i % EventBatch == 0 && control.PointCount() >= MaxHeld) {
            state.PauseTiming();
            control.ClearChart();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendValueOnData);

// The storage alone: one point to each series.
void BM_AddPointPair(benchmark::State &state)
{
    ChartData data;
    qint64 i = 0;
    for (auto _ : state) {
        const double v = reading(++i);
        data.addPoint(0, v);
        data.addPoint(1, v);
        if (i % EventBatch == 0 && data.pointCount(0) >= MaxHeld) {
            state.PauseTiming();
            data.clearSeries(0);
            data.clearSeries(1);
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddPointPair);

// A synchronous repaint of the newest page (100 points) with range(0) points held.
void BM_RepaintLastPage(benchmark::State &state)
{
    ShownChart c;
    for (qint64 i = 1; i < state.range(0); ++i)
        c.control.AppendValue(reading(i));
    QApplication::processEvents();
    for (auto _ : state)
        c.view.repaint();
    state.counters["points"] = double(c.control.PointCount());
    state.counters["page"] = double(c.control.CurrentPage());
}
BENCHMARK(BM_RepaintLastPage)
    ->Arg(1'000)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMillisecond);

// A reading as the window charts it: one point appended to the page, then the repaint it asks
// for, with the page filling and turning as readings come.
void BM_AppendAndRepaint(benchmark::State &state)
{
    ShownChart c;
    qint64 i = 1;
    for (; i < 1000; ++i)
        c.control.AppendValue(reading(i));
    QApplication::processEvents();
    for (auto _ : state) {
        c.control.AppendValue(reading(i++));
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendAndRepaint)->Unit(benchmark::kMicrosecond);

// Every point on one page: drawn from per-column min/max.
void BM_RepaintWholePage(benchmark::State &state)
{
    ShownChart c;
    c.control.SetPageSize(int(state.range(0)));
    for (qint64 i = 1; i < state.range(0); ++i)
        c.control.AppendValue(reading(i));
    QApplication::processEvents();
    for (auto _ : state)
        c.view.repaint();
    state.counters["points"] = double(c.control.PointCount());
}
BENCHMARK(BM_RepaintWholePage)->Arg(100'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

// First page and back to the last with ten million points: 100,000 limit-checked scrolls each
// way, then the repaint.
void BM_FirstAndLastPage(benchmark::State &state)
{
    ShownChart c;
    for (qint64 i = 1; i < MaxHeld; ++i)
        c.control.AppendValue(reading(i));
    QApplication::processEvents();
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.control.FirstPage());
        benchmark::DoNotOptimize(c.control.LastPage());
        QApplication::processEvents();
    }
    state.counters["pages"] = double(c.control.PageCount());
}
BENCHMARK(BM_FirstAndLastPage)->Unit(benchmark::kMillisecond);

} // namespace

QT_BENCHMARK_MAIN(QApplication)
