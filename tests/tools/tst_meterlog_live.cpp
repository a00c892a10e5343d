// meterlog on a live line: a real pseudo-terminal for --port, fed by the test, and real
// signals; the line hung up and plugged in again.

#include "MeterScript.h"
#include "MeterlogProcess.h"
#include "Pty.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

class TestMeterlogLive : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void stopSignalWritesEveryRow_data();
    void stopSignalWritesEveryRow();
    void secondSignalEndsAtOnce();
    void deviceThatComesBackAndItsCapture();
    void deviceThatDoesNotComeBackEndsTheRun();
    void portInUse();
    void finalSaveThatFails();
    void killedRunIsRecovered();
    void durationEndsTheRun();
    void statusLineOnATerminal();
};

namespace {

// A terminal for meterlog's standard error: the test reads what a user would see on it.
class Terminal
{
public:
    Terminal() { m_pty.setNonBlocking(); }

    // Makes the terminal the standard error of a process about to start. Opened in the child
    // without becoming anyone's controlling terminal.
    void becomeStandardError(QProcess &process) const
    {
        process.setChildProcessModifier([path = QFile::encodeName(m_pty.slavePath())] {
            const int fd = ::open(path.constData(), O_WRONLY | O_NOCTTY);
            if (fd >= 0) {
                ::dup2(fd, STDERR_FILENO);
                ::close(fd);
            }
        });
    }
    // Everything shown since the last call.
    QByteArray read() { return m_pty.readAvailable(); }

private:
    Pty m_pty {Pty::Line::Terminal};
};

// Starts the line (the first frame needs the line feed before it) and keeps the meter sending
// until meterlog has recorded the given number of rows.
bool sendUntilRecorded(Pty &pty, LiveMeterlog &meterlog, qsizetype rows,
                       const std::function<QByteArray()> &reading)
{
    return pty.write("\n")
        && QTest::qWaitFor(
               [&] {
                   pty.write(reading());
                   return meterlog.recorded().size() >= rows;
               },
               60'000);
}

} // namespace

void TestMeterlogLive::stopSignalWritesEveryRow_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("viaCom"); // --com 2 with METERLINK_COM2 naming the line

    QTest::newRow("SIGTERM, XML") << int(SIGTERM) << u"rows.xml"_qs << false;
    QTest::newRow("SIGINT, text") << int(SIGINT) << u"rows.txt"_qs << false;
    QTest::newRow("SIGTERM, COM 2") << int(SIGTERM) << u"rows.xml"_qs << true;
}

void TestMeterlogLive::stopSignalWritesEveryRow()
{
    QFETCH(int, signal);
    QFETCH(QString, fileName);
    QFETCH(bool, viaCom);

    Pty pty;
    QVERIFY(pty.isOpen());
    QTemporaryDir dir;
    const QString out = dir.filePath(fileName);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (viaCom)
        environment.insert(u"METERLINK_COM2"_qs, pty.slavePath());
    const QStringList source
        = viaCom ? QStringList {u"--com"_qs, u"2"_qs} : QStringList {u"--port"_qs, pty.slavePath()};
    LiveMeterlog meterlog(source + QStringList {u"--json"_qs, u"--out"_qs, out}, environment);
    QVERIFY(meterlog.started());

    // The meter keeps sending while the rows pile up and when the signal comes.
    MeterScript script = *MeterScript::fromName(u"dcv"_qs, 3);
    QVERIFY(sendUntilRecorded(pty, meterlog, 25, [&] { return script.next().wireBytes(); }));
    QVERIFY(pty.write(script.next().wireBytes()));
    QCOMPARE(::kill(meterlog.process().processId(), signal), 0);
    QVERIFY(meterlog.finish());
    QCOMPARE(meterlog.exitCode(), 0);

    const std::optional<ReadingTable> written = loadTable(out);
    QVERIFY(written);
    const QList<QJsonObject> recorded = meterlog.recorded();
    QVERIFY(written->rowCount() >= recorded.size());
    for (const QJsonObject &o : recorded) {
        const int no = o.value(u"row"_qs).toInt();
        QVERIFY(no >= 1 && no <= written->rowCount());
        const ReadingTable::Row row = written->row(no - 1);
        QCOMPARE(row.no, std::optional<qint32>(no));
        QCOMPARE(row.value, o.value(u"value"_qs).toString());
        QCOMPARE(row.dcAc, o.value(u"function"_qs).toString());
        QCOMPARE(row.unit, o.value(u"unit"_qs).toString());
    }
}

void TestMeterlogLive::secondSignalEndsAtOnce()
{
    Pty pty;
    QTemporaryDir dir;
    const QString out = dir.filePath(u"rows.xml"_qs);
    LiveMeterlog meterlog({u"--port"_qs, pty.slavePath(), u"--json"_qs, u"--out"_qs, out});
    QVERIFY(meterlog.started());
    QVERIFY(sendUntilRecorded(pty, meterlog, 1, [] { return meterReading("00012340010"); }));

    // Both signals wait while the process is stopped; the second is handled before the event
    // loop ever sees the first.
    const qint64 pid = meterlog.process().processId();
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    QCOMPARE(::kill(pid, SIGINT), 0);
    QCOMPARE(::kill(pid, SIGTERM), 0);
    QCOMPARE(::kill(pid, SIGCONT), 0);
    QVERIFY(meterlog.finish());
    QVERIFY2(meterlog.exitCode() == 128 + SIGINT || meterlog.exitCode() == 128 + SIGTERM,
             QByteArray::number(meterlog.exitCode()).constData());
    QVERIFY(!QFile::exists(out));
}

void TestMeterlogLive::deviceThatComesBackAndItsCapture()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"meter"_qs);
    auto pty = std::make_unique<Pty>();
    QVERIFY(QFile::link(pty->slavePath(), link));
    const QString out = dir.filePath(u"live.xml"_qs);
    const QString capture = dir.filePath(u"capture.bin"_qs);
    LiveMeterlog meterlog({u"--port"_qs, link, u"--json"_qs, u"--out"_qs, out, u"--capture"_qs,
                           capture, u"--reconnect"_qs, u"60"_qs});
    QVERIFY(meterlog.started());

    MeterScript script = *MeterScript::fromName(u"walk"_qs, 5);
    QByteArray sent;
    const auto send = [&] {
        const QByteArray bytes = script.next().wireBytes();
        sent += bytes;
        return pty->write(bytes);
    };
    QVERIFY(QTest::qWaitFor([&] { return send() && meterlog.recorded().size() >= 10; }, 60'000));

    // Unplugged: the line hangs up. Plugged in again: a new line under the same name.
    pty = std::make_unique<Pty>();
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(pty->slavePath(), link));
    const qsizetype before = meterlog.recorded().size();
    QVERIFY(QTest::qWaitFor([&] { return send() && meterlog.recorded().size() >= before + 10; },
                            60'000));
    QCOMPARE(::kill(meterlog.process().processId(), SIGTERM), 0);
    QVERIFY(meterlog.finish());
    QCOMPARE(meterlog.exitCode(), 0);
    QVERIFY(meterlog.err().contains("went away (the device hung up"));
    QVERIFY(meterlog.err().contains("is back"));

    // The capture holds what arrived, and replays into the same rows.
    const QByteArray captured = readFile(capture);
    // Bytes sent while the line was down never arrived; each side of the gap is what was sent.
    QVERIFY(captured.size() > 200);
    QVERIFY(sent.contains(captured.left(100)));
    QVERIFY(sent.contains(captured.right(100)));
    const QString replayed = dir.filePath(u"replayed.xml"_qs);
    const MeterlogResult replay = runMeterlog({u"--from"_qs, capture, u"--out"_qs, replayed});
    QCOMPARE(replay.exitCode, 0);
    const std::optional<ReadingTable> live = loadTable(out);
    const std::optional<ReadingTable> again = loadTable(replayed);
    QVERIFY(live && again);
    // Live, what the hang-up left half-sent is forgotten; replayed, the line feed before the
    // gap may start a whole frame with the first reading after it.
    const qsizetype extra = again->rowCount() - live->rowCount();
    QVERIFY2(extra == 0 || extra == 1, QByteArray::number(extra).constData());
    QCOMPARE(rowTexts(*again).mid(0, 10), rowTexts(*live).mid(0, 10));
}

void TestMeterlogLive::deviceThatDoesNotComeBackEndsTheRun()
{
    Pty pty;
    QTemporaryDir dir;
    const QString out = dir.filePath(u"rows.txt"_qs);
    LiveMeterlog meterlog({u"--port"_qs, pty.slavePath(), u"--json"_qs, u"--out"_qs, out,
                           u"--reconnect"_qs, u"0"_qs});
    QVERIFY(meterlog.started());
    QVERIFY(sendUntilRecorded(pty, meterlog, 3, [] { return meterReading("20213570008"); }));
    pty.closeMaster();
    QVERIFY(meterlog.finish());
    QCOMPARE(meterlog.exitCode(), 0);
    const std::optional<ReadingTable> written = loadTable(out);
    QVERIFY(written);
    QCOMPARE(written->rowCount(), meterlog.recorded().size());
    QCOMPARE(written->row(0).value, u"13.57"_qs);
}

void TestMeterlogLive::portInUse()
{
    Pty pty;
    QSerialPort holder(pty.slavePath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    const MeterlogResult run = runMeterlog({u"--port"_qs, pty.slavePath()});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains(QByteArray(pty.slavePath().toLocal8Bit() + ": the port is in use")),
             run.err.constData());
}

void TestMeterlogLive::finalSaveThatFails()
{
    Pty pty;
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"session"_qs);
    QVERIFY(QDir().mkpath(folder));
    const QString out = folder + u"/rows.xml"_qs;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_STATE_HOME"_qs, dir.filePath(u"state"_qs));
    LiveMeterlog meterlog({u"--port"_qs, pty.slavePath(), u"--json"_qs, u"--out"_qs, out},
                          environment);
    QVERIFY(meterlog.started());
    QVERIFY(sendUntilRecorded(pty, meterlog, 1, [] { return meterReading("00012340010"); }));
    // The folder goes away during the run (a removed stick, a cleaned-up directory).
    QVERIFY(QDir(folder).removeRecursively());
    QCOMPARE(::kill(meterlog.process().processId(), SIGTERM), 0);
    QVERIFY(meterlog.finish());
    QCOMPARE(meterlog.exitCode(), 5);
    QVERIFY2(meterlog.err().contains("could not write the"), meterlog.err().constData());
    QVERIFY(meterlog.err().contains(out.toLocal8Bit()));

    // Nothing is lost: the rows went to a file beside the journal, named on standard error.
    const QRegularExpression instead(u"the rows are written to (.*) instead"_qs);
    const QRegularExpressionMatch match = instead.match(QString::fromLocal8Bit(meterlog.err()));
    QVERIFY2(match.hasMatch(), meterlog.err().constData());
    const QString fallback = match.captured(1);
    QCOMPARE(QFileInfo(fallback).path(), dir.filePath(u"state/meterlink"_qs));
    QVERIFY(fallback.endsWith(u"-rows.xml"_qs));
    const std::optional<ReadingTable> written = loadTable(fallback);
    QVERIFY(written);
    const QList<QJsonObject> recorded = meterlog.recorded();
    QCOMPARE(written->rowCount(), recorded.size());
    QCOMPARE(written->row(0).value, recorded[0].value(u"value"_qs).toString());
    // The journal's rows are in that file: the journal itself is gone.
    QCOMPARE(QDir(dir.filePath(u"state/meterlink"_qs)).entryList({u"*.journal"_qs}), QStringList());
}

void TestMeterlogLive::killedRunIsRecovered()
{
    Pty pty;
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_STATE_HOME"_qs, dir.filePath(u"state"_qs));
    const QString out = dir.filePath(u"never.xml"_qs);
    LiveMeterlog meterlog({u"--port"_qs, pty.slavePath(), u"--json"_qs, u"--out"_qs, out},
                          environment);
    QVERIFY(meterlog.started());
    MeterScript script = *MeterScript::fromName(u"walk"_qs, 5);
    QVERIFY(sendUntilRecorded(pty, meterlog, 5, [&] { return script.next().wireBytes(); }));

    // The meter goes on for more than five seconds after the rows counted here.
    const qsizetype olderThanFiveSeconds = meterlog.recorded().size();
    QElapsedTimer since;
    since.start();
    while (since.elapsed() < 5500) {
        QVERIFY(pty.write(script.next().wireBytes()));
        QTest::qWait(20);
    }
    const QList<QJsonObject> sent = meterlog.recorded();
    QCOMPARE(::kill(meterlog.process().processId(), SIGKILL), 0);
    QVERIFY(meterlog.process().waitForFinished(10'000));
    QVERIFY(!QFile::exists(out));

    const QStringList journals
        = QDir(dir.filePath(u"state/meterlink"_qs)).entryList({u"*.journal"_qs});
    QCOMPARE(journals.size(), 1);
    const QString recovered = dir.filePath(u"recovered.xml"_qs);
    const MeterlogResult run = runMeterlog(
        {u"--recover"_qs, dir.filePath(u"state/meterlink/"_qs + journals[0]), recovered});
    QCOMPARE(run.exitCode, 0);
    const std::optional<ReadingTable> table = loadTable(recovered);
    QVERIFY(table);
    qInfo("%lld rows older than 5 s, %lld reported before the kill, %lld recovered",
          qint64(olderThanFiveSeconds), qint64(sent.size()), qint64(table->rowCount()));
    QVERIFY(table->rowCount() >= olderThanFiveSeconds);
    QVERIFY(table->rowCount() <= sent.size() + 1);
    for (qsizetype i = 0; i < std::min(table->rowCount(), sent.size()); ++i) {
        const ReadingTable::Row row = table->row(i);
        const QJsonObject &o = sent[i];
        QCOMPARE(row.no, std::optional<qint32>(o.value(u"row"_qs).toInt()));
        QCOMPARE(row.time, o.value(u"time"_qs).toString());
        QCOMPARE(row.dcAc, o.value(u"function"_qs).toString());
        QCOMPARE(row.value, o.value(u"value"_qs).toString());
        QCOMPARE(row.unit, o.value(u"unit"_qs).toString());
        QCOMPARE(row.range, o.value(u"range"_qs).toString());
        QCOMPARE(row.autoText, o.value(u"auto"_qs).toString());
        QCOMPARE(row.nval, std::optional<qint32>(o.value(u"numeric"_qs).toInt()));
    }
}

void TestMeterlogLive::durationEndsTheRun()
{
    Pty pty;
    QTemporaryDir dir;
    const QString out = dir.filePath(u"rows.txt"_qs);
    LiveMeterlog meterlog(
        {u"--port"_qs, pty.slavePath(), u"--duration"_qs, u"1"_qs, u"--out"_qs, out});
    QVERIFY(meterlog.started());
    QVERIFY(pty.write("\n"));
    QVERIFY(QTest::qWaitFor(
        [&] {
            pty.write(meterReading("00012340010"));
            return meterlog.process().state() == QProcess::NotRunning;
        },
        60'000));
    QVERIFY(meterlog.finish());
    QCOMPARE(meterlog.exitCode(), 0);
    QVERIFY(loadTable(out));
}

void TestMeterlogLive::statusLineOnATerminal()
{
    Pty pty;
    Terminal terminal;
    QProcess meterlog;
    terminal.becomeStandardError(meterlog);
    meterlog.start(meterlogPath(), {u"--port"_qs, pty.slavePath()});
    QVERIFY(meterlog.waitForStarted(10'000));
    QVERIFY(pty.write("\n"));

    // Rewritten in place: a carriage return, the counts, the rest of the line erased.
    static const QRegularExpression status(
        u"\\r(\\d+) rows \\| last: 1\\.234 V DCV \\| dropped \\d+ \\| failed 0\\x1b\\[K"_qs);
    QByteArray shown;
    QVERIFY(QTest::qWaitFor(
        [&] {
            pty.write(meterReading("00012340010"));
            shown += terminal.read();
            const QRegularExpressionMatch m = status.match(QString::fromLatin1(shown));
            return m.hasMatch() && m.captured(1).toInt() > 0;
        },
        60'000));
    QCOMPARE(::kill(meterlog.processId(), SIGINT), 0);
    QVERIFY(meterlog.waitForFinished(60'000));
    QCOMPARE(meterlog.exitCode(), 0);
    QVERIFY(QTest::qWaitFor(
        [&] {
            shown += terminal.read();
            return shown.contains(" rows recorded");
        },
        10'000));
    // The line is cleared before the last words.
    QVERIFY(shown.contains("\r\x1b[Kmeterlog: "));
}

QTEST_MAIN(TestMeterlogLive)
#include "tst_meterlog_live.moc"
