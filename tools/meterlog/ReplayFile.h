#pragma once

#include "HidReportFile.h"

#include <QByteArray>
#include <QByteArrayView>
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
    // The next block as read, valid until the next call; false as feedNextBlock.
    bool readNextBlock(QByteArrayView *block);
    const QString &error() const { return m_error; }
    qint64 bytesRead() const { return m_bytesRead; }

private:
    QFile m_file;
    QByteArray m_block;
    QString m_error;
    qint64 m_bytesRead = 0;
};

// A capture of the HID cable's reports in meterlog's text form (HidReportFile), read in
// blocks; each report goes to the feed as the window's HID link would hand it on.
class HidReplayFile
{
public:
    bool open(const QString &path, QString *error) { return m_file.open(path, error); }
    // Feeds the reports of the next block. False at the end of the file, on a read error or at
    // a bad line (then error() is not empty).
    bool feedNextBlock(FrameFeed &feed);
    const QString &error() const { return m_error; }

private:
    ReplayFile m_file;
    HidReportFile::Reader m_reader;
    QString m_error;
};
