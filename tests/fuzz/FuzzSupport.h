#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// What the fuzz targets share: a check that stops the run with a message libFuzzer keeps next to
// the input, and a scratch file for readers that take a path.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace Fuzz {

inline QByteArrayView bytes(const uint8_t *data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A file of this process below the temporary folder, named with the given ending.
inline QString scratchPath(const char *ending)
{
    const char *dir = std::getenv("TMPDIR");
    return QString::fromLocal8Bit(dir && *dir ? dir : "/tmp") + u"/meterlink-fuzz-"_qs
        + QString::number(::getpid()) + QString::fromLatin1(ending);
}

inline QString writeScratch(const char *ending, QByteArrayView bytes)
{
    const QString path = scratchPath(ending);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes.data(), bytes.size()) == bytes.size());
    return path;
}

} // namespace Fuzz
