#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// What one poll of the bridge did.
struct BridgeStep
{
    bool frame = false; // a reading was completed: BridgeAssembler::frame() holds it
    bool accepted = false; // with a frame: the decoder is to be called with it
    bool flush = false; // SI_FlushBuffers(handle, 1, 1) is due
};

// The bridge cable's byte poll: one byte per read, collected in `XpressBuffer` at `XpressPos`.
// A line feed stored as the 13th byte completes a reading; the frame is "A", the eleven
// characters as received (up to the first zero byte, one Latin-1 character per byte), "D".
// Every 13th byte, and every early line feed, ends with the bridge's buffers discarded so the
// next reading starts in step.
//
// Nothing here resets: stopping and starting the link continue with the same buffer and
// position, as long as this object lives.
class BridgeAssembler
{
public:
    static constexpr int BufferSize = 65;
    static constexpr int ReadingLength = 13; // eleven characters, carriage return, line feed

    // A read that placed `byte` (status 0).
    BridgeStep read(quint8 byte)
    {
        BridgeStep step;
        m_shown = Shown::Buffer;
        m_XpressBuffer[m_XpressPos] = byte;
        ++m_XpressPos;
        if (byte == 0x0A) {
            if (m_XpressPos == ReadingLength) {
                complete(step);
            } else {
                // An early line feed: the count goes on into an emptied buffer.
                keepText();
                m_XpressBuffer.fill(0);
                step.flush = true;
            }
        }
        if (m_XpressPos >= ReadingLength) {
            m_XpressPos = 0;
            step.flush = true;
        }
        return step;
    }
    // A read that failed: buffer, position and frame stay as they are.
    static BridgeStep failedRead() { return {}; }

    // The last frame completed (`ReadingFrame` as the decoder receives it).
    const QString &frame() const { return m_frame; }
    // `ReadingFrame` as the poll leaves it: the buffer's text up to its first zero byte as the
    // last byte read left it (before an early line feed emptied it), or the completed frame
    // after the read that completed it. Built only when asked.
    QString readingFrame() const;

    quint8 XpressPos() const { return m_XpressPos; }
    const std::array<quint8, BufferSize> &XpressBuffer() const { return m_XpressBuffer; }

private:
    enum class Shown : quint8 { Buffer, Kept, Frame };

    void complete(BridgeStep &step);
    void keepText();

    std::array<quint8, BufferSize> m_XpressBuffer {};
    quint8 m_XpressPos = 0; // 0 to 12 between reads
    Shown m_shown = Shown::Buffer;
    // The text an early line feed emptied; only the first 13 bytes can be non-zero.
    std::array<quint8, ReadingLength> m_kept {};
    QString m_frame;
};
