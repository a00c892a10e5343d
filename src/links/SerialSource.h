#pragma once

#include "links/MeterSource.h"
#include "links/SerialPortDriver.h"

#include <QDeadlineTimer>
#include <QTimer>

class PortNames;

// The meter's serial line: the driver with the meter's settings (9600 bit/s, 7 data bits, no
// parity, one stop bit, DTR on, polled every 50 ms). Devices that cannot do 7 bits or DTR (a
// pseudo-terminal) keep what they have; the driver does not count that as a failure. A device
// that goes away is closed at once and reopened once a second until it is back, the source is
// closed, or the time allowed has run out.
class SerialSource : public MeterSource
{
    Q_OBJECT
public:
    explicit SerialSource(PortNames &portNames, QObject *parent = nullptr);

    SerialPortDriver &driver() { return m_driver; }
    const SerialPortDriver &driver() const { return m_driver; }

    // COM 1..4.
    void setPortNumber(int number);
    int portNumber() const { return int(m_driver.Port()) + 1; }
    QString devicePath() const { return m_driver.devicePath(); }

    // How long a vanished device is waited for: below 0 without end, 0 not at all.
    void setReconnectSeconds(int seconds) { m_reconnectSeconds = seconds; }
    // The advice given when no device is present for the port number.
    void setNoDeviceAdvice(const QString &advice) { m_noDeviceAdvice = advice; }

    // The driver gets a receive handler with the first chunk handler: until then what arrives is
    // left unread.
    void setOnChunk(ChunkHandler handler) override;
    bool open(QString *reason) override;
    void close() override;
    bool isOpen() const override { return m_driver.IsOpen(); }
    bool waitingForDevice() const override { return m_reopen.isActive(); }

    // The last failed open in words for the user: port, device and reason.
    QString openFailureText() const;

private:
    void onDeviceLost(const QString &reason);
    void tryReopen();

    SerialPortDriver m_driver;
    QTimer m_reopen;
    QDeadlineTimer m_reopenDeadline;
    int m_reconnectSeconds = -1;
    QString m_noDeviceAdvice;
};
