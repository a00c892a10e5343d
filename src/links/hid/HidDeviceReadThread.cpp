#include "links/hid/HidDeviceReadThread.h"

#include <QMetaObject>
#include <vector>

HidDeviceReadThread::HidDeviceReadThread(std::unique_ptr<HidReadChannel> channel, int sleepTimeMs,
                                         Deliver deliver, QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_channel(std::move(channel))
    , m_sleepTime(sleepTimeMs)
{
    m_shared->deliver = std::move(deliver);
}

HidDeviceReadThread::~HidDeviceReadThread()
{
    stop();
}

void HidDeviceReadThread::startReading()
{
    if (m_started)
        return;
    m_started = true;
    m_thread = std::thread([this] { run(); });
}

bool HidDeviceReadThread::handOverPending() const
{
    std::lock_guard guard(m_shared->lock);
    return !m_shared->pending.empty();
}

void HidDeviceReadThread::run()
{
    std::vector<char> buffer(size_t(qMax(1, m_channel->inputReportLength())));
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), 0);
        const int sleepTime = m_sleepTime.load(std::memory_order_relaxed);
        const HidReadChannel::Result result
            = m_channel->read(buffer.data(), int(buffer.size()), sleepTime);
        if (result.outcome == HidReadChannel::Outcome::Stopped)
            break;
        if (result.outcome == HidReadChannel::Outcome::Report && result.size >= 1) {
            auto job = std::make_shared<HandOver>();
            job->report = QByteArray(buffer.data(), result.size);
            if (!handOver(std::move(job)))
                break;
        } else if (result.outcome == HidReadChannel::Outcome::Refused) {
            auto job = std::make_shared<HandOver>();
            job->isError = true;
            job->error = result.error;
            if (!handOver(std::move(job)) || !m_channel->pause(sleepTime))
                break;
        }
    }
    std::lock_guard guard(m_shared->lock);
    m_shared->finished = true;
    m_shared->changed.notify_all();
}

bool HidDeviceReadThread::handOver(std::shared_ptr<HandOver> job)
{
    {
        std::lock_guard guard(m_shared->lock);
        if (m_shared->stopping)
            return false;
        m_shared->pending.push_back(job);
        m_shared->changed.notify_all();
    }
    // This object lives on the UI thread, so the call is queued there. Nothing but the wake-up
    // travels through the event: the job goes through the lock above.
    QMetaObject::invokeMethod(this, "serveHandOver", Qt::QueuedConnection);
    std::unique_lock guard(m_shared->lock);
    m_shared->changed.wait(guard, [&] { return job->done || m_shared->stopping; });
    return job->done;
}

void HidDeviceReadThread::serveHandOver()
{
    // The handler may destroy this object (by returning its device in a nested event loop):
    // only the shared state is touched after the call.
    std::shared_ptr<Shared> shared = m_shared;
    std::shared_ptr<HandOver> job;
    {
        std::lock_guard guard(shared->lock);
        if (shared->pending.empty())
            return; // already served by a stop
        job = shared->pending.front();
        shared->pending.pop_front();
    }
    serve(shared, job);
}

void HidDeviceReadThread::serve(const std::shared_ptr<Shared> &shared,
                                const std::shared_ptr<HandOver> &job)
{
    Deliver deliver = shared->deliver;
    deliver(*job);
    std::lock_guard guard(shared->lock);
    job->done = true;
    shared->changed.notify_all();
}

void HidDeviceReadThread::stop()
{
    if (m_stopCalled)
        return;
    m_stopCalled = true;
    std::shared_ptr<Shared> shared = m_shared;
    {
        std::lock_guard guard(shared->lock);
        shared->stopping = true;
        shared->changed.notify_all();
    }
    m_channel->stop();
    if (m_started) {
        // Queued hand-overs run even when the thread has ended before this loop looks.
        std::unique_lock guard(shared->lock);
        while (!shared->finished || !shared->pending.empty()) {
            if (!shared->pending.empty()) {
                std::shared_ptr<HandOver> job = shared->pending.front();
                shared->pending.pop_front();
                guard.unlock();
                serve(shared, job);
                guard.lock();
                continue;
            }
            shared->changed.wait(guard);
        }
    }
    if (m_thread.joinable())
        m_thread.join();
}
