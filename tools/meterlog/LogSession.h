#pragma once

#include "FrameFeed.h"
#include "LogOptions.h"
#include "ReplayFile.h"
#include "StopSignals.h"
#include "links/bridge/BridgePoll.h"
#include "recording/HeadlessSequence.h"
#include "recording/RecordJournal.h"

#include <QFile>
#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

class BridgeLibrary;
class HidCableSource;
class PortSource;

// One recording run: the source (a port, a cable or a replayed capture), the headless sequence, the
// sampling tick, the --json lines, the status line, and the rows written when the run ends.
class LogSession : public QObject
{
    Q_OBJECT
public:
    explicit LogSession(const LogOptions &options);
    ~LogSession() override;

    // Opens the outputs and the source and starts the run. Returns 0 when the run is under
    // way; otherwise the exit code, after saying what went wrong.
    int start();

Q_SIGNALS:
    // The run is over and its rows are written (or could not be).
    void finished(int exitCode);

private:
    bool checkOutFolder();
    bool openCapture();
    bool openSource();
    void onBytes(QByteArrayView bytes);
    void onFrame(const QString &frame, FrameFeed::Outcome outcome, const ConversionError *failure);
    void writeJson(const QByteArray &line);
    void replayNext();
    void onStopSignal(int signal);
    void finish(int exitCode);
    int writeRows(int exitCode);
    // Where the rows go when --out cannot take them: beside the journal. Empty when that fails
    // too.
    QString writeFallback();
    void showStatus();
    void clearStatus();
    // A message on standard error, clear of the status line.
    void say(const QString &message);

    LogOptions m_options;
    HeadlessSequence m_sequence;
    RecordJournal m_journal {u"meterlog"_qs};
    FrameFeed m_feed {m_sequence};
    StopSignals m_signals;
    std::unique_ptr<PortSource> m_port;
    std::unique_ptr<HidCableSource> m_hid;
    // The library outlives the poll that calls it.
    std::unique_ptr<BridgeLibrary> m_bridgeLibrary;
    std::unique_ptr<BridgePoll> m_bridge;
    // Taken with the open's outcome, before the run was under way.
    std::vector<BridgePoll::Event> m_bridgeEvents;
    bool openHidCable();
    void onHidReport(quint8 reportId, QByteArrayView data);
    void writeCapture(QByteArrayView bytes);
    bool openBridge();
    // The bridge poll's events: frames to the feed, and a word when its reads fail or recover.
    void onBridgeEvents();
    void takeBridgeEvents();
    // Stops the reads and closes the bridge when an open was tried.
    void shutDownBridge();
    ReplayFile m_replay;
    HidReplayFile m_hidReplay;
    QFile m_capture;
    QTimer m_tick;
    QTimer m_statusTimer;
    QTimer m_durationTimer;
    bool m_statusOnTerminal = false;
    bool m_statusShown = false;
    bool m_stdoutBroken = false;
    bool m_jsonFailed = false; // standard output failed for another reason than a closed pipe
    bool m_limitNoted = false;
    bool m_finished = false;
    QString m_lastReading;
};
