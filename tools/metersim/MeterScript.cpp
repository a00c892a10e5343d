#include "MeterScript.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr char cr = 0x0D;
constexpr char lf = 0x0A;

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

QChar hexDigit(int nibble)
{
    return QLatin1Char("0123456789ABCDEF"[nibble & 0xF]);
}

using Step = MeterScript::Step;
using Event = Step::Event;

constexpr quint16 autoRange = SimReading::AutoRange;
constexpr quint16 manual = SimReading::ManualRange;

Step step(int function, int sub, int range, int low, int high, quint16 flags = autoRange,
          QList<Event> events = {})
{
    Step s;
    s.base.function = quint8(function);
    s.base.sub = quint8(sub);
    s.base.range = quint8(range);
    s.base.status = flags;
    s.low = low;
    s.high = high;
    s.readings = 6;
    s.events = std::move(events);
    return s;
}

Step voltageStep(int sub, int range, int low, int high, quint16 flags = autoRange,
                 QList<Event> events = {})
{
    static constexpr int countsPerVolt[] = {1000, 100, 10, 1};
    Step s = step(0, sub, range, low, high, flags, std::move(events));
    s.voltsDivisor = countsPerVolt[range];
    return s;
}

Step frequencyStep(int frequencyRange, int low, int high, QList<Event> events = {})
{
    // The meter's range digit is not what selects a frequency range; leave it at 0.
    Step s = step(8, 0, 0, low, high, autoRange, std::move(events));
    s.base.frequencyRange = quint8(frequencyRange);
    return s;
}

Step fixedStep(const SimReading &reading)
{
    Step s;
    s.base = reading;
    s.fixed = true;
    return s;
}

// Every function, sub and range the meter has, a few readings each, with the odd negative
// value, hold, max, min, low battery, overload and open input on the way.
QList<Step> walkSteps()
{
    const quint16 hold = SimReading::Hold;
    const quint16 maxMode = SimReading::MaxMode;
    const quint16 minMode = SimReading::MinMode;
    const quint16 lowBattery = SimReading::LowBattery;
    const quint16 overload = SimReading::Overload;
    const quint16 open = SimReading::OpenInput;
    return {
        voltageStep(0, 0, -3500, -200), // probes swapped
        voltageStep(0, 1, 1150, 1480, autoRange, {{3, 4, hold}}),
        voltageStep(0, 2, 2000, 3500),
        voltageStep(0, 3, 380, 620, manual),
        voltageStep(1, 0, 500, 3000),
        voltageStep(1, 1, 1000, 2600),
        voltageStep(1, 2, 2200, 2400),
        voltageStep(1, 3, 200, 700, manual),
        step(1, 0, 0, 200, 3800),
        step(1, 0, 1, 500, 3500, manual),
        step(1, 1, 0, 20, 95, 0, {{3, 3, open}}),
        step(1, 2, 0, 68, 200, 0),
        step(2, 0, 0, 1000, 3300),
        step(2, 0, 1, 950, 1100, autoRange, {{2, 5, maxMode}}),
        step(2, 0, 2, 1000, 2200),
        step(2, 0, 3, 1500, 3900),
        step(2, 0, 4, 1000, 1500),
        step(2, 0, 5, 500, 2000, manual, {{4, 4, overload}}),
        step(2, 1, 0, 2, 150, 0),
        step(2, 2, 0, 100, 950),
        step(2, 2, 1, 300, 900),
        step(2, 2, 2, 200, 900),
        step(2, 2, 3, 100, 900),
        step(2, 2, 4, 200, 800, manual),
        step(3, 0, 0, 500, 700, 0),
        step(4, 0, 0, 500, 3500),
        step(4, 0, 1, 1000, 3500, autoRange, {{1, 4, minMode}}),
        step(4, 1, 0, 500, 3000),
        step(4, 1, 1, 800, 3200),
        step(5, 0, 0, 300, 3800),
        step(5, 0, 1, 400, 3900, manual),
        step(5, 1, 0, 500, 3000),
        step(5, 1, 1, 600, 3600),
        step(6, 0, 0, -800, 2500), // charge and discharge: may cross zero
        step(6, 0, 1, 100, 1000, manual),
        step(6, 1, 0, 300, 3000),
        step(6, 1, 1, 200, 900),
        step(7, 0, 0, 700, 3500),
        step(7, 0, 1, 700, 3500),
        step(7, 0, 2, 700, 3500, manual),
        step(7, 1, 0, 400, 500),
        step(7, 1, 1, 350, 450),
        step(7, 1, 2, 280, 350),
        frequencyStep(0, 1000, 3999),
        frequencyStep(1, 500, 3999),
        frequencyStep(2, 1000, 3999),
        frequencyStep(3, 1000, 3999, {{0, 5, lowBattery}}),
        frequencyStep(4, 1000, 3999),
        frequencyStep(5, 1000, 3999),
    };
}

Step movingStep(Step s)
{
    s.readings = 60;
    return s;
}

} // namespace

void SimReading::setValue(int value)
{
    set(Negative, value < 0);
    int count = std::min(std::abs(value), 9999);
    for (int i = 3; i >= 0; --i) {
        digits[i] = quint8(count % 10);
        count /= 10;
    }
}

int SimReading::count() const
{
    int value = 0;
    for (quint8 d : digits)
        value = value * 10 + d;
    return value;
}

void SimReading::set(Flag flag, bool on)
{
    status = on ? quint16(status | flag) : quint16(status & ~flag);
}

std::array<quint8, SimReading::dataLength> SimReading::nibbles() const
{
    return {quint8(function & 0xF),      quint8(sub & 0xF),
            quint8(range & 0xF),         quint8(digits[0] & 0xF),
            quint8(digits[1] & 0xF),     quint8(digits[2] & 0xF),
            quint8(digits[3] & 0xF),     quint8(frequencyRange & 0xF),
            quint8((status >> 8) & 0xF), quint8((status >> 4) & 0xF),
            quint8(status & 0xF)};
}

QByteArray SimReading::dataBytes() const
{
    QByteArray bytes;
    bytes.reserve(dataLength);
    for (quint8 n : nibbles())
        bytes.append(char(0x30 | n));
    return bytes;
}

QByteArray SimReading::wireBytes() const
{
    return dataBytes() + QByteArray("\r\n", 2);
}

QString SimReading::frameText() const
{
    QString text;
    text.reserve(frameLength);
    text.append(u'A');
    for (quint8 n : nibbles())
        text.append(hexDigit(n));
    text.append(u'D');
    return text;
}

SimReading SimReading::fromNibbles(const std::array<quint8, dataLength> &n)
{
    SimReading r;
    r.function = n[0];
    r.sub = n[1];
    r.range = n[2];
    r.digits = {n[3], n[4], n[5], n[6]};
    r.frequencyRange = n[7];
    r.status = quint16((n[8] << 8) | (n[9] << 4) | n[10]);
    return r;
}

std::optional<SimReading> SimReading::fromText(QStringView text)
{
    QStringView data = text;
    if (text.size() == frameLength) {
        if (text.front().toUpper() != u'A' || text.back().toUpper() != u'D')
            return std::nullopt;
        data = text.mid(1, dataLength);
    }
    if (data.size() != dataLength)
        return std::nullopt;
    std::array<quint8, dataLength> n {};
    for (int i = 0; i < dataLength; ++i) {
        const int v = hexValue(data[i]);
        if (v < 0)
            return std::nullopt;
        n[i] = quint8(v);
    }
    return fromNibbles(n);
}

std::optional<QList<SimReading>> SimReading::parseList(QStringView list, QString *error)
{
    QList<SimReading> readings;
    for (QStringView item : list.split(u',')) {
        item = item.trimmed();
        const auto reading = fromText(item);
        if (!reading) {
            if (error)
                *error = u"not a 13-character frame (A...D) or 11 hex digits: \""_qs
                    + item.toString() + u'"';
            return std::nullopt;
        }
        readings.append(*reading);
    }
    return readings;
}

QStringList MeterScript::names()
{
    return {u"walk"_qs, u"dcv"_qs, u"ohm"_qs, u"temp"_qs, u"overload"_qs, u"open"_qs};
}

std::optional<MeterScript> MeterScript::fromName(const QString &name, quint32 seed)
{
    if (name == u"walk")
        return MeterScript(walkSteps(), seed);
    if (name == u"dcv") // a car battery being charged and loaded
        return MeterScript({movingStep(voltageStep(0, 1, 1150, 1450))}, seed);
    if (name == u"ohm") // a warming resistor
        return MeterScript({movingStep(step(2, 0, 1, 950, 1050))}, seed);
    if (name == u"temp") // an engine warming up and cooling down
        return MeterScript({movingStep(step(1, 1, 0, 20, 95, 0))}, seed);
    if (name == u"overload")
        return fromReadings({*SimReading::fromText(u"A00000000108D")});
    if (name == u"open")
        return fromReadings({*SimReading::fromText(u"A11000000001D")});
    return std::nullopt;
}

MeterScript MeterScript::fromReadings(QList<SimReading> readings)
{
    QList<Step> steps;
    for (const SimReading &r : readings)
        steps.append(fixedStep(r));
    if (steps.isEmpty())
        steps.append(fixedStep(SimReading {}));
    return MeterScript(std::move(steps), 0);
}

MeterScript::MeterScript(QList<Step> steps, quint32 seed)
    : m_steps(std::move(steps))
    , m_random(seed)
{
    m_phase = m_random.bounded(2 * std::numbers::pi);
}

int MeterScript::cycleLength() const
{
    int length = 0;
    for (const Step &s : m_steps)
        length += s.fixed ? 1 : s.readings;
    return length;
}

SimReading MeterScript::next()
{
    const Step &s = m_steps[m_step];
    SimReading reading = s.fixed ? s.base : readingOfStep();
    const int length = s.fixed ? 1 : s.readings;
    if (++m_index >= length) {
        m_index = 0;
        m_step = (m_step + 1) % m_steps.size();
    }
    return reading;
}

// The value follows a slow sine plus a bounded random drift, both kept across steps so that a
// single-step script moves smoothly for ever.
SimReading MeterScript::readingOfStep()
{
    const Step &s = m_steps[m_step];
    const double span = s.high - s.low;
    const double mid = (s.high + s.low) / 2.0;
    const int raw = std::clamp(int(std::lround(mid + span * (0.375 * std::sin(m_phase) + m_drift))),
                               s.low, s.high);
    m_phase += 2 * std::numbers::pi / 20 * (0.8 + 0.4 * m_random.generateDouble());
    m_drift = std::clamp(m_drift + (m_random.generateDouble() - 0.5) * 0.04, -0.1, 0.1);

    if (m_index == 0)
        m_max = m_min = raw;
    m_max = std::max(m_max, raw);
    m_min = std::min(m_min, raw);

    quint16 extra = 0;
    for (const Event &e : s.events) {
        if (m_index >= e.from && m_index <= e.to)
            extra |= e.flags;
    }

    int value = raw;
    if ((extra & SimReading::Hold) && m_index > 0)
        value = m_shown;
    else if (extra & SimReading::MaxMode)
        value = m_max;
    else if (extra & SimReading::MinMode)
        value = m_min;
    m_shown = value;

    SimReading reading = s.base;
    reading.status |= extra;
    if (extra & (SimReading::Overload | SimReading::OpenInput))
        value = 0;
    reading.setValue(value);
    if (s.voltsDivisor > 0 && std::abs(value) >= 30 * s.voltsDivisor)
        reading.set(SimReading::HighVoltage);
    return reading;
}

NoiseInjector::NoiseInjector(const NoiseSettings &settings, quint32 seed)
    : m_settings(settings)
    , m_random(seed)
{
}

bool NoiseInjector::chance(double probability)
{
    return m_random.generateDouble() < probability;
}

QByteArray NoiseInjector::wireBytes(const SimReading &reading)
{
    QByteArray bytes = reading.dataBytes();
    const bool flip = chance(m_settings.flip);
    const bool dropCr = chance(m_settings.dropCr);
    const bool garbage = chance(m_settings.garbage);

    if (flip) {
        const int at = m_random.bounded(SimReading::dataLength);
        const int mask = 1 + m_random.bounded(15);
        bytes[at] = char(bytes[at] ^ mask);
    }
    if (!dropCr)
        bytes.append(cr);
    bytes.append(lf);
    if (garbage) {
        QByteArray junk(1 + m_random.bounded(4), Qt::Uninitialized);
        for (char &c : junk)
            c = char(m_random.bounded(256));
        bytes.insert(m_random.bounded(bytes.size() + 1), junk);
    }
    return bytes;
}
