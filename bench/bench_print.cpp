// The printed list of the reading table: 1000 rows (28 A4 pages) written as a PDF document,
// into memory and onto disk.

#include "QtBenchmarkMain.h"
#include "recording/ReadingTable.h"
#include "recording/TableReport.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTime>
#include <benchmark/benchmark.h>

namespace {

ReadingTable tableOf(int rows)
{
    static const QString units[] = {u"V"_qs, u"k*"_qs, u"#"_qs, u"mA"_qs};
    ReadingTable table;
    for (int i = 0; i < rows; ++i) {
        ReadingTable::Row r;
        r.no = i + 1;
        r.time = QTime(0, 0).addSecs(i).toString(u"hh:mm:ss"_qs);
        r.dcAc = i % 2 ? u"DCV"_qs : u"ACV"_qs;
        r.value = QString::number(1.234 + i % 97 * 0.01, 'f', 3);
        r.unit = units[i % 4];
        r.range = u"4 V"_qs;
        r.autoText = u"Auto"_qs;
        r.nval = 1234 + i % 97;
        table.append(r);
    }
    return table;
}

void BM_ReportToMemory(benchmark::State &state)
{
    const ReadingTable table = tableOf(int(state.range(0)));
    qint64 bytes = 0;
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        if (!TableReport::writePdf(table, out)) {
            state.SkipWithError("writing failed");
            break;
        }
        bytes = out.size();
    }
    state.counters["pages"] = double(TableReport::pageCount(table.rowCount()));
    state.counters["bytes"] = double(bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReportToMemory)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ReportToFile(benchmark::State &state)
{
    const ReadingTable table = tableOf(int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.pdf"_qs);
    for (auto _ : state) {
        QString error;
        if (!TableReport::writePdf(table, path, &error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReportToFile)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

QT_BENCHMARK_MAIN(QGuiApplication)
