#pragma once

#include <QtGlobal>

// The scale that the dial, the bar graph, the limits and the tracker work in. Set by the model
// profile at start-up and rewritten for every reading.
struct DialScale
{
    qint32 fullScale = 4000;
    qint32 needleOffset = 400;
    qint32 barMax = 40;
    qint32 dialSteps = 80;

    friend bool operator==(const DialScale &, const DialScale &) = default;
};
