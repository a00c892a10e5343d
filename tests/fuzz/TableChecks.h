#pragma once

#include "FuzzSupport.h"
#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"

#include <QFile>
#include <QList>
#include <QStringDecoder>
#include <QStringList>
#include <optional>
#include <utility>

// Checks shared by the table file targets.
namespace Fuzz {

inline ReadingTable::Row heldRow()
{
    ReadingTable::Row row;
    row.no = 7;
    row.time = u"12:00:00"_qs;
    row.dcAc = u"DC"_qs;
    row.value = u"1.234"_qs;
    row.unit = u"V"_qs;
    row.range = u"4 V"_qs;
    row.autoText = u"Auto"_qs;
    row.nval = 1234;
    return row;
}

// A message quotes at most a few dozen characters of the input, and no control character.
inline void checkMessage(const QString &message)
{
    FUZZ_CHECK(message.size() < 400);
    for (const QChar c : message)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F
                   && !(c.unicode() >= 0x80 && c.unicode() < 0xA0));
}

inline void checkTexts(const ReadingTable &table)
{
    for (qsizetype i = 0; i < table.rowCount(); ++i) {
        for (int f = 0; f < ReadingTable::FieldCount; ++f) {
            const QString text = table.text(i, ReadingTable::Field(f));
            FUZZ_CHECK(text.size() <= ReadingTable::TextLength);
            // Cut at whole characters: no high surrogate left without its pair.
            FUZZ_CHECK(text.isEmpty() || !text.back().isHighSurrogate());
        }
    }
}

// The records of an RFC 4180 file after its byte-order mark, each ended by CR LF; nullopt
// when the bytes are no such file (a quote inside a plain field, a quoted field not closed,
// text after a closing quote, a lone CR or LF outside quotes, bytes that are not UTF-8).
inline std::optional<QList<QStringList>> csvRecords(const QByteArray &file)
{
    static constexpr char bom[] = "\xEF\xBB\xBF";
    if (!file.startsWith(bom))
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(file).sliced(3));
    if (utf8.hasError())
        return std::nullopt;
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false; // inside quotes
    bool wasQuoted = false; // the field was quoted and its closing quote seen
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != u'"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == u'"') {
                field += text[++i];
            } else {
                quoted = false;
                wasQuoted = true;
            }
        } else if (c == u'"') {
            if (!field.isEmpty() || wasQuoted)
                return std::nullopt;
            quoted = true;
        } else if (c == u',' || c == u'\r') {
            if (c == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))
                return std::nullopt;
            record.append(std::exchange(field, QString()));
            wasQuoted = false;
            if (c == u'\r') {
                records.append(std::exchange(record, QStringList()));
                ++i;
            }
        } else if (c == u'\n' || wasQuoted) {
            return std::nullopt;
        } else {
            field += c;
        }
    }
    if (quoted || !field.isEmpty() || wasQuoted || !record.isEmpty())
        return std::nullopt;
    return records;
}

// The table in CSV is well formed, a record a row of seven fields, and its fields are those
// of the text form, where TAB, CR and LF inside a field are blanks.
inline void checkCsv(const ReadingTable &table, const QString &textFile)
{
    QString error;
    const QString csv = scratchPath(".csv");
    FUZZ_CHECK(TableFiles::saveCsv(table, csv, &error));
    QFile csvFile(csv);
    FUZZ_CHECK(csvFile.open(QIODevice::ReadOnly));
    const std::optional<QList<QStringList>> records = csvRecords(csvFile.readAll());
    FUZZ_CHECK(records);
    FUZZ_CHECK(records->size() == table.rowCount() + 1);
    FUZZ_CHECK(records->front().join(u'|') == u"No|Time|DC/AC|Value|Unit|Range|AUTO"_qs);

    QFile text(textFile);
    FUZZ_CHECK(text.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = text.readAll().split('\n');
    FUZZ_CHECK(lines.size() == table.rowCount() + 2);
    for (qsizetype i = 1; i < records->size(); ++i) {
        QStringList fields = records->at(i);
        FUZZ_CHECK(fields.size() == 7);
        for (QString &f : fields) {
            for (QChar &c : f)
                if (c == u'\t' || c == u'\r' || c == u'\n')
                    c = u' ';
        }
        QByteArray line = lines[i];
        FUZZ_CHECK(line.endsWith('\r'));
        line.chop(1);
        FUZZ_CHECK(fields.join(u'\t') == QString::fromUtf8(line));
    }
}

// What was read is written in every form; XML and text load back, CSV is well formed.
inline void checkWrittenFormsLoad(const ReadingTable &table)
{
    QString error;
    const QString xml = scratchPath(".xml");
    FUZZ_CHECK(TableFiles::saveXml(table, xml, &error));
    ReadingTable fromXml;
    if (!TableFiles::loadXml(fromXml, xml, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        FUZZ_CHECK(false);
    }
    FUZZ_CHECK(fromXml.rowCount() == table.rowCount());
    for (qsizetype i = 0; i < table.rowCount(); ++i) {
        FUZZ_CHECK(fromXml.integer(i, ReadingTable::No) == table.integer(i, ReadingTable::No));
        FUZZ_CHECK(fromXml.integer(i, ReadingTable::Nval) == table.integer(i, ReadingTable::Nval));
    }

    const QString text = scratchPath(".txt");
    FUZZ_CHECK(TableFiles::saveText(table, text, &error));
    ReadingTable fromText;
    if (table.rowCount() > 0) {
        if (!TableFiles::loadText(fromText, text, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            FUZZ_CHECK(false);
        }
    }
    FUZZ_CHECK(fromText.rowCount() == table.rowCount());
    for (qsizetype i = 0; i < table.rowCount(); ++i)
        FUZZ_CHECK(fromText.integer(i, ReadingTable::No) == table.integer(i, ReadingTable::No));

    checkCsv(table, text);
}

} // namespace Fuzz
