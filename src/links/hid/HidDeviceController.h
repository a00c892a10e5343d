#pragma once

#include "links/hid/HidDevice.h"
#include "links/hid/HidPlatform.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class HidDeviceController;

using HidEnumerateEvent = HidHandler<bool(HidDevice *device, int index)>;
using HidNotifyEvent = HidHandler<void(HidDeviceController *sender)>;

// Keeps the list of HID interfaces present and tells its owner about arrivals, removals and
// changes. The owner walks the list with ListDevices, takes devices with TakeDeviceAt and gives
// them back with ReturnDevice. A taken device with a data handler gets a reader thread that hands
// each input report to the handler on the UI thread.
//
// One controller per program: create() gives null, with the reason, while another exists. Use
// it on the UI thread only, and do not destroy it inside one of its handlers. Handlers are
// HidHandler values: bind a method (setOnArrival({this, &Link::HidCtlArrival})) or pass a
// function object. Device changes from the platform are handled from the event loop.
class HidDeviceController : public QObject
{
    Q_OBJECT
public:
    static std::unique_ptr<HidDeviceController> create(HidPlatform &platform,
                                                       QString *error = nullptr);
    ~HidDeviceController() override;

    static QString Version() { return QStringLiteral("1.0.22"); }
    static QString onlyOneMessage()
    {
        return QStringLiteral("Only one HidDeviceController allowed per program");
    }

    // Also given, as their reader sleep time, to new devices and to listed devices that still
    // have the previous value. 100 unless set; values outside 10..10000 are refused (false).
    int DeviceSleepTime() const { return m_deviceSleepTime; }
    bool setDeviceSleepTime(int ms);

    // Plain stores.
    HidPlugEvent OnArrival() const { return m_onArrival; }
    void setOnArrival(HidPlugEvent handler) { m_onArrival = std::move(handler); }
    HidPlugEvent OnRemoval() const { return m_onRemoval; }
    void setOnRemoval(HidPlugEvent handler) { m_onRemoval = std::move(handler); }
    HidEnumerateEvent OnEnumerate() const { return m_onEnumerate; }
    void setOnEnumerate(HidEnumerateEvent handler) { m_onEnumerate = std::move(handler); }

    // A handler different from the current one runs DeviceChange; the first handler ever set is
    // raised by that run even when nothing changed, so the owner fills its list at once.
    HidNotifyEvent OnDeviceChange() const { return m_onDeviceChange; }
    void setOnDeviceChange(HidNotifyEvent handler);

    // The handlers new devices start with. Setting one also gives it to every listed device
    // whose handler is still the previous default.
    HidDataEvent OnDeviceData() const { return m_onDeviceData; }
    void setOnDeviceData(HidDataEvent handler);
    HidDataErrorEvent OnDeviceDataError() const { return m_onDeviceDataError; }
    void setOnDeviceDataError(HidDataErrorEvent handler);
    HidPlugEvent OnDeviceUnplug() const { return m_onDeviceUnplug; }
    void setOnDeviceUnplug(HidPlugEvent handler);

    // Calls OnEnumerate for each plugged-in device in list order with its index, until a call
    // returns false; devices not taken meanwhile are closed again. Gives the number of calls.
    int ListDevices();
    // Null when the index is outside the list or the device is taken already. Starts the
    // device's reader when it has a data handler and read-write access.
    HidDevice *TakeDeviceAt(int index);
    // Gives a taken device back: its reader stops, and a fresh, untaken object for the same
    // interface takes its place with the data handler, unplug handler and reader sleep time it
    // had; an unplugged device leaves the list. The object is destroyed from the event loop;
    // the pointer is cleared. False for a device that is not taken.
    bool ReturnDevice(HidDevice *&device);
    bool ReturnDevice(QPointer<HidDevice> &device);
    // Rescans: removals (last to first, OnRemoval each), then arrivals (OnArrival each), then
    // OnDeviceChange when the list changed.
    void DeviceChange();

    // The list as it stands, unplugged taken devices included.
    int deviceCount() const { return int(m_devices.size()); }
    HidDevice *deviceAt(int index) const;
    QString errorText(quint32 error) const { return m_platform.errorText(error); }

private:
    explicit HidDeviceController(HidPlatform &platform);

    void scanInto(QList<HidDevice *> &fresh);
    HidDevice *createDevice(const HidPlatform::Interface &info);
    void runDeviceChange(bool raiseAnyway);
    void dispose(HidDevice *device);

    HidPlatform &m_platform;
    QList<HidDevice *> m_devices;
    int m_deviceSleepTime = 100;
    HidPlugEvent m_onArrival;
    HidPlugEvent m_onRemoval;
    HidEnumerateEvent m_onEnumerate;
    HidNotifyEvent m_onDeviceChange;
    HidDataEvent m_onDeviceData;
    HidDataErrorEvent m_onDeviceDataError;
    HidPlugEvent m_onDeviceUnplug;
    bool m_deviceChangeAssigned = false;
    bool m_inDeviceChange = false;
    bool m_changeAgain = false;
    bool m_raiseAnyway = false;
};
