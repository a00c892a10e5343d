#pragma once

#include <QByteArray>
#include <QString>

class HeadlessSequence;
class TimeOfDay;
struct ConversionError;

// The --json lines: one compact object per frame, each ending with a line feed. Each starts with
// "time" (hh:mm:ss) and "timestamp" (ISO 8601 with milliseconds and the offset from UTC), both
// the clock's last reading, taken when the frame was complete.
namespace FrameJson {

// A decoded frame: the reading, the values of the dial, bar and chart, and its row if any.
QByteArray reading(const TimeOfDay &clock, const QString &frame, const HeadlessSequence &sequence);
// A frame that failed at some step; a row the record step took before the failure is named.
QByteArray failure(const TimeOfDay &clock, const QString &frame, const ConversionError &error,
                   const HeadlessSequence &sequence);
// A frame that is not "A" ... "D" and was not decoded.
QByteArray dropped(const TimeOfDay &clock, const QString &frame);

} // namespace FrameJson
