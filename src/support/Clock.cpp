#include "support/Clock.h"

namespace {
constexpr qint64 MinuteMs = 60 * 1000;
} // namespace

QDateTime Clock::now() const
{
    const qint64 ms = epochMSecs();
    if (ms < m_offsetFrom || ms >= m_offsetUntil) {
        m_offsetSeconds = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc();
        m_offsetFrom = ms - ((ms % MinuteMs) + MinuteMs) % MinuteMs;
        m_offsetUntil = m_offsetFrom + MinuteMs;
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, m_offsetSeconds);
}

qint64 Clock::epochMSecs() const
{
    return QDateTime::currentMSecsSinceEpoch();
}
