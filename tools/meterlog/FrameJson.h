#pragma once

#include <QByteArray>
#include <QString>

class HeadlessSequence;
struct ConversionError;

// The --json lines: one compact object per frame, each ending with a line feed.
namespace FrameJson {

// A decoded frame: the reading, the values of the dial, bar and chart, and its row if any.
QByteArray reading(const QString &time, const QString &frame, const HeadlessSequence &sequence);
// A frame that failed at some step; a row the record step took before the failure is named.
QByteArray failure(const QString &time, const QString &frame, const ConversionError &error,
                   const HeadlessSequence &sequence);
// A frame that is not "A" ... "D" and was not decoded.
QByteArray dropped(const QString &time, const QString &frame);

} // namespace FrameJson
