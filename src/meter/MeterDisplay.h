#pragma once

#include "meter/FrameSequence.h"
#include "meter/FrameSink.h"

#include <QObject>

class AlarmLimits;
class AnalogDial;
class BarGraph;
class ChartControl;
class Clock;
class ErrorReport;
class LcdPanel;
class LinkWatchdog;
class QLabel;
class QToolButton;
class ReadingRecorder;
class SamplingClock;

// The window's frame sink and its per-frame display sequence: takes the frame a link has
// completed, decodes it, rebuilds the replica LCD from it, and hands the reading on to the dial,
// the alarms, the table, the bar graph and the chart, always in the same order.
class MeterDisplay : public QObject, public FrameSink, private FrameSequence::Hooks
{
    Q_OBJECT
public:
    struct Controls
    {
        LcdPanel *Panel1 = nullptr;
        BarGraph *PBar2 = nullptr;
        AnalogDial *KD1 = nullptr;
        QToolButton *Bt10 = nullptr; // the chart's page indicator
        QLabel *USBtxt = nullptr; // the hidden echo of the last frame
    };
    struct Parts
    {
        LinkWatchdog &watchdog;
        AlarmLimits &limits;
        SamplingClock &sampling;
        ReadingRecorder &recorder;
        ChartControl &chart;
    };

    MeterDisplay(const Controls &controls, DisplayState &state, Clock &clock, ErrorReport &errors,
                 const Parts &parts);

    // The sink of the other meter families' frames: kept and echoed, then given to their decoder,
    // which shows nothing.
    FrameSink &otherFamilySink() { return m_otherFamily; }
    void LcdDisplayFerrant() { }

    // Runs the whole sequence for the current frame. On a conversion failure the sequence ends
    // at the failing step and the failure is returned for the caller to report.
    FrameDecoder::Result LcdDisplayGostel();

    // The bar position the last frame asked for (the bar itself shows at most its maximum).
    int barPosition() const { return m_sequence.barPosition(); }
    int framesShown() const { return m_sequence.framesRun(); }
    // The needle position and the chart value of the last frame that got that far.
    int needlePosition() const { return m_sequence.needlePosition(); }
    int chartValue() const { return m_sequence.chartValue(); }

protected:
    void keep(const QString &frame) override;
    FrameDecoder::Result decode(const QString &frame) override;
    void report(const QString &frame, const ConversionError &failure) override;

private:
    void frameStarted() override;
    void textsCleared(const Reading &r) override;
    void functionDecoded(const Reading &r) override;
    void flagsDecoded(const Reading &r) override;
    void signDecoded(const Reading &r) override;
    void scaleSelected(const DisplayValues::Scale &scale) override;
    void valueComputed(const Reading &r) override;
    void needleReset(const DialScale &scale) override;
    void needleMoved(int position) override;
    FrameDecoder::Result recallClock(QTime &time) override;
    void barMoved(int position) override;
    void charted(int value) override;

    Controls m_controls;
    DisplayState &m_state;
    Clock &m_clock;
    ErrorReport &m_errors;
    Parts m_parts;
    FrameSequence m_sequence;

    class OtherFamilySink : public FrameSink
    {
    public:
        explicit OtherFamilySink(MeterDisplay &display)
            : m_display(display)
        {
        }

    protected:
        void keep(const QString &frame) override { m_display.keepFrame(frame); }
        FrameDecoder::Result decode(const QString &) override
        {
            m_display.LcdDisplayFerrant();
            return {};
        }
        void report(const QString &, const ConversionError &) override { }

    private:
        MeterDisplay &m_display;
    };
    void keepFrame(const QString &frame);
    OtherFamilySink m_otherFamily {*this};
};
