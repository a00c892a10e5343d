#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"

#include <QByteArray>
#include <benchmark/benchmark.h>

// Table files shaped to hurt the readers. The goal: reading takes time in proportion to the
// file, whatever its shape.

namespace {

// A packet of about 9.8 MB: `fields` FIELDs naming No over and over, then rows of one attribute
// that no FIELD names, to fill the rest.
QByteArray manyFieldsPacket(int fields)
{
    constexpr qsizetype Size = 9'800'000;
    QByteArray packet = "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\">"
                        "<METADATA><FIELDS>";
    for (int i = 0; i < fields; ++i)
        packet += "<FIELD attrname=\"No\"/>";
    packet += "</FIELDS><PARAMS/></METADATA><ROWDATA>";
    while (packet.size() < Size)
        packet += "<ROW Unknown=\"1\"/>";
    return packet + "</ROWDATA></DATAPACKET>\r\n";
}

void BM_ManyFieldsUnknownAttributes(benchmark::State &state)
{
    const QByteArray packet = manyFieldsPacket(int(state.range(0)));
    qsizetype rows = 0;
    for (auto _ : state) {
        ReadingTable table;
        if (!TableFiles::readXml(table, packet)) {
            state.SkipWithError("the packet did not load");
            return;
        }
        rows = table.rowCount();
    }
    state.counters["rows"] = double(rows);
    state.SetBytesProcessed(state.iterations() * packet.size());
}

// One text field of 64 MiB: read, it keeps its first 20 characters.
void BM_HugeTextField(benchmark::State &state)
{
    const QByteArray file = "No\r\n1\t" + QByteArray(64 << 20, 'x') + "\r\n";
    for (auto _ : state) {
        ReadingTable table;
        benchmark::DoNotOptimize(TableFiles::readText(table, file));
    }
    state.SetBytesProcessed(state.iterations() * file.size());
}

} // namespace

BENCHMARK(BM_ManyFieldsUnknownAttributes)
    ->Arg(3'000)
    ->Arg(30'000)
    ->Arg(300'000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);
BENCHMARK(BM_HugeTextField)->Unit(benchmark::kMillisecond)->MinTime(0.5);

BENCHMARK_MAIN();
