#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Maps the window's port numbers COM1..COM4 to device paths. On Linux COMn is by default the
// n-th serial port present, USB adapters (ttyUSB*, ttyACM*) first, then ttyS*; an override from
// the command line (--com N=PATH) or the environment (METERLINK_COMn=PATH) wins. On Windows
// COMn is itself.
class PortNames
{
public:
    using PortLister = std::function<QStringList()>;

    // lister returns the device paths of the serial ports present, in any order.
    explicit PortNames(PortLister lister = {});

    void setOverride(int number, const QString &path);
    bool hasOverride(int number) const { return m_overrides.contains(number); }
    // Parses "N=PATH" (N from 1 to 4). Returns false with a message for anything else.
    bool addOverrideOption(const QString &option, QString *error);
    // Takes METERLINK_COM1..METERLINK_COM4 from the environment; command-line overrides set
    // later replace them.
    void readEnvironment();

    // The device path for COMn, or an empty text when no port is there.
    QString devicePath(int number) const;

    // USB adapters first, then built-in ports, then anything else; by number within each group.
    static QStringList ordered(QStringList paths);

private:
    PortLister m_lister;
    QMap<int, QString> m_overrides;
};
