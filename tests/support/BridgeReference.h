#pragma once

#include "links/bridge/BridgeAssembler.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstring>
#include <string>

// A read sequence: a byte value, or FailedRead for a read whose status is not 0.
using Reads = QList<int>;

namespace BridgeReference {

constexpr int FailedRead = -1;

Reads bytes(QByteArrayView text)
{
    Reads r;
    for (const char c : text)
        r.append(static_cast<unsigned char>(c));
    return r;
}

QString frameEvent(const QString &frame, bool accepted)
{
    return (accepted ? u"decode "_qs : u"drop "_qs) + frame;
}

// The poll tick's steps as written, on a plain buffer and std::string texts.
struct ReferencePoll
{
    unsigned char buffer[BridgeAssembler::BufferSize] = {};
    unsigned char pos = 0;
    std::string readingFrame;
    QStringList events;

    std::string bufferText() const
    {
        return std::string(reinterpret_cast<const char *>(buffer),
                           strnlen(reinterpret_cast<const char *>(buffer), sizeof buffer));
    }
    void decoder(bool called)
    {
        events << frameEvent(
            QString::fromLatin1(readingFrame.data(), qsizetype(readingFrame.size())), called);
    }
    void tick(int read)
    {
        if (read == FailedRead)
            return;
        const auto byte = static_cast<unsigned char>(read);
        buffer[pos] = byte;
        pos = static_cast<unsigned char>(pos + 1);
        readingFrame = bufferText();
        if (byte == 0x0A) {
            if (pos == 13) {
                buffer[11] = 0;
                readingFrame.assign(1, 'A');
                readingFrame.append(bufferText());
                readingFrame.push_back('D');
                if (readingFrame.size() >= 12 && readingFrame[11] == '<') {
                    readingFrame.resize(11);
                    readingFrame.append("CD");
                    decoder(true);
                } else {
                    decoder(readingFrame[0] == 'A' && readingFrame.size() >= 13
                            && readingFrame[12] == 'D' && readingFrame[9] != '<');
                }
            } else {
                std::memset(buffer, 0, sizeof buffer);
                events << u"flush"_qs;
            }
        }
        if (pos >= 13) {
            pos = 0;
            events << u"flush"_qs;
        }
    }
};

} // namespace BridgeReference
