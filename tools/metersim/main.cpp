// metersim: streams multimeter readings into a pseudo-terminal (or a given device) the way the
// meter sends them over its cable, for demos, end-to-end tests and benchmarks.

#include "MeterScript.h"
#include "Pty.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void onStopSignal(int signal)
{
    g_stopSignal = signal;
}

qint64 nowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

QByteArray local(const QString &text)
{
    return QFile::encodeName(text);
}

void complain(const QString &message)
{
    std::fprintf(stderr, "metersim: %s\n", message.toLocal8Bit().constData());
}

QString errnoText(const char *what)
{
    return QString::fromLocal8Bit(what) + u": "_qs + QString::fromLocal8Bit(std::strerror(errno));
}

struct Options
{
    double rate = 3;
    qint64 count = 0; // 0: no limit
    quint32 seed = 1;
    QString script = u"walk"_qs;
    QList<SimReading> frames;
    NoiseSettings noise;
    QString link;
    QString device;
    int baud = 9600;
    bool startWithLf = false;
    bool verbose = false;
};

speed_t baudConstant(int baud)
{
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// Raw 8N1: no CR/LF translation, no echo, no signals from the line.
bool makeRaw(int fd, int baud)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, baudConstant(baud));
    cfsetospeed(&tio, baudConstant(baud));
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Where the bytes go. A pseudo-terminal keeps one slave descriptor of its own open: writes into
// the master then never fail for want of a reader, the raw line settings stay, and the unread
// backlog can be measured and discarded. Closing the master (our exit, even by SIGKILL) hangs up
// the slave, as unplugging the meter's cable would.
class Output
{
public:
    ~Output()
    {
        // The pseudo-terminal's descriptors are its own.
        if (!m_pty && m_fd >= 0)
            ::close(m_fd);
    }

    bool openPty(QString *error)
    {
        m_pty = std::make_unique<Pty>();
        if (!m_pty->isOpen()) {
            *error = m_pty->errorString();
            return false;
        }
        m_fd = m_pty->masterFd();
        m_path = m_pty->slavePath();
        if (!m_pty->openSlave() || !makeRaw(m_pty->slaveFd(), 9600)) {
            *error = errnoText("cannot set up the pseudo-terminal's slave");
            return false;
        }
        if (!m_pty->setNonBlocking()) {
            *error = errnoText("fcntl");
            return false;
        }
        return true;
    }

    bool openDevice(const QString &path, int baud, QString *error)
    {
        m_path = path;
        // A plain file is created or emptied, for a byte-exact record of the stream.
        m_fd = ::open(local(path).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_CREAT | O_TRUNC,
                      0644);
        if (m_fd < 0) {
            *error = errnoText(local(path).constData());
            return false;
        }
        m_isTty = isatty(m_fd);
        if (m_isTty && !makeRaw(m_fd, baud)) {
            *error = errnoText("cannot set the line to raw");
            return false;
        }
        return setNonBlocking(error);
    }

    // Readers of a pty that lag by more than this much find the older data discarded; so does a
    // reader that opens the line late, like a serial port no program had open.
    void setBacklogLimit(int bytes) { m_backlogLimit = bytes; }

    const QString &path() const { return m_path; }
    bool isPty() const { return m_pty && m_pty->slaveFd() >= 0; }
    int fd() const { return m_fd; }

    // False only on a write error that ends the run. A reading that does not fit is dropped.
    bool send(const QByteArray &bytes)
    {
        if (!flushPending())
            return false;
        if (!m_pending.isEmpty()) {
            ++m_dropped;
            return true;
        }
        if (isPty() && m_backlogLimit > 0 && queued() + bytes.size() > m_backlogLimit) {
            tcflush(m_pty->slaveFd(), TCIFLUSH);
            ++m_flushes;
        }
        const ssize_t n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                ++m_dropped;
                return true;
            }
            m_error = errnoText("write");
            return false;
        }
        // A reading that went out in part is finished before the next one starts.
        if (n < bytes.size())
            m_pending = bytes.mid(n);
        ++m_sent;
        return true;
    }

    bool flushPending()
    {
        while (!m_pending.isEmpty()) {
            const ssize_t n = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    return true;
                m_error = errnoText("write");
                return false;
            }
            m_pending.remove(0, n);
        }
        return true;
    }

    // Bytes written and not yet read by the other side (0 when that cannot be told).
    int queued() const
    {
        int n = 0;
        if (isPty())
            ioctl(m_pty->slaveFd(), FIONREAD, &n);
        else if (m_isTty)
            ioctl(m_fd, TIOCOUTQ, &n);
        return n;
    }

    bool drained() const { return m_pending.isEmpty() && queued() == 0; }

    // Whatever a reader writes into the slave is read and thrown away so it never blocks.
    void discardInput()
    {
        if (isPty())
            m_pty->readAvailable();
    }

    const QString &error() const { return m_error; }
    qint64 sent() const { return m_sent; }
    qint64 dropped() const { return m_dropped; }
    qint64 flushes() const { return m_flushes; }

private:
    bool setNonBlocking(QString *error)
    {
        const int flags = fcntl(m_fd, F_GETFL);
        if (flags < 0 || fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) != 0) {
            *error = errnoText("fcntl");
            return false;
        }
        return true;
    }

    std::unique_ptr<Pty> m_pty;
    int m_fd = -1; // the pseudo-terminal's master, or the device
    bool m_isTty = false;
    QString m_path;
    QByteArray m_pending;
    QString m_error;
    int m_backlogLimit = 0;
    qint64 m_sent = 0;
    qint64 m_dropped = 0;
    qint64 m_flushes = 0;
};

// A symbolic link to the slave that outlives restarts of the simulator under the same name.
class Link
{
public:
    ~Link() { remove(); }

    bool create(const QString &path, const QString &target, QString *error)
    {
        const QByteArray linkPath = local(path);
        struct stat st = {};
        if (lstat(linkPath.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            *error = path + u" exists and is not a symbolic link; not replacing it"_qs;
            return false;
        }
        // Made under a temporary name and renamed, so the name never points nowhere.
        const QByteArray temporary = linkPath + ".metersim." + QByteArray::number(getpid());
        ::unlink(temporary.constData());
        if (symlink(local(target).constData(), temporary.constData()) != 0
            || rename(temporary.constData(), linkPath.constData()) != 0) {
            *error = errnoText(linkPath.constData());
            ::unlink(temporary.constData());
            return false;
        }
        m_path = linkPath;
        m_target = local(target);
        return true;
    }

    // Only our own link goes: a newer simulator may have taken the name over.
    void remove()
    {
        if (m_path.isEmpty())
            return;
        char buffer[4096];
        const ssize_t n = readlink(m_path.constData(), buffer, sizeof buffer);
        if (n >= 0 && QByteArray(buffer, n) == m_target)
            ::unlink(m_path.constData());
        m_path.clear();
    }

private:
    QByteArray m_path;
    QByteArray m_target;
};

bool parseProbability(const QCommandLineParser &parser, const QString &name, double *out,
                      QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double p = parser.value(name).toDouble(&ok);
    if (!ok || !(p >= 0 && p <= 1)) {
        *error = u"--"_qs + name + u" wants a probability from 0 to 1"_qs;
        return false;
    }
    *out = p;
    return true;
}

bool parseOptions(const QCommandLineParser &parser, Options *o, QString *error)
{
    bool ok = true;
    if (parser.isSet(u"rate"_qs)) {
        o->rate = parser.value(u"rate"_qs).toDouble(&ok);
        if (!ok || !(o->rate > 0 && o->rate <= 100000)) {
            *error = u"--rate wants readings per second, above 0 and at most 100000"_qs;
            return false;
        }
    }
    if (parser.isSet(u"count"_qs)) {
        o->count = parser.value(u"count"_qs).toLongLong(&ok);
        if (!ok || o->count < 1) {
            *error = u"--count wants a whole number of readings, at least 1"_qs;
            return false;
        }
    }
    if (parser.isSet(u"seed"_qs)) {
        o->seed = parser.value(u"seed"_qs).toUInt(&ok);
        if (!ok) {
            *error = u"--seed wants a whole number from 0 to 4294967295"_qs;
            return false;
        }
    }
    if (parser.isSet(u"baud"_qs)) {
        o->baud = parser.value(u"baud"_qs).toInt(&ok);
        if (!ok || baudConstant(o->baud) == B0) {
            *error = u"--baud wants one of 300 600 1200 2400 4800 9600 19200 38400 57600 115200"_qs;
            return false;
        }
    }
    if (parser.isSet(u"script"_qs) && parser.isSet(u"frames"_qs)) {
        *error = u"--script and --frames exclude each other"_qs;
        return false;
    }
    if (parser.isSet(u"script"_qs)) {
        o->script = parser.value(u"script"_qs);
        if (!MeterScript::names().contains(o->script)) {
            *error = u"unknown script \""_qs + o->script + u"\"; the scripts are: "_qs
                + MeterScript::names().join(u", "_qs);
            return false;
        }
    }
    if (parser.isSet(u"frames"_qs)) {
        const auto frames = SimReading::parseList(parser.value(u"frames"_qs), error);
        if (!frames)
            return false;
        o->frames = *frames;
    }
    if (!parseProbability(parser, u"noise"_qs, &o->noise.flip, error)
        || !parseProbability(parser, u"drop-cr"_qs, &o->noise.dropCr, error)
        || !parseProbability(parser, u"garbage"_qs, &o->noise.garbage, error))
        return false;
    o->link = parser.value(u"link"_qs);
    o->device = parser.value(u"device"_qs);
    if (!o->link.isEmpty() && !o->device.isEmpty()) {
        *error = u"--link is for the pseudo-terminal; with --device there is none"_qs;
        return false;
    }
    o->startWithLf = parser.isSet(u"start-with-lf"_qs);
    o->verbose = parser.isSet(u"verbose"_qs);
    return true;
}

void installSignalHandlers(sigset_t *waitMask)
{
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(s, &action, nullptr);
        sigaddset(&stopSignals, s);
    }
    signal(SIGPIPE, SIG_IGN);
    // Delivered only while waiting in ppoll, so none slips in between a check and a wait.
    sigprocmask(SIG_BLOCK, &stopSignals, waitMask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigdelset(waitMask, s);
}

// Waits until the deadline, a stop signal, or input to discard.
void waitUntil(Output &out, qint64 deadlineNs, const sigset_t &waitMask)
{
    const qint64 left = std::max<qint64>(0, deadlineNs - nowNs());
    const timespec timeout {time_t(left / 1'000'000'000), long(left % 1'000'000'000)};
    pollfd pfd {out.fd(), POLLIN, 0};
    const int n = ppoll(&pfd, out.isPty() ? 1 : 0, &timeout, &waitMask);
    if (n > 0 && (pfd.revents & POLLIN))
        out.discardInput();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"metersim"_qs);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Multimeter simulator: streams readings (11 data bytes, CR, LF) into a new "
        "pseudo-terminal, whose path is the first line printed on standard output. Readings "
        "nobody takes within about two seconds are discarded, as by a serial port no program has "
        "open. SIGINT, SIGTERM and SIGHUP end it cleanly; its end hangs up the line."_qs);
    parser.addHelpOption();
    parser.addOptions({
        {u"rate"_qs, u"Readings per second (fractions allowed; default 3)."_qs, u"N"_qs},
        {u"script"_qs,
         u"What the meter shows: walk (default: every function and range in turn), dcv, ohm, "
         "temp (moving values), overload, open (one fixed reading)."_qs,
         u"NAME"_qs},
        {u"frames"_qs,
         u"Send exactly these readings, in order, repeating: comma-separated frames as a "
         "receiver assembles them (A00012340010D) or their 11 data digits (00012340010)."_qs,
         u"LIST"_qs},
        {u"count"_qs,
         u"Stop after N readings; exits 0 once a reader has taken them all (or "
         "after a few seconds without one)."_qs,
         u"N"_qs},
        {u"seed"_qs, u"Seed of the moving values and the noise (default 1)."_qs, u"N"_qs},
        {u"noise"_qs, u"Probability per reading that one data nibble is changed."_qs, u"P"_qs},
        {u"drop-cr"_qs, u"Probability per reading that its CR is left out."_qs, u"P"_qs},
        {u"garbage"_qs, u"Probability per reading that 1-4 random bytes are inserted."_qs, u"P"_qs},
        {u"start-with-lf"_qs,
         u"Begin the stream with LF so the first reading is a whole frame. Without it the "
         "stream starts with data bytes, as when plugging into a running meter, and a "
         "receiver drops the first reading."_qs},
        {u"link"_qs,
         u"Also make PATH a symbolic link to the pseudo-terminal (replacing an older link), "
         "removed on exit."_qs,
         u"PATH"_qs},
        {u"device"_qs,
         u"Write to this device or file instead of a pseudo-terminal (a serial port is set to "
         "raw 8N1; a plain file is created or emptied)."_qs,
         u"PATH"_qs},
        {u"baud"_qs, u"Line speed for --device on a serial port (default 9600)."_qs, u"N"_qs},
        {u"verbose"_qs,
         u"Print every reading's frame on standard output after the path, and "
         "counts on standard error at the end."_qs},
    });
    parser.process(app);

    Options options;
    QString error;
    if (!parseOptions(parser, &options, &error)) {
        complain(error);
        return EXIT_FAILURE;
    }

    MeterScript script = options.frames.isEmpty()
        ? *MeterScript::fromName(options.script, options.seed)
        : MeterScript::fromReadings(options.frames);
    NoiseInjector noise(options.noise, options.seed ^ 0x9E3779B9u);

    sigset_t waitMask;
    installSignalHandlers(&waitMask);

    Output out;
    if (options.device.isEmpty() ? !out.openPty(&error)
                                 : !out.openDevice(options.device, options.baud, &error)) {
        complain(error);
        return EXIT_FAILURE;
    }
    // About two seconds of readings, within what the line discipline holds.
    out.setBacklogLimit(std::clamp(int(options.rate * 26), 64, 3072));

    Link link;
    if (!options.link.isEmpty() && !link.create(options.link, out.path(), &error)) {
        complain(error);
        return EXIT_FAILURE;
    }

    std::printf("%s\n", local(out.path()).constData());
    std::fflush(stdout);

    const double periodNs = 1e9 / options.rate;
    qint64 startNs = nowNs();
    qint64 produced = 0;
    bool failed = false;
    while (g_stopSignal == 0 && (options.count == 0 || produced < options.count)) {
        const qint64 dueNs = startNs + qint64(std::llround(double(produced) * periodNs));
        const qint64 now = nowNs();
        if (now < dueNs) {
            waitUntil(out, dueNs, waitMask);
            continue;
        }
        // After a long stall (suspended, debugger) carry on at the rate rather than in a burst.
        if (now - dueNs > 1'000'000'000)
            startNs += now - dueNs;

        const SimReading reading = script.next();
        QByteArray bytes = noise.wireBytes(reading);
        if (produced == 0 && options.startWithLf)
            bytes.prepend('\n');
        if (!out.send(bytes)) {
            complain(out.error());
            failed = true;
            break;
        }
        ++produced;
        if (options.verbose) {
            std::printf("%s\n", local(reading.frameText()).constData());
            std::fflush(stdout);
        }
    }

    // Give a reader the chance to take everything before the line hangs up. The kernel hands
    // written bytes to the slave a moment later, so the line must stay empty for a while.
    if (!failed && g_stopSignal == 0) {
        const qint64 giveUpNs = nowNs() + 5'000'000'000LL;
        qint64 emptySinceNs = 0;
        while (g_stopSignal == 0 && nowNs() < giveUpNs) {
            if (!out.flushPending()) {
                complain(out.error());
                failed = true;
                break;
            }
            if (!out.drained())
                emptySinceNs = 0;
            else if (emptySinceNs == 0)
                emptySinceNs = nowNs();
            else if (nowNs() - emptySinceNs >= 100'000'000)
                break;
            waitUntil(out, nowNs() + 10'000'000, waitMask);
        }
    }

    if (options.verbose)
        std::fprintf(stderr, "metersim: %lld readings, %lld sent, %lld dropped, %lld flushes\n",
                     static_cast<long long>(produced), static_cast<long long>(out.sent()),
                     static_cast<long long>(out.dropped()), static_cast<long long>(out.flushes()));
    return failed ? EXIT_FAILURE : EXIT_SUCCESS;
}
