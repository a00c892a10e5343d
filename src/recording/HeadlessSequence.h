#pragma once

#include "meter/DisplayValues.h"
#include "meter/FrameDecoder.h"
#include "meter/Reading.h"
#include "recording/ReadingTable.h"
#include "recording/RecordStep.h"

#include <QString>
#include <QStringView>
#include <QTime>

// The window's per-frame display sequence without the window: the same decoder steps, scale,
// needle, chart conditions, record step, bar and chart value, in the same order, ending the
// frame at the same failing step. Alarms, the min/max tracker and the recall clock are left out:
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
    FrameDecoder::Result run(QStringView frame, const QTime &timeOfDay);

    // One second of the sampling tick.
    void tick() { RecordStep::tick(m_switches.samplingInterval, m_countdown); }

    RecordSwitches &switches() { return m_switches; }
    RecordCounters &counters() { return m_counters; }
    const RecordCounters &counters() const { return m_counters; }
    qint32 countdown() const { return m_countdown; }

    const Reading &reading() const { return m_reading; }
    ReadingTable &table() { return m_table; }
    const ReadingTable &table() const { return m_table; }

    // What the last frame gave, for the steps it reached (earlier values stay otherwise).
    const QString &scaleCode() const { return m_scale.scaleCode; }
    int needlePosition() const { return m_needlePosition; }
    int barPosition() const { return m_barPosition; }
    // Whether the chart took the last frame, and the value it took.
    bool charted() const { return m_charted; }
    int chartValue() const { return m_chartValue; }
    // Whether the last frame became a row (even when a later step failed), and its number.
    bool recorded() const { return m_recorded; }
    qint32 recordedNo() const { return m_recordedNo; }

private:
    FrameDecoder::Result runSteps(QStringView frame, const QTime &timeOfDay);

    QString m_decimalSeparator;
    QString m_timeSeparator;
    Reading m_reading;
    DisplayValues::Scale m_scale {u"4"_qs, DialScale {4000, 400, 40, 80}, 40};
    RecordSwitches m_switches;
    RecordCounters m_counters;
    qint32 m_countdown = 0;
    ReadingTable m_table;

    int m_needlePosition = 0;
    int m_barPosition = 20;
    int m_chartValue = 0;
    bool m_charted = false;
    bool m_recorded = false;
    qint32 m_recordedNo = 0;
};
