#pragma once

#include "links/hid/HidPlatform.h"

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Reads one device's input reports on its own thread and hands each report, and each refused
// read with its error code, to the UI thread, waiting there until the handler has returned.
// A refused read is followed by a pause of the sleep time, so a device that keeps refusing is
// not asked again in a tight loop. Created and stopped on the UI thread, by its device.
// The object lives on the UI thread and receives the reader's wake-ups there; the reader is a
// plain std::thread so that every hand-off between the two goes through the lock below.
class HidDeviceReadThread : public QObject
{
    Q_OBJECT
public:
    struct HandOver
    {
        bool isError = false;
        QByteArray report; // the identifier byte first
        quint32 error = 0;
        bool done = false; // guarded by the thread's lock
    };
    // Runs on the UI thread for every hand-over.
    using Deliver = std::function<void(const HandOver &)>;

    HidDeviceReadThread(std::unique_ptr<HidReadChannel> channel, int sleepTimeMs, Deliver deliver,
                        QObject *parent = nullptr);
    // Stops the thread first when still running.
    ~HidDeviceReadThread() override;
    HidDeviceReadThread(const HidDeviceReadThread &) = delete;
    HidDeviceReadThread &operator=(const HidDeviceReadThread &) = delete;

    void startReading();
    // A hand-over is queued and not yet being served.
    bool handOverPending() const;
    void setSleepTime(int ms) { m_sleepTime.store(ms, std::memory_order_relaxed); }
    // Tells the thread to end, cancels its pending read and waits for it, running the
    // hand-overs it queued meanwhile. A handler that runs in such a hand-over may stop the
    // reader again: the inner call returns at once and the outer one finishes the stop.
    void stop();

private:
    void run();

    struct Shared
    {
        std::mutex lock;
        std::condition_variable changed;
        std::deque<std::shared_ptr<HandOver>> pending;
        bool stopping = false;
        bool finished = false;
        Deliver deliver;
    };

    // Reader thread: false when told to end before the hand-over was served.
    bool handOver(std::shared_ptr<HandOver> job);
    Q_INVOKABLE void serveHandOver();
    static void serve(const std::shared_ptr<Shared> &shared, const std::shared_ptr<HandOver> &job);

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<HidReadChannel> m_channel;
    std::atomic<int> m_sleepTime;
    std::thread m_thread;
    bool m_started = false;
    bool m_stopCalled = false;
};
