#include "LogSession.h"

#include "ExitCodes.h"
#include "FrameJson.h"
#include "HidCableSource.h"
#include "HidReportFile.h"
#include "PortSource.h"
#include "links/bridge/BridgeLibrary.h"
#include "recording/TableFiles.h"
#include "support/LocaleTexts.h"
#include "support/SafeFileWriter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

void writeStderr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

LogSession::LogSession(const LogOptions &options)
    : m_options(options)
    , m_sequence(LocaleTexts::decimalSeparatorText(), LocaleTexts::timeSeparatorText())
{
    TableRecorder &recorder = m_sequence.recorder();
    recorder.setSwitches({options.samplingInterval, options.repeat, options.intervalText});
    m_sequence.counters().RecordLimit = options.limit;
    recorder.setJournal(&m_journal);
    m_journal.onFailed = [this](const QString &reason) {
        say(u"cannot keep the rows in the journal any more ("_qs + reason
            + u"); recording goes on, the rows are written at the end"_qs);
    };

    // The window's Trecord: one tick a second while Sampling Interval is on.
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, [this] { m_sequence.recorder().tick(); });
    recorder.setTick(&m_tick);

    m_statusOnTerminal = ::isatty(STDERR_FILENO) == 1;
    m_statusTimer.setInterval(250);
    connect(&m_statusTimer, &QTimer::timeout, this, &LogSession::showStatus);

    m_durationTimer.setSingleShot(true);
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { finish(ExitCode::Done); });

    connect(&m_signals, &StopSignals::stopRequested, this, &LogSession::onStopSignal);
}

LogSession::~LogSession() = default;

int LogSession::start()
{
    if (!m_signals.install())
        say(u"cannot watch for stop signals ("_qs + QString::fromLocal8Bit(std::strerror(errno))
            + u"): Ctrl-C will end the run without writing the rows"_qs);
    // Found out now rather than when the run ends.
    if (const QString refused = SafeFileWriter::refusedLink(m_options.outPath);
        !refused.isEmpty()) {
        say(u"cannot write "_qs + m_options.outPath + u": "_qs + refused);
        return ExitCode::OutputUnwritable;
    }
    if (!checkOutFolder())
        return ExitCode::OutputUnwritable;
    if (!openSource())
        return m_options.isLive() ? ExitCode::PortUnavailable : ExitCode::InputUnreadable;
    if (!openCapture()) {
        if (m_port)
            m_port->source().close();
        if (m_hid)
            m_hid->close();
        shutDownBridge();
        return ExitCode::OutputUnwritable;
    }

    // When nothing watches single frames (a plain replay), the feed makes no call per frame.
    if (m_options.json || m_statusOnTerminal || m_options.samplingInterval)
        m_feed.setListener(
            [this](const QString &frame, FrameFeed::Outcome outcome,
                   const ConversionError *failure) { onFrame(frame, outcome, failure); });
    if (m_options.samplingInterval)
        m_tick.start();
    if (m_statusOnTerminal)
        m_statusTimer.start();
    if (m_options.durationSeconds > 0)
        m_durationTimer.start(m_options.durationSeconds * 1000);
    if (m_bridge)
        QTimer::singleShot(0, this, &LogSession::onBridgeEvents);
    else if (!m_options.isLive())
        QTimer::singleShot(0, this, &LogSession::replayNext);
    return ExitCode::Done;
}

bool LogSession::checkOutFolder()
{
    if (m_options.outPath.isEmpty())
        return true;
    // Found out now rather than after hours of recording: the file can be written or replaced.
    const QString &out = m_options.outPath;
    const QFileInfo info(out);
    if (info.isDir()) {
        say(u"cannot write "_qs + out + u": it is a folder"_qs);
        return false;
    }
    if (info.exists() && !info.isFile()) {
        // A FIFO or a device is written in place; opening it now could wait for a reader.
        if (::access(QFile::encodeName(out).constData(), W_OK) != 0) {
            say(u"cannot write "_qs + out + u": "_qs
                + QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        return true;
    }
    // The save's own first step, then given up: a temporary file where the save puts it (beside
    // the file a link names), and an existing file that may be replaced.
    SafeFileWriter probe(out);
    if (!probe.open()) {
        say(u"cannot write "_qs + out + u": "_qs + probe.reason());
        return false;
    }
    probe.abandon(u"only a check"_qs);
    return true;
}

bool LogSession::openCapture()
{
    if (m_options.capturePath.isEmpty())
        return true;
    // The capture is written straight into its file, so the writers' link rule is checked here.
    if (const QString refused = SafeFileWriter::refusedLink(m_options.capturePath);
        !refused.isEmpty()) {
        say(u"cannot write the capture "_qs + m_options.capturePath + u": "_qs + refused);
        return false;
    }
    m_capture.setFileName(m_options.capturePath);
    if (!m_capture.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        say(u"cannot write the capture "_qs + m_options.capturePath + u": "_qs
            + m_capture.errorString());
        return false;
    }
    return true;
}

bool LogSession::openSource()
{
    QString error;
    if (m_options.source == LogOptions::Source::File
        || m_options.source == LogOptions::Source::HidFile) {
        const bool opened = m_options.source == LogOptions::Source::File
            ? m_replay.open(m_options.fromPath, &error)
            : m_hidReplay.open(m_options.fromPath, &error);
        if (!opened) {
            say(u"cannot read the capture "_qs + m_options.fromPath + u": "_qs + error);
            return false;
        }
        return true;
    }

    if (m_options.source == LogOptions::Source::Hid)
        return openHidCable();
    if (m_options.source == LogOptions::Source::Bridge)
        return openBridge();

    m_port = m_options.source == LogOptions::Source::Com
        ? PortSource::forComNumber(m_options.comNumber)
        : PortSource::forPath(m_options.portPath);
    SerialSource &source = m_port->source();
    source.setReconnectSeconds(m_options.reconnectSeconds);
    source.setOnChunk([this](QByteArrayView bytes) { onBytes(bytes); });
    connect(&source, &MeterSource::lost, this, [this](const QString &reason) {
        // What the device left half-sent cannot belong to what it sends when it is back.
        m_feed.clearPartial();
        say(m_port->deviceName() + u" went away ("_qs + reason + u")"_qs
            + (m_options.reconnectSeconds > 0
                   ? QString(u"; waiting up to "_qs + QString::number(m_options.reconnectSeconds)
                             + u" s for it to come back"_qs)
                   : QString()));
    });
    connect(&source, &MeterSource::back, this,
            [this] { say(m_port->deviceName() + u" is back"_qs); });
    connect(&source, &MeterSource::gone, this, [this] {
        if (m_options.reconnectSeconds > 0)
            say(m_port->deviceName() + u" did not come back; ending the run"_qs);
        finish(ExitCode::Done);
    });
    if (!m_port->open(&error)) {
        say(error);
        return false;
    }
    return true;
}

void LogSession::onBytes(QByteArrayView bytes)
{
    writeCapture(bytes);
    m_feed.feed(bytes);
}

void LogSession::onHidReport(quint8 reportId, QByteArrayView data)
{
    if (m_capture.isOpen()) {
        QByteArray line;
        HidReportFile::appendLine(line, reportId, data);
        writeCapture(line);
    }
    m_feed.feedHidReport(data);
}

void LogSession::writeCapture(QByteArrayView bytes)
{
    if (!m_capture.isOpen())
        return;
    // Written through at once: a capture is wanted most after a crash.
    if (m_capture.write(bytes.data(), bytes.size()) != bytes.size() || !m_capture.flush()) {
        say(u"cannot write the capture "_qs + m_options.capturePath + u": "_qs
            + m_capture.errorString());
        m_capture.close();
        QTimer::singleShot(0, this, [this] { finish(ExitCode::OutputUnwritable); });
    }
}

bool LogSession::openHidCable()
{
    m_hid = std::make_unique<HidCableSource>(m_options.hidPath);
    m_hid->setReconnectSeconds(m_options.reconnectSeconds);
    m_hid->setOnReport(
        [this](quint8 reportId, QByteArrayView data) { onHidReport(reportId, data); });
    connect(m_hid.get(), &HidCableSource::lost, this, [this] {
        m_feed.clearPartial();
        say(m_hid->deviceName() + u" went away"_qs
            + (m_options.reconnectSeconds > 0
                   ? QString(u"; waiting up to "_qs + QString::number(m_options.reconnectSeconds)
                             + u" s for it to come back"_qs)
                   : QString()));
    });
    connect(m_hid.get(), &HidCableSource::back, this,
            [this] { say(m_hid->deviceName() + u" is back"_qs); });
    connect(m_hid.get(), &HidCableSource::gone, this, [this] {
        if (m_options.reconnectSeconds > 0)
            say(m_hid->deviceName() + u" did not come back; ending the run"_qs);
        finish(ExitCode::Done);
    });
    QString error;
    if (!m_hid->open(&error)) {
        say(error);
        return false;
    }
    return true;
}

bool LogSession::openBridge()
{
    m_bridgeLibrary = std::make_unique<BridgeLibrary>();
    if (m_bridgeLibrary->load() != BridgeLibrary::Status::Loaded) {
        say(m_bridgeLibrary->message());
        return false;
    }
    m_bridge = std::make_unique<BridgePoll>(m_bridgeLibrary->functions());
    // On the poll's thread: only a note to take the events here.
    m_bridge->setWake([this] {
        QMetaObject::invokeMethod(this, &LogSession::onBridgeEvents, Qt::QueuedConnection);
    });
    m_bridge->start();

    // The open sequence's outcome comes first; reading may have begun behind it.
    constexpr int OpenWaitMs = 10000;
    std::optional<BridgePoll::OpenResult> open;
    const QDeadlineTimer deadline(OpenWaitMs);
    while (!open && m_bridge->waitForEvents(int(deadline.remainingTime()))) {
        for (BridgePoll::Event &event : m_bridge->takeEvents()) {
            if (!open && event.kind == BridgePoll::Event::Kind::Open)
                open = event.open;
            else
                m_bridgeEvents.push_back(std::move(event));
        }
    }
    if (!open || !open->opened()) {
        say(open ? open->message()
                 : u"The USB bridge cable did not answer within %1 s."_qs.arg(OpenWaitMs / 1000));
        shutDownBridge();
        return false;
    }
    return true;
}

void LogSession::onBridgeEvents()
{
    if (!m_finished)
        takeBridgeEvents();
}

void LogSession::takeBridgeEvents()
{
    if (!m_bridge)
        return;
    std::vector<BridgePoll::Event> events;
    events.swap(m_bridgeEvents);
    for (BridgePoll::Event &event : m_bridge->takeEvents())
        events.push_back(std::move(event));
    for (const BridgePoll::Event &event : events) {
        switch (event.kind) {
        case BridgePoll::Event::Kind::Open:
            break; // the run opens the bridge once
        case BridgePoll::Event::Kind::Frame:
            m_feed.takeBridgeFrame(event.frame, event.accepted);
            break;
        case BridgePoll::Event::Kind::Failing: {
            constexpr int seconds = BridgePoll::Timings().failingAfterMs / 1000;
            say(u"the bridge cable has given no byte for %1 s"_qs.arg(seconds));
            break;
        }
        case BridgePoll::Event::Kind::Back:
            say(u"the bridge cable delivers bytes again"_qs);
            break;
        }
    }
}

void LogSession::shutDownBridge()
{
    if (!m_bridge)
        return;
    if (!m_bridge->shutDown(BridgePoll::ShutDownWaitMs))
        say(u"the bridge library did not return from a call within %1 s; it is left to "
            "finish on its own"_qs.arg(BridgePoll::ShutDownWaitMs / 1000));
}

void LogSession::onFrame(const QString &frame, FrameFeed::Outcome outcome,
                         const ConversionError *failure)
{
    const TimeOfDay &clock = m_feed.clock();
    if (m_options.json && !m_stdoutBroken) {
        switch (outcome) {
        case FrameFeed::Outcome::Dropped:
            writeJson(FrameJson::dropped(clock, frame));
            break;
        case FrameFeed::Outcome::Decoded:
            writeJson(FrameJson::reading(clock, frame, m_sequence));
            break;
        case FrameFeed::Outcome::Failed:
            writeJson(FrameJson::failure(clock, frame, *failure, m_sequence));
            break;
        }
    }
    if (outcome == FrameFeed::Outcome::Decoded && m_statusOnTerminal) {
        const Reading &r = m_sequence.reading();
        m_lastReading = r.valueText + u' ' + r.unitText + u' ' + r.functionText;
    }
    const RecordCounters &c = m_sequence.counters();
    if (!m_limitNoted && c.RecordedCount >= c.RecordLimit) {
        m_limitNoted = true;
        say(u"the limit of "_qs + QString::number(c.RecordLimit)
            + u" rows is reached; further readings are not recorded"_qs);
    }
}

void LogSession::writeJson(const QByteArray &line)
{
    errno = 0;
    if (std::fwrite(line.constData(), 1, size_t(line.size()), stdout) == size_t(line.size())
        && std::fflush(stdout) == 0)
        return;
    const int error = errno;
    m_stdoutBroken = true;
    if (error == EPIPE) {
        // Nobody reads the lines any more (a closed pipe): the run has lost its audience.
        QTimer::singleShot(0, this, [this] { finish(ExitCode::Done); });
        return;
    }
    // A full disk or a failing device: the lines are lost, the readings need not be. The run
    // goes on recording and its end reports the failure.
    m_jsonFailed = true;
    say(u"cannot write the --json lines to standard output ("_qs
        + (error ? QString::fromLocal8Bit(std::strerror(error)) : u"write error"_qs)
        + u"); recording goes on without them"_qs);
}

void LogSession::replayNext()
{
    if (m_finished)
        return;
    const bool hid = m_options.source == LogOptions::Source::HidFile;
    if (hid ? m_hidReplay.feedNextBlock(m_feed) : m_replay.feedNextBlock(m_feed)) {
        // One block per turn of the event loop, so signals and ticks are seen meanwhile.
        QTimer::singleShot(0, this, &LogSession::replayNext);
        return;
    }
    const QString &error = hid ? m_hidReplay.error() : m_replay.error();
    if (!error.isEmpty()) {
        say(u"cannot read the capture "_qs + m_options.fromPath + u": "_qs + error);
        finish(ExitCode::InputUnreadable);
        return;
    }
    finish(ExitCode::Done);
}

void LogSession::onStopSignal(int signal)
{
    if (m_statusOnTerminal)
        say(u"stopping on signal "_qs + QString::number(signal)
            + u"; a second one ends at once without writing the rows"_qs);
    finish(ExitCode::Done);
}

void LogSession::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    m_tick.stop();
    m_statusTimer.stop();
    m_durationTimer.stop();
    if (m_port)
        m_port->source().close();
    if (m_hid)
        m_hid->close();
    if (m_bridge) {
        shutDownBridge();
        // What the bridge completed before it closed belongs to the run.
        takeBridgeEvents();
    }
    if (m_capture.isOpen()) {
        if (!m_capture.flush()) {
            say(u"cannot write the capture "_qs + m_options.capturePath + u": "_qs
                + m_capture.errorString());
            exitCode = ExitCode::OutputUnwritable;
        }
        m_capture.close();
    }
    if (m_jsonFailed && exitCode == ExitCode::Done)
        exitCode = ExitCode::OutputUnwritable;
    clearStatus();
    exitCode = writeRows(exitCode);
    Q_EMIT finished(exitCode);
}

int LogSession::writeRows(int exitCode)
{
    const qsizetype rows = m_sequence.table().rowCount();
    QString summary = QString::number(m_feed.frames()) + u" frames: "_qs + QString::number(rows)
        + u" rows recorded, "_qs + QString::number(m_feed.dropped()) + u" dropped, "_qs
        + QString::number(m_feed.failed()) + u" failed"_qs;
    const RecordCounters &c = m_sequence.counters();
    if (c.RecordedCount >= c.RecordLimit)
        summary += u" (the limit of "_qs + QString::number(c.RecordLimit) + u" rows)"_qs;
    if (m_options.outPath.isEmpty()) {
        say(summary);
        // Nothing was asked to be written: a run that ended as it should needs its rows no more.
        if (exitCode == ExitCode::Done)
            m_journal.discard();
        else if (m_journal.isOpen())
            say(u"the rows are kept in "_qs + m_journal.path() + u" (meterlog --recover "_qs
                + m_journal.path() + u" OUT writes them to a file)"_qs);
        return exitCode;
    }
    QString error;
    if (!TableFiles::save(m_sequence.table(), m_options.outPath, &error)) {
        say(summary);
        // The writers name the file in their reasons already.
        say(u"could not write the "_qs + QString::number(rows) + u" rows: "_qs
            + (error.contains(m_options.outPath) ? error
                                                 : QString(m_options.outPath + u": "_qs + error)));
        const QString fallback = writeFallback();
        if (!fallback.isEmpty()) {
            say(u"the rows are written to "_qs + fallback + u" instead"_qs);
            m_journal.discard();
        } else if (m_journal.isOpen()) {
            say(u"the rows are kept in "_qs + m_journal.path() + u" (meterlog --recover "_qs
                + m_journal.path() + u" OUT writes them to a file)"_qs);
        }
        return ExitCode::OutputUnwritable;
    }
    m_journal.discard();
    say(summary + u"; written to "_qs + m_options.outPath);
    return exitCode;
}

QString LogSession::writeFallback()
{
    QString error;
    const QString path = m_journal.fallbackPath(QFileInfo(m_options.outPath).fileName(), &error);
    if (path.isEmpty() || !TableFiles::save(m_sequence.table(), path, &error)) {
        say(u"could not write the rows beside the journal either: "_qs + error);
        return {};
    }
    return path;
}

void LogSession::showStatus()
{
    const QString text = u"\r"_qs + QString::number(m_sequence.table().rowCount())
        + u" rows | last: "_qs + (m_lastReading.isEmpty() ? u"-"_qs : m_lastReading)
        + u" | dropped "_qs + QString::number(m_feed.dropped()) + u" | failed "_qs
        + QString::number(m_feed.failed()) + u"\x1b[K"_qs;
    writeStderr(text);
    m_statusShown = true;
}

void LogSession::clearStatus()
{
    if (!m_statusShown)
        return;
    writeStderr(u"\r\x1b[K"_qs);
    m_statusShown = false;
}

void LogSession::say(const QString &message)
{
    clearStatus();
    writeStderr(u"meterlog: "_qs + message + u'\n');
}
