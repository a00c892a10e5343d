#include "meter/FrameSequence.h"

#include "recording/TableRecorder.h"

FrameSequence::FrameSequence(DisplayState &state, TableRecorder &recorder)
    : m_state(state)
    , m_recorder(recorder)
{
}

FrameDecoder::Result FrameSequence::run(QStringView frame, const QTime &timeOfDay, Hooks *hooks)
{
    static Hooks none;
    ++m_framesRun;
    m_charted = false;
    m_recorded = false;
    return runSteps(frame, timeOfDay, hooks ? *hooks : none, hooks != nullptr);
}

FrameDecoder::Result FrameSequence::runSteps(QStringView frame, QTime time, Hooks &hooks,
                                             bool watched)
{
    using namespace FrameDecoder;
    Reading &r = m_state.reading;

    hooks.frameStarted();
    if (Result failure
        = decodeTexts(r, frame, m_state.DecimalSeparatorText, watched ? &hooks : nullptr))
        return failure;

    DisplayValues::Scale scale = DisplayValues::selectScale(r);
    m_state.scaleCode = std::move(scale.scaleCode);
    m_state.dialScale = scale.dialScale;
    m_barMaximum = scale.barMaximum;
    hooks.scaleSelected(scale);
    if (Result failure = computeNumericValue(r, m_state.dialScale.fullScale))
        return failure;
    hooks.valueComputed(r);

    hooks.needleReset(m_state.dialScale);
    const DisplayValues::Scale current {m_state.scaleCode, m_state.dialScale, m_barMaximum};
    if (Result failure = DisplayValues::needlePosition(r, current, m_needlePosition))
        return failure;
    hooks.needleMoved(m_needlePosition);

    // A reading the recall clock cannot stamp is neither recorded nor charted.
    if (Result failure = hooks.recallClock(time))
        return failure;
    // The chart takes the frames the record step would take, judged before that step changes
    // the key and the countdown it compares with.
    m_charted = DisplayValues::chartConditions(r, m_recorder.switches(), m_recorder.counters(),
                                               m_recorder.countdown());
    if (Result failure = m_recorder.record(r, time, m_state.TimeSeparatorText))
        return failure;
    if (m_recorder.recorded()) {
        m_recorded = true;
        m_recordedNo = m_recorder.recordedNo();
    }

    if (Result failure = DisplayValues::barPosition(r, m_state.dialScale, m_barPosition))
        return failure;
    hooks.barMoved(m_barPosition);

    if (!m_charted)
        return {};
    if (Result failure = DisplayValues::chartValue(r, m_state.dialScale, m_chartValue))
        return failure;
    hooks.charted(m_chartValue);
    return {};
}
