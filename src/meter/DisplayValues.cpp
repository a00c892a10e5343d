#include "meter/DisplayValues.h"

#include "support/StrictInt.h"

namespace {

bool isText(const QString &text, char16_t c)
{
    return text.size() == 1 && text.front() == c;
}

bool isOverload(const Reading &r) // either sign: digits 2 and 3 read "0@"
{
    return isText(r.digitTexts[1], u'0') && isText(r.digitTexts[2], u'@');
}

bool isOpenInput(const Reading &r)
{
    return isText(r.digitTexts[0], u'o') && isText(r.digitTexts[1], u'p');
}

} // namespace

namespace DisplayValues {

Scale selectScale(const Reading &r)
{
    if (r.functionText == u"CAP")
        return {u"10"_qs, DialScale {1000, 1000, 100, 200}, 100};
    if (isText(r.unitText, u'#') || isText(r.unitText, u'?'))
        return {u"13"_qs, DialScale {1000, 1000, 100, 200}, 10};
    return {u"4"_qs, DialScale {4000, 400, 40, 80}, 40};
}

FrameDecoder::Result needlePosition(const Reading &r, const Scale &scale, int &position)
{
    if (isText(r.digitTexts[2], u'@')) {
        position = r.signText.isEmpty() ? scale.dialScale.dialSteps * 10 : 0;
        return {};
    }
    if (isOpenInput(r)) {
        position = 0;
        return {};
    }
    // The temperature scale reads all four digits, the others the leading three.
    const int digitCount = scale.scaleCode == u"13" ? 4 : 3;
    QString text = r.signText;
    for (int i = 0; i < digitCount; ++i)
        text += r.digitTexts[i];
    const std::optional<qint32> v = strictToInt(text);
    if (!v)
        return ConversionError {text};
    position = *v + scale.dialScale.needleOffset;
    return {};
}

FrameDecoder::Result barPosition(const Reading &r, const DialScale &scale, int &position)
{
    if (isOverload(r)) {
        position = scale.barMax;
        return {};
    }
    if (isOpenInput(r)) {
        position = 0;
        return {};
    }
    const QString leading = r.digitTexts[0] + r.digitTexts[1];
    const std::optional<qint32> v = strictToInt(leading);
    if (!v)
        return ConversionError {leading};
    position = *v < 2 ? 1 : *v;
    return {};
}

FrameDecoder::Result chartValue(const Reading &r, const DialScale &scale, int &value)
{
    if (isOverload(r)) {
        value = r.signText.isEmpty() ? scale.fullScale : -scale.fullScale;
        return {};
    }
    if (isOpenInput(r)) {
        value = 0;
        return {};
    }
    const QString text
        = r.signText + r.digitTexts[0] + r.digitTexts[1] + r.digitTexts[2] + r.digitTexts[3];
    const std::optional<qint32> v = strictToInt(text);
    if (!v)
        return ConversionError {text};
    value = *v;
    return {};
}

bool chartConditions(const Reading &r, const RecordSwitches &switches,
                     const RecordCounters &counters, qint32 countdown)
{
    return counters.RecordLimit >= counters.RecordedCount
        && (!switches.samplingInterval || countdown == 0)
        && (switches.repeat || r.readingKey() != counters.LastRecordKey);
}

} // namespace DisplayValues
