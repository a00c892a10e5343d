#pragma once

#include "links/hid/HidDevice.h"

#include <QByteArray>
#include <QString>

// The meter's HID cable, as the window's link and the headless recorder find and set it up.
namespace HidCable {

// The product string of the cable; a device is the cable when its description is exactly this.
inline QString name()
{
    return QStringLiteral("USB to Serial");
}

// The speed report: identifier 0, 9600 bit/s low byte first, then the cable's fixed 3.
inline QByteArray speedReport()
{
    return QByteArray("\x00\x80\x25\x00\x00\x03\x00\x00\x00\x00", 10);
}

// `DescribeHidDevice`: the product string, or the vendor and product ids; with " (Serial=...)"
// when the device has a serial number.
inline QString describe(HidDevice *device)
{
    const auto hex4 = [](unsigned value) {
        return QString::number(value, 16).toUpper().rightJustified(4, u'0');
    };
    const QString product = device->ProductText();
    QString text = !product.isEmpty()
        ? product
        : u"Device VID="_qs + hex4(device->VendorID()) + u" PID="_qs + hex4(device->ProductID());
    const QString serial = device->SerialText();
    if (!serial.isEmpty())
        text += u" (Serial="_qs + serial + u')';
    return text;
}

// What to tell a user whose cable cannot be opened for reading and writing.
inline QString accessAdvice()
{
    return QStringLiteral("the udev rule 70-meterlink-hid.rules gives the user at the computer "
                          "access (see the README, \"HID cable\")");
}

} // namespace HidCable
