#pragma once

#include <QByteArray>

// One reading as the meter sends it: a data byte per nibble ("00012340010"), with '0' as the
// high half, then CR LF.
inline QByteArray meterReading(const char *nibbles)
{
    QByteArray bytes;
    for (const char *c = nibbles; *c; ++c)
        bytes += char(0x30 | QByteArray(1, *c).toInt(nullptr, 16));
    return bytes + "\r\n";
}
