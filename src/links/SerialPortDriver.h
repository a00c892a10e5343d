#pragma once

#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <QVector>
#include <functional>

class PortNames;
class QSocketNotifier;

// Owns one serial port: opens it by number, applies the line settings, and polls it on a timer
// of the UI thread, handing every non-empty chunk to the receive handler. Nothing is sent.
//
// While the line is quiet, the port watches it and takes in what arrives between ticks. While
// the line streams, the ticks read the device themselves and the port stops watching, so a meter
// sending many frames a second wakes the program once per tick rather than once per frame. The
// line streams from the second tick in a row that finds bytes (a meter sending fewer frames than
// there are ticks leaves the port watching), and the first tick that finds nothing hands the line
// back to the port.
class SerialPortDriver : public QObject
{
    Q_OBJECT
public:
    enum SerialPortNumber { PortCOM1, PortCOM2, PortCOM3, PortCOM4 };
    enum SerialBaudRate {
        Baud110,
        Baud300,
        Baud600,
        Baud1200,
        Baud2400,
        Baud4800,
        Baud9600,
        Baud14400,
        Baud19200,
        Baud38400,
        Baud56000,
        Baud57600,
        Baud115200
    };
    enum SerialDataBits { Data5, Data6, Data7, Data8 };
    enum SerialStopBits { Stop1, Stop1Half, Stop2 };
    enum SerialParity { ParityNone, ParityOdd, ParityEven, ParityMark, ParitySpace };
    enum SerialHwFlow { HwFlowNone, HwFlowRtsCts };
    enum SerialSwFlow { SwFlowNone, SwFlowXonXoff };

    // sender, bytes, count (at least 1). The bytes are only valid during the call.
    using ReceiveDataHandler = std::function<void(SerialPortDriver *, const char *, int)>;

    // Why the last OpenPort failed.
    enum class OpenFailure { None, NoDevice, NotFound, NoPermission, Busy, Other };

    explicit SerialPortDriver(PortNames &portNames, QObject *parent = nullptr);
    ~SerialPortDriver() override;

    bool OpenPort();
    void ClosePort();
    bool IsOpen() const { return m_port.isOpen(); }
    void ApplySettings();
    // One poll tick, as the timer runs it.
    void Poll();
    void PurgeBuffers(bool input, bool output);

    SerialPortNumber Port() const { return m_portNumber; }
    void setPort(SerialPortNumber port);
    SerialBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(SerialBaudRate rate);
    SerialDataBits DataBits() const { return m_dataBits; }
    void setDataBits(SerialDataBits bits);
    SerialStopBits StopBits() const { return m_stopBits; }
    void setStopBits(SerialStopBits bits);
    SerialParity Parity() const { return m_parity; }
    void setParity(SerialParity parity);
    SerialHwFlow HwFlow() const { return m_hwFlow; }
    void setHwFlow(SerialHwFlow flow);
    SerialSwFlow SwFlow() const { return m_swFlow; }
    void setSwFlow(SerialSwFlow flow);
    quint16 InBufferSize() const { return m_inBufferSize; }
    void setInBufferSize(quint16 size);
    quint16 OutBufferSize() const { return m_outBufferSize; }
    void setOutBufferSize(quint16 size) { m_outBufferSize = size; }
    quint16 PollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(quint16 milliseconds);
    bool DtrOnOpen() const { return m_dtrOnOpen; }
    void setDtrOnOpen(bool on) { m_dtrOnOpen = on; }
    void setOnReceiveData(ReceiveDataHandler handler) { m_onReceiveData = std::move(handler); }
    bool hasReceiveHandler() const { return bool(m_onReceiveData); }

    // "COM1" .. "COM4".
    QString portName() const;
    // The device behind the port number, as the port-name mapping gives it now.
    QString devicePath() const;
    OpenFailure lastOpenFailure() const { return m_openFailure; }
    // What went wrong with the last open, in words for the user (port, device and reason).
    QString lastOpenFailureText() const { return m_openFailureText; }
    // The reason alone, without the naming of the port.
    QString lastOpenFailureReason() const { return m_openFailureReason; }

    static qint32 baudRateValue(SerialBaudRate rate);

    // Statistics for tests and benchmarks.
    int pollCount() const { return m_pollCount; }
    // Read errors that turned out to be empty reads of a device still present.
    int emptyReadCount() const { return m_emptyReads; }
    // Times the port's watch woke for input and took it in between ticks.
    int watchWakeCount() const { return m_watchWakes; }
    const char *receiveBuffer() const { return m_buffer.constData(); }

Q_SIGNALS:
    // The device went away while open (unplugged, or the other end of a pty closed). The port
    // has been closed already.
    void deviceLost(const QString &reason);

private:
    void onError(QSerialPort::SerialPortError error);
    // Why the open device is lost, or empty while it is still there.
    QString lossReason() const;
    // A read that failed or found nothing after being told of input: the device is given up
    // if it has gone, or the read is counted as empty.
    void readFailed();
    void finishLoss(const QString &reason);
    // Reads what waits on the device, up to room bytes: the count, 0 for nothing waiting, or -1
    // when the read failed (for the caller to report with readFailed()).
    qint64 readDevice(char *to, qint64 room);
    // What the port took in while it watched the line, into the receive buffer: the count.
    qint64 takeBuffered();
    // Passes the first count bytes of the receive buffer to the handler, if there are any.
    void handOn(qint64 count);
    // Forgets the port's watch and whether the line streamed: the port is opened or closed.
    void forgetWatch();
    void setStreaming(bool streaming);
    // Ticks without bytes after which the line no longer counts as streaming.
    int streamingHangTicks() const;
    void pushLineSettings();
    void failOpen(OpenFailure failure, const QString &reason);

    PortNames &m_portNames;
    QSerialPort m_port;
    QTimer m_poll;
    QVector<char> m_buffer;
    // The port's own watch on the line, off while the line streams.
    QPointer<QSocketNotifier> m_portWatch;
    bool m_streaming = false;
    bool m_watchResumed = false; // the watch was turned back on since the last tick
    bool m_losing = false; // the device is gone; the port closes once its read is over
    int m_quietTicks = 0; // ticks without bytes since the last with some

    SerialPortNumber m_portNumber = PortCOM2;
    SerialBaudRate m_baudRate = Baud9600;
    SerialDataBits m_dataBits = Data8;
    SerialStopBits m_stopBits = Stop1;
    SerialParity m_parity = ParityNone;
    SerialHwFlow m_hwFlow = HwFlowNone;
    SerialSwFlow m_swFlow = SwFlowNone;
    quint16 m_inBufferSize = 2048;
    quint16 m_outBufferSize = 2048;
    quint16 m_pollingDelay = 50;
    bool m_dtrOnOpen = true;
    ReceiveDataHandler m_onReceiveData;

    OpenFailure m_openFailure = OpenFailure::None;
    QString m_openFailureText;
    QString m_openFailureReason;
    int m_pollCount = 0;
    int m_emptyReads = 0;
    int m_watchWakes = 0;
    int m_emptyReadsInARow = 0;
    QString m_openPath;
    bool m_closing = false;
};
