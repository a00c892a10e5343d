#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>

// One reading as the meter sends it: eleven 4-bit values (function, sub, range, four display
// digits, frequency range, three status digits), each in the low half of a data byte.
struct SimReading
{
    // The three status digits as one 12-bit word, the first status digit in the high nibble.
    enum Flag : quint16 {
        HighVoltage = 0x800,
        Negative = 0x400,
        LowBattery = 0x200,
        Overload = 0x100,
        Hold = 0x080,
        MaxMode = 0x040,
        MinMode = 0x020,
        AutoRange = 0x010,
        ManualRange = 0x008,
        OpenInput = 0x001,
    };

    quint8 function = 0;
    quint8 sub = 0;
    quint8 range = 0;
    std::array<quint8, 4> digits {}; // most significant first
    quint8 frequencyRange = 0;
    quint16 status = 0; // Flag bits

    static constexpr int dataLength = 11;
    static constexpr int frameLength = 13;

    // The display count from |value| (clamped to 9999) and the Negative flag from its sign.
    void setValue(int value);
    // The four digits as a count, without sign (digits above 9 count as their nibble value).
    int count() const;
    bool has(Flag flag) const { return (status & flag) != 0; }
    void set(Flag flag, bool on = true);

    std::array<quint8, dataLength> nibbles() const;
    QByteArray dataBytes() const; // 0x30 | nibble, so the bytes read as '0'..'?'
    QByteArray wireBytes() const; // data bytes, CR, LF
    // What a receiver assembles from the line feed before this reading up to its CR.
    QString frameText() const;

    // A frame text "A" + 11 hex digits + "D", or the 11 hex digits alone (either case).
    static std::optional<SimReading> fromText(QStringView text);
    static SimReading fromNibbles(const std::array<quint8, dataLength> &nibbles);
    // Comma-separated frame or data texts; on failure returns nothing and sets the error.
    static std::optional<QList<SimReading>> parseList(QStringView list, QString *error);

    friend bool operator==(const SimReading &, const SimReading &) = default;
};

// A source of readings: a named script or a fixed list repeated.
class MeterScript
{
public:
    // walk: every function and range in turn; dcv, ohm, temp: one function with a moving value;
    // overload, open: one fixed reading.
    static QStringList names();
    static std::optional<MeterScript> fromName(const QString &name, quint32 seed);
    static MeterScript fromReadings(QList<SimReading> readings);

    SimReading next();
    // Readings until the script has passed every step once (the values differ per pass).
    int cycleLength() const;

    // One step of a script: a function and range shown for a number of readings while the
    // value moves between low and high.
    struct Step
    {
        SimReading base; // function, sub, range, frequency range, status flags
        int low = 0; // display counts; a negative low lets the value change sign
        int high = 0;
        int readings = 1;
        bool fixed = false; // the base reading exactly, once
        int voltsDivisor = 0; // voltage steps: counts per volt (sets HighVoltage from 30 V)
        // Extra flags during readings [from, to] of the step (Hold freezes the value, MaxMode
        // and MinMode show the step's extremes so far).
        struct Event
        {
            int from = 0;
            int to = 0;
            quint16 flags = 0;
        };
        QList<Event> events;
    };

private:
    MeterScript(QList<Step> steps, quint32 seed);
    SimReading readingOfStep();

    QList<Step> m_steps;
    QRandomGenerator m_random;
    qsizetype m_step = 0;
    int m_index = 0; // reading within the step
    double m_phase = 0;
    double m_drift = 0;
    int m_shown = 0; // the value last shown
    int m_max = 0;
    int m_min = 0;
};

// Damage applied to readings on their way out, each with a probability per reading.
struct NoiseSettings
{
    double flip = 0; // one data nibble changed
    double dropCr = 0; // the carriage return left out
    double garbage = 0; // one to four random bytes inserted somewhere in the reading
};

class NoiseInjector
{
public:
    NoiseInjector(const NoiseSettings &settings, quint32 seed);

    // The reading's wire bytes with the damage drawn for this reading.
    QByteArray wireBytes(const SimReading &reading);

private:
    bool chance(double probability);

    NoiseSettings m_settings;
    QRandomGenerator m_random;
};
