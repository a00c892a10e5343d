#include "meter/FrameDecoder.h"
#include "support/ShownText.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <functional>

using namespace FrameDecoder;

namespace {

// Fixed so that a failure can be replayed; METERLINK_FUZZ_SEED tries another.
constexpr quint32 defaultSeed = 20240611;
constexpr int textsPerCase = 50000;

const QString hexDigits = u"0123456789ABCDEFabcdef"_qs;

bool isHex(QChar c)
{
    return hexDigits.contains(c);
}

bool isDecimal(QChar c)
{
    return c >= u'0' && c <= u'9';
}

const QSet<QString> functionTexts {
    QString(),  u"DCV"_qs, u"ACV"_qs, u"DCmv"_qs, u"TMP"_qs,  u"OHM"_qs,
    u"CTN"_qs,  u"CAP"_qs, u")"_qs,   u"DCmA"_qs, u"ACmA"_qs, u"DCuA"_qs,
    u"ACuA"_qs, u"DCA"_qs, u"ACA"_qs, u"RPM"_qs,  u"DWL"_qs,  u"FRQ"_qs,
};
const QSet<QString> unitTexts {
    QString(), u"V"_qs, u"mV"_qs, u"#"_qs,  u"?"_qs, u"*"_qs, u"K *"_qs, u"M *"_qs, u"nF"_qs,
    u"uF"_qs,  u"v"_qs, u"mA"_qs, u"uA"_qs, u"A"_qs, u"<"_qs, u"Hz"_qs,  u"kHz"_qs, u"MHz"_qs,
};
const QSet<QString> rangeTexts {
    QString(),    u"4 V"_qs,    u"40 V"_qs,  u"400 V"_qs,  u"1000 V"_qs,  u"400 mv"_qs,
    u"40 mv"_qs,  u"400 *"_qs,  u"4k *"_qs,  u"40 k *"_qs, u"400k *"_qs,  u"4M *"_qs,
    u"40 M *"_qs, u"400"_qs,    u"10 nF"_qs, u"100 nF"_qs, u"1000 nF"_qs, u"10 uF"_qs,
    u"100 uF"_qs, u"4v"_qs,     u"40 mA"_qs, u"400 mA"_qs, u"40mA"_qs,    u"400mA"_qs,
    u"400uA"_qs,  u"4000uA"_qs, u"4A"_qs,    u"10A"_qs,    u"4CYL"_qs,    u"6CYL"_qs,
    u"8CYL"_qs,   u"40Hz"_qs,   u"400Hz"_qs, u"4kHz"_qs,   u"40kHz"_qs,   u"400kHz"_qs,
    u"4MHz"_qs,
};

QString printable(const QString &text)
{
    QString out;
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += c;
        else
            out += u"\\u"_qs + QString::number(c.unicode(), 16).rightJustified(4, u'0');
    }
    return out;
}

} // namespace

class TestDecoderFuzz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void randomTexts_data();
    void randomTexts();

private:
    void check(const Reading &r, const QString &frame, const QString &separator,
               const Result &failure, const QString &valueBefore);

    quint32 m_seed = defaultSeed;
};

void TestDecoderFuzz::initTestCase()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("METERLINK_FUZZ_SEED").toUInt(&ok);
    if (ok)
        m_seed = seed;
    qInfo("seed %u (set METERLINK_FUZZ_SEED to replay another)", m_seed);
}

using Generator = std::function<QString(QRandomGenerator &)>;
Q_DECLARE_METATYPE(Generator)

void TestDecoderFuzz::randomTexts_data()
{
    QTest::addColumn<Generator>("generate");
    QTest::addColumn<bool>("reachesDecoding"); // guards against a generator that only fails

    const auto text = [](QRandomGenerator &rng, int length, const auto &character) -> QString {
        QString s;
        for (int i = 0; i < length; ++i)
            s += character(rng);
        return s;
    };
    const auto from = [](const QString &alphabet) {
        return [alphabet](QRandomGenerator &rng) {
            return alphabet[rng.bounded(alphabet.size())];
        };
    };
    const auto anyChar = [](QRandomGenerator &rng) {
        return QChar(char16_t(rng.bounded(0x10000)));
    };

    QTest::newRow("any UTF-16 units") << Generator([=](QRandomGenerator &rng) -> QString {
        return text(rng, 13 + rng.bounded(28), anyChar);
    }) << false;
    QTest::newRow("hex and look-alikes") << Generator([=](QRandomGenerator &rng) -> QString {
        return text(rng, 13 + rng.bounded(28), from(hexDigits + u"GgXx @-+.,\u0663\uff21"_qs));
    }) << false;
    QTest::newRow("hex only") << Generator([=](QRandomGenerator &rng) -> QString {
        return text(rng, 13 + rng.bounded(28), from(hexDigits));
    }) << true;
    QTest::newRow("short") << Generator([=](QRandomGenerator &rng) -> QString {
        return text(rng, rng.bounded(13), from(hexDigits));
    }) << false;
    // Frames that reach the function table: markers set, codes mostly decimal.
    QTest::newRow("with markers") << Generator([=](QRandomGenerator &rng) -> QString {
        const auto mostlyDecimal = [&](int decimals) {
            return rng.bounded(8) == 0 ? hexDigits[rng.bounded(hexDigits.size())]
                                       : QChar(u'0' + rng.bounded(decimals));
        };
        QString frame = u"A"_qs;
        frame += mostlyDecimal(10); // function
        frame += mostlyDecimal(4); // sub
        frame += mostlyDecimal(8); // range
        for (int i = 0; i < 4; ++i)
            frame += mostlyDecimal(10);
        frame += mostlyDecimal(7); // frequency range
        for (int i = 0; i < 3; ++i)
            frame += hexDigits[rng.bounded(hexDigits.size())];
        frame += rng.bounded(16) == 0 ? u'E' : u'D';
        return frame + text(rng, rng.bounded(28), anyChar);
    }) << true;
}

void TestDecoderFuzz::randomTexts()
{
    QFETCH(Generator, generate);
    QFETCH(bool, reachesDecoding);

    const QString separators[] = {u"."_qs, u","_qs, QString(), u"<sep>"_qs};
    QRandomGenerator rng(m_seed);
    Reading r; // shared by every text, as the window's reading is
    int decoded = 0;
    for (int i = 0; i < textsPerCase; ++i) {
        const QString frame = generate(rng);
        const QString &separator = separators[i % 4];
        const QString valueBefore = r.valueText;
        const Result failure = decodeFrame(r, frame, separator);
        decoded += !failure;
        check(r, frame, separator, failure, valueBefore);
        if (QTest::currentTestFailed()) {
            qInfo("text %d: \"%s\"", i, qPrintable(printable(frame)));
            return;
        }
    }
    qInfo("%d of %d texts decoded", decoded, textsPerCase);
    if (reachesDecoding)
        QVERIFY(decoded > textsPerCase / 20);
}

void TestDecoderFuzz::check(const Reading &r, const QString &frame, const QString &separator,
                            const Result &failure, const QString &valueBefore)
{
    // Step 1 fails on the first character 1..13 that is no hex digit, or that is missing.
    int badPosition = 0;
    for (int p = 1; p <= 13 && !badPosition; ++p) {
        if (p > frame.size() || !isHex(frame[p - 1]))
            badPosition = p;
    }
    if (badPosition) {
        QVERIFY(failure);
        QCOMPARE(failure->text, frame.mid(badPosition - 1, 1));
    }
    if (failure) {
        // Control characters of the text are shown escaped: the message reaches a terminal.
        QCOMPARE(failure->message(),
                 u"'"_qs + ShownText::escaped(failure->text)
                     + u"' is not a valid integer value"_qs);
        if (badPosition)
            return;
        // Otherwise a code character that step 4 converts, or the digits in step 8.
        if (failure->text.size() == 1) {
            QVERIFY(r.markersValid);
            QVERIFY(!isDecimal(failure->text.front()));
            if (!isDecimal(frame[1]))
                QCOMPARE(failure->text, frame.mid(1, 1));
            const bool codeCharacter = failure->text == frame.mid(1, 1)
                || failure->text == frame.mid(2, 1) || failure->text == frame.mid(3, 1)
                || failure->text == frame.mid(8, 1);
            QVERIFY(codeCharacter);
        } else {
            QCOMPARE(failure->text,
                     r.signText + r.digitTexts[0] + r.digitTexts[1] + r.digitTexts[2]
                         + r.digitTexts[3]);
            QVERIFY(!r.overload && !r.openInput);
            QVERIFY(!std::all_of(frame.begin() + 4, frame.begin() + 8, isDecimal));
        }
        return;
    }

    QVERIFY(r.frameBits < (std::uint64_t(1) << 52));
    QCOMPARE(r.frameBits, frame.left(13).toULongLong(nullptr, 16));
    QCOMPARE(r.markersValid, frame[0] == u'A' && frame[12] == u'D');
    QVERIFY(r.decimalPoint >= 0 && r.decimalPoint <= 3);
    for (const QString &digit : r.digitTexts)
        QVERIFY(!digit.isEmpty());
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(r.separatorTexts[n - 1], r.decimalPoint == n ? separator : QString());
    QCOMPARE(r.signText, r.negative ? u"-"_qs : QString());
    QCOMPARE(r.autoText, r.manualRange ? u"Manu"_qs : r.autoRange ? u"Auto"_qs : QString());

    QVERIFY(functionTexts.contains(r.functionText));
    QVERIFY(unitTexts.contains(r.unitText));
    QVERIFY(rangeTexts.contains(r.rangeText));
    if (r.markersValid) {
        QVERIFY(r.valueText.size() >= 2);
        QCOMPARE(r.valueText.startsWith(u'-'), r.negative);
    } else {
        QCOMPARE(r.functionText, QString());
        QCOMPARE(r.unitText, QString());
        QCOMPARE(r.valueText, valueBefore);
    }

    const float fullScale = float(defaultFullScale(r));
    QCOMPARE(std::trunc(r.numericValue), r.numericValue);
    if (r.openInput)
        QCOMPARE(r.numericValue, 0.0f);
    else if (r.overload)
        QCOMPARE(r.numericValue, r.negative ? -(fullScale + 1) : fullScale + 1);
    else
        QCOMPARE(r.numericValue, float(QString(r.signText + frame.mid(4, 4)).toInt()));
}

QTEST_APPLESS_MAIN(TestDecoderFuzz)
#include "tst_decoderfuzz.moc"
