#pragma once

#include "meter/DisplayState.h"
#include "meter/DisplayValues.h"
#include "meter/FrameDecoder.h"

#include <QStringView>
#include <QTime>

class TableRecorder;

// The steps every decoded frame goes through, in their one order: the decoder's steps, the
// scale and the numeric value, the needle, the recall clock, the record step, the bar and the
// chart. A step that fails ends the frame there; what the steps before it set stays. A window
// shows each result through the hooks as it comes; without hooks the same values are computed
// and kept for the caller.
class FrameSequence
{
public:
    // The points where a window shows what the sequence has reached. The decoder's own steps
    // come through FrameDecoder::StepWatcher.
    class Hooks : public FrameDecoder::StepWatcher
    {
    public:
        // Before anything else: a frame has come.
        virtual void frameStarted() { }
        virtual void scaleSelected(const DisplayValues::Scale &) { }
        // The numeric value is known: alarms and the min/max tracker.
        virtual void valueComputed(const Reading &) { }
        // The dial is redrawn for the scale, the needle at its rest.
        virtual void needleReset(const DialScale &) { }
        virtual void needleMoved(int) { }
        // The time a row taken from this frame carries: the hook may move a recall clock on
        // and set the time, or fail and end the frame. Given the caller's time of day.
        virtual FrameDecoder::Result recallClock(QTime &) { return {}; }
        virtual void barMoved(int) { }
        virtual void charted(int) { }
    };

    FrameSequence(DisplayState &state, TableRecorder &recorder);

    // Runs the steps for a frame that its assembler accepts.
    FrameDecoder::Result run(QStringView frame, const QTime &timeOfDay, Hooks *hooks = nullptr);

    // What the last frame gave, for the steps it reached (earlier values stay otherwise).
    int framesRun() const { return m_framesRun; }
    int needlePosition() const { return m_needlePosition; }
    int barPosition() const { return m_barPosition; }
    int barMaximum() const { return m_barMaximum; }
    // Whether the chart takes the last frame (judged before the record step) and its value.
    bool charted() const { return m_charted; }
    int chartValue() const { return m_chartValue; }
    // Whether the last frame became a row (even when a later step failed), and its number.
    bool recorded() const { return m_recorded; }
    qint32 recordedNo() const { return m_recordedNo; }

private:
    // One body for both: with the window's hooks, and with none at no cost per step.
    template<class StepHooks>
    FrameDecoder::Result runSteps(QStringView frame, QTime time, StepHooks &hooks,
                                  FrameDecoder::StepWatcher *watcher);

    DisplayState &m_state;
    TableRecorder &m_recorder;
    int m_framesRun = 0;
    int m_needlePosition = 0;
    int m_barPosition = 20;
    int m_barMaximum = 40;
    int m_chartValue = 0;
    bool m_charted = false;
    bool m_recorded = false;
    qint32 m_recordedNo = 0;
};
