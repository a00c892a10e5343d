#include "recording/TablePrinter.h"

#include "recording/ReadingGrid.h"
#include "recording/ReadingTable.h"
#include "recording/TableReport.h"
#include "support/Prompts.h"

#include <QPrinter>
#include <QTableView>

TablePrinter::TablePrinter(const Controls &controls, Prompts &prompts, const ReadingTable &table)
    : m_controls(controls)
    , m_prompts(prompts)
    , m_table(table)
{
}

void TablePrinter::MajPrintClick()
{
    // Readings keep arriving while the preview is open; the report holds the rows recorded
    // before the command and leaves the grid's selection alone.
    const qsizetype rows = m_table.rowCount();
    // The report is not printed for an empty table: no preview, no job.
    if (rows == 0)
        return;
    const ReadingTable &table = m_table;
    m_prompts.printPreview(m_controls.dialogParent, [&table, rows](QPrinter *printer) {
        printer->setCopyCount(1);
        printer->setDuplex(QPrinter::DuplexNone);
        printer->setPrintRange(QPrinter::AllPages);
        TableReport::paint(*printer, table, rows);
    });

    // Back to the row the grid was following.
    QTableView *grid = m_controls.DBGrid1;
    if (grid && gridCurrentIndex(grid).isValid())
        grid->scrollTo(grid->currentIndex());
}
