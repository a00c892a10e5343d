#include "recording/HeadlessSequence.h"

#include <utility>

HeadlessSequence::HeadlessSequence(QString decimalSeparator, QString timeSeparator)
{
    m_state.DecimalSeparatorText = std::move(decimalSeparator);
    m_state.TimeSeparatorText = std::move(timeSeparator);
    // Out of memory, recording stops as at the record limit, so the rows held can still be
    // written and the run says why it stopped.
    m_recorder.onMemoryFull = [this] {
        m_counters.RecordLimit = m_counters.RecordedCount;
    };
}
