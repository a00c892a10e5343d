#include "app/CommandLine.h"
#include "app/ExitCommand.h"
#include "app/MainWindow.h"
#include "links/SystemPorts.h"
#include "support/Beeper.h"
#include "support/Clock.h"
#include "support/PortNames.h"
#include "support/Prompts.h"

#include <QApplication>
#include <QStyleFactory>
#include <cstdio>

int main(int argc, char *argv[])
{
    // The window is laid out in device pixels, as designed; no scaling for the screen's density.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"MeterLink"_qs);
    QApplication::setApplicationVersion(u"2.0"_qs);
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_qs));

    const CommandLine options = CommandLine::parse(QApplication::arguments());
    if (options.exitNow) {
        std::fputs(options.message.toLocal8Bit().constData(), options.exitCode ? stderr : stdout);
        return options.exitCode;
    }

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
    window.show();
    return QApplication::exec();
}
