#include "links/SystemPorts.h"

#include <QSerialPortInfo>

QStringList systemSerialPorts()
{
    QStringList paths;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        paths << info.systemLocation();
    return paths;
}
