#include "meter/FrameSequence.h"

#include "recording/TableRecorder.h"

namespace {

// The hooks of a sequence that shows nothing.
struct NoHooks
{
    void frameStarted() { }
    void scaleSelected(const DisplayValues::Scale &) { }
    void valueComputed(const Reading &) { }
    void needleReset(const DialScale &) { }
    void needleMoved(int) { }
    FrameDecoder::Result recallClock(QTime &) { return {}; }
    void barMoved(int) { }
    void charted(int) { }
};

} // namespace

FrameSequence::FrameSequence(DisplayState &state, TableRecorder &recorder)
    : m_state(state)
    , m_recorder(recorder)
{
}

FrameDecoder::Result FrameSequence::run(QStringView frame, const QTime &timeOfDay, Hooks *hooks)
{
    ++m_framesRun;
    m_charted = false;
    m_recorded = false;
    if (hooks)
        return runSteps(frame, timeOfDay, *hooks, hooks);
    NoHooks none;
    return runSteps(frame, timeOfDay, none, nullptr);
}

template<class StepHooks>
FrameDecoder::Result FrameSequence::runSteps(QStringView frame, QTime time, StepHooks &hooks,
                                             FrameDecoder::StepWatcher *watcher)
{
    using namespace FrameDecoder;
    Reading &r = m_state.reading;

    hooks.frameStarted();
    if (Result failure = decodeTexts(r, frame, m_state.DecimalSeparatorText, watcher))
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
