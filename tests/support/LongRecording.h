#pragma once

#include "recording/ReadingTable.h"

// Rows as a long recording leaves them, for putting straight into a table: DCV in the 4 V range,
// values counting up to 3999 and round again.
inline ReadingTable::Row longRecordingRow(qint32 no)
{
    ReadingTable::Row row;
    row.no = no;
    row.time = QStringLiteral("12:00:00");
    row.dcAc = QStringLiteral("DCV");
    row.value = QString::number((no - 1) % 4000);
    row.unit = QStringLiteral("V");
    row.range = QStringLiteral("4 V");
    row.autoText = QStringLiteral("Auto");
    row.nval = (no - 1) % 4000;
    return row;
}

// Appends rows numbered from 1 up to rows; the grid is not told of them.
inline void fillLongRecording(ReadingTable &table, qint64 rows)
{
    for (qint64 no = 1; no <= rows; ++no)
        table.append(longRecordingRow(qint32(no)));
}
