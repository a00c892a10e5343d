#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"
#include "support/FileBytes.h"
#include "support/FileTargets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

// The table files as the program writes and reads them: real files in a temporary folder.
class TestDataFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();

    void textRoundTrip();
    void emptyTableWritesTheHeaderOnly();
    void textBytesAreExact();
    void textLoadAppends();
    void textLines_data();
    void textLines();
    void textParts_data();
    void textParts();
    void textLoadFailures_data();
    void textLoadFailures();
    void extensionRule_data();
    void extensionRule();

    void csvFields_data();
    void csvFields();
    void csvFileOfATable();
    void csvExtensionRule_data();
    void csvExtensionRule();

    void xmlRoundTrip();
    void xmlBytesAreExact();
    void otherWritersPacketsLoad_data();
    void otherWritersPacketsLoad();
    void tolerantPackets_data();
    void tolerantPackets();
    void xmlLoadFailures_data();
    void xmlLoadFailures();

    void saveFailures_data();
    void saveFailures();
    void failedSaveKeepsTheEarlierFile_data();
    void failedSaveKeepsTheEarlierFile();
    void readOnlyFolderKeepsTheEarlierFile();
    void savesFollowTheWriterRule_data();
    void savesFollowTheWriterRule();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QByteArray header = "No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\r\n";

ReadingTable::Row makeRow(std::optional<qint32> no, const QString &time, const QString &dcAc,
                          const QString &value, const QString &unit, const QString &range,
                          const QString &autoText, std::optional<qint32> nval)
{
    ReadingTable::Row r;
    r.no = no;
    r.time = time;
    r.dcAc = dcAc;
    r.value = value;
    r.unit = unit;
    r.range = range;
    r.autoText = autoText;
    r.nval = nval;
    return r;
}

ReadingTable sampleTable()
{
    ReadingTable t;
    t.append(
        makeRow(1, u"12:00:01"_qs, u"DCV"_qs, u"1.234"_qs, u"V"_qs, u"4 V"_qs, u"Auto"_qs, 1234));
    t.append(makeRow(2, u"12:00:02"_qs, u"ACV"_qs, u"-0.567"_qs, u"mV"_qs, u"400 mV"_qs, u"Manu"_qs,
                     -567));
    t.append(
        makeRow(3, u"12:00:03"_qs, u"TEMP"_qs, u"21.5"_qs, u"\u00B0C"_qs, u""_qs, u"Auto"_qs, 215));
    return t;
}

QList<ReadingTable::Row> rowsOf(const ReadingTable &t)
{
    QList<ReadingTable::Row> rows;
    for (qsizetype i = 0; i < t.rowCount(); ++i)
        rows << t.row(i);
    return rows;
}

// A row as "No|Time|DC/AC|Value|Unit|Range|Auto|Nval".
QString joined(const ReadingTable::Row &r)
{
    QStringList texts;
    for (int f = 0; f < ReadingTable::FieldCount; ++f)
        texts << r.text(ReadingTable::Field(f));
    return texts.join(u'|');
}

QStringList joinedRows(const ReadingTable &t)
{
    QStringList rows;
    for (qsizetype i = 0; i < t.rowCount(); ++i)
        rows << joined(t.row(i));
    return rows;
}

// A packet with the given FIELD and ROW elements.
QByteArray packet(const QByteArray &fields, const QByteArray &rows)
{
    return "<?xml version=\"1.0\" standalone=\"yes\"?>\n<DATAPACKET Version=\"2.0\"><METADATA>"
           "<FIELDS>"
        + fields + "</FIELDS><PARAMS/></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>\n";
}

const QByteArray allFields = "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                             "<FIELD attrname=\"Time\" fieldtype=\"string\" WIDTH=\"20\"/>"
                             "<FIELD attrname=\"DC/AC\" fieldtype=\"string\" WIDTH=\"20\"/>"
                             "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
                             "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                             "<FIELD attrname=\"Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
                             "<FIELD attrname=\"Auto\" fieldtype=\"string\" WIDTH=\"20\"/>"
                             "<FIELD attrname=\"Nval\" fieldtype=\"i4\"/>";

} // namespace

void TestDataFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestDataFiles::textRoundTrip()
{
    const ReadingTable saved = sampleTable();
    QString error;
    QVERIFY2(TableFiles::saveText(saved, path(u"rows.xls"_qs), &error), qPrintable(error));
    ReadingTable loaded;
    QVERIFY(TableFiles::loadText(loaded, path(u"rows.xls"_qs)));
    QCOMPARE(loaded.rowCount(), 3);
    for (qsizetype i = 0; i < 3; ++i) {
        ReadingTable::Row expected = saved.row(i);
        expected.nval.reset(); // the text form has no Nval
        QCOMPARE(loaded.row(i), expected);
    }
}

void TestDataFiles::emptyTableWritesTheHeaderOnly()
{
    QVERIFY(TableFiles::saveText(ReadingTable(), path(u"empty.txt"_qs)));
    QCOMPARE(readFile(path(u"empty.txt"_qs)), header);
    ReadingTable loaded;
    QVERIFY(TableFiles::loadText(loaded, path(u"empty.txt"_qs)));
    QCOMPARE(loaded.rowCount(), 0);
}

void TestDataFiles::textBytesAreExact()
{
    ReadingTable t;
    t.append(makeRow(7, u" 12:00:01 "_qs, u"\tDCV"_qs, u"1.234\r\n"_qs, u"V"_qs, u"4  V"_qs,
                     u"Auto\u0001"_qs, 1234));
    t.append(makeRow(std::nullopt, {}, {}, u"x"_qs, {}, {}, {}, 5));
    t.append(makeRow(-12, u"t"_qs, u"\u00B5A"_qs, {}, {}, {}, {}, std::nullopt));
    QVERIFY(TableFiles::saveText(t, path(u"exact.txt"_qs)));
    const QByteArray expected = header + "7\t12:00:01\tDCV\t1.234\tV\t4  V\tAuto\r\n"
        + "\t\t\tx\t\t\t\r\n"
        + "-12\tt\t\xC2\xB5"
          "A\t\t\t\t\r\n";
    QCOMPARE(readFile(path(u"exact.txt"_qs)), expected);
}

void TestDataFiles::textLoadAppends()
{
    QVERIFY(TableFiles::saveText(sampleTable(), path(u"rows.txt"_qs)));
    ReadingTable t;
    QVERIFY(TableFiles::loadText(t, path(u"rows.txt"_qs)));
    QVERIFY(TableFiles::loadText(t, path(u"rows.txt"_qs)));
    QCOMPARE(t.rowCount(), 6);
    QCOMPARE(t.row(3), t.row(0));
    QCOMPARE(t.text(5, ReadingTable::Unit), u"\u00B0C"_qs);
}

void TestDataFiles::textLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rows"); // "No|Time" of each row loaded
    const QStringList ab {u"1|a"_qs, u"2|b"_qs};
    QTest::newRow("CR LF") << QByteArray("H\r\n1\ta\r\n2\tb\r\n") << ab;
    QTest::newRow("LF") << QByteArray("H\n1\ta\n2\tb\n") << ab;
    QTest::newRow("CR") << QByteArray("H\r1\ta\r2\tb\r") << ab;
    QTest::newRow("mixed") << QByteArray("H\n1\ta\r2\tb\r\n") << ab;
    QTest::newRow("last line unended") << QByteArray("H\r\n1\ta\r\n2\tb") << ab;
    QTest::newRow("empty line inside")
        << QByteArray("H\r\n1\ta\r\n\r\n2\tb\r\n") << QStringList {u"1|a"_qs, u"|"_qs, u"2|b"_qs};
    QTest::newRow("LF CR ends two lines")
        << QByteArray("H\r\n1\ta\n\r2\tb") << QStringList {u"1|a"_qs, u"|"_qs, u"2|b"_qs};
    QTest::newRow("header only") << QByteArray("No\tTime\r\n") << QStringList {};
    QTest::newRow("header unended") << QByteArray("No\tTime") << QStringList {};
    QTest::newRow("first line is dropped whatever it holds")
        << QByteArray("1\tdropped\r\n2\tkept\r\n") << QStringList {u"2|kept"_qs};
    QTest::newRow("empty first line") << QByteArray("\r\n1\ta\r\n") << QStringList {u"1|a"_qs};
}

void TestDataFiles::textLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rows);
    QVERIFY(writeFile(path(u"lines.txt"_qs), content));
    ReadingTable t;
    QVERIFY(TableFiles::loadText(t, path(u"lines.txt"_qs)));
    QStringList loaded;
    for (qsizetype i = 0; i < t.rowCount(); ++i)
        loaded << t.text(i, ReadingTable::No) + u'|' + t.text(i, ReadingTable::Time);
    QCOMPARE(loaded, rows);
}

void TestDataFiles::textParts_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("row"); // all eight fields as joined() writes them
    QTest::newRow("eight parts fill Nval")
        << QByteArray("1\tt\td\tv\tu\tr\ta\t42") << u"1|t|d|v|u|r|a|42"_qs;
    QTest::newRow("fewer parts leave the rest empty") << QByteArray("5\tt") << u"5|t||||||"_qs;
    QTest::newRow("empty No") << QByteArray("\tt\td") << u"|t|d|||||"_qs;
    QTest::newRow("empty Nval") << QByteArray("1\t\t\t\t\t\t\t") << u"1|||||||"_qs;
    QTest::newRow("signed numbers")
        << QByteArray("+7\t\t\t\t\t\t\t-2147483648") << u"7|||||||-2147483648"_qs;
    QTest::newRow("texts taken as they are")
        << QByteArray("1\t  t  \t\"q\"\t&amp;") << u"1|  t  |\"q\"|&amp;||||"_qs;
    QTest::newRow("texts cut at 20")
        << QByteArray("1\t123456789012345678901234") << u"1|12345678901234567890||||||"_qs;
    QTest::newRow("empty line") << QByteArray("") << u"|||||||"_qs;
}

void TestDataFiles::textParts()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, row);
    QVERIFY(writeFile(path(u"parts.txt"_qs), header + line + "\r\n"));
    ReadingTable t;
    QVERIFY(TableFiles::loadText(t, path(u"parts.txt"_qs)));
    QCOMPARE(t.rowCount(), 1);
    QCOMPARE(joined(t.row(0)), row);
}

void TestDataFiles::textLoadFailures_data()
{
    QTest::addColumn<QString>("kind"); // "file", "missing" or "folder"
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<int>("rows"); // after the load, with one row there before
    QTest::newRow("no number in No") << u"file"_qs << QByteArray("x1\tt") << 2;
    QTest::newRow("blank before No") << u"file"_qs << QByteArray(" 1\tt") << 2;
    QTest::newRow("No beyond 32 bits") << u"file"_qs << QByteArray("2147483648\tt") << 2;
    QTest::newRow("no number in Nval") << u"file"_qs << QByteArray("1\t\t\t\t\t\t\tn") << 2;
    QTest::newRow("nine parts") << u"file"_qs << QByteArray("1\t2\t3\t4\t5\t6\t7\t8\t9") << 2;
    QTest::newRow("empty file") << u"file"_qs << QByteArray() << 1;
    QTest::newRow("missing file") << u"missing"_qs << QByteArray() << 1;
    QTest::newRow("folder") << u"folder"_qs << QByteArray() << 1;
}

void TestDataFiles::textLoadFailures()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, badLine);
    QFETCH(int, rows);
    const QString file = path(u"bad.txt"_qs);
    if (kind == u"folder")
        QVERIFY(QDir().mkpath(file));
    if (kind == u"file") {
        const QByteArray content = badLine.isEmpty()
            ? QByteArray()
            : header + "10\tgood\r\n" + badLine + "\r\n11\tafter\r\n";
        QVERIFY(writeFile(file, content));
    }
    const ReadingTable::Row first = sampleTable().row(0);
    ReadingTable t;
    t.append(first);
    QString error;
    QVERIFY(!TableFiles::loadText(t, file, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(t.rowCount(), rows);
    QCOMPARE(t.row(0), first);
    if (rows == 2) // the good line before the bad one, nothing after it
        QCOMPARE(joined(t.row(1)), u"10|good||||||"_qs);
}

void TestDataFiles::extensionRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("xml");
    QTest::newRow(".xml") << u"rows.xml"_qs << true;
    QTest::newRow("only .xml") << u".xml"_qs << true;
    QTest::newRow("two dots") << u"rows.old.xml"_qs << true;
    QTest::newRow(".XML") << u"rows.XML"_qs << false;
    QTest::newRow(".Xml") << u"rows.Xml"_qs << false;
    QTest::newRow(".xls") << u"rows.xls"_qs << false;
    QTest::newRow(".txt") << u"rows.txt"_qs << false;
    QTest::newRow(".xml.txt") << u"rows.xml.txt"_qs << false;
    QTest::newRow(".xmlx") << u"rows.xmlx"_qs << false;
    QTest::newRow("no extension") << u"noext"_qs << false;
    QTest::newRow("dot in the folder") << u"dir.xml/file"_qs << false;
}

void TestDataFiles::extensionRule()
{
    QFETCH(QString, name);
    QFETCH(bool, xml);
    const QString file = path(name);
    QCOMPARE(TableFiles::isXmlName(file), xml);
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QVERIFY(TableFiles::save(sampleTable(), file));
    QCOMPARE(readFile(file).startsWith("<?xml"), xml);
    QCOMPARE(readFile(file).startsWith(header), !xml);
    ReadingTable loaded;
    QVERIFY(TableFiles::load(loaded, file));
    QCOMPARE(loaded.rowCount(), 3);
    QCOMPARE(loaded.integer(0, ReadingTable::Nval).has_value(), xml);
}

void TestDataFiles::csvFields_data()
{
    QTest::addColumn<QString>("text"); // written into each text field of one row, No empty
    QTest::addColumn<QByteArray>("field"); // as it stands in the CSV line
    QTest::newRow("plain") << u"DCV"_qs << QByteArray("DCV");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("blank inside") << u"4 V"_qs << QByteArray("4 V");
    QTest::newRow("comma decimal separator") << u"1,234"_qs << QByteArray("\"1,234\"");
    QTest::newRow("comma alone") << u","_qs << QByteArray("\",\"");
    QTest::newRow("quote") << u"say \"hi\""_qs << QByteArray("\"say \"\"hi\"\"\"");
    QTest::newRow("quote alone") << u"\""_qs << QByteArray("\"\"\"\"");
    QTest::newRow("CR LF inside") << u"a\r\nb"_qs << QByteArray("\"a\r\nb\"");
    QTest::newRow("LF inside") << u"a\nb"_qs << QByteArray("\"a\nb\"");
    QTest::newRow("CR inside") << u"a\rb"_qs << QByteArray("\"a\rb\"");
    // RFC 4180 quotes for a comma, a quote and a line break only.
    QTest::newRow("TAB inside") << u"a\tb"_qs << QByteArray("a\tb");
    QTest::newRow("semicolon") << u"a;b"_qs << QByteArray("a;b");
    // As the text form writes the field: blanks and control characters around it go.
    QTest::newRow("blanks and controls around") << u" \t1,5\r\n\u0001 "_qs << QByteArray("\"1,5\"");
    QTest::newRow("non-ASCII in UTF-8") << u"\u00B5A \u00B0C \u03A9"_qs
                                        << QByteArray("\xC2\xB5"
                                                      "A \xC2\xB0"
                                                      "C \xCE\xA9");
    QTest::newRow("Arabic decimal separator") << u"1\u066B5"_qs
                                              << QByteArray("1\xD9\xAB"
                                                            "5");
    QTest::newRow("character beyond 16 bits") << u"\U0001D11E"_qs << QByteArray("\xF0\x9D\x84\x9E");
    // A half of a surrogate pair has no UTF-8 form: U+FFFD, as in the XML packet.
    QTest::newRow("lone surrogate") << (u"a"_qs + QChar(0xD800) + u"b"_qs)
                                    << QByteArray("a\xEF\xBF\xBD"
                                                  "b");
}

// One row with the text in every text field: the exact bytes of the CSV file.
void TestDataFiles::csvFields()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    ReadingTable t;
    t.append(makeRow(std::nullopt, text, text, text, text, text, text, 5));
    const QString file = path(u"fields.csv"_qs);
    QVERIFY(TableFiles::save(t, file));
    const QByteArray line = QList<QByteArray>(6, field).join(',');
    QCOMPARE(readFile(file),
             "\xEF\xBB\xBFNo,Time,DC/AC,Value,Unit,Range,AUTO\r\n," + line + "\r\n");
}

// A byte-order mark, the text form's header names and values, CR LF after every line; an empty
// table gives the header alone. The file is not read back: loading it adds no row.
void TestDataFiles::csvFileOfATable()
{
    ReadingTable t = sampleTable();
    t.append(makeRow(-12, u"12:00:04"_qs, u"DCV"_qs, u"0,5"_qs, u"V"_qs, u"4 V"_qs, u"Auto"_qs,
                     std::nullopt));
    t.append(makeRow(std::nullopt, {}, {}, {}, {}, {}, {}, std::nullopt));
    QString error;
    QVERIFY2(TableFiles::saveCsv(t, path(u"rows.csv"_qs), &error), qPrintable(error));
    QCOMPARE(readFile(path(u"rows.csv"_qs)),
             QByteArray("\xEF\xBB\xBFNo,Time,DC/AC,Value,Unit,Range,AUTO\r\n"
                        "1,12:00:01,DCV,1.234,V,4 V,Auto\r\n"
                        "2,12:00:02,ACV,-0.567,mV,400 mV,Manu\r\n"
                        "3,12:00:03,TEMP,21.5,\xC2\xB0"
                        "C,,Auto\r\n"
                        "-12,12:00:04,DCV,\"0,5\",V,4 V,Auto\r\n"
                        ",,,,,,\r\n"));

    QVERIFY(TableFiles::saveCsv(ReadingTable(), path(u"empty.csv"_qs)));
    QCOMPARE(readFile(path(u"empty.csv"_qs)),
             QByteArray("\xEF\xBB\xBFNo,Time,DC/AC,Value,Unit,Range,AUTO\r\n"));

    ReadingTable loaded = sampleTable();
    QVERIFY(!TableFiles::load(loaded, path(u"rows.csv"_qs), &error));
    QVERIFY2(error.startsWith(u"Line 2: "_qs), qPrintable(error));
    QVERIFY2(error.contains(u"CSV files are written for spreadsheets, not read back"_qs),
             qPrintable(error));
    QCOMPARE(rowsOf(loaded), rowsOf(sampleTable()));

    // Through the writer of the other forms: a disk that fills up leaves the earlier file.
    const QByteArray earlier = readFile(path(u"rows.csv"_qs));
    ReadingTable large;
    for (int n = 0; n < 20000; ++n)
        large.append(makeRow(n, u"12:00:00"_qs, u"DCV"_qs, QString::number(n), u"V"_qs, u"4 V"_qs,
                             u"Auto"_qs, n));
    {
        const FileSizeLimit limit(64 * 1024);
        QVERIFY(!TableFiles::save(large, path(u"rows.csv"_qs), &error));
    }
    QVERIFY2(error.contains(path(u"rows.csv"_qs)), qPrintable(error));
    QCOMPARE(readFile(path(u"rows.csv"_qs)), earlier);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
             QStringList({u"empty.csv"_qs, u"rows.csv"_qs}));
}

void TestDataFiles::csvExtensionRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("csv");
    QTest::newRow(".csv") << u"rows.csv"_qs << true;
    QTest::newRow("only .csv") << u".csv"_qs << true;
    QTest::newRow("two dots") << u"rows.old.csv"_qs << true;
    QTest::newRow(".CSV") << u"rows.CSV"_qs << false;
    QTest::newRow(".Csv") << u"rows.Csv"_qs << false;
    QTest::newRow(".csv.txt") << u"rows.csv.txt"_qs << false;
    QTest::newRow(".csvx") << u"rows.csvx"_qs << false;
    QTest::newRow("dot in the folder") << u"dir.csv/file"_qs << false;
}

// Exactly ".csv" saves CSV; the XML and text names keep their forms (extensionRule). A text
// file under a ".csv" name, as an earlier save made it, still loads.
void TestDataFiles::csvExtensionRule()
{
    QFETCH(QString, name);
    QFETCH(bool, csv);
    const QString file = path(name);
    QCOMPARE(TableFiles::isCsvName(file), csv);
    QVERIFY(!TableFiles::isXmlName(file));
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QVERIFY(TableFiles::save(sampleTable(), file));
    QCOMPARE(readFile(file).startsWith("\xEF\xBB\xBFNo,Time,DC/AC,"), csv);
    QCOMPARE(readFile(file).startsWith(header), !csv);
    ReadingTable loaded;
    QCOMPARE(TableFiles::load(loaded, file), !csv);
    QCOMPARE(loaded.rowCount(), csv ? 0 : 3);

    QVERIFY(TableFiles::saveText(sampleTable(), file));
    ReadingTable text;
    QVERIFY(TableFiles::load(text, file));
    QCOMPARE(text.rowCount(), 3);
}

void TestDataFiles::xmlRoundTrip()
{
    ReadingTable saved = sampleTable();
    saved.append(makeRow(4, u"12:00:04"_qs, u"A&B<C>\"D'"_qs, u"tab\there"_qs, u"\u00B5V"_qs,
                         u"line\r\nend"_qs, u"&amp;"_qs, std::nullopt));
    saved.append({});
    saved.append(
        makeRow(-2147483647 - 1, {}, {}, u"12345678901234567890xyz"_qs, {}, {}, {}, 2147483647));
    QString error;
    QVERIFY2(TableFiles::saveXml(saved, path(u"rows.xml"_qs), &error), qPrintable(error));

    ReadingTable loaded = sampleTable(); // loading replaces what was there
    QVERIFY(TableFiles::loadXml(loaded, path(u"rows.xml"_qs), &error));
    QCOMPARE(rowsOf(loaded), rowsOf(saved));
    QCOMPARE(loaded.text(5, ReadingTable::Value), u"12345678901234567890"_qs);
}

void TestDataFiles::xmlBytesAreExact()
{
    ReadingTable t;
    t.append(
        makeRow(1, u"12:00:01"_qs, u"DCV"_qs, u"1.234"_qs, u"V"_qs, u"4 V"_qs, u"Auto"_qs, 1234));
    t.append(makeRow(std::nullopt, {}, u"a\"b"_qs, u"<&>"_qs, {}, {}, {}, 0));
    QVERIFY(TableFiles::saveXml(t, path(u"shape.xml"_qs)));
    const QByteArray expected = "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n"
                                "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        + allFields
        + "</FIELDS><PARAMS/></METADATA><ROWDATA>\r\n"
          "<ROW No=\"1\" Time=\"12:00:01\" DC/AC=\"DCV\" Value=\"1.234\" Unit=\"V\" Range=\"4 V\" "
          "Auto=\"Auto\" Nval=\"1234\"/>\r\n"
          "<ROW DC/AC=\"a&quot;b\" Value=\"&lt;&amp;&gt;\" Nval=\"0\"/>\r\n"
          "</ROWDATA></DATAPACKET>\r\n";
    QCOMPARE(readFile(path(u"shape.xml"_qs)), expected);
}

void TestDataFiles::otherWritersPacketsLoad_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("DC/AC") << u"packet-other-writer.xml"_qs;
    QTest::newRow("DC_x002F_AC") << u"packet-other-writer-encoded-names.xml"_qs;
}

void TestDataFiles::otherWritersPacketsLoad()
{
    QFETCH(QString, fixture);
    ReadingTable t;
    QString error;
    QVERIFY2(TableFiles::loadXml(t, QStringLiteral(FIXTURE_DIR "/") + fixture, &error),
             qPrintable(error));
    QCOMPARE(joinedRows(t),
             (QStringList {u"1|12:00:01|DCV|1.234|V|4 V|Auto|1234"_qs,
                           u"2|12:00:02|A&B<C>\"D'|-0@|K *|40 k *|Manu|-4001"_qs,
                           u"3|12:00:03||open|#|||0"_qs}));
}

void TestDataFiles::tolerantPackets_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rows");
    const QStringList one {u"1|t|DCV|v||||5"_qs};
    const QByteArray row = "<ROW No=\"1\" Time=\"t\" DC/AC=\"DCV\" Value=\"v\" Nval=\"5\"/>";
    QTest::newRow("plain") << packet(allFields, row) << one;
    QTest::newRow("no declaration, white space inside tags")
        << QByteArray("<DATAPACKET>\n <METADATA >\n  <FIELDS>" + allFields
                      + "</FIELDS>\n </METADATA>\n <ROWDATA>\n  <ROW\n   Nval = '5'\tNo='1' "
                        "DC/AC='DCV' Value='v' Time='t' />\n </ROWDATA>\n</DATAPACKET >")
        << one;
    QTest::newRow("utf-8 declaration, byte order mark, comments")
        << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- saved -->"
                      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                      + allFields + "</FIELDS></METADATA><ROWDATA><!-- rows -->" + row
                      + "<?pi x?></ROWDATA></DATAPACKET><!-- end -->")
        << one;
    QTest::newRow("field names in other case and escaped")
        << packet("<FIELD attrname=\"NO\" fieldtype=\"i4\"/><FIELD attrname=\"dc_x002f_ac\"/>"
                  "<FIELD attrname=\"value\"/><FIELD attrname=\"N_x0076_al\" fieldtype=\"i4\"/>",
                  "<ROW NO=\"1\" dc_x002f_ac=\"DCV\" value=\"v\" N_x0076_al=\"5\"/>")
        << QStringList {u"1||DCV|v||||5"_qs};
    QTest::newRow("extra attributes, PARAM children, end tags")
        << QByteArray("<DATAPACKET><METADATA><FIELDS>"
                      "<FIELD attrname=\"No\" fieldname=\"No\" fieldtype=\"i4\"><PARAM a=\"b\"/>"
                      "</FIELD><FIELD width=\"20\" attrname=\"Time\" fieldtype=\"string\"/>"
                      "<FIELD attrname=\"Other\" fieldtype=\"string\"/></FIELDS>"
                      "<PARAMS CHANGE_LOG=\"1 0 4\"><X><Y/></X></PARAMS></METADATA><ROWDATA>"
                      "<ROW RowState=\"4\" Other=\"o\" Time=\"t\" No=\"1\"></ROW>"
                      "</ROWDATA></DATAPACKET>")
        << QStringList {u"1|t||||||"_qs};
    QTest::newRow("fields not listed stay empty")
        << packet("<FIELD attrname=\"No\" fieldtype=\"i4\"/><FIELD attrname=\"Value\"/>",
                  "<ROW No=\"1\" Value=\"v\"/><ROW No=\"2\"/>")
        << QStringList {u"1|||v||||"_qs, u"2|||||||"_qs};
    QTest::newRow("references and white space in values")
        << packet(allFields,
                  "<ROW Value=\"&#65;&#x42;&apos;&#xB5;\" Unit=\"a\tb\r\nc\" Range=\"&#9;\"/>")
        << QStringList {u"|||AB'\u00B5|a b c|\t||"_qs};
    QTest::newRow("texts cut at 20, UTF-8")
        << packet(allFields, "<ROW Value=\"123456789012345678901234\" Unit=\"\xCE\xA9\"/>")
        << QStringList {u"|||12345678901234567890|\u03A9|||"_qs};
    QTest::newRow("empty number attribute")
        << packet(allFields, "<ROW No=\"\" Nval=\"-3\"/>") << QStringList {u"|||||||-3"_qs};
    QTest::newRow("no rows") << QByteArray("<DATAPACKET><METADATA><FIELDS>" + allFields
                                           + "</FIELDS></METADATA><ROWDATA/></DATAPACKET>")
                             << QStringList {};
}

void TestDataFiles::tolerantPackets()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rows);
    QVERIFY(writeFile(path(u"packet.xml"_qs), content));
    ReadingTable t = sampleTable();
    QString error;
    QVERIFY2(TableFiles::loadXml(t, path(u"packet.xml"_qs), &error), qPrintable(error));
    QCOMPARE(joinedRows(t), rows);
}

void TestDataFiles::xmlLoadFailures_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    const QByteArray good = packet(allFields, "<ROW No=\"1\" Value=\"v\"/><ROW No=\"2\"/>");
    QTest::newRow("truncated") << good.left(good.size() / 2) << true;
    QTest::newRow("truncated end tag") << good.left(good.size() - 5) << true;
    QTest::newRow("truncated in a value") << good.left(good.indexOf("Value=\"v") + 8) << true;
    QTest::newRow("garbage") << QByteArray("\x01\x02garbage\xFF<<>>") << true;
    QTest::newRow("text form") << QByteArray(header + "1\ta\r\n") << true;
    QTest::newRow("empty file") << QByteArray() << true;
    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("no DATAPACKET") << QByteArray("<?xml version=\"1.0\"?><OTHER/>") << true;
    QTest::newRow("no ROWDATA") << QByteArray(
        "<DATAPACKET><METADATA><FIELDS/></METADATA></DATAPACKET>")
                                << true;
    QTest::newRow("no METADATA") << QByteArray("<DATAPACKET><ROWDATA/></DATAPACKET>") << true;
    QTest::newRow("no field of this table")
        << packet("<FIELD attrname=\"Name\" fieldtype=\"string\"/><FIELD attrname=\"Size\"/>",
                  "<ROW Name=\"a\" Size=\"1\"/><ROW Name=\"b\"/>")
        << true;
    QTest::newRow("no fields, rows")
        << QByteArray("<DATAPACKET><METADATA><FIELDS/></METADATA><ROWDATA><ROW No=\"1\"/>"
                      "</ROWDATA></DATAPACKET>")
        << true;
    QTest::newRow("no fields, no rows")
        << QByteArray("<DATAPACKET><METADATA><FIELDS/></METADATA><ROWDATA/></DATAPACKET>") << true;
    QTest::newRow("bad i4") << packet(allFields, "<ROW No=\"1x\"/>") << true;
    QTest::newRow("i4 beyond 32 bits") << packet(allFields, "<ROW Nval=\"2147483648\"/>") << true;
    QTest::newRow("unknown element") << packet(allFields, "<ROW/><ITEM/>") << true;
    QTest::newRow("element inside a ROW") << packet(allFields, "<ROW><X/></ROW>") << true;
    QTest::newRow("unbalanced") << packet(allFields, "<ROW/></METADATA>") << true;
    QTest::newRow("text between elements") << packet(allFields, "<ROW/>text") << true;
    QTest::newRow("unknown entity") << packet(allFields, "<ROW Value=\"&nbsp;\"/>") << true;
    QTest::newRow("raw < in a value") << packet(allFields, "<ROW Value=\"a<b\"/>") << true;
    QTest::newRow("attribute without quotes") << packet(allFields, "<ROW No=1/>") << true;
    QTest::newRow("content after the packet") << QByteArray(good + "<DATAPACKET/>") << true;
    QTest::newRow("other encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                                                  + good.mid(good.indexOf('\n')))
                                    << true;
}

void TestDataFiles::xmlLoadFailures()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    const QString file = path(u"bad.xml"_qs);
    if (exists)
        QVERIFY(writeFile(file, content));
    ReadingTable t = sampleTable();
    QString error;
    QVERIFY(!TableFiles::loadXml(t, file, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(rowsOf(t), rowsOf(sampleTable()));
}

void TestDataFiles::saveFailures_data()
{
    QTest::addColumn<QString>("file"); // in the test's folder unless absolute
    QTest::addColumn<bool>("xml");
    QTest::newRow("text to a full disk") << u"/dev/full"_qs << false;
    QTest::newRow("XML to a full disk") << u"/dev/full"_qs << true;
    QTest::newRow("text into a missing folder") << u"missing/rows.txt"_qs << false;
    QTest::newRow("XML into a missing folder") << u"missing/rows.xml"_qs << true;
    QTest::newRow("text onto a folder") << u"folder"_qs << false;
    QTest::newRow("XML onto a folder") << u"folder"_qs << true;
}

void TestDataFiles::saveFailures()
{
    QFETCH(QString, file);
    QFETCH(bool, xml);
    if (!file.startsWith(u'/'))
        file = path(file);
    QVERIFY(QDir().mkpath(path(u"folder"_qs)));
    QString error;
    const bool saved = xml ? TableFiles::saveXml(sampleTable(), file, &error)
                           : TableFiles::saveText(sampleTable(), file, &error);
    QVERIFY(!saved);
    QVERIFY2(error.contains(file), qPrintable(error));
    QCOMPARE(QDir(path(u"folder"_qs)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList {});
}

void TestDataFiles::failedSaveKeepsTheEarlierFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << u"rows.xls"_qs;
    QTest::newRow("XML") << u"rows.xml"_qs;
}

void TestDataFiles::failedSaveKeepsTheEarlierFile()
{
    QFETCH(QString, name);
    const QByteArray earlier = "earlier contents\r\n";
    QVERIFY(writeFile(path(name), earlier));
    ReadingTable large;
    for (int n = 0; n < 20000; ++n)
        large.append(makeRow(n, u"12:00:00"_qs, u"DCV"_qs, QString::number(n), u"V"_qs, u"4 V"_qs,
                             u"Auto"_qs, n));
    QString error;
    {
        const FileSizeLimit limit(64 * 1024); // the disk fills up part way
        QVERIFY(!TableFiles::save(large, path(name), &error));
    }
    QVERIFY(!error.isEmpty());
    QCOMPARE(readFile(path(name)), earlier);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList {name}); // nothing left over
    QVERIFY(TableFiles::save(large, path(name)));
    ReadingTable loaded;
    QVERIFY(TableFiles::load(loaded, path(name)));
    QCOMPARE(loaded.rowCount(), 20000);
}

void TestDataFiles::readOnlyFolderKeepsTheEarlierFile()
{
    if (geteuid() == 0)
        QSKIP("root writes into read-only folders");
    const QByteArray earlier = "earlier contents\r\n";
    QVERIFY(writeFile(path(u"rows.xls"_qs), earlier));
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner);
    QString error;
    const bool saved = TableFiles::save(sampleTable(), path(u"rows.xls"_qs), &error);
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved);
    QVERIFY(error.contains(u"rows.xls"_qs));
    QCOMPARE(readFile(path(u"rows.xls"_qs)), earlier);
}

void TestDataFiles::savesFollowTheWriterRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target"); // "FIFO" or "link" to a file in another folder
    QTest::newRow("text into a FIFO") << u"rows.xls"_qs << u"FIFO"_qs;
    QTest::newRow("XML into a FIFO") << u"rows.xml"_qs << u"FIFO"_qs;
    QTest::newRow("text through a link") << u"rows.xls"_qs << u"link"_qs;
    QTest::newRow("XML through a link") << u"rows.xml"_qs << u"link"_qs;
    QTest::newRow("CSV into a FIFO") << u"rows.csv"_qs << u"FIFO"_qs;
    QTest::newRow("CSV through a link") << u"rows.csv"_qs << u"link"_qs;
}

// A FIFO gets the file itself and stays a FIFO; a link stays a link and its file gets the rows.
void TestDataFiles::savesFollowTheWriterRule()
{
    QFETCH(QString, name);
    QFETCH(QString, target);
    ReadingTable rows; // more than a pipe holds at once
    for (int n = 0; n < 5000; ++n)
        rows.append(makeRow(n, u"12:00:00"_qs, u"DCV"_qs, QString::number(n), u"V"_qs, u"4 V"_qs,
                            u"Auto"_qs, n));
    QVERIFY(QDir().mkpath(path(u"plain"_qs)));
    QVERIFY(TableFiles::save(rows, path(u"plain/"_qs + name)));
    const QByteArray expected = readFile(path(u"plain/"_qs + name));

    const QString file = path(name);
    QString error;
    if (target == u"FIFO"_qs) {
        FifoReader reader(file);
        QVERIFY(reader.isValid());
        QVERIFY2(TableFiles::save(rows, file, &error), qPrintable(error));
        QCOMPARE(reader.bytes(), expected);
        QCOMPARE(fileKind(file), u"FIFO"_qs);
        return;
    }
    QVERIFY(QDir().mkpath(path(u"real"_qs)));
    QVERIFY(writeFile(path(u"real/"_qs + name), "earlier contents\r\n"));
    QVERIFY(QFile::link(path(u"real/"_qs + name), file));
    QVERIFY2(TableFiles::save(rows, file, &error), qPrintable(error));
    QCOMPARE(fileKind(file), u"link"_qs);
    QCOMPARE(readFile(path(u"real/"_qs + name)), expected);
    QCOMPARE(QDir(path(u"real"_qs)).entryList(QDir::Files | QDir::Hidden), QStringList {name});
}

QTEST_GUILESS_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
