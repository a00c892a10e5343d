#include "recording/TableFiles.h"

#include "recording/FileScanning.h"
#include "support/ShownText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool FileScanning::readWholeFile(const QString &path, QByteArray &bytes, QString *error)
{
    const auto failed = [&](const QString &reason) {
        if (error)
            *error = QString(u"Could not read "_qs
                             + ShownText::escaped(QDir::toNativeSeparators(path), 4096) + u": "_qs
                             + reason);
        return false;
    };
    const QFileInfo info(path);
    if (info.isDir())
        return failed(u"it is a folder"_qs);
    // A device or a pipe may never end (/dev/zero): only a file of known size is read whole.
    if (info.exists() && !info.isFile())
        return failed(u"it is not a regular file"_qs);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(file.errorString());
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failed(file.errorString());
    return true;
}

namespace {

// Only the last component has an extension: "dir.xml/data" is a text file.
bool hasExtension(const QString &path, QStringView extension)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView name = QStringView(path).mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.mid(dot) == extension;
}

} // namespace

bool TableFiles::isXmlName(const QString &path)
{
    return hasExtension(path, u".xml");
}

bool TableFiles::isCsvName(const QString &path)
{
    return hasExtension(path, u".csv");
}

bool TableFiles::save(const ReadingTable &table, const QString &path, QString *error)
{
    if (isXmlName(path))
        return saveXml(table, path, error);
    return isCsvName(path) ? saveCsv(table, path, error) : saveText(table, path, error);
}

bool TableFiles::load(ReadingTable &table, const QString &path, QString *error)
{
    if (isXmlName(path))
        return loadXml(table, path, error);
    QByteArray bytes;
    if (!FileScanning::readWholeFile(path, bytes, error))
        return false;
    if (readText(table, bytes, error))
        return true;
    if (error && isCsvName(path))
        *error += u" (CSV files are written for spreadsheets, not read back: open the table's "
                  ".xls, .txt or .xml file)"_qs;
    return false;
}

bool TableFiles::loadText(ReadingTable &table, const QString &path, QString *error)
{
    QByteArray bytes;
    return FileScanning::readWholeFile(path, bytes, error) && readText(table, bytes, error);
}

bool TableFiles::loadXml(ReadingTable &table, const QString &path, QString *error)
{
    QByteArray bytes;
    return FileScanning::readWholeFile(path, bytes, error) && readXml(table, bytes, error);
}
