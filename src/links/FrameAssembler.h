#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <array>
#include <utility>

// The digits collected since the last carriage return (`DigitAccumulator`), of which only the
// first Capacity are ever used.
template<qsizetype Capacity> class LowDigitCollector
{
public:
    // Calls onText(QStringView collected) at every carriage return, the collected text ending
    // in its "D"; the text is emptied before the next byte.
    template<class OnText> void feed(QByteArrayView bytes, OnText &&onText)
    {
        for (const char byte : bytes) {
            const auto value = static_cast<unsigned char>(byte);
            if (value != 0x0D) {
                append(hexDigit(value & 0x0F));
                continue;
            }
            append(u'D');
            const qsizetype length = m_length;
            m_length = 0;
            onText(QStringView(m_digits.data(), length));
        }
    }

    QString text() const
    {
        return QString(reinterpret_cast<const QChar *>(m_digits.data()), m_length);
    }
    void clear() { m_length = 0; }

private:
    static char16_t hexDigit(unsigned value)
    {
        return char16_t(value < 10 ? u'0' + value : u'A' + (value - 10));
    }
    void append(char16_t digit)
    {
        if (m_length < Capacity)
            m_digits[m_length++] = digit;
    }

    std::array<char16_t, Capacity> m_digits {};
    qsizetype m_length = 0;
};

// The collected text of each carriage return as a frame: the first Capacity characters.
template<qsizetype Capacity> class CollectedFrames
{
public:
    // Feeds received bytes; calls onFrame(const QString &frame) at every carriage return, in order.
    // The assembly state is emptied before onFrame runs, so a frame that fails to decode still
    // ends its frame and the next one starts clean.
    template<class OnFrame> void feed(QByteArrayView bytes, OnFrame &&onFrame)
    {
        m_collector.feed(bytes, [&](QStringView collected) {
            m_frame.resize(collected.size());
            std::copy(collected.begin(), collected.end(), m_frame.data());
            onFrame(std::as_const(m_frame));
        });
    }

    // The digits collected since the last carriage return.
    QString accumulator() const { return m_collector.text(); }
    void clear() { m_collector.clear(); }

private:
    LowDigitCollector<Capacity> m_collector;
    QString m_frame;
};

// Turns the meter's byte stream into frame texts. Each byte contributes the hexadecimal digit of
// its low half; a carriage return adds its own digit "D" and ends the frame. The line feed that
// follows a reading supplies the "A" that starts the next frame. Only the first 21 digits of a
// frame are ever used.
class FrameAssembler : public CollectedFrames<21>
{
public:
    static constexpr qsizetype MaxFrameLength = 21;

    // A frame the decoder accepts: "A" first and "D" thirteenth.
    static bool plausible(QStringView frame)
    {
        return frame.size() >= 13 && frame[0] == u'A' && frame[12] == u'D';
    }
};
