#pragma once

#include "meter/FrameDecoder.h"

#include <QObject>

class AlarmLimits;
class ChartControl;
class LcdPanel;
class ReadingRecorder;
class SamplingClock;
struct FormControls;
struct RunState;
struct Services;

// The per-frame display sequence: decodes the frame that a link has placed in the run state,
// rebuilds the replica LCD from it, and hands the reading on to the scale, the bar graph and the
// parts that follow it, always in the same order.
class MeterDisplay : public QObject
{
    Q_OBJECT
public:
    MeterDisplay(FormControls &controls, RunState &state, Services &services, LcdPanel &panel,
                 AlarmLimits &limits, ChartControl &chart, ReadingRecorder &recorder,
                 SamplingClock &sampling);

    // Runs the whole sequence for the current frame. On a conversion failure the sequence ends
    // at the failing step and the failure is returned for the caller to report.
    FrameDecoder::Result LcdDisplayGostel();

    // The bar position the last frame asked for (the bar itself shows at most its maximum).
    int barPosition() const { return m_barPosition; }
    int framesShown() const { return m_framesShown; }
    // The needle position and the chart value of the last frame that got that far.
    int needlePosition() const { return m_needlePosition; }
    int chartValue() const { return m_chartValue; }

private:
    FrameDecoder::Result runSequence();
    void selectScale();
    FrameDecoder::Result moveNeedle();
    FrameDecoder::Result moveBar();
    FrameDecoder::Result appendToChart(bool chartConditions);
    bool chartConditions() const;

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    LcdPanel &m_panel;
    AlarmLimits &m_limits;
    ChartControl &m_chart;
    ReadingRecorder &m_recorder;
    SamplingClock &m_sampling;
    int m_barPosition = 20;
    int m_needlePosition = 0;
    int m_chartValue = 0;
    int m_framesShown = 0;
};
