#include "PortSource.h"

#include "links/SystemPorts.h"

std::unique_ptr<PortSource> PortSource::forComNumber(int number)
{
    std::unique_ptr<PortSource> port(new PortSource(systemSerialPorts, number, false));
    port->m_names.readEnvironment();
    return port;
}

std::unique_ptr<PortSource> PortSource::forPath(const QString &path)
{
    std::unique_ptr<PortSource> port(new PortSource({}, 1, true));
    port->m_names.setOverride(1, path);
    return port;
}

PortSource::PortSource(PortNames::PortLister lister, int number, bool namedByPath)
    : m_names(std::move(lister))
    , m_number(number)
    , m_namedByPath(namedByPath)
{
    m_source.setPortNumber(number);
    m_source.setNoDeviceAdvice(
        u"no serial port is present for this number. Plug in the cable, or name the device "
        "with --port PATH or METERLINK_COM"_qs
        + QString::number(number) + u"=PATH."_qs);
}

QString PortSource::deviceName() const
{
    const QString path = m_source.devicePath();
    if (m_namedByPath)
        return path;
    const QString port = u"COM "_qs + QString::number(m_number);
    return path.isEmpty() ? port : QString(port + u" ("_qs + path + u')');
}

bool PortSource::open(QString *error)
{
    QString reason;
    if (m_source.open(&reason))
        return true;
    *error = u"cannot open "_qs + deviceName() + u": "_qs + reason;
    return false;
}
