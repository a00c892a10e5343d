#include "recording/DataFiles.h"

#include "recording/ReadingGrid.h"
#include "recording/ReadingRecorder.h"
#include "recording/TableFiles.h"
#include "support/Prompts.h"

#include <QTableView>
#include <QWidget>

DataFiles::DataFiles(const Controls &controls, Prompts &prompts, ReadingRecorder &recorder)
    : m_controls(controls)
    , m_prompts(prompts)
    , m_recorder(recorder)
{
}

const QString &DataFiles::fileFilter()
{
    static const QString filter
        = u"Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt"_qs;
    return filter;
}

const QString &DataFiles::saveFilter()
{
    static const QString filter = fileFilter() + u"|CSV File(*.csv)|*.csv"_qs;
    return filter;
}

QString DataFiles::replaceQuestion()
{
    return u"The rows recorded are not saved. Are you ensure to replace them with the file\uFF1F"_qs;
}

void DataFiles::SpeedButton2Click()
{
    FileDialogOptions options;
    options.filter = fileFilter();
    options.fileName = m_lastOpened;
    const QString fileName = m_prompts.openFile(m_controls.dialogParent, options);
    if (fileName.isEmpty())
        return;
    m_lastOpened = fileName;

    // An XML packet replaces the rows: rows not saved yet are lost only after a Yes, as on
    // closing the window. A text file adds its rows and loses none.
    const bool xml = TableFiles::isXmlName(fileName);
    if (xml && m_recorder.hasUnsavedRows()
        && !m_prompts.question(m_controls.dialogParent, replaceQuestion()))
        return;

    // The record counters stay as they are: loaded rows keep the numbers they were saved with.
    ReadingTable &table = m_recorder.table();
    const bool loaded = TableFiles::load(table, fileName);
    // A text file that fails part way has still appended the rows before the bad line.
    if (xml && loaded)
        m_recorder.model().tableReset();
    else if (!xml)
        m_recorder.model().rowsAppended();
    if (!loaded) {
        m_prompts.error(m_controls.dialogParent, u"Failed to Load File!"_qs);
        return;
    }
    // Rows recorded before a text file was added to them are still unsaved; an XML file has
    // replaced them, and its first row is the current one.
    if (xml) {
        m_recorder.markSaved();
        showFirstRow();
    }
}

void DataFiles::saveasClick()
{
    FileDialogOptions options;
    options.filter = saveFilter();
    options.defaultExtension = u"xls"_qs;
    options.confirmOverwrite = true;
    const QString fileName = m_prompts.saveFile(m_controls.dialogParent, options);
    if (fileName.isEmpty())
        return;

    QString reason;
    const bool saved = TableFiles::save(m_recorder.table(), fileName, &reason);
    if (saved)
        m_recorder.markSaved();
    if (TableFiles::isXmlName(fileName)) {
        if (!saved)
            m_prompts.applicationError(m_controls.dialogParent, reason);
    } else if (saved) {
        m_prompts.information(m_controls.dialogParent,
                              u"save table to specified file: "_qs + fileName + u" Scuss!"_qs);
    } else {
        m_prompts.information(m_controls.dialogParent,
                              u"Could not save table to specified file: "_qs + fileName);
    }
    m_controls.dialogParent->repaint();
    showCurrentRow();
}

void DataFiles::showFirstRow()
{
    ReadingTableModel &model = m_recorder.model();
    if (model.rowCount() == 0)
        return;
    QTableView *grid = m_controls.DBGrid1;
    const QModelIndex first = gridIndex(grid, model.index(0, 0));
    grid->selectionModel()->setCurrentIndex(
        first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid->scrollTo(first);
}

// The grid shows the newest row again, as it does while recording.
void DataFiles::showCurrentRow()
{
    ReadingTableModel &model = m_recorder.model();
    if (model.rowCount() == 0)
        return;
    QTableView *grid = m_controls.DBGrid1;
    const QModelIndex last = gridIndex(grid, model.index(model.rowCount() - 1, 0));
    grid->selectionModel()->setCurrentIndex(
        last, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid->scrollTo(last);
}
