#pragma once

#include <QByteArrayView>
#include <QString>

class ReadingTable;

// The reading table as a file: tab-separated text in the system's 8-bit code page, an XML data
// packet, or CSV for spreadsheets (written only). Savers return false with a reason in *error (when
// given); an earlier file of the same name stays as it was when a save fails. Loaders return false
// for any file they cannot read, with the reason in *error.
namespace TableFiles {

// True when the file name's extension (from its last ".") is exactly ".xml"; every other name
// means the text form.
bool isXmlName(const QString &path);
// True when the extension is exactly ".csv".
bool isCsvName(const QString &path);

// By the extension rule: ".xml" the XML form, ".csv" CSV, any other name the text form. Loading
// has no CSV reader: a ".csv" name is read as the text form (an earlier save under that name
// was one), so a CSV file fails at its first row and adds none. The text form appends to the
// table, the XML form replaces it.
bool save(const ReadingTable &table, const QString &path, QString *error = nullptr);
bool load(ReadingTable &table, const QString &path, QString *error = nullptr);

// Text form: a header line, then No, Time, DC/AC, Value, Unit, Range and Auto separated by
// TABs, each line ended by CR LF. Nval is not written.
bool saveText(const ReadingTable &table, const QString &path, QString *error = nullptr);
// Appends the rows of the file. The first line is dropped whatever it holds; parts go to the
// fields by position. On a bad line, the rows before it stay and the line adds nothing.
bool loadText(ReadingTable &table, const QString &path, QString *error = nullptr);
bool readText(ReadingTable &table, QByteArrayView bytes, QString *error = nullptr);

// CSV by RFC 4180, in UTF-8 after a byte-order mark: the text form's header names and values,
// separated by commas, each line ended by CR LF. A field that holds a comma, a double quote, a
// CR or an LF is quoted, its double quotes doubled.
bool saveCsv(const ReadingTable &table, const QString &path, QString *error = nullptr);

// XML data packet in UTF-8, all eight fields, an empty field left out of its row.
bool saveXml(const ReadingTable &table, const QString &path, QString *error = nullptr);
// Replaces the table's rows with those of the packet; on failure the table keeps its rows.
bool loadXml(ReadingTable &table, const QString &path, QString *error = nullptr);
bool readXml(ReadingTable &table, QByteArrayView bytes, QString *error = nullptr);

} // namespace TableFiles
