#pragma once

// The window's first paint: work put off until after it, and start-up measurement. With
// METERLINK_EXIT_AFTER_FIRST_PAINT set, the window's first paint,
// once drawn and handed to the window system, prints the milliseconds since the process was
// started (dynamic loading included) on stdout and ends the program. Unset, nothing happens.
// Header only, so that bench/minimal_window measures itself with the same code.

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace FirstPaintMark {

// Milliseconds since the kernel started this process (/proc/self/stat, in clock ticks since
// boot), or -1 when that cannot be read.
inline double msSinceProcessStart()
{
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name may hold blanks and parentheses; the fields go on after the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // Field 22 (starttime) is the 20th after the name (the 3rd field, state, comes first).
    constexpr int startTimeAfterName = 22 - 3;
    if (fields.size() <= startTimeAfterName)
        return -1;
    bool ok = false;
    const double ticks = fields.at(startTimeAfterName).toDouble(&ok);
    const long perSecond = sysconf(_SC_CLK_TCK);
    if (!ok || perSecond <= 0)
        return -1;
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return nowMs - ticks * 1000.0 / double(perSecond);
}

// Runs a function once, just after a window's first paint: the whole window is painted and
// flushed in that pass, and the function comes after it.
class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *window, std::function<void()> then)
        : QObject(window)
        , m_then(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_then) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                const std::function<void()> then = std::move(m_then);
                deleteLater();
                then();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_then;
};

inline void afterFirstPaint(QWidget *window, std::function<void()> then)
{
    new AfterFirstPaint(window, std::move(then));
}

// Watches the top-level window when METERLINK_EXIT_AFTER_FIRST_PAINT is set.
inline void install(QWidget *window)
{
    if (qEnvironmentVariableIsEmpty("METERLINK_EXIT_AFTER_FIRST_PAINT"))
        return;
    afterFirstPaint(window, [] {
        std::printf("%.2f\n", msSinceProcessStart());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
}

} // namespace FirstPaintMark
