#include "app/CommandLine.h"
#include "app/ExitCommand.h"
#include "app/MainWindow.h"
#include "links/SystemPorts.h"
#include "support/Beeper.h"
#include "support/Clock.h"
#include "support/FirstPaintMark.h"
#include "support/PortNames.h"
#include "support/Prompts.h"

#include <QApplication>
#include <QByteArrayView>
#include <QStyleFactory>
#include <cstdio>
#include <thread>

#ifdef METERLINK_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace {

void setApplicationInfo()
{
    QCoreApplication::setApplicationName(u"MeterLink"_qs);
    QCoreApplication::setApplicationVersion(u"2.0"_qs);
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

// The first text the window measures reads the system's font configuration (dozens of files of
// rules), and the first picture waits for it. Read on a thread of its own, it is ready by the
// time the application has connected to the display.
std::jthread readFontConfiguration()
{
#ifdef METERLINK_FONTCONFIG
    return std::jthread([] { FcInit(); });
#else
    return {};
#endif
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
    std::jthread fontConfiguration = readFontConfiguration();
    QApplication app(argc, argv);
    setApplicationInfo();
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_qs));

    const CommandLine options = CommandLine::parse(QApplication::arguments());
    if (options.exitNow)
        return answer(options);

    if (fontConfiguration.joinable())
        fontConfiguration.join();

    QtPrompts prompts;
    Clock clock;
    Beeper beeper;
    PortNames portNames(systemSerialPorts);
    portNames.readEnvironment();
    for (const QString &value : options.comOverrides)
        portNames.addOverrideOption(value, nullptr);

    MainWindow window(Services {prompts, clock, beeper, portNames}, options.switches);
    QObject::connect(&window.exitCommand(), &ExitCommand::exitConfirmed, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    FirstPaintMark::install(&window);
    window.show();
    return QApplication::exec();
}
