#pragma once

#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>

class QFileDevice;
class QIODevice;

// Every file the program writes goes through here, by one rule; a symbolic link counts as the
// file it points to, and stays a link.
// - A regular file, or a name not taken yet, gets the bytes in a temporary file beside it that
//   replaces it on commit(); until then, and whatever fails, an earlier file stays as it was.
// - A FIFO, a device (/dev/null, a terminal) or any other file that is not regular is written
//   straight into and never replaced: a new file under its name would not reach the reader.
// - A link in a folder that everyone may write to and that keeps its files to their owners
//   (sticky, like /tmp) is followed only when it belongs to the user or to the folder's owner,
//   as the kernel's protected-symlinks rule has it: anyone may plant a link there.
// Every write, the last flush and the close are checked; a failure leaves a reason that names
// the file.
class SafeFileWriter
{
public:
    explicit SafeFileWriter(const QString &path);
    ~SafeFileWriter();

    // Why a link at path must not be written through, or empty when it may be (or path is not
    // a link). For files written by other means than this writer.
    static QString refusedLink(const QString &path);
    // The user the link rule protects: this process's effective user unless a test names
    // another; std::nullopt goes back to the process's own.
    static void setFollowingUser(std::optional<uint> uid);

    bool open();
    bool write(QByteArrayView bytes);
    bool commit();
    // Gives up for a reason of the caller's (the bytes could not be made) as a failed write
    // does: a regular file stays as it was.
    bool abandon(const QString &reason);

    // For producers that write to a device (the PDF writer): what they write reaches the file
    // as by write(), gathered into large pieces; commit() writes the last of it.
    QIODevice &device();

    // "Could not save FILE: REASON", from the step that failed.
    const QString &errorString() const { return m_error; }
    // The REASON alone, for messages that name the file their own way.
    const QString &reason() const { return m_reason; }

private:
    class Device;
    bool fail(const QString &reason);
    bool put(QByteArrayView bytes);

    QString m_path;
    std::unique_ptr<QFileDevice> m_file;
    std::unique_ptr<Device> m_device;
    bool m_direct = false;
    QString m_error;
    QString m_reason;
};
