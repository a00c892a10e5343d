#include "recording/ReadingTable.h"

#include <QTest>

class TestReadingTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fieldsByNameInAnyCase_data();
    void fieldsByNameInAnyCase();
    void rowsRoundTrip();
    void textsAreCutAt20();
    void emptyFieldsStayEmpty();
    void recurringTextsAreStoredOnce();
    void clearEmptiesEverything();
    void timeTextsComeBackAsStored_data();
    void timeTextsComeBackAsStored();
    void fullMemoryLeavesTheTableAsItWas();
};

namespace {

ReadingTable::Row sample(int n)
{
    ReadingTable::Row r;
    r.no = n;
    r.time = u"10:00:%1"_qs.arg(n % 60, 2, 10, QChar(u'0'));
    r.dcAc = u"DCV"_qs;
    r.value = u"1.%1"_qs.arg(n % 1000, 3, 10, QChar(u'0'));
    r.unit = u"V"_qs;
    r.range = u"4 V"_qs;
    r.autoText = u"Auto"_qs;
    r.nval = 1000 + n % 1000;
    return r;
}

} // namespace

void TestReadingTable::fieldsByNameInAnyCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("field");
    QTest::newRow("value") << u"value"_qs << int(ReadingTable::Value);
    QTest::newRow("time") << u"time"_qs << int(ReadingTable::Time);
    QTest::newRow("no") << u"no"_qs << int(ReadingTable::No);
    QTest::newRow("unit") << u"unit"_qs << int(ReadingTable::Unit);
    QTest::newRow("AUTO") << u"AUTO"_qs << int(ReadingTable::Auto);
    QTest::newRow("range") << u"range"_qs << int(ReadingTable::Range);
    QTest::newRow("dc/ac") << u"dc/ac"_qs << int(ReadingTable::DcAc);
    QTest::newRow("NVAL") << u"NVAL"_qs << int(ReadingTable::Nval);
    QTest::newRow("unknown") << u"DC_x002F_AC"_qs << -1;
}

void TestReadingTable::fieldsByNameInAnyCase()
{
    QFETCH(QString, name);
    QFETCH(int, field);
    const auto f = ReadingTable::fieldByName(name);
    QCOMPARE(f ? int(*f) : -1, field);
}

void TestReadingTable::rowsRoundTrip()
{
    ReadingTable table;
    for (int n = 0; n < 5000; ++n)
        table.append(sample(n));
    QCOMPARE(table.rowCount(), 5000);
    for (int n : {0, 1, 59, 60, 4999})
        QCOMPARE(table.row(n), sample(n));
    QCOMPARE(table.text(7, ReadingTable::No), u"7"_qs);
    QCOMPARE(table.integer(7, ReadingTable::Nval), std::optional<qint32>(1007));
}

void TestReadingTable::textsAreCutAt20()
{
    ReadingTable table;
    ReadingTable::Row r;
    r.value = u"123456789012345678901234"_qs;
    r.setText(ReadingTable::Unit, u"abcdefghijklmnopqrstuvwxyz"_qs);
    table.append(r);
    QCOMPARE(table.text(0, ReadingTable::Value), u"12345678901234567890"_qs);
    QCOMPARE(table.text(0, ReadingTable::Unit), u"abcdefghijklmnopqrst"_qs);
}

void TestReadingTable::emptyFieldsStayEmpty()
{
    ReadingTable table;
    table.append({});
    ReadingTable::Row zero;
    zero.no = 0;
    zero.nval = 0;
    table.append(zero);
    QCOMPARE(table.text(0, ReadingTable::No), QString());
    QCOMPARE(table.text(0, ReadingTable::Nval), QString());
    QVERIFY(!table.integer(0, ReadingTable::No));
    QCOMPARE(table.text(1, ReadingTable::No), u"0"_qs); // zero is not empty
    QCOMPARE(table.integer(1, ReadingTable::Nval), std::optional<qint32>(0));
}

void TestReadingTable::recurringTextsAreStoredOnce()
{
    ReadingTable small, large;
    for (int n = 0; n < 1000; ++n)
        small.append(sample(n));
    for (int n = 0; n < 100000; ++n)
        large.append(sample(n));
    // The texts repeat, so a hundred times the rows costs little more than the rows themselves.
    const double perRow = double(large.memoryUsed() - small.memoryUsed()) / 99000.0;
    QVERIFY2(perRow <= 48.0, qPrintable(QString::number(perRow)));
}

void TestReadingTable::clearEmptiesEverything()
{
    ReadingTable table;
    for (int n = 0; n < 100; ++n)
        table.append(sample(n));
    table.clear();
    QCOMPARE(table.rowCount(), 0);
    table.append(sample(3));
    QCOMPARE(table.row(0), sample(3));
}

void TestReadingTable::timeTextsComeBackAsStored_data()
{
    QTest::addColumn<QString>("time");
    for (const char16_t *t :
         {u"00:00:00", u"23:59:59", u"07.08.09", u"12:34:56", u"24:00:00", u"12:60:00", u"1:02:03",
          u"12:34:5", u"12:34.56", u"ab:cd:ef", u" 12:00:00", u"12:00:00 ", u"", u"\u00e9:\u00e9",
          u"11\u4e0012\u4e0013"})
        QTest::newRow(QString::fromUtf16(t).toUtf8().constData()) << QString::fromUtf16(t);
}

void TestReadingTable::timeTextsComeBackAsStored()
{
    QFETCH(QString, time);
    ReadingTable table;
    ReadingTable::Row r = sample(1);
    r.time = time;
    table.append(r);
    table.append(sample(2));
    QCOMPARE(table.text(0, ReadingTable::Time), time);
    QCOMPARE(table.row(0), r);
    QCOMPARE(table.row(1), sample(2));
}

void TestReadingTable::fullMemoryLeavesTheTableAsItWas()
{
    ReadingTable table;
    table.setBlockLimit(1);
    for (int n = 0; n < ReadingTable::ChunkRows; ++n)
        QVERIFY(table.append(sample(n)));
    QVERIFY(!table.append(sample(1)));
    QCOMPARE(table.rowCount(), ReadingTable::ChunkRows);
    QCOMPARE(table.row(ReadingTable::ChunkRows - 1), sample(ReadingTable::ChunkRows - 1));
    table.clear();
    QVERIFY(table.append(sample(3)));
    QCOMPARE(table.row(0), sample(3));
}

QTEST_GUILESS_MAIN(TestReadingTable)
#include "tst_readingtable.moc"
