#pragma once

#include "links/SerialSource.h"
#include "support/PortNames.h"

#include <memory>

// The meter's serial line as the window opens it, named by the window's port number (the ports
// present, or METERLINK_COMn) or by a device path.
class PortSource
{
public:
    // The window's COM n (1..4), named as the window names it; or any device path.
    static std::unique_ptr<PortSource> forComNumber(int number);
    static std::unique_ptr<PortSource> forPath(const QString &path);

    SerialSource &source() { return m_source; }

    // False with a message that names the device and says why.
    bool open(QString *error);
    // "COM 2 (/dev/ttyUSB1)" or the path given.
    QString deviceName() const;

private:
    PortSource(PortNames::PortLister lister, int number, bool namedByPath);

    PortNames m_names;
    int m_number;
    bool m_namedByPath;
    SerialSource m_source {m_names};
};
