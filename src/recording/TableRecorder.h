#pragma once

#include "recording/ReadingTable.h"
#include "recording/RecordStep.h"
#include "support/ConversionError.h"

#include <QTime>
#include <functional>
#include <optional>

class QTimer;
class RecordJournal;
struct Reading;

// The record rules around the table, for the window and the headless recorder alike: the record
// step (limit, sampling countdown, Repeat rule), the counters, the append, and the two things a
// taken row sets off: the sampling tick starts a whole new interval, and when memory runs short
// the row is given back and the table takes nothing more until it is emptied.
class TableRecorder
{
public:
    using SwitchesSource = std::function<RecordSwitches()>;

    TableRecorder(ReadingTable &table, RecordCounters &counters, qint32 &countdown);

    ReadingTable &table() { return m_table; }
    const ReadingTable &table() const { return m_table; }
    RecordCounters &counters() { return m_counters; }
    const RecordCounters &counters() const { return m_counters; }
    qint32 countdown() const { return m_countdown; }

    // The switches the record step reads: given once, or read afresh for every reading.
    void setSwitches(const RecordSwitches &switches) { m_switches = switches; }
    void setSwitchesSource(SwitchesSource source) { m_switchesSource = std::move(source); }
    const RecordSwitches &switches()
    {
        if (m_switchesSource)
            m_switches = m_switchesSource();
        return m_switches;
    }

    // Where every row taken is also kept until it is saved (none: rows live in the table alone).
    void setJournal(RecordJournal *journal) { m_journal = journal; }
    RecordJournal *journal() const { return m_journal; }

    // The sampling tick, restarted whenever a row is taken (it need not run).
    void setTick(QTimer *tick) { m_tick = tick; }
    // One second of the sampling tick.
    void tick();
    // Reloads the countdown from the interval text (empty, "-" or "+" count as 0).
    std::optional<ConversionError> reloadCountdown(const QString &intervalText);

    // The record step for a decoded reading. Fails only when the interval text holds no number.
    std::optional<ConversionError> record(const Reading &reading, const QTime &time,
                                          const QString &timeSeparator);
    // Whether the last record step took a row, and its number.
    bool recorded() const { return m_recorded; }
    qint32 recordedNo() const { return m_recordedNo; }

    // Appends a row outside the rules (the recall clock's test command); the row holds the next
    // number already. False when memory ran short.
    bool appendOutsideRules(const ReadingTable::Row &row);

    bool memoryFull() const { return m_memoryFull; }
    // The table was emptied: rows may be taken again.
    void clearMemoryFull() { m_memoryFull = false; }

    // Called after a row was taken and appended.
    std::function<void()> onRowRecorded;
    // Called once when memory runs short, the row not stored.
    std::function<void()> onMemoryFull;
    // Called once when a reading finds the table at its record limit: on the row that fills
    // it, or on the first reading after the limit was lowered below the rows held. Called
    // again only after the table has had room once more (New, a larger limit).
    std::function<void()> onLimitReached;

private:
    void append(const ReadingTable::Row &row);
    void noteLimit();
    void runShort();

    ReadingTable &m_table;
    RecordCounters &m_counters;
    qint32 &m_countdown;
    RecordSwitches m_switches;
    SwitchesSource m_switchesSource;
    QTimer *m_tick = nullptr;
    RecordJournal *m_journal = nullptr;
    bool m_memoryFull = false;
    bool m_limitReached = false;
    bool m_recorded = false;
    qint32 m_recordedNo = 0;
};
