#include "meter/MeterDisplay.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "chart/AlarmLimits.h"
#include "chart/AnalogDial.h"
#include "chart/ChartControl.h"
#include "meter/BarGraph.h"
#include "meter/DisplayValues.h"
#include "meter/LcdPanel.h"
#include "recording/ReadingRecorder.h"
#include "recording/SamplingClock.h"
#include "support/Clock.h"
#include "support/LocaleTexts.h"

#include <QCheckBox>
#include <QLabel>
#include <QToolButton>

MeterDisplay::MeterDisplay(FormControls &controls, RunState &state, Services &services,
                           LcdPanel &panel, AlarmLimits &limits, ChartControl &chart,
                           ReadingRecorder &recorder, SamplingClock &sampling)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
    , m_panel(panel)
    , m_limits(limits)
    , m_chart(chart)
    , m_recorder(recorder)
    , m_sampling(sampling)
{
}

FrameDecoder::Result MeterDisplay::LcdDisplayGostel()
{
    const FrameDecoder::Result result = runSequence();
    // Whatever step the frame reached, the panel shows what the steps before it set.
    m_panel.commit();
    return result;
}

FrameDecoder::Result MeterDisplay::runSequence()
{
    using namespace FrameDecoder;
    Reading &r = m_state.reading;
    const QString &frame = m_state.ReadingFrame;
    ++m_framesShown;

    m_controls.conok->show();
    m_controls.conokn->hide();
    m_state.LinkSilenceCount = 0;

    if (Result failure = decodeBits(r, frame))
        return failure;
    clearTexts(r);

    m_panel.blank();
    m_panel.setClockText(
        LocaleTexts::clockLabelText(m_services.clock.now(), m_state.TimeSeparatorText));
    m_controls.USBtxt->setText(frame);
    m_panel.showSend();

    if (Result failure = decodeFunction(r, frame))
        return failure;
    if (r.markersValid)
        m_panel.showFunction(r);

    decodeDigitsAndFlags(r, frame);
    m_panel.showFlags(r);

    decodeSeparatorsAndSign(r, m_state.DecimalSeparatorText);
    m_panel.showDecimalPoint(r.decimalPoint);

    m_panel.setDigits(r.digitTexts);

    buildValueText(r);

    selectScale();
    if (Result failure = computeNumericValue(r, m_state.dialScale.fullScale))
        return failure;

    m_limits.alarmTest(r.numericValue);
    m_limits.trackMinMax(r.numericValue, r.valueText, r.unitText);
    if (Result failure = moveNeedle())
        return failure;

    // A reading the recall clock cannot stamp is neither recorded nor charted.
    if (Result failure = m_sampling.advanceRecallClock())
        return failure;
    // The chart takes the frames the record step would take, judged before that step changes
    // the key and the countdown it compares with.
    const bool charted = chartConditions();
    if (Result failure = m_recorder.INDataToTable())
        return failure;
    if (Result failure = moveBar())
        return failure;
    return appendToChart(charted);
}

FrameDecoder::Result MeterDisplay::moveNeedle()
{
    const DialScale &scale = m_state.dialScale;
    AnalogDial &dial = *m_controls.KD1;
    dial.KDsetup(1);
    dial.KDrun(scale.needleOffset);
    const DisplayValues::Scale current {m_state.scaleCode, scale, 0};
    if (FrameDecoder::Result failure
        = DisplayValues::needlePosition(m_state.reading, current, m_needlePosition))
        return failure;
    dial.KDrun(m_needlePosition);
    return {};
}

bool MeterDisplay::chartConditions() const
{
    return DisplayValues::chartConditions(m_state.reading, m_recorder.switches(), m_state.counters,
                                          m_state.SampleCountdown);
}

FrameDecoder::Result MeterDisplay::appendToChart(bool charted)
{
    if (!charted)
        return {};
    if (FrameDecoder::Result failure
        = DisplayValues::chartValue(m_state.reading, m_state.dialScale, m_chartValue))
        return failure;
    m_controls.Bt10->setText(QString::number(m_chart.AppendValue(double(m_chartValue))));
    return {};
}

void MeterDisplay::selectScale()
{
    DisplayValues::Scale scale = DisplayValues::selectScale(m_state.reading);
    m_state.scaleCode = std::move(scale.scaleCode);
    m_state.dialScale = scale.dialScale;
    m_controls.PBar2->setMaximum(scale.barMaximum);
}

FrameDecoder::Result MeterDisplay::moveBar()
{
    if (FrameDecoder::Result failure
        = DisplayValues::barPosition(m_state.reading, m_state.dialScale, m_barPosition))
        return failure;
    m_controls.PBar2->setValue(m_barPosition);
    return {};
}
