#include "recording/HeadlessSequence.h"

#include <utility>

HeadlessSequence::HeadlessSequence(QString decimalSeparator, QString timeSeparator)
    : m_decimalSeparator(std::move(decimalSeparator))
    , m_timeSeparator(std::move(timeSeparator))
{
}

FrameDecoder::Result HeadlessSequence::run(QStringView frame, const QTime &timeOfDay)
{
    m_charted = false;
    m_recorded = false;
    return runSteps(frame, timeOfDay);
}

FrameDecoder::Result HeadlessSequence::runSteps(QStringView frame, const QTime &timeOfDay)
{
    // The order is MeterDisplay::runSequence's, step for step: moving a step changes which
    // frames become rows when a later step fails.
    using namespace FrameDecoder;
    Reading &r = m_reading;

    if (Result failure = decodeTexts(r, frame, m_decimalSeparator))
        return failure;

    m_scale = DisplayValues::selectScale(r);
    if (Result failure = computeNumericValue(r, m_scale.dialScale.fullScale))
        return failure;
    if (Result failure = DisplayValues::needlePosition(r, m_scale, m_needlePosition))
        return failure;

    // Judged before the record step changes the key and the countdown it compares with.
    m_charted = DisplayValues::chartConditions(r, m_switches, m_counters, m_countdown);
    RecordStep::Outcome outcome
        = RecordStep::take(r, m_switches, m_counters, m_countdown, timeOfDay, m_timeSeparator);
    if (outcome.failure)
        return outcome.failure;
    if (outcome.row && !m_table.append(*outcome.row)) {
        // Out of memory: the row was not stored, and recording stops as at the record limit,
        // so the rows held can still be written.
        --m_counters.RecordedCount;
        --m_counters.RecordNo;
        m_counters.RecordLimit = m_counters.RecordedCount;
    } else if (outcome.row) {
        m_recorded = true;
        m_recordedNo = outcome.row->no.value_or(0);
    }

    if (Result failure = DisplayValues::barPosition(r, m_scale.dialScale, m_barPosition))
        return failure;
    if (!m_charted)
        return {};
    return DisplayValues::chartValue(r, m_scale.dialScale, m_chartValue);
}
