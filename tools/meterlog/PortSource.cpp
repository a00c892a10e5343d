#include "PortSource.h"

#include "support/SystemPorts.h"

std::unique_ptr<PortSource> PortSource::forComNumber(int number)
{
    std::unique_ptr<PortSource> source(new PortSource(systemSerialPorts, number, false));
    source->m_names.readEnvironment();
    return source;
}

std::unique_ptr<PortSource> PortSource::forPath(const QString &path)
{
    std::unique_ptr<PortSource> source(new PortSource({}, 1, true));
    source->m_names.setOverride(1, path);
    return source;
}

PortSource::PortSource(PortNames::PortLister lister, int number, bool namedByPath)
    : m_names(std::move(lister))
    , m_number(number)
    , m_namedByPath(namedByPath)
{
    // The window's line: its driver defaults (9600 bit/s, no parity, one stop bit, DTR on
    // open) with 7 data bits. Devices that cannot do 7 bits or DTR (a pseudo-terminal) keep
    // what they have; the driver does not count that as a failure.
    m_driver.setPort(SerialPortDriver::SerialPortNumber(number - 1));
    m_driver.setDataBits(SerialPortDriver::Data7);
    connect(&m_driver, &SerialPortDriver::deviceLost, this, &PortSource::onDeviceLost);
    m_reopen.setInterval(1000);
    connect(&m_reopen, &QTimer::timeout, this, &PortSource::tryReopen);
}

void PortSource::setOnBytes(std::function<void(QByteArrayView)> onBytes)
{
    m_driver.setOnReceiveData(
        [onBytes = std::move(onBytes)](SerialPortDriver *, const char *data, int size) {
            onBytes(QByteArrayView(data, size));
        });
}

QString PortSource::deviceName() const
{
    const QString path = m_driver.devicePath();
    if (m_namedByPath)
        return path;
    const QString port = u"COM "_qs + QString::number(m_number);
    return path.isEmpty() ? port : QString(port + u" ("_qs + path + u')');
}

bool PortSource::open(QString *error)
{
    using Failure = SerialPortDriver::OpenFailure;
    if (m_driver.OpenPort())
        return true;
    QString reason;
    switch (m_driver.lastOpenFailure()) {
    case Failure::NoDevice:
        reason = u"no serial port is present for this number. Plug in the cable, or name the "
                 "device with --port PATH or METERLINK_COM"_qs
            + QString::number(m_number) + u"=PATH."_qs;
        break;
    case Failure::NotFound:
        reason = u"the device does not exist (is the cable plugged in?)."_qs;
        break;
    case Failure::NoPermission:
        reason = u"permission denied. Your user must be in the dialout group: run \"sudo usermod "
                 "-aG dialout $USER\", then log out and in again."_qs;
        break;
    case Failure::Busy:
        reason = u"the port is in use by another program. Close that program and try again."_qs;
        break;
    case Failure::None:
    case Failure::Other:
        reason = m_driver.lastOpenFailureReason();
        break;
    }
    *error = u"cannot open "_qs + deviceName() + u": "_qs + reason;
    return false;
}

void PortSource::close()
{
    m_reopen.stop();
    m_driver.ClosePort();
}

void PortSource::onDeviceLost(const QString &reason)
{
    Q_EMIT lost(reason);
    if (m_reconnectSeconds <= 0) {
        Q_EMIT gone();
        return;
    }
    m_reopenDeadline.setRemainingTime(qint64(m_reconnectSeconds) * 1000);
    m_reopen.start();
}

void PortSource::tryReopen()
{
    if (m_driver.OpenPort()) {
        m_reopen.stop();
        Q_EMIT back();
        return;
    }
    if (m_reopenDeadline.hasExpired()) {
        m_reopen.stop();
        Q_EMIT gone();
    }
}
