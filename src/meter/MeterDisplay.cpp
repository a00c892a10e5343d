#include "meter/MeterDisplay.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "meter/LcdPanel.h"
#include "support/Clock.h"
#include "support/LocaleTexts.h"
#include "support/StrictInt.h"

#include <QLabel>
#include "meter/BarGraph.h"

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
                           LcdPanel &panel)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
    , m_panel(panel)
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

    return moveBar();
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
