#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// meterlog's text form of HID input reports, as captured from the cable and replayed: one
// report a line, its bytes as two hexadecimal digits each separated by blanks, the report
// identifier first ("00 F3 41 42 43"). Blank lines and lines whose first character other than
// a blank is "#" are skipped, so a capture may carry notes.
namespace HidReportFile {

// The line of one report, upper-case and ending in a line feed.
QByteArray line(quint8 reportId, QByteArrayView data);
void appendLine(QByteArray &out, quint8 reportId, QByteArrayView data);

// Reads the text in chunks of any size, as they come from a file, and hands on each report.
class Reader
{
public:
    enum class Line { Report, Skipped, Bad };
    // Longer lines are bad: a file without line feeds is never held whole. A report of 64 data
    // bytes takes 195 characters; the rest leaves room for notes.
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    // Calls onReport(quint8 reportId, QByteArrayView data) for each report whose line ends in
    // this chunk. False at the first bad line, with error() naming it; the reports before it
    // have been handed on, and the reader takes nothing more.
    template<class OnReport> bool feed(QByteArrayView chunk, OnReport &&onReport)
    {
        if (!m_error.isEmpty())
            return false;
        while (!chunk.isEmpty()) {
            const qsizetype end = chunk.indexOf('\n');
            if (m_partial.size() + (end < 0 ? chunk.size() : end) > MaxLineLength)
                return tooLong();
            if (end < 0) {
                m_partial.append(chunk);
                return true;
            }
            if (m_partial.isEmpty()) {
                if (!take(chunk.first(end), onReport))
                    return false;
            } else {
                m_partial.append(chunk.first(end));
                const bool ok = take(m_partial, onReport);
                m_partial.clear();
                if (!ok)
                    return false;
            }
            chunk = chunk.sliced(end + 1);
        }
        return true;
    }
    // The last line, when the text does not end in a line feed.
    template<class OnReport> bool finish(OnReport &&onReport)
    {
        if (!m_error.isEmpty())
            return false;
        if (m_partial.isEmpty())
            return true;
        const bool ok = take(m_partial, onReport);
        m_partial.clear();
        return ok;
    }

    // "line N: why", empty while all lines were good.
    const QString &error() const { return m_error; }
    qint64 lines() const { return m_lineNumber; }

    // One line without its line feed: a report (its identifier and data bytes filled in),
    // nothing, or a bad line with the reason.
    static Line parseLine(QByteArrayView line, quint8 &reportId, QByteArray &data, QString *why);

private:
    bool tooLong();
    template<class OnReport> bool take(QByteArrayView text, OnReport &onReport)
    {
        ++m_lineNumber;
        QString why;
        switch (parseLine(text, m_reportId, m_data, &why)) {
        case Line::Report:
            onReport(m_reportId, QByteArrayView(m_data));
            return true;
        case Line::Skipped:
            return true;
        case Line::Bad:
            break;
        }
        m_error = QStringLiteral("line %1: %2").arg(QString::number(m_lineNumber), why);
        return false;
    }

    QByteArray m_partial;
    QByteArray m_data;
    quint8 m_reportId = 0;
    qint64 m_lineNumber = 0;
    QString m_error;
};

} // namespace HidReportFile
