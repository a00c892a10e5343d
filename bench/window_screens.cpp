// Pictures of the main window in a few fixed states, for comparing the drawing before and after
// a change to it. The clock and the ports are the tests' own, so two runs of the same build give
// the same pixels.
//
//   window_screens OUTDIR            writes idle.png, dcv.png, overload.png, temperature.png,
//                                    chart-page3.png and table.png
//   window_screens --screen OUTDIR   the same, on the platform QT_QPA_PLATFORM names (say xcb
//                                    under Xvfb), read back from the window system: what partial
//                                    repaints left on the screen rather than a fresh drawing
//   window_screens --compare A B     compares the pictures of two such folders; exit 1 when any
//                                    differs, saying where

#include "support/TestWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>

namespace {

bool fromScreen = false;

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    // A window system takes a moment to map the window and take the first pictures.
    QElapsedTimer t;
    t.start();
    while (fromScreen && t.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(TestWindow &w, const QDir &dir, const char *name)
{
    settle();
    const QString path = dir.filePath(QString::fromLatin1(name) + u".png"_qs);
    const QPixmap picture
        = fromScreen ? w.window->screen()->grabWindow(w.window->winId()) : w.window->grab();
    if (!picture.save(path)) {
        std::fprintf(stderr, "window_screens: could not write %s\n", qPrintable(path));
        return false;
    }
    return true;
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
        w.window->show();
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
        w.window->show();
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
    fromScreen = argc == 3 && qstrcmp(argv[1], "--screen") == 0;
    if (!fromScreen || qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == u"--compare")
        return compare(args[1], args[2]);
    if (args.size() == 1 && !args[0].startsWith(u'-'))
        return shoot(args[0]);
    if (fromScreen)
        return shoot(args[1]);
    std::fprintf(stderr,
                 "usage: window_screens [--screen] OUTDIR | window_screens --compare A B\n");
    return 2;
}
