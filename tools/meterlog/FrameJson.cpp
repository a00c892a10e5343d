#include "FrameJson.h"

#include "TimeOfDay.h"
#include "recording/HeadlessSequence.h"

namespace {

void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendKey(QByteArray &out, const char *key)
{
    if (out.size() > 1)
        out += ',';
    out += '"';
    out += key;
    out += "\":";
}

void field(QByteArray &out, const char *key, const QString &text)
{
    appendKey(out, key);
    appendString(out, text);
}

void field(QByteArray &out, const char *key, qint64 number)
{
    appendKey(out, key);
    out += QByteArray::number(number);
}

void field(QByteArray &out, const char *key, bool on)
{
    appendKey(out, key);
    out += on ? "true" : "false";
}

QByteArray flags(const Reading &r)
{
    QByteArray out("{");
    field(out, "hv", r.highVoltage);
    field(out, "negative", r.negative);
    field(out, "lowBattery", r.lowBattery);
    field(out, "overload", r.overload);
    field(out, "hold", r.hold);
    field(out, "max", r.maxMode);
    field(out, "min", r.minMode);
    field(out, "auto", r.autoRange);
    field(out, "manual", r.manualRange);
    field(out, "open", r.openInput);
    out += '}';
    return out;
}

void timeFields(QByteArray &out, const TimeOfDay &clock)
{
    field(out, "time", clock.text());
    appendKey(out, "timestamp");
    out += '"';
    clock.appendStamp(out);
    out += '"';
}

void recordedFields(QByteArray &out, const HeadlessSequence &s)
{
    field(out, "recorded", s.recorded());
    if (s.recorded())
        field(out, "row", qint64(s.recordedNo()));
}

} // namespace

namespace FrameJson {

QByteArray reading(const TimeOfDay &clock, const QString &frame, const HeadlessSequence &s)
{
    const Reading &r = s.reading();
    QByteArray out("{");
    out.reserve(512);
    timeFields(out, clock);
    field(out, "frame", frame);
    field(out, "function", r.functionText);
    field(out, "value", r.valueText);
    field(out, "unit", r.unitText);
    field(out, "range", r.rangeText);
    field(out, "auto", r.autoText);
    appendKey(out, "numeric");
    // Counts are whole numbers well inside a float's exact range.
    out += QByteArray::number(double(r.numericValue), 'g', 10);
    appendKey(out, "flags");
    out += flags(r);
    field(out, "scaleCode", s.scaleCode());
    field(out, "needle", qint64(s.needlePosition()));
    field(out, "bar", qint64(s.barPosition()));
    appendKey(out, "chart");
    out += s.charted() ? QByteArray::number(s.chartValue()) : QByteArray("null");
    recordedFields(out, s);
    out += "}\n";
    return out;
}

QByteArray failure(const TimeOfDay &clock, const QString &frame, const ConversionError &error,
                   const HeadlessSequence &s)
{
    QByteArray out("{");
    timeFields(out, clock);
    field(out, "error", error.message());
    field(out, "frame", frame);
    recordedFields(out, s);
    out += "}\n";
    return out;
}

QByteArray dropped(const TimeOfDay &clock, const QString &frame)
{
    QByteArray out("{");
    timeFields(out, clock);
    field(out, "dropped", frame);
    out += "}\n";
    return out;
}

} // namespace FrameJson
