#pragma once

#include "meter/FrameDecoder.h"

#include <QString>
#include <QStringView>

// Where every cable's assembled frames go: the frame is kept as the current frame and echoed,
// tested with its assembler's acceptance test, decoded through the frame sequence, and a failure
// is reported once. A window and the headless recorder each fill in the steps.
class FrameSink
{
public:
    enum class Outcome { Dropped, Decoded, Failed };
    // An assembler's test of a frame it completed.
    using Acceptance = bool (*)(QStringView frame);

    virtual ~FrameSink() = default;

    Outcome take(const QString &frame, Acceptance accepts)
    {
        keep(frame);
        return judged(frame, accepts(frame));
    }
    // For an assembler whose test is of text the frame no longer holds: it hands on its verdict.
    Outcome take(const QString &frame, bool accepted)
    {
        keep(frame);
        return judged(frame, accepted);
    }

protected:
    // The frame as the link completed it, accepted or not.
    virtual void keep(const QString &frame) = 0;
    // Runs the frame sequence; a failure ends the frame at its step.
    virtual FrameDecoder::Result decode(const QString &frame) = 0;
    virtual void report(const QString &frame, const ConversionError &failure) = 0;
    virtual void dropped(const QString &) { }
    virtual void decoded(const QString &) { }

private:
    Outcome judged(const QString &frame, bool accepted)
    {
        if (!accepted) {
            dropped(frame);
            return Outcome::Dropped;
        }
        if (const FrameDecoder::Result failure = decode(frame)) {
            report(frame, *failure);
            return Outcome::Failed;
        }
        decoded(frame);
        return Outcome::Decoded;
    }
};
