#pragma once

#include "links/hid/HidHandler.h"
#include "links/hid/HidPlatform.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <memory>

class HidDevice;
class HidDeviceController;
class HidDeviceReadThread;

// A report: its identifier, then the bytes after it (valid only during the call).
using HidDataEvent
    = HidHandler<void(HidDevice *device, quint8 reportId, const quint8 *data, quint16 size)>;
// A refused read, with the platform's error code (HidDeviceController::errorText words it).
using HidDataErrorEvent = HidHandler<void(HidDevice *device, quint32 error)>;
using HidPlugEvent = HidHandler<void(HidDevice *device)>;

// One HID interface in the controller's list. The controller owns every device object; an
// owner takes one with HidDeviceController::TakeDeviceAt and gives it back with
// HidDeviceController::ReturnDevice, which destroys the object (later, from the event loop)
// and lists a fresh one in its place. Hold devices in a QPointer: a returned or removed
// object goes away.
//
// Everything here runs on the UI thread. Handlers are called on the UI thread too: the data and
// data-error handlers by the device's reader thread, which waits until the handler returns.
class HidDevice : public QObject
{
    Q_OBJECT
public:
    ~HidDevice() override;

    QString path() const { return m_info.path; }
    QString identity() const { return m_info.identity; }
    quint16 VendorID() const { return m_info.vendorId; }
    quint16 ProductID() const { return m_info.productId; }

    bool pluggedIn() const { return m_pluggedIn; }
    bool taken() const { return m_taken; }
    bool enumerating() const { return m_enumerating; }
    // Whether the device opened for reading and writing, as of its last opening.
    bool ReadWriteAccess() const { return m_readWriteAccess; }
    bool readerRunning() const { return m_reader != nullptr; }
    // The reader waits for the UI thread to take a report or error.
    bool handOverPending() const;

    // A reader runs while the device has a data handler, is plugged in and taken and has
    // read-write access. Setting no handler stops the reader first.
    HidDataEvent DataHandler() const { return m_dataHandler; }
    void setDataHandler(HidDataEvent handler);
    HidDataErrorEvent DataErrorHandler() const { return m_dataErrorHandler; }
    void setDataErrorHandler(HidDataErrorEvent handler) { m_dataErrorHandler = std::move(handler); }
    // Called once when the device is found gone, then cleared.
    HidPlugEvent UnplugHandler() const { return m_unplugHandler; }
    void setUnplugHandler(HidPlugEvent handler) { m_unplugHandler = std::move(handler); }

    // How long one read waits before it is asked again, and the pause after a refused read.
    // 100 ms unless set; values outside 10..10000 are refused (false).
    int ReaderSleepTime() const { return m_readerSleepTime; }
    bool setReaderSleepTime(int ms);

    // The first byte is the report identifier. Needs the device plugged in and taken (or being
    // enumerated) and opened with read-write access.
    bool SendFeatureReport(QByteArrayView report);
    // Read from the device on first use (taken or being enumerated) and then remembered, also
    // after the device is unplugged. Empty while unknown.
    QString ProductText();
    // The serial number counts only when the language list is not empty and the serial string
    // differs from it somewhere within the list's length: some devices answer the serial-number
    // request with their language list.
    QString SerialText();

protected:
    bool event(QEvent *event) override;

private:
    friend class HidDeviceController;

    HidDevice(HidPlatform &platform, HidPlatform::Interface info, QObject *parent);

    bool canOpen() const { return m_pluggedIn && (m_taken || m_enumerating); }
    bool openHandle();
    void closeHandles();
    void startReaderIfDue();
    void stopReader();
    void markUnplugged();
    void deliver(const QByteArray &report, bool isError, quint32 error);
    void leaveBusy();

    HidPlatform &m_platform;
    HidPlatform::Interface m_info;
    bool m_pluggedIn = true;
    bool m_taken = false;
    bool m_enumerating = false;
    bool m_readWriteAccess = false;
    QString m_productText;
    QString m_serialText;
    HidDataEvent m_dataHandler;
    HidDataErrorEvent m_dataErrorHandler;
    HidPlugEvent m_unplugHandler;
    int m_readerSleepTime = 100;
    std::unique_ptr<HidHandle> m_handle;
    std::unique_ptr<HidDeviceReadThread> m_reader;
    // Frames of this object on the stack that may run handlers; a deferred deletion waits for
    // them to end.
    int m_busy = 0;
    bool m_stoppingReader = false;
    bool m_deleteWhenIdle = false;
};
