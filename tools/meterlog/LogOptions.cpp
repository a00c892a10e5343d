#include "LogOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <optional>
#include <sys/stat.h>

namespace {

// Digits only: no sign, no blanks, nothing a typo could slip through.
std::optional<qint64> wholeNumber(const QString &text, qint64 low, qint64 high)
{
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// A path with its links and dots resolved; for a name not taken yet, its folder's.
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    if (const QString canonical = info.canonicalFilePath(); !canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
}

// Two names of one file: the same path once resolved, or the same file behind them (a hard
// link, a link the resolving could not see through).
bool sameFile(const QString &a, const QString &b)
{
    struct stat sa
    {
    };
    struct stat sb
    {
    };
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0
        && ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino)
        return true;
    return resolvedPath(a) == resolvedPath(b);
}

struct NamedFile
{
    QString option;
    QString path;
};

// An output written over a file the run reads, or over the other output, would destroy it.
bool distinctFiles(const QList<NamedFile> &files, QString *error)
{
    for (qsizetype i = 0; i < files.size(); ++i) {
        for (qsizetype j = i + 1; j < files.size(); ++j) {
            const NamedFile &a = files[i];
            const NamedFile &b = files[j];
            if (a.path.isEmpty() || b.path.isEmpty() || !sameFile(a.path, b.path))
                continue;
            return fail(error,
                        a.option + u" and "_qs + b.option + u" name the same file ("_qs + b.path
                            + u"); writing "_qs + b.option + u" would destroy it"_qs);
        }
    }
    return true;
}

const QStringList recordOptionNames {
    u"com"_qs,        u"port"_qs,    u"from"_qs,     u"from-hid"_qs,  u"hid"_qs,
    u"hid-device"_qs, u"capture"_qs, u"out"_qs,      u"limit"_qs,     u"no-repeat"_qs,
    u"interval"_qs,   u"json"_qs,    u"duration"_qs, u"reconnect"_qs, u"bridge"_qs};

void defineOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QString n = u"N"_qs;
    const QString path = u"PATH"_qs;
    const QString file = u"FILE"_qs;
    const QString seconds = u"S"_qs;
    parser.addOptions({
        {{u"h"_qs, u"help"_qs}, QString()},
        {u"com"_qs, QString(), n},
        {u"port"_qs, QString(), path},
        {u"from"_qs, QString(), file},
        {u"from-hid"_qs, QString(), file},
        {u"hid"_qs, QString()},
        {u"bridge"_qs, QString()},
        // "--hid PATH" arrives here: the parser knows no option with an optional value.
        {u"hid-device"_qs, QString(), path},
        {u"capture"_qs, QString(), file},
        {u"out"_qs, QString(), file},
        {u"limit"_qs, QString(), n},
        {u"no-repeat"_qs, QString()},
        {u"interval"_qs, QString(), seconds},
        {u"json"_qs, QString()},
        {u"duration"_qs, QString(), seconds},
        {u"reconnect"_qs, QString(), seconds},
        {u"recover"_qs, QString(), file},
    });
    parser.addPositionalArgument(u"command"_qs, QString());
}

bool parseConvert(const QCommandLineParser &parser, LogOptions &o, QString *error)
{
    const QStringList positional = parser.positionalArguments();
    for (const QString &name : recordOptionNames + QStringList {u"recover"_qs}) {
        if (parser.isSet(name))
            return fail(error, u"convert takes no options (--"_qs + name + u" given)"_qs);
    }
    if (positional.size() != 3)
        return fail(error,
                    u"convert wants an input and an output file: meterlog convert IN OUT"_qs);
    o.command = LogOptions::Command::Convert;
    o.convertIn = positional[1];
    o.convertOut = positional[2];
    if (o.convertIn.isEmpty() || o.convertOut.isEmpty())
        return fail(error, u"convert wants non-empty file names"_qs);
    return distinctFiles({{u"convert's IN"_qs, o.convertIn}, {u"OUT"_qs, o.convertOut}}, error);
}

bool parseRecover(const QCommandLineParser &parser, LogOptions &o, QString *error)
{
    for (const QString &name : recordOptionNames) {
        if (parser.isSet(name))
            return fail(error, u"--recover takes no other options (--"_qs + name + u" given)"_qs);
    }
    const QStringList positional = parser.positionalArguments();
    if (parser.values(u"recover"_qs).size() != 1 || positional.size() != 1)
        return fail(error,
                    u"--recover wants a journal and an output file: meterlog --recover JOURNAL "
                    "OUT"_qs);
    o.command = LogOptions::Command::Recover;
    o.convertIn = parser.value(u"recover"_qs);
    o.convertOut = positional.front();
    if (o.convertIn.isEmpty() || o.convertOut.isEmpty())
        return fail(error, u"--recover wants non-empty file names"_qs);
    return true;
}

bool parseSource(const QCommandLineParser &parser, LogOptions &o, QString *error)
{
    const int sources = int(parser.isSet(u"com"_qs)) + int(parser.isSet(u"port"_qs))
        + int(parser.isSet(u"from"_qs)) + int(parser.isSet(u"from-hid"_qs))
        + int(parser.isSet(u"hid"_qs) || parser.isSet(u"hid-device"_qs))
        + int(parser.isSet(u"bridge"_qs));
    if (sources != 1)
        return fail(error,
                    sources == 0
                        ? u"no source: give one of --com N, --port PATH, --hid [PATH], --bridge, "
                          "--from FILE or --from-hid FILE"_qs
                        : u"give only one of --com, --port, --hid, --bridge, --from and "
                          "--from-hid"_qs);
    for (const QString &name : {u"com"_qs, u"port"_qs, u"from"_qs, u"from-hid"_qs}) {
        if (parser.values(name).size() > 1)
            return fail(error, u"--"_qs + name + u" given more than once"_qs);
    }
    if (parser.isSet(u"com"_qs)) {
        const std::optional<qint64> n = wholeNumber(parser.value(u"com"_qs), 1, 4);
        if (!n)
            return fail(error,
                        u"--com wants the window's port number, 1 to 4; got \""_qs
                            + parser.value(u"com"_qs) + u'"');
        o.source = LogOptions::Source::Com;
        o.comNumber = int(*n);
    } else if (parser.isSet(u"bridge"_qs)) {
        o.source = LogOptions::Source::Bridge;
        // The bridge poll hands over completed frames, not the bytes read, and opens the
        // cable once for the run.
        if (parser.isSet(u"capture"_qs))
            return fail(error,
                        u"--capture records the bytes of a port or the HID cable's reports; "
                        "--bridge reads through the bridge library and has none to record"_qs);
        if (parser.isSet(u"reconnect"_qs))
            return fail(error,
                        u"--reconnect is for a port or HID cable that goes away; --bridge "
                        "opens the bridge cable once and keeps reading it"_qs);
    } else if (parser.isSet(u"hid"_qs) || parser.isSet(u"hid-device"_qs)) {
        o.source = LogOptions::Source::Hid;
        o.hidPath = parser.value(u"hid-device"_qs);
    } else if (parser.isSet(u"port"_qs)) {
        o.source = LogOptions::Source::Port;
        o.portPath = parser.value(u"port"_qs);
        if (o.portPath.isEmpty())
            return fail(error, u"--port wants a device path"_qs);
    } else {
        const bool hid = parser.isSet(u"from-hid"_qs);
        const QString option = hid ? u"--from-hid"_qs : u"--from"_qs;
        o.source = hid ? LogOptions::Source::HidFile : LogOptions::Source::File;
        o.fromPath = parser.value(option.mid(2));
        if (o.fromPath.isEmpty())
            return fail(error, option + u" wants a capture file"_qs);
        // The file replayed is the capture already.
        if (parser.isSet(u"capture"_qs))
            return fail(error,
                        u"--capture records a live port; with "_qs + option + u" there is none"_qs);
        if (parser.isSet(u"reconnect"_qs))
            return fail(
                error, u"--reconnect is for a live port; with "_qs + option + u" there is none"_qs);
    }
    return true;
}

bool parseRecording(const QCommandLineParser &parser, LogOptions &o, QString *error)
{
    if (parser.isSet(u"limit"_qs)) {
        const QString text = parser.value(u"limit"_qs);
        const std::optional<qint64> n = text == u"limitless"
            ? std::optional<qint64>(LogCommandLine::Limitless)
            : wholeNumber(text, 1, 2147483647);
        if (!n)
            return fail(error,
                        u"--limit wants a number of rows from 1 up, or \"limitless\"; got \""_qs
                            + text + u'"');
        o.limit = qint32(*n);
    }
    o.repeat = !parser.isSet(u"no-repeat"_qs);
    if (parser.isSet(u"interval"_qs)) {
        const QString text = parser.value(u"interval"_qs);
        if (!wholeNumber(text, 0, 2147483647))
            return fail(error,
                        u"--interval wants whole seconds (0-9 only); got \""_qs + text + u'"');
        o.samplingInterval = true;
        o.intervalText = text;
    }
    if (parser.isSet(u"duration"_qs)) {
        // A timer counts in milliseconds of an int.
        const std::optional<qint64> s = wholeNumber(parser.value(u"duration"_qs), 1, 2'000'000);
        if (!s)
            return fail(error, u"--duration wants whole seconds from 1 to 2000000"_qs);
        o.durationSeconds = int(*s);
    }
    if (parser.isSet(u"reconnect"_qs)) {
        const std::optional<qint64> s = wholeNumber(parser.value(u"reconnect"_qs), 0, 2'000'000);
        if (!s)
            return fail(error, u"--reconnect wants whole seconds from 0 to 2000000"_qs);
        o.reconnectSeconds = int(*s);
    }
    o.capturePath = parser.value(u"capture"_qs);
    o.outPath = parser.value(u"out"_qs);
    o.json = parser.isSet(u"json"_qs);
    if (parser.isSet(u"out"_qs) && o.outPath.isEmpty())
        return fail(error, u"--out wants a file name"_qs);
    if (parser.isSet(u"capture"_qs) && o.capturePath.isEmpty())
        return fail(error, u"--capture wants a file name"_qs);
    // Inputs first: the message names the output that would destroy the other file.
    const bool hidFile = o.source == LogOptions::Source::HidFile;
    return distinctFiles({{hidFile ? u"--from-hid"_qs : u"--from"_qs, o.fromPath},
                          {u"--port"_qs, o.portPath},
                          {u"--hid"_qs, o.hidPath},
                          {u"--capture"_qs, o.capturePath},
                          {u"--out"_qs, o.outPath}},
                         error);
}

} // namespace

namespace LogCommandLine {

bool parse(const QStringList &arguments, LogOptions &options, QString *error)
{
    QCommandLineParser parser;
    defineOptions(parser);
    // "--hid" takes a device path when one follows it.
    QStringList words = arguments;
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if ((words[i] == u"--hid" || words[i] == u"-hid") && !words[i + 1].startsWith(u'-')
            && words[i + 1] != u"convert") {
            words[i] = u"--hid-device"_qs;
            ++i;
        }
    }
    if (!parser.parse(QStringList {u"meterlog"_qs} + words))
        return fail(error, parser.errorText());
    if (parser.isSet(u"help"_qs)) {
        options.command = LogOptions::Command::Help;
        return true;
    }
    if (parser.isSet(u"recover"_qs))
        return parseRecover(parser, options, error);
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty()) {
        if (positional.front() != u"convert")
            return fail(error,
                        u"unknown command \""_qs + positional.front()
                            + u"\" (the only command is convert)"_qs);
        return parseConvert(parser, options, error);
    }
    return parseSource(parser, options, error) && parseRecording(parser, options, error);
}

bool wantsReport(const QStringList &arguments)
{
    QStringList positional;
    for (const QString &a : arguments) {
        if (!a.startsWith(u'-'))
            positional.append(a);
    }
    return positional.size() == 3 && positional[0] == u"convert"
        && positional[2].endsWith(u".pdf"_qs, Qt::CaseInsensitive);
}

QString helpText()
{
    return uR"(Usage: meterlog (--com N | --port PATH | --hid [PATH] | --bridge | --from FILE |
                 --from-hid FILE) [options]
       meterlog convert IN OUT
       meterlog --recover JOURNAL OUT

Records the multimeter's readings without a window. Frames are assembled, decoded and
recorded exactly as MeterLink's window does it, and the rows are written in its file formats.

Sources (exactly one):
  --com N          The window's COM N (1 to 4): the N-th serial port present, USB adapters
                   first; METERLINK_COMn=PATH in the environment names the device instead.
  --port PATH      A serial device or pseudo-terminal, read at 9600 bit/s, 7 data bits, no
                   parity, 1 stop bit, DTR on.
  --hid [PATH]     The HID cable "USB to Serial" as the window selects it, or the hidraw
                   device at PATH; its speed is set to 9600 bit/s and its reports are read.
  --bridge         The USB bridge cable, through its maker's library SiUSBXp (libSiUSBXp.so
                   from the system's library path; METERLINK_SIUSBXP=PATH in the environment
                   names the library file instead). The one bridge plugged in is opened at
                   9600 bit/s and read a byte at a time.
  --from FILE      A raw capture of what a meter sent, replayed as fast as it can be read.
  --from-hid FILE  The HID cable's input reports as text, one a line: the report identifier
                   and the data bytes as two hexadecimal digits each, separated by blanks
                   ("00 F3 41 42 43"); blank lines and lines starting with "#" are skipped.
                   Replayed as --from is.

Recording (as the window's Record menu and boxes):
  --out FILE       Write every recorded row to FILE when the run ends: a name ending in
                   ".xml" gets the XML data packet, ".csv" CSV for spreadsheets (UTF-8),
                   any other name the tab-separated text.
  --limit N        Record at most N rows (default 10000; "limitless" is 10000000).
  --no-repeat      Skip a reading equal to the last recorded one (Repeat unchecked).
  --interval S     Sampling Interval: after a row, take none until S one-second ticks of
                   the wall clock have passed (also while replaying --from).
  --json           Print one JSON object per frame on standard output, as it happens;
                   "time" is the time of day (hh:mm:ss), "timestamp" the local date and
                   time with milliseconds and the offset from UTC, taken when the frame
                   was complete ("2026-12-10T09:05:04.123+01:00"; "+00:00" for UTC).
  --capture FILE   Also write every byte received from the port to FILE (for bug reports;
                   not with --bridge).
  --duration S     End the run after S seconds.
  --reconnect S    When the device goes away, wait up to S seconds for it to come back
                   (default 30; 0 ends the run at once; not with --bridge).
  -h, --help       Show this text.

Conversion:
  meterlog convert IN OUT
                   Load IN as the window's Open does (".xml": XML packet, otherwise text) and
                   write OUT: ".pdf" (any case) the printed report, ".xml" the XML packet,
                   ".csv" CSV, anything else the text form. CSV is written, not read. An
                   empty table has no report: nothing is written and the exit code is 4.

Recovery:
  meterlog --recover JOURNAL OUT
                   While rows are recorded and not yet written, meterlog and the window keep
                   them in a journal in $XDG_STATE_HOME/meterlink (~/.local/state/meterlink),
                   so a crash, kill or power cut loses at most the last few seconds. This
                   writes a journal's rows to OUT (".xml" the XML packet, ".csv" CSV,
                   anything else the text form). A run that ends as it should removes its
                   journal; when --out cannot be written at the end, the rows go to a file
                   beside the journal.

The run ends at the end of a --from capture, after --duration, when the device goes away
and does not come back, or on SIGINT (Ctrl-C), SIGTERM or SIGHUP; the rows are written
then. A second signal ends the run at once without writing them.

Exit codes:
  0    done: the rows are written
  2    usage error; also an output naming the file of an input or of the other output
  3    the port, cable or bridge could not be opened
  4    the input could not be read (--from or --from-hid capture, convert's IN, the
       journal of --recover), or convert's IN holds no rows for a report
  5    the output could not be written (--out, --capture, convert's OUT, --recover's OUT,
       or standard output with --json, other than a closed pipe)
  128+signal (130, 143, 129)   ended at once by a second signal
)"_qs;
}

} // namespace LogCommandLine
