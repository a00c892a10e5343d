#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class FrameFeed;

// A raw capture read in large blocks, each handed to the feed whole.
class ReplayFile
{
public:
    static constexpr qint64 BlockSize = 256 * 1024;

    // False with the reason when the file cannot be read.
    bool open(const QString &path, QString *error);
    // Feeds the next block. False at the end of the file or on a read error (then error() is
    // not empty).
    bool feedNextBlock(FrameFeed &feed);
    const QString &error() const { return m_error; }
    qint64 bytesRead() const { return m_bytesRead; }

private:
    QFile m_file;
    QByteArray m_block;
    QString m_error;
    qint64 m_bytesRead = 0;
};
