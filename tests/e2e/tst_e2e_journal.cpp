// A window recording from a meter on a pseudo-terminal is killed with SIGKILL; the next window
// started finds its journal, asks once, and holds the rows again. The window that dies runs in
// a child process (this program, started with --window-child), pressed into "COM Connect" as a
// user would.

#include "MeterScript.h"
#include "Pty.h"
#include "recording/HeadlessSequence.h"
#include "recording/ReadingRecorder.h"
#include "support/LocaleTexts.h"
#include "support/TestWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdio>

class TestEndToEndJournal : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedWindowsRowsAreRestored();
};

namespace {

// The child: a window on the given line, connected, saying how many rows it holds.
int runWindowChild(const QString &line)
{
    TestWindow t;
    t.portNames.setOverride(1, line);
    t.window->show();
    QTest::mouseClick(t.find<QPushButton>(u"COMCon"_qs), Qt::LeftButton);
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer report;
    report.callOnTimeout([&] {
        std::printf("rows %lld\n", qint64(t.window->recorder().table().rowCount()));
        std::fflush(stdout);
    });
    report.start(50);
    return QApplication::exec();
}

// The last row count the child reported.
qsizetype lastCount(QProcess &child, QByteArray &seen)
{
    seen += child.readAllStandardOutput();
    const qsizetype end = seen.lastIndexOf("\n");
    const qsizetype start = seen.lastIndexOf("rows ", end);
    if (start < 0 || end < start)
        return 0;
    return seen.mid(start + 5, end - start - 5).toLongLong();
}

} // namespace

void TestEndToEndJournal::killedWindowsRowsAreRestored()
{
    QTemporaryDir state;
    Pty pty;
    QVERIFY(pty.isOpen());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_STATE_HOME"_qs, state.path());
    environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {u"--window-child"_qs, pty.slavePath()});
    QVERIFY(child.waitForStarted(10'000));
    QVERIFY(QTest::qWaitFor([&] { return child.canReadLine() || child.waitForReadyRead(100); },
                            30'000));
    QCOMPARE(child.readLine(), QByteArray("ready\n"));

    // What the meter sends, and the rows its readings make.
    MeterScript script = *MeterScript::fromName(u"walk"_qs, 7);
    HeadlessSequence expected(LocaleTexts::decimalSeparatorText(),
                              LocaleTexts::timeSeparatorText());
    expected.counters().RecordLimit = 10000;
    const QTime shown = TestClock().current.time();
    const auto send = [&] {
        const SimReading reading = script.next();
        expected.run(reading.frameText(), shown);
        return pty.write(reading.wireBytes());
    };
    QByteArray seen;
    QVERIFY(pty.write("\n"));
    QVERIFY(QTest::qWaitFor(
        [&] {
            send();
            return lastCount(child, seen) >= 5;
        },
        30'000));
    const qsizetype olderThanFiveSeconds = lastCount(child, seen);
    QElapsedTimer since;
    since.start();
    while (since.elapsed() < 5500) {
        QVERIFY(send());
        QTest::qWait(20);
    }
    QCOMPARE(::kill(child.processId(), SIGKILL), 0);
    QVERIFY(child.waitForFinished(10'000));

    // A new window over the same state folder.
    const QByteArray savedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    TestWindow t;
    t.prompts.questionAnswers << true;
    QTRY_COMPARE(t.prompts.texts(u"question"_qs).size(), 1);
    qputenv("XDG_STATE_HOME", savedState);

    const ReadingTable &restored = t.window->recorder().table();
    qInfo("%lld rows older than 5 s, %lld sent, %lld restored", qint64(olderThanFiveSeconds),
          qint64(expected.table().rowCount()), qint64(restored.rowCount()));
    QVERIFY(restored.rowCount() >= olderThanFiveSeconds);
    QVERIFY(restored.rowCount() <= expected.table().rowCount());
    for (qsizetype i = 0; i < restored.rowCount(); ++i)
        QCOMPARE(restored.row(i), expected.table().row(i));
    QVERIFY(t.window->recorder().hasUnsavedRows());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == u"--window-child")
        return runWindowChild(arguments[2]);
    TestEndToEndJournal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_journal.moc"
