#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <random>

// A million rows saved and loaded in both forms, and our packet reader beside xmllint on the
// same packet.

namespace {

constexpr int Rows = 1'000'000;

struct Function
{
    const char16_t *dcAc, *unit, *range;
    int decimals; // places after the point of this range's four digits
};

constexpr Function functions[] = {
    {u"DCV", u"V", u"4 V", 3},      {u"ACV", u"V", u"400 V", 1},
    {u"DCV", u"mV", u"400 mV", 1},  {u"OHM", u"k\u03A9", u"40 k\u03A9", 2},
    {u"DCA", u"mA", u"400 mA", 1},  {u"TEMP", u"\u00B0C", u"", 0},
    {u"FREQ", u"kHz", u"4 kHz", 3}, {u"CAP", u"nF", u"40 nF", 2},
};

// What a day of logging looks like: one reading a second, a function for a few minutes at a
// time, values that wander, the odd manual range.
ReadingTable makeTable()
{
    ReadingTable t;
    std::mt19937 random(2024);
    int counts = 1234;
    const Function *f = &functions[0];
    for (int n = 0; n < Rows; ++n) {
        if (n % 600 == 0) {
            f = &functions[random() % std::size(functions)];
            counts = int(random() % 4000);
        }
        counts = std::clamp(counts + int(random() % 41) - 20, -3999, 3999);
        const int seconds = (8 * 3600 + n) % 86400;
        ReadingTable::Row r;
        r.no = n + 1;
        r.time = QStringLiteral("%1:%2:%3")
                     .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                     .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                     .arg(seconds % 60, 2, 10, QLatin1Char('0'));
        r.dcAc = QString::fromUtf16(f->dcAc);
        r.value = f->decimals
            ? QString::number(counts / std::pow(10.0, f->decimals), 'f', f->decimals)
            : QString::number(counts);
        r.unit = QString::fromUtf16(f->unit);
        r.range = QString::fromUtf16(f->range);
        r.autoText = n % 5000 < 4500 ? u"Auto"_qs : u"Manu"_qs;
        r.nval = counts;
        t.append(r);
    }
    return t;
}

const ReadingTable &table()
{
    static const ReadingTable t = makeTable();
    return t;
}

QString folder()
{
    static QTemporaryDir dir;
    return dir.path();
}

QString file(const char *name)
{
    return folder() + u'/' + QLatin1String(name);
}

// The saved file of the given form, written once.
const QString &savedFile(bool xml)
{
    static const QString text = [] {
        const QString path = file("rows.txt");
        TableFiles::saveText(table(), path);
        return path;
    }();
    static const QString packet = [] {
        const QString path = file("rows.xml");
        TableFiles::saveXml(table(), path);
        return path;
    }();
    return xml ? packet : text;
}

// Our packet with the field named "DC_x002F_AC": well-formed XML that xmllint reads too.
const QString &wellFormedPacket()
{
    static const QString path = [] {
        QFile in(savedFile(true));
        in.open(QIODevice::ReadOnly);
        QByteArray bytes = in.readAll();
        bytes.replace("DC/AC", "DC_x002F_AC");
        const QString out = file("rows-wellformed.xml");
        QFile f(out);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return out;
    }();
    return path;
}

void setFileBytes(benchmark::State &state, const QString &path)
{
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
    state.counters["rows"] = Rows;
}

void save(benchmark::State &state, bool xml)
{
    table();
    const QString path = file(xml ? "saved.xml" : "saved.txt");
    for (auto _ : state) {
        QString error;
        if (!(xml ? TableFiles::saveXml(table(), path, &error)
                  : TableFiles::saveText(table(), path, &error))) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
    setFileBytes(state, path);
}

void load(benchmark::State &state, const QString &path, bool xml)
{
    for (auto _ : state) {
        ReadingTable loaded;
        QString error;
        if (!(xml ? TableFiles::loadXml(loaded, path, &error)
                  : TableFiles::loadText(loaded, path, &error))
            || loaded.rowCount() != Rows) {
            state.SkipWithError(qPrintable(u"load failed: "_qs + error));
            return;
        }
        state.PauseTiming(); // letting the rows go is no part of loading them
        loaded.clear();
        state.ResumeTiming();
    }
    setFileBytes(state, path);
}

void BM_SaveText(benchmark::State &state)
{
    save(state, false);
}

// CSV is written only: its save beside the text form's, which writes the same texts.
void BM_SaveCsv(benchmark::State &state)
{
    table();
    const QString path = file("saved.csv");
    for (auto _ : state) {
        QString error;
        if (!TableFiles::saveCsv(table(), path, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
    setFileBytes(state, path);
}

void BM_LoadText(benchmark::State &state)
{
    load(state, savedFile(false), false);
}

void BM_SaveXml(benchmark::State &state)
{
    save(state, true);
}

void BM_LoadXml(benchmark::State &state)
{
    load(state, savedFile(true), true);
}

void BM_LoadXmlWellFormed(benchmark::State &state)
{
    load(state, wellFormedPacket(), true);
}

// xmllint only checks the packet; our reader above also builds the table from it.
void BM_XmllintWellFormed(benchmark::State &state)
{
    const QString xmllint = QStandardPaths::findExecutable(u"xmllint"_qs);
    if (xmllint.isEmpty()) {
        state.SkipWithError("xmllint is not installed (Debian package libxml2-utils)");
        return;
    }
    const QByteArray command
        = QString(u"'"_qs + xmllint + u"' --noout '"_qs + wellFormedPacket() + u"'"_qs)
              .toLocal8Bit();
    for (auto _ : state) {
        if (std::system(command.constData()) != 0) {
            state.SkipWithError("xmllint refused the packet");
            return;
        }
    }
    setFileBytes(state, wellFormedPacket());
}

void options(benchmark::internal::Benchmark *b)
{
    // Child processes take no CPU time of ours: compare by the clock on the wall.
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

} // namespace

BENCHMARK(BM_SaveText)->Apply(options);
BENCHMARK(BM_SaveCsv)->Apply(options);
BENCHMARK(BM_LoadText)->Apply(options);
BENCHMARK(BM_SaveXml)->Apply(options);
BENCHMARK(BM_LoadXml)->Apply(options);
BENCHMARK(BM_LoadXmlWellFormed)->Apply(options);
BENCHMARK(BM_XmllintWellFormed)->Apply(options);

BENCHMARK_MAIN();
