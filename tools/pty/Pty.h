#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal whose master we hold: what is written to the master arrives at the slave
// device, which the program opens as its serial port, and what the program writes there is read
// back from the master. Closing the master is what an unplugged cable looks like to the program.
class Pty
{
public:
    enum class Line {
        // Bytes pass unchanged both ways (no CR/LF translation, no echo), as on a meter's cable.
        Raw,
        // The line discipline's defaults, as a user's terminal has them.
        Terminal,
    };

    explicit Pty(Line line = Line::Raw);
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isOpen() const { return m_master >= 0; }
    // Why the pseudo-terminal could not be made; empty when it was.
    const QString &errorString() const { return m_error; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Reads and writes on the master return at once instead of waiting.
    bool setNonBlocking();

    // Keeps a descriptor of the slave open (non-blocking) until the master closes: writes into the
    // master then never fail for want of a reader, line settings made on it stay, and the unread
    // input can be measured and discarded through it. On failure errno tells why.
    bool openSlave();
    int slaveFd() const { return m_slave; }

    // Writes all of the bytes, waiting as long as the line takes them.
    bool write(const QByteArray &bytes);
    // Everything the program wrote into the slave since the last call (the master non-blocking).
    QByteArray readAvailable();

    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
};
