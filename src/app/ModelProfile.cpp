#include "app/ModelProfile.h"

#include <QSysInfo>

QStringList ModelSwitches::names()
{
    return {u"IFFerrant"_qs, u"Gostel"_qs, u"Brimlow"_qs, u"IFSennick"_qs};
}

std::optional<ModelSwitches> ModelSwitches::parse(const QString &list, QString *error)
{
    ModelSwitches s;
    s.Brimlow = false;
    if (list.trimmed().compare(u"none"_qs, Qt::CaseInsensitive) == 0)
        return s;
    const QStringList parts = list.split(u',', Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        if (error)
            *error = u"--model expects switch names separated by commas, or none"_qs;
        return std::nullopt;
    }
    for (const QString &raw : parts) {
        const QString name = raw.trimmed();
        if (name.compare(u"IFFerrant"_qs, Qt::CaseInsensitive) == 0)
            s.IFFerrant = true;
        else if (name.compare(u"Gostel"_qs, Qt::CaseInsensitive) == 0)
            s.Gostel = true;
        else if (name.compare(u"Brimlow"_qs, Qt::CaseInsensitive) == 0)
            s.Brimlow = true;
        else if (name.compare(u"IFSennick"_qs, Qt::CaseInsensitive) == 0)
            s.IFSennick = true;
        else {
            if (error)
                *error = u"Unknown model switch \""_qs + name + u"\"; known: "_qs
                    + names().join(u", "_qs) + u", none"_qs;
            return std::nullopt;
        }
    }
    return s;
}

ModelProfile selectProfile(const ModelSwitches &switches)
{
    ModelProfile p;
    if (switches.IFFerrant) {
        p.receiveHandler = ReceiveHandler::FerrantDATA;
        p.caption = u"Ferrant Interface Program _Ver: 1.00"_qs;
        p.scaleCode = u"22"_qs;
    }
    if (switches.Gostel) {
        p.receiveHandler = ReceiveHandler::GostelData;
        p.caption = u"Dellmar Interface Program _Ver: 1.00"_qs;
        p.scaleCode = u"22"_qs;
    }
    if (switches.Brimlow) {
        p.receiveHandler = ReceiveHandler::GostelData;
        p.caption = u"Brimlow/Carvane Interface Program Ver2.00"_qs;
        p.scaleCode = u"4"_qs;
        p.portNumber = 1;
        p.selectsCom1 = true;
    }
    if (switches.IFSennick) {
        p.receiveHandler = ReceiveHandler::NestrelData;
        p.caption = u"Lumisk Interface Program _Ver: 1.00"_qs;
    }
    return p;
}

std::optional<ProfileRow> profileRow(const QString &scaleCode)
{
    struct Row
    {
        const char16_t *code;
        DialScale scale;
        const char16_t *setMax, *setMin, *minText, *maxText;
        int bar;
    };
    static const Row rows[] = {
        {u"6", {6000, 600, 60, 120}, u"6000", u"-6000", u"6001", u"-6001", 0},
        {u"4", {4000, 400, 40, 80}, u"4000", u"-4000", u"4001", u"-4001", 0},
        {u"34", {3400, 340, 34, 68}, u"3400", u"-3400", u"3401", u"-3401", 0},
        {u"2", {20000, 200, 20, 40}, u"20000", u"-20000", u"20001", u"-20001", 20},
        // The 22000-count row names its tracker captions the other way round.
        {u"22", {22000, 220, 22, 44}, u"22000", u"-22000", u"-22001", u"22001", 22},
    };
    for (const Row &r : rows) {
        if (scaleCode == QStringView(r.code))
            return ProfileRow {r.scale,
                               QString::fromUtf16(r.setMax),
                               QString::fromUtf16(r.setMin),
                               QString::fromUtf16(r.minText),
                               QString::fromUtf16(r.maxText),
                               r.bar};
    }
    return std::nullopt;
}

QString processorSuffix(bool is32BitProcess, const QString &systemArchitecture)
{
    const bool wide = systemArchitecture == u"x86_64"_qs || systemArchitecture == u"ia64"_qs;
    return is32BitProcess && wide ? u"(x64)"_qs : u"(x86)"_qs;
}

QString processorSuffix()
{
    // The kernel's architecture, not the one this program was built for.
    return processorSuffix(QSysInfo::WordSize == 32, QSysInfo::currentCpuArchitecture());
}

QString composeCaption(const ModelProfile &profile, const QString &suffix)
{
    return profile.caption + suffix;
}
