#include "links/SerialSource.h"

SerialSource::SerialSource(PortNames &portNames, QObject *parent)
    : MeterSource(parent)
    , m_driver(portNames)
{
    m_driver.setDataBits(SerialPortDriver::Data7);
    connect(&m_driver, &SerialPortDriver::deviceLost, this, &SerialSource::onDeviceLost);
    m_reopen.setInterval(1000);
    connect(&m_reopen, &QTimer::timeout, this, &SerialSource::tryReopen);
}

void SerialSource::setPortNumber(int number)
{
    m_driver.setPort(SerialPortDriver::SerialPortNumber(number - 1));
}

void SerialSource::setOnChunk(ChunkHandler handler)
{
    MeterSource::setOnChunk(std::move(handler));
    m_driver.setOnReceiveData([this](SerialPortDriver *, const char *data, int size) {
        deliver(QByteArrayView(data, size));
    });
}

bool SerialSource::open(QString *reason)
{
    if (m_driver.OpenPort())
        return true;
    if (reason)
        *reason = m_driver.lastOpenFailure() == SerialPortDriver::OpenFailure::NoDevice
                && !m_noDeviceAdvice.isEmpty()
            ? m_noDeviceAdvice
            : m_driver.lastOpenFailureReason();
    return false;
}

QString SerialSource::openFailureText() const
{
    return m_driver.lastOpenFailureText();
}

void SerialSource::close()
{
    m_reopen.stop();
    m_driver.ClosePort();
}

void SerialSource::onDeviceLost(const QString &reason)
{
    Q_EMIT lost(reason);
    if (m_reconnectSeconds == 0) {
        Q_EMIT gone();
        return;
    }
    if (m_reconnectSeconds > 0)
        m_reopenDeadline.setRemainingTime(qint64(m_reconnectSeconds) * 1000);
    else
        m_reopenDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
    m_reopen.start();
}

void SerialSource::tryReopen()
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
