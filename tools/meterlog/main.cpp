// meterlog: records the multimeter's readings without a window, through the window's own frame
// assembly, decoder, record step and file writers; and converts table files.

#include "ConvertCommand.h"
#include "ExitCodes.h"
#include "LogOptions.h"
#include "LogSession.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // Only the PDF report paints, and painting needs a GUI application; everything else runs
    // on a machine without any display.
    const bool report = LogCommandLine::wantsReport(arguments);
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = report ? std::make_unique<QGuiApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(u"meterlog"_qs);

    LogOptions options;
    QString error;
    if (!LogCommandLine::parse(arguments, options, &error)) {
        std::fprintf(stderr, "meterlog: %s\nTry 'meterlog --help'.\n",
                     error.toLocal8Bit().constData());
        return ExitCode::Usage;
    }

    switch (options.command) {
    case LogOptions::Command::Help:
        std::fputs(LogCommandLine::helpText().toLocal8Bit().constData(), stdout);
        return ExitCode::Done;
    case LogOptions::Command::Convert:
        return convertTableFile(options.convertIn, options.convertOut);
    case LogOptions::Command::Recover:
        return recoverJournal(options.convertIn, options.convertOut);
    case LogOptions::Command::Record:
        break;
    }

    LogSession session(options);
    if (const int failed = session.start(); failed != ExitCode::Done)
        return failed;
    QObject::connect(&session, &LogSession::finished, app.get(),
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    return app->exec();
}
