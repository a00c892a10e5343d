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

bool ReplayFile::readNextBlock(QByteArrayView *block)
{
    const qint64 n = m_file.read(m_block.data(), m_block.size());
    if (n < 0) {
        m_error = m_file.errorString();
        return false;
    }
    if (n == 0)
        return false;
    m_bytesRead += n;
    *block = QByteArrayView(m_block.constData(), n);
    return true;
}

bool ReplayFile::feedNextBlock(FrameFeed &feed)
{
    QByteArrayView block;
    if (!readNextBlock(&block))
        return false;
    feed.feed(block);
    return true;
}

bool HidReplayFile::feedNextBlock(FrameFeed &feed)
{
    const auto onReport = [&feed](quint8, QByteArrayView data) {
        feed.feedHidReport(data);
    };
    QByteArrayView block;
    if (!m_file.readNextBlock(&block)) {
        m_error = m_file.error();
        // The last line may lack its line feed.
        if (m_error.isEmpty() && !m_reader.finish(onReport))
            m_error = m_reader.error();
        return false;
    }
    if (!m_reader.feed(block, onReport)) {
        m_error = m_reader.error();
        return false;
    }
    return true;
}
