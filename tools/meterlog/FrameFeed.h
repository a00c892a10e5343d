#pragma once

#include "TimeOfDay.h"
#include "links/FrameAssembler.h"
#include "recording/HeadlessSequence.h"

#include <QByteArrayView>
#include <functional>

// Received bytes to frames to the headless sequence, as the window's serial receive handler
// does it: a frame that is not plausible is dropped without being decoded, and a frame that
// fails at some step ends there while the next one starts afresh.
class FrameFeed
{
public:
    enum class Outcome { Dropped, Decoded, Failed };
    // The frame, what became of it, and the failure of a failed frame. The sequence holds the
    // rest; the frame text is only valid during the call.
    using Listener = std::function<void(const QString &frame, Outcome outcome,
                                        const ConversionError *failure)>;

    explicit FrameFeed(HeadlessSequence &sequence)
        : m_sequence(sequence)
    {
    }

    void setListener(Listener listener) { m_listener = std::move(listener); }
    void feed(QByteArrayView bytes);
    // Forgets a frame half received, as when the device went away in its middle.
    void clearPartial() { m_assembler.clear(); }

    HeadlessSequence &sequence() { return m_sequence; }
    TimeOfDay &clock() { return m_clock; }
    qint64 frames() const { return m_frames; }
    qint64 dropped() const { return m_dropped; }
    qint64 failed() const { return m_failed; }

private:
    HeadlessSequence &m_sequence;
    FrameAssembler m_assembler;
    TimeOfDay m_clock;
    Listener m_listener;
    qint64 m_frames = 0;
    qint64 m_dropped = 0;
    qint64 m_failed = 0;
};
