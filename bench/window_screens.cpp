// Pictures of the main window in a few fixed states, for comparing the drawing before and after
// a change to it. The clock and the ports are the tests' own, so two runs of the same build give
// the same pixels.
//
//   window_screens OUTDIR            writes idle.png, dcv.png, overload.png, temperature.png,
//                                    chart-page3.png, table.png, and a table of 100 000 rows
//                                    followed at the bottom (table-large-bottom.png) and
//                                    scrolled to its middle (table-large-middle.png), then
//                                    followed again and scrolled up with the wheel by 4500 rows
//                                    (table-large-wheel.png) and paged up with the keys
//                                    (table-large-keys.png); each also
//                                    as the screen shows it after the repaints (NAME-screen.png)
//   window_screens --compare A B     compares the pictures of two such folders; exit 1 when any
//                                    differs, saying where

#include "recording/ReadingRecorder.h"
#include "support/LongRecording.h"
#include "support/TestWindow.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>
#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// On a window system the first picture comes once the window is mapped and exposed.
void showExposed(TestWindow &w)
{
    w.window->show();
    if (!QTest::qWaitForWindowExposed(w.window.get()))
        std::fprintf(stderr, "window_screens: the window was not exposed\n");
}

bool write(const QPixmap &picture, const QDir &dir, const QString &name)
{
    const QString path = dir.filePath(name + u".png"_qs);
    if (!picture.save(path)) {
        std::fprintf(stderr, "window_screens: could not write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The window drawn afresh, and what the window's repaints have left on the screen
// (NAME-screen.png), where a part not repainted after a change would show.
bool save(TestWindow &w, const QDir &dir, const char *name)
{
    settle();
    bool ok = write(w.window->grab(), dir, QString::fromLatin1(name));
    ok = write(w.window->screen()->grabWindow(w.window->winId()), dir,
               QString::fromLatin1(name) + u"-screen"_qs)
        && ok;
    return ok;
}

int shoot(const QString &folder)
{
    QDir dir;
    if (!dir.mkpath(folder)) {
        std::fprintf(stderr, "window_screens: could not make %s\n", qPrintable(folder));
        return 2;
    }
    dir.setPath(folder);
    bool ok = true;
    {
        TestWindow w;
        showExposed(w);
        ok = save(w, dir, "idle") && ok;
        w.showFrame(u"A00012340010D"_qs);
        ok = save(w, dir, "dcv") && ok;
        w.showFrame(u"A00100000100D"_qs);
        ok = save(w, dir, "overload") && ok;
        w.showFrame(u"A11000250000D"_qs);
        ok = save(w, dir, "temperature") && ok;
    }
    {
        // Two and a half pages of a slow wave: the chart stands on its third page.
        TestWindow w;
        showExposed(w);
        for (int n = 0; n < 250; ++n) {
            const int value = (n * 37) % 4000;
            w.clock.current = w.clock.current.addMSecs(333);
            w.showFrame(u"A000"_qs + QString::number(value).rightJustified(4, u'0') + u"0010D"_qs);
            if (n % 16 == 0)
                QApplication::processEvents();
        }
        ok = save(w, dir, "chart-page3") && ok;
        if (auto *grid = w.window->findChild<QTableView *>())
            grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
        ok = save(w, dir, "table") && ok;
    }
    {
        // A long recording: the rows are put in directly, then a few frames are recorded while
        // the grid is at the bottom, so the grid follows them and the "No" column has widened.
        TestWindow w;
        showExposed(w);
        w.window->recorder().limitessClick();
        fillLongRecording(w.window->recorder().table(), 100'000);
        w.window->state().counters.RecordNo = 100'001;
        w.window->recorder().model().rowsAppended();
        settle();
        // Frames half a second apart, their readings rising from first by 7.
        const auto record = [&w](int first, int count) {
            for (int n = 0; n < count; ++n) {
                w.clock.current = w.clock.current.addMSecs(500);
                w.showFrame(u"A000"_qs + QString::number(first + n * 7) + u"0010D"_qs);
                QApplication::processEvents();
            }
        };
        auto *grid = w.window->findChild<QTableView *>();
        if (grid)
            grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
        settle();
        record(1000, 5);
        ok = save(w, dir, "table-large-bottom") && ok;
        if (grid)
            grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
        ok = save(w, dir, "table-large-middle") && ok;
        if (grid) {
            grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
            settle();
            record(2000, 2);
            // Three rows a notch.
            for (int n = 0; n < 1500; ++n) {
                const QPointF at(20, 20);
                QWheelEvent wheel(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(grid->viewport(), &wheel);
            }
            w.clock.current = w.clock.current.addMSecs(500);
            w.showFrame(u"A00030000010D"_qs);
            settle();
        }
        ok = save(w, dir, "table-large-wheel") && ok;
        if (grid) {
            grid->setFocus();
            for (int n = 0; n < 3; ++n)
                QTest::keyClick(grid, Qt::Key_PageUp);
            w.clock.current = w.clock.current.addMSecs(500);
            w.showFrame(u"A00030070010D"_qs);
            settle();
        }
        ok = save(w, dir, "table-large-keys") && ok;
    }
    return ok ? 0 : 2;
}

int compare(const QString &a, const QString &b)
{
    const QStringList names = QDir(a).entryList({u"*.png"_qs}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fprintf(stderr, "window_screens: no pictures in %s\n", qPrintable(a));
        return 2;
    }
    int differing = 0;
    for (const QString &name : names) {
        const QImage x = QImage(QDir(a).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        const QImage y = QImage(QDir(b).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        if (y.isNull() || x.size() != y.size()) {
            std::printf("%s: missing or of another size\n", qPrintable(name));
            ++differing;
            continue;
        }
        qint64 pixels = 0;
        QRect box;
        for (int row = 0; row < x.height(); ++row) {
            const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
            const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
            for (int col = 0; col < x.width(); ++col) {
                if (p[col] != q[col]) {
                    ++pixels;
                    box |= QRect(col, row, 1, 1);
                }
            }
        }
        if (pixels == 0) {
            std::printf("%s: same\n", qPrintable(name));
        } else {
            std::printf("%s: %lld pixels differ, within x %d..%d, y %d..%d\n", qPrintable(name),
                        pixels, box.left(), box.right(), box.top(), box.bottom());
            ++differing;
        }
    }
    return differing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Offscreen unless told otherwise (QT_QPA_PLATFORM=xcb shows what an X server shows).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == u"--compare")
        return compare(args[1], args[2]);
    if (args.size() == 1 && !args[0].startsWith(u'-'))
        return shoot(args[0]);
    std::fprintf(stderr, "usage: window_screens OUTDIR | window_screens --compare A B\n");
    return 2;
}
