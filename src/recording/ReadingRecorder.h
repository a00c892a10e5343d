#pragma once

#include "meter/FrameDecoder.h"
#include "recording/ReadingTable.h"
#include "recording/ReadingTableModel.h"
#include "recording/RecordStep.h"

#include <QObject>

class ChartControl;
class QAction;
struct FormControls;
struct RunState;
struct Services;

// The record step and its commands: the record limit of the Record menu and New.
class ReadingRecorder : public QObject
{
    Q_OBJECT
public:
    ReadingRecorder(FormControls &controls, RunState &state, Services &services,
                    ChartControl &chart);

    void N10001Click();
    void N50001Click();
    void N100001Click();
    void N500001Click();
    void N1000001Click();
    void limitessClick();
    void RecordNewClick();

    // The record step: appends the current reading when the limit, the sampling countdown and
    // the Repeat rule allow. Fails only when the interval edit holds no number.
    FrameDecoder::Result INDataToTable();

    ReadingTable &table() { return m_table; }
    ReadingTableModel &model() { return m_model; }
    // Reloads the sampling countdown from the interval edit (empty, "-" or "+" count as 0).
    FrameDecoder::Result reloadSampleCountdown();
    // The Sampling Interval and Repeat boxes and the interval text, as the record step reads them.
    RecordSwitches switches() const;
    // Appends a row outside the record rules (the recall clock's test command).
    void appendTestRow(const ReadingTable::Row &row);

    // The table at start-up: empty and open. Closing it at exit lets its rows go.
    void createTable();
    void closeTable();

    // Rows recorded since the table was last saved, loaded or emptied by New.
    bool hasUnsavedRows() const { return m_unsaved; }
    void markSaved() { m_unsaved = false; }

Q_SIGNALS:
    // The record step has just taken a row (and reloaded the sampling countdown).
    void rowRecorded();

private:
    void setRecordLimit(QAction *item, qint32 limit);
    QTime recordTime() const;
    void followNewestRow();
    void stopOnFullMemory();

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    ChartControl &m_chart;
    ReadingTable m_table;
    ReadingTableModel m_model {m_table};
    bool m_unsaved = false;
    bool m_memoryFull = false;
};
