#include "recording/RecordStep.h"

#include "meter/Reading.h"
#include "support/LocaleTexts.h"
#include "support/StrictInt.h"

namespace RecordStep {

std::optional<ConversionError> reloadCountdown(const QString &intervalText, qint32 &countdown)
{
    if (intervalText.isEmpty() || intervalText == u"-" || intervalText == u"+") {
        countdown = 0;
        return std::nullopt;
    }
    const std::optional<qint32> value = strictToInt(intervalText);
    if (!value)
        return ConversionError {intervalText};
    countdown = *value;
    return std::nullopt;
}

Outcome take(const Reading &r, const RecordSwitches &switches, RecordCounters &c, qint32 &countdown,
             const QTime &recordTime, const QString &timeSeparator)
{
    if (c.RecordedCount >= c.RecordLimit)
        return {};
    if (switches.samplingInterval && countdown != 0)
        return {};
    QString key = r.readingKey();
    if (!switches.repeat && key == c.LastRecordKey)
        return {};
    c.LastRecordKey = std::move(key);
    if (std::optional<ConversionError> failure = reloadCountdown(switches.intervalText, countdown))
        return {std::nullopt, failure};
    ++c.RecordedCount;

    ReadingTable::Row row;
    row.value = r.valueText;
    row.nval = qint32(r.numericValue);
    row.time = LocaleTexts::recordTimeText(recordTime, timeSeparator);
    row.no = c.RecordNo;
    row.dcAc = r.functionText;
    row.unit = r.unitText;
    row.autoText = r.autoText;
    row.range = r.rangeText;
    ++c.RecordNo;
    return {std::move(row), std::nullopt};
}

void tick(bool samplingInterval, qint32 &countdown)
{
    if (samplingInterval && countdown > 0)
        --countdown;
}

} // namespace RecordStep

void RecallClock::advance(qint32 interval)
{
    // Carrying one minute at a time, as a loop would, but in whole steps: a large interval
    // must not keep the display waiting.
    qint64 s = qint64(second) + interval;
    if (s <= 59) {
        second = qint32(s);
        return;
    }
    const qint64 carries = (s - 60) / 60 + 1;
    second = qint32(s - carries * 60);
    qint64 hours = 0;
    qint64 m = minute;
    qint64 left = carries;
    if (m > 59) {
        // A minute typed beyond 59 wraps on the first carry.
        m = m + 1 - 60;
        hours = 1;
        --left;
    }
    m += left;
    hours += m / 60;
    m %= 60;
    minute = qint32(m);
    if (hours > 0) {
        qint64 h = hour;
        if (h > 23) {
            h = 0;
            --hours;
        } else {
            h += 1;
            --hours;
            if (h > 23)
                h = 0;
        }
        h = (h + hours) % 24;
        hour = qint32(h);
    }
}
