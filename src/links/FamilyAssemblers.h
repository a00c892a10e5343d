#pragma once

#include "links/FrameAssembler.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <array>
#include <utility>

// Serial assemblers of the two other meter families. Like FrameAssembler, each byte gives the
// digit of its low half and a carriage return adds "D" and ends the collected text; the
// families differ in which part of that text is the frame and in their acceptance test.

// `FerrantDATA`, the 22000-count family: "A" (the line feed before), 12 data digits, "D". At
// every carriage return the frame is the first 14 collected characters (all when fewer).
class FerrantAssembler : public CollectedFrames<14>
{
public:
    static constexpr qsizetype FrameLength = 14;

    static bool plausible(QStringView frame)
    {
        return frame.size() >= FrameLength && frame[0] == u'A' && frame[13] == u'D';
    }
};

// `NestrelData`, the `IFSennick` family: the collected text is "A", nine data digits, "D"; the
// frame handed on is the nine digits followed by "DA".
class NestrelAssembler
{
public:
    static constexpr qsizetype CollectedLength = 11;

    // Calls onFrame(const QString &frame, bool accepted) at every carriage return. The test is
    // of the collected text, whose "A" and end the frame no longer show, so the verdict travels
    // with the frame.
    template<class OnFrame> void feed(QByteArrayView bytes, OnFrame &&onFrame)
    {
        m_collector.feed(bytes, [&](QStringView collected) {
            // Characters 2 to 10, as many as there are; the text always ends in its "D".
            const QStringView digits
                = collected.sliced(1).first(qMin<qsizetype>(9, collected.size() - 1));
            m_frame.resize(digits.size() + 2);
            QChar *out = std::copy(digits.begin(), digits.end(), m_frame.data());
            out[0] = u'D';
            out[1] = u'A';
            onFrame(std::as_const(m_frame), plausible(collected));
        });
    }

    QString accumulator() const { return m_collector.text(); }
    void clear() { m_collector.clear(); }

    // The test of the collected text: "A" first and "D" eleventh.
    static bool plausible(QStringView collected)
    {
        return collected.size() >= CollectedLength && collected[0] == u'A' && collected[10] == u'D';
    }

private:
    LowDigitCollector<CollectedLength> m_collector;
    QString m_frame;
};
