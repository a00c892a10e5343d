#pragma once

#include <QString>

// The alarm limits and the min/max tracker, in display counts.
struct LimitState
{
    float UpperLimit = 4000.0f;
    float LowerLimit = -4000.0f;
    // Mirrors of the limit switches SetMaxB and SetMinB, kept by their handlers.
    bool upperLimitOn = false;
    bool lowerLimitOn = false;
    float RunningMax = 0.0f;
    float RunningMin = 0.0f;
    QString MaxValueText;
    QString MinValueText;
    // The unit the tracker follows; a reading of another unit starts it afresh.
    QString TrackedUnit = u"113"_qs;
};
