#include "FrameFeed.h"

void FrameFeed::keep(const QString &)
{
    ++m_frames;
    m_now = &m_clock.now();
}

FrameDecoder::Result FrameFeed::decode(const QString &frame)
{
    return m_sequence.run(frame, *m_now);
}

void FrameFeed::report(const QString &frame, const ConversionError &failure)
{
    ++m_failed;
    if (m_listener)
        m_listener(frame, Outcome::Failed, &failure);
}

void FrameFeed::dropped(const QString &frame)
{
    ++m_dropped;
    if (m_listener)
        m_listener(frame, Outcome::Dropped, nullptr);
}

void FrameFeed::decoded(const QString &frame)
{
    if (m_listener)
        m_listener(frame, Outcome::Decoded, nullptr);
}
