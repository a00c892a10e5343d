#include "Pty.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString errnoText(const char *what)
{
    return QString::fromLocal8Bit(what) + u": "_qs + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

Pty::Pty(Line line)
{
    // Close-on-exec: a program started meanwhile must not keep the line up after we close it.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = errnoText("cannot create a pseudo-terminal");
        closeMaster();
        return;
    }
    char name[256];
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = errnoText("ptsname");
        closeMaster();
        return;
    }
    m_slavePath = QFile::decodeName(name);
    if (line == Line::Raw) {
        termios tio {};
        if (::tcgetattr(m_master, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_master, TCSANOW, &tio);
        }
    }
}

Pty::~Pty()
{
    closeMaster();
}

bool Pty::setNonBlocking()
{
    const int flags = ::fcntl(m_master, F_GETFL);
    return flags >= 0 && ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool Pty::openSlave()
{
    if (m_master < 0) {
        errno = EBADF;
        return false;
    }
    if (m_slave < 0)
        m_slave = ::open(QFile::encodeName(m_slavePath).constData(),
                         O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return m_slave >= 0;
}

bool Pty::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return m_master >= 0;
}

QByteArray Pty::readAvailable()
{
    QByteArray read;
    char buffer[4096];
    ssize_t n;
    while (m_master >= 0 && (n = ::read(m_master, buffer, sizeof buffer)) > 0)
        read.append(buffer, n);
    return read;
}

void Pty::closeMaster()
{
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
