#include "app/ModelProfile.h"
#include "support/LocaleTexts.h"

#include <QTest>

class TestModelProfile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void switchesChooseProfile_data();
    void switchesChooseProfile();
    void profileRows_data();
    void profileRows();
    void unknownScaleCodeHasNoRow();
    void processorSuffix_data();
    void processorSuffix();
    void captionOfThisBuild();
    void parseSwitches_data();
    void parseSwitches();
    void clockTexts();
};

using Handler = ReceiveHandler;
Q_DECLARE_METATYPE(ReceiveHandler)

void TestModelProfile::switchesChooseProfile_data()
{
    QTest::addColumn<QString>("switches");
    QTest::addColumn<ReceiveHandler>("handler");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("scaleCode");
    QTest::addColumn<int>("port");

    const QString brimlow = u"Brimlow/Carvane Interface Program Ver2.00"_qs;
    QTest::newRow("Brimlow alone")
        << u"Brimlow"_qs << Handler::GostelData << brimlow << u"4"_qs << 1;
    QTest::newRow("Ferrant then Brimlow: Brimlow wins")
        << u"IFFerrant,Brimlow"_qs << Handler::GostelData << brimlow << u"4"_qs << 1;
    QTest::newRow("Sennick alone keeps code and port")
        << u"IFSennick"_qs << Handler::NestrelData << u"Lumisk Interface Program _Ver: 1.00"_qs
        << u"4"_qs << 4;
    QTest::newRow("Ferrant alone") << u"IFFerrant"_qs << Handler::FerrantDATA
                                   << u"Ferrant Interface Program _Ver: 1.00"_qs << u"22"_qs << 4;
    QTest::newRow("Gostel alone") << u"Gostel"_qs << Handler::GostelData
                                  << u"Dellmar Interface Program _Ver: 1.00"_qs << u"22"_qs << 4;
    QTest::newRow("Ferrant and Sennick: handler and caption of Sennick, code of Ferrant")
        << u"IFSennick,IFFerrant"_qs << Handler::NestrelData
        << u"Lumisk Interface Program _Ver: 1.00"_qs << u"22"_qs << 4;
    QTest::newRow("Brimlow then Sennick: Sennick keeps Brimlow's port")
        << u"Brimlow,IFSennick"_qs << Handler::NestrelData
        << u"Lumisk Interface Program _Ver: 1.00"_qs << u"4"_qs << 1;
    QTest::newRow("no switch") << u"none"_qs << Handler::None << QString() << u"4"_qs << 4;
}

void TestModelProfile::switchesChooseProfile()
{
    QFETCH(QString, switches);
    QFETCH(ReceiveHandler, handler);
    QFETCH(QString, caption);
    QFETCH(QString, scaleCode);
    QFETCH(int, port);

    const std::optional<ModelSwitches> s = ModelSwitches::parse(switches, nullptr);
    QVERIFY(s);
    const ModelProfile p = selectProfile(*s);
    QCOMPARE(p.receiveHandler, handler);
    QCOMPARE(p.caption, caption);
    QCOMPARE(p.scaleCode, scaleCode);
    QCOMPARE(p.portNumber, port);
}

void TestModelProfile::profileRows_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<QStringList>("texts"); // Setmax, SetMin, MinText, MaxText
    QTest::addColumn<int>("bar");

    QTest::newRow("6") << u"6"_qs << DialScale {6000, 600, 60, 120}
                       << QStringList {u"6000"_qs, u"-6000"_qs, u"6001"_qs, u"-6001"_qs} << 0;
    QTest::newRow("4") << u"4"_qs << DialScale {4000, 400, 40, 80}
                       << QStringList {u"4000"_qs, u"-4000"_qs, u"4001"_qs, u"-4001"_qs} << 0;
    QTest::newRow("34") << u"34"_qs << DialScale {3400, 340, 34, 68}
                        << QStringList {u"3400"_qs, u"-3400"_qs, u"3401"_qs, u"-3401"_qs} << 0;
    QTest::newRow("2") << u"2"_qs << DialScale {20000, 200, 20, 40}
                       << QStringList {u"20000"_qs, u"-20000"_qs, u"20001"_qs, u"-20001"_qs} << 20;
    QTest::newRow("22 names its tracker captions the other way round")
        << u"22"_qs << DialScale {22000, 220, 22, 44}
        << QStringList {u"22000"_qs, u"-22000"_qs, u"-22001"_qs, u"22001"_qs} << 22;
}

void TestModelProfile::profileRows()
{
    QFETCH(QString, code);
    QFETCH(DialScale, scale);
    QFETCH(QStringList, texts);
    QFETCH(int, bar);

    const std::optional<ProfileRow> row = profileRow(code);
    QVERIFY(row);
    QVERIFY(row->dialScale == scale);
    QCOMPARE((QStringList {row->setMaxText, row->setMinText, row->minText, row->maxText}), texts);
    QCOMPARE(row->barMaximum, bar);
}

void TestModelProfile::unknownScaleCodeHasNoRow()
{
    QVERIFY(!profileRow(u"10"_qs));
    QVERIFY(!profileRow(QString()));
    QVERIFY(!profileRow(u"4 "_qs));
}

void TestModelProfile::processorSuffix_data()
{
    QTest::addColumn<bool>("is32Bit");
    QTest::addColumn<QString>("architecture");
    QTest::addColumn<QString>("suffix");

    QTest::newRow("32-bit program on x86_64") << true << u"x86_64"_qs << u"(x64)"_qs;
    QTest::newRow("32-bit program on IA-64") << true << u"ia64"_qs << u"(x64)"_qs;
    QTest::newRow("64-bit program on x86_64") << false << u"x86_64"_qs << u"(x86)"_qs;
    QTest::newRow("32-bit program on 32-bit x86") << true << u"i386"_qs << u"(x86)"_qs;
    QTest::newRow("32-bit program on 64-bit ARM") << true << u"arm64"_qs << u"(x86)"_qs;
    QTest::newRow("architecture unknown") << true << QString() << u"(x86)"_qs;
}

void TestModelProfile::processorSuffix()
{
    QFETCH(bool, is32Bit);
    QFETCH(QString, architecture);
    QFETCH(QString, suffix);
    QCOMPARE(::processorSuffix(is32Bit, architecture), suffix);
}

void TestModelProfile::captionOfThisBuild()
{
    const ModelProfile brimlow = selectProfile(ModelSwitches {});
    const QString caption = composeCaption(brimlow, ::processorSuffix());
    QVERIFY(caption == u"Brimlow/Carvane Interface Program Ver2.00(x86)"_qs
            || caption == u"Brimlow/Carvane Interface Program Ver2.00(x64)"_qs);
    if (QSysInfo::WordSize == 64)
        QVERIFY(caption.endsWith(u"(x86)"_qs));

    ModelSwitches none;
    none.Brimlow = false;
    QCOMPARE(composeCaption(selectProfile(none), u"(x86)"_qs), u"(x86)"_qs);
}

void TestModelProfile::parseSwitches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("on"); // initials of the switches that are on, in order F G B S

    QTest::newRow("one") << u"Brimlow"_qs << true << u"B"_qs;
    QTest::newRow("any case, blanks") << u" ifferrant , BRIMLOW"_qs << true << u"FB"_qs;
    QTest::newRow("all") << u"IFFerrant,Gostel,Brimlow,IFSennick"_qs << true << u"FGBS"_qs;
    QTest::newRow("none") << u"none"_qs << true << QString();
    QTest::newRow("unknown") << u"Brimlow,Fluke"_qs << false << QString();
    QTest::newRow("empty") << u","_qs << false << QString();
}

void TestModelProfile::parseSwitches()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, on);

    QString error;
    const std::optional<ModelSwitches> s = ModelSwitches::parse(text, &error);
    QCOMPARE(bool(s), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QString initials;
    if (s->IFFerrant)
        initials += u'F';
    if (s->Gostel)
        initials += u'G';
    if (s->Brimlow)
        initials += u'B';
    if (s->IFSennick)
        initials += u'S';
    QCOMPARE(initials, on);
}

void TestModelProfile::clockTexts()
{
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
    QCOMPARE(LocaleTexts::clockLabelText(when, u":"_qs), u"03 : 04 : 05     01 - 02 - 2026"_qs);
    QCOMPARE(LocaleTexts::clockLabelText(QDateTime(QDate(999, 12, 31), QTime(23, 59, 59)), u"."_qs),
             u"23 . 59 . 59     12 - 31 - 0999"_qs);
    QCOMPARE(LocaleTexts::recordTimeText(QTime(0, 0, 7), u":"_qs), u"00:00:07"_qs);
}

QTEST_GUILESS_MAIN(TestModelProfile)
#include "tst_modelprofile.moc"
