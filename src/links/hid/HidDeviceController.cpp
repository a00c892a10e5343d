#include "links/hid/HidDeviceController.h"

#include <algorithm>

namespace {
HidDeviceController *s_instance = nullptr;

bool validSleepTime(int ms)
{
    return ms >= 10 && ms <= 10000;
}
} // namespace

std::unique_ptr<HidDeviceController> HidDeviceController::create(HidPlatform &platform,
                                                                 QString *error)
{
    if (s_instance) {
        if (error)
            *error = onlyOneMessage();
        return nullptr;
    }
    return std::unique_ptr<HidDeviceController>(new HidDeviceController(platform));
}

HidDeviceController::HidDeviceController(HidPlatform &platform)
    : m_platform(platform)
{
    s_instance = this;
    scanInto(m_devices);
    // Queued: a rescan never runs inside the caller of whatever made the system change.
    connect(&m_platform, &HidPlatform::devicesChanged, this, &HidDeviceController::DeviceChange,
            Qt::QueuedConnection);
}

HidDeviceController::~HidDeviceController()
{
    disconnect(&m_platform, nullptr, this, nullptr);
    const QList<HidDevice *> devices = std::exchange(m_devices, {});
    qDeleteAll(devices);
    // Returned objects still waiting for the event loop are children and go with the rest.
    s_instance = nullptr;
}

HidDevice *HidDeviceController::deviceAt(int index) const
{
    return index >= 0 && index < m_devices.size() ? m_devices.at(index) : nullptr;
}

bool HidDeviceController::setDeviceSleepTime(int ms)
{
    if (!validSleepTime(ms))
        return false;
    const int previous = std::exchange(m_deviceSleepTime, ms);
    for (HidDevice *device : std::as_const(m_devices)) {
        if (device->ReaderSleepTime() == previous)
            device->setReaderSleepTime(ms);
    }
    return true;
}

void HidDeviceController::setOnDeviceChange(HidNotifyEvent handler)
{
    if (handler == m_onDeviceChange)
        return;
    m_onDeviceChange = std::move(handler);
    const bool first = m_onDeviceChange && !m_deviceChangeAssigned;
    if (m_onDeviceChange)
        m_deviceChangeAssigned = true;
    runDeviceChange(first);
}

// Setting a device's data handler may start or stop its reader and so run handlers: the list
// is walked over guarded copies.
template<typename Handler, typename Get, typename Set>
static void passOn(const QList<HidDevice *> &devices, const Handler &previous,
                   const Handler &handler, Get get, Set set)
{
    QList<QPointer<HidDevice>> guarded(devices.cbegin(), devices.cend());
    for (const QPointer<HidDevice> &device : std::as_const(guarded)) {
        if (device && (device->*get)() == previous)
            (device->*set)(handler);
    }
}

void HidDeviceController::setOnDeviceData(HidDataEvent handler)
{
    const HidDataEvent previous = std::exchange(m_onDeviceData, handler);
    passOn(m_devices, previous, handler, &HidDevice::DataHandler, &HidDevice::setDataHandler);
}

void HidDeviceController::setOnDeviceDataError(HidDataErrorEvent handler)
{
    const HidDataErrorEvent previous = std::exchange(m_onDeviceDataError, handler);
    passOn(m_devices, previous, handler, &HidDevice::DataErrorHandler,
           &HidDevice::setDataErrorHandler);
}

void HidDeviceController::setOnDeviceUnplug(HidPlugEvent handler)
{
    const HidPlugEvent previous = std::exchange(m_onDeviceUnplug, handler);
    passOn(m_devices, previous, handler, &HidDevice::UnplugHandler, &HidDevice::setUnplugHandler);
}

HidDevice *HidDeviceController::createDevice(const HidPlatform::Interface &info)
{
    quint32 error = 0;
    std::unique_ptr<HidHandle> handle = m_platform.open(info.path, &error);
    if (!handle)
        return nullptr;
    auto *device = new HidDevice(m_platform, info, this);
    device->m_readWriteAccess = handle->readWrite();
    device->m_dataHandler = m_onDeviceData;
    device->m_dataErrorHandler = m_onDeviceDataError;
    device->m_unplugHandler = m_onDeviceUnplug;
    device->m_readerSleepTime = m_deviceSleepTime;
    return device;
}

void HidDeviceController::scanInto(QList<HidDevice *> &fresh)
{
    const QList<HidPlatform::Interface> interfaces = m_platform.listInterfaces();
    for (const HidPlatform::Interface &info : interfaces) {
        if (HidDevice *device = createDevice(info))
            fresh.append(device);
    }
}

void HidDeviceController::dispose(HidDevice *device)
{
    m_devices.removeOne(device);
    device->deleteLater();
}

int HidDeviceController::ListDevices()
{
    if (!m_onEnumerate)
        return 0;
    int calls = 0;
    for (int index = 0; index < m_devices.size(); ++index) {
        QPointer<HidDevice> device = m_devices.at(index);
        if (!device->pluggedIn())
            continue;
        device->m_enumerating = true;
        const HidEnumerateEvent handler = m_onEnumerate;
        const bool more = handler(device, index);
        ++calls;
        if (device) {
            device->m_enumerating = false;
            if (!device->taken())
                device->closeHandles();
        }
        if (!more)
            break;
    }
    return calls;
}

HidDevice *HidDeviceController::TakeDeviceAt(int index)
{
    HidDevice *device = deviceAt(index);
    if (!device || device->taken())
        return nullptr;
    device->m_taken = true;
    device->startReaderIfDue();
    return device;
}

bool HidDeviceController::ReturnDevice(QPointer<HidDevice> &device)
{
    HidDevice *plain = device;
    device = nullptr;
    return ReturnDevice(plain);
}

bool HidDeviceController::ReturnDevice(HidDevice *&device)
{
    QPointer<HidDevice> returned = std::exchange(device, nullptr);
    if (!returned || !returned->taken() || returned->parent() != this)
        return false;
    const HidDataEvent dataHandler = returned->DataHandler();
    const HidPlugEvent unplugHandler = returned->UnplugHandler();
    const int sleepTime = returned->ReaderSleepTime();
    returned->setDataHandler(HidDataEvent());
    if (!returned)
        return true;
    returned->m_unplugHandler = HidPlugEvent();
    returned->closeHandles();
    returned->m_taken = false;
    const qsizetype index = m_devices.indexOf(returned.data());
    if (index >= 0 && returned->pluggedIn()) {
        if (HidDevice *fresh = createDevice(returned->m_info)) {
            fresh->m_dataHandler = dataHandler;
            fresh->m_unplugHandler = unplugHandler;
            fresh->m_readerSleepTime = sleepTime;
            m_devices[index] = fresh;
        }
    }
    dispose(returned);
    return true;
}

void HidDeviceController::DeviceChange()
{
    runDeviceChange(false);
}

void HidDeviceController::runDeviceChange(bool raiseAnyway)
{
    m_raiseAnyway = m_raiseAnyway || raiseAnyway;
    // A handler may cause another rescan: it runs after this one instead of inside it.
    if (m_inDeviceChange) {
        m_changeAgain = true;
        return;
    }
    m_inDeviceChange = true;
    do {
        m_changeAgain = false;
        QList<HidDevice *> fresh;
        scanInto(fresh);
        bool changed = false;

        const QList<QPointer<HidDevice>> current(m_devices.cbegin(), m_devices.cend());
        for (auto it = current.crbegin(); it != current.crend(); ++it) {
            QPointer<HidDevice> device = *it;
            // A device found gone before stays listed while taken; it is not reported again.
            if (!device || !device->pluggedIn() || !m_devices.contains(device.data()))
                continue;
            const bool present = std::any_of(fresh.cbegin(), fresh.cend(), [&](HidDevice *f) {
                return f->identity() == device->identity();
            });
            if (present)
                continue;
            changed = true;
            device->markUnplugged();
            if (device && m_onRemoval) {
                const HidPlugEvent handler = m_onRemoval;
                handler(device);
            }
            if (device && !device->taken())
                dispose(device);
        }

        for (HidDevice *candidate : std::as_const(fresh)) {
            const bool known
                = std::any_of(m_devices.cbegin(), m_devices.cend(), [&](HidDevice *device) {
                      return device->pluggedIn() && device->identity() == candidate->identity();
                  });
            if (known) {
                delete candidate;
                continue;
            }
            m_devices.append(candidate);
            changed = true;
            if (m_onArrival) {
                const HidPlugEvent handler = m_onArrival;
                handler(candidate);
            }
        }

        if (changed || m_raiseAnyway) {
            m_raiseAnyway = false;
            if (m_onDeviceChange) {
                const HidNotifyEvent handler = m_onDeviceChange;
                handler(this);
            }
        }
    } while (m_changeAgain);
    m_inDeviceChange = false;
}
