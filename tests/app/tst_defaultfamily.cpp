// The application's font, named as the installed stand-in for the platform's generic default
// family, gives the faces the generic name gave, and is left alone where the platform names a
// family of its own.

#include "app/DefaultFamily.h"
#include "support/WindowLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTest>
#include <algorithm>

class TestDefaultFamily : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_font = QApplication::font(); }
    void cleanup() { QApplication::setFont(m_font); }
    void theStandInGivesTheSameFaces();
    void anInstalledFamilyIsLeftAlone();

private:
    QFont m_font;
};

namespace {

struct Face
{
    QString family, style;
    int weight;
    bool italic;
    bool operator==(const Face &) const = default;
};

QList<Face> facesOf(const QFont &font)
{
    QList<Face> faces;
    for (const bool bold : {false, true}) {
        for (const bool italic : {false, true}) {
            QFont f = font;
            f.setBold(bold);
            f.setItalic(italic);
            const QFontInfo info(f);
            faces.append({info.family(), info.styleName(), info.weight(), info.italic()});
        }
    }
    return faces;
}

} // namespace

void TestDefaultFamily::theStandInGivesTheSameFaces()
{
    DefaultFamily family;
    findDefaultStandIn(family);
    if (family.standIn.isEmpty())
        QSKIP("built without the font configuration library");
    const QStringList substitutes = QFont::substitutes(family.named);
    if (std::any_of(substitutes.begin(), substitutes.end(), WindowLook::isInstalled))
        QSKIP("a substitute for the generic name is installed here");

    QFont generic;
    generic.setFamilies({family.named});
    generic.setPixelSize(12);
    QApplication::setFont(generic);
    const QList<Face> before = facesOf(generic);

    nameDefaultStandIn(family);
    QCOMPARE(QApplication::font().families(), QStringList {family.standIn});
    QCOMPARE(QApplication::font().pixelSize(), 12);
    QCOMPARE(facesOf(QApplication::font()), before);
}

void TestDefaultFamily::anInstalledFamilyIsLeftAlone()
{
    const QStringList installed = QFontDatabase::families();
    QVERIFY(!installed.isEmpty());
    QFont font;
    font.setFamilies({installed.first()});
    QApplication::setFont(font);
    DefaultFamily family;
    family.standIn = installed.last();
    nameDefaultStandIn(family); // the platform named another family
    QCOMPARE(QApplication::font().families(), QStringList {installed.first()});

    family.named = installed.first();
    family.standIn = u"No Such Family Anywhere"_qs; // no installed stand-in
    nameDefaultStandIn(family);
    QCOMPARE(QApplication::font().families(), QStringList {installed.first()});
}

QTEST_MAIN(TestDefaultFamily)
#include "tst_defaultfamily.moc"
