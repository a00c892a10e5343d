#include "support/SafeFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// Hands a producer's writes to the writer, so they are checked like any other. The PDF writer
// writes a few dozen bytes at a time; they are gathered into large writes.
class SafeFileWriter::Device final : public QIODevice
{
public:
    explicit Device(SafeFileWriter &writer)
        : m_writer(writer)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

    bool flushPending()
    {
        if (m_pending.isEmpty())
            return true;
        const QByteArray bytes = std::exchange(m_pending, {});
        if (m_writer.put(bytes))
            return true;
        setErrorString(m_writer.reason());
        return false;
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        m_pending.append(data, qsizetype(size));
        if (m_pending.size() < ChunkSize || flushPending())
            return size;
        return -1;
    }

private:
    static constexpr qsizetype ChunkSize = 64 * 1024;

    SafeFileWriter &m_writer;
    QByteArray m_pending;
};

namespace {

std::optional<uint> followingUserOverride;

uint followingUser()
{
    return followingUserOverride ? *followingUserOverride : uint(::geteuid());
}

} // namespace

void SafeFileWriter::setFollowingUser(std::optional<uint> uid)
{
    followingUserOverride = uid;
}

QString SafeFileWriter::refusedLink(const QString &path)
{
    struct stat link
    {
    };
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &link) != 0
        || !S_ISLNK(link.st_mode))
        return {};
    const QString folder = QFileInfo(path).absolutePath();
    struct stat dir
    {
    };
    // A folder that cannot be looked at fails the open by itself.
    if (::stat(QFile::encodeName(folder).constData(), &dir) != 0)
        return {};
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    if (!shared || link.st_uid == followingUser() || link.st_uid == dir.st_uid)
        return {};
    return u"it is a symbolic link that another user made in the shared folder "_qs
        + QDir::toNativeSeparators(folder) + u"; it is not followed"_qs;
}

SafeFileWriter::SafeFileWriter(const QString &path)
    : m_path(path)
    , m_device(std::make_unique<Device>(*this))
{
}

// Without commit(), the temporary file goes and the target stays as it was.
SafeFileWriter::~SafeFileWriter() = default;

bool SafeFileWriter::fail(const QString &reason)
{
    m_reason = reason;
    m_error = QString(u"Could not save "_qs + QDir::toNativeSeparators(m_path) + u": "_qs + reason);
    // Dropping an unfinished QSaveFile removes its temporary file.
    m_file.reset();
    return false;
}

bool SafeFileWriter::abandon(const QString &reason)
{
    return fail(reason);
}

QIODevice &SafeFileWriter::device()
{
    return *m_device;
}

bool SafeFileWriter::open()
{
    if (m_path.isEmpty())
        return fail(u"no file name"_qs);
    // Checked before anything follows the link.
    if (const QString refused = refusedLink(m_path); !refused.isEmpty())
        return fail(refused);
    // Both follow a symbolic link to what it names.
    const QFileInfo info(m_path);
    if (info.isDir())
        return fail(u"it is a folder"_qs);
    // A device or pipe cannot be replaced by renaming, and replacing the name would not reach
    // it; such a target is written in place.
    m_direct = info.exists() && !info.isFile();
    // QSaveFile puts its temporary file beside the file a link points to and renames it over
    // that file, so the link stays.
    if (m_direct)
        m_file = std::make_unique<QFile>(m_path);
    else
        m_file = std::make_unique<QSaveFile>(m_path);
    // Unbuffered: a full disk shows at the write that hits it, not at some later flush.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(m_file->errorString());
    return true;
}

bool SafeFileWriter::write(QByteArrayView bytes)
{
    // Whatever went to the device goes first.
    return m_device->flushPending() && put(bytes);
}

bool SafeFileWriter::put(QByteArrayView bytes)
{
    if (!m_file)
        return m_error.isEmpty() ? fail(u"the file was not opened"_qs) : false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = m_file->write(bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return fail(m_file->errorString());
        done += qsizetype(n);
    }
    return true;
}

bool SafeFileWriter::commit()
{
    if (!m_device->flushPending())
        return false;
    if (!m_file)
        return m_error.isEmpty() ? fail(u"the file was not opened"_qs) : false;
    if (m_direct) {
        const bool flushed = m_file->flush();
        if (!flushed || m_file->error() != QFileDevice::NoError)
            return fail(m_file->errorString());
        m_file->close();
        if (m_file->error() != QFileDevice::NoError)
            return fail(m_file->errorString());
        m_file.reset();
        return true;
    }
    // Some file systems report a full disk only when the data goes out; QSaveFile syncs the
    // file too, but ignores what the sync says.
    if (::fsync(m_file->handle()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    auto *save = static_cast<QSaveFile *>(m_file.get());
    if (!save->commit())
        return fail(save->errorString());
    m_file.reset();
    return true;
}
