#include "HidReportFile.h"

#include "support/ShownText.h"

namespace HidReportFile {

namespace {

constexpr char upperDigits[] = "0123456789ABCDEF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The bad word as the message quotes it, cut short when long.
QString quoted(QByteArrayView word)
{
    return u'"' + ShownText::escapedUtf8(word, 16) + u'"';
}

} // namespace

bool Reader::tooLong()
{
    m_partial.clear();
    m_error = QStringLiteral("line %1: longer than %2 characters")
                  .arg(QString::number(m_lineNumber + 1), QString::number(MaxLineLength));
    return false;
}

void appendLine(QByteArray &out, quint8 reportId, QByteArrayView data)
{
    const qsizetype start = out.size();
    out.resize(start + 3 * (1 + data.size()));
    char *p = out.data() + start;
    const auto put = [&p](quint8 byte) {
        *p++ = upperDigits[byte >> 4];
        *p++ = upperDigits[byte & 0x0F];
        *p++ = ' ';
    };
    put(reportId);
    for (const char byte : data)
        put(static_cast<quint8>(byte));
    p[-1] = '\n'; // the last blank
}

QByteArray line(quint8 reportId, QByteArrayView data)
{
    QByteArray out;
    appendLine(out, reportId, data);
    return out;
}

Reader::Line Reader::parseLine(QByteArrayView text, quint8 &reportId, QByteArray &data,
                               QString *why)
{
    data.clear();
    bool first = true;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        while (i < n && isBlank(text[i]))
            ++i;
        if (i == n)
            break;
        const qsizetype start = i;
        while (i < n && !isBlank(text[i]))
            ++i;
        const QByteArrayView word = text.sliced(start, i - start);
        if (first && word.startsWith('#'))
            return Line::Skipped;
        const int high = word.size() == 2 ? digitValue(word[0]) : -1;
        const int low = word.size() == 2 ? digitValue(word[1]) : -1;
        if (high < 0 || low < 0) {
            *why = quoted(word) + u" is not a byte of two hexadecimal digits"_qs;
            return Line::Bad;
        }
        const auto byte = static_cast<quint8>(high << 4 | low);
        if (first)
            reportId = byte;
        else
            data.append(char(byte));
        first = false;
    }
    return first ? Line::Skipped : Line::Report;
}

} // namespace HidReportFile
