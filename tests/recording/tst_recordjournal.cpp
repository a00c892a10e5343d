// The journal of unsaved rows on real files: what it writes and reads back, its removal, its
// lock between two real processes, a file that stops taking bytes (the rows keep coming in), and
// a full disk or a folder that cannot be made.

#include "recording/RecordJournal.h"
#include "recording/TableFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class TestRecordJournal : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rowsReadBackAsWritten_data();
    void rowsReadBackAsWritten();
    void flushWritesWaitingRows();
    void discardRemovesTheFile();
    void stalledFileDoesNotHoldUpRows();
    void lastLineCutShortIsLeftOut();
    void twoProcessesNeverShareAFile();
    void leftoversOldestFirstAndEmptyOnesRemoved();
    void failureStopsTheJournalOnce_data();
    void failureStopsTheJournalOnce();
    void defaultFolderFollowsXdgStateHome();
};

namespace {

ReadingTable::Row row(qint32 no, const QString &value, const QString &unit = u"V"_qs)
{
    ReadingTable::Row r;
    r.no = no;
    r.time = u"09:05:04"_qs;
    r.dcAc = u"DCV"_qs;
    r.value = value;
    r.unit = unit;
    r.range = u"4 V"_qs;
    r.autoText = u"Auto"_qs;
    r.nval = no * 10;
    return r;
}

QList<ReadingTable::Row> readBack(const QString &path)
{
    ReadingTable table;
    QList<ReadingTable::Row> rows;
    if (!RecordJournal::read(table, path))
        return rows;
    for (qsizetype i = 0; i < table.rowCount(); ++i)
        rows.append(table.row(i));
    return rows;
}

// Run as a child: keeps a journal of a few rows, says its path, and lives until killed.
int holdJournal(const QString &folder, int rows)
{
    RecordJournal journal(u"child"_qs);
    journal.setFolder(folder);
    for (int i = 1; i <= rows; ++i)
        journal.append(row(i, u"7.000"_qs));
    journal.sync();
    std::cout << qPrintable(journal.path()) << std::endl;
    std::getchar(); // until the parent closes our input or kills us
    return 0;
}

} // namespace

void TestRecordJournal::rowsReadBackAsWritten_data()
{
    QTest::addColumn<QList<ReadingTable::Row>>("rows");
    QTest::addColumn<QList<ReadingTable::Row>>("expected");

    const auto add = [](const char *tag, const QList<ReadingTable::Row> &rows,
                        const QList<ReadingTable::Row> &expected) {
        QTest::newRow(tag) << rows << expected;
    };
    const QList plain {row(1, u"1.234"_qs), row(2, u"-0.399"_qs)};
    add("plain", plain, plain);
    const QList blanks {row(1, u"  0@  "_qs), row(2, u" 1.0 "_qs)};
    add("blanks kept", blanks, blanks);
    const QList notAscii {row(1, u"1.234"_qs, u"M\u03A9"_qs), row(2, u"25"_qs, u"\u00B0C"_qs)};
    add("not ASCII", notAscii, notAscii);
    ReadingTable::Row empty = row(3, QString());
    empty.no.reset();
    empty.nval.reset();
    empty.range.clear();
    add("empty fields", {empty}, {empty});
    // A field cannot hold the text form's separators: they are kept as blanks.
    add("separators", {row(1, u"1\t2\r3\n4"_qs), row(2, u"5\t6"_qs, u"\u00B0C\n"_qs)},
        {row(1, u"1 2 3 4"_qs), row(2, u"5 6"_qs, u"\u00B0C "_qs)});
}

void TestRecordJournal::rowsReadBackAsWritten()
{
    QFETCH(QList<ReadingTable::Row>, rows);
    QFETCH(QList<ReadingTable::Row>, expected);
    QTemporaryDir dir;
    RecordJournal journal(u"test"_qs);
    journal.setFolder(dir.filePath(u"state/meterlink"_qs));
    for (const ReadingTable::Row &r : rows)
        journal.append(r);
    journal.sync();
    QVERIFY(journal.isOpen());
    QCOMPARE(QFileInfo(journal.path()).path(), dir.filePath(u"state/meterlink"_qs));
    QCOMPARE(readBack(journal.path()), expected);
    // The folder is the user's alone.
    QCOMPARE(QFileInfo(dir.filePath(u"state"_qs)).permissions() & 0x0077, 0);
    QCOMPARE(QFile::permissions(dir.filePath(u"state/meterlink"_qs)),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
                 | QFile::WriteUser | QFile::ExeUser);
    // The text loader reads it as a table file.
    ReadingTable loaded;
    QVERIFY(TableFiles::loadText(loaded, journal.path()));
    QCOMPARE(loaded.rowCount(), rows.size());
}

void TestRecordJournal::flushWritesWaitingRows()
{
    QTemporaryDir dir;
    RecordJournal journal(u"test"_qs);
    journal.setFolder(dir.path());
    journal.append(row(1, u"1.000"_qs));
    // Gathered until the next flush (the journal's timer does it twice a second).
    QCOMPARE(readBack(journal.path()).size(), 0);
    journal.flush();
    QCOMPARE(readBack(journal.path()), QList {row(1, u"1.000"_qs)});
    journal.append(row(2, u"2.000"_qs));
    QTRY_COMPARE(readBack(journal.path()).size(), 2);
}

void TestRecordJournal::discardRemovesTheFile()
{
    QTemporaryDir dir;
    RecordJournal journal(u"test"_qs);
    journal.setFolder(dir.path());
    journal.append(row(1, u"1.000"_qs));
    const QString first = journal.path();
    QVERIFY(QFile::exists(first));
    journal.discard();
    QVERIFY(!QFile::exists(first));
    QVERIFY(QDir(dir.path()).isEmpty());

    // The next row starts afresh, without the rows before.
    journal.append(row(2, u"2.000"_qs));
    journal.sync();
    QCOMPARE(readBack(journal.path()), QList {row(2, u"2.000"_qs)});
}

void TestRecordJournal::lastLineCutShortIsLeftOut()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"cut.journal"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\tNval\r\n"
               "1\t09:05:04\tDCV\t1.234\tV\t4 V\tAuto\t1234\r\n"
               "2\t09:05:05\tDCV\t1.2");
    file.close();
    ReadingTable table;
    QVERIFY(RecordJournal::read(table, path));
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(table.row(0).value, u"1.234"_qs);
}

void TestRecordJournal::twoProcessesNeverShareAFile()
{
    QTemporaryDir dir;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {u"--hold-journal"_qs, dir.path(), u"3"_qs});
    QVERIFY(child.waitForReadyRead(10000));
    const QString childPath = QString::fromLocal8Bit(child.readLine().trimmed());

    RecordJournal own(u"child"_qs);
    own.setFolder(dir.path());
    own.append(row(1, u"1.000"_qs));
    own.sync();
    QVERIFY(own.path() != childPath);
    QCOMPARE(readBack(own.path()), QList {row(1, u"1.000"_qs)});
    QCOMPARE(readBack(childPath).size(), 3);

    // Both are held by living processes: neither is offered.
    QVERIFY(RecordJournal::findLeftovers(dir.path()).empty());

    // Killed, the child leaves its journal behind, and it is offered with its rows.
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    std::vector<RecordJournal::Leftover> leftovers = RecordJournal::findLeftovers(dir.path());
    QCOMPARE(leftovers.size(), size_t(1));
    QCOMPARE(leftovers[0].path(), childPath);
    QCOMPARE(leftovers[0].rows(), 3);
    // Held while found: a second look does not offer it again.
    QVERIFY(RecordJournal::findLeftovers(dir.path()).empty());
    leftovers[0].remove();
    QVERIFY(!QFile::exists(childPath));
    QCOMPARE(readBack(own.path()).size(), 1);
}

void TestRecordJournal::leftoversOldestFirstAndEmptyOnesRemoved()
{
    QTemporaryDir dir;
    const auto write = [&](const char *name, const QByteArray &rows) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::WriteOnly)
            && file.write("No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\tNval\r\n" + rows) > 0;
    };
    QVERIFY(write("20260307-090504.000-20-meterlink.journal", "2\tb\r\n"));
    QVERIFY(write("20260307-080504.000-10-meterlog.journal", "1\ta\r\n1\ta\r\n"));
    QVERIFY(write("20260307-100504.000-30-meterlink.journal", ""));
    QVERIFY(write("notes.txt", "1\ta\r\n"));
    const std::vector<RecordJournal::Leftover> found = RecordJournal::findLeftovers(dir.path());
    QCOMPARE(found.size(), size_t(2));
    QCOMPARE(QFileInfo(found[0].path()).fileName(), u"20260307-080504.000-10-meterlog.journal"_qs);
    QCOMPARE(found[0].rows(), 2);
    QCOMPARE(QFileInfo(found[1].path()).fileName(), u"20260307-090504.000-20-meterlink.journal"_qs);
    QVERIFY(!QFile::exists(dir.filePath(u"20260307-100504.000-30-meterlink.journal"_qs)));
    QVERIFY(QFile::exists(dir.filePath(u"notes.txt"_qs)));
}

// A pipe nobody reads stands for a disk that has stopped: once its buffer is full every write
// blocks. Rows far beyond what it takes are appended and handed over without waiting, and reach
// it whole and in order once it is read.
void TestRecordJournal::stalledFileDoesNotHoldUpRows()
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(u"stalled"_qs));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0);

    {
        RecordJournal journal(u"test"_qs);
        journal.setTargetFile(QFile::decodeName(fifo));
        QList<ReadingTable::Row> rows;
        constexpr int Rows = 20000; // about 900 KiB, fourteen times what the pipe holds
        for (int i = 1; i <= Rows; ++i) {
            rows.append(row(i, QString::number(i % 4000)));
            journal.append(rows.back());
        }
        QVERIFY(!journal.failed());

        // Read as a reader that comes back: until the lines are all there (the header and the
        // rows), or nothing has come for 30 s.
        QByteArray got;
        const auto drain = [&](qsizetype lines) {
            char buffer[65536];
            while (got.count('\n') < lines) {
                pollfd p {reader, POLLIN, 0};
                if (::poll(&p, 1, 30000) <= 0)
                    return;
                const ssize_t n = ::read(reader, buffer, sizeof buffer);
                if (n <= 0)
                    return;
                got.append(buffer, n);
            }
        };
        // All but the last chunk were handed over while appending; the flush hands over the rest.
        drain(Rows / 2);
        std::thread flushing([&] { journal.flush(); });
        drain(Rows + 1);
        flushing.join();
        QVERIFY(!journal.failed());
        ReadingTable back;
        QVERIFY(TableFiles::readText(back, got));
        QCOMPARE(back.rowCount(), Rows);
        for (qsizetype i = 0; i < Rows; ++i) {
            if (back.row(i) != rows[i])
                QFAIL(qPrintable(u"row %1 differs"_qs.arg(i + 1)));
        }
    }
    ::close(reader);
}

void TestRecordJournal::failureStopsTheJournalOnce_data()
{
    QTest::addColumn<QString>("folder"); // %D: a temporary folder with a regular file "file"
    QTest::addColumn<QString>("target");

    QTest::newRow("disk full") << u"%D"_qs << u"/dev/full"_qs;
    QTest::newRow("folder below a file") << u"%D/file/state"_qs << QString();
}

void TestRecordJournal::failureStopsTheJournalOnce()
{
    QFETCH(QString, folder);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"file"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    RecordJournal journal(u"test"_qs);
    journal.setFolder(folder.replace(u"%D"_qs, dir.path()));
    if (!target.isEmpty())
        journal.setTargetFile(target);
    QStringList reasons;
    journal.onFailed = [&](const QString &reason) {
        reasons.append(reason);
    };
    for (int i = 1; i <= 100; ++i) {
        journal.append(row(i, u"1.000"_qs));
        journal.flush();
    }
    journal.sync();
    QCOMPARE(reasons.size(), 1);
    QVERIFY(journal.failed());
    QVERIFY2(reasons[0].contains(target.isEmpty() ? dir.filePath(u"file"_qs) : target),
             qPrintable(reasons[0]));
}

void TestRecordJournal::defaultFolderFollowsXdgStateHome()
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/somewhere/state");
    QCOMPARE(RecordJournal::defaultFolder(), u"/somewhere/state/meterlink"_qs);
    qputenv("XDG_STATE_HOME", "relative/state");
    QCOMPARE(RecordJournal::defaultFolder(), QDir::homePath() + u"/.local/state/meterlink"_qs);
    qunsetenv("XDG_STATE_HOME");
    QCOMPARE(RecordJournal::defaultFolder(), QDir::homePath() + u"/.local/state/meterlink"_qs);
    if (!saved.isNull())
        qputenv("XDG_STATE_HOME", saved);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == u"--hold-journal")
        return holdJournal(arguments[2], arguments[3].toInt());
    TestRecordJournal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recordjournal.moc"
