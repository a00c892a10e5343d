#include "HidCableSource.h"

#include "links/hid/HidCable.h"
#include "links/hid/HidrawPlatform.h"

HidCableSource::HidCableSource(QString path, std::unique_ptr<HidPlatform> platform)
    : m_path(std::move(path))
    , m_platform(platform ? std::move(platform) : std::make_unique<HidrawPlatform>())
{
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this, [this] {
        m_open = false;
        Q_EMIT gone();
    });
}

HidCableSource::~HidCableSource()
{
    close();
}

void HidCableSource::setOnReport(std::function<void(quint8, QByteArrayView)> onReport)
{
    m_onReport = std::move(onReport);
}

QString HidCableSource::deviceName() const
{
    if (!m_path.isEmpty())
        return m_path;
    const QString path = m_cable ? m_cable->path() : QString();
    return path.isEmpty() ? HidCable::name() : QString(HidCable::name() + u" ("_qs + path + u')');
}

bool HidCableSource::onEnumerate(HidDevice *device, int index)
{
    const bool chosen = m_path.isEmpty() ? HidCable::describe(device) == HidCable::name()
                                         : device->path() == m_path;
    if (chosen)
        m_chosen = index;
    return true;
}

bool HidCableSource::takeCable(QString *error)
{
    m_chosen = -1;
    m_ctl->setOnEnumerate({this, &HidCableSource::onEnumerate});
    m_ctl->ListDevices();
    m_ctl->setOnEnumerate(nullptr);
    if (m_chosen < 0) {
        if (error)
            *error = m_path.isEmpty()
                ? u"no HID cable \""_qs + HidCable::name() + u"\" is plugged in"_qs
                : u"cannot open "_qs + m_path + u": no HID device of that path is present"_qs;
        return false;
    }
    m_cable = m_ctl->TakeDeviceAt(m_chosen);
    if (!m_cable) {
        if (error)
            *error = u"cannot open "_qs + deviceName() + u": it is in use"_qs;
        return false;
    }
    if (!m_cable->ReadWriteAccess()) {
        if (error)
            *error = u"cannot open "_qs + deviceName() + u" for reading and writing: "_qs
                + HidCable::accessAdvice();
        m_ctl->ReturnDevice(m_cable);
        return false;
    }
    // The speed report; a cable that refuses it is read all the same, as the window does.
    m_cable->SendFeatureReport(HidCable::speedReport());
    m_cable->setDataHandler({this, &HidCableSource::onReport});
    return true;
}

bool HidCableSource::open(QString *error)
{
    QString reason;
    m_ctl = HidDeviceController::create(*m_platform, &reason);
    if (!m_ctl) {
        if (error)
            *error = reason;
        return false;
    }
    if (!takeCable(error))
        return false;
    m_open = true;
    m_ctl->setOnDeviceChange({this, &HidCableSource::onDeviceChange});
    return true;
}

void HidCableSource::onDeviceChange(HidDeviceController *)
{
    if (!m_open)
        return;
    if (m_cable && m_cable->pluggedIn())
        return;
    if (m_cable) {
        m_ctl->ReturnDevice(m_cable);
        Q_EMIT lost();
        if (m_reconnectSeconds <= 0) {
            m_open = false;
            Q_EMIT gone();
            return;
        }
        m_giveUp.start(m_reconnectSeconds * 1000);
    }
    if (takeCable(nullptr)) {
        m_giveUp.stop();
        Q_EMIT back();
    }
}

void HidCableSource::onReport(HidDevice *, quint8 reportId, const quint8 *data, quint16 size)
{
    if (m_onReport)
        m_onReport(reportId, QByteArrayView(data, size));
}

void HidCableSource::close()
{
    m_open = false;
    m_giveUp.stop();
    if (m_cable) {
        m_cable->setDataHandler(nullptr);
        m_ctl->ReturnDevice(m_cable);
    }
    if (m_ctl) {
        m_ctl->setOnDeviceChange(nullptr);
        m_ctl.reset();
    }
}
