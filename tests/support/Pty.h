#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal whose far end the test holds: what the test writes to the master arrives at
// the slave device, which the program opens as its serial port. Closing the master is what an
// unplugged cable looks like to the program.
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    bool write(const QByteArray &bytes);
    void closeMaster();

private:
    int m_master = -1;
    QString m_slavePath;
};
