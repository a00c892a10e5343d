#pragma once

#include "links/bridge/BridgeLibrary.h"

#include <QLibrary>
#include <QStringList>
#include <QTest>
#include <cstddef>
#include <cstdint>

// The control functions of the stand-in bridge library, resolved from the same file the link
// loads through METERLINK_SIUSBXP, so both see one library.
class FakeSi
{
public:
    explicit FakeSi(const char *path)
        : m_path(path)
        , m_library(QString::fromLocal8Bit(path))
    {
    }

    // In initTestCase().
    void load()
    {
        QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
        resolve("FakeSi_Reset", reset);
        resolve("FakeSi_SetDeviceCount", setDeviceCount);
        resolve("FakeSi_SetStatus", setStatus);
        resolve("FakeSi_QueueRead", queueRead);
        resolve("FakeSi_WaitForBlockedRead", waitForBlockedRead);
        resolve("FakeSi_ReleaseRead", releaseRead);
        resolve("FakeSi_CallLog", m_callLog);
        resolve("FakeSi_Errors", m_errors);
    }
    // In init(): a fresh fake, loaded by the link from its path.
    void use()
    {
        reset();
        qputenv(BridgeLibrary::EnvironmentVariable, m_path);
    }

    // A read that places `byte`.
    void queueByte(int byte, bool block = false) { queueRead(byte, 0, 1, block); }
    void queueText(const QByteArray &bytes)
    {
        for (const char c : bytes)
            queueByte(quint8(c));
    }
    // A read that returns `status` and no byte.
    void queueFailure(std::int32_t status) { queueRead(0, status, 0, false); }

    QStringList callLog() const { return lines(m_callLog); }
    QStringList errors() const { return lines(m_errors); }

    void (*reset)() = nullptr;
    void (*setDeviceCount)(std::uint32_t) = nullptr;
    bool (*setStatus)(const char *, std::int32_t) = nullptr;
    void (*queueRead)(int, std::int32_t, std::uint32_t, bool) = nullptr;
    void (*waitForBlockedRead)() = nullptr;
    void (*releaseRead)() = nullptr;

private:
    template<class Fn> void resolve(const char *name, Fn &target)
    {
        target = reinterpret_cast<Fn>(m_library.resolve(name));
        QVERIFY2(target, name);
    }
    static QStringList lines(std::size_t (*get)(char *, std::size_t))
    {
        QByteArray text(qsizetype(get(nullptr, 0)) + 1, '\0');
        get(text.data(), std::size_t(text.size()));
        text.chop(1);
        return QString::fromLatin1(text).split(u'\n', Qt::SkipEmptyParts);
    }

    QByteArray m_path;
    QLibrary m_library;
    std::size_t (*m_callLog)(char *, std::size_t) = nullptr;
    std::size_t (*m_errors)(char *, std::size_t) = nullptr;
};
