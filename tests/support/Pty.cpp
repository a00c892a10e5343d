#include "support/Pty.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    // Close-on-exec: a program a test starts must not keep the line up after the test closes it.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        closeMaster();
        return;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        closeMaster();
        return;
    }
    m_slavePath = QFile::decodeName(name);
    // Raw mode, so the bytes pass unchanged (no CR/LF translation, no echo).
    termios tio {};
    if (::tcgetattr(m_master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
}

Pty::~Pty()
{
    closeMaster();
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

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
