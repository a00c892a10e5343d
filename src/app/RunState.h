#pragma once

#include "app/ModelProfile.h"
#include "chart/DialScale.h"
#include "meter/Reading.h"
#include "recording/RecordStep.h"

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
};

// Per-run state shared by the parts of the window, owned by the main window and handed to the
// parts by reference. Everything here is used on the UI thread only.
struct RunState
{
    QString DecimalSeparatorText;
    QString TimeSeparatorText = u":"_qs;
    ModelProfile profile;

    QString ReadingFrame;
    Reading reading;

    QString scaleCode = u"4"_qs;
    DialScale dialScale;

    RecordCounters counters;
    qint32 SampleCountdown = 0;
    RecallClock recall;
    QTime RecallTime; // the time of day rows take while "RecallData" is checked

    LimitState limits;

    int LinkSilenceCount = 0;
    int HidIdleReports = 0;

    QString TrackedUnit = u"113"_qs;
};
