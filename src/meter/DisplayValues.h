#pragma once

#include "chart/DialScale.h"
#include "meter/FrameDecoder.h"
#include "recording/RecordStep.h"

#include <QString>

// What a decoded reading puts on the dial, the bar graph and the chart. Shared by the window's
// display sequence and the headless recorder, so both compute the same values.
namespace DisplayValues {

struct Scale
{
    QString scaleCode; // "4", "10" or "13"
    DialScale dialScale;
    int barMaximum = 40;
};

// The scale of the reading: capacitance and temperature have scales of their own.
Scale selectScale(const Reading &r);

// The needle position on the dial: overload at an end, an open input at 0, otherwise the
// leading digits (all four on the temperature scale) plus the scale's offset.
FrameDecoder::Result needlePosition(const Reading &r, const Scale &scale, int &position);

// The bar position: overload fills the bar, an open input empties it, otherwise the two leading
// digits (at least 1).
FrameDecoder::Result barPosition(const Reading &r, const DialScale &scale, int &position);

// The value the chart takes: overload at full scale with the reading's sign, an open input 0,
// otherwise the signed four digits.
FrameDecoder::Result chartValue(const Reading &r, const DialScale &scale, int &value);

// Whether the chart takes this reading: it takes what the record step would take, judged before
// that step changes the key and the countdown.
bool chartConditions(const Reading &r, const RecordSwitches &switches,
                     const RecordCounters &counters, qint32 countdown);

} // namespace DisplayValues
