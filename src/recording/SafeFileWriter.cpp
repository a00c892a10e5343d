#include "recording/SafeFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

SafeFileWriter::SafeFileWriter(const QString &path)
    : m_path(path)
{
}

// Without commit(), the temporary file goes and the target stays as it was.
SafeFileWriter::~SafeFileWriter() = default;

bool SafeFileWriter::fail(const QString &reason)
{
    m_error = QString(u"Could not save "_qs + QDir::toNativeSeparators(m_path) + u": "_qs + reason);
    // Dropping an unfinished QSaveFile removes its temporary file.
    m_file.reset();
    return false;
}

bool SafeFileWriter::open()
{
    if (m_path.isEmpty())
        return fail(u"no file name"_qs);
    const QFileInfo info(m_path);
    if (info.isDir())
        return fail(u"it is a folder"_qs);
    // A device or pipe cannot be replaced by renaming, and replacing the name would not reach
    // it; such a target is written in place.
    m_direct = info.exists() && !info.isFile();
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
    if (!m_file)
        return false;
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
    if (!m_file)
        return false;
    if (m_direct) {
        const bool flushed = m_file->flush();
        if (!flushed || m_file->error() != QFileDevice::NoError)
            return fail(m_file->errorString());
        m_file->close();
        m_file.reset();
        return true;
    }
    auto *save = static_cast<QSaveFile *>(m_file.get());
    if (!save->commit())
        return fail(save->errorString());
    m_file.reset();
    return true;
}
