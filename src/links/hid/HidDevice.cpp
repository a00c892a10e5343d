#include "links/hid/HidDevice.h"

#include "links/hid/HidDeviceReadThread.h"

#include <QEvent>

HidDevice::HidDevice(HidPlatform &platform, HidPlatform::Interface info, QObject *parent)
    : QObject(parent)
    , m_platform(platform)
    , m_info(std::move(info))
{
}

HidDevice::~HidDevice()
{
    // Hand-overs the stop still serves find no handler: nobody is told about a device that is
    // going away.
    m_dataHandler = HidDataEvent();
    m_dataErrorHandler = HidDataErrorEvent();
    if (m_reader)
        m_reader->stop();
    m_reader.reset();
    closeHandles();
}

bool HidDevice::event(QEvent *event)
{
    if (event->type() == QEvent::DeferredDelete && m_busy > 0) {
        m_deleteWhenIdle = true;
        return true;
    }
    return QObject::event(event);
}

void HidDevice::leaveBusy()
{
    if (--m_busy == 0 && m_deleteWhenIdle) {
        m_deleteWhenIdle = false;
        deleteLater();
    }
}

bool HidDevice::handOverPending() const
{
    return m_reader && m_reader->handOverPending();
}

bool HidDevice::setReaderSleepTime(int ms)
{
    if (ms < 10 || ms > 10000)
        return false;
    m_readerSleepTime = ms;
    if (m_reader)
        m_reader->setSleepTime(ms);
    return true;
}

void HidDevice::setDataHandler(HidDataEvent handler)
{
    ++m_busy;
    if (!handler)
        stopReader();
    m_dataHandler = std::move(handler);
    startReaderIfDue();
    leaveBusy();
}

bool HidDevice::openHandle()
{
    if (m_handle)
        return true;
    if (!canOpen())
        return false;
    quint32 error = 0;
    m_handle = m_platform.open(m_info.path, &error);
    if (!m_handle)
        return false;
    m_readWriteAccess = m_handle->readWrite();
    return true;
}

void HidDevice::closeHandles()
{
    m_handle.reset();
}

bool HidDevice::SendFeatureReport(QByteArrayView report)
{
    if (report.isEmpty() || !openHandle())
        return false;
    return m_handle->sendFeatureReport(report);
}

QString HidDevice::ProductText()
{
    if (m_productText.isEmpty() && openHandle()) {
        m_productText = m_handle->productString().left(254);
        m_handle.reset();
    }
    return m_productText;
}

QString HidDevice::SerialText()
{
    if (m_serialText.isEmpty() && openHandle()) {
        const QString serial = m_handle->serialNumberString().left(254);
        const QString languages = m_handle->languageList();
        if (!languages.isEmpty() && QStringView(serial).left(languages.size()) != languages)
            m_serialText = serial;
        m_handle.reset();
    }
    return m_serialText;
}

void HidDevice::startReaderIfDue()
{
    if (!m_dataHandler || !m_pluggedIn || !m_taken || !m_readWriteAccess || m_reader
        || m_stoppingReader)
        return;
    m_reader = std::make_unique<HidDeviceReadThread>(
        m_platform.openReadChannel(m_info.path), m_readerSleepTime,
        [this](const HidDeviceReadThread::HandOver &job) {
            deliver(job.report, job.isError, job.error);
        });
    m_reader->startReading();
}

void HidDevice::stopReader()
{
    // A handler run by the stop may come back here: the outer call finishes the stop.
    if (!m_reader || m_stoppingReader)
        return;
    m_stoppingReader = true;
    ++m_busy;
    m_reader->stop();
    m_reader.reset();
    m_stoppingReader = false;
    leaveBusy();
}

void HidDevice::markUnplugged()
{
    m_pluggedIn = false;
    closeHandles();
    const HidPlugEvent handler = std::exchange(m_unplugHandler, HidPlugEvent());
    if (handler) {
        ++m_busy;
        handler(this);
        leaveBusy();
    }
}

void HidDevice::deliver(const QByteArray &report, bool isError, quint32 error)
{
    ++m_busy;
    if (isError) {
        const HidDataErrorEvent handler = m_dataErrorHandler;
        if (handler)
            handler(this, error);
    } else {
        const HidDataEvent handler = m_dataHandler;
        if (handler) {
            const auto *bytes = reinterpret_cast<const quint8 *>(report.constData());
            handler(this, bytes[0], bytes + 1, quint16(report.size() - 1));
        }
    }
    leaveBusy();
}
