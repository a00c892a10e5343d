#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>
#include <chrono>
#include <ctime>

// The local time of day to the second, cheap enough to read for every frame of a replay: the
// time zone is consulted again only when the second changes.
class TimeOfDay
{
public:
    const QTime &now()
    {
        const time_t second
            = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        if (second != m_second) {
            m_second = second;
            m_time = QDateTime::fromSecsSinceEpoch(second).time();
            m_text = m_time.toString(u"hh:mm:ss"_qs);
        }
        return m_time;
    }
    // "hh:mm:ss" of the last now().
    const QString &text() const { return m_text; }

private:
    time_t m_second = -1;
    QTime m_time;
    QString m_text;
};
