// The start-up yardstick for bench/startup.sh: an empty main window of MeterLink's size, measured
// to its first paint exactly as MeterLink is (support/FirstPaintMark.h).

#include "support/FirstPaintMark.h"
#include "support/WindowLook.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    // MeterLink's client area plus its one-line menu bar.
    constexpr int menuBarHeight = 18;
    window.setFixedSize(WindowLook::ClientWidth, WindowLook::ClientHeight + menuBarHeight);
    FirstPaintMark::install(&window);
    window.show();
    return QApplication::exec();
}
