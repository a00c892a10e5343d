#include "links/bridge/BridgePoll.h"

#include "links/bridge/BridgeLibrary.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

enum class Command : quint8 { Start, Stop, Quit };

struct Order
{
    Command command;
    quint32 session;
};

} // namespace

struct BridgePoll::Shared
{
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Order> orders;
    std::vector<Event> events;
    std::function<void()> wake;
    bool finished = false;

    // The worker's own; nobody else touches them while it runs.
    SiUsbXpFunctions f;
    Timings timings;
    BridgeAssembler assembler;
    SiHandle XpressHandle = nullptr;
    bool XpressOpenTried = false;
    std::uint8_t XpressByte = 0;
    bool reading = false;
    quint32 session = 0;
    bool failing = false; // the reads since failingSince all failed
    bool failingReported = false;
    Clock::time_point failingSince;

    // Worker: queues an event and wakes the owner when the queue was empty.
    void post(Event &&event)
    {
        std::lock_guard guard(lock);
        if (event.kind == Event::Kind::Frame && events.size() >= MaxQueuedEvents)
            return;
        event.session = session;
        const bool wasEmpty = events.empty();
        events.push_back(std::move(event));
        if (!wasEmpty)
            return; // the owner has been told already
        changed.notify_all();
        // Under the lock, so that once shutDown() has taken the wake away it is never called.
        if (wake)
            wake();
    }

    void usb_dll();
    void close();
    // One read and its steps; false when the read failed.
    bool readOnce();
};

QString BridgePoll::OpenResult::message() const
{
    switch (outcome) {
    case Outcome::Opened:
        break;
    case Outcome::NoBridge:
        return status == 0 ? u"No USB bridge cable is plugged in."_qs
                           : u"The bridge library could not count the USB bridge cables "
                             "(status %1)."_qs.arg(status);
    case Outcome::SeveralBridges:
        return u"%1 USB bridge cables are plugged in; unplug all but one."_qs.arg(count);
    case Outcome::OpenFailed:
        return u"The USB bridge cable could not be opened (status %1)."_qs.arg(status);
    case Outcome::BaudRateFailed:
        return u"The USB bridge cable did not take 9600 bit/s (status %1)."_qs.arg(status);
    }
    return {};
}

void BridgePoll::Shared::usb_dll()
{
    OpenResult result;
    std::uint32_t count = 0;
    XpressOpenTried = false;
    const SiStatus counted = f.SI_GetNumDevices(&count);
    result.count = count;
    if (count != 1) {
        result.outcome
            = count == 0 ? OpenResult::Outcome::NoBridge : OpenResult::Outcome::SeveralBridges;
        result.status = counted;
    } else {
        // A failed open must not leave an earlier, closed handle to be closed again.
        XpressHandle = nullptr;
        const SiStatus opened = f.SI_Open(0, &XpressHandle);
        XpressOpenTried = true;
        if (opened != 0) {
            result.outcome = OpenResult::Outcome::OpenFailed;
            result.status = opened;
        } else if (const SiStatus baud = f.SI_SetBaudRate(XpressHandle, 9600); baud != 0) {
            result.outcome = OpenResult::Outcome::BaudRateFailed;
            result.status = baud;
        } else {
            f.SI_SetTimeouts(500, 500);
            result.outcome = OpenResult::Outcome::Opened;
        }
    }
    reading = result.opened();
    failing = false;
    failingReported = false;
    Event event;
    event.kind = Event::Kind::Open;
    event.open = result;
    post(std::move(event));
}

void BridgePoll::Shared::close()
{
    reading = false;
    if (!XpressOpenTried)
        return;
    f.SI_Close(XpressHandle);
    // One close per open: a later stop (or the exit) finds nothing left to close.
    XpressOpenTried = false;
}

bool BridgePoll::Shared::readOnce()
{
    std::uint32_t returned = 0;
    if (f.SI_Read(XpressHandle, &XpressByte, 1, &returned, nullptr) != 0) {
        const Clock::time_point now = Clock::now();
        if (!failing) {
            failing = true;
            failingSince = now;
        } else if (!failingReported
                   && now - failingSince >= std::chrono::milliseconds(timings.failingAfterMs)) {
            failingReported = true;
            Event event;
            event.kind = Event::Kind::Failing;
            post(std::move(event));
        }
        return false;
    }
    failing = false;
    if (failingReported) {
        failingReported = false;
        Event event;
        event.kind = Event::Kind::Back;
        post(std::move(event));
    }
    const BridgeStep step = assembler.read(XpressByte);
    if (step.frame) {
        Event event;
        event.kind = Event::Kind::Frame;
        event.frame = assembler.frame();
        event.accepted = step.accepted;
        post(std::move(event));
    }
    if (step.flush)
        f.SI_FlushBuffers(XpressHandle, 1, 1);
    return true;
}

void BridgePoll::run(const std::shared_ptr<Shared> &shared)
{
    Shared &s = *shared;
    std::unique_lock guard(s.lock);
    for (;;) {
        if (!s.orders.empty()) {
            const Order order = s.orders.front();
            s.orders.pop_front();
            guard.unlock();
            switch (order.command) {
            case Command::Start:
                s.session = order.session;
                s.usb_dll();
                break;
            case Command::Stop:
            case Command::Quit:
                s.close();
                break;
            }
            guard.lock();
            if (order.command == Command::Quit)
                break;
            continue;
        }
        if (!s.reading) {
            s.changed.wait(guard);
            continue;
        }
        guard.unlock();
        const bool gotByte = s.readOnce();
        guard.lock();
        if (!gotByte)
            s.changed.wait_for(guard, std::chrono::milliseconds(s.timings.retryPauseMs),
                               [&s] { return !s.orders.empty(); });
    }
    s.finished = true;
    s.changed.notify_all();
}

BridgePoll::BridgePoll(const SiUsbXpFunctions &functions, Timings timings)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->f = functions;
    m_shared->timings = timings;
}

BridgePoll::~BridgePoll()
{
    shutDown(ShutDownWaitMs);
}

void BridgePoll::setWake(std::function<void()> wake)
{
    std::lock_guard guard(m_shared->lock);
    m_shared->wake = std::move(wake);
}

quint32 BridgePoll::start()
{
    if (m_shutDown)
        return m_session;
    ++m_session;
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->orders.push_back({Command::Start, m_session});
        m_shared->changed.notify_all();
    }
    if (!m_threadStarted) {
        m_threadStarted = true;
        m_thread = std::thread(&BridgePoll::run, m_shared);
    }
    return m_session;
}

void BridgePoll::stop()
{
    if (!m_threadStarted || m_shutDown)
        return;
    std::lock_guard guard(m_shared->lock);
    m_shared->orders.push_back({Command::Stop, m_session});
    m_shared->changed.notify_all();
}

bool BridgePoll::shutDown(int waitMs)
{
    if (m_shutDown || !m_threadStarted) {
        m_shutDown = true;
        return true;
    }
    m_shutDown = true;
    std::unique_lock guard(m_shared->lock);
    m_shared->orders.push_back({Command::Quit, m_session});
    // Nobody takes events any more: the owner may be going away.
    m_shared->wake = nullptr;
    m_shared->changed.notify_all();
    const bool ended = m_shared->changed.wait_for(guard, std::chrono::milliseconds(waitMs),
                                                  [this] { return m_shared->finished; });
    guard.unlock();
    if (ended)
        m_thread.join();
    else
        m_thread.detach(); // it holds its own share of the state
    return ended;
}

std::vector<BridgePoll::Event> BridgePoll::takeEvents()
{
    std::vector<Event> taken;
    std::lock_guard guard(m_shared->lock);
    taken.swap(m_shared->events);
    return taken;
}

bool BridgePoll::waitForEvents(int ms)
{
    std::unique_lock guard(m_shared->lock);
    return m_shared->changed.wait_for(guard, std::chrono::milliseconds(ms),
                                      [this] { return !m_shared->events.empty(); });
}
