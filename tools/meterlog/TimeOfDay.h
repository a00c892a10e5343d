#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <chrono>
#include <ctime>

// The local time of day to the second, and the local date and time to the millisecond with the
// offset from UTC, cheap enough to read for every frame of a replay: the time zone is consulted
// again only when the second changes (an offset changes on a whole second only).
class TimeOfDay
{
public:
    const QTime &now()
    {
        const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
        const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
        m_millisecond = int(ms - second * 1000);
        if (second != m_second) {
            m_second = second;
            const QDateTime local = QDateTime::fromSecsSinceEpoch(second);
            m_time = local.time();
            m_text = m_time.toString(u"hh:mm:ss"_qs);
            m_stampSecond = local.toString(u"yyyy-MM-dd'T'HH:mm:ss"_qs).toLatin1();
            m_stampOffset = offsetText(local.offsetFromUtc());
        }
        return m_time;
    }
    // "hh:mm:ss" of the last now().
    const QString &text() const { return m_text; }
    // The last now() in ISO 8601 with milliseconds and the numeric offset from UTC, "+00:00"
    // for UTC itself: "2026-12-10T09:05:04.123+01:00".
    void appendStamp(QByteArray &out) const
    {
        out += m_stampSecond;
        out += '.';
        out += char('0' + m_millisecond / 100);
        out += char('0' + m_millisecond / 10 % 10);
        out += char('0' + m_millisecond % 10);
        out += m_stampOffset;
    }

private:
    static QByteArray offsetText(int seconds)
    {
        const int minutes = (seconds < 0 ? -seconds : seconds) / 60;
        QByteArray text(seconds < 0 ? "-" : "+");
        text += QByteArray::number(minutes / 60).rightJustified(2, '0');
        text += ':';
        text += QByteArray::number(minutes % 60).rightJustified(2, '0');
        return text;
    }

    qint64 m_second = -1;
    int m_millisecond = 0;
    QTime m_time;
    QString m_text;
    QByteArray m_stampSecond;
    QByteArray m_stampOffset;
};
