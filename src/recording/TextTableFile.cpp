#include "recording/FileScanning.h"
#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"
#include "support/SafeFileWriter.h"
#include "support/ShownText.h"
#include "support/StrictInt.h"

#include <array>
#include <charconv>

namespace {

using Row = ReadingTable::Row;

// Rows converted and written at a time: large writes, bounded memory.
constexpr qsizetype RowsPerChunk = 8192;

constexpr ReadingTable::Field writtenTexts[]
    = {ReadingTable::Time, ReadingTable::DcAc,  ReadingTable::Value,
       ReadingTable::Unit, ReadingTable::Range, ReadingTable::Auto};

// The text fields of a row by field number (No and Nval have none).
QString Row::*const rowTexts[ReadingTable::FieldCount] = {
    nullptr, &Row::time, &Row::dcAc, &Row::value, &Row::unit, &Row::range, &Row::autoText, nullptr};

bool isBlankOrControl(char16_t c)
{
    return c <= 0x20 || (c >= 0x7F && c <= 0x9F);
}

QStringView trimmed(QStringView s)
{
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && isBlankOrControl(s[first].unicode()))
        ++first;
    while (last > first && isBlankOrControl(s[last - 1].unicode()))
        --last;
    return s.mid(first, last - first);
}

void appendNumber(QString &out, std::optional<qint32> n)
{
    if (!n)
        return;
    char digits[12];
    const char *end = std::to_chars(digits, digits + sizeof digits, *n).ptr;
    out.append(QLatin1String(digits, end - digits));
}

QString fromLocal8Bit(std::string_view bytes)
{
    return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
}

// The bytes of a text field that can hold its characters: a field keeps ReadingTable::TextLength
// characters of at most four bytes each, so a huge part is never decoded whole.
std::string_view fieldBytes(std::string_view part)
{
    return part.substr(0, 4 * ReadingTable::TextLength + 4);
}

// A TAB, CR or LF inside a field would split its line: written as a blank.
void appendField(QString &out, QStringView text)
{
    const qsizetype start = out.size();
    out.append(text);
    for (qsizetype i = start; i < out.size(); ++i) {
        const QChar c = out[i];
        if (c == u'\t' || c == u'\r' || c == u'\n')
            out[i] = u' ';
    }
}

// A CSV field: quoted when it holds a comma, a double quote, CR or LF, its quotes doubled. A
// surrogate without its other half has no UTF-8 form and becomes U+FFFD, as in the XML packet.
void appendCsvField(QString &out, QStringView text)
{
    bool quoted = false;
    bool plain = true; // no quote to double, no surrogate to look at
    for (const QChar c : text) {
        quoted = quoted || c == u',' || c == u'"' || c == u'\r' || c == u'\n';
        plain = plain && c != u'"' && !c.isSurrogate();
    }
    if (quoted)
        out.append(u'"');
    for (qsizetype i = 0; !plain && i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            out.append(u"\"\"");
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append(text.mid(i, 2));
            ++i;
        } else {
            out.append(c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c);
        }
    }
    if (plain)
        out.append(text);
    if (quoted)
        out.append(u'"');
}

// Bytes that end a part: TAB, CR and LF.
constexpr std::array<bool, 256> partEnds = [] {
    std::array<bool, 256> ends {};
    ends['\t'] = ends['\r'] = ends['\n'] = true;
    return ends;
}();

// Past the line starting at p and its end (CR LF, a lone CR or a lone LF).
const char *nextLine(const char *p, const char *end)
{
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    if (p < end)
        p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
    return p;
}

} // namespace

namespace {

// The rows a chunk at a time after the header line: No, then the written texts, each after the
// separator in the form's own quoting, a line in CR LF; each chunk in the form's encoding.
template<class AppendField, class Encode>
bool writeRows(const ReadingTable &table, const QString &path, QString *error,
               QByteArrayView header, QChar separator, AppendField appendText, Encode encode)
{
    SafeFileWriter file(path);
    bool ok = file.open() && file.write(header);
    QString chunk;
    for (qsizetype first = 0; ok && first < table.rowCount(); first += RowsPerChunk) {
        chunk.resize(0);
        const qsizetype last = std::min(table.rowCount(), first + RowsPerChunk);
        for (qsizetype i = first; i < last; ++i) {
            appendNumber(chunk, table.integer(i, ReadingTable::No));
            for (ReadingTable::Field f : writtenTexts) {
                chunk.append(separator);
                appendText(chunk, trimmed(table.text(i, f)));
            }
            chunk.append(u"\r\n");
        }
        ok = file.write(encode(chunk));
    }
    ok = ok && file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}

} // namespace

bool TableFiles::saveText(const ReadingTable &table, const QString &path, QString *error)
{
    return writeRows(
        table, path, error, "No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\r\n", u'\t',
        [](QString &chunk, QStringView text) { appendField(chunk, text); },
        [](const QString &chunk) { return chunk.toLocal8Bit(); });
}

bool TableFiles::saveCsv(const ReadingTable &table, const QString &path, QString *error)
{
    // The byte-order mark tells a spreadsheet the bytes are UTF-8; without it some read them in
    // the system's 8-bit code page.
    return writeRows(
        table, path, error, "\xEF\xBB\xBFNo,Time,DC/AC,Value,Unit,Range,AUTO\r\n", u',',
        [](QString &chunk, QStringView text) { appendCsvField(chunk, text); },
        [](const QString &chunk) { return chunk.toUtf8(); });
}

bool TableFiles::readText(ReadingTable &table, QByteArrayView bytes, QString *error)
{
    qsizetype lineNumber = 1;
    const auto failed = [&](const QString &reason) {
        if (error)
            *error = QString(u"Line "_qs + QString::number(lineNumber) + u": "_qs + reason);
        return false;
    };
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    if (p == end) {
        if (error)
            *error = u"The file is empty"_qs;
        return false;
    }
    p = nextLine(p, end); // the header, whatever it holds

    FileScanning::TextCache<fromLocal8Bit> texts[ReadingTable::FieldCount];
    std::string_view parts[ReadingTable::FieldCount];
    Row row;
    while (p < end) {
        ++lineNumber;
        int count = 0;
        bool tooMany = false;
        for (const char *part = p;; part = ++p) {
            while (p < end && !partEnds[static_cast<unsigned char>(*p)])
                ++p;
            if (count < ReadingTable::FieldCount)
                parts[count++] = std::string_view(part, size_t(p - part));
            else
                tooMany = true;
            if (p == end || *p != '\t')
                break;
        }
        p = nextLine(p, end);
        if (tooMany)
            return failed(u"more than "_qs + QString::number(int(ReadingTable::FieldCount))
                          + u" parts"_qs);

        for (int f = 0; f < ReadingTable::FieldCount; ++f) {
            const std::string_view part = f < count ? parts[f] : std::string_view();
            if (QString Row::*text = rowTexts[f]) {
                row.*text = texts[f].text(fieldBytes(part));
                continue;
            }
            std::optional<qint32> number;
            // An empty part is an empty field: a row saved without a number loads back.
            if (!part.empty() && !(number = strictToInt(part)))
                return failed(
                    u"'"_qs
                    + ShownText::escapedUtf8(QByteArrayView(part.data(), qsizetype(part.size())))
                    + u"' is not a whole number"_qs);
            (f == ReadingTable::No ? row.no : row.nval) = number;
        }
        table.append(row);
    }
    return true;
}
