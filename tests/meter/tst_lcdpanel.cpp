#include "meter/FrameDecoder.h"
#include "meter/LcdPanel.h"
#include "meter/MeterGlyphs.h"
#include "support/WindowLook.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <memory>

namespace {

// Every element of the panel with its place, in the panel's coordinates.
const std::pair<const char16_t *, QRect> Places[] = {
    {u"LcdDa", {56, 20, 56, 148}},   {u"LcdDb", {136, 20, 56, 148}},
    {u"LcdDc", {216, 20, 56, 148}},  {u"LcdDd", {288, 20, 56, 148}},
    {u"LcdP1", {119, 129, 10, 8}},   {u"LcdP2", {195, 129, 10, 8}},
    {u"LcdP3", {272, 129, 9, 8}},    {u"LcdFH", {8, 28, 44, 112}},
    {u"LcdDc1", {5, 52, 32, 23}},    {u"WEI", {8, 104, 33, 25}},
    {u"LCDBATT", {64, -5, 12, 39}},  {u"LCDHold", {16, 145, 19, 39}},
    {u"Labmax", {100, 4, 46, 24}},   {u"Labmin", {156, 4, 36, 24}},
    {u"LcdAuto", {64, 155, 55, 23}}, {u"LcdManu", {64, 155, 57, 23}},
    {u"LCDsend", {5, 4, 36, 29}},    {u"LcdV", {392, 84, 24, 39}},
    {u"LCDA", {392, 81, 24, 39}},    {u"LCDF", {392, 82, 22, 39}},
    {u"LCDohm", {392, 113, 24, 39}}, {u"lcdhz", {376, 114, 45, 39}},
    {u"Lcdm", {360, 84, 30, 39}},    {u"lcduu", {360, 88, 31, 32}},
    {u"LCDn", {368, 90, 23, 32}},    {u"lcdkk", {352, 124, 17, 27}},
    {u"LCDMM", {352, 124, 21, 27}},  {u"LCDCS", {360, 65, 33, 36}},
    {u"LCDFS", {392, 66, 17, 27}},   {u"LCDDI", {384, 1, 31, 32}},
    {u"LCDFm", {344, 0, 25, 36}},    {u"LCDBF", {400, 40, 19, 23}},
    {u"D", {360, 32, 33, 33}},       {u"LcdRPM", {302, 155, 63, 19}},
    {u"DWL", {256, 155, 39, 17}},    {u"CYL", {288, 8, 38, 22}},
    {u"D4", {240, 8, 9, 22}},        {u"D6", {257, 8, 9, 22}},
    {u"D8", {272, 8, 9, 22}},        {u"dd4", {155, 155, 20, 22}},
    {u"dd1", {165, 155, 9, 22}},     {u"dd00", {176, 155, 9, 22}},
    {u"dd10", {184, 155, 9, 22}},    {u"dd20", {192, 155, 9, 22}},
    {u"LCDM1", {206, 153, 16, 21}},  {u"LCDVV", {224, 152, 10, 21}},
    {u"d_t", {152, 182, 99, 22}},
};

const QStringList Digits {u"LcdDa"_qs, u"LcdDb"_qs, u"LcdDc"_qs, u"LcdDd"_qs};
const QStringList Points {u"LcdP1"_qs, u"LcdP2"_qs, u"LcdP3"_qs};
const QStringList FlagElements {u"WEI"_qs,    u"LcdFH"_qs,  u"LCDBATT"_qs, u"LCDHold"_qs,
                                u"Labmax"_qs, u"Labmin"_qs, u"LcdAuto"_qs, u"LcdManu"_qs};

QStringList allNames()
{
    QStringList names;
    for (const auto &[name, place] : Places)
        names << QString::fromUtf16(name);
    return names;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList names(std::initializer_list<const char *> list)
{
    QStringList result;
    for (const char *name : list)
        result << QString::fromLatin1(name);
    return sorted(result);
}

// "A", function, sub, range, the digits 1234, the frequency range, three status digits, "D".
QString frame(char16_t function, char16_t sub, char16_t range, char16_t frequencyRange = u'0',
              QStringView status = u"000")
{
    return u"A"_qs + QChar(function) + QChar(sub) + QChar(range) + u"1234"_qs
        + QChar(frequencyRange) + status.toString() + u"D"_qs;
}

QString statusFrame(char16_t function, QStringView status)
{
    return frame(function, u'0', u'0', u'0', status);
}

bool isInk(QRgb pixel, const QColor &background)
{
    return std::abs(qRed(pixel) - background.red()) + std::abs(qGreen(pixel) - background.green())
        + std::abs(qBlue(pixel) - background.blue())
        > 120;
}

QRect inkBounds(const QImage &image, const QColor &background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isInk(image.pixel(x, y), background))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

} // namespace

class TestLcdPanel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LcdPanel> m_panel;
    Reading m_reading;

    QWidget *element(const QString &name) const { return m_panel->element(name); }

    // Runs a frame through the panel in the order of the display sequence.
    void show(const QString &frameText)
    {
        const FrameDecoder::Result failure
            = FrameDecoder::decodeFrame(m_reading, frameText, u"."_qs);
        QVERIFY2(!failure, qPrintable(frameText));
        m_panel->blank();
        m_panel->setClockText(u"12:00:00"_qs);
        m_panel->showSend();
        if (m_reading.markersValid)
            m_panel->showFunction(m_reading);
        m_panel->showFlags(m_reading);
        m_panel->showDecimalPoint(m_reading.decimalPoint);
        m_panel->setDigits(m_reading.digitTexts);
        m_panel->commit();
    }

    // The elements on view, the four digits left out.
    QStringList shown() const
    {
        QStringList names;
        for (const QString &name : allNames()) {
            if (!Digits.contains(name) && element(name)->isVisible())
                names << name;
        }
        return names;
    }

    QStringList shownWithout(const QStringList &excluded) const
    {
        QStringList names = shown();
        names.removeIf([&](const QString &n) { return excluded.contains(n); });
        return names;
    }

    QString caption(const QString &name) const
    {
        return qobject_cast<QLabel *>(element(name))->text();
    }

private slots:
    void init()
    {
        m_panel = std::make_unique<LcdPanel>();
        m_panel->show();
        m_reading = Reading();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
    }

    void cleanup() { m_panel.reset(); }

    void placesAndNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        for (const auto &[name, place] : Places)
            QTest::newRow(qPrintable(QString::fromUtf16(name)))
                << QString::fromUtf16(name) << place;
    }

    void placesAndNames()
    {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QWidget *w = m_panel->findChild<QWidget *>(name);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), m_panel.get());
        QCOMPARE(element(name), w);
        QCOMPARE(w->geometry(), place);
    }

    void panelFrame()
    {
        QCOMPARE(m_panel->objectName(), u"Panel1"_qs);
        QCOMPARE(m_panel->size(), QSize(425, 206));
        QCOMPARE(m_panel->frameShadow(), QFrame::Sunken);
        QVERIFY(m_panel->autoFillBackground());
        QCOMPARE(m_panel->palette().color(QPalette::Window), WindowLook::Cream);
        QCOMPARE(m_panel->element(u"nothing"_qs), nullptr);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(m_panel->digit(i), element(Digits[i]));
        QCOMPARE(m_panel->clockLabel(), element(u"d_t"_qs));
    }

    void shippedCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        // clang-format off
        const std::pair<const char *, QString> captions[] = {
            {"LcdDa", u"3"_qs},       {"LcdDb", u"9"_qs},        {"LcdDc", u"9"_qs},
            {"LcdDd", u"9"_qs},       {"LcdFH", u"-"_qs},        {"LcdDc1", u"DC"_qs},
            {"LCDBATT", u"$"_qs},     {"LCDHold", u"\""_qs},     {"Labmax", u"MAX"_qs},
            {"Labmin", u"MIN"_qs},    {"LcdAuto", u"Auto "_qs},  {"LcdManu", u"Manu"_qs},
            {"LcdV", u"V"_qs},        {"LCDA", u"A"_qs},         {"LCDF", u"F"_qs},
            {"LCDohm", u"*"_qs},      {"lcdhz", u"Hz"_qs},       {"Lcdm", u"m"_qs},
            {"lcduu", u"u"_qs},       {"LCDn", u"n"_qs},         {"lcdkk", u"K"_qs},
            {"LCDMM", u"M"_qs},       {"LCDCS", u"#"_qs},        {"LCDFS", u"?"_qs},
            {"LCDDI", u")"_qs},       {"LCDFm", u"&"_qs},        {"LCDBF", u"%"_qs},
            {"LcdRPM", u"RPM\u00D710"_qs}, {"DWL", u"DWL"_qs},  {"CYL", u"CYL"_qs},
            {"D4", u"4"_qs},          {"D6", u"6"_qs},           {"D8", u"8"_qs},
            {"dd4", u"4"_qs},         {"dd1", u"1"_qs},          {"dd00", u"0"_qs},
            {"dd10", u"0"_qs},        {"dd20", u"0"_qs},         {"LCDM1", u"m"_qs},
            {"LCDVV", u"v"_qs},       {"d_t", u"displaytime"_qs},
        };
        // clang-format on
        for (const auto &[name, text] : captions)
            QTest::newRow(name) << QString::fromLatin1(name) << text;
    }

    void shippedCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QCOMPARE(this->caption(name), caption);
    }

    void opaqueElements()
    {
        const QStringList opaque {u"DWL"_qs,  u"CYL"_qs,  u"D4"_qs,    u"D6"_qs,
                                  u"D8"_qs,   u"dd4"_qs,  u"dd1"_qs,   u"dd00"_qs,
                                  u"dd10"_qs, u"dd20"_qs, u"LCDVV"_qs, u"d_t"_qs};
        for (const QString &name : allNames()) {
            QWidget *w = element(name);
            const bool isPoint = Points.contains(name);
            QCOMPARE(w->autoFillBackground(), opaque.contains(name) || isPoint);
            if (opaque.contains(name))
                QCOMPARE(w->palette().color(QPalette::Window), WindowLook::Cream);
        }
    }

    void shippedVisibility()
    {
        QCOMPARE(shown(), QStringList());
        for (const QString &name : Digits)
            QVERIFY(element(name)->isVisible());
    }

    void functionElements_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("elements");
        QTest::addColumn<QString>("caption"); // "DC" where the row leaves the shipped caption

        const auto row = [](const char *name, const QString &f,
                            std::initializer_list<const char *> elements, const QString &caption) {
            QTest::newRow(name) << f << names(elements) << caption;
        };
        const QString dcv = u"DCV"_qs, acv = u"ACV"_qs, dca = u"DCA"_qs, aca = u"ACA"_qs;
        const QString kept = u"DC"_qs;

        row("4 V dc", frame('0', '0', '0'), {"LcdDc1", "dd4", "LCDVV", "LcdV"}, dcv);
        row("40 V ac", frame('0', '1', '1'), {"LcdDc1", "dd4", "dd00", "LCDVV", "LcdV"}, acv);
        row("400 V, sub a letter: ac", frame('0', 'A', '2'),
            {"LcdDc1", "dd4", "dd00", "dd10", "LCDVV", "LcdV"}, acv);
        row("1000 V dc", frame('0', '0', '3'),
            {"LcdDc1", "dd1", "dd00", "dd10", "dd20", "LCDVV", "LcdV"}, dcv);
        row("volts, unlisted range", frame('0', '0', '7'), {"LcdDc1"}, dcv);
        row("400 mV", frame('1', '0', '0'),
            {"LcdDc1", "Lcdm", "LcdV", "LCDM1", "LCDVV", "dd4", "dd00", "dd10"}, dcv);
        row("40 mV", frame('1', '0', '1'),
            {"LcdDc1", "Lcdm", "LcdV", "LCDM1", "LCDVV", "dd4", "dd00"}, dcv);
        row("mV, unlisted range", frame('1', '0', '5'),
            {"LcdDc1", "Lcdm", "LcdV", "LCDM1", "LCDVV", "dd4"}, dcv);
        row("Celsius", frame('1', '1', '0'), {"LCDCS"}, kept);
        row("Fahrenheit", frame('1', '2', '3'), {"LCDFS"}, kept);
        row("function 1, unlisted sub", frame('1', '3', '0'), {}, kept);
        row("400 ohm", frame('2', '0', '0'), {"LCDohm", "dd4", "dd00", "dd10"}, kept);
        row("4 kohm", frame('2', '0', '1'), {"LCDohm", "dd4", "lcdkk"}, kept);
        row("40 kohm", frame('2', '0', '2'), {"LCDohm", "dd4", "dd00", "lcdkk"}, kept);
        row("400 kohm", frame('2', '0', '3'), {"LCDohm", "dd4", "dd00", "dd10", "lcdkk"}, kept);
        row("4 Mohm", frame('2', '0', '4'), {"LCDohm", "dd4", "LCDMM"}, kept);
        row("40 Mohm", frame('2', '0', '5'), {"LCDohm", "dd4", "dd00", "LCDMM"}, kept);
        row("ohm, unlisted range", frame('2', '0', '6'), {"LCDohm"}, kept);
        row("continuity, any range", frame('2', '1', '5'), {"LCDFm"}, kept);
        row("10 nF", frame('2', '2', '0'), {"LCDF", "dd1", "dd00", "LCDn"}, kept);
        row("100 nF", frame('2', '2', '1'), {"LCDF", "dd1", "dd00", "dd10", "LCDn"}, kept);
        row("1000 nF", frame('2', '2', '2'), {"LCDF", "dd1", "dd00", "dd10", "dd20", "LCDn"}, kept);
        row("10 uF", frame('2', '2', '3'), {"LCDF", "dd1", "dd00", "lcduu"}, kept);
        row("100 uF", frame('2', '2', '4'), {"LCDF", "dd1", "dd00", "dd10", "lcduu"}, kept);
        row("capacitance, unlisted range", frame('2', '2', '5'), {"LCDF"}, kept);
        row("function 2, unlisted sub", frame('2', '3', '0'), {}, kept);
        row("diode, sub and range not read", frame('3', '7', '9'),
            {"dd4", "LCDVV", "LcdV", "LCDDI"}, kept);
        row("40 mA dc", frame('4', '0', '0'), {"LcdDc1", "LCDA", "Lcdm", "dd4", "dd00"}, dca);
        row("400 mA ac", frame('4', '1', '1'), {"LcdDc1", "LCDA", "Lcdm", "dd4", "dd00", "dd10"},
            aca);
        row("mA ac, unlisted range", frame('4', '1', '2'), {"LcdDc1", "LCDA", "Lcdm", "dd4"}, aca);
        row("mA, unlisted sub", frame('4', '2', '0'), {"LcdDc1", "LCDA", "Lcdm", "dd4"}, kept);
        row("400 uA dc", frame('5', '0', '0'), {"LcdDc1", "LCDA", "lcduu", "dd4", "dd00", "dd10"},
            dca);
        row("4000 uA ac", frame('5', '1', '1'),
            {"LcdDc1", "LCDA", "lcduu", "dd4", "dd00", "dd10", "dd20"}, aca);
        row("uA, unlisted sub", frame('5', '3', '1'), {"LcdDc1", "LCDA", "lcduu", "dd4"}, kept);
        row("4 A dc", frame('6', '0', '0'), {"LcdDc1", "LCDA", "dd4"}, dca);
        row("10 A ac", frame('6', '1', '1'), {"LcdDc1", "LCDA", "dd1", "dd00"}, aca);
        row("A dc, unlisted range", frame('6', '0', '4'), {"LcdDc1", "LCDA"}, dca);
        row("A, unlisted sub", frame('6', '5', '1'), {"LcdDc1", "LCDA"}, kept);
        row("RPM 4 cylinders", frame('7', '0', '0'), {"LcdRPM", "CYL", "D4"}, kept);
        row("RPM 8 cylinders", frame('7', '0', '2'), {"LcdRPM", "CYL", "D8"}, kept);
        row("RPM, unlisted range", frame('7', '0', '3'), {"LcdRPM", "CYL"}, kept);
        row("dwell 4 cylinders", frame('7', '1', '0'), {"DWL", "D", "LCDBF", "CYL", "D4"}, kept);
        row("dwell 6 cylinders", frame('7', '1', '1'), {"DWL", "D", "LCDBF", "CYL", "D6"}, kept);
        row("dwell 8 cylinders", frame('7', '1', '2'), {"DWL", "D", "LCDBF", "CYL", "D8"}, kept);
        row("dwell, unlisted range", frame('7', '1', '9'), {"DWL", "D", "LCDBF", "CYL"}, kept);
        row("function 7, unlisted sub", frame('7', '2', '1'), {}, kept);
        row("40 Hz", frame('8', '0', '0', '0'), {"lcdhz"}, kept);
        row("400 Hz", frame('8', '0', '0', '1'), {"lcdhz"}, kept);
        row("4 kHz", frame('8', '0', '0', '2'), {"lcdhz", "lcdkk"}, kept);
        row("40 kHz", frame('8', '0', '0', '3'), {"lcdhz", "lcdkk"}, kept);
        row("400 kHz", frame('8', '0', '0', '4'), {"lcdhz", "lcdkk"}, kept);
        row("4 MHz", frame('8', '0', '0', '5'), {"lcdhz", "LCDMM"}, kept);
        row("frequency, unlisted range", frame('8', '0', '0', '7'), {"lcdhz"}, kept);
        // The frequency range is character 9; character 4 would have said MHz.
        row("frequency ignores character 4", frame('8', '0', '5', '2'), {"lcdhz", "lcdkk"}, kept);
        row("unknown function", frame('9', '0', '0'), {}, kept);
    }

    void functionElements()
    {
        QFETCH(QString, frame);
        QFETCH(QStringList, elements);
        QFETCH(QString, caption);
        show(frame);
        QCOMPARE(sorted(shownWithout(Points + QStringList {u"LCDsend"_qs})), elements);
        QCOMPARE(this->caption(u"LcdDc1"_qs), caption);
    }

    // Rows that name no caption keep whatever an earlier frame set.
    void functionCaptionCarriesOver_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("caption");
        QTest::newRow("ac mA, then an unlisted sub")
            << frame('4', '1', '0') << frame('4', '2', '0') << u"ACA"_qs;
        QTest::newRow("ac V, then temperature")
            << frame('0', '1', '0') << frame('1', '1', '0') << u"ACV"_qs;
        QTest::newRow("dc A, then diode")
            << frame('6', '0', '0') << frame('3', '0', '0') << u"DCA"_qs;
        QTest::newRow("ac V, then frequency")
            << frame('0', '2', '0') << frame('8', '0', '0') << u"ACV"_qs;
        QTest::newRow("ac A, then mV") << frame('6', '1', '0') << frame('1', '0', '0') << u"DCV"_qs;
        QTest::newRow("dc V, then ac uA")
            << frame('0', '0', '0') << frame('5', '1', '0') << u"ACA"_qs;
    }

    void functionCaptionCarriesOver()
    {
        QFETCH(QString, before);
        QFETCH(QString, frame);
        QFETCH(QString, caption);
        show(before);
        show(frame);
        QCOMPARE(this->caption(u"LcdDc1"_qs), caption);
    }

    void flags_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("elements");
        const auto row
            = [](const char *name, const QString &f, std::initializer_list<const char *> elements) {
                  QTest::newRow(name) << f << names(elements);
              };
        row("none", statusFrame('0', u"000"), {});
        row("high voltage", statusFrame('0', u"800"), {"WEI"});
        row("negative", statusFrame('0', u"400"), {"LcdFH"});
        row("low battery", statusFrame('0', u"200"), {"LCDBATT"});
        row("overload lights no flag", statusFrame('0', u"100"), {});
        row("hold", statusFrame('0', u"080"), {"LCDHold"});
        row("max", statusFrame('0', u"040"), {"Labmax"});
        row("min", statusFrame('0', u"020"), {"Labmin"});
        row("auto", statusFrame('0', u"010"), {"LcdAuto"});
        row("manual", statusFrame('0', u"008"), {"LcdManu"});
        row("auto and manual", statusFrame('2', u"018"), {"LcdAuto", "LcdManu"});
        row("unread status bits", statusFrame('0', u"006"), {});
        row("open input", statusFrame('1', u"001"), {});
        row("all", statusFrame('0', u"EF9"),
            {"WEI", "LcdFH", "LCDBATT", "LCDHold", "Labmax", "Labmin", "LcdAuto", "LcdManu"});
        row("frequency, manual", statusFrame('8', u"008"), {});
        row("frequency, auto and manual", statusFrame('8', u"018"), {"LcdAuto"});
        row("frequency, every flag", statusFrame('8', u"EF8"),
            {"WEI", "LcdFH", "LCDBATT", "LCDHold", "Labmax", "Labmin", "LcdAuto"});
    }

    void flags()
    {
        QFETCH(QString, frame);
        QFETCH(QStringList, elements);
        show(frame);
        QStringList flagsShown = shown();
        flagsShown.removeIf([](const QString &n) { return !FlagElements.contains(n); });
        QCOMPARE(sorted(flagsShown), elements);
    }

    // A manual frequency frame after a manual voltage frame: the manual sign goes out.
    void manualSignLeavesOnFrequency()
    {
        show(statusFrame('0', u"008"));
        QVERIFY(element(u"LcdManu"_qs)->isVisible());
        show(statusFrame('8', u"008"));
        QVERIFY(!element(u"LcdManu"_qs)->isVisible());
        show(statusFrame('8', u"000"));
        QVERIFY(!element(u"LcdManu"_qs)->isVisible());
    }

    void decimalPoint_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("points");
        QTest::newRow("4 V") << frame('0', '0', '0') << QStringList {u"LcdP1"_qs};
        QTest::newRow("40 V") << frame('0', '0', '1') << QStringList {u"LcdP2"_qs};
        QTest::newRow("400 V") << frame('0', '0', '2') << QStringList {u"LcdP3"_qs};
        QTest::newRow("1000 V") << frame('0', '0', '3') << QStringList();
        QTest::newRow("4 kHz") << frame('8', '0', '0', '2') << QStringList {u"LcdP1"_qs};
        QTest::newRow("dwell") << frame('7', '1', '0') << QStringList {u"LcdP3"_qs};
        QTest::newRow("unknown function") << frame('9', '0', '0') << QStringList();
    }

    void decimalPoint()
    {
        QFETCH(QString, frame);
        QFETCH(QStringList, points);
        // Each frame after one that lit a different point.
        const bool third = points == QStringList {u"LcdP3"_qs};
        show(third ? u"A00012340000D"_qs : u"A00212340000D"_qs);
        show(frame);
        QStringList lit = shown();
        lit.removeIf([](const QString &n) { return !Points.contains(n); });
        QCOMPARE(lit, points);
    }

    void decimalPointsAreInkRectangles()
    {
        for (const QString &name : Points) {
            QWidget *point = element(name);
            QCOMPARE(point->palette().color(QPalette::Window).lightness() < 50, true);
            const QImage image = point->grab().toImage();
            QCOMPARE(inkBounds(image, WindowLook::Cream), image.rect());
        }
    }

    void digits_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("digits");
        QTest::newRow("reading") << u"A00009870000D"_qs
                                 << QStringList {u"0"_qs, u"9"_qs, u"8"_qs, u"7"_qs};
        QTest::newRow("overload keeps its characters")
            << u"A00100000100D"_qs << QStringList {u"  "_qs, u"0"_qs, u"@"_qs, u"  "_qs};
        QTest::newRow("open input")
            << u"A11000250001D"_qs << QStringList {u"o"_qs, u"p"_qs, u"e"_qs, u"n"_qs};
        QTest::newRow("invalid markers still show digits")
            << u"B00043210000C"_qs << QStringList {u"4"_qs, u"3"_qs, u"2"_qs, u"1"_qs};
    }

    void digits()
    {
        QFETCH(QString, frame);
        QFETCH(QStringList, digits);
        show(frame);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(caption(Digits[i]), digits[i]);
            QVERIFY(element(Digits[i])->isVisible());
        }
    }

    void invalidMarkersShowNoFunction()
    {
        show(u"B00012340810C"_qs); // valid apart from its markers, with high voltage and auto
        QCOMPARE(sorted(shown()), sorted({u"LCDsend"_qs, u"WEI"_qs, u"LcdAuto"_qs}));
        QCOMPARE(caption(u"LcdDc1"_qs), u"DC"_qs);
    }

    // Whatever a frame lit goes out with the next one, however little that one lights.
    void nextFrameStartsBlank()
    {
        show(frame('0', '0', '3', '0', u"EF8"));
        show(frame('2', '2', '4', '0', u"EF8"));
        QVERIFY(shown().size() > 12);
        show(frame('9', '0', '0'));
        QCOMPARE(shown(), QStringList {u"LCDsend"_qs});
        QCOMPARE(caption(u"LcdDc"_qs), u"3"_qs);
    }

    // A frame that fails right after blanking leaves the blank panel, the previous digits and
    // the high-voltage warning (which only the flags step decides).
    void blankKeepsDigitsWarningAndClock()
    {
        show(frame('0', '0', '1', '0', u"EF8"));
        m_panel->clockLabel()->show(); // as a model that shows the clock would
        m_panel->blank();
        m_panel->commit();
        QCOMPARE(sorted(shown()), sorted({u"WEI"_qs, u"d_t"_qs}));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(element(Digits[i])->isVisible());
            QCOMPARE(caption(Digits[i]), QString::number(i + 1));
        }
    }

    void clockTextStaysHidden()
    {
        m_panel->setClockText(u"09 : 05 : 07     03 - 04 - 2024"_qs);
        m_panel->commit();
        QCOMPARE(caption(u"d_t"_qs), u"09 : 05 : 07     03 - 04 - 2024"_qs);
        QVERIFY(!element(u"d_t"_qs)->isVisible());
    }

    void changesWaitForCommit()
    {
        m_panel->blank();
        m_panel->showSend();
        m_panel->showDecimalPoint(2);
        QCOMPARE(shown(), QStringList());
        m_panel->commit();
        QCOMPARE(sorted(shown()), sorted({u"LCDsend"_qs, u"LcdP2"_qs}));
        m_panel->commit();
        QCOMPARE(sorted(shown()), sorted({u"LCDsend"_qs, u"LcdP2"_qs}));

        // Texts take effect at once: they need no visibility change.
        m_panel->setDigits({u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs});
        QCOMPARE(caption(u"LcdDd"_qs), u"4"_qs);
    }

    // A steady reading shows and hides nothing after its first frame.
    void steadyReadingCausesNoVisibilityChanges()
    {
        struct Counter : QObject
        {
            int changes = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent)
                    ++changes;
                return false;
            }
        } counter;
        const QString reading = frame('2', '0', '3', '0', u"EF8");
        show(reading);
        for (const QString &name : allNames())
            element(name)->installEventFilter(&counter);
        show(reading);
        show(reading);
        QCOMPARE(counter.changes, 0);
        show(frame('2', '0', '1', '0', u"EF8")); // 400k to 4k: dd00, dd10 go, LcdP3 to LcdP1
        QCOMPARE(counter.changes, 4);
    }

    // Painting of the elements

    void everyTextElementPaints_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : allNames()) {
            if (!Points.contains(name) && name != u"D" && name != u"WEI" && name != u"LCDsend")
                QTest::newRow(qPrintable(name)) << name;
        }
        QTest::newRow("WEI") << u"WEI"_qs;
        QTest::newRow("LCDsend") << u"LCDsend"_qs;
        QTest::newRow("D") << u"D"_qs;
    }

    void everyTextElementPaints()
    {
        QFETCH(QString, name);
        const QImage image = element(name)->grab().toImage();
        QVERIFY(!inkBounds(image, WindowLook::Cream).isEmpty());
    }

    // "@" paints as the "L" of "0L"; two spaces leave only the unlit segments.
    void digitPainting()
    {
        QLabel *digit = m_panel->digit(2);
        digit->setText(u"L"_qs);
        const QImage letter = digit->grab().toImage();
        digit->setText(u"@"_qs);
        QCOMPARE(digit->grab().toImage(), letter);

        digit->setText(u"  "_qs);
        const QImage blank = digit->grab().toImage();
        QVERIFY(inkBounds(blank, WindowLook::Cream).isEmpty());
        digit->setText(u"8"_qs);
        QVERIFY(!inkBounds(digit->grab().toImage(), WindowLook::Cream).isEmpty());
        QVERIFY(digit->grab().toImage() != blank);
    }

    // A caption with a meter character paints the symbol, not the character.
    void symbolElementsPaintSymbols_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name :
             {"LCDohm", "LCDCS", "LCDFS", "LCDDI", "LCDFm", "LCDBATT", "LCDBF", "LCDHold"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void symbolElementsPaintSymbols()
    {
        QFETCH(QString, name);
        auto *label = qobject_cast<QLabel *>(element(name));
        QImage plain(label->size(), QImage::Format_RGB32);
        plain.fill(WindowLook::Cream);
        {
            QPainter p(&plain);
            p.setFont(label->font());
            p.setPen(Qt::black);
            p.drawText(plain.rect(), Qt::AlignCenter, label->text());
        }
        const QImage painted = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(!inkBounds(painted, WindowLook::Cream).isEmpty());
        QVERIFY(painted != plain);
    }

    // MeterGlyphs

    void glyphWidths()
    {
        QFont font = WindowLook::arial(20, true);
        const MeterGlyphs glyphs(font);
        const QFontMetricsF metrics(font);
        QCOMPARE(glyphs.width(u"DCmA 400"), metrics.horizontalAdvance(u"DCmA 400"_qs));
        QCOMPARE(glyphs.width(u"0@"), glyphs.width(u"0L"));
        QVERIFY(glyphs.width(u"K *") > glyphs.width(u"K "));
        QCOMPARE(glyphs.width(u"K *"), glyphs.width(u"K ") + glyphs.width(u"*"));
        QCOMPARE(MeterGlyphs::textWidth(u"40 k *", font), glyphs.width(u"40 k *"));
        QVERIFY(glyphs.width(u"#") > metrics.horizontalAdvance(u'C'));
        for (QChar c : QStringView(u"*#?)&$%<\"@")) {
            QVERIFY2(MeterGlyphs::isSymbol(c), qPrintable(QString(c)));
        }
        for (QChar c : QStringView(u"0AaKkmunvHz -.")) {
            QVERIFY2(!MeterGlyphs::isSymbol(c), qPrintable(QString(c)));
        }
    }

    // Each symbol's ink lies within the width the text reports and one capital height, in the
    // painter's colour, at text sizes from a grid cell's to the display's.
    void glyphInk_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QFont>("font");
        const QFont fonts[]
            = {WindowLook::arial(12, false), WindowLook::arial(30, true), WindowLook::segments(40)};
        for (const QFont &font : fonts) {
            for (const QString &text : {u"*"_qs, u"#"_qs, u"?"_qs, u")"_qs, u"&"_qs, u"$"_qs,
                                        u"%"_qs, u"<"_qs, u"\""_qs, u"4k *"_qs}) {
                QTest::addRow("%s %d %s", qPrintable(text), font.pixelSize(),
                              qPrintable(font.family()))
                    << text << font;
            }
        }
    }

    void glyphInk()
    {
        QFETCH(QString, text);
        QFETCH(QFont, font);
        const MeterGlyphs glyphs(font);
        const int margin = 8;
        const QRectF box(margin, margin, glyphs.width(text), glyphs.symbolHeight());
        QImage image(box.toAlignedRect().adjusted(-margin, -margin, margin, margin).size(),
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setPen(Qt::red);
            glyphs.drawAt(p, box.bottomLeft(), text);
        }
        const QRect ink = inkBounds(image, Qt::white);
        QVERIFY(!ink.isEmpty());
        const QRect allowed = box.toAlignedRect().adjusted(-1, -1, 1, 1);
        QVERIFY2(allowed.contains(ink),
                 qPrintable(u"ink %1,%2 %3x%4 outside %5,%6 %7x%8"_qs.arg(ink.x())
                                .arg(ink.y())
                                .arg(ink.width())
                                .arg(ink.height())
                                .arg(allowed.x())
                                .arg(allowed.y())
                                .arg(allowed.width())
                                .arg(allowed.height())));
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            for (int x = ink.left(); x <= ink.right(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                QVERIFY(qRed(pixel) >= qGreen(pixel) && qRed(pixel) >= qBlue(pixel));
            }
        }
    }

    void glyphAlignment_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("left"); // where the ink may start, from the rectangle's left
        QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignVCenter) << 0;
        QTest::newRow("centre") << int(Qt::AlignCenter) << 50;
        QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignVCenter) << 100;
    }

    void glyphAlignment()
    {
        QFETCH(int, alignment);
        QFETCH(int, left);
        const QFont font = WindowLook::arial(20, true);
        const MeterGlyphs glyphs(font);
        const QString text = u"k*"_qs;
        const qreal width = glyphs.width(text);
        QImage image(140, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setPen(Qt::black);
            glyphs.draw(p, QRectF(10, 0, 100 + width, 40), alignment, text);
        }
        const QRect ink = inkBounds(image, Qt::white);
        QVERIFY(std::abs(ink.left() - (10 + left)) <= 3);
        QVERIFY(std::abs(ink.center().y() - 20) <= 2);
    }
};

QTEST_MAIN(TestLcdPanel)
#include "tst_lcdpanel.moc"
