#include "recording/RecordJournal.h"

#include "recording/FileScanning.h"
#include "recording/TableFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// Rows waiting in memory beyond this many bytes are written at once (a fast replay).
constexpr qsizetype PendingLimit = 64 * 1024;
constexpr int FlushIntervalMs = 500;
// Checked at every tick, twice a second: the file is synced within five seconds of a write.
constexpr qint64 SyncAfterMs = 4500;

const char Header[] = "No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\tNval\r\n";

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// With the process id, the time a journal starts names it; sorted by name, older ones first.
QString timeStamp()
{
    return QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss.zzz"_qs);
}

// Makes the folder and those above it that are missing, readable by the user alone.
bool makeFolder(const QString &folder, QString *error)
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    for (qsizetype slash = 1; slash >= 0 && slash <= path.size();) {
        const qsizetype next = path.indexOf('/', slash);
        const QByteArray part = next < 0 ? path : path.left(next);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) {
            *error = u"cannot make the folder "_qs + QFile::decodeName(part) + u": "_qs
                + systemError(errno);
            return false;
        }
        slash = next < 0 ? -1 : next + 1;
    }
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = u"cannot make the folder "_qs + folder + u": "_qs
            + systemError(errno ? errno : ENOTDIR);
        return false;
    }
    return true;
}

bool writeAll(int fd, const char *data, qsizetype size, int *error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

char *putNumber(char *out, const std::optional<qint32> &n)
{
    return n ? std::to_chars(out, out + 11, *n).ptr : out;
}

// A field in the 8-bit code page, the separators of the text form made blanks (a field cannot
// hold them). Texts of printable ASCII alone, what a meter sends, are narrowed in one pass with no
// branch per character; anything else takes the careful way.
char *putText(char *out, const QString &text)
{
    const char16_t *const p = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    unsigned outside = 0;
    for (qsizetype i = 0; i < size; ++i) {
        out[i] = char(p[i]);
        outside |= unsigned(char16_t(p[i] - 0x20) >= 0x60);
    }
    if (!outside)
        return out + size;
    const auto blank = [](char c) {
        return (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    };
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = p[i] < 0x80;
    if (ascii) {
        for (qsizetype i = 0; i < size; ++i)
            out[i] = blank(char(p[i]));
        return out + size;
    }
    const QByteArray bytes = text.toLocal8Bit();
    for (char c : bytes)
        *out++ = blank(c);
    return out;
}

} // namespace

// Writes what the recording thread hands over, in order, and syncs when asked. The first failure
// is kept and everything handed after it dropped. Going away, it writes what is still waiting.
class RecordJournal::Writer
{
public:
    explicit Writer(int fd)
        : m_fd(fd)
        , m_thread([this] { run(); })
    {
    }

    ~Writer()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // A ticket to wait for.
    quint64 hand(const char *data, qsizetype size, bool sync)
    {
        quint64 ticket;
        {
            const std::lock_guard lock(m_mutex);
            m_queued.append(data, size_t(size));
            m_syncWanted = m_syncWanted || sync;
            ticket = ++m_handed;
        }
        m_wake.notify_one();
        return ticket;
    }

    void wait(quint64 ticket)
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_finished >= ticket; });
    }

    // The rows waiting were saved elsewhere.
    void dropQueued()
    {
        const std::lock_guard lock(m_mutex);
        m_queued.clear();
        m_syncWanted = false;
    }

    // errno of the first failure, 0 while there was none.
    int error() const { return m_error.load(std::memory_order_acquire); }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stopping || m_finished < m_handed; });
            if (m_finished == m_handed)
                return;
            // The two buffers change places: the next rows go into the one just written.
            m_writing.swap(m_queued);
            const bool sync = std::exchange(m_syncWanted, false);
            const quint64 upTo = m_handed;
            lock.unlock();
            int failure = m_error.load(std::memory_order_relaxed);
            if (failure == 0 && !m_writing.empty())
                writeAll(m_fd, m_writing.data(), qsizetype(m_writing.size()), &failure);
            if (failure == 0 && sync && ::fdatasync(m_fd) != 0 && errno != EINVAL)
                failure = errno;
            m_writing.clear();
            lock.lock();
            if (failure != 0)
                m_error.store(failure, std::memory_order_release);
            m_finished = upTo;
            m_done.notify_all();
        }
    }

    const int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::string m_queued; // handed, not yet taken by the thread
    std::string m_writing; // the thread's own
    bool m_syncWanted = false;
    bool m_stopping = false;
    quint64 m_handed = 0;
    quint64 m_finished = 0;
    std::atomic<int> m_error {0};
    std::thread m_thread;
};

RecordJournal::RecordJournal(const QString &program)
    : m_program(program)
    , m_folder(defaultFolder())
{
    m_pending.resize(PendingLimit + 4096);
    m_timer.setInterval(FlushIntervalMs);
    m_timer.callOnTimeout([this] { tick(); });
}

RecordJournal::~RecordJournal()
{
    keep();
}

QString RecordJournal::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // The base directory specification ignores a relative path.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + u"/.local/state"_qs;
    return base + u"/meterlink"_qs;
}

QString RecordJournal::baseName() const
{
    return timeStamp() + u'-' + QString::number(::getpid()) + u'-' + m_program;
}

QString RecordJournal::fallbackPath(const QString &fileName, QString *error) const
{
    if (!makeFolder(m_folder, error))
        return {};
    QString stem = QFileInfo(m_path).fileName();
    if (m_path.isEmpty() || !m_target.isEmpty())
        stem = baseName();
    else if (stem.endsWith(u".journal"_qs))
        stem.chop(8);
    return QDir(m_folder).filePath(stem + u'-' + fileName);
}

bool RecordJournal::open()
{
    if (!m_target.isEmpty()) {
        m_path = m_target;
        m_fd = ::open(QFile::encodeName(m_path).constData(),
                      O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            fail(m_path + u": "_qs + systemError(errno));
            return false;
        }
    } else {
        QString error;
        if (!makeFolder(m_folder, &error)) {
            fail(error);
            return false;
        }
        // A second journal of the process in the same millisecond still gets a name of its own.
        static std::atomic<int> journals {0};
        const int n = journals.fetch_add(1);
        const QString name
            = baseName() + (n > 0 ? u'-' + QString::number(n + 1) : QString()) + u".journal"_qs;
        m_path = QDir(m_folder).filePath(name);
        // Made and locked under another name, so no one looking for journals can take the
        // lock between the two.
        const QByteArray final = QFile::encodeName(m_path);
        const QByteArray made = final + ".new";
        m_fd = ::open(made.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            fail(QFile::decodeName(made) + u": "_qs + systemError(errno));
            return false;
        }
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0
            || ::rename(made.constData(), final.constData())) {
            const int failure = errno;
            ::unlink(made.constData());
            close();
            fail(m_path + u": "_qs + systemError(failure));
            return false;
        }
        // The new name itself reaches the disk.
        const int dir = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    int error = 0;
    if (!writeAll(m_fd, Header, qsizetype(sizeof Header - 1), &error)) {
        fail(m_path + u": "_qs + systemError(error));
        return false;
    }
    m_lastSync = steadyMs();
    m_unsynced = true;
    m_writer = std::make_unique<Writer>(m_fd);
    m_timer.start();
    return true;
}

void RecordJournal::append(const ReadingTable::Row &row)
{
    if (m_failed || (m_fd < 0 && !open()))
        return;
    const QString *texts[]
        = {&row.time, &row.dcAc, &row.value, &row.unit, &row.range, &row.autoText};
    // At most three bytes a character, two numbers and the separators.
    qsizetype most = 2 * 11 + 9;
    for (const QString *text : texts)
        most += 3 * text->size();
    if (m_used + most > m_pending.size()) {
        handOver(false, false);
        if (m_failed)
            return;
        if (most > m_pending.size())
            m_pending.resize(most);
    }
    char *out = m_pending.data() + m_used;
    out = putNumber(out, row.no);
    for (const QString *text : texts) {
        *out++ = '\t';
        out = putText(out, *text);
    }
    *out++ = '\t';
    out = putNumber(out, row.nval);
    *out++ = '\r';
    *out++ = '\n';
    m_used = out - m_pending.data();
    if (m_used >= PendingLimit)
        handOver(false, false);
}

void RecordJournal::handOver(bool sync, bool wait)
{
    if (m_fd < 0 || m_failed || !m_writer)
        return;
    if (m_used > 0 || sync || wait) {
        const quint64 ticket = m_writer->hand(m_pending.constData(), m_used, sync);
        m_unsynced = (m_unsynced || m_used > 0) && !sync;
        if (sync)
            m_lastSync = steadyMs();
        m_used = 0;
        if (wait)
            m_writer->wait(ticket);
    }
    if (const int error = m_writer->error())
        fail(m_path + u": "_qs + systemError(error));
}

void RecordJournal::tick()
{
    handOver((m_unsynced || m_used > 0) && steadyMs() - m_lastSync >= SyncAfterMs, false);
}

void RecordJournal::flush()
{
    handOver((m_unsynced || m_used > 0) && steadyMs() - m_lastSync >= SyncAfterMs, true);
}

void RecordJournal::sync()
{
    handOver(true, true);
}

void RecordJournal::fail(const QString &reason)
{
    // The file stays open and locked: what it holds up to the failure is still this run's.
    m_used = 0;
    m_timer.stop();
    if (m_failed)
        return;
    m_failed = true;
    if (onFailed)
        onFailed(reason);
}

void RecordJournal::close()
{
    m_timer.stop();
    // Writes what was handed over before the file closes.
    m_writer.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void RecordJournal::discard()
{
    m_used = 0;
    if (m_writer)
        m_writer->dropQueued();
    // Unlinked while still locked: no one else can take the rows for a leftover meanwhile.
    if (m_fd >= 0 && m_target.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
    close();
    m_path.clear();
    // A later row tries again: the folder may take files by now.
    m_failed = false;
}

void RecordJournal::keep()
{
    handOver(true, true);
    close();
}

bool RecordJournal::read(ReadingTable &table, const QString &path, QString *error)
{
    QByteArray bytes;
    if (!FileScanning::readWholeFile(path, bytes, error))
        return false;
    // Only whole lines: the last may have been cut off by the end of the process.
    const qsizetype end = bytes.lastIndexOf('\n');
    if (end < 0) {
        if (error)
            *error = u"Could not read "_qs + path + u": it holds no journal line"_qs;
        return false;
    }
    bytes.truncate(end + 1);
    if (!TableFiles::readText(table, bytes, error)) {
        if (error)
            *error = path + u": "_qs + *error;
        return false;
    }
    return true;
}

RecordJournal::Leftover::Leftover(QString path, int fd, qsizetype rows, QDateTime modified)
    : m_path(std::move(path))
    , m_fd(fd)
    , m_rows(rows)
    , m_modified(std::move(modified))
{
}

RecordJournal::Leftover::Leftover(Leftover &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_fd(std::exchange(other.m_fd, -1))
    , m_rows(other.m_rows)
    , m_modified(std::move(other.m_modified))
{
}

RecordJournal::Leftover &RecordJournal::Leftover::operator=(Leftover &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
        m_rows = other.m_rows;
        m_modified = std::move(other.m_modified);
    }
    return *this;
}

RecordJournal::Leftover::~Leftover()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void RecordJournal::Leftover::remove()
{
    if (m_fd < 0)
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

void RecordJournal::Leftover::setAside()
{
    if (m_fd < 0)
        return;
    const QString aside = m_path + u".damaged"_qs;
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(aside).constData()) == 0)
        m_path = aside;
    ::close(m_fd);
    m_fd = -1;
}

std::vector<RecordJournal::Leftover> RecordJournal::findLeftovers(const QString &folder)
{
    std::vector<Leftover> found;
    const QDir dir(folder);
    // The names start with the run's start time: sorted by name, the oldest run comes first.
    const QStringList names
        = dir.entryList({u"*.journal"_qs}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held
        {
        }, named {};
        // Locked by a running process; or removed or replaced before the lock was ours.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0
            || ::stat(encoded.constData(), &named) != 0 || held.st_ino != named.st_ino
            || held.st_dev != named.st_dev) {
            ::close(fd);
            continue;
        }
        // Whole lines after the header.
        qsizetype lines = 0;
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            lines += std::count(buffer, buffer + n, '\n');
        Leftover leftover(path, fd, std::max<qsizetype>(0, lines - 1),
                          QFileInfo(path).lastModified());
        if (leftover.rows() == 0)
            leftover.remove();
        else
            found.push_back(std::move(leftover));
    }
    return found;
}
