#include "recording/FileScanning.h"
#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"
#include "recording/XmlScanner.h"
#include "support/SafeFileWriter.h"
#include "support/ShownText.h"
#include "support/StrictInt.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <unordered_map>
#include <vector>

// The data packet: <DATAPACKET> holding <METADATA> (the FIELDS) and <ROWDATA> (one empty <ROW>
// element per row, a field per attribute, an empty field left out).

namespace {

using namespace XmlScanning;
using Row = ReadingTable::Row;

constexpr qsizetype RowsPerChunk = 8192;

QString Row::*const rowTexts[ReadingTable::FieldCount] = {
    nullptr, &Row::time, &Row::dcAc, &Row::value, &Row::unit, &Row::range, &Row::autoText, nullptr};

// Whether XML can hold the UTF-16 unit at text[i] (a character or a whole surrogate pair).
bool xmlCanHold(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r';
    if (QChar::isHighSurrogate(c))
        return i + 1 < text.size() && text[i + 1].isLowSurrogate();
    if (QChar::isLowSurrogate(c))
        return i > 0 && text[i - 1].isHighSurrogate();
    return c != 0xFFFE && c != 0xFFFF;
}

// The XML form of a ROW attribute value; a character XML cannot hold becomes U+FFFD.
void appendEscaped(QString &out, QStringView text)
{
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c != u'&' && c != u'<' && c != u'>' && c != u'"' && c < 0xD800)
            continue;
        if (c >= 0xD800 && xmlCanHold(text, i))
            continue;
        out.append(text.mid(plain, i - plain));
        plain = i + 1;
        switch (c) {
        case u'&':
            out.append(u"&amp;");
            break;
        case u'<':
            out.append(u"&lt;");
            break;
        case u'>':
            out.append(u"&gt;");
            break;
        case u'"':
            out.append(u"&quot;");
            break;
        default:
            // TAB, CR and LF would be read back as blanks: referenced, they survive.
            if (xmlCanHold(text, i))
                out.append(u"&#"_qs + QString::number(int(c)) + u';');
            else
                out.append(QChar::ReplacementCharacter);
            break;
        }
    }
    out.append(text.mid(plain));
}

void appendNumber(QString &out, qint32 n)
{
    char digits[12];
    const char *end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(QLatin1String(digits, end - digits));
}

void appendName(QString &out, const QString &name)
{
    out.append(u' ');
    out.append(name);
    out.append(u"=\"");
}

void appendRow(QString &out, const ReadingTable &table, qsizetype i)
{
    const QStringList &names = ReadingTable::fieldNames();
    out.append(u"<ROW");
    for (int f = 0; f < ReadingTable::FieldCount; ++f) {
        const auto field = ReadingTable::Field(f);
        if (ReadingTable::isIntegerField(field)) {
            const std::optional<qint32> n = table.integer(i, field);
            if (!n)
                continue;
            appendName(out, names[f]);
            appendNumber(out, *n);
        } else {
            const QString text = table.text(i, field);
            if (text.isEmpty())
                continue;
            appendName(out, names[f]);
            appendEscaped(out, text);
        }
        out.append(u'"');
    }
    out.append(u"/>\r\n");
}

QString packetHead()
{
    QString head = u"<?xml version=\"1.0\" standalone=\"yes\"?>\r\n"
                   "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"_qs;
    const QStringList &names = ReadingTable::fieldNames();
    for (int f = 0; f < ReadingTable::FieldCount; ++f) {
        const bool integer = ReadingTable::isIntegerField(ReadingTable::Field(f));
        head += u"<FIELD attrname=\""_qs + names[f]
            + (integer ? QString(u"\" fieldtype=\"i4\"/>"_qs)
                       : QString(u"\" fieldtype=\"string\" WIDTH=\""_qs
                                 + QString::number(ReadingTable::TextLength) + u"\"/>"_qs));
    }
    head += u"</FIELDS><PARAMS/></METADATA><ROWDATA>\r\n"_qs;
    return head;
}

// The bytes of a value that can matter: a text field keeps ReadingTable::TextLength characters
// of at most four bytes each, and a number written longer than that (zeros in front) is refused.
// A huge value is never decoded whole.
constexpr size_t ValueBytes = 4 * ReadingTable::TextLength + 4;

// The longest attrname value looked at.
constexpr size_t MaxNameBytes = 1024;
// Attribute positions whose last name and field are remembered; real rows have a dozen at most.
constexpr size_t RememberedPositions = 64;

struct BytesHash
{
    using is_transparent = void;
    size_t operator()(Bytes b) const { return std::hash<Bytes> {}(b); }
};

// A ROW attribute name and the field it fills (none for an attribute no FIELD names).
struct Column
{
    std::string name;
    std::optional<ReadingTable::Field> field;
};

class PacketReader
{
public:
    PacketReader(Bytes data, ReadingTable &table)
        : m_scanner(data)
        , m_table(table)
    {
    }
    bool read();
    QString error() const { return m_error.isEmpty() ? m_scanner.error() : m_error; }

private:
    bool fail(const QString &reason)
    {
        if (m_error.isEmpty() && m_scanner.error().isEmpty())
            m_error = reason;
        return false;
    }
    // The next tag inside an element, where the end of the file is an error.
    Scanner::Kind next()
    {
        const Scanner::Kind kind = m_scanner.next();
        return kind == Scanner::Finished ? m_scanner.fail(u"the file ends early"_qs) : kind;
    }
    bool expectEnd(Bytes name) { return next() == Scanner::End && m_scanner.name() == name; }
    bool readMetadata();
    bool readFields();
    bool readRows();
    bool readRow();
    std::optional<ReadingTable::Field> column(Bytes name, size_t position);

    Scanner m_scanner;
    ReadingTable &m_table;
    // The field of each attribute name the FIELDS list; the first FIELD of a name counts.
    std::unordered_map<std::string, ReadingTable::Field, BytesHash, std::equal_to<>> m_columns;
    std::vector<Column> m_lastOrder; // name and field of each attribute position in the last row
    FileScanning::TextCache<fromUtf8> m_texts[ReadingTable::FieldCount];
    std::string m_decoded;
    Row m_row;
    QString m_error;
};

bool PacketReader::read()
{
    if (!m_scanner.readDeclaration())
        return false;
    const Scanner::Kind root = m_scanner.next();
    if (root == Scanner::Bad)
        return false;
    if (root != Scanner::Start || m_scanner.name() != "DATAPACKET")
        return fail(u"no DATAPACKET"_qs);
    bool metadata = false;
    bool rows = false;
    for (;;) {
        const Scanner::Kind kind = next();
        const Bytes name = m_scanner.name();
        if (kind == Scanner::End && name == "DATAPACKET")
            break;
        if (kind == Scanner::Bad)
            return false;
        const bool empty = kind == Scanner::Empty;
        if ((kind == Scanner::Start || empty) && name == "METADATA" && !metadata && !rows) {
            if (empty || !readMetadata())
                return fail(u"no FIELDS in the METADATA"_qs);
            // A packet of another table: its rows would come in as blank rows.
            if (m_columns.empty())
                return fail(u"none of its FIELDS is a field of this table"_qs);
            metadata = true;
        } else if ((kind == Scanner::Start || empty) && name == "ROWDATA" && metadata && !rows) {
            if (!empty && !readRows())
                return fail(u"bad ROWDATA"_qs);
            rows = true;
        } else {
            return fail(u"unexpected content in the DATAPACKET"_qs);
        }
    }
    if (!rows)
        return fail(u"no ROWDATA"_qs);
    if (m_scanner.next() != Scanner::Finished)
        return fail(u"content after the DATAPACKET"_qs);
    return true;
}

bool PacketReader::readMetadata()
{
    bool fields = false;
    for (;;) {
        const Scanner::Kind kind = next();
        const Bytes name = m_scanner.name();
        if (kind == Scanner::End && name == "METADATA")
            return fields;
        if (kind == Scanner::Start && name == "FIELDS" && !fields) {
            if (!readFields())
                return false;
            fields = true;
        } else if (kind == Scanner::Empty && name == "FIELDS" && !fields) {
            fields = true;
        } else if (kind == Scanner::Empty && name == "PARAMS") {
        } else if (kind == Scanner::Start && name == "PARAMS") {
            if (!m_scanner.skipContent())
                return false;
        } else {
            return fail(u"unexpected content in the METADATA"_qs);
        }
    }
}

bool PacketReader::readFields()
{
    for (;;) {
        const Scanner::Kind kind = next();
        if (kind == Scanner::End && m_scanner.name() == "FIELDS")
            return true;
        if ((kind != Scanner::Start && kind != Scanner::Empty) || m_scanner.name() != "FIELD")
            return fail(u"unexpected content in the FIELDS"_qs);
        for (const Attribute &a : m_scanner.attributes()) {
            // No field of ours has so long a name, however it is escaped.
            if (a.value.size() > MaxNameBytes
                || fromUtf8(a.name.substr(0, 9)).compare(u"attrname", Qt::CaseInsensitive) != 0)
                continue;
            if (!decodeValue(a.value, m_decoded))
                return fail(u"bad reference in a field name"_qs);
            const auto field = ReadingTable::fieldByName(decodeName(fromUtf8(m_decoded)));
            // A field of another table is left out of ours.
            if (field)
                m_columns.try_emplace(m_decoded, *field);
        }
        // A field may describe itself further (PARAM children): none of it matters here.
        if (kind == Scanner::Start && !m_scanner.skipContent())
            return false;
    }
}

bool PacketReader::readRows()
{
    for (;;) {
        const Scanner::Kind kind = next();
        const bool row = m_scanner.name() == "ROW";
        if (kind == Scanner::End && m_scanner.name() == "ROWDATA")
            return true;
        if (row && kind == Scanner::Empty) {
            if (!readRow())
                return false;
        } else if (row && kind == Scanner::Start) {
            if (!readRow() || !expectEnd("ROW"))
                return fail(u"unexpected content in a ROW"_qs);
        } else {
            return fail(u"unexpected content in the ROWDATA"_qs);
        }
    }
}

std::optional<ReadingTable::Field> PacketReader::column(Bytes name, size_t position)
{
    // Rows of one file list their attributes in the same order: try last row's answer first.
    // Unknown names are remembered as well, so neither costs more than one comparison a row.
    if (position < m_lastOrder.size() && m_lastOrder[position].name == name)
        return m_lastOrder[position].field;
    const auto it = m_columns.find(name);
    if (position >= RememberedPositions)
        return it == m_columns.end() ? std::nullopt : std::optional(it->second);
    if (position >= m_lastOrder.size())
        m_lastOrder.resize(position + 1);
    Column &last = m_lastOrder[position];
    last.name.assign(name);
    last.field = it == m_columns.end() ? std::nullopt : std::optional(it->second);
    return last.field;
}

bool PacketReader::readRow()
{
    m_row.no.reset();
    m_row.nval.reset();
    for (QString Row::*text : rowTexts)
        if (text)
            (m_row.*text).clear();
    const std::vector<Attribute> &attributes = m_scanner.attributes();
    for (size_t i = 0; i < attributes.size(); ++i) {
        const Attribute &a = attributes[i];
        const std::optional<ReadingTable::Field> field = column(a.name, i);
        if (!field)
            continue; // RowState and the like
        Bytes value = a.value.substr(0, a.plain ? ValueBytes : a.value.size());
        if (!a.plain) {
            if (!decodeValue(value, m_decoded, ValueBytes))
                return fail(u"bad reference in a ROW"_qs);
            value = m_decoded;
        }
        if (QString Row::*text = rowTexts[*field]) {
            m_row.*text = m_texts[*field].text(value);
            continue;
        }
        std::optional<qint32> number;
        if (!value.empty() && !(number = strictToInt(value)))
            return fail(
                u"'"_qs
                + ShownText::escapedUtf8(QByteArrayView(value.data(), qsizetype(value.size())))
                + u"' is not a whole number"_qs);
        (*field == ReadingTable::No ? m_row.no : m_row.nval) = number;
    }
    m_table.append(m_row);
    return true;
}

} // namespace

bool TableFiles::saveXml(const ReadingTable &table, const QString &path, QString *error)
{
    SafeFileWriter file(path);
    bool ok = file.open() && file.write(packetHead().toUtf8());
    QString chunk;
    for (qsizetype first = 0; ok && first < table.rowCount(); first += RowsPerChunk) {
        chunk.resize(0);
        const qsizetype last = std::min(table.rowCount(), first + RowsPerChunk);
        for (qsizetype i = first; i < last; ++i)
            appendRow(chunk, table, i);
        ok = file.write(chunk.toUtf8());
    }
    ok = ok && file.write("</ROWDATA></DATAPACKET>\r\n") && file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}

bool TableFiles::readXml(ReadingTable &table, QByteArrayView bytes, QString *error)
{
    ReadingTable fresh;
    PacketReader reader(Bytes(bytes.data(), size_t(bytes.size())), fresh);
    if (!reader.read()) {
        if (error)
            *error = reader.error();
        return false;
    }
    table = std::move(fresh);
    return true;
}
