#pragma once

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

// A general handle to one HID interface: feature reports and strings. Opened with read-write
// access when the system allows it, otherwise with none (queries only). Used on the UI thread.
class HidHandle
{
public:
    virtual ~HidHandle() = default;

    virtual bool readWrite() const = 0;
    // The first byte is the report identifier (0 when the device numbers no reports). False
    // without read-write access or when the device refuses it.
    virtual bool sendFeatureReport(QByteArrayView report) = 0;
    // Empty when the device has none or it cannot be read.
    virtual QString productString() = 0;
    virtual QString serialNumberString() = 0;
    // String 0: the device's language identifiers, one character each.
    virtual QString languageList() = 0;
};

// The reader's side of one HID interface. read() and pause() run on the reader thread only;
// stop() may come from any thread and makes a pending or later read() or pause() return at
// once. The device itself is opened on the first read() and after a refused one.
class HidReadChannel
{
public:
    enum class Outcome {
        Report, // size bytes in the buffer, the report identifier first (0 when unnumbered)
        TimedOut, // nothing arrived in time; the request stays open
        Refused, // the request failed with error
        Stopped, // stop() was called
    };
    struct Result
    {
        Outcome outcome = Outcome::TimedOut;
        int size = 0;
        quint32 error = 0;
    };

    virtual ~HidReadChannel() = default;

    // Bytes of the longest input report, the identifier byte included.
    virtual int inputReportLength() const = 0;
    virtual Result read(char *buffer, int capacity, int timeoutMs) = 0;
    // Waits timeoutMs; false when stopped meanwhile.
    virtual bool pause(int timeoutMs) = 0;
    virtual void stop() = 0;
};

// What the HID controller needs of the system. Everything but HidReadChannel's reader-side
// calls runs on the UI thread.
class HidPlatform : public QObject
{
    Q_OBJECT
public:
    struct Interface
    {
        QString path;
        // Equal for the same interface across listings and different for any two present ones.
        QString identity;
        quint16 vendorId = 0;
        quint16 productId = 0;
    };

    using QObject::QObject;

    // The HID interfaces present now, in a stable order.
    virtual QList<Interface> listInterfaces() = 0;
    // Read-write when possible, else with no access; null with the error code when neither.
    virtual std::unique_ptr<HidHandle> open(const QString &path, quint32 *error) = 0;
    // Opens nothing yet: the channel opens the device on its first read.
    virtual std::unique_ptr<HidReadChannel> openReadChannel(const QString &path) = 0;
    // The system's words for an error code the calls above gave.
    virtual QString errorText(quint32 error) const = 0;

Q_SIGNALS:
    // The set of HID interfaces may have changed; one signal per burst of system events.
    void devicesChanged();
};
