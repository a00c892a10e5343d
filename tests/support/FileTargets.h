#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Files an output may be written to besides plain files, and conditions to write them under.

// What a name is, without following a symbolic link: "link", "FIFO", "file", "folder",
// "device" or "none".
inline QString fileKind(const QString &path)
{
    struct stat st
    {
    };
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return u"none"_qs;
    if (S_ISLNK(st.st_mode))
        return u"link"_qs;
    if (S_ISFIFO(st.st_mode))
        return u"FIFO"_qs;
    if (S_ISREG(st.st_mode))
        return u"file"_qs;
    if (S_ISDIR(st.st_mode))
        return u"folder"_qs;
    return u"device"_qs;
}

// A FIFO made for the test, with a reader collecting everything written into it. The reader
// and a writing end of the test's own are open before the writer under test comes, so that
// writer never waits for a reader, and the data ends only when bytes() closes the test's end:
// a writer that put a file in the FIFO's place gives an empty result rather than a hang.
class FifoReader
{
public:
    explicit FifoReader(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        if (mkfifo(name.constData(), 0600) != 0)
            return;
        m_read = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_read < 0)
            return;
        fcntl(m_read, F_SETFL, fcntl(m_read, F_GETFL) & ~O_NONBLOCK);
        m_keep = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        if (m_keep < 0)
            return;
        m_thread = std::thread([this] {
            char buffer[64 * 1024];
            for (;;) {
                const ssize_t n = ::read(m_read, buffer, sizeof buffer);
                if (n > 0)
                    m_bytes.append(buffer, qsizetype(n));
                else if (n == 0 || errno != EINTR)
                    break;
            }
        });
        m_valid = true;
    }
    ~FifoReader()
    {
        finish();
        if (m_read >= 0)
            ::close(m_read);
    }
    FifoReader(const FifoReader &) = delete;
    FifoReader &operator=(const FifoReader &) = delete;

    bool isValid() const { return m_valid; }
    // Everything written into the FIFO; call once the writer under test has closed it.
    QByteArray bytes()
    {
        finish();
        return m_bytes;
    }

private:
    void finish()
    {
        if (m_keep >= 0)
            ::close(m_keep);
        m_keep = -1;
        if (m_thread.joinable())
            m_thread.join();
    }

    int m_read = -1;
    int m_keep = -1;
    bool m_valid = false;
    std::thread m_thread;
    QByteArray m_bytes;
};

// Files may not grow beyond a size while it lives; writes past it fail (even for root).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited {bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

// While it lives, this thread's file accesses are checked as those of an ordinary user, so a
// folder without write permission refuses new files even when the tests run as root.
class OrdinaryFileUser
{
public:
    OrdinaryFileUser()
    {
        if (geteuid() == 0)
            setfsuid(NobodyId);
    }
    ~OrdinaryFileUser()
    {
        if (geteuid() == 0)
            setfsuid(0);
    }
    OrdinaryFileUser(const OrdinaryFileUser &) = delete;
    OrdinaryFileUser &operator=(const OrdinaryFileUser &) = delete;

private:
    static constexpr uid_t NobodyId = 65534;
};
