#pragma once

#include "links/bridge/BridgeAssembler.h"
#include "links/bridge/SiUsbXpApi.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

struct SiUsbXpFunctions;

struct BridgePollTimings
{
    // Reads that fail for this long in a row are reported once as Failing.
    int failingAfterMs = 3000;
    // The pause after a failed read, the poll period a timer would have had.
    int retryPauseMs = 10;
};

// The bridge cable's poll on a worker thread of its own, so that a read that waits for the
// library's time-out never holds up the caller. Every library call is made on that one thread,
// in the order asked for: open (`usb_dllClick`'s sequence), then one byte per read through a
// BridgeAssembler with `SI_FlushBuffers(handle, 1, 1)` whenever a step asks for it, and the
// close. What the worker finds (the open's outcome, each completed frame, a stretch of failing
// reads) waits in a queue the owner empties with takeEvents().
//
// The assembler, `XpressByte`, `XpressHandle` and `XpressOpenTried` live as long as this object:
// stopping and starting again continue with the same buffer and position.
class BridgePoll
{
public:
    // What the open sequence found.
    struct OpenResult
    {
        enum class Outcome : quint8 {
            Opened, // one bridge, opened at 9600 bit/s; reading
            NoBridge, // the count was 0 (or could not be had)
            SeveralBridges, // the count was more than 1
            OpenFailed, // SI_Open returned `status`
            BaudRateFailed, // SI_SetBaudRate returned `status`
        };
        Outcome outcome = Outcome::NoBridge;
        quint32 count = 0; // the bridges SI_GetNumDevices reported
        SiStatus status = 0; // of the call that failed (SI_GetNumDevices for NoBridge)

        bool opened() const { return outcome == Outcome::Opened; }
        // For the user: which of the failures it was, with the status where there is one.
        QString message() const;
    };

    struct Event
    {
        enum class Kind : quint8 {
            Open, // `open` holds the open sequence's outcome
            Frame, // `frame` completed; `accepted` when it is to be decoded
            Failing, // every read has failed for Timings::failingAfterMs
            Back, // a read succeeded again after Failing
        };
        Kind kind = Kind::Open;
        quint32 session = 0; // the start() it belongs to
        OpenResult open;
        QString frame;
        bool accepted = false;
    };

    using Timings = BridgePollTimings;
    // How long destruction waits for a read in progress (the library's time-out is 500 ms).
    static constexpr int ShutDownWaitMs = 2000;
    // Completed frames held for the owner beyond which new ones are dropped (a stalled owner).
    static constexpr int MaxQueuedEvents = 100000;

    // The functions must stay callable while the worker may run (BridgeLibrary never unloads).
    explicit BridgePoll(const SiUsbXpFunctions &functions, Timings timings = {});
    // shutDown(ShutDownWaitMs).
    ~BridgePoll();
    BridgePoll(const BridgePoll &) = delete;
    BridgePoll &operator=(const BridgePoll &) = delete;

    // Called on the worker thread, under the queue's lock, whenever an event is queued while the
    // queue was empty; set before start(). It must only post a note to the owner (which takes
    // the events on its own thread) and call nothing of this object.
    void setWake(std::function<void()> wake);

    // Runs the open sequence, then reads while it opened; returns the session its events carry.
    quint32 start();
    // Ends the reading after the read in progress, then closes the bridge when an open was tried
    // since the last close.
    void stop();
    // stop(), then ends the worker and waits up to `waitMs` for it. False when it was still in a
    // library call then: it is left to finish on its own and calls nothing more after that.
    bool shutDown(int waitMs);

    std::vector<Event> takeEvents();
    // Waits up to `ms` for an event; true when one is queued.
    bool waitForEvents(int ms);

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared> &shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    quint32 m_session = 0;
    bool m_threadStarted = false;
    bool m_shutDown = false;
};
