// The window's journal of unsaved rows: rows recorded are kept on disk until they are saved,
// emptied or the user leaves; journals of runs that died are offered once at start; a journal
// that cannot be written stops with a notice while recording goes on.

#include "app/ExitCommand.h"
#include "recording/ReadingRecorder.h"
#include "recording/RecordJournal.h"
#include "support/TestWindow.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

class TestJournalWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void noJournalAsksNothing();
    void recordedRowsAreJournalled();
    void rowsGoWhenNoLongerUnsaved_data();
    void rowsGoWhenNoLongerUnsaved();
    void leftoversRestoredOrDiscarded_data();
    void leftoversRestoredOrDiscarded();
    void journalOfARunningWindowIsNotOffered();
    void unwritableJournalKeepsRecording_data();
    void unwritableJournalKeepsRecording();

private:
    std::unique_ptr<QTemporaryDir> m_state;
    QByteArray m_savedState;
};

namespace {

QString folder()
{
    return RecordJournal::defaultFolder();
}

QStringList journals()
{
    return QDir(folder()).entryList({u"*.journal"_qs}, QDir::Files, QDir::Name);
}

ReadingTable::Row row(qint32 no, const QString &value)
{
    ReadingTable::Row r;
    r.no = no;
    r.time = u"08:00:0"_qs + QString::number(no % 10);
    r.dcAc = u"ACV"_qs;
    r.value = value;
    r.unit = u"m\u03A9"_qs;
    r.range = u"400 mV"_qs;
    r.autoText = u"Manu"_qs;
    r.nval = no;
    return r;
}

// A journal as a run that died leaves it.
void leaveJournal(const QList<ReadingTable::Row> &rows)
{
    RecordJournal journal(u"meterlink"_qs);
    for (const ReadingTable::Row &r : rows)
        journal.append(r);
    journal.keep();
}

QList<ReadingTable::Row> tableRows(const ReadingTable &table)
{
    QList<ReadingTable::Row> rows;
    for (qsizetype i = 0; i < table.rowCount(); ++i)
        rows.append(table.row(i));
    return rows;
}

} // namespace

void TestJournalWindow::init()
{
    m_savedState = qgetenv("XDG_STATE_HOME");
    m_state = std::make_unique<QTemporaryDir>();
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
}

void TestJournalWindow::cleanup()
{
    m_state.reset();
    qputenv("XDG_STATE_HOME", m_savedState);
}

void TestJournalWindow::noJournalAsksNothing()
{
    TestWindow t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    QTest::qWait(50);
    QVERIFY(t.prompts.shown.isEmpty());
    QCOMPARE(t.window->recorder().table().rowCount(), 0);
}

void TestJournalWindow::recordedRowsAreJournalled()
{
    TestWindow t;
    for (int i = 0; i < 3; ++i)
        QVERIFY(!t.showFrame(u"A00012340010D"_qs));
    RecordJournal &journal = t.window->recorder().journal();
    journal.flush();
    ReadingTable kept;
    QVERIFY(RecordJournal::read(kept, journal.path()));
    QCOMPARE(tableRows(kept), tableRows(t.window->recorder().table()));
    QCOMPARE(kept.rowCount(), 3);
}

void TestJournalWindow::rowsGoWhenNoLongerUnsaved_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("saved") << u"save"_qs;
    QTest::newRow("New") << u"new"_qs;
    QTest::newRow("exit confirmed") << u"exit"_qs;
    QTest::newRow("window closed") << u"close"_qs;
}

void TestJournalWindow::rowsGoWhenNoLongerUnsaved()
{
    QFETCH(QString, how);
    QTemporaryDir files;
    auto t = std::make_unique<TestWindow>();
    QVERIFY(!t->showFrame(u"A00012340010D"_qs));
    QCOMPARE(journals().size(), 1);
    if (how == u"save") {
        t->prompts.fileAnswers << files.filePath(u"rows.xml"_qs);
        t->find<QToolButton>(u"saveas"_qs)->click();
    } else if (how == u"new") {
        t->window->recorder().RecordNewClick();
    } else if (how == u"exit") {
        t->prompts.questionAnswers << true;
        t->find<QPushButton>(u"BitBtn1"_qs)->click();
    } else {
        t.reset();
    }
    QCOMPARE(journals(), QStringList());
    if (!t)
        return;
    // The next row starts a new journal.
    QVERIFY(!t->showFrame(u"A00012340010D"_qs));
    QCOMPARE(journals().size(), 1);
}

void TestJournalWindow::leftoversRestoredOrDiscarded_data()
{
    QTest::addColumn<int>("runs");
    QTest::addColumn<bool>("restore");
    QTest::newRow("one, restored") << 1 << true;
    QTest::newRow("three, restored in order") << 3 << true;
    QTest::newRow("two, discarded") << 2 << false;
}

void TestJournalWindow::leftoversRestoredOrDiscarded()
{
    QFETCH(int, runs);
    QFETCH(bool, restore);
    QList<ReadingTable::Row> left;
    for (int run = 0; run < runs; ++run) {
        QList<ReadingTable::Row> rows;
        for (int i = 1; i <= 3; ++i)
            rows.append(row(i, QString::number(run) + u".00"_qs + QString::number(i)));
        rows.append(row(4, u"  0@  "_qs)); // blanks are part of the value
        leaveJournal(rows);
        left += rows;
        QTest::qWait(2); // the next run starts later
    }
    QCOMPARE(journals().size(), runs);

    TestWindow t;
    t.prompts.questionAnswers << restore;
    QTRY_COMPARE(t.prompts.texts(u"question"_qs).size(), 1);
    QTest::qWait(20);
    QCOMPARE(t.prompts.shown.size(), 1); // one question for all of them
    const QString question = t.prompts.texts(u"question"_qs).front();
    QVERIFY2(question.contains(QString::number(left.size()) + u" rows"_qs), qPrintable(question));

    ReadingRecorder &recorder = t.window->recorder();
    if (!restore) {
        QCOMPARE(recorder.table().rowCount(), 0);
        QCOMPARE(journals(), QStringList());
        QVERIFY(!recorder.hasUnsavedRows());
        return;
    }
    QCOMPARE(tableRows(recorder.table()), left);
    QVERIFY(recorder.hasUnsavedRows());
    // Now kept by this window's own journal alone, the old ones gone.
    QCOMPARE(journals().size(), 1);
    recorder.journal().flush();
    ReadingTable kept;
    QVERIFY(RecordJournal::read(kept, recorder.journal().path()));
    QCOMPARE(tableRows(kept), left);
    // Recording numbers on after the restored rows.
    QVERIFY(!t.showFrame(u"A00012340010D"_qs));
    QCOMPARE(recorder.table().row(left.size()).no, std::optional<qint32>(5));
    // Leaving now asks first: the restored rows are not saved.
    QVERIFY(!t.window->exitCommand().FormCloseQuery());
}

void TestJournalWindow::journalOfARunningWindowIsNotOffered()
{
    TestWindow first;
    QVERIFY(!first.showFrame(u"A00012340010D"_qs));
    first.window->recorder().journal().flush();
    TestWindow second;
    QTest::qWait(50);
    QVERIFY(second.prompts.shown.isEmpty());
    QVERIFY(first.prompts.shown.isEmpty());
    QCOMPARE(second.window->recorder().table().rowCount(), 0);
}

void TestJournalWindow::unwritableJournalKeepsRecording_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("stateHome");
    QTest::newRow("disk full") << u"/dev/full"_qs << QString();
    QTest::newRow("state folder below a file") << QString() << u"%D/file/state"_qs;
}

void TestJournalWindow::unwritableJournalKeepsRecording()
{
    QFETCH(QString, target);
    QFETCH(QString, stateHome);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"file"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    if (!stateHome.isEmpty())
        qputenv("XDG_STATE_HOME", QFile::encodeName(stateHome.replace(u"%D"_qs, dir.path())));

    TestWindow t;
    if (!target.isEmpty())
        t.window->recorder().journal().setTargetFile(target);
    for (int i = 0; i < 50; ++i) {
        QVERIFY(!t.showFrame(u"A00012340010D"_qs));
        t.window->recorder().journal().flush();
    }
    QCOMPARE(t.window->recorder().table().rowCount(), 50);
    // One notice, which nothing waits on, and no box that waits.
    QCOMPARE(t.prompts.shown.size(), 1);
    const ScriptedPrompts::Shown &notice = t.prompts.shown.front();
    QCOMPARE(notice.kind, u"notice"_qs);
    QVERIFY2(notice.text.contains(target.isEmpty() ? dir.filePath(u"file"_qs) : target),
             qPrintable(notice.text));
    QVERIFY(!t.showFrame(u"A00012340010D"_qs));
    QCOMPARE(t.window->recorder().table().rowCount(), 51);
}

QTEST_MAIN(TestJournalWindow)
#include "tst_journal_window.moc"
