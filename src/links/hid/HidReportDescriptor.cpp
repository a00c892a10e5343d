#include "links/hid/HidReportDescriptor.h"

#include <map>

HidInputReports hidInputReports(QByteArrayView descriptor)
{
    struct Globals
    {
        quint32 reportSize = 0;
        quint32 reportCount = 0;
        quint32 reportId = 0;
    };
    Globals globals;
    Globals pushed[8];
    int depth = 0;
    std::map<quint32, quint64> inputBits;
    HidInputReports result;

    const auto *bytes = reinterpret_cast<const quint8 *>(descriptor.data());
    const qsizetype end = descriptor.size();
    qsizetype at = 0;
    while (at < end) {
        const quint8 prefix = bytes[at];
        if (prefix == 0xFE) { // a long item: its size follows, then its tag
            if (at + 1 >= end)
                break;
            at += 3 + bytes[at + 1];
            continue;
        }
        const int size = (prefix & 3) == 3 ? 4 : prefix & 3;
        if (at + 1 + size > end)
            break;
        quint32 value = 0;
        for (int i = 0; i < size; ++i)
            value |= quint32(bytes[at + 1 + i]) << (8 * i);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        if (type == 1) {
            switch (tag) {
            case 7:
                globals.reportSize = value;
                break;
            case 8:
                globals.reportId = value;
                result.numbered = true;
                break;
            case 9:
                globals.reportCount = value;
                break;
            case 10:
                if (depth < 8)
                    pushed[depth++] = globals;
                break;
            case 11:
                if (depth > 0)
                    globals = pushed[--depth];
                break;
            default:
                break;
            }
        } else if (type == 0 && tag == 8) {
            inputBits[globals.reportId] += quint64(globals.reportSize) * globals.reportCount;
        }
        at += 1 + size;
    }

    quint64 longest = 0;
    for (const auto &[id, bits] : inputBits)
        longest = std::max(longest, (bits + 7) / 8);
    if (longest > 0 && longest < 65536)
        result.length = int(longest) + 1;
    return result;
}
