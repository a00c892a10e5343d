#include "FakeHidPlatform.h"

class FakeHidHandle : public HidHandle
{
public:
    FakeHidHandle(FakeHidPlatform &platform, QString identity, bool readWrite)
        : m_platform(platform)
        , m_identity(std::move(identity))
        , m_readWrite(readWrite)
    {
    }
    ~FakeHidHandle() override
    {
        std::lock_guard guard(m_platform.m_lock);
        --m_platform.m_states[m_identity].handles;
    }

    bool readWrite() const override { return m_readWrite; }

    bool sendFeatureReport(QByteArrayView report) override
    {
        std::lock_guard guard(m_platform.m_lock);
        auto &state = m_platform.m_states[m_identity];
        if (!m_readWrite || !state.present || state.device.featureReportsFail)
            return false;
        state.featureReports.append(report.toByteArray());
        return true;
    }
    QString productString() override { return get(&FakeHidPlatform::Device::product); }
    QString serialNumberString() override { return get(&FakeHidPlatform::Device::serial); }
    QString languageList() override { return get(&FakeHidPlatform::Device::languages); }

private:
    QString get(QString FakeHidPlatform::Device::*field)
    {
        std::lock_guard guard(m_platform.m_lock);
        const auto &state = m_platform.m_states[m_identity];
        return state.present ? state.device.*field : QString();
    }

    FakeHidPlatform &m_platform;
    QString m_identity;
    bool m_readWrite;
};

class FakeHidReadChannel : public HidReadChannel
{
public:
    FakeHidReadChannel(FakeHidPlatform &platform, QString identity, int length)
        : m_platform(platform)
        , m_identity(std::move(identity))
        , m_length(length)
    {
        std::lock_guard guard(m_platform.m_lock);
        ++m_platform.m_states[m_identity].channels;
        ++m_platform.m_states[m_identity].channelsOpened;
    }
    ~FakeHidReadChannel() override
    {
        std::lock_guard guard(m_platform.m_lock);
        --m_platform.m_states[m_identity].channels;
    }

    int inputReportLength() const override { return m_length; }

    Result read(char *buffer, int capacity, int timeoutMs) override
    {
        std::unique_lock guard(m_platform.m_lock);
        const qsizetype call = m_platform.m_readCalls.size();
        m_platform.m_readCalls.append({m_identity, false, timeoutMs});
        auto &state = m_platform.m_states[m_identity];
        const bool settled
            = m_platform.m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
                  return m_stopped || !state.present || state.refuse || !state.reports.empty();
              });
        if (m_stopped)
            return {Outcome::Stopped, 0, 0};
        if (!settled)
            return {Outcome::TimedOut, 0, 0};
        if (!state.present || state.refuse) {
            ++state.refused;
            m_platform.m_readCalls[call].refused = true;
            return {Outcome::Refused, 0, state.present ? state.refuse : FakeHidPlatform::goneError};
        }
        const QByteArray report = state.reports.front();
        state.reports.pop_front();
        const int size = int(qMin<qsizetype>(report.size(), capacity));
        std::copy_n(report.constData(), size, buffer);
        return {Outcome::Report, size, 0};
    }

    bool pause(int timeoutMs) override
    {
        std::unique_lock guard(m_platform.m_lock);
        m_platform.m_readCalls.append({m_identity, true, timeoutMs});
        m_platform.m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                      [&] { return m_stopped; });
        return !m_stopped;
    }

    void stop() override
    {
        std::lock_guard guard(m_platform.m_lock);
        m_stopped = true;
        m_platform.m_changed.notify_all();
    }

private:
    FakeHidPlatform &m_platform;
    QString m_identity;
    int m_length;
    bool m_stopped = false; // guarded by the platform's lock
};

void FakeHidPlatform::plug(const Device &device, bool notify)
{
    {
        std::lock_guard guard(m_lock);
        State state;
        state.device = device;
        state.present = true;
        m_states.insert(device.identity, state);
        m_order.removeAll(device.identity);
        m_order.append(device.identity);
        m_changed.notify_all();
    }
    if (notify)
        Q_EMIT devicesChanged();
}

void FakeHidPlatform::unplug(const QString &identity, bool notify)
{
    {
        std::lock_guard guard(m_lock);
        m_states[identity].present = false;
        m_order.removeAll(identity);
        m_changed.notify_all();
    }
    if (notify)
        Q_EMIT devicesChanged();
}

void FakeHidPlatform::queueReport(const QString &identity, const QByteArray &report)
{
    std::lock_guard guard(m_lock);
    m_states[identity].reports.push_back(report);
    m_changed.notify_all();
}

void FakeHidPlatform::refuseReads(const QString &identity, quint32 error)
{
    std::lock_guard guard(m_lock);
    m_states[identity].refuse = error;
    m_changed.notify_all();
}

void FakeHidPlatform::setFeatureReportsFail(const QString &identity, bool fail)
{
    std::lock_guard guard(m_lock);
    m_states[identity].device.featureReportsFail = fail;
}

void FakeHidPlatform::setReadWrite(const QString &identity, bool readWrite)
{
    std::lock_guard guard(m_lock);
    m_states[identity].device.readWrite = readWrite;
}

void FakeHidPlatform::setStrings(const QString &identity, const QString &product,
                                 const QString &serial, const QString &languages)
{
    std::lock_guard guard(m_lock);
    Device &device = m_states[identity].device;
    device.product = product;
    device.serial = serial;
    device.languages = languages;
}

QList<QByteArray> FakeHidPlatform::featureReportsSent(const QString &identity) const
{
    std::lock_guard guard(m_lock);
    return m_states.value(identity).featureReports;
}

int FakeHidPlatform::queuedReports(const QString &identity) const
{
    std::lock_guard guard(m_lock);
    const auto it = m_states.constFind(identity);
    return it == m_states.cend() ? 0 : int(it->reports.size());
}

int FakeHidPlatform::openHandles(const QString &identity) const
{
    std::lock_guard guard(m_lock);
    return m_states.value(identity).handles;
}

int FakeHidPlatform::openChannels(const QString &identity) const
{
    std::lock_guard guard(m_lock);
    return m_states.value(identity).channels;
}

int FakeHidPlatform::channelsOpened(const QString &identity) const
{
    std::lock_guard guard(m_lock);
    return m_states.value(identity).channelsOpened;
}

QList<FakeHidPlatform::ReadCall> FakeHidPlatform::readCalls() const
{
    std::lock_guard guard(m_lock);
    return m_readCalls;
}

int FakeHidPlatform::refusedReads(const QString &identity) const
{
    std::lock_guard guard(m_lock);
    return m_states.value(identity).refused;
}

FakeHidPlatform::State *FakeHidPlatform::byPath(const QString &path)
{
    for (const QString &identity : std::as_const(m_order)) {
        State &state = m_states[identity];
        if (state.present && state.device.path == path)
            return &state;
    }
    return nullptr;
}

QList<HidPlatform::Interface> FakeHidPlatform::listInterfaces()
{
    std::lock_guard guard(m_lock);
    QList<Interface> found;
    for (const QString &identity : std::as_const(m_order)) {
        const Device &device = m_states[identity].device;
        found.append({device.path, device.identity, device.vendorId, device.productId});
    }
    return found;
}

std::unique_ptr<HidHandle> FakeHidPlatform::open(const QString &path, quint32 *error)
{
    std::lock_guard guard(m_lock);
    State *state = byPath(path);
    if (!state || !state->device.opens) {
        if (error)
            *error = 2;
        return nullptr;
    }
    ++state->handles;
    return std::make_unique<FakeHidHandle>(*this, state->device.identity, state->device.readWrite);
}

std::unique_ptr<HidReadChannel> FakeHidPlatform::openReadChannel(const QString &path)
{
    QString identity;
    int length = 65;
    {
        std::lock_guard guard(m_lock);
        if (State *state = byPath(path)) {
            identity = state->device.identity;
            length = state->device.inputReportLength;
        }
    }
    return std::make_unique<FakeHidReadChannel>(*this, identity, length);
}

QString FakeHidPlatform::errorText(quint32 error) const
{
    return QStringLiteral("fake error %1").arg(error);
}
