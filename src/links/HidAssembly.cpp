#include "links/HidAssembly.h"

QString HidBurst::hexText(QByteArrayView bytes)
{
    QString text(bytes.size() * 2, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        *out++ = hexDigit(value >> 4);
        *out++ = hexDigit(value & 0x0F);
    }
    return text;
}

QString HidBurst::reportText(quint8 reportId, QByteArrayView data)
{
    QString text(6 + data.size() * 3, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    *out++ = u'R';
    *out++ = u' ';
    *out++ = hexDigit(reportId >> 4);
    *out++ = hexDigit(reportId & 0x0F);
    *out++ = u' ';
    *out++ = u' ';
    for (const char byte : data) {
        const auto value = static_cast<unsigned char>(byte);
        *out++ = hexDigit(value >> 4);
        *out++ = hexDigit(value & 0x0F);
        *out++ = u' ';
    }
    return text;
}
