#pragma once

#include "links/CableLink.h"
#include "links/bridge/BridgeLibrary.h"
#include "links/bridge/BridgePoll.h"

#include <memory>

class FrameSink;
class LinkWatchdog;
class Prompts;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QWidget;

// The USB bridge cable, driven through its maker's library. The library is loaded when the
// link first starts; the open sequence and the byte poll run on the poll's worker thread, and
// `Timer1` takes what it found to the window: each completed frame to the frame sink, and an
// open that failed to an information box with the button up again.
class BridgeLink : public CableLink
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        QPushButton *USB = nullptr;
        QPlainTextEdit *Memo3 = nullptr;
        QComboBox *cmbDevice = nullptr;
        QTimer *Timer1 = nullptr; // takes the poll's results
    };

    BridgeLink(const Controls &controls, FrameSink &sink, Prompts &prompts, LinkWatchdog &watchdog,
               LinkSet &links);
    ~BridgeLink() override;

    // Starts or stops by the state "USB Connect " is in now.
    void USBClick();
    // The open sequence, on the worker; its outcome arrives with Timer1Timer.
    void usb_dllClick();
    void Timer1Timer();
    void updatedeviceClick();

    bool isRunning() const override { return m_running; }
    void stop() override;
    // At exit: the stop text, the poll stopped, the bridge closed when one was opened, and the
    // worker ended.
    void takeDown() override;

    // The stop text, "test finished".
    static QString stopText();
    // What a start found, for the information box (empty while it opened or has not answered).
    QString lastRefusal() const { return m_lastRefusal; }

private:
    bool ensurePoll();
    void stopSteps();
    void refuse(const QString &message);
    void take(const BridgePoll::Event &event);

    Controls m_controls;
    FrameSink &m_sink;
    Prompts &m_prompts;
    LinkWatchdog &m_watchdog;
    LinkSet &m_links;
    BridgeLibrary m_library;
    std::unique_ptr<BridgePoll> m_poll;
    quint32 m_session = 0; // the start whose results are taken
    bool m_running = false;
    bool m_taking = false; // Timer1Timer is taking results (a box it shows runs the timer on)
    QString m_lastRefusal;
};
