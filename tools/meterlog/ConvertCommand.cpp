#include "ConvertCommand.h"

#include "ExitCodes.h"
#include "recording/ReadingTable.h"
#include "recording/RecordJournal.h"
#include "recording/TableFiles.h"
#include "recording/TableReport.h"
#include "support/SafeFileWriter.h"

#include <cstdio>

namespace {

int complain(int exitCode, const QString &message)
{
    std::fprintf(stderr, "meterlog: %s\n", message.toLocal8Bit().constData());
    return exitCode;
}

// The table writers name the file in their reasons already.
QString cannotWrite(const QString &path, const QString &reason)
{
    return reason.contains(path) ? reason : QString(u"cannot write "_qs + path + u": "_qs + reason);
}

} // namespace

bool isReportName(const QString &path)
{
    return path.endsWith(u".pdf"_qs, Qt::CaseInsensitive);
}

int convertTableFile(const QString &in, const QString &out)
{
    ReadingTable table;
    QString error;
    if (!TableFiles::load(table, in, &error))
        return complain(ExitCode::InputUnreadable, u"Failed to Load File! "_qs + error);

    if (!isReportName(out)) {
        if (!TableFiles::save(table, out, &error))
            return complain(ExitCode::OutputUnwritable, cannotWrite(out, error));
        return ExitCode::Done;
    }
    // As in the window, the report is not printed for an empty table.
    if (table.rowCount() == 0)
        return complain(ExitCode::InputUnreadable,
                        u"the table in "_qs + in + u" is empty: no report is written"_qs);
    // Through the same writer as the table files: a failed report leaves no torn PDF, and a
    // pipe or device gets the document itself.
    SafeFileWriter file(out);
    if (!file.open())
        return complain(ExitCode::OutputUnwritable,
                        u"cannot write "_qs + out + u": "_qs + file.reason());
    if (!TableReport::writePdf(table, file.device(), &error))
        return complain(ExitCode::OutputUnwritable, u"cannot write "_qs + out + u": "_qs + error);
    if (!file.commit())
        return complain(ExitCode::OutputUnwritable,
                        u"cannot write "_qs + out + u": "_qs + file.reason());
    return ExitCode::Done;
}

int recoverJournal(const QString &journal, const QString &out)
{
    ReadingTable table;
    QString readError;
    const bool whole = RecordJournal::read(table, journal, &readError);
    if (!whole && table.rowCount() == 0)
        return complain(ExitCode::InputUnreadable, u"cannot recover "_qs + readError);
    QString error;
    if (!TableFiles::save(table, out, &error))
        return complain(ExitCode::OutputUnwritable, cannotWrite(out, error));
    if (!whole)
        return complain(ExitCode::InputUnreadable,
                        u"the "_qs + QString::number(table.rowCount())
                            + u" rows before a damaged line are written to "_qs + out + u"; "_qs
                            + readError);
    return ExitCode::Done;
}
