// Run by ctest under several locales (LC_ALL): the separators are read from the system locale.

#include "support/LocaleTexts.h"

#include <QTest>

class TestLocale : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void separatorsFollowTheLocale()
    {
        const QString expected = qEnvironmentVariable("EXPECTED_DECIMAL_SEPARATOR");
        QVERIFY2(!expected.isEmpty(), "EXPECTED_DECIMAL_SEPARATOR is not set");
        QCOMPARE(LocaleTexts::decimalSeparatorText(), expected);
        QCOMPARE(LocaleTexts::timeSeparatorText(), qEnvironmentVariable("EXPECTED_TIME_SEPARATOR"));
    }
};

QTEST_GUILESS_MAIN(TestLocale)
#include "tst_locale.moc"
