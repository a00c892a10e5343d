#pragma once

#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"
#include "support/FileBytes.h"
#include "support/MeterBytes.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>
#include <optional>

// Every field of the row but its time, which the window takes from its test clock.
inline QString rowText(const ReadingTable::Row &r)
{
    return QStringList {r.text(ReadingTable::No),  r.dcAc, r.value, r.unit, r.range, r.autoText,
                        r.text(ReadingTable::Nval)}
        .join(u'|');
}

inline QStringList rowTexts(const ReadingTable &table)
{
    QStringList rows;
    for (qsizetype i = 0; i < table.rowCount(); ++i)
        rows.append(rowText(table.row(i)));
    return rows;
}

inline std::optional<ReadingTable> loadTable(const QString &path)
{
    ReadingTable table;
    if (!TableFiles::load(table, path))
        return std::nullopt;
    return table;
}

// Readings as the meter sends them, a line feed first so the first is a whole frame.
inline QByteArray meterReadings(const QList<const char *> &nibbles)
{
    QByteArray bytes("\n");
    for (const char *n : nibbles)
        bytes += meterReading(n);
    return bytes;
}

// The real meterlog executable, run to its end or watched while it runs.
struct MeterlogResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline QString meterlogPath()
{
    return QString::fromUtf8(METERLOG_PATH);
}

inline MeterlogResult runMeterlog(const QStringList &arguments,
                                  const QProcessEnvironment &environment
                                  = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(meterlogPath(), arguments);
    MeterlogResult result;
    result.finished = p.waitForFinished(120'000) && p.exitStatus() == QProcess::NormalExit;
    result.exitCode = p.exitCode();
    result.out = p.readAllStandardOutput();
    result.err = p.readAllStandardError();
    return result;
}

inline QList<QJsonObject> jsonLines(const QByteArray &out)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            objects.append(QJsonDocument::fromJson(line).object());
    }
    return objects;
}

// A meterlog run whose --json lines are read as they come.
class LiveMeterlog
{
public:
    explicit LiveMeterlog(const QStringList &arguments,
                          const QProcessEnvironment &environment
                          = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(meterlogPath(), arguments);
    }
    ~LiveMeterlog()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10'000);
        }
    }

    QProcess &process() { return m_process; }
    bool started() { return m_process.waitForStarted(10'000); }

    // Every line printed so far, parsed.
    const QList<QJsonObject> &lines()
    {
        m_pending += m_process.readAllStandardOutput();
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            m_lines.append(QJsonDocument::fromJson(m_pending.left(end)).object());
            m_pending.remove(0, end + 1);
        }
        return m_lines;
    }
    // Lines of frames that became rows.
    QList<QJsonObject> recorded()
    {
        QList<QJsonObject> rows;
        for (const QJsonObject &o : lines()) {
            if (o.value(u"recorded"_qs).toBool())
                rows.append(o);
        }
        return rows;
    }
    bool finish()
    {
        const bool done
            = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(60'000);
        lines();
        m_err += m_process.readAllStandardError();
        return done && m_process.exitStatus() == QProcess::NormalExit;
    }
    int exitCode() const { return m_process.exitCode(); }
    const QByteArray &err() const { return m_err; }

private:
    QProcess m_process;
    QByteArray m_pending;
    QList<QJsonObject> m_lines;
    QByteArray m_err;
};
