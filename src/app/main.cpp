#include "app/CommandLine.h"
#include "app/DefaultFamily.h"
#include "app/ExitCommand.h"
#include "app/MainWindow.h"
#include "links/SystemPorts.h"
#include "support/Beeper.h"
#include "support/Clock.h"
#include "support/FirstPaintMark.h"
#include "support/Pictures.h"
#include "support/PortNames.h"
#include "support/Prompts.h"

#include <QApplication>
#include <QByteArrayView>
#include <QStyleFactory>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#ifdef METERLINK_QT_PLUGINS
#include <dlfcn.h>
#endif

#ifdef METERLINK_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#ifdef METERLINK_DBUS
#include <QDBusConnection>
#endif

namespace {

void setApplicationInfo()
{
    QCoreApplication::setApplicationName(u"MeterLink"_qs);
    QCoreApplication::setApplicationVersion(u"2.0"_qs);
    // Desktops match the window to meterlink.desktop (its name and icon in the task bar).
    QGuiApplication::setDesktopFileName(u"meterlink"_qs);
}

int answer(const CommandLine &options)
{
    std::fputs(options.message.toLocal8Bit().constData(), options.exitCode ? stderr : stdout);
    return options.exitCode;
}

bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView a(argv[i]);
        if (a == "--")
            break;
        for (const char *flag : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (a == flag)
                return true;
    }
    return false;
}

#ifdef METERLINK_QT_PLUGINS
// The menu bar's own picture makes Qt try every image format plugin. Loaded beforehand, Qt's own
// loads find them in memory. (The window draws its scalable pictures itself, without Qt's icon
// engine plugin.)
void loadPicturePlugins()
{
    namespace fs = std::filesystem;
    const fs::path plugins(METERLINK_QT_PLUGINS);
    std::vector<fs::path> files;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(plugins / "imageformats", error))
        if (entry.path().extension() == ".so")
            files.push_back(entry.path());
    // Kept loaded, as Qt keeps its plugins; one that cannot be loaded is Qt's to report.
    for (const fs::path &file : files)
        dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}
#endif

// Work the first picture waits for that needs no display: the system's font configuration
// (dozens of files of rules, read by the first text the window measures), the stand-in for the
// default family, and the plugins that draw its pictures. Done on a thread of its own while the
// application connects to the display, it is ready before the window is built.
std::jthread prepareInBackground(DefaultFamily &defaults)
{
    return std::jthread([&defaults] {
#ifdef METERLINK_FONTCONFIG
        FcInit();
#endif
        findDefaultStandIn(defaults);
#ifdef METERLINK_QT_PLUGINS
        loadPicturePlugins();
#endif
    });
}

// The first widget given a text asks the accessibility bridge whether a screen reader listens,
// and the bridge first connects to the session bus: a round trip or two, or a failed attempt to
// start a bus where there is none. Connected on a thread of its own while the application
// connects to the display, the bus is ready when the bridge asks for it. Only the window
// systems with that bridge need it; for others, such as offscreen, nothing is done.
std::jthread connectSessionBusInBackground()
{
#ifdef METERLINK_DBUS
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland"))
        return std::jthread([] { QDBusConnection::sessionBus(); });
#endif
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    // The window is laid out in device pixels, as designed; no scaling for the screen's density.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");

    // Help and version are answered without a window system, so they work without a display.
    // Anything the parser refuses here (a Qt option such as -platform, which only the
    // QApplication below takes away) is left to the full parse.
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication core(argc, argv);
        setApplicationInfo();
        const CommandLine options = CommandLine::parse(QCoreApplication::arguments());
        if (options.exitNow && options.exitCode == 0)
            return answer(options);
    }

    // The window's menus are its own, never the desktop's global menu bar; asking the desktop
    // whether it has one would start a session bus connection before the first picture.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    // Qt takes the first thread that asks for its thread data as the program's main thread: this
    // one asks before the threads below can.
    QThread::currentThread();
    DefaultFamily defaultFamily;
    std::jthread preparation = prepareInBackground(defaultFamily);
    const std::jthread sessionBus = connectSessionBusInBackground();
    QApplication app(argc, argv);
    setApplicationInfo();
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_qs));

    const CommandLine options = CommandLine::parse(QApplication::arguments());
    if (options.exitNow)
        return answer(options);

    preparation.join();
    nameDefaultStandIn(defaultFamily);

    QtPrompts prompts;
    Clock clock;
    Beeper beeper;
    PortNames portNames(systemSerialPorts);
    portNames.readEnvironment();
    for (const QString &value : options.comOverrides)
        portNames.addOverrideOption(value, nullptr);

    // The window's pictures are drawn on a thread of their own while the window is built.
    const Pictures::Preparation pictures(MainWindow::startUpPictures());
    MainWindow window(Services {prompts, clock, beeper, portNames}, options.switches);
    QObject::connect(&window.exitCommand(), &ExitCommand::exitConfirmed, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    // The window's icon is no part of its first picture: the window shows without one (the
    // scalable icon would be drawn at every size the window system takes) and gets the icon,
    // drawn once at those sizes, just after its first paint.
    window.setWindowIcon(QIcon());
    FirstPaintMark::afterFirstPaint(
        &window, [&window] { window.setWindowIcon(Pictures::windowIcon(u"app-icon"_qs)); });
    FirstPaintMark::install(&window);
    window.show();
    return QApplication::exec();
}
