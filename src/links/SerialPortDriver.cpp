#include "links/SerialPortDriver.h"

#include "support/PortNames.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#endif

namespace {
// Empty reads in a row, with no byte between them, after which a device that still looks present
// is given up all the same: it keeps saying it has input and never gives any.
constexpr int EmptyReadLimit = 1000;
// How long the line counts as streaming after its last bytes. While it streams, each tick reads
// the device itself (a read that finds nothing costs far less than a wake-up) and the port's
// watch stays off: a meter sending a few readings a second then wakes the window only on the
// ticks, not once more for each reading's bytes.
constexpr int StreamingHangMs = 1000;
} // namespace

SerialPortDriver::SerialPortDriver(PortNames &portNames, QObject *parent)
    : QObject(parent)
    , m_portNames(portNames)
{
    m_buffer.resize(m_inBufferSize);
    // Coarse: Qt then lines the poll up with the window's other timers (the watchdog's 100 ms), so
    // they share one wake-up, at most 5 % off the period.
    m_poll.setTimerType(Qt::CoarseTimer);
    connect(&m_poll, &QTimer::timeout, this, &SerialPortDriver::Poll);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortDriver::onError);
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        m_emptyReadsInARow = 0;
        ++m_watchWakes;
    });
}

SerialPortDriver::~SerialPortDriver()
{
    ClosePort();
}

QString SerialPortDriver::portName() const
{
    return u"COM"_qs + QChar(u'1' + int(m_portNumber));
}

QString SerialPortDriver::devicePath() const
{
    return m_portNames.devicePath(int(m_portNumber) + 1);
}

qint32 SerialPortDriver::baudRateValue(SerialBaudRate rate)
{
    static const qint32 rates[]
        = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};
    return rates[int(rate)];
}

void SerialPortDriver::failOpen(OpenFailure failure, const QString &reason)
{
    m_openFailure = failure;
    m_openFailureReason = reason;
    const QString path = devicePath();
    const QString port = u"COM "_qs + QChar(u'1' + int(m_portNumber));
    const QString device = path.isEmpty() ? port : QString(port + u" ("_qs + path + u')');
    m_openFailureText = device + u" could not be opened: "_qs + reason;
}

bool SerialPortDriver::OpenPort()
{
    if (IsOpen())
        return true;

    const QString path = devicePath();
    if (path.isEmpty()) {
        failOpen(OpenFailure::NoDevice,
                 u"no serial port is present for this number. Plug in the cable, or name the "
                 "device with --com N=PATH."_qs);
        return false;
    }

    // Line settings made before opening are applied by the open itself; a pseudo-terminal only
    // accepts its 7-bit format this way.
    m_port.setPortName(path);
    pushLineSettings();
    m_port.setReadBufferSize(m_inBufferSize);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString detail = m_port.errorString();
        m_port.clearError();
        if (error == QSerialPort::DeviceNotFoundError || !QFileInfo::exists(path)) {
            failOpen(OpenFailure::NotFound,
                     u"the device does not exist (is the cable plugged in?)."_qs);
        } else if (error == QSerialPort::PermissionError) {
#ifdef Q_OS_UNIX
            const bool mayAccess = ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
#else
            const bool mayAccess = true;
#endif
            if (mayAccess)
                failOpen(OpenFailure::Busy,
                         u"the port is in use by another program. Close that program and "
                         "try again."_qs);
            else
                failOpen(OpenFailure::NoPermission,
                         u"permission denied. Your user must be in the dialout group: run "
                         "\"sudo usermod -aG dialout $USER\", then log out and in again."_qs);
        } else {
            failOpen(OpenFailure::Other, detail + u'.');
        }
        return false;
    }

    m_openFailure = OpenFailure::None;
    m_openFailureText.clear();
    m_openFailureReason.clear();
    m_openPath = path;
    m_emptyReadsInARow = 0;
    ApplySettings();
    // The port's watch on the line: the notifier it reads the device on.
    forgetWatch();
#ifdef Q_OS_UNIX
    for (QSocketNotifier *watch : m_port.findChildren<QSocketNotifier *>()) {
        if (watch->type() == QSocketNotifier::Read && watch->socket() == m_port.handle())
            m_portWatch = watch;
    }
#endif
    m_poll.start(m_pollingDelay);
    return true;
}

void SerialPortDriver::ClosePort()
{
    if (!IsOpen() || m_closing)
        return;
    m_closing = true;
    m_poll.stop();
    m_losing = false;
    forgetWatch();
    m_port.close();
    m_port.clearError();
    m_closing = false;
}

void SerialPortDriver::pushLineSettings()
{
    static const QSerialPort::DataBits bits[]
        = {QSerialPort::Data5, QSerialPort::Data6, QSerialPort::Data7, QSerialPort::Data8};
    static const QSerialPort::StopBits stops[]
        = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    static const QSerialPort::Parity parities[]
        = {QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
           QSerialPort::MarkParity, QSerialPort::SpaceParity};
    // Devices refuse what they cannot do (a pseudo-terminal keeps 8 data bits); such results
    // are of no consequence here and are not errors of the port.
    m_port.setBaudRate(baudRateValue(m_baudRate));
    m_port.setDataBits(bits[m_dataBits]);
    m_port.setStopBits(stops[m_stopBits]);
    m_port.setParity(parities[m_parity]);
    m_port.setFlowControl(m_hwFlow == HwFlowRtsCts        ? QSerialPort::HardwareControl
                              : m_swFlow == SwFlowXonXoff ? QSerialPort::SoftwareControl
                                                          : QSerialPort::NoFlowControl);
    m_port.clearError();
}

void SerialPortDriver::ApplySettings()
{
    if (!IsOpen())
        return;
    pushLineSettings();
    m_port.setDataTerminalReady(m_dtrOnOpen);
    if (m_hwFlow != HwFlowRtsCts)
        m_port.setRequestToSend(false);
    m_port.clearError();
    PurgeBuffers(true, true);
    m_port.setReadBufferSize(m_inBufferSize);
}

void SerialPortDriver::PurgeBuffers(bool input, bool output)
{
    if (!IsOpen())
        return;
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    if (output)
        directions |= QSerialPort::Output;
    if (directions)
        m_port.clear(directions);
    m_port.clearError();
}

void SerialPortDriver::setPort(SerialPortNumber port)
{
    if (!IsOpen())
        m_portNumber = port;
}

void SerialPortDriver::setBaudRate(SerialBaudRate rate)
{
    m_baudRate = rate;
    ApplySettings();
}

void SerialPortDriver::setDataBits(SerialDataBits bits)
{
    m_dataBits = bits;
    ApplySettings();
}

void SerialPortDriver::setStopBits(SerialStopBits bits)
{
    m_stopBits = bits;
    ApplySettings();
}

void SerialPortDriver::setParity(SerialParity parity)
{
    m_parity = parity;
    ApplySettings();
}

void SerialPortDriver::setHwFlow(SerialHwFlow flow)
{
    m_hwFlow = flow;
    ApplySettings();
}

void SerialPortDriver::setSwFlow(SerialSwFlow flow)
{
    m_swFlow = flow;
    ApplySettings();
}

void SerialPortDriver::setInBufferSize(quint16 size)
{
    if (IsOpen())
        return;
    m_inBufferSize = size;
    m_buffer = QVector<char>(size);
}

void SerialPortDriver::setPollingDelay(quint16 milliseconds)
{
    if (milliseconds == m_pollingDelay)
        return;
    m_pollingDelay = milliseconds;
    if (IsOpen())
        m_poll.start(m_pollingDelay);
}

void SerialPortDriver::Poll()
{
    if (!IsOpen() || m_losing)
        return;
    ++m_pollCount;
    // What the port took in while it watched the line comes first, then what waits on the device.
    qint64 count = takeBuffered();
    const qint64 room = m_buffer.size();
    bool failed = false;
    if (m_streaming && count < room) {
        const qint64 more = readDevice(m_buffer.data() + count, room - count);
        failed = more < 0;
        if (more > 0)
            count += more;
    }
    handOn(count);
    if (!IsOpen()) // the handler closed the port
        return;
    m_watchResumed = false;
    if (failed) {
        m_quietTicks = streamingHangTicks();
        setStreaming(false);
        readFailed();
    } else if (count > 0) {
        // Bytes again soon after the last: the line streams, if only a reading every few ticks.
        setStreaming(m_quietTicks < streamingHangTicks());
        m_quietTicks = 0;
    } else if (++m_quietTicks >= streamingHangTicks()) {
        setStreaming(false);
    }
}

qint64 SerialPortDriver::takeBuffered()
{
    return m_port.bytesAvailable() > 0 ? m_port.read(m_buffer.data(), m_buffer.size()) : 0;
}

void SerialPortDriver::handOn(qint64 count)
{
    if (count > 0 && m_onReceiveData)
        m_onReceiveData(this, m_buffer.constData(), int(count));
}

qint64 SerialPortDriver::readDevice(char *to, qint64 room)
{
#ifdef Q_OS_UNIX
    // Asked first whether anything waits: the port reads with a minimum of no bytes, so a read
    // of a quiet line returns nothing at all, just as the end of the input does.
    const int fd = int(m_port.handle());
    pollfd state {};
    state.fd = fd;
    state.events = POLLIN;
    int ready;
    do
        ready = ::poll(&state, 1, 0);
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return 0;
    if (ready < 0 || !(state.revents & POLLIN))
        return -1; // hung up or failed, with nothing left to read
    ssize_t got;
    do
        got = ::read(fd, to, size_t(room));
    while (got < 0 && errno == EINTR);
    if (got > 0) {
        m_emptyReadsInARow = 0;
        return got;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return 0;
    return -1; // the end of the input, or an error: as the port's own failed read
#else
    Q_UNUSED(to);
    Q_UNUSED(room);
    return 0;
#endif
}

int SerialPortDriver::streamingHangTicks() const
{
    return std::max(2, StreamingHangMs / std::max(1, int(m_pollingDelay)));
}

void SerialPortDriver::forgetWatch()
{
    m_streaming = false;
    m_watchResumed = false;
    m_quietTicks = streamingHangTicks();
    m_portWatch = nullptr;
}

void SerialPortDriver::setStreaming(bool streaming)
{
    if (!m_portWatch)
        streaming = false;
    if (m_streaming && !streaming)
        m_watchResumed = true;
    m_streaming = streaming;
    // Reading the port turns its watch back on; while the line streams it stays off.
    if (m_portWatch)
        m_portWatch->setEnabled(!streaming);
}

void SerialPortDriver::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!IsOpen() || m_closing || m_losing)
        return;
    readFailed();
}

void SerialPortDriver::readFailed()
{
    // QSerialPort reports a read that returned nothing as an error, with whatever errno an
    // earlier call left behind; a busy pseudo-terminal gives such reads now and then. Only a
    // hang-up, an error state or a vanished node mean the device has gone.
    QString reason = lossReason();
    if (reason.isEmpty() && m_watchResumed) {
        // The port's watch, just turned back on, can report the line at once from before it was
        // off: the read that finds nothing then says nothing about the device.
        m_port.clearError();
        return;
    }
    if (reason.isEmpty()) {
        m_port.clearError();
        ++m_emptyReads;
        if (++m_emptyReadsInARow < EmptyReadLimit)
            return;
        reason = u"the device keeps signalling input but gives none"_qs;
    }
    // A vanished device makes every further read fail at once: stop reading before it turns
    // into a storm of errors. The port may be inside a read of its own here, its buffer not yet
    // set straight: what it took in before the loss is passed on, and the port closed, once that
    // read is over.
    m_losing = true;
    m_poll.stop();
    if (m_portWatch)
        m_portWatch->setEnabled(false);
    QMetaObject::invokeMethod(
        this, [this, reason] { finishLoss(reason); }, Qt::QueuedConnection);
}

void SerialPortDriver::finishLoss(const QString &reason)
{
    if (!m_losing || !IsOpen()) // closed meanwhile
        return;
    m_losing = false;
    handOn(takeBuffered());
    if (!IsOpen()) // the handler closed the port
        return;
    ClosePort();
    Q_EMIT deviceLost(reason);
}

QString SerialPortDriver::lossReason() const
{
#ifdef Q_OS_UNIX
    pollfd state {};
    state.fd = int(m_port.handle());
    state.events = POLLIN;
    int ready;
    do
        ready = ::poll(&state, 1, 0);
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return u"the port cannot be watched any more: "_qs + qt_error_string(errno);
    if (state.revents & POLLNVAL)
        return u"the port's file descriptor is no longer valid"_qs;
    if (state.revents & POLLHUP)
        return u"the device hung up: the cable was unplugged or the other end closed"_qs;
    if (state.revents & POLLERR)
        return u"the device reported an input/output error"_qs;
#endif
    if (!QFileInfo::exists(m_openPath))
        return u"the device is gone: the cable was unplugged"_qs;
    return QString();
}
