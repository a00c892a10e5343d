#include "meter/MeterDisplay.h"

#include "chart/AlarmLimits.h"
#include "chart/AnalogDial.h"
#include "chart/ChartControl.h"
#include "links/LinkWatchdog.h"
#include "meter/BarGraph.h"
#include "meter/LcdPanel.h"
#include "recording/ReadingRecorder.h"
#include "recording/SamplingClock.h"
#include "support/Clock.h"
#include "support/ErrorReport.h"
#include "support/LocaleTexts.h"

#include <QLabel>
#include <QToolButton>

MeterDisplay::MeterDisplay(const Controls &controls, DisplayState &state, Clock &clock,
                           ErrorReport &errors, const Parts &parts)
    : m_controls(controls)
    , m_state(state)
    , m_clock(clock)
    , m_errors(errors)
    , m_parts(parts)
    , m_sequence(state, parts.recorder.rules())
{
}

void MeterDisplay::keep(const QString &frame)
{
    keepFrame(frame);
}

void MeterDisplay::keepFrame(const QString &frame)
{
    m_state.ReadingFrame = frame;
    m_controls.USBtxt->setText(frame);
}

FrameDecoder::Result MeterDisplay::decode(const QString &)
{
    return LcdDisplayGostel();
}

void MeterDisplay::report(const QString &, const ConversionError &failure)
{
    m_errors.report(failure.message());
}

FrameDecoder::Result MeterDisplay::LcdDisplayGostel()
{
    const FrameDecoder::Result result = m_sequence.run(m_state.ReadingFrame, QTime(), this);
    // Whatever step the frame reached, the panel shows what the steps before it set.
    m_controls.Panel1->commit();
    m_controls.KD1->commit();
    return result;
}

void MeterDisplay::frameStarted()
{
    m_parts.watchdog.frameArrived();
}

void MeterDisplay::textsCleared(const Reading &)
{
    LcdPanel &panel = *m_controls.Panel1;
    panel.blank();
    panel.setClockText(LocaleTexts::clockLabelText(m_clock.now(), m_state.TimeSeparatorText));
    m_controls.USBtxt->setText(m_state.ReadingFrame);
    panel.showSend();
}

void MeterDisplay::functionDecoded(const Reading &r)
{
    if (r.markersValid)
        m_controls.Panel1->showFunction(r);
}

void MeterDisplay::flagsDecoded(const Reading &r)
{
    m_controls.Panel1->showFlags(r);
}

void MeterDisplay::signDecoded(const Reading &r)
{
    m_controls.Panel1->showDecimalPoint(r.decimalPoint);
    m_controls.Panel1->setDigits(r.digitTexts);
}

void MeterDisplay::scaleSelected(const DisplayValues::Scale &scale)
{
    m_controls.PBar2->setMaximum(scale.barMaximum);
}

void MeterDisplay::valueComputed(const Reading &r)
{
    m_parts.limits.alarmTest(r.numericValue);
    m_parts.limits.trackMinMax(r.numericValue, r.valueText, r.unitText);
}

void MeterDisplay::needleReset(const DialScale &scale)
{
    m_controls.KD1->KDsetup(1);
    m_controls.KD1->KDrun(scale.needleOffset);
}

void MeterDisplay::needleMoved(int position)
{
    m_controls.KD1->KDrun(position);
}

FrameDecoder::Result MeterDisplay::recallClock(QTime &time)
{
    if (FrameDecoder::Result failure = m_parts.sampling.advanceRecallClock())
        return failure;
    time = m_parts.recorder.recordTime();
    return {};
}

void MeterDisplay::barMoved(int position)
{
    m_controls.PBar2->setValue(position);
}

void MeterDisplay::charted(int value)
{
    m_controls.Bt10->setText(QString::number(m_parts.chart.AppendValue(double(value))));
}
