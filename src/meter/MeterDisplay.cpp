#include "meter/MeterDisplay.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "chart/AlarmLimits.h"
#include "chart/AnalogDial.h"
#include "chart/ChartControl.h"
#include "meter/BarGraph.h"
#include "meter/LcdPanel.h"
#include "recording/ReadingRecorder.h"
#include "support/Clock.h"
#include "support/LocaleTexts.h"
#include "support/StrictInt.h"

#include <QCheckBox>
#include <QLabel>
#include <QToolButton>

namespace {

bool isText(const QString &text, char16_t c)
{
    return text.size() == 1 && text.front() == c;
}

bool isOverload(const Reading &r) // either sign: digits 2 and 3 read "0@"
{
    return isText(r.digitTexts[1], u'0') && isText(r.digitTexts[2], u'@');
}

bool isOpenInput(const Reading &r)
{
    return isText(r.digitTexts[0], u'o') && isText(r.digitTexts[1], u'p');
}

} // namespace

MeterDisplay::MeterDisplay(FormControls &controls, RunState &state, Services &services,
                           LcdPanel &panel, AlarmLimits &limits, ChartControl &chart,
                           ReadingRecorder &recorder)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
    , m_panel(panel)
    , m_limits(limits)
    , m_chart(chart)
    , m_recorder(recorder)
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
    const Reading &r = m_state.reading;
    const DialScale &scale = m_state.dialScale;
    AnalogDial &dial = *m_controls.KD1;
    dial.KDsetup(1);
    dial.KDrun(scale.needleOffset);
    if (isText(r.digitTexts[2], u'@')) {
        m_needlePosition = r.signText.isEmpty() ? scale.dialSteps * 10 : 0;
    } else if (isOpenInput(r)) {
        m_needlePosition = 0;
    } else {
        // The temperature scale reads all four digits, the others the leading three.
        const int digitCount = m_state.scaleCode == u"13" ? 4 : 3;
        QString text = r.signText;
        for (int i = 0; i < digitCount; ++i)
            text += r.digitTexts[i];
        const std::optional<qint32> v = strictToInt(text);
        if (!v)
            return ConversionError{text};
        m_needlePosition = *v + scale.needleOffset;
    }
    dial.KDrun(m_needlePosition);
    return {};
}

bool MeterDisplay::chartConditions() const
{
    const RecordCounters &c = m_state.counters;
    return c.RecordLimit >= c.RecordedCount
        && (!m_controls.RecordSI->isChecked() || m_state.SampleCountdown == 0)
        && (m_controls.RepeatSet->isChecked()
            || m_state.reading.readingKey() != c.LastRecordKey);
}

FrameDecoder::Result MeterDisplay::appendToChart(bool charted)
{
    if (!charted)
        return {};
    const Reading &r = m_state.reading;
    if (isOverload(r)) {
        m_chartValue = r.signText.isEmpty() ? m_state.dialScale.fullScale
                                            : -m_state.dialScale.fullScale;
    } else if (isOpenInput(r)) {
        m_chartValue = 0;
    } else {
        const QString text = r.signText + r.digitTexts[0] + r.digitTexts[1] + r.digitTexts[2]
            + r.digitTexts[3];
        const std::optional<qint32> v = strictToInt(text);
        if (!v)
            return ConversionError{text};
        m_chartValue = *v;
    }
    m_controls.Bt10->setText(QString::number(m_chart.AppendValue(double(m_chartValue))));
    return {};
}

void MeterDisplay::selectScale()
{
    const Reading &r = m_state.reading;
    int barMaximum = 40;
    if (r.functionText == u"CAP") {
        barMaximum = 100;
        m_state.scaleCode = u"10"_qs;
        m_state.dialScale = DialScale{1000, 1000, 100, 200};
    } else if (isText(r.unitText, u'#') || isText(r.unitText, u'?')) {
        barMaximum = 10;
        m_state.scaleCode = u"13"_qs;
        m_state.dialScale = DialScale{1000, 1000, 100, 200};
    } else {
        m_state.scaleCode = u"4"_qs;
        m_state.dialScale = DialScale{4000, 400, 40, 80};
    }
    m_controls.PBar2->setMaximum(barMaximum);
}

FrameDecoder::Result MeterDisplay::moveBar()
{
    const Reading &r = m_state.reading;
    if (isOverload(r)) {
        m_barPosition = m_state.dialScale.barMax;
    } else if (isOpenInput(r)) {
        m_barPosition = 0;
    } else {
        const QString leading = r.digitTexts[0] + r.digitTexts[1];
        const std::optional<qint32> v = strictToInt(leading);
        if (!v)
            return ConversionError{leading};
        m_barPosition = *v < 2 ? 1 : *v;
    }
    m_controls.PBar2->setValue(m_barPosition);
    return {};
}
