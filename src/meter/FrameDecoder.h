#pragma once

#include "meter/Reading.h"
#include "support/ConversionError.h"

#include <QStringView>
#include <optional>

// Turns a reading frame ("A", eleven hexadecimal digits, "D"; only characters 1..13 are read)
// into the Reading. The work is split into the steps that the display sequence interleaves with
// its own; each step that converts text returns the failing text, and the caller stops there.
namespace FrameDecoder {

using Result = std::optional<ConversionError>; // empty: the step completed

// Step 1: the frame bits from characters 1..13. Fails on a character that is no hex digit
// (or a frame shorter than 13 characters, with the empty text).
Result decodeBits(Reading &r, QStringView frame);
// Step 2: empty the function, auto and unit texts.
void clearTexts(Reading &r);
// Steps 3 and 4: markers, then the function table when the markers are valid.
Result decodeFunction(Reading &r, QStringView frame);
// Step 5: the digit texts and the status flags (also for frames without valid markers).
void decodeDigitsAndFlags(Reading &r, QStringView frame);
// Step 6: the separator texts at the lit decimal point, and the sign.
void decodeSeparatorsAndSign(Reading &r, const QString &decimalSeparator);
// Step 7: the value text (only for frames with valid markers).
void buildValueText(Reading &r);
// Step 8: the numeric value, with the full-scale count chosen for this frame.
Result computeNumericValue(Reading &r, int fullScale);

// Full-scale count used when no display sequence has chosen one: 1000 for capacitance and
// temperature, 4000 otherwise.
int defaultFullScale(const Reading &r);

// What a display shows between the steps: each call comes right after the step it names has
// completed, with the reading as that step left it.
class StepWatcher
{
public:
    virtual ~StepWatcher() = default;
    virtual void textsCleared(const Reading &) { }
    virtual void functionDecoded(const Reading &) { }
    virtual void flagsDecoded(const Reading &) { }
    virtual void signDecoded(const Reading &) { }
};

// Steps 1 to 7 in order: everything but the numeric value, whose full scale the caller picks.
Result decodeTexts(Reading &r, QStringView frame, const QString &decimalSeparator,
                   StepWatcher *watcher = nullptr);
// All steps in order, with the default full scale.
Result decodeFrame(Reading &r, QStringView frame, const QString &decimalSeparator);

} // namespace FrameDecoder
