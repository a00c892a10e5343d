#include "app/DefaultFamily.h"

#include "support/WindowLook.h"

#include <QApplication>
#include <QFont>
#include <algorithm>

#ifdef METERLINK_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

void findDefaultStandIn(DefaultFamily &family)
{
#ifdef METERLINK_FONTCONFIG
    FcPattern *defaults = FcPatternCreate();
    FcDefaultSubstitute(defaults);
    FcChar8 *language = nullptr;
    const bool hasLanguage = FcPatternGetString(defaults, FC_LANG, 0, &language) == FcResultMatch;
    FcPattern *pattern = FcPatternCreate();
    const QByteArray named = family.named.toUtf8();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(named.constData()));
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    if (hasLanguage)
        FcPatternAddString(pattern, FC_LANG, language);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult found = FcResultNoMatch;
    if (FcPattern *match = FcFontMatch(nullptr, pattern, &found)) {
        FcChar8 *name = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
            family.standIn = QString::fromUtf8(reinterpret_cast<const char *>(name));
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcPatternDestroy(defaults);
#else
    Q_UNUSED(family);
#endif
}

void nameDefaultStandIn(const DefaultFamily &family)
{
    QFont font = QApplication::font();
    if (family.standIn.isEmpty() || font.families() != QStringList {family.named})
        return;
    // Qt tries the family's substitutes before the sorted fonts.
    const QStringList substitutes = QFont::substitutes(family.named);
    if (std::any_of(substitutes.begin(), substitutes.end(), WindowLook::isInstalled)
        || !WindowLook::isInstalled(family.standIn))
        return;
    font.setFamilies({family.standIn});
    QApplication::setFont(font);
}
