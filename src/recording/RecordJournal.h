#pragma once

#include "recording/ReadingTable.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

// Rows recorded and not yet saved, kept on disk while they are recorded so a crash, a kill or a
// power cut loses at most the last few seconds of them. One file per process, in the state
// folder, in the table's text form (plus Nval as an eighth part), one line per row. The file is
// held with an exclusive flock while the process lives: a journal whose lock can be taken was
// left by a run that ended without cleaning up.
//
// Rows are gathered in memory and handed to a writer thread by a timer (twice a second) or when
// many are waiting; the writer syncs the file to the disk at most every five seconds. The
// recording thread never waits on the disk while rows come in: a slow card or a stalled sync
// holds up the writer alone. A write that fails (a full disk, a folder that cannot be made)
// stops the journal and says so once through onFailed, on the thread that appends; recording
// goes on without it. discard() (the rows were saved, or emptied) removes the file, and the next
// row starts a new one.
class RecordJournal
{
public:
    // program names the file's owner ("meterlink", "meterlog").
    explicit RecordJournal(const QString &program);
    // Keeps the file as it is, as a crash would: rows still in it were not saved.
    ~RecordJournal();
    RecordJournal(const RecordJournal &) = delete;
    RecordJournal &operator=(const RecordJournal &) = delete;

    // $XDG_STATE_HOME/meterlink, or ~/.local/state/meterlink.
    static QString defaultFolder();
    void setFolder(const QString &folder) { m_folder = folder; }
    const QString &folder() const { return m_folder; }
    // Writes into this very file instead of a new one in the folder (a device such as
    // /dev/full, to see a full disk).
    void setTargetFile(const QString &path) { m_target = path; }

    void append(const ReadingTable::Row &row);
    // Writes what is waiting and returns once it is in the file; syncs when five seconds have
    // passed since the last sync.
    void flush();
    // Writes what is waiting and returns once it is on the disk.
    void sync();
    // The rows were saved or dropped: the file goes.
    void discard();
    // Closes the file and leaves it for a later run to find.
    void keep();

    // A file for the rows beside the journal, ending in fileName (so it keeps its extension),
    // named after the journal; the folder is made when missing. Empty with a reason on failure.
    QString fallbackPath(const QString &fileName, QString *error) const;

    // The file in use (empty until the first row).
    const QString &path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }
    bool failed() const { return m_failed; }

    // Called once when journalling stops for a failure, with the reason.
    std::function<void(const QString &)> onFailed;

    // Appends a journal's rows to the table. A last line cut short (the process died while
    // writing it) is left out. False with a reason when the file cannot be read or a line is
    // damaged; the rows before it stay appended.
    static bool read(ReadingTable &table, const QString &path, QString *error = nullptr);

    // A journal left by a run that has ended, held locked while this object lives.
    class Leftover
    {
    public:
        Leftover(QString path, int fd, qsizetype rows, QDateTime modified);
        Leftover(Leftover &&other) noexcept;
        Leftover &operator=(Leftover &&other) noexcept;
        ~Leftover();

        const QString &path() const { return m_path; }
        qsizetype rows() const { return m_rows; }
        const QDateTime &lastModified() const { return m_modified; }
        // Deletes the file.
        void remove();
        // Renames the file out of the way ("….journal.damaged"), kept for the user.
        void setAside();

    private:
        QString m_path;
        int m_fd = -1;
        qsizetype m_rows = 0;
        QDateTime m_modified;
    };

    // Journals in the folder that no running process holds and that hold rows, oldest run
    // first; each stays locked until its Leftover goes. Journals without rows are removed.
    static std::vector<Leftover> findLeftovers(const QString &folder);

private:
    class Writer;

    QString baseName() const;
    bool open();
    // Gives the rows waiting to the writer; with wait, returns once they are written (and synced
    // when sync says so). Says a failure of the writer's.
    void handOver(bool sync, bool wait);
    void tick();
    void fail(const QString &reason);
    void close();

    QString m_program;
    QString m_folder;
    QString m_target;
    QString m_path;
    QByteArray m_pending; // rows not written yet: the first m_used bytes
    qsizetype m_used = 0;

    int m_fd = -1;
    std::unique_ptr<Writer> m_writer; // while the file is open
    bool m_failed = false;
    bool m_unsynced = false;
    qint64 m_lastSync = 0; // ms since the epoch
    QTimer m_timer;
};
