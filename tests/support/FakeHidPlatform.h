#pragma once

#include "links/hid/HidPlatform.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <mutex>

// A scriptable HID system. Devices appear and vanish (each change notified at once, or not when
// asked), deliver queued reports, refuse reads, have or lack read-write access and answer
// feature reports and string queries as set. Reader threads read through it; everything else
// runs on the test's thread.
class FakeHidPlatform : public HidPlatform
{
    Q_OBJECT
public:
    // The code a read gets once its device has vanished.
    static constexpr quint32 goneError = 19;

    struct Device
    {
        QString path;
        QString identity;
        quint16 vendorId = 0x10c4;
        quint16 productId = 0xea80;
        bool readWrite = true;
        bool opens = true; // false: not even a query handle opens
        QString product;
        QString serial;
        QString languages = QString(QChar(0x0409));
        int inputReportLength = 65;
        bool featureReportsFail = false;
    };

    // One call the readers made, in order.
    struct ReadCall
    {
        QString identity;
        bool isPause = false;
        int timeoutMs = 0;
        bool refused = false; // a read the device refused
    };

    using HidPlatform::HidPlatform;

    void plug(const Device &device, bool notify = true);
    void unplug(const QString &identity, bool notify = true);
    // The report with its identifier byte first.
    void queueReport(const QString &identity, const QByteArray &report);
    // Reads are refused with the code until it is set to 0.
    void refuseReads(const QString &identity, quint32 error);
    void setFeatureReportsFail(const QString &identity, bool fail);
    void setReadWrite(const QString &identity, bool readWrite);
    void setStrings(const QString &identity, const QString &product, const QString &serial,
                    const QString &languages);

    QList<QByteArray> featureReportsSent(const QString &identity) const;
    int queuedReports(const QString &identity) const;
    // Handles opened and not yet closed, general and reader's.
    int openHandles(const QString &identity) const;
    int openChannels(const QString &identity) const;
    int channelsOpened(const QString &identity) const;
    QList<ReadCall> readCalls() const;
    int refusedReads(const QString &identity) const;

    QList<Interface> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const QString &path, quint32 *error) override;
    std::unique_ptr<HidReadChannel> openReadChannel(const QString &path) override;
    QString errorText(quint32 error) const override;

private:
    friend class FakeHidHandle;
    friend class FakeHidReadChannel;

    struct State
    {
        Device device;
        bool present = false;
        quint32 refuse = 0;
        std::deque<QByteArray> reports;
        QList<QByteArray> featureReports;
        int handles = 0;
        int channels = 0;
        int channelsOpened = 0;
        int refused = 0;
    };

    State *byPath(const QString &path);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    QStringList m_order; // identities, in plug order
    QHash<QString, State> m_states;
    QList<ReadCall> m_readCalls;
};
