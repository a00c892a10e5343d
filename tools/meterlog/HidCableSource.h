#pragma once

#include "links/hid/HidDeviceController.h"
#include "links/hid/HidPlatform.h"

#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

// The HID cable for the headless recorder: the device selected as the window selects it (the
// last one described exactly "USB to Serial"), or the one at a given path; the speed report
// sent; every input report handed on. A cable that goes away is waited for, and taken and set
// up again when it is back.
class HidCableSource : public QObject
{
    Q_OBJECT
public:
    // An empty path: the cable by its name.
    explicit HidCableSource(QString path, std::unique_ptr<HidPlatform> platform = {});
    ~HidCableSource() override;

    // reportId, then the data bytes (valid only during the call).
    void setOnReport(std::function<void(quint8, QByteArrayView)> onReport);
    void setReconnectSeconds(int seconds) { m_reconnectSeconds = seconds; }

    // False with a message that names the device and says why.
    bool open(QString *error);
    void close();
    // "USB to Serial (/dev/hidraw3)" or the path given.
    QString deviceName() const;

Q_SIGNALS:
    void lost();
    void back();
    void gone();

private:
    bool takeCable(QString *error);
    bool onEnumerate(HidDevice *device, int index);
    void onDeviceChange(HidDeviceController *);
    void onReport(HidDevice *, quint8 reportId, const quint8 *data, quint16 size);

    QString m_path;
    std::unique_ptr<HidPlatform> m_platform;
    std::unique_ptr<HidDeviceController> m_ctl;
    QPointer<HidDevice> m_cable;
    int m_chosen = -1;
    QString m_name;
    std::function<void(quint8, QByteArrayView)> m_onReport;
    int m_reconnectSeconds = 30;
    QTimer m_giveUp;
    bool m_open = false;
};
