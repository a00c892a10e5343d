#pragma once

#include "links/hid/HidPlatform.h"

#include <QTimer>
#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// The HID interfaces of a Linux system: hidraw device nodes.
// - Listing and hot-plug come from libudev (subsystem "hidraw"). An interface's identity is the
//   sysfs path of its parent HID device, which names one attachment: a device plugged in again
//   is a new interface. Vendor and product ids come from the parent's HID_ID.
// - Feature reports and strings go through hidapi (hidraw backend) when the node opens for
//   reading and writing; without access the strings come from sysfs (the USB device's
//   "product" and "serial", else HID_NAME and HID_UNIQ).
// - hidraw cannot fetch string 0 (the language list), and the kernel reads strings in the
//   device's first language. The list is therefore U+0409 (US English) when the device shows a
//   product or serial string and empty otherwise: a real serial number always counts.
// - The input report length and whether reports are numbered come from the parent's
//   "report_descriptor" in sysfs (65 when it cannot be read). Unnumbered reports get an
//   identifier byte 0 in front, as the controller expects one.
// - Reads poll the hidraw node together with an eventfd that stop() signals.
// - A burst of udev events becomes one devicesChanged, 100 ms after the last.
class HidrawPlatform : public HidPlatform
{
    Q_OBJECT
public:
    explicit HidrawPlatform(QObject *parent = nullptr);
    ~HidrawPlatform() override;

    // False when the udev monitor could not be set up: no hot-plug notifications then.
    bool monitoring() const { return m_notifier != nullptr; }

    QList<Interface> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const QString &path, quint32 *error) override;
    std::unique_ptr<HidReadChannel> openReadChannel(const QString &path) override;
    QString errorText(quint32 error) const override;

private:
    void drainMonitor();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_settle;
};
