// The per-frame display sequence in the real window on Qt's offscreen platform, and the time
// from a byte written into a pseudo-terminal to the reading on the replica LCD.

#include "Pty.h"
#include "QtBenchmarkMain.h"
#include "app/MainWindow.h"
#include "links/SerialLink.h"
#include "meter/MeterDisplay.h"
#include "recording/ReadingRecorder.h"
#include "support/Beeper.h"
#include "support/Clock.h"
#include "support/LongRecording.h"
#include "support/PortNames.h"
#include "support/Prompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

struct Window
{
    QtPrompts prompts;
    Clock clock;
    Beeper beeper;
    PortNames names;
    MainWindow window {Services {prompts, clock, beeper, names}, ModelSwitches {}};

    Window()
    {
        window.show();
        QApplication::processEvents();
    }
};

const QStringList frames = {
    u"A00012340010D"_qs, u"A01101230010D"_qs, u"A20300990010D"_qs, u"A11000250000D"_qs,
    u"A22112340000D"_qs, u"A40019990410D"_qs, u"A71104500000D"_qs, u"A80039990028D"_qs,
    u"A20100000100D"_qs, u"A11000000001D"_qs, u"A30005670010D"_qs, u"A61100120090D"_qs,
};

// The sequence alone; the event loop runs between frames (untimed), as it does in the program.
void BM_DisplaySequence(benchmark::State &state)
{
    Window w;
    RunState &s = w.window.state();
    qsizetype i = 0;
    for (auto _ : state) {
        s.ReadingFrame = frames[i++ % frames.size()];
        benchmark::DoNotOptimize(w.window.display().LcdDisplayGostel());
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DisplaySequence);

// The sequence plus the event processing and repaint it causes, with the table already holding
// the given number of rows (the grid must not slow down as the table grows).
void BM_DisplaySequenceAndPaint(benchmark::State &state)
{
    Window w;
    RunState &s = w.window.state();
    w.window.recorder().limitessClick();
    fillLongRecording(w.window.recorder().table(), state.range(0));
    w.window.recorder().model().rowsAppended();
    QApplication::processEvents();
    qsizetype i = 0;
    for (auto _ : state) {
        s.ReadingFrame = frames[i++ % frames.size()];
        benchmark::DoNotOptimize(w.window.display().LcdDisplayGostel());
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DisplaySequenceAndPaint)->Arg(0)->Arg(1'000'000);

// One recorded row reaching the grid while the user is at the bottom: the grid hears of it,
// follows it and repaints, with the table already holding the given number of rows (flat in
// rows: recording without a limit reaches 8-digit row numbers).
void BM_GridFollowRow(benchmark::State &state)
{
    Window w;
    w.window.recorder().limitessClick();
    auto n = qint32(state.range(0));
    fillLongRecording(w.window.recorder().table(), n);
    w.window.recorder().model().rowsAppended();
    QApplication::processEvents();
    // At the bottom, where the grid follows the newest row.
    QScrollBar *bar = w.window.findChild<QTableView *>(u"DBGrid1"_qs)->verticalScrollBar();
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    for (auto _ : state) {
        w.window.recorder().appendTestRow(longRecordingRow(++n));
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GridFollowRow)->Arg(0)->Arg(1'000'000);

// The heap the window's grid adds per row on top of the table's own rows (header sections,
// selection), measured at a million rows.
void BM_GridMemoryPerRow(benchmark::State &state)
{
    for (auto _ : state) {
        Window w;
        w.window.recorder().limitessClick();
        ReadingTable &table = w.window.recorder().table();
        ReadingTable::Row row;
        row.dcAc = u"DCV"_qs;
        row.value = u"1.234"_qs;
        const auto heap = [] {
            const struct mallinfo2 info = mallinfo2();
            return double(info.uordblks + info.hblkhd);
        };
        for (qint64 n = 0; n < state.range(0); ++n) {
            row.no = qint32(n + 1);
            table.append(row);
        }
        const double before = heap();
        w.window.recorder().model().rowsAppended();
        QApplication::processEvents();
        state.counters["grid_bytes_per_row"] = (heap() - before) / double(state.range(0));
    }
}
BENCHMARK(BM_GridMemoryPerRow)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

// From the write of a reading's last byte to the new digits on the panel, through a
// pseudo-terminal and the serial link's poll (50 ms).
void BM_ByteToLcdLatency(benchmark::State &state)
{
    Pty pty;
    if (!pty.isOpen()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }

    Window w;
    w.names.setOverride(1, pty.slavePath());
    w.window.findChild<QPushButton *>(u"COMCon"_qs)->click();
    if (!w.window.serialLink().COMM2().IsOpen()) {
        state.SkipWithError("the pseudo-terminal did not open");
        return;
    }
    QLabel *digit = w.window.findChild<QLabel *>(u"LcdDd"_qs);
    int n = 0;
    for (auto _ : state) {
        const char last = char('0' + (++n % 10));
        QByteArray bytes("\n000123");
        bytes += last;
        bytes += "0010\r";
        // Let a poll tick pass at a random phase, like a meter that does not know our timer.
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 7 + n % 43)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        QElapsedTimer t;
        t.start();
        if (!pty.write(bytes)) {
            state.SkipWithError("write failed");
            break;
        }
        while (digit->text() != QString(QChar::fromLatin1(last)) && t.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_ByteToLcdLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);

} // namespace

QT_BENCHMARK_MAIN(QApplication)
