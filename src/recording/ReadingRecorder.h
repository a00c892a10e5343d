#pragma once

#include "recording/ReadingTable.h"
#include "recording/ReadingTableModel.h"
#include "recording/RecordJournal.h"
#include "recording/RecordState.h"
#include "recording/TableRecorder.h"
#include "support/ConversionError.h"

#include <QObject>
#include <array>
#include <optional>

class ChartControl;
class Clock;
class Prompts;
class QAction;
class QCheckBox;
class QLineEdit;
class QTableView;
class QTimer;
class QToolButton;
class QWidget;

// The window's reading table: the record rules fed from the function board's switches, the grid
// that follows the newest row, and the commands of the Record menu and New.
class ReadingRecorder : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        QTableView *DBGrid1 = nullptr;
        QCheckBox *RecordSI = nullptr;
        QCheckBox *RepeatSet = nullptr;
        QLineEdit *RecordSITime = nullptr;
        QCheckBox *RecallCheck = nullptr;
        QTimer *Trecord = nullptr;
        QToolButton *Bt10 = nullptr; // the chart's page indicator
        // N10001 .. N1000001 and limitess, in menu order.
        std::array<QAction *, 6> limitItems {};
    };

    ReadingRecorder(const Controls &controls, RecordState &state, Prompts &prompts, Clock &clock,
                    ChartControl &chart);
    // The window closes in order (the user confirmed, or nothing was unsaved): the journal goes.
    ~ReadingRecorder() override;

    void N10001Click();
    void N50001Click();
    void N100001Click();
    void N500001Click();
    void N1000001Click();
    void limitessClick();
    void RecordNewClick();

    TableRecorder &rules() { return m_rules; }
    ReadingTable &table() { return m_table; }
    ReadingTableModel &model() { return m_model; }
    // Reloads the sampling countdown from the interval edit (empty, "-" or "+" count as 0).
    std::optional<ConversionError> reloadSampleCountdown();
    // The time of day a row taken now carries: the recall clock's while "RecallData" is checked.
    QTime recordTime() const;
    // Appends a row outside the record rules (the recall clock's test command).
    void appendTestRow(const ReadingTable::Row &row);

    // The table at start-up: empty and open. Closing it at exit lets its rows go.
    void createTable();
    void closeTable();

    // Rows recorded since the table was last saved, loaded or emptied by New.
    bool hasUnsavedRows() const { return m_unsaved; }
    // The rows are in a file now: the journal of unsaved rows goes.
    void markSaved();

    // Unsaved rows kept on disk while they are recorded.
    RecordJournal &journal() { return m_journal; }
    // Journals left by runs that ended without saving: one question, then their rows are added
    // to the table as unsaved rows (Yes) or the journals are deleted (No). Asks nothing when
    // there are none.
    void offerJournalRestore();

    // The note shown, once per reach, when the table is at its record limit.
    static QString limitReachedText(qint32 limit);

private:
    void setRecordLimit(QAction *item, qint32 limit);
    RecordSwitches switches() const;
    void rowTaken();
    void followNewestRow();
    void fitTitles();
    void fitNumberColumn();
    void stopOnFullMemory();
    void sayLimitReached();
    void showJournalNotice(const QString &reason);
    void restoreLeftovers(std::vector<RecordJournal::Leftover> &leftovers);

    Controls m_controls;
    RecordState &m_state;
    Prompts &m_prompts;
    Clock &m_clock;
    ChartControl &m_chart;
    ReadingTable m_table;
    ReadingTableModel m_model {m_table};
    TableRecorder m_rules {m_table, m_state.counters, m_state.SampleCountdown};
    bool m_unsaved = false;
    RecordJournal m_journal {u"meterlink"_qs};
    int m_numberColumnWidth = 0; // as designed: the least the "No" column is given
    int m_fittedNumberWidth = 0; // the width last fitted to the numbers
    int m_fittedNumberLength = 0;
};
