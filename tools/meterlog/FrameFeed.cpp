#include "FrameFeed.h"

void FrameFeed::feed(QByteArrayView bytes)
{
    m_assembler.feed(bytes, [this](const QString &frame) {
        ++m_frames;
        const QTime &now = m_clock.now();
        if (!FrameAssembler::plausible(frame)) {
            ++m_dropped;
            if (m_listener)
                m_listener(frame, Outcome::Dropped, nullptr);
            return;
        }
        const FrameDecoder::Result failure = m_sequence.run(frame, now);
        if (failure)
            ++m_failed;
        if (m_listener)
            m_listener(frame, failure ? Outcome::Failed : Outcome::Decoded,
                       failure ? &*failure : nullptr);
    });
}
