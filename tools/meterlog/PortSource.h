#pragma once

#include "links/SerialPortDriver.h"
#include "support/PortNames.h"

#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// The meter's serial line with the window's settings and driver: 9600 bit/s, 7 data bits, no
// parity, one stop bit, DTR on, polled like the window polls it. A device that goes away is
// closed at once and reopened once a second until it is back or the wait is over.
class PortSource : public QObject
{
    Q_OBJECT
public:
    // The window's COM n (1..4), named as the window names it; or any device path.
    static std::unique_ptr<PortSource> forComNumber(int number);
    static std::unique_ptr<PortSource> forPath(const QString &path);

    void setOnBytes(std::function<void(QByteArrayView)> onBytes);
    void setReconnectSeconds(int seconds) { m_reconnectSeconds = seconds; }

    // False with a message that names the device and says why.
    bool open(QString *error);
    void close();
    // "COM 2 (/dev/ttyUSB1)" or the path given.
    QString deviceName() const;

Q_SIGNALS:
    void lost(const QString &reason);
    void back();
    // The device did not come back in time; the port stays closed.
    void gone();

private:
    PortSource(PortNames::PortLister lister, int number, bool namedByPath);
    void onDeviceLost(const QString &reason);
    void tryReopen();

    PortNames m_names;
    int m_number;
    bool m_namedByPath;
    SerialPortDriver m_driver {m_names};
    QTimer m_reopen;
    QDeadlineTimer m_reopenDeadline;
    int m_reconnectSeconds = 30;
};
