// The window's fonts name one installed face each, and it is the face the design's whole list of
// families gives.

#include "support/WindowLook.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QTest>

class TestWindowLook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theFirstInstalledFamilyAlone();
    void fontsShowTheFaceTheirFamiliesGive_data();
    void fontsShowTheFaceTheirFamiliesGive();
};

void TestWindowLook::theFirstInstalledFamilyAlone()
{
    const QStringList families = QFontDatabase::families();
    QVERIFY(!families.isEmpty());
    const QString present = families.first();
    const QString missing = u"No Such Family Anywhere"_qs;
    QCOMPARE(WindowLook::installedFamily({missing, present, families.last()}),
             QStringList {present});
    QCOMPARE(WindowLook::installedFamily({present.toUpper()}), QStringList {present.toUpper()});
    // None installed: the whole list, for Qt's own search.
    const QStringList none {missing, u"Nor This One"_qs};
    QCOMPARE(WindowLook::installedFamily(none), none);
}

void TestWindowLook::fontsShowTheFaceTheirFamiliesGive_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QStringList>("design");
    const QStringList sans {u"MS Sans Serif"_qs, u"Liberation Sans"_qs, u"DejaVu Sans"_qs};
    const QStringList arial {u"Arial"_qs, u"Liberation Sans"_qs, u"DejaVu Sans"_qs};
    QTest::newRow("sans serif") << WindowLook::sansSerif(11, false) << sans;
    QTest::newRow("sans serif bold") << WindowLook::sansSerif(11, true) << sans;
    QTest::newRow("arial") << WindowLook::arial(12, false) << arial;
    QTest::newRow("arial bold") << WindowLook::arial(13, true) << arial;
    QTest::newRow("arial bold italic") << WindowLook::arial(12, true, true) << arial;
    QTest::newRow("segments") << WindowLook::segments(40) << QStringList {u"DSEG7 Classic"_qs};
}

void TestWindowLook::fontsShowTheFaceTheirFamiliesGive()
{
    QFETCH(QFont, font);
    QFETCH(QStringList, design);
    QCOMPARE(font.families().size(), 1);
    QFont whole = font;
    whole.setFamilies(design);
    const QFontInfo named(font);
    const QFontInfo designed(whole);
    QCOMPARE(named.family(), designed.family());
    QCOMPARE(named.styleName(), designed.styleName());
    QCOMPARE(named.weight(), designed.weight());
    QCOMPARE(named.italic(), designed.italic());
    QCOMPARE(named.pixelSize(), designed.pixelSize());
}

QTEST_MAIN(TestWindowLook)
#include "tst_windowlook.moc"
