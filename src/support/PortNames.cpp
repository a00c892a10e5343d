#include "support/PortNames.h"

#include <QRegularExpression>
#include <QtGlobal>
#include <algorithm>
#include <utility>

namespace {

int group(const QString &path)
{
    const QString name = path.section(u'/', -1);
    if (name.startsWith(u"ttyUSB"_qs) || name.startsWith(u"ttyACM"_qs))
        return 0;
    if (name.startsWith(u"ttyS"_qs))
        return 1;
    return 2;
}

// Splits "/dev/ttyUSB10" into "/dev/ttyUSB" and 10 so that ports sort by number.
std::pair<QString, long long> numberedName(const QString &path)
{
    qsizetype digits = path.size();
    while (digits > 0 && path[digits - 1].isDigit())
        --digits;
    const QString tail = path.mid(digits).left(18);
    return {path.left(digits), tail.isEmpty() ? -1 : tail.toLongLong()};
}

} // namespace

PortNames::PortNames(PortLister lister)
    : m_lister(std::move(lister))
{
}

void PortNames::setOverride(int number, const QString &path)
{
    m_overrides.insert(number, path);
}

bool PortNames::addOverrideOption(const QString &option, QString *error)
{
    static const QRegularExpression form(u"^([1-4])=(.+)$"_qs);
    const QRegularExpressionMatch m = form.match(option);
    if (!m.hasMatch()) {
        if (error)
            *error
                = u"--com expects N=PATH with N from 1 to 4, for example --com 1=/dev/ttyUSB0; got \""_qs
                + option + u"\""_qs;
        return false;
    }
    setOverride(m.captured(1).toInt(), m.captured(2));
    return true;
}

void PortNames::readEnvironment()
{
    for (int n = 1; n <= 4; ++n) {
        const QString value
            = qEnvironmentVariable(QByteArray("METERLINK_COM" + QByteArray::number(n)).constData());
        if (!value.isEmpty())
            setOverride(n, value);
    }
}

QString PortNames::devicePath(int number) const
{
    if (const auto it = m_overrides.constFind(number); it != m_overrides.cend())
        return *it;
#ifdef Q_OS_WIN
    return u"COM"_qs + QString::number(number);
#else
    if (!m_lister || number < 1)
        return {};
    const QStringList present = ordered(m_lister());
    return number <= present.size() ? present.at(number - 1) : QString();
#endif
}

QStringList PortNames::ordered(QStringList paths)
{
    std::stable_sort(paths.begin(), paths.end(), [](const QString &a, const QString &b) {
        const int ga = group(a), gb = group(b);
        if (ga != gb)
            return ga < gb;
        return numberedName(a) < numberedName(b);
    });
    return paths;
}
