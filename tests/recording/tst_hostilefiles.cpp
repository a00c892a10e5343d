#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"
#include "support/ConversionError.h"
#include "support/FileBytes.h"
#include "support/ShownText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

// Table files made to hurt the readers: huge fields, terminal escapes, devices, fields that the
// other form cannot hold as they are. Real files in a temporary folder.
class TestHostileFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();

    void shownText_data();
    void shownText();
    void hugeFieldsAreCutWhileReading_data();
    void hugeFieldsAreCutWhileReading();
    void messagesQuoteLittleAndNoControls_data();
    void messagesQuoteLittleAndNoControls();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void writtenFormsLoadBack_data();
    void writtenFormsLoadBack();
    void manyFieldsAndUnknownAttributes();
    void decodeFailuresShowControlsEscaped();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

ReadingTable::Row heldRow()
{
    ReadingTable::Row r;
    r.no = 1;
    r.time = u"12:00:01"_qs;
    r.dcAc = u"DCV"_qs;
    r.value = u"1.234"_qs;
    r.unit = u"V"_qs;
    r.range = u"4 V"_qs;
    r.autoText = u"Auto"_qs;
    r.nval = 1234;
    return r;
}

const QByteArray fields = "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                          "<FIELD attrname=\"Time\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                          "<FIELD attrname=\"Nval\" fieldtype=\"i4\"/>";

QByteArray packet(const QByteArray &rows, const QByteArray &fieldList = fields)
{
    return "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\"><METADATA>"
           "<FIELDS>"
        + fieldList + "</FIELDS><PARAMS/></METADATA><ROWDATA>\r\n" + rows
        + "</ROWDATA></DATAPACKET>\r\n";
}

// The highest resident memory of this process since the last resetPeak(), in KiB (Linux).
long peakKiB()
{
    QFile status(u"/proc/self/status"_qs);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool resetPeak()
{
    QFile clear(u"/proc/self/clear_refs"_qs);
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

bool printable(const QString &text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0);
    });
}

} // namespace

void TestHostileFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestHostileFiles::shownText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << u"1.234 V \u00B5\u03A9"_qs << u"1.234 V \u00B5\u03A9"_qs;
    QTest::newRow("escape sequence") << u"\x1B[2J\x07"_qs << u"\\x1B[2J\\x07"_qs;
    QTest::newRow("NUL, DEL, C1") << QString::fromUtf16(u"a\0b\x7F\x9B", 5)
                                  << u"a\\x00b\\x7F\\x9B"_qs;
    QTest::newRow("direction override") << u"a\u202Eb"_qs << u"a\\u202Eb"_qs;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << u"\\uD800"_qs;
    QTest::newRow("pair kept") << u"\U0001F600"_qs << u"\U0001F600"_qs;
    QTest::newRow("cut after 40") << QString(50, u'x') << QString(40, u'x') + u"..."_qs;
    QTest::newRow("cut at whole characters") << QString(39, u'x') + u"\U0001F600\U0001F600"_qs
                                             << QString(39, u'x') + u"\U0001F600..."_qs;
}

void TestHostileFiles::shownText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(ShownText::escaped(text), shown);
    if (!QTest::currentDataTag() || QByteArray(QTest::currentDataTag()) != "lone surrogate")
        QCOMPARE(ShownText::escapedUtf8(text.toUtf8()), shown);
}

void TestHostileFiles::hugeFieldsAreCutWhileReading_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<char>("filler"); // repeated 64 MiB between head and tail
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("value"); // the field as read
    const QByteArray rowData = packet("").left(packet("").indexOf("</ROWDATA>"));
    const QByteArray packetEnd = "\"/></ROWDATA></DATAPACKET>";
    QTest::newRow("text field") << u"huge.txt"_qs << QByteArray("No\r\n1\t") << 'x'
                                << QByteArray("\r\n") << QString(20, u'x');
    QTest::newRow("XML attribute") << u"huge.xml"_qs << rowData + "<ROW No=\"1\" Time=\"" << 'x'
                                   << packetEnd << QString(20, u'x');
    QTest::newRow("XML field name")
        << u"name.xml"_qs
        << QByteArray("<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"Time\"/>"
                      "<FIELD attrname=\"")
        << 'T'
        << QByteArray("\"/></FIELDS></METADATA><ROWDATA><ROW Time=\"t\"/></ROWDATA>"
                      "</DATAPACKET>")
        << u"t"_qs;
    QTest::newRow("XML attribute of references")
        << u"refs.xml"_qs << rowData + "<ROW No=\"1\" Time=\"&#x263A;" << '\t' << packetEnd
        << u"\u263A"_qs + QString(19, u' ');
}

// A field is at most 20 characters however long it is in the file, and reading it takes
// about the file's size in memory, not several times that.
void TestHostileFiles::hugeFieldsAreCutWhileReading()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, head);
    QFETCH(char, filler);
    QFETCH(QByteArray, tail);
    QFETCH(QString, value);
    constexpr qsizetype Size = 64 << 20;
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(head);
        const QByteArray block(1 << 20, filler);
        for (qsizetype written = 0; written < Size; written += block.size())
            file.write(block);
        file.write(tail);
    }
    ReadingTable t;
    QString error;
    QVERIFY(resetPeak());
    const long before = peakKiB();
    QVERIFY(before > 0);
    QVERIFY2(TableFiles::load(t, path(name), &error), qPrintable(error));
    const long grown = peakKiB() - before;
    QVERIFY2(grown < 2 * Size / 1024, qPrintable(QString::number(grown) + u" KiB"_qs));

    QCOMPARE(t.rowCount(), 1);
    QCOMPARE(t.text(0, ReadingTable::Time), value);
}

void TestHostileFiles::messagesQuoteLittleAndNoControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    const QByteArray longWord(10 << 20, 'n');
    QTest::newRow("text: 10 MB non-number")
        << u"long.txt"_qs << QByteArray("No\r\n" + longWord + "\r\n")
        << u"Line 2: '"_qs + QString(40, u'n') + u"...' is not a whole number"_qs;
    QTest::newRow("text: escape and NUL in a number")
        << u"esc.txt"_qs << QByteArray("No\r\n1\r\n\x1B[31m\0\r\n", 15)
        << u"Line 3: '\\x1B[31m\\x00' is not a whole number"_qs;
    QTest::newRow("XML: 10 MB non-number")
        << u"long.xml"_qs << packet("<ROW Nval=\"" + longWord + "\"/>")
        << u"'"_qs + QString(40, u'n') + u"...' is not a whole number"_qs;
    QTest::newRow("XML: escape by reference in a number")
        << u"esc.xml"_qs << packet("<ROW No=\"&#27;]0;x&#7;\"/>")
        << u"'\\x1B]0;x\\x07' is not a whole number"_qs;
    QByteArray manyAttributes = "<ROW";
    for (int i = 0; i < 5000; ++i)
        manyAttributes += " A=\"\"";
    QTest::newRow("XML: a tag of 5000 attributes")
        << u"many.xml"_qs << packet(manyAttributes + "/>")
        << u"more than 4096 attributes in a tag"_qs;
    QTest::newRow("XML: escape in the encoding")
        << u"enc.xml"_qs << QByteArray("<?xml version=\"1.0\" encoding=\"\x1B[2J\"?><DATAPACKET/>")
        << u"unsupported encoding \\x1B[2J"_qs;
}

// What a failed load says quotes a few dozen characters of the input at most, and a terminal or
// a box shows control characters as text. The table keeps the rows it held.
void TestHostileFiles::messagesQuoteLittleAndNoControls()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QVERIFY(writeFile(path(name), content));
    ReadingTable t;
    t.append(heldRow());
    QString error;
    QVERIFY(!TableFiles::load(t, path(name), &error));
    QCOMPARE(error, message);
    QVERIFY(printable(error));
    QCOMPARE(t.row(0), heldRow());
    if (TableFiles::isXmlName(name))
        QCOMPARE(t.rowCount(), 1);
}

void TestHostileFiles::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("file"); // %D: the temporary folder
    QTest::newRow("/dev/zero") << u"/dev/zero"_qs;
    QTest::newRow("/dev/null") << u"/dev/null"_qs;
    QTest::newRow("FIFO") << u"%D/fifo.xml"_qs;
    QTest::newRow("FIFO, text form") << u"%D/fifo.txt"_qs;
}

// A device or a pipe may never end: refused at once, the table untouched.
void TestHostileFiles::onlyRegularFilesAreRead()
{
    QFETCH(QString, file);
    file.replace(u"%D"_qs, m_dir->path());
    if (file.startsWith(m_dir->path()))
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    for (const bool xml : {false, true}) {
        ReadingTable t;
        t.append(heldRow());
        QString error;
        QVERIFY(
            !(xml ? TableFiles::loadXml(t, file, &error) : TableFiles::loadText(t, file, &error)));
        QCOMPARE(error, u"Could not read "_qs + file + u": it is not a regular file"_qs);
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.row(0), heldRow());
    }
}

void TestHostileFiles::writtenFormsLoadBack_data()
{
    QTest::addColumn<QByteArray>("row"); // a ROW of the packet read first
    QTest::addColumn<QString>("value"); // as read
    QTest::addColumn<QString>("asText"); // after the text form
    QTest::addColumn<QString>("asXml"); // after the XML form
    QTest::newRow("TAB, CR, LF by reference")
        << QByteArray("<ROW No=\"1\" Value=\"a&#9;b&#13;&#10;c\"/>") << u"a\tb\r\nc"_qs
        << u"a b  c"_qs << u"a\tb\r\nc"_qs;
    QTest::newRow("control characters")
        << QByteArray("<ROW No=\"1\" Value=\"a&#0;b&#27;c&#x1F;\"/>")
        << QString::fromUtf16(u"a\0b\x1B"
                              u"c\x1F",
                              6)
        << QString::fromUtf16(u"a\0b\x1B"
                              u"c",
                              5)
        << u"a\uFFFDb\uFFFDc\uFFFD"_qs;
    QTest::newRow("non-characters")
        << QByteArray("<ROW No=\"1\" Value=\"&#xFFFE;&#xFFFF;\"/>") << u"\uFFFE\uFFFF"_qs
        << u"\uFFFE\uFFFF"_qs << u"\uFFFD\uFFFD"_qs;
    QTest::newRow("pair at the cut")
        << QByteArray("<ROW No=\"1\" Value=\"1234567890123456789&#x1F600;\"/>")
        << u"1234567890123456789"_qs << u"1234567890123456789"_qs << u"1234567890123456789"_qs;
    QTest::newRow("pair before the cut")
        << QByteArray("<ROW No=\"1\" Value=\"123456789012345678&#x1F600;9\"/>")
        << u"123456789012345678\U0001F600"_qs << u"123456789012345678\U0001F600"_qs
        << u"123456789012345678\U0001F600"_qs;
}

// Whatever a file gave, both forms written from it load back.
void TestHostileFiles::writtenFormsLoadBack()
{
    QFETCH(QByteArray, row);
    QFETCH(QString, value);
    QFETCH(QString, asText);
    QFETCH(QString, asXml);
    QVERIFY(writeFile(path(u"in.xml"_qs), packet(row)));
    ReadingTable t;
    QString error;
    QVERIFY2(TableFiles::load(t, path(u"in.xml"_qs), &error), qPrintable(error));
    QCOMPARE(t.text(0, ReadingTable::Value), value);

    QVERIFY2(TableFiles::save(t, path(u"out.txt"_qs), &error), qPrintable(error));
    ReadingTable fromText;
    QVERIFY2(TableFiles::load(fromText, path(u"out.txt"_qs), &error), qPrintable(error));
    QCOMPARE(fromText.rowCount(), 1);
    QCOMPARE(fromText.text(0, ReadingTable::Value), asText);

    QVERIFY2(TableFiles::save(t, path(u"out.xml"_qs), &error), qPrintable(error));
    const QByteArray written = readFile(path(u"out.xml"_qs));
    QVERIFY(!written.contains("&#0;") && !written.contains("&#27;"));
    ReadingTable fromXml;
    QVERIFY2(TableFiles::load(fromXml, path(u"out.xml"_qs), &error), qPrintable(error));
    QCOMPARE(fromXml.rowCount(), 1);
    QCOMPARE(fromXml.text(0, ReadingTable::Value), asXml);
}

// Many FIELDs naming one field, and rows full of attributes no FIELD names (the shape that made
// the reader slow): the first FIELD of a name counts, the unknown attributes are left out.
void TestHostileFiles::manyFieldsAndUnknownAttributes()
{
    QByteArray fieldList = fields;
    for (int i = 0; i < 20000; ++i)
        fieldList
            += "<FIELD attrname=\"No\"/><FIELD attrname=\"Other" + QByteArray::number(i) + "\"/>";
    QByteArray rows;
    for (int i = 0; i < 5000; ++i)
        rows += "<ROW A" + QByteArray::number(i % 7) + "=\"1\" No=\"" + QByteArray::number(i)
            + "\" Other3=\"o\" Value=\"v\" Z=\"\"/>\r\n";
    QVERIFY(writeFile(path(u"shape.xml"_qs), packet(rows, fieldList)));
    ReadingTable t;
    QString error;
    QVERIFY2(TableFiles::load(t, path(u"shape.xml"_qs), &error), qPrintable(error));
    QCOMPARE(t.rowCount(), 5000);
    QCOMPARE(t.row(4321).no, 4321);
    QCOMPARE(t.text(4321, ReadingTable::Value), u"v"_qs);
    QCOMPARE(t.text(4321, ReadingTable::Unit), QString());
}

// A frame of the bridge cable may carry any byte; the box and meterlog show it as text.
void TestHostileFiles::decodeFailuresShowControlsEscaped()
{
    QCOMPARE((ConversionError {u"\x1B"_qs}.message()), u"'\\x1B' is not a valid integer value"_qs);
    QCOMPARE((ConversionError {u"1B"_qs}.message()), u"'1B' is not a valid integer value"_qs);
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
