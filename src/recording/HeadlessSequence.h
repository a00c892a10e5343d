#pragma once

#include "meter/DisplayState.h"
#include "meter/FrameDecoder.h"
#include "meter/FrameSequence.h"
#include "recording/ReadingTable.h"
#include "recording/RecordStep.h"
#include "recording/TableRecorder.h"

#include <QString>
#include <QStringView>
#include <QTime>

// The per-frame sequence without a window: the frame sequence with no hooks, its state, the
// table and the record rules. Alarms, the min/max tracker and the recall clock are left out:
// rows carry the time of day given with the frame.
//
// One Reading lives across frames, as in the window: texts a frame does not assign (the range
// of a temperature reading, for one) keep what an earlier frame left.
class HeadlessSequence
{
public:
    HeadlessSequence(QString decimalSeparator, QString timeSeparator);

    // Runs the sequence for one frame that FrameAssembler::plausible accepts. A row the record
    // step takes is stamped with timeOfDay and appended to the table.
    FrameDecoder::Result run(QStringView frame, const QTime &timeOfDay)
    {
        return m_sequence.run(frame, timeOfDay);
    }

    TableRecorder &recorder() { return m_recorder; }
    RecordCounters &counters() { return m_counters; }
    const RecordCounters &counters() const { return m_counters; }
    qint32 countdown() const { return m_countdown; }

    const Reading &reading() const { return m_state.reading; }
    ReadingTable &table() { return m_table; }
    const ReadingTable &table() const { return m_table; }

    // What the last frame gave, for the steps it reached (earlier values stay otherwise).
    const QString &scaleCode() const { return m_state.scaleCode; }
    int needlePosition() const { return m_sequence.needlePosition(); }
    int barPosition() const { return m_sequence.barPosition(); }
    // Whether the chart took the last frame, and the value it took.
    bool charted() const { return m_sequence.charted(); }
    int chartValue() const { return m_sequence.chartValue(); }
    // Whether the last frame became a row (even when a later step failed), and its number.
    bool recorded() const { return m_sequence.recorded(); }
    qint32 recordedNo() const { return m_sequence.recordedNo(); }

private:
    DisplayState m_state;
    RecordCounters m_counters;
    qint32 m_countdown = 0;
    ReadingTable m_table;
    TableRecorder m_recorder {m_table, m_counters, m_countdown};
    FrameSequence m_sequence {m_state, m_recorder};
};
