#pragma once

#include "TimeOfDay.h"
#include "links/FrameAssembler.h"
#include "links/HidAssembly.h"
#include "meter/FrameSink.h"
#include "recording/HeadlessSequence.h"

#include <QByteArrayView>
#include <functional>

// Received bytes, or the HID cable's reports, to frames to the headless sequence, through the
// same assembly and frame sink steps as the window's links: a frame that is not plausible is
// dropped without being decoded, and a frame that fails at some step ends there while the next one
// starts afresh.
class FrameFeed : public FrameSink
{
public:
    // The frame, what became of it, and the failure of a failed frame. The sequence holds the
    // rest; the frame text is only valid during the call.
    using Listener = std::function<void(const QString &frame, Outcome outcome,
                                        const ConversionError *failure)>;

    explicit FrameFeed(HeadlessSequence &sequence)
        : m_sequence(sequence)
    {
    }

    void setListener(Listener listener) { m_listener = std::move(listener); }
    void feed(QByteArrayView bytes)
    {
        m_assembler.feed(bytes,
                         [this](const QString &frame) { take(frame, &FrameAssembler::plausible); });
    }
    // One input report of the HID cable, its data bytes without the identifier: the window's
    // HID link assembles the same frames and tests them alike.
    HidBurst::Report feedHidReport(QByteArrayView data)
    {
        return m_hidAssembler.feed(
            data, [this](const QString &frame) { take(frame, &HidBurstAssembler::plausible); });
    }
    // A frame the bridge cable's poll completed, with its verdict: its assembler tests text the
    // frame no longer holds.
    Outcome takeBridgeFrame(const QString &frame, bool accepted) { return take(frame, accepted); }
    // Forgets a frame half received, as when the device went away in its middle.
    void clearPartial()
    {
        m_assembler.clear();
        m_hidAssembler.clear();
    }
    const HidBurst &hidBurst() const { return m_hidAssembler.burst(); }

    HeadlessSequence &sequence() { return m_sequence; }
    TimeOfDay &clock() { return m_clock; }
    qint64 frames() const { return m_frames; }
    qint64 dropped() const { return m_dropped; }
    qint64 failed() const { return m_failed; }

protected:
    void keep(const QString &frame) override;
    FrameDecoder::Result decode(const QString &frame) override;
    void report(const QString &frame, const ConversionError &failure) override;
    void dropped(const QString &frame) override;
    void decoded(const QString &frame) override;

private:
    HeadlessSequence &m_sequence;
    FrameAssembler m_assembler;
    HidBurstAssembler m_hidAssembler;
    TimeOfDay m_clock;
    const QTime *m_now = nullptr;
    Listener m_listener;
    qint64 m_frames = 0;
    qint64 m_dropped = 0;
    qint64 m_failed = 0;
};
