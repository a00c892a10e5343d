#include "recording/TableRecorder.h"

#include "recording/RecordJournal.h"

#include <QTimer>

TableRecorder::TableRecorder(ReadingTable &table, RecordCounters &counters, qint32 &countdown)
    : m_table(table)
    , m_counters(counters)
    , m_countdown(countdown)
{
}

void TableRecorder::tick()
{
    RecordStep::tick(switches().samplingInterval, m_countdown);
}

std::optional<ConversionError> TableRecorder::reloadCountdown(const QString &intervalText)
{
    return RecordStep::reloadCountdown(intervalText, m_countdown);
}

std::optional<ConversionError> TableRecorder::record(const Reading &reading, const QTime &time,
                                                     const QString &timeSeparator)
{
    m_recorded = false;
    // Out of memory, the table takes nothing more until it has been emptied.
    if (m_memoryFull)
        return {};
    RecordStep::Outcome outcome
        = RecordStep::take(reading, switches(), m_counters, m_countdown, time, timeSeparator);
    if (!outcome.failure && outcome.row)
        append(*outcome.row);
    noteLimit();
    return outcome.failure;
}

void TableRecorder::append(const ReadingTable::Row &row)
{
    if (!m_table.append(row)) {
        // The row was not stored: it neither counts nor takes a number.
        --m_counters.RecordedCount;
        --m_counters.RecordNo;
        runShort();
        return;
    }
    if (m_journal)
        m_journal->append(row);
    m_recorded = true;
    m_recordedNo = row.no.value_or(0);
    // A row just taken starts a whole new interval: restarting the tick keeps the spacing of
    // rows at the interval instead of somewhere up to a second short of it.
    if (m_tick && m_tick->isActive())
        m_tick->start();
    if (onRowRecorded)
        onRowRecorded();
}

void TableRecorder::noteLimit()
{
    if (m_counters.RecordedCount < m_counters.RecordLimit) {
        m_limitReached = false;
        return;
    }
    if (m_limitReached)
        return;
    m_limitReached = true;
    if (onLimitReached)
        onLimitReached();
}

bool TableRecorder::appendOutsideRules(const ReadingTable::Row &row)
{
    if (m_table.append(row)) {
        if (m_journal)
            m_journal->append(row);
        return true;
    }
    --m_counters.RecordNo;
    runShort();
    return false;
}

void TableRecorder::runShort()
{
    if (m_memoryFull)
        return;
    m_memoryFull = true;
    if (onMemoryFull)
        onMemoryFull();
}
