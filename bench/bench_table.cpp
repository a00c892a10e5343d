// The reading table: the cost of appending a recorded row and the heap a held row takes at one
// and ten million rows (the "limitless" bound), with texts that vary as a meter's do.

#include "recording/ReadingTable.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

// Row i of a long recording: one reading per second, values that wander within the range, and
// the function changing now and then.
ReadingTable::Row recorded(qint64 i)
{
    static const QString functions[] = {u"DCV"_qs, u"ACV"_qs, u"OHM"_qs, u"DCA"_qs};
    static const QString units[] = {u"V"_qs, u"V"_qs, u"K *"_qs, u"mA"_qs};
    static const QString ranges[] = {u"4 V"_qs, u"40 V"_qs, u"40 k *"_qs, u"400 mA"_qs};
    const int kind = int((i / 5000) % 4);
    const int counts = int((i * 7919) % 4000);
    const int seconds = int(i % 86400);
    ReadingTable::Row r;
    r.no = qint32(i + 1);
    r.time = u"%1:%2:%3"_qs.arg(seconds / 3600, 2, 10, QChar(u'0'))
                 .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
                 .arg(seconds % 60, 2, 10, QChar(u'0'));
    r.dcAc = functions[kind];
    r.value = u"%1.%2"_qs.arg(counts / 1000).arg(counts % 1000, 3, 10, QChar(u'0'));
    r.unit = units[kind];
    r.range = ranges[kind];
    r.autoText = i % 7 ? u"Auto"_qs : u"Manu"_qs;
    r.nval = counts;
    return r;
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void BM_TableAppend(benchmark::State &state)
{
    // Rows prepared beforehand: only the table's own work is timed.
    std::vector<ReadingTable::Row> rows;
    for (qint64 i = 0; i < 65536; ++i)
        rows.push_back(recorded(i));
    ReadingTable table;
    size_t next = 0;
    for (auto _ : state) {
        table.append(rows[next]);
        next = (next + 1) & 65535;
        if (table.rowCount() >= 10'000'000) {
            state.PauseTiming();
            table.clear();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TableAppend);

void BM_TableMemoryPerRow(benchmark::State &state)
{
    const qint64 rows = state.range(0);
    double perRow = 0;
    for (auto _ : state) {
        const size_t before = heapInUse();
        auto table = std::make_unique<ReadingTable>();
        for (qint64 i = 0; i < rows; ++i)
            table->append(recorded(i));
        perRow = double(heapInUse() - before) / double(rows);
        benchmark::DoNotOptimize(table->rowCount());
    }
    state.counters["bytes_per_row"] = perRow;
}
BENCHMARK(BM_TableMemoryPerRow)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_TableReadRow(benchmark::State &state)
{
    ReadingTable table;
    for (qint64 i = 0; i < 1'000'000; ++i)
        table.append(recorded(i));
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.text(i, ReadingTable::Value));
        i = (i + 7919) % table.rowCount();
    }
}
BENCHMARK(BM_TableReadRow);

} // namespace

BENCHMARK_MAIN();
