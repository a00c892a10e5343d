#pragma once

#include "recording/ReadingTable.h"
#include "support/ConversionError.h"

#include <QString>
#include <QTime>
#include <optional>

struct Reading;

// Counters of the record step.
struct RecordCounters
{
    qint32 RecordNo = 1;
    qint32 RecordedCount = 0;
    qint32 RecordLimit = 10000;
    QString LastRecordKey;
};

// The settings the record step reads: the "Sampling Interval" and "Repeat" boxes and the
// interval's text.
struct RecordSwitches
{
    bool samplingInterval = false;
    bool repeat = true;
    QString intervalText = u"1"_qs;
};

// The rules that decide whether a decoded reading becomes a row. Shared by the window and the
// headless recorder, so both record the same rows from the same stream.
namespace RecordStep {

// The sampling countdown from the interval text: 0 for "", "-" or "+", else its whole number.
std::optional<ConversionError> reloadCountdown(const QString &intervalText, qint32 &countdown);

struct Outcome
{
    std::optional<ReadingTable::Row> row; // the row to append, when one is taken
    std::optional<ConversionError> failure; // the interval text holds no number
};

// One reading through the limit, the sampling countdown and the Repeat rule. Updates the
// counters and the countdown as a taken row does; the caller appends the row.
Outcome take(const Reading &reading, const RecordSwitches &switches, RecordCounters &counters,
             qint32 &countdown, const QTime &recordTime, const QString &timeSeparator);

// One second of the sampling tick: lowers the countdown while sampling is on and it is above 0.
void tick(bool samplingInterval, qint32 &countdown);

} // namespace RecordStep

// The recall clock: a time line that starts at a chosen time and moves on by a fixed number of
// seconds for every decoded reading.
struct RecallClock
{
    qint32 hour = 0;
    qint32 minute = 0;
    qint32 second = 0;

    // Adds the interval to the seconds and carries whole minutes into the minute and whole
    // hours into the hour; past 23 the hour starts again at 0.
    void advance(qint32 interval);
    // The clock as a time of day (invalid when a field lies outside the day's ranges).
    QTime time() const { return QTime(hour, minute, second); }
};
