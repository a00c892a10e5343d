#include "links/bridge/BridgeAssembler.h"

#include <algorithm>

namespace {

// The buffer's text ends at its first zero byte.
qsizetype textLength(const quint8 *bytes, qsizetype size)
{
    return std::find(bytes, bytes + size, quint8(0)) - bytes;
}

} // namespace

void BridgeAssembler::complete(BridgeStep &step)
{
    // The carriage return's place ends the text, so at most the eleven characters remain.
    m_XpressBuffer[11] = 0;
    const qsizetype n = textLength(m_XpressBuffer.data(), 11);
    m_frame.resize(n + 2);
    char16_t *out = reinterpret_cast<char16_t *>(m_frame.data());
    out[0] = u'A';
    for (qsizetype i = 0; i < n; ++i)
        out[i + 1] = m_XpressBuffer[i];
    out[n + 1] = u'D';
    step.frame = true;
    m_shown = Shown::Frame;
    if (n == 11 && out[11] == u'<') {
        // "<" as the 12th character becomes "C", and the frame is decoded whatever its 10th.
        out[11] = u'C';
        step.accepted = true;
        return;
    }
    // "A" first, "D" 13th (only a frame of all eleven has one) and no "<" 10th.
    step.accepted = n == 11 && out[9] != u'<';
}

void BridgeAssembler::keepText()
{
    std::copy_n(m_XpressBuffer.begin(), ReadingLength, m_kept.begin());
    m_shown = Shown::Kept;
}

QString BridgeAssembler::readingFrame() const
{
    const auto text = [](const quint8 *bytes, qsizetype size) {
        return QString::fromLatin1(reinterpret_cast<const char *>(bytes), textLength(bytes, size));
    };
    switch (m_shown) {
    case Shown::Frame:
        return m_frame;
    case Shown::Kept:
        return text(m_kept.data(), ReadingLength);
    case Shown::Buffer:
        break;
    }
    return text(m_XpressBuffer.data(), BufferSize);
}
