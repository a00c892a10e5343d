#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

// SIGINT, SIGTERM and SIGHUP as a Qt signal. The handler only writes the signal's number into
// a pipe that the event loop watches; a second signal, while the first is still being handled,
// ends the process at once with 128 + its number.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    // False when the pipe cannot be made (the reason is in errno).
    bool install();

Q_SIGNALS:
    void stopRequested(int signal);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
