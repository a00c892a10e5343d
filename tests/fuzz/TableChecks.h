#pragma once

#include "FuzzSupport.h"
#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"

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

// What was read is written in both forms, and each loads back.
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
}

} // namespace Fuzz
