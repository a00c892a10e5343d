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
        if (!accepts(frame)) {
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

protected:
    // The frame as the link completed it, accepted or not.
    virtual void keep(const QString &frame) = 0;
    // Runs the frame sequence; a failure ends the frame at its step.
    virtual FrameDecoder::Result decode(const QString &frame) = 0;
    virtual void report(const QString &frame, const ConversionError &failure) = 0;
    virtual void dropped(const QString &) { }
    virtual void decoded(const QString &) { }
};
