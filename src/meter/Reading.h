#pragma once

#include <QChar>
#include <QString>
#include <array>
#include <cstdint>

// The decoded measurement. One instance lives with the main window and every frame updates it
// in place; the panel, the table and the chart read it after decoding.
struct Reading
{
    // 52 frame bits, four per frame character, most significant first: frame bit position p
    // (1..52) is bit (52 - p) of this word.
    std::uint64_t frameBits = 0;

    bool markersValid = false;
    int functionCode = 0;
    QChar subCode;
    int rangeCode = 0;
    int frequencyRangeCode = 0;

    QString functionText; // recorded as "DC/AC"
    QString unitText;
    QString rangeText; // kept across frames that assign none
    QString autoText; // "Auto", "Manu" or empty

    std::array<QString, 4> digitTexts;
    int decimalPoint = 0; // 0 none, N = between digit N and N + 1
    std::array<QString, 3> separatorTexts;
    QString signText;

    bool highVoltage = false;
    bool negative = false;
    bool lowBattery = false;
    bool overload = false;
    bool hold = false;
    bool maxMode = false;
    bool minMode = false;
    bool autoRange = false;
    bool manualRange = false;
    bool openInput = false;

    QString valueText; // rebuilt only for frames with valid markers
    float numericValue = 0.0f;

    // Frame bit at position 1..52 (as the meter's status digits are documented).
    bool bit(int position) const { return (frameBits >> (52 - position)) & 1u; }
    // The 52 frame bits as "0"/"1" characters.
    QString frameBitsText() const;

    // Value, function, unit and auto texts joined without separators (the repeat rule's key).
    QString readingKey() const { return valueText + functionText + unitText + autoText; }
};
