#pragma once

#include <QDateTime>

// The local date and time. Tests install their own clock.
class Clock
{
public:
    virtual ~Clock() = default;
    // The local date and time, given as the current offset from UTC. Converting to local time
    // asks the system's time zone each time; the offset is looked up once a minute instead, as
    // zones change their offset only on whole minutes. For the user-interface thread.
    virtual QDateTime now() const;

protected:
    // Milliseconds since the epoch.
    virtual qint64 epochMSecs() const;

private:
    mutable qint64 m_offsetFrom = 0;
    mutable qint64 m_offsetUntil = 0; // empty: looked up at the first call
    mutable int m_offsetSeconds = 0;
};
