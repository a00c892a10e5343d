#pragma once

#include <QByteArrayView>
#include <QString>
#include <memory>

class QFileDevice;

// Writes a file so that the target changes only once everything has been written: the bytes go
// to a temporary file in the same folder, which replaces the target on commit(). A target that
// is a device (no folder entry to replace) is written directly, and every write is checked.
class SafeFileWriter
{
public:
    explicit SafeFileWriter(const QString &path);
    ~SafeFileWriter();

    bool open();
    bool write(QByteArrayView bytes);
    bool commit();
    // Why the last step failed, naming the file.
    const QString &errorString() const { return m_error; }

private:
    bool fail(const QString &reason);

    QString m_path;
    std::unique_ptr<QFileDevice> m_file;
    bool m_direct = false;
    QString m_error;
};
