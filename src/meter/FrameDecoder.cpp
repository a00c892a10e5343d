#include "meter/FrameDecoder.h"

#include "support/StrictInt.h"

#include <QList>
#include <algorithm>
#include <array>
#include <initializer_list>

namespace FrameDecoder {
namespace {

constexpr int frameLength = 13;

// Texts are assigned from literals or static storage: copying such a QString neither allocates
// nor touches a reference count, which keeps the per-frame path free of heap traffic.
// One row of the function table. A null text leaves its field as it was ("unchanged"); any
// other text, the empty one included, is assigned.
struct Row
{
    QString function;
    QString unit;
    QString range;
    int decimalPoint = 0;
};

const QString unchanged;

// The rows of one sub code: chosen by the range digit, or a single row when no range is read.
struct Rows
{
    bool readsRange = false;
    QList<Row> byRangeCode;
    Row other; // any range code without a row of its own, or the only row

    const Row &select(int rangeCode) const
    {
        return rangeCode < byRangeCode.size() ? byRangeCode[rangeCode] : other;
    }
};

Rows ranged(QList<Row> byRangeCode, Row other)
{
    return {true, std::move(byRangeCode), std::move(other)};
}

Rows single(Row row)
{
    return {false, {}, std::move(row)};
}

// How a function reads character 3: not at all, compared as text ("0" or anything else), or
// converted to a decimal digit that indexes bySubCode.
enum class SubRead { None, Text, Digit };

struct Function
{
    SubRead subRead = SubRead::None;
    QList<Rows> bySubCode; // for SubRead::Text only the row set of "0"
    Rows otherSub;
    int rangePosition = 4; // frame character that holds the range code
    bool emptiesRange = false;
};

Rows volts(const QString &function)
{
    return ranged({{function, u"V"_qs, u"4 V"_qs, 1},
                   {function, u"V"_qs, u"40 V"_qs, 2},
                   {function, u"V"_qs, u"400 V"_qs, 3},
                   {function, u"V"_qs, u"1000 V"_qs, 0}},
                  {function, u"V"_qs, unchanged, 0});
}

// The two-range current functions: an unknown sub code still sets the unit.
Function current(const QString &unit, Rows direct, Rows alternating)
{
    return {SubRead::Digit,
            {std::move(direct), std::move(alternating)},
            single({unchanged, unit, unchanged, 0})};
}

// Indexed by function code.
const std::array<Function, 9> &functionTable()
{
    static const std::array<Function, 9> functions {{
        // 0 voltage
        {SubRead::Text, {volts(u"DCV"_qs)}, volts(u"ACV"_qs)},
        // 1 millivolts, temperature
        {SubRead::Digit,
         {ranged({{u"DCmv"_qs, u"mV"_qs, u"400 mv"_qs, 3}, {u"DCmv"_qs, u"mV"_qs, u"40 mv"_qs, 2}},
                 {}),
          single({u"TMP"_qs, u"#"_qs, unchanged, 0}), single({u"TMP"_qs, u"?"_qs, unchanged, 0})},
         single({})},
        // 2 resistance, continuity, capacitance
        {SubRead::Digit,
         {ranged({{u"OHM"_qs, u"*"_qs, u"400 *"_qs, 3},
                  {u"OHM"_qs, u"K *"_qs, u"4k *"_qs, 1},
                  {u"OHM"_qs, u"K *"_qs, u"40 k *"_qs, 2},
                  {u"OHM"_qs, u"K *"_qs, u"400k *"_qs, 3},
                  {u"OHM"_qs, u"M *"_qs, u"4M *"_qs, 1},
                  {u"OHM"_qs, u"M *"_qs, u"40 M *"_qs, 2}},
                 {u"OHM"_qs, unchanged, unchanged, 0}),
          single({u"CTN"_qs, unchanged, u"400"_qs, 3}),
          ranged({{u"CAP"_qs, u"nF"_qs, u"10 nF"_qs, 2},
                  {u"CAP"_qs, u"nF"_qs, u"100 nF"_qs, 3},
                  {u"CAP"_qs, u"nF"_qs, u"1000 nF"_qs, 0},
                  {u"CAP"_qs, u"uF"_qs, u"10 uF"_qs, 2},
                  {u"CAP"_qs, u"uF"_qs, u"100 uF"_qs, 3}},
                 {u"CAP"_qs, unchanged, unchanged, 0})},
         single({})},
        // 3 diode
        {SubRead::None, {}, single({u")"_qs, u"v"_qs, u"4v"_qs, 1})},
        // 4 milliamps
        current(
            u"mA"_qs,
            ranged(
                {{u"DCmA"_qs, u"mA"_qs, u"40 mA"_qs, 2}, {u"DCmA"_qs, u"mA"_qs, u"400 mA"_qs, 3}},
                {u"DCmA"_qs, u"mA"_qs, unchanged, 0}),
            ranged({{u"ACmA"_qs, u"mA"_qs, u"40mA"_qs, 2}, {u"ACmA"_qs, u"mA"_qs, u"400mA"_qs, 3}},
                   {u"ACmA"_qs, u"mA"_qs, unchanged, 0})),
        // 5 microamps
        current(u"uA"_qs,
                ranged({{u"DCuA"_qs, u"uA"_qs, u"400uA"_qs, 3},
                        {u"DCuA"_qs, u"uA"_qs, u"4000uA"_qs, 0}},
                       {u"DCuA"_qs, u"uA"_qs, unchanged, 0}),
                ranged({{u"ACuA"_qs, u"uA"_qs, u"400uA"_qs, 3},
                        {u"ACuA"_qs, u"uA"_qs, u"4000uA"_qs, 0}},
                       {u"ACuA"_qs, u"uA"_qs, unchanged, 0})),
        // 6 amps
        current(u"A"_qs,
                ranged({{u"DCA"_qs, u"A"_qs, u"4A"_qs, 1}, {u"DCA"_qs, u"A"_qs, u"10A"_qs, 2}},
                       {u"DCA"_qs, u"A"_qs, unchanged, 0}),
                ranged({{u"ACA"_qs, u"A"_qs, u"4A"_qs, 1}, {u"ACA"_qs, u"A"_qs, u"10A"_qs, 2}},
                       {u"ACA"_qs, u"A"_qs, unchanged, 0})),
        // 7 engine speed, dwell
        {SubRead::Digit,
         {ranged({{u"RPM"_qs, unchanged, u"4CYL"_qs, 0},
                  {u"RPM"_qs, unchanged, u"6CYL"_qs, 0},
                  {u"RPM"_qs, unchanged, u"8CYL"_qs, 0}},
                 {u"RPM"_qs, unchanged, unchanged, 0}),
          ranged({{u"DWL"_qs, u"<"_qs, u"4CYL"_qs, 3},
                  {u"DWL"_qs, u"<"_qs, u"6CYL"_qs, 3},
                  {u"DWL"_qs, u"<"_qs, u"8CYL"_qs, 3}},
                 {u"DWL"_qs, unchanged, unchanged, 3})},
         single({})},
        // 8 frequency: the range comes from character 9, and the old range text never survives
        {SubRead::None,
         {},
         ranged({{u"FRQ"_qs, u"Hz"_qs, u"40Hz"_qs, 2},
                 {u"FRQ"_qs, u"Hz"_qs, u"400Hz"_qs, 3},
                 {u"FRQ"_qs, u"kHz"_qs, u"4kHz"_qs, 1},
                 {u"FRQ"_qs, u"kHz"_qs, u"40kHz"_qs, 2},
                 {u"FRQ"_qs, u"kHz"_qs, u"400kHz"_qs, 3},
                 {u"FRQ"_qs, u"MHz"_qs, u"4MHz"_qs, 1}},
                {u"FRQ"_qs, u"Hz"_qs, unchanged, 0}),
         9,
         true},
    }};
    return functions;
}

// Every ASCII character as a null-terminated one-character text in static storage.
constexpr auto asciiStorage = [] {
    std::array<std::array<char16_t, 2>, 128> storage {};
    for (int c = 0; c < 128; ++c)
        storage[c] = {char16_t(c), u'\0'};
    return storage;
}();

QString characterText(QChar c)
{
    if (c.unicode() < asciiStorage.size())
        return QString::fromRawData(
            reinterpret_cast<const QChar *>(asciiStorage[c.unicode()].data()), 1);
    return QString(c);
}

constexpr auto hexValues = [] {
    std::array<signed char, 128> values {};
    values.fill(-1);
    for (int c = '0'; c <= '9'; ++c)
        values[c] = static_cast<signed char>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        values[c] = values[c + ('a' - 'A')] = static_cast<signed char>(c - 'A' + 10);
    return values;
}();

int hexValue(QChar c)
{
    return c.unicode() < hexValues.size() ? hexValues[c.unicode()] : -1;
}

// Frame character at a 1-based position; U+0000 beyond the end of the frame.
QChar at(QStringView frame, int position)
{
    return position <= frame.size() ? frame[position - 1] : QChar();
}

// A frame character as a text, the way a conversion sees it: empty beyond the end of the frame.
QString textAt(QStringView frame, int position)
{
    return position <= frame.size() ? characterText(frame[position - 1]) : QString();
}

ConversionError errorAt(QStringView frame, int position)
{
    return {textAt(frame, position)};
}

std::optional<int> decimalAt(QStringView frame, int position)
{
    const QChar c = at(frame, position);
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    return std::nullopt;
}

bool isText(const QString &text, char16_t c)
{
    return text.size() == 1 && text.front() == c;
}

// Replaces target with the parts joined, reusing its buffer when nothing else shares it.
void assignJoined(QString &target, std::initializer_list<QStringView> parts)
{
    qsizetype length = 0;
    for (QStringView part : parts)
        length += part.size();
    target.resize(length);
    QChar *out = target.data();
    for (QStringView part : parts)
        out = std::copy(part.begin(), part.end(), out);
}

} // namespace

Result decodeBits(Reading &r, QStringView frame)
{
    std::uint64_t bits = 0;
    for (int position = 1; position <= frameLength; ++position) {
        const int value = position <= frame.size() ? hexValue(frame[position - 1]) : -1;
        if (value < 0)
            return errorAt(frame, position);
        bits = bits << 4 | unsigned(value);
    }
    r.frameBits = bits;
    return {};
}

void clearTexts(Reading &r)
{
    r.functionText.clear();
    r.autoText.clear();
    r.unitText.clear();
}

Result decodeFunction(Reading &r, QStringView frame)
{
    r.markersValid = at(frame, 1) == u'A' && at(frame, frameLength) == u'D';
    if (!r.markersValid) {
        r.decimalPoint = 0;
        return {};
    }

    const auto functionCode = decimalAt(frame, 2);
    if (!functionCode)
        return errorAt(frame, 2);
    const QChar subCode = at(frame, 3);
    const auto &functions = functionTable();
    if (*functionCode >= int(functions.size())) {
        r.functionCode = *functionCode;
        r.subCode = subCode;
        r.decimalPoint = 0;
        return {};
    }

    // Every character the row needs is converted before a field changes, so that a failure
    // leaves the texts as step 2 left them.
    const Function &function = functions[*functionCode];
    const Rows *rows = &function.otherSub;
    switch (function.subRead) {
    case SubRead::None:
        break;
    case SubRead::Text:
        if (subCode == u'0')
            rows = &function.bySubCode.front();
        break;
    case SubRead::Digit: {
        const auto sub = decimalAt(frame, 3);
        if (!sub)
            return errorAt(frame, 3);
        if (*sub < function.bySubCode.size())
            rows = &function.bySubCode[*sub];
        break;
    }
    }

    // Before character 9 is converted: a failing frequency frame keeps no stale range either.
    if (function.emptiesRange)
        r.rangeText.clear();
    const Row *row = &rows->other;
    if (rows->readsRange) {
        const auto rangeCode = decimalAt(frame, function.rangePosition);
        if (!rangeCode)
            return errorAt(frame, function.rangePosition);
        if (function.rangePosition == 9)
            r.frequencyRangeCode = *rangeCode;
        else
            r.rangeCode = *rangeCode;
        row = &rows->select(*rangeCode);
    }

    r.functionCode = *functionCode;
    r.subCode = subCode;
    if (!row->function.isNull())
        r.functionText = row->function;
    if (!row->unit.isNull())
        r.unitText = row->unit;
    if (!row->range.isNull())
        r.rangeText = row->range;
    r.decimalPoint = row->decimalPoint;
    return {};
}

void decodeDigitsAndFlags(Reading &r, QStringView frame)
{
    static const std::array<QString, 4> overloadDigits {u"  "_qs, u"0"_qs, u"@"_qs, u"  "_qs};
    static const std::array<QString, 4> openDigits {u"o"_qs, u"p"_qs, u"e"_qs, u"n"_qs};

    r.overload = r.bit(40);
    if (r.overload) {
        r.digitTexts = overloadDigits;
    } else {
        for (int i = 0; i < 4; ++i)
            r.digitTexts[i] = textAt(frame, 5 + i);
    }
    r.highVoltage = r.bit(37);
    r.negative = r.bit(38);
    r.lowBattery = r.bit(39);
    r.hold = r.bit(41);
    r.maxMode = r.bit(42);
    r.minMode = r.bit(43);
    r.autoRange = r.bit(44);
    if (r.autoRange)
        r.autoText = u"Auto"_qs;
    r.manualRange = r.bit(45);
    if (r.manualRange)
        r.autoText = u"Manu"_qs;
    r.openInput = r.bit(48);
    if (r.openInput)
        r.digitTexts = openDigits;
}

void decodeSeparatorsAndSign(Reading &r, const QString &decimalSeparator)
{
    for (int n = 1; n <= 3; ++n) {
        if (r.decimalPoint == n)
            r.separatorTexts[n - 1] = decimalSeparator;
        else
            r.separatorTexts[n - 1].clear();
    }
    if (r.negative)
        r.signText = u"-"_qs;
    else
        r.signText.clear();
}

void buildValueText(Reading &r)
{
    if (!r.markersValid)
        return;
    const auto &d = r.digitTexts;
    const auto &sep = r.separatorTexts;
    if (isText(d[2], u'@'))
        assignJoined(r.valueText, {r.signText, d[1], sep[0], d[2]});
    else
        assignJoined(r.valueText, {r.signText, d[0], sep[0], d[1], sep[1], d[2], sep[2], d[3]});
}

Result computeNumericValue(Reading &r, int fullScale)
{
    const auto &d = r.digitTexts;
    if (isText(d[2], u'@') && (r.signText.isEmpty() || isText(r.signText, u'-'))) {
        const float count = float(qint64(fullScale) + 1);
        r.numericValue = r.signText.isEmpty() ? count : -count;
        return {};
    }
    if (isText(d[0], u'o') && isText(d[1], u'p')) {
        r.numericValue = 0;
        return {};
    }

    // Common case by hand: an optional minus and four single decimal digits.
    const bool minus = isText(r.signText, u'-');
    if (minus || r.signText.isEmpty()) {
        int value = 0;
        bool plain = true;
        for (const QString &digit : d) {
            if (digit.size() != 1 || digit.front() < u'0' || digit.front() > u'9') {
                plain = false;
                break;
            }
            value = value * 10 + (digit.front().unicode() - u'0');
        }
        if (plain) {
            r.numericValue = float(minus ? -value : value);
            return {};
        }
    }

    const QString text = r.signText + d[0] + d[1] + d[2] + d[3];
    const auto value = strictToInt(text);
    if (!value)
        return ConversionError {text};
    r.numericValue = float(*value);
    return {};
}

int defaultFullScale(const Reading &r)
{
    if (r.functionText == u"CAP" || isText(r.unitText, u'#') || isText(r.unitText, u'?'))
        return 1000;
    return 4000;
}

Result decodeTexts(Reading &r, QStringView frame, const QString &decimalSeparator,
                   StepWatcher *watcher)
{
    if (auto failure = decodeBits(r, frame))
        return failure;
    clearTexts(r);
    if (watcher)
        watcher->textsCleared(r);
    if (auto failure = decodeFunction(r, frame))
        return failure;
    if (watcher)
        watcher->functionDecoded(r);
    decodeDigitsAndFlags(r, frame);
    if (watcher)
        watcher->flagsDecoded(r);
    decodeSeparatorsAndSign(r, decimalSeparator);
    if (watcher)
        watcher->signDecoded(r);
    buildValueText(r);
    return {};
}

Result decodeFrame(Reading &r, QStringView frame, const QString &decimalSeparator)
{
    if (auto failure = decodeTexts(r, frame, decimalSeparator))
        return failure;
    return computeNumericValue(r, defaultFullScale(r));
}

} // namespace FrameDecoder
