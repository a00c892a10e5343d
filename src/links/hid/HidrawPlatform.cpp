#include "links/hid/HidrawPlatform.h"

#include "links/hid/HidReportDescriptor.h"

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <hidapi.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct UdevDeviceDeleter
{
    void operator()(udev_device *device) const { udev_device_unref(device); }
};
using UdevDevice = std::unique_ptr<udev_device, UdevDeviceDeleter>;

QString text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// The hidraw node's udev device, or null with the error code when the path is none.
UdevDevice hidrawDevice(udev *context, const QString &path, quint32 *error)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        *error = quint32(errno);
        return nullptr;
    }
    UdevDevice device;
    if (context && S_ISCHR(info.st_mode))
        device.reset(udev_device_new_from_devnum(context, 'c', info.st_rdev));
    const char *subsystem = device ? udev_device_get_subsystem(device.get()) : nullptr;
    if (!subsystem || qstrcmp(subsystem, "hidraw") != 0) {
        *error = ENODEV;
        return nullptr;
    }
    return device;
}

udev_device *hidParent(udev_device *hidraw)
{
    return udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
}

HidInputReports inputReports(udev_device *hidraw)
{
    udev_device *parent = hidraw ? hidParent(hidraw) : nullptr;
    if (!parent)
        return {};
    QFile file(text(udev_device_get_syspath(parent)) + QStringLiteral("/report_descriptor"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return hidInputReports(file.readAll());
}

// USB string attributes where there are any, else what the HID layer knows.
QString sysfsString(udev_device *hidraw, const char *usbAttribute, const char *hidProperty)
{
    if (udev_device *usb
        = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device")) {
        return text(udev_device_get_sysattr_value(usb, usbAttribute)).trimmed();
    }
    udev_device *parent = hidParent(hidraw);
    return parent ? text(udev_device_get_property_value(parent, hidProperty)) : QString();
}

class HidrawHandle : public HidHandle
{
public:
    HidrawHandle(UdevDevice device, hid_device *io)
        : m_device(std::move(device))
        , m_io(io)
    {
    }
    ~HidrawHandle() override
    {
        if (m_io)
            hid_close(m_io);
    }

    bool readWrite() const override { return m_io != nullptr; }

    bool sendFeatureReport(QByteArrayView report) override
    {
        return m_io
            && hid_send_feature_report(m_io, reinterpret_cast<const unsigned char *>(report.data()),
                                       size_t(report.size()))
            >= 0;
    }

    QString productString() override
    {
        return m_io ? viaHidapi(hid_get_product_string)
                    : sysfsString(m_device.get(), "product", "HID_NAME");
    }

    QString serialNumberString() override
    {
        return m_io ? viaHidapi(hid_get_serial_number_string)
                    : sysfsString(m_device.get(), "serial", "HID_UNIQ");
    }

    QString languageList() override
    {
        if (productString().isEmpty() && serialNumberString().isEmpty())
            return {};
        return QString(QChar(0x0409));
    }

private:
    QString viaHidapi(int (*get)(hid_device *, wchar_t *, size_t))
    {
        wchar_t buffer[256] = {};
        if (get(m_io, buffer, 255) < 0)
            return {};
        return QString::fromWCharArray(buffer);
    }

    UdevDevice m_device;
    hid_device *m_io = nullptr;
};

class HidrawReadChannel : public HidReadChannel
{
public:
    HidrawReadChannel(QString path, HidInputReports reports)
        : m_path(QFile::encodeName(path))
        , m_reports(reports)
        , m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }
    ~HidrawReadChannel() override
    {
        closeDevice();
        if (m_stop >= 0)
            ::close(m_stop);
    }

    int inputReportLength() const override { return m_reports.length; }

    Result read(char *buffer, int capacity, int timeoutMs) override
    {
        if (m_device < 0) {
            m_device = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (m_device < 0)
                return {Outcome::Refused, 0, quint32(errno)};
        }
        pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_device, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0 && errno != EINTR)
            return refuse(errno);
        if (ready <= 0)
            return {Outcome::TimedOut, 0, 0};
        if (fds[0].revents)
            return {Outcome::Stopped, 0, 0};
        if (!(fds[1].revents & POLLIN))
            return refuse(ENODEV);
        const int skip = m_reports.numbered ? 0 : 1;
        const ssize_t got = ::read(m_device, buffer + skip, size_t(capacity - skip));
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return {Outcome::TimedOut, 0, 0};
            return refuse(errno);
        }
        if (got == 0)
            return {Outcome::Report, 0, 0};
        if (skip)
            buffer[0] = 0;
        return {Outcome::Report, int(got) + skip, 0};
    }

    bool pause(int timeoutMs) override
    {
        pollfd stop = {m_stop, POLLIN, 0};
        return ::poll(&stop, 1, timeoutMs) == 0;
    }

    void stop() override
    {
        // The counter is never read back, so the eventfd stays readable for every later poll.
        const eventfd_t one = 1;
        [[maybe_unused]] const int written = ::eventfd_write(m_stop, one);
    }

private:
    Result refuse(int error)
    {
        // Opened again on the next read: a device that is back reads on.
        closeDevice();
        return {Outcome::Refused, 0, quint32(error)};
    }
    void closeDevice()
    {
        if (m_device >= 0)
            ::close(m_device);
        m_device = -1;
    }

    QByteArray m_path;
    HidInputReports m_reports;
    int m_stop = -1;
    int m_device = -1;
};

} // namespace

HidrawPlatform::HidrawPlatform(QObject *parent)
    : HidPlatform(parent)
    , m_udev(udev_new())
{
    hid_init();
    m_settle.setSingleShot(true);
    m_settle.setInterval(100);
    connect(&m_settle, &QTimer::timeout, this, &HidPlatform::devicesChanged);
    if (!m_udev)
        return;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor
        && (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0
            || udev_monitor_enable_receiving(m_monitor) < 0)) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
    }
    if (m_monitor) {
        m_notifier = new QSocketNotifier(qintptr(udev_monitor_get_fd(m_monitor)),
                                         QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &HidrawPlatform::drainMonitor);
    }
}

HidrawPlatform::~HidrawPlatform()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void HidrawPlatform::drainMonitor()
{
    while (udev_device *device = udev_monitor_receive_device(m_monitor))
        udev_device_unref(device);
    m_settle.start();
}

QList<HidPlatform::Interface> HidrawPlatform::listInterfaces()
{
    QList<Interface> found;
    if (!m_udev)
        return found;
    udev_enumerate *enumerate = udev_enumerate_new(m_udev);
    if (!enumerate)
        return found;
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        UdevDevice device(udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry)));
        udev_device *parent = device ? hidParent(device.get()) : nullptr;
        const char *node = device ? udev_device_get_devnode(device.get()) : nullptr;
        if (!parent || !node)
            continue;
        unsigned bus = 0, vendor = 0, product = 0;
        const char *id = udev_device_get_property_value(parent, "HID_ID");
        if (!id || std::sscanf(id, "%x:%x:%x", &bus, &vendor, &product) != 3)
            continue;
        found.append(
            {text(node), text(udev_device_get_syspath(parent)), quint16(vendor), quint16(product)});
    }
    udev_enumerate_unref(enumerate);
    return found;
}

std::unique_ptr<HidHandle> HidrawPlatform::open(const QString &path, quint32 *error)
{
    quint32 failure = 0;
    UdevDevice device = hidrawDevice(m_udev, path, &failure);
    if (!device) {
        if (error)
            *error = failure;
        return nullptr;
    }
    // Without read-write access the node still answers queries through sysfs.
    hid_device *io = hid_open_path(QFile::encodeName(path).constData());
    return std::make_unique<HidrawHandle>(std::move(device), io);
}

std::unique_ptr<HidReadChannel> HidrawPlatform::openReadChannel(const QString &path)
{
    quint32 error = 0;
    UdevDevice device = hidrawDevice(m_udev, path, &error);
    return std::make_unique<HidrawReadChannel>(path, inputReports(device.get()));
}

QString HidrawPlatform::errorText(quint32 error) const
{
    return qt_error_string(int(error));
}
