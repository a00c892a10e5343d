// Real clicks and keys reach the "Tools" windows: the test starts an X server of its own (Xvfb),
// runs the real window on it and drives the pointer and the keyboard with xdotool, at the screen
// places the widgets report. Skipped when Xvfb or xdotool is not installed.

#include "Pty.h"
#include "recording/ReadingRecorder.h"
#include "support/MeterBytes.h"
#include "support/TestWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// An X server of our own. It takes the first free display number itself and tells us through
// a pipe once it accepts clients; it ends when its last client leaves, so a crashed test leaves
// no server behind.
class XServer
{
public:
    XServer()
    {
        for (const char *tool : {"Xvfb", "xdotool"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                m_skipReason = QByteArray(tool) + " is not installed";
                return;
            }
        }
        int ready[2];
        if (::pipe(ready) != 0) {
            m_error = "pipe: " + QByteArray(std::strerror(errno));
            return;
        }
        ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
        const QByteArray fd = QByteArray::number(ready[1]);
        const char *argv[] = {"Xvfb",         "-displayfd", fd.constData(), "-screen",    "0",
                              "1280x1024x24", "-nolisten",  "tcp",          "-terminate", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Its notes on the keyboard map and fonts are not ours to show.
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned
            = posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ready[1]);
        if (spawned != 0) {
            m_pid = -1;
            m_error = "Xvfb could not be started: " + QByteArray(std::strerror(spawned));
            ::close(ready[0]);
            return;
        }
        QByteArray number;
        pollfd p {ready[0], POLLIN, 0};
        while (!number.endsWith('\n') && ::poll(&p, 1, 30000) > 0) {
            char c;
            if (::read(ready[0], &c, 1) != 1)
                break;
            number += c;
        }
        ::close(ready[0]);
        if (!number.endsWith('\n')) {
            m_error = "Xvfb did not report a display";
            return;
        }
        m_display = ':' + number.trimmed();
    }
    ~XServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // Empty unless the server runs.
    const QByteArray &display() const { return m_display; }
    const QByteArray &skipReason() const { return m_skipReason; }
    const QByteArray &error() const { return m_error; }

private:
    pid_t m_pid = -1;
    QByteArray m_display;
    QByteArray m_skipReason;
    QByteArray m_error;
};

XServer *server = nullptr;

QByteArray volts(int count)
{
    const QByteArray nibbles = "000" + QByteArray::number(count).rightJustified(4, '0') + "0010";
    return meterReading(nibbles.constData());
}

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(u"xdotool"_qs, arguments) == 0;
}

// A left click at a point of a widget, where the X server shows it.
bool click(QWidget *w, QPoint at)
{
    const QPoint p = w->mapToGlobal(at) * w->devicePixelRatioF();
    return xdotool(
        {u"mousemove"_qs, QString::number(p.x()), QString::number(p.y()), u"click"_qs, u"1"_qs});
}

bool click(QWidget *w)
{
    return click(w, w->rect().center());
}

// Clicks into an edit, selects its text with the keys and types over it.
bool typeInto(QLineEdit *edit, const QString &text)
{
    return click(edit) && xdotool({u"key"_qs, u"End"_qs, u"shift+Home"_qs})
        && xdotool({u"type"_qs, u"--delay"_qs, u"30"_qs, text});
}

} // namespace

class TestToolPanelsX11 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void realClicksReachBothWindows();

private:
    // Opens "Tools" and clicks the item, both with the pointer; the panel once it is shown.
    QWidget *openFromMenu(TestWindow &t, const QString &item, const QString &panel);
};

void TestToolPanelsX11::init()
{
    if (!server->skipReason().isEmpty())
        QSKIP(server->skipReason().constData());
    QVERIFY2(server->error().isEmpty(), server->error().constData());
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_qs);
}

QWidget *TestToolPanelsX11::openFromMenu(TestWindow &t, const QString &item, const QString &panel)
{
    QMenuBar *bar = t.window->menuBar();
    auto *tools = t.find<QMenu>(u"Tools"_qs);
    if (!click(bar, bar->actionGeometry(tools->menuAction()).center()))
        return nullptr;
    if (!QTest::qWaitFor([&] { return tools->isVisible(); }, 10000)
        || !QTest::qWaitForWindowExposed(tools))
        return nullptr;
    auto *action = t.find<QAction>(item);
    auto *w = t.find<QWidget>(panel);
    if (!action || !w || !click(tools, tools->actionGeometry(action).center()))
        return nullptr;
    if (!QTest::qWaitFor([&] { return w->isVisible() && !tools->isVisible(); }, 10000)
        || !QTest::qWaitForWindowExposed(w))
        return nullptr;
    return w;
}

void TestToolPanelsX11::realClicksReachBothWindows()
{
    Pty pty;
    TestWindow t;
    t.portNames.setOverride(1, pty.slavePath());
    // No window manager here: the main window goes where it places itself, centred.
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *con = t.find<QPushButton>(u"COMCon"_qs);
    QVERIFY(click(con));
    QTRY_VERIFY(con->isChecked());
    QVERIFY(pty.write("\n"));

    // The limit window: an upper limit typed in, switched on, and a reading beyond it.
    QWidget *limits = openFromMenu(t, u"AlarmLimitsPanelItem"_qs, u"AlarmLimitsPanel"_qs);
    QVERIFY(limits);
    auto *setmax = t.find<QLineEdit>(u"Setmax"_qs);
    auto *setMaxB = t.find<QCheckBox>(u"SetMaxB"_qs);
    auto *oltext = t.find<QLabel>(u"oltext"_qs);
    QVERIFY(typeInto(setmax, u"1000"_qs));
    QTRY_COMPARE(setmax->text(), u"1000"_qs);
    QVERIFY(click(setMaxB));
    QTRY_VERIFY(setMaxB->isChecked());
    QVERIFY(pty.write(volts(1500)));
    QTRY_VERIFY(oltext->isVisible());
    QCOMPARE(t.beeper.beeps, 1);
    QVERIFY(pty.write(volts(999)));
    QTRY_VERIFY(!oltext->isVisible());
    QCOMPARE(t.beeper.beeps, 1);

    // The recall window, opened beside it: start time, interval and the stamped rows.
    QWidget *recall = openFromMenu(t, u"RecallClockPanelItem"_qs, u"RecallClockPanel"_qs);
    QVERIFY(recall);
    QVERIFY(limits->isVisible());
    auto *recallCheck = t.find<QCheckBox>(u"RecallCheck"_qs);
    QVERIFY(click(recallCheck));
    QTRY_VERIFY(recallCheck->isChecked());
    QTRY_COMPARE(t.find<QLineEdit>(u"TimeH"_qs)->text(), u"00"_qs);
    for (const auto &[name, text] :
         {std::pair {u"TimeH"_qs, u"23"_qs}, std::pair {u"TimeM"_qs, u"59"_qs},
          std::pair {u"TimeS"_qs, u"58"_qs}, std::pair {u"TimeInt"_qs, u"5"_qs}}) {
        auto *edit = t.find<QLineEdit>(name);
        QVERIFY(typeInto(edit, text));
        QTRY_COMPARE(edit->text(), text);
    }
    ReadingTable &table = t.window->recorder().table();
    const qsizetype before = table.rowCount();
    QVERIFY(pty.write(volts(500) + volts(500))); // below the limit: no beep
    QTRY_COMPARE(table.rowCount(), before + 2);
    QCOMPARE(table.text(before, ReadingTable::Time), u"00:00:03"_qs);
    QCOMPARE(table.text(before + 1, ReadingTable::Time), u"00:00:08"_qs);
    QVERIFY(click(t.find<QPushButton>(u"RecallDataTest"_qs)));
    QTRY_COMPARE(table.rowCount(), before + 3);
    QCOMPARE(table.text(before + 2, ReadingTable::Time), u"00:00:13"_qs);

    // Moved on the screen, closed, opened again: it comes back where it was left, and a click
    // at the new place reaches it.
    const QPoint moved = limits->pos() + QPoint(60, 80);
    QVERIFY(xdotool({u"windowmove"_qs, QString::number(limits->winId()), QString::number(moved.x()),
                     QString::number(moved.y())}));
    QTRY_COMPARE(limits->pos(), moved);
    limits->close();
    QVERIFY(!setMaxB->isVisible());
    QVERIFY(openFromMenu(t, u"AlarmLimitsPanelItem"_qs, u"AlarmLimitsPanel"_qs));
    QCOMPARE(limits->pos(), moved);
    QVERIFY(click(setMaxB));
    QTRY_VERIFY(!setMaxB->isChecked());
    QVERIFY(pty.write(volts(3000)));
    QTRY_COMPARE(t.find<QLabel>(u"MaxText"_qs)->text(), u"3.000"_qs);
    QVERIFY(!oltext->isVisible());
    QCOMPARE(t.beeper.beeps, 1);
    QVERIFY(t.prompts.shown.isEmpty());
}

int main(int argc, char *argv[])
{
    XServer x;
    server = &x;
    if (!x.display().isEmpty()) {
        qputenv("DISPLAY", x.display());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // Laid out in device pixels, as the program itself runs.
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        TestToolPanelsX11 test;
        result = QTest::qExec(&test, argc, argv);
    }
    return result;
}

#include "tst_toolpanels_x11.moc"
