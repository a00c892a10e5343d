#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <array>
#include <limits>
#include <utility>

// The HID cable packs the meter's serial bytes into input reports: data byte 0 holds in its low
// nibble how many meter bytes follow (1 to 9); a report whose nibble is 0 or 10 to 15 carries
// none. The cable sends such empty reports while the meter pauses between readings, so a run of
// reports that carry bytes (a burst) holds one reading and the first empty one ends it.

// The burst state the cable's report handlers share: the meter bytes of the open burst
// (`HidByteText` as raw bytes), whether a burst is open (`HidBurstOpen`) and the count of
// reports with a count byte but no meter bytes since the last one that had some
// (`HidIdleReports`). The window keeps one and lends it to both handlers, so a burst begun
// under one handler ends under the other, as the Read button switches them.
class HidBurst
{
public:
    // What one input report was.
    enum class Report {
        Carried, // it carried meter bytes: the window logs it as a history line
        Ended, // it carried none and ended the open burst
        Idle, // it carried none and no burst was open
    };

    // Runs the report's data bytes (the identifier excluded) through the burst rules. When the
    // report ends a burst, onEnd(QByteArrayView bytes) sees the burst's meter bytes before they
    // are forgotten.
    template<class OnEnd> Report step(QByteArrayView data, OnEnd &&onEnd)
    {
        const qsizetype size = data.size();
        if (size == 0)
            return close(onEnd);
        // Saturates rather than wraps when nothing ever resets it.
        if (m_idleReports < std::numeric_limits<qint32>::max())
            ++m_idleReports;
        const qsizetype count = static_cast<unsigned char>(data[0]) & 0x0F;
        if (count < 1 || count > 9)
            return close(onEnd);
        m_idleReports = 0;
        m_open = true;
        // A count larger than the bytes present adds only those present.
        m_bytes.append(data.sliced(1, qMin(count, size - 1)));
        return Report::Carried;
    }

    // The open burst's bytes as two upper-case hexadecimal digits each.
    QString hidByteText() const { return hexText(m_bytes); }
    QByteArrayView bytes() const { return m_bytes; }
    bool hidBurstOpen() const { return m_open; }

    // Read and set to 0 again by the link watchdog, and set to 0 by "USB Connect".
    qint32 hidIdleReports() const { return m_idleReports; }
    void resetHidIdleReports() { m_idleReports = 0; }

    // Forgets the open burst; the idle count stays.
    void clear()
    {
        m_bytes.clear();
        m_open = false;
    }

    // Upper-case hexadecimal, two digits a byte, no separators.
    static QString hexText(QByteArrayView bytes);
    // The history line of an input report: "R %.2X  " with the identifier, then "%.2X " per
    // data byte. Built only when asked, since most reports are never shown.
    static QString reportText(quint8 reportId, QByteArrayView data);

    static char16_t hexDigit(unsigned value)
    {
        return char16_t(value < 10 ? u'0' + value : u'A' + (value - 10));
    }

private:
    template<class OnEnd> Report close(OnEnd &onEnd)
    {
        if (!m_open)
            return Report::Idle;
        onEnd(QByteArrayView(m_bytes));
        // clear() keeps the capacity, so later bursts append without allocating.
        m_bytes.clear();
        m_open = false;
        return Report::Ended;
    }

    QByteArray m_bytes;
    bool m_open = false;
    qint32 m_idleReports = 0;
};

// What both report handlers hold: a burst state of their own, or one shared with the other.
class HidBurstHolder
{
public:
    HidBurstHolder(const HidBurstHolder &) = delete;
    HidBurstHolder &operator=(const HidBurstHolder &) = delete;

    // Forgets the open burst (the idle count stays; HidBurst::resetHidIdleReports clears it).
    void clear() { m_burst.clear(); }
    HidBurst &burst() { return m_burst; }
    const HidBurst &burst() const { return m_burst; }

protected:
    HidBurstHolder()
        : m_burst(m_ownBurst)
    {
    }
    explicit HidBurstHolder(HidBurst &shared)
        : m_burst(shared)
    {
    }

    HidBurst m_ownBurst;
    HidBurst &m_burst;
};

// `HidReportToFrame`: the cable's reports to the frames of the serial link. A burst's meter
// bytes are a reading, eleven data bytes, carriage return, line feed; the low digits of its
// first 13 bytes, with the line feed's "A" moved to the front, are the serial frame
// "A" + eleven digits + "D".
class HidBurstAssembler : public HidBurstHolder
{
public:
    static constexpr qsizetype FrameLength = 13;

    HidBurstAssembler() = default;
    explicit HidBurstAssembler(HidBurst &shared)
        : HidBurstHolder(shared)
    {
    }

    // Feeds one input report (identifier handed separately, as the device gives it). At the end
    // of a burst calls onFrame(const QString &frame) with the rotated frame, 13 characters or
    // fewer for a short burst, accepted or not; plausible() is its test. The returned kind says
    // whether the report is a history line (HidBurst::reportText gives it).
    template<class OnFrame> HidBurst::Report feed(QByteArrayView data, OnFrame &&onFrame)
    {
        return m_burst.step(data, [&](QByteArrayView bytes) {
            buildFrame(bytes);
            onFrame(std::as_const(m_frame));
        });
    }

    // As above; onLogs(const QString &byteText, const QString &lowDigits) also receives the
    // burst's lines for the logs before onFrame runs: the bytes as `HidByteText` (`Memo2`) and
    // the frame before its rotation (`Memo1`).
    template<class OnFrame, class OnLogs>
    HidBurst::Report feed(QByteArrayView data, OnFrame &&onFrame, OnLogs &&onLogs)
    {
        return m_burst.step(data, [&](QByteArrayView bytes) {
            buildFrame(bytes);
            onLogs(HidBurst::hexText(bytes), unrotated());
            onFrame(std::as_const(m_frame));
        });
    }

    // Forgets the open burst (the idle count stays; HidBurst::resetHidIdleReports clears it).

    // A frame the decoder accepts: "A" first and "D" thirteenth.
    static bool plausible(QStringView frame)
    {
        return frame.size() >= FrameLength && frame[0] == u'A' && frame[12] == u'D';
    }

private:
    void buildFrame(QByteArrayView bytes)
    {
        const qsizetype n = qMin(bytes.size(), FrameLength);
        m_frame.resize(n);
        char16_t *out = reinterpret_cast<char16_t *>(m_frame.data());
        // Only a whole frame has a 13th character to bring to the front; a short one stays.
        const qsizetype shift = n == FrameLength ? 1 : 0;
        for (qsizetype i = 0; i < n; ++i)
            out[(i + shift) % FrameLength] = lowDigit(bytes[i]);
    }
    QString unrotated() const
    {
        if (m_frame.size() < FrameLength)
            return m_frame;
        QString text = m_frame.sliced(1);
        text += m_frame[0];
        return text;
    }
    static char16_t lowDigit(char byte) { return HidBurst::hexDigit(byte & 0x0F); }

    QString m_frame;
};

// `HidReadReport`, the 22000-count family's handler of the same reports: the low digits of a
// burst's first 14 bytes are the frame, and their high digits must read "123456789ABCDE".
class HidReadReportAssembler : public HidBurstHolder
{
public:
    static constexpr qsizetype FrameLength = 14;

    // With a burst state of its own, or one shared with the other report handler.
    HidReadReportAssembler() = default;
    explicit HidReadReportAssembler(HidBurst &shared)
        : HidBurstHolder(shared)
    {
    }

    // Feeds one input report; at the end of a burst calls
    // onFrame(const QString &frame, bool accepted). The test is of the high digits, which the
    // frame does not hold, so the verdict travels with it (FrameSink::take takes either).
    template<class OnFrame> HidBurst::Report feed(QByteArrayView data, OnFrame &&onFrame)
    {
        return m_burst.step(data, [&](QByteArrayView bytes) {
            const qsizetype n = qMin(bytes.size(), FrameLength);
            m_frame.resize(n);
            char16_t *out = reinterpret_cast<char16_t *>(m_frame.data());
            std::array<char16_t, FrameLength> check {};
            for (qsizetype i = 0; i < n; ++i) {
                const auto value = static_cast<unsigned char>(bytes[i]);
                out[i] = HidBurst::hexDigit(value & 0x0F);
                check[i] = HidBurst::hexDigit(value >> 4);
            }
            onFrame(std::as_const(m_frame), plausible(QStringView(check.data(), n)));
        });
    }

    // The test of the check text, the high digits of the burst's first 14 bytes.
    static bool plausible(QStringView checkText) { return checkText == u"123456789ABCDE"; }

private:
    QString m_frame;
};
