#pragma once

#include "chart/DialScale.h"
#include "meter/Reading.h"

#include <QString>

// What the per-frame sequence reads and writes, shared with the parts that show the reading:
// the separators of the locale, the frame a link completed last, the reading decoded from it and
// the scale it is shown on.
struct DisplayState
{
    QString DecimalSeparatorText = u"."_qs;
    QString TimeSeparatorText = u":"_qs;

    QString ReadingFrame;
    Reading reading;

    QString scaleCode = u"4"_qs;
    DialScale dialScale;
};
