#pragma once

#include <QByteArrayView>
#include <QString>

class ReadingTable;

// The reading table as a file: tab-separated text in the system's 8-bit code page, or an XML
// data packet. Savers return false with a reason in *error (when given); an earlier file of
// the same name stays as it was when a save fails. Loaders return false for any file they
// cannot read, with the reason in *error.
namespace TableFiles {

// True when the file name's extension (from its last ".") is exactly ".xml"; every other name
// means the text form.
bool isXmlName(const QString &path);

// By the extension rule: the text form appends to the table, the XML form replaces it.
bool save(const ReadingTable &table, const QString &path, QString *error = nullptr);
bool load(ReadingTable &table, const QString &path, QString *error = nullptr);

// Text form: a header line, then No, Time, DC/AC, Value, Unit, Range and Auto separated by
// TABs, each line ended by CR LF. Nval is not written.
bool saveText(const ReadingTable &table, const QString &path, QString *error = nullptr);
// Appends the rows of the file. The first line is dropped whatever it holds; parts go to the
// fields by position. On a bad line, the rows before it stay and the line adds nothing.
bool loadText(ReadingTable &table, const QString &path, QString *error = nullptr);
bool readText(ReadingTable &table, QByteArrayView bytes, QString *error = nullptr);

// XML data packet in UTF-8, all eight fields, an empty field left out of its row.
bool saveXml(const ReadingTable &table, const QString &path, QString *error = nullptr);
// Replaces the table's rows with those of the packet; on failure the table keeps its rows.
bool loadXml(ReadingTable &table, const QString &path, QString *error = nullptr);
bool readXml(ReadingTable &table, QByteArrayView bytes, QString *error = nullptr);

} // namespace TableFiles
