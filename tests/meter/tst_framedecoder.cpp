#include "meter/FrameDecoder.h"

#include <QTest>
#include <cmath>

using namespace FrameDecoder;

// Lets QCOMPARE take decoder results and print a failure's message.
bool operator==(const ConversionError &a, const ConversionError &b)
{
    return a.text == b.text;
}

char *toString(const Result &result)
{
    return QTest::toString(result ? result->message() : u"decoded"_qs);
}

namespace {

const Result decoded;

const QString point = u"."_qs;

// A reading as an earlier frame left it, so that every test sees what a frame clears, keeps or
// overwrites.
Reading staleReading()
{
    Reading r;
    r.functionText = u"stale"_qs;
    r.unitText = u"stale"_qs;
    r.autoText = u"stale"_qs;
    r.rangeText = u"previous"_qs;
    r.valueText = u"previous value"_qs;
    r.numericValue = -77;
    r.decimalPoint = 2;
    return r;
}

QStringList digits(const Reading &r)
{
    return QStringList(r.digitTexts.begin(), r.digitTexts.end());
}

QStringList separators(const Reading &r)
{
    return QStringList(r.separatorTexts.begin(), r.separatorTexts.end());
}

QStringList flagsSet(const Reading &r)
{
    const std::pair<bool, const char16_t *> flags[] = {
        {r.highVoltage, u"highVoltage"},
        {r.negative, u"negative"},
        {r.lowBattery, u"lowBattery"},
        {r.overload, u"overload"},
        {r.hold, u"hold"},
        {r.maxMode, u"maxMode"},
        {r.minMode, u"minMode"},
        {r.autoRange, u"autoRange"},
        {r.manualRange, u"manualRange"},
        {r.openInput, u"openInput"},
    };
    QStringList names;
    for (const auto &[set, name] : flags) {
        if (set)
            names << QString::fromUtf16(name);
    }
    return names;
}

// Every field, one per line, so that a mismatch shows where two readings differ.
QString describe(const Reading &r)
{
    QStringList lines {
        u"bits "_qs + r.frameBitsText(),
        u"markers "_qs + QString::number(r.markersValid),
        u"codes "_qs + QString::number(r.functionCode) + u' ' + r.subCode + u' '
            + QString::number(r.rangeCode) + u' ' + QString::number(r.frequencyRangeCode),
        u"texts "_qs + QStringList {r.functionText, r.unitText, r.rangeText, r.autoText}.join(u'|'),
        u"digits "_qs + digits(r).join(u'|'),
        u"point "_qs + QString::number(r.decimalPoint),
        u"separators "_qs + separators(r).join(u'|'),
        u"sign "_qs + r.signText,
        u"flags "_qs + flagsSet(r).join(u' '),
        u"value "_qs + r.valueText,
        u"numeric "_qs + QString::number(double(r.numericValue)),
    };
    return lines.join(u'\n');
}

// Notes each call with what the reading holds at that moment.
class StepLog : public StepWatcher
{
public:
    QStringList calls;
    void textsCleared(const Reading &r) override
    {
        calls << u"cleared "_qs + r.functionText + u'|' + r.unitText + u'|' + r.autoText;
    }
    void functionDecoded(const Reading &r) override
    {
        calls << u"function "_qs + r.functionText + u'|' + r.rangeText;
    }
    void flagsDecoded(const Reading &r) override
    {
        calls << u"flags "_qs + QStringList(r.digitTexts.begin(), r.digitTexts.end()).join(u"")
                + u' ' + flagsSet(r).join(u' ');
    }
    void signDecoded(const Reading &r) override
    {
        calls << u"sign "_qs + QString::number(r.decimalPoint) + u' ' + r.signText + u'|'
                + r.valueText;
    }
};

} // namespace

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void functionTable_data();
    void functionTable();
    void rangePersistsAcrossFrames_data();
    void rangePersistsAcrossFrames();
    void invalidMarkers_data();
    void invalidMarkers();
    void flags_data();
    void flags();
    void overloadAndOpenInput_data();
    void overloadAndOpenInput();
    void separatorsAndSign_data();
    void separatorsAndSign();
    void numericValue_data();
    void numericValue();
    void numericValueUsesGivenFullScale();
    void defaultFullScale_data();
    void defaultFullScale();
    void conversionFailures_data();
    void conversionFailures();
    void onlyFirstThirteenCharactersRead();
    void frameBits_data();
    void frameBits();
    void watcherSeesEachStepInOrder_data();
    void watcherSeesEachStepInOrder();
};

void TestFrameDecoder::functionTable_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("range");
    QTest::addColumn<int>("decimalPoint");

    // Digits 1234 throughout; "previous" is the range text left by the frame before.
    const auto row = [](const char *name, const char16_t *frame, const char16_t *function,
                        const char16_t *unit, const char16_t *range, int decimalPoint) {
        QTest::newRow(name) << QString::fromUtf16(frame) << QString::fromUtf16(function)
                            << QString::fromUtf16(unit) << QString::fromUtf16(range)
                            << decimalPoint;
    };
    row("DCV 4 V", u"A00012340000D", u"DCV", u"V", u"4 V", 1);
    row("DCV 40 V", u"A00112340000D", u"DCV", u"V", u"40 V", 2);
    row("DCV 400 V", u"A00212340000D", u"DCV", u"V", u"400 V", 3);
    row("DCV 1000 V", u"A00312340000D", u"DCV", u"V", u"1000 V", 0);
    row("DCV range 4", u"A00412340000D", u"DCV", u"V", u"previous", 0);
    row("DCV range 9", u"A00912340000D", u"DCV", u"V", u"previous", 0);
    row("ACV 4 V", u"A01012340000D", u"ACV", u"V", u"4 V", 1);
    row("ACV 40 V", u"A01112340000D", u"ACV", u"V", u"40 V", 2);
    row("ACV 400 V", u"A01212340000D", u"ACV", u"V", u"400 V", 3);
    row("ACV 1000 V", u"A01312340000D", u"ACV", u"V", u"1000 V", 0);
    row("ACV range 7", u"A01712340000D", u"ACV", u"V", u"previous", 0);
    row("voltage sub A is text", u"A0A012340000D", u"ACV", u"V", u"4 V", 1);
    row("voltage sub a is text", u"A0a312340000D", u"ACV", u"V", u"1000 V", 0);

    row("mV 400", u"A10012340000D", u"DCmv", u"mV", u"400 mv", 3);
    row("mV 40", u"A10112340000D", u"DCmv", u"mV", u"40 mv", 2);
    row("mV range 2", u"A10212340000D", u"", u"", u"previous", 0);
    row("temperature #", u"A11012340000D", u"TMP", u"#", u"previous", 0);
    row("temperature # range unread", u"A11F12340000D", u"TMP", u"#", u"previous", 0);
    row("temperature ?", u"A12512340000D", u"TMP", u"?", u"previous", 0);
    row("function 1 sub 3", u"A13012340000D", u"", u"", u"previous", 0);
    row("function 1 sub 9", u"A19F12340000D", u"", u"", u"previous", 0);

    row("ohm 400", u"A20012340000D", u"OHM", u"*", u"400 *", 3);
    row("ohm 4k", u"A20112340000D", u"OHM", u"K *", u"4k *", 1);
    row("ohm 40k", u"A20212340000D", u"OHM", u"K *", u"40 k *", 2);
    row("ohm 400k", u"A20312340000D", u"OHM", u"K *", u"400k *", 3);
    row("ohm 4M", u"A20412340000D", u"OHM", u"M *", u"4M *", 1);
    row("ohm 40M", u"A20512340000D", u"OHM", u"M *", u"40 M *", 2);
    row("ohm range 6", u"A20612340000D", u"OHM", u"", u"previous", 0);
    row("continuity range unread", u"A21F12340000D", u"CTN", u"", u"400", 3);
    row("cap 10 nF", u"A22012340000D", u"CAP", u"nF", u"10 nF", 2);
    row("cap 100 nF", u"A22112340000D", u"CAP", u"nF", u"100 nF", 3);
    row("cap 1000 nF", u"A22212340000D", u"CAP", u"nF", u"1000 nF", 0);
    row("cap 10 uF", u"A22312340000D", u"CAP", u"uF", u"10 uF", 2);
    row("cap 100 uF", u"A22412340000D", u"CAP", u"uF", u"100 uF", 3);
    row("cap range 5", u"A22512340000D", u"CAP", u"", u"previous", 0);
    row("function 2 sub 3", u"A23F12340000D", u"", u"", u"previous", 0);

    row("diode, sub and range unread", u"A3FF12340000D", u")", u"v", u"4v", 1);

    row("DCmA 40", u"A40012340000D", u"DCmA", u"mA", u"40 mA", 2);
    row("DCmA 400", u"A40112340000D", u"DCmA", u"mA", u"400 mA", 3);
    row("DCmA range 2", u"A40212340000D", u"DCmA", u"mA", u"previous", 0);
    row("ACmA 40", u"A41012340000D", u"ACmA", u"mA", u"40mA", 2);
    row("ACmA 400", u"A41112340000D", u"ACmA", u"mA", u"400mA", 3);
    row("ACmA range 9", u"A41912340000D", u"ACmA", u"mA", u"previous", 0);
    row("mA sub 2 range unread", u"A42F12340000D", u"", u"mA", u"previous", 0);

    row("DCuA 400", u"A50012340000D", u"DCuA", u"uA", u"400uA", 3);
    row("DCuA 4000", u"A50112340000D", u"DCuA", u"uA", u"4000uA", 0);
    row("DCuA range 2", u"A50212340000D", u"DCuA", u"uA", u"previous", 0);
    row("ACuA 400", u"A51012340000D", u"ACuA", u"uA", u"400uA", 3);
    row("ACuA 4000", u"A51112340000D", u"ACuA", u"uA", u"4000uA", 0);
    row("ACuA range 2", u"A51212340000D", u"ACuA", u"uA", u"previous", 0);
    row("uA sub 9 range unread", u"A59F12340000D", u"", u"uA", u"previous", 0);

    row("DCA 4", u"A60012340000D", u"DCA", u"A", u"4A", 1);
    row("DCA 10", u"A60112340000D", u"DCA", u"A", u"10A", 2);
    row("DCA range 2", u"A60212340000D", u"DCA", u"A", u"previous", 0);
    row("ACA 4", u"A61012340000D", u"ACA", u"A", u"4A", 1);
    row("ACA 10", u"A61112340000D", u"ACA", u"A", u"10A", 2);
    row("ACA range 5", u"A61512340000D", u"ACA", u"A", u"previous", 0);
    row("A sub 2 range unread", u"A62F12340000D", u"", u"A", u"previous", 0);

    row("RPM 4CYL", u"A70012340000D", u"RPM", u"", u"4CYL", 0);
    row("RPM 6CYL", u"A70112340000D", u"RPM", u"", u"6CYL", 0);
    row("RPM 8CYL", u"A70212340000D", u"RPM", u"", u"8CYL", 0);
    row("RPM range 3", u"A70312340000D", u"RPM", u"", u"previous", 0);
    row("dwell 4CYL", u"A71012340000D", u"DWL", u"<", u"4CYL", 3);
    row("dwell 6CYL", u"A71112340000D", u"DWL", u"<", u"6CYL", 3);
    row("dwell 8CYL", u"A71212340000D", u"DWL", u"<", u"8CYL", 3);
    row("dwell range 3", u"A71312340000D", u"DWL", u"", u"previous", 3);
    row("function 7 sub 2 range unread", u"A72F12340000D", u"", u"", u"previous", 0);

    row("frequency 40Hz", u"A8FF12340000D", u"FRQ", u"Hz", u"40Hz", 2);
    row("frequency 400Hz", u"A8FF12341000D", u"FRQ", u"Hz", u"400Hz", 3);
    row("frequency 4kHz", u"A8FF12342000D", u"FRQ", u"kHz", u"4kHz", 1);
    row("frequency 40kHz", u"A8FF12343000D", u"FRQ", u"kHz", u"40kHz", 2);
    row("frequency 400kHz", u"A8FF12344000D", u"FRQ", u"kHz", u"400kHz", 3);
    row("frequency 4MHz", u"A8FF12345000D", u"FRQ", u"MHz", u"4MHz", 1);
    row("frequency range 6", u"A8FF12346000D", u"FRQ", u"Hz", u"", 0);
    row("frequency range 9", u"A8FF12349000D", u"FRQ", u"Hz", u"", 0);
    row("frequency range from character 9", u"A80312342000D", u"FRQ", u"kHz", u"4kHz", 1);

    row("function 9 changes nothing", u"A9FF12340000D", u"", u"", u"previous", 0);
}

void TestFrameDecoder::functionTable()
{
    QFETCH(QString, frame);
    QFETCH(QString, function);
    QFETCH(QString, unit);
    QFETCH(QString, range);
    QFETCH(int, decimalPoint);

    Reading r = staleReading();
    QCOMPARE(decodeFrame(r, frame, point), decoded);
    QVERIFY(r.markersValid);
    QCOMPARE(r.functionText, function);
    QCOMPARE(r.unitText, unit);
    QCOMPARE(r.rangeText, range);
    QCOMPARE(r.decimalPoint, decimalPoint);
    QCOMPARE(r.autoText, QString());
    QCOMPARE(r.functionCode, frame.mid(1, 1).toInt(nullptr, 16));

    const QString valueByPoint[] = {u"1234"_qs, u"1.234"_qs, u"12.34"_qs, u"123.4"_qs};
    QCOMPARE(r.valueText, valueByPoint[decimalPoint]);
    QCOMPARE(r.numericValue, 1234.0f);
}

void TestFrameDecoder::rangePersistsAcrossFrames_data()
{
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QStringList>("ranges"); // after each frame

    QTest::newRow("empty until a frame assigns one")
        << QStringList {u"A11012340000D"_qs, u"A00112340000D"_qs}
        << QStringList {QString(), u"40 V"_qs};
    QTest::newRow("temperature keeps it")
        << QStringList {u"A00112340000D"_qs, u"A11012340000D"_qs, u"A12012340000D"_qs}
        << QStringList {u"40 V"_qs, u"40 V"_qs, u"40 V"_qs};
    QTest::newRow("unchanged rows of several functions")
        << QStringList {u"A60112340000D"_qs, u"A61512340000D"_qs, u"A70012340000D"_qs,
                        u"A71912340000D"_qs, u"A22512340000D"_qs, u"A21012340000D"_qs}
        << QStringList {u"10A"_qs, u"10A"_qs, u"4CYL"_qs, u"4CYL"_qs, u"4CYL"_qs, u"400"_qs};
    QTest::newRow("function 9 and invalid markers keep it")
        << QStringList {u"A20112340000D"_qs, u"A9FF12340000D"_qs, u"B00012340000D"_qs,
                        u"A00012340000C"_qs}
        << QStringList {u"4k *"_qs, u"4k *"_qs, u"4k *"_qs, u"4k *"_qs};
    QTest::newRow("frequency without a range empties it")
        << QStringList {u"A00012340000D"_qs, u"A8FF12349000D"_qs, u"A11012340000D"_qs}
        << QStringList {u"4 V"_qs, QString(), QString()};
}

void TestFrameDecoder::rangePersistsAcrossFrames()
{
    QFETCH(QStringList, frames);
    QFETCH(QStringList, ranges);

    Reading r;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        QCOMPARE(decodeFrame(r, frames[i], point), decoded);
        QCOMPARE(r.rangeText, ranges[i]);
    }
}

void TestFrameDecoder::invalidMarkers_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("digits");
    QTest::addColumn<QString>("autoText");
    QTest::addColumn<float>("numeric");

    const QStringList overload {u"  "_qs, u"0"_qs, u"@"_qs, u"  "_qs};
    QTest::newRow("start marker B")
        << u"B00012340010D"_qs << QStringList {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs} << u"Auto"_qs
        << 1234.0f;
    QTest::newRow("lower-case start marker")
        << u"a00056780008D"_qs << QStringList {u"5"_qs, u"6"_qs, u"7"_qs, u"8"_qs} << u"Manu"_qs
        << 5678.0f;
    QTest::newRow("end marker C") << u"A00000420400C"_qs
                                  << QStringList {u"0"_qs, u"0"_qs, u"4"_qs, u"2"_qs} << QString()
                                  << -42.0f;
    QTest::newRow("lower-case end marker")
        << u"A00012340000d"_qs << QStringList {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs} << QString()
        << 1234.0f;
    // Step 4 is skipped, so a function code that is no decimal digit converts nothing.
    QTest::newRow("function A not converted")
        << u"BAFF12340000D"_qs << QStringList {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs} << QString()
        << 1234.0f;
    QTest::newRow("negative overload") << u"B00100000500D"_qs << overload << QString() << -4001.0f;
    QTest::newRow("open input") << u"C11000250001D"_qs
                                << QStringList {u"o"_qs, u"p"_qs, u"e"_qs, u"n"_qs} << QString()
                                << 0.0f;
}

void TestFrameDecoder::invalidMarkers()
{
    QFETCH(QString, frame);
    QFETCH(QStringList, digits);
    QFETCH(QString, autoText);
    QFETCH(float, numeric);

    Reading r;
    QCOMPARE(decodeFrame(r, u"A00112340000D", point), decoded);
    QCOMPARE(r.valueText, u"12.34"_qs);

    QCOMPARE(decodeFrame(r, frame, point), decoded);
    QVERIFY(!r.markersValid);
    QCOMPARE(r.functionText, QString());
    QCOMPARE(r.unitText, QString());
    QCOMPARE(r.rangeText, u"40 V"_qs);
    QCOMPARE(r.valueText, u"12.34"_qs);
    QCOMPARE(r.decimalPoint, 0);
    QCOMPARE(::separators(r), QStringList(3));
    QCOMPARE(::digits(r), digits);
    QCOMPARE(r.autoText, autoText);
    QCOMPARE(r.numericValue, numeric);
}

void TestFrameDecoder::flags_data()
{
    QTest::addColumn<QString>("status"); // characters 10, 11, 12
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("autoText");

    QTest::newRow("none") << u"000"_qs << QStringList() << QString();
    QTest::newRow("high voltage") << u"800"_qs << QStringList {u"highVoltage"_qs} << QString();
    QTest::newRow("negative") << u"400"_qs << QStringList {u"negative"_qs} << QString();
    QTest::newRow("low battery") << u"200"_qs << QStringList {u"lowBattery"_qs} << QString();
    QTest::newRow("overload") << u"100"_qs << QStringList {u"overload"_qs} << QString();
    QTest::newRow("hold") << u"080"_qs << QStringList {u"hold"_qs} << QString();
    QTest::newRow("max") << u"040"_qs << QStringList {u"maxMode"_qs} << QString();
    QTest::newRow("min") << u"020"_qs << QStringList {u"minMode"_qs} << QString();
    QTest::newRow("auto range") << u"010"_qs << QStringList {u"autoRange"_qs} << u"Auto"_qs;
    QTest::newRow("manual range") << u"008"_qs << QStringList {u"manualRange"_qs} << u"Manu"_qs;
    QTest::newRow("open input") << u"001"_qs << QStringList {u"openInput"_qs} << QString();
    QTest::newRow("weights 4 and 2 of character 12 unread")
        << u"006"_qs << QStringList() << QString();
    QTest::newRow("Manu wins over Auto")
        << u"018"_qs << QStringList {u"autoRange"_qs, u"manualRange"_qs} << u"Manu"_qs;
    QTest::newRow("lower-case hex")
        << u"0b0"_qs << QStringList {u"hold"_qs, u"minMode"_qs, u"autoRange"_qs} << u"Auto"_qs;
    QTest::newRow("all") << u"FFF"_qs
                         << QStringList {u"highVoltage"_qs, u"negative"_qs,  u"lowBattery"_qs,
                                         u"overload"_qs,    u"hold"_qs,      u"maxMode"_qs,
                                         u"minMode"_qs,     u"autoRange"_qs, u"manualRange"_qs,
                                         u"openInput"_qs}
                         << u"Manu"_qs;
}

void TestFrameDecoder::flags()
{
    QFETCH(QString, status);
    QFETCH(QStringList, flags);
    QFETCH(QString, autoText);

    Reading r = staleReading();
    QCOMPARE(decodeFrame(r, QString(u"A00012340"_qs + status + u'D'), point), decoded);
    QCOMPARE(flagsSet(r), flags);
    QCOMPARE(r.autoText, autoText);
}

void TestFrameDecoder::overloadAndOpenInput_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("digits");
    QTest::addColumn<QString>("value");
    QTest::addColumn<float>("numeric");

    const QStringList overload {u"  "_qs, u"0"_qs, u"@"_qs, u"  "_qs};
    const QStringList open {u"o"_qs, u"p"_qs, u"e"_qs, u"n"_qs};
    QTest::newRow("40 V overload")
        << u"A00100000100D"_qs << point << overload << u"0@"_qs << 4001.0f;
    QTest::newRow("40 V negative overload")
        << u"A00100000500D"_qs << point << overload << u"-0@"_qs << -4001.0f;
    QTest::newRow("overload, point 1")
        << u"A00000000100D"_qs << point << overload << u"0.@"_qs << 4001.0f;
    QTest::newRow("negative overload, point 1, comma")
        << u"A00000000500D"_qs << u","_qs << overload << u"-0,@"_qs << -4001.0f;
    QTest::newRow("overload, point 1, no separator")
        << u"A00000000100D"_qs << QString() << overload << u"0@"_qs << 4001.0f;
    QTest::newRow("overload, point 3")
        << u"A00200000100D"_qs << point << overload << u"0@"_qs << 4001.0f;
    QTest::newRow("4 kHz overload")
        << u"A8FF00002100D"_qs << point << overload << u"0.@"_qs << 4001.0f;
    QTest::newRow("capacitance overload")
        << u"A22000000100D"_qs << point << overload << u"0@"_qs << 1001.0f;
    QTest::newRow("capacitance negative overload")
        << u"A22300000500D"_qs << point << overload << u"-0@"_qs << -1001.0f;
    QTest::newRow("temperature # overload")
        << u"A11000000100D"_qs << point << overload << u"0@"_qs << 1001.0f;
    QTest::newRow("temperature ? negative overload")
        << u"A12000000500D"_qs << point << overload << u"-0@"_qs << -1001.0f;
    QTest::newRow("open input") << u"A11000250001D"_qs << point << open << u"open"_qs << 0.0f;
    QTest::newRow("open input, point 2")
        << u"A00100250001D"_qs << u","_qs << open << u"op,en"_qs << 0.0f;
    QTest::newRow("negative open input, point 1")
        << u"A00000250401D"_qs << point << open << u"-o.pen"_qs << 0.0f;
    QTest::newRow("open input replaces overload")
        << u"A00000250101D"_qs << point << open << u"o.pen"_qs << 0.0f;
}

void TestFrameDecoder::overloadAndOpenInput()
{
    QFETCH(QString, frame);
    QFETCH(QString, separator);
    QFETCH(QStringList, digits);
    QFETCH(QString, value);
    QFETCH(float, numeric);

    Reading r = staleReading();
    QCOMPARE(decodeFrame(r, frame, separator), decoded);
    QCOMPARE(::digits(r), digits);
    QCOMPARE(r.valueText, value);
    QCOMPARE(r.numericValue, numeric);
}

void TestFrameDecoder::separatorsAndSign_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("separators");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("value");

    const QString comma = u","_qs;
    QTest::newRow("point 1") << u"A00012340010D"_qs << point
                             << QStringList {point, QString(), QString()} << QString()
                             << u"1.234"_qs;
    QTest::newRow("negative, point 1")
        << u"A00012340410D"_qs << point << QStringList {point, QString(), QString()} << u"-"_qs
        << u"-1.234"_qs;
    QTest::newRow("comma, point 1")
        << u"A00012340000D"_qs << comma << QStringList {comma, QString(), QString()} << QString()
        << u"1,234"_qs;
    QTest::newRow("comma, point 2")
        << u"A00112340000D"_qs << comma << QStringList {QString(), comma, QString()} << QString()
        << u"12,34"_qs;
    QTest::newRow("comma, point 3, negative")
        << u"A00212340400D"_qs << comma << QStringList {QString(), QString(), comma} << u"-"_qs
        << u"-123,4"_qs;
    QTest::newRow("no point") << u"A00312340000D"_qs << comma << QStringList(3) << QString()
                              << u"1234"_qs;
    QTest::newRow("empty separator")
        << u"A00012340000D"_qs << QString() << QStringList(3) << QString() << u"1234"_qs;
    QTest::newRow("longer separator")
        << u"A00112340000D"_qs << u"<->"_qs << QStringList {QString(), u"<->"_qs, QString()}
        << QString() << u"12<->34"_qs;
    QTest::newRow("hex letter digits")
        << u"A00012AB0000D"_qs << point << QStringList {point, QString(), QString()} << QString()
        << u"1.2AB"_qs;
}

void TestFrameDecoder::separatorsAndSign()
{
    QFETCH(QString, frame);
    QFETCH(QString, separator);
    QFETCH(QStringList, separators);
    QFETCH(QString, sign);
    QFETCH(QString, value);

    Reading r = staleReading();
    decodeFrame(r, frame, separator); // digits with hex letters fail later, in step 8
    QCOMPARE(::separators(r), separators);
    QCOMPARE(r.signText, sign);
    QCOMPARE(r.valueText, value);
}

void TestFrameDecoder::numericValue_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<float>("numeric");

    QTest::newRow("1234") << u"A00012340010D"_qs << 1234.0f;
    QTest::newRow("-1234") << u"A00012340410D"_qs << -1234.0f;
    QTest::newRow("leading zeros with sign") << u"A00001230400D"_qs << -123.0f;
    QTest::newRow("zero") << u"A00000000000D"_qs << 0.0f;
    QTest::newRow("negative zero") << u"A00000000400D"_qs << 0.0f;
    QTest::newRow("above full scale") << u"A00099990000D"_qs << 9999.0f;
    QTest::newRow("decimal point ignored") << u"A00239990000D"_qs << 3999.0f;
    QTest::newRow("temperature") << u"A11000250000D"_qs << 25.0f;
}

void TestFrameDecoder::numericValue()
{
    QFETCH(QString, frame);
    QFETCH(float, numeric);

    Reading r = staleReading();
    QCOMPARE(decodeFrame(r, frame, point), decoded);
    QCOMPARE(r.numericValue, numeric);
    QVERIFY(!std::signbit(r.numericValue) || numeric < 0);
}

void TestFrameDecoder::numericValueUsesGivenFullScale()
{
    Reading r;
    QCOMPARE(decodeFrame(r, u"A00100000500D", point), decoded);
    QCOMPARE(computeNumericValue(r, 22000), decoded);
    QCOMPARE(r.numericValue, -22001.0f);
}

void TestFrameDecoder::defaultFullScale_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("fullScale");

    QTest::newRow("CAP nF") << u"CAP"_qs << u"nF"_qs << 1000;
    QTest::newRow("CAP without unit") << u"CAP"_qs << QString() << 1000;
    QTest::newRow("#") << u"TMP"_qs << u"#"_qs << 1000;
    QTest::newRow("?") << u"TMP"_qs << u"?"_qs << 1000;
    QTest::newRow("DCV") << u"DCV"_qs << u"V"_qs << 4000;
    QTest::newRow("ohm") << u"OHM"_qs << u"*"_qs << 4000;
    QTest::newRow("no texts") << QString() << QString() << 4000;
    QTest::newRow("cap in lower case") << u"cap"_qs << u"nF"_qs << 4000;
    QTest::newRow("# with more") << u"TMP"_qs << u"##"_qs << 4000;
}

void TestFrameDecoder::defaultFullScale()
{
    QFETCH(QString, function);
    QFETCH(QString, unit);
    QFETCH(int, fullScale);

    Reading r;
    r.functionText = function;
    r.unitText = unit;
    QCOMPARE(FrameDecoder::defaultFullScale(r), fullScale);
}

void TestFrameDecoder::conversionFailures_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("message");
    // The reading after the failure; the frame before was A00012340010D.
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("digits");

    const QStringList before {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs};
    const auto notInteger = [](const QString &text) -> QString {
        return u"'"_qs + text + u"' is not a valid integer value"_qs;
    };
    QTest::newRow("function code A")
        << u"AA0012340000D"_qs << u"'A' is not a valid integer value"_qs << QString() << u"4 V"_qs
        << u"1.234"_qs << before;
    QTest::newRow("function code f") << u"Af0056780000D"_qs << notInteger(u"f"_qs) << QString()
                                     << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("millivolt sub B") << u"A1B056780000D"_qs << notInteger(u"B"_qs) << QString()
                                     << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("current sub b") << u"A6b056780000D"_qs << notInteger(u"b"_qs) << QString()
                                   << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("voltage range F") << u"A00F56780000D"_qs << notInteger(u"F"_qs) << QString()
                                     << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("resistance range C") << u"A20C56780000D"_qs << notInteger(u"C"_qs) << QString()
                                        << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("capacitance range a") << u"A22a56780000D"_qs << notInteger(u"a"_qs) << QString()
                                         << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("dwell range E") << u"A71E56780000D"_qs << notInteger(u"E"_qs) << QString()
                                   << u"4 V"_qs << u"1.234"_qs << before;
    // Function 8 empties the range text before it converts character 9.
    QTest::newRow("frequency character 9 E") << u"A8005678E000D"_qs << notInteger(u"E"_qs)
                                             << QString() << QString() << u"1.234"_qs << before;
    QTest::newRow("digits 12A4") << u"A00012A40000D"_qs << u"'12A4' is not a valid integer value"_qs
                                 << u"DCV"_qs << u"4 V"_qs << u"1.2A4"_qs
                                 << QStringList {u"1"_qs, u"2"_qs, u"A"_qs, u"4"_qs};
    QTest::newRow("negative digits 12A4")
        << u"A00112A40400D"_qs << u"'-12A4' is not a valid integer value"_qs << u"DCV"_qs
        << u"40 V"_qs << u"-12.A4"_qs << QStringList {u"1"_qs, u"2"_qs, u"A"_qs, u"4"_qs};
    QTest::newRow("digits with lower case")
        << u"A00300f00000D"_qs << notInteger(u"00f0"_qs) << u"DCV"_qs << u"1000 V"_qs << u"00f0"_qs
        << QStringList {u"0"_qs, u"0"_qs, u"f"_qs, u"0"_qs};
    QTest::newRow("digits, markers invalid")
        << u"B003E0000000D"_qs << notInteger(u"E000"_qs) << QString() << u"4 V"_qs << u"1.234"_qs
        << QStringList {u"E"_qs, u"0"_qs, u"0"_qs, u"0"_qs};
    // Step 1 fails before step 2, so even the function text of the frame before stays.
    QTest::newRow("character G") << u"A000G2340000D"_qs << notInteger(u"G"_qs) << u"DCV"_qs
                                 << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("blank") << u"A000 2340000D"_qs << notInteger(u" "_qs) << u"DCV"_qs << u"4 V"_qs
                           << u"1.234"_qs << before;
    QTest::newRow("non-ASCII digit")
        << QString(u"A000" + QString(QChar(0x0663)) + u"2340000D") << notInteger(QChar(0x0663))
        << u"DCV"_qs << u"4 V"_qs << u"1.234"_qs << before;
    QTest::newRow("full-width A") << QString(QChar(0xFF21) + u"00012340000D"_qs)
                                  << notInteger(QChar(0xFF21)) << u"DCV"_qs << u"4 V"_qs
                                  << u"1.234"_qs << before;
    QTest::newRow("end marker missing")
        << u"A00012340010"_qs << u"'' is not a valid integer value"_qs << u"DCV"_qs << u"4 V"_qs
        << u"1.234"_qs << before;
    QTest::newRow("empty frame") << QString() << notInteger(QString()) << u"DCV"_qs << u"4 V"_qs
                                 << u"1.234"_qs << before;
    QTest::newRow("short frame, bad character first")
        << u"A0X"_qs << notInteger(u"X"_qs) << u"DCV"_qs << u"4 V"_qs << u"1.234"_qs << before;
}

void TestFrameDecoder::conversionFailures()
{
    QFETCH(QString, frame);
    QFETCH(QString, message);
    QFETCH(QString, function);
    QFETCH(QString, range);
    QFETCH(QString, value);
    QFETCH(QStringList, digits);

    Reading r;
    QCOMPARE(decodeFrame(r, u"A00012340010D", point), decoded);
    const std::uint64_t bitsBefore = r.frameBits;

    const QStringList before {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs};
    const Result failure = decodeFrame(r, frame, point);
    QVERIFY(failure);
    QCOMPARE(failure->message(), message);
    QCOMPARE(r.functionText, function);
    QCOMPARE(r.rangeText, range);
    QCOMPARE(r.valueText, value);
    QCOMPARE(::digits(r), digits);
    QCOMPARE(r.numericValue, 1234.0f); // step 8 never completes
    // Only a failure in step 1 leaves the function text of the frame before.
    if (function == u"DCV" && digits == before)
        QCOMPARE(r.frameBits, bitsBefore);

    // The next frame decodes normally.
    QCOMPARE(decodeFrame(r, u"A00112340000D", point), decoded);
    QCOMPARE(r.valueText, u"12.34"_qs);
}

void TestFrameDecoder::onlyFirstThirteenCharactersRead()
{
    Reading expected;
    QCOMPARE(decodeFrame(expected, u"A00012340010D", point), decoded);
    for (const QString &tail : {u"0123456D"_qs, u"FFFFFFFF"_qs, u"xyz \u00e9"_qs}) {
        Reading r;
        QCOMPARE(decodeFrame(r, QString(u"A00012340010D"_qs + tail), point), decoded);
        QCOMPARE(describe(r), describe(expected));
    }
}

void TestFrameDecoder::frameBits_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("bits");

    QTest::newRow("auto-ranged 1.234")
        << u"A00012340010D"_qs << u"1010000000000000000100100011010000000000000100001101"_qs;
    QTest::newRow("lower-case hex")
        << u"a0f00000000bd"_qs << u"1010000011110000000000000000000000000000000010111101"_qs;
    QTest::newRow("extremes") << u"F000000000000"_qs
                              << u"1111000000000000000000000000000000000000000000000000"_qs;
}

void TestFrameDecoder::frameBits()
{
    QFETCH(QString, frame);
    QFETCH(QString, bits);

    Reading r;
    QCOMPARE(decodeBits(r, frame), decoded);
    QCOMPARE(r.frameBitsText(), bits);
    for (int position = 1; position <= 52; ++position)
        QCOMPARE(r.bit(position), bits[position - 1] == u'1');
}

void TestFrameDecoder::watcherSeesEachStepInOrder_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("calls");

    // The reading before holds texts of an earlier frame: "stale", "previous value".
    QTest::newRow("DC volts") << u"A00012340010D"_qs
                              << QStringList {u"cleared ||"_qs, u"function DCV|4 V"_qs,
                                              u"flags 1234 autoRange"_qs,
                                              u"sign 1 |previous value"_qs};
    QTest::newRow("markers invalid: no function, digits still")
        << u"B00012340000D"_qs
        << QStringList {u"cleared ||"_qs, u"function |previous"_qs, u"flags 1234 "_qs,
                        u"sign 0 |previous value"_qs};
    QTest::newRow("fails in the function table")
        << u"AA0012340000D"_qs << QStringList {u"cleared ||"_qs};
    QTest::newRow("fails on the frame bits") << u"A000G2340000D"_qs << QStringList {};
}

void TestFrameDecoder::watcherSeesEachStepInOrder()
{
    QFETCH(QString, frame);
    QFETCH(QStringList, calls);

    Reading r = staleReading();
    StepLog log;
    const Result result = decodeTexts(r, frame, point, &log);
    QCOMPARE(log.calls, calls);
    // Watched or not, the decoder does the same.
    Reading unwatched = staleReading();
    QCOMPARE(decodeTexts(unwatched, frame, point), result);
    QCOMPARE(describe(unwatched), describe(r));
}

QTEST_APPLESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
