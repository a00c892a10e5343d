#pragma once

#include "support/ReadingBatch.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <functional>

// Where a cable's bytes come from. A source opens and closes its device, hands every chunk it
// receives to the chunk handler as it came (frame assembly needs no more than the bytes in
// order), and says when the device goes away and comes back.
class MeterSource : public QObject
{
    Q_OBJECT
public:
    // The bytes are only valid during the call.
    using ChunkHandler = std::function<void(QByteArrayView)>;

    using QObject::QObject;

    virtual void setOnChunk(ChunkHandler handler) { m_onChunk = std::move(handler); }
    bool hasChunkHandler() const { return bool(m_onChunk); }

    // False with the reason, in words for the user, when the device cannot be opened.
    virtual bool open(QString *reason) = 0;
    // Closes the device and stops waiting for it to come back.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The device is away and the source waits for it.
    virtual bool waitingForDevice() const = 0;

Q_SIGNALS:
    // The device went away while open; it has been closed already.
    void lost(const QString &reason);
    // A vanished device is open again.
    void back();
    // A vanished device did not come back in the time allowed; the source stays closed.
    void gone();

protected:
    void deliver(QByteArrayView bytes)
    {
        // The frames of one read are shown together.
        const ReadingBatch::Scope batch;
        if (m_onChunk)
            m_onChunk(bytes);
    }

private:
    ChunkHandler m_onChunk;
};
