#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What a meterlog command line asks for.
struct LogOptions
{
    enum class Command { Record, Convert, Recover, Help };
    enum class Source { Com, Port, File, HidFile, Hid, Bridge };

    Command command = Command::Record;

    Source source = Source::File;
    // A device read live (a port, the HID cable or the bridge cable) rather than a replay.
    bool isLive() const { return source != Source::File && source != Source::HidFile; }
    int comNumber = 0; // 1..4 with Source::Com
    QString portPath; // Source::Port
    QString hidPath; // Source::Hid: the device's path, or empty for the cable by its name
    QString fromPath; // Source::File and Source::HidFile
    QString capturePath;
    QString outPath;
    bool json = false;

    // The window's Record menu and boxes.
    qint32 limit = 10000;
    bool repeat = true;
    bool samplingInterval = false;
    QString intervalText = u"1"_qs; // the interval edit's text: whole seconds

    int durationSeconds = 0; // 0: no time limit
    int reconnectSeconds = 30; // how long a vanished device may take to come back

    // convert IN OUT, and --recover JOURNAL OUT
    QString convertIn;
    QString convertOut;
};

namespace LogCommandLine {

// The record limit the window calls "limitless": a large bound, not an unbounded table.
constexpr qint32 Limitless = 10000000;

// Parses the arguments after the program name. False with a message for a usage error.
bool parse(const QStringList &arguments, LogOptions &options, QString *error);

// True when the arguments ask to convert into a PDF report, which needs a GUI application
// object; checked before any application object exists.
bool wantsReport(const QStringList &arguments);

QString helpText();

} // namespace LogCommandLine
