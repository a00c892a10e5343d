#include "ReplayFile.h"

#include "FrameFeed.h"

#include <QFileInfo>

bool ReplayFile::open(const QString &path, QString *error)
{
    // A folder opens on some systems and then reads as nothing: say what it is instead.
    if (QFileInfo(path).isDir()) {
        *error = u"it is a folder"_qs;
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = m_file.errorString();
        return false;
    }
    m_block.resize(BlockSize);
    return true;
}

bool ReplayFile::feedNextBlock(FrameFeed &feed)
{
    const qint64 n = m_file.read(m_block.data(), m_block.size());
    if (n < 0) {
        m_error = m_file.errorString();
        return false;
    }
    if (n == 0)
        return false;
    m_bytesRead += n;
    feed.feed(QByteArrayView(m_block.constData(), n));
    return true;
}
