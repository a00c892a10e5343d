#include "support/WindowLook.h"

#include <QFontDatabase>
#include <QSet>

namespace WindowLook {

bool isInstalled(const QString &family)
{
    static const QSet<QString> present = [] {
        QSet<QString> names;
        for (const QString &name : QFontDatabase::families())
            names.insert(name.toCaseFolded());
        return names;
    }();
    return present.contains(family.toCaseFolded());
}

QStringList installedFamily(const QStringList &families)
{
    for (const QString &family : families)
        if (isInstalled(family))
            return {family};
    return families;
}

namespace {

QFont make(const QStringList &families, int pixelHeight, bool bold, bool italic)
{
    QFont f;
    f.setFamilies(installedFamily(families));
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

} // namespace

QFont sansSerif(int pixelHeight, bool bold)
{
    return make({u"MS Sans Serif"_qs, u"Liberation Sans"_qs, u"DejaVu Sans"_qs}, pixelHeight, bold,
                false);
}

QFont arial(int pixelHeight, bool bold, bool italic)
{
    return make({u"Arial"_qs, u"Liberation Sans"_qs, u"DejaVu Sans"_qs}, pixelHeight, bold, italic);
}

QFont segments(int pixelHeight)
{
    return make({u"DSEG7 Classic"_qs}, pixelHeight, false, false);
}

} // namespace WindowLook
