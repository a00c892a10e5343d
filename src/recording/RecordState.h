#pragma once

#include "recording/RecordStep.h"

#include <QTime>

// The state of recording that the window's parts share: the counters, the sampling countdown,
// and the recall clock with the time of day it gives rows while "RecallData" is checked.
struct RecordState
{
    RecordCounters counters;
    qint32 SampleCountdown = 0;
    RecallClock recall;
    QTime RecallTime;
};
