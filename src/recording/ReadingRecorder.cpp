#include "recording/ReadingRecorder.h"

#include "chart/ChartControl.h"
#include "recording/GridCellDelegate.h"
#include "recording/ReadingGrid.h"
#include "support/Clock.h"
#include "support/Prompts.h"
#include "support/ReadingBatch.h"

#include <QAction>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtMath>
#include <algorithm>

namespace {

// The grid's row indicator: a narrow strip of fixed width. The standard header measures the
// texts of its sections whenever the grid lays out, which costs more with every row added.
class RowIndicator : public QHeaderView
{
public:
    explicit RowIndicator(QWidget *parent)
        : QHeaderView(Qt::Vertical, parent)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setDefaultSectionSize(18);
        setFixedWidth(12);
    }
    QSize sizeHint() const override { return {12, defaultSectionSize()}; }
};

} // namespace

ReadingRecorder::ReadingRecorder(const Controls &controls, RecordState &state, Prompts &prompts,
                                 Clock &clock, ChartControl &chart)
    : m_controls(controls)
    , m_state(state)
    , m_prompts(prompts)
    , m_clock(clock)
    , m_chart(chart)
{
    QTableView *grid = m_controls.DBGrid1;
    grid->setVerticalHeader(new RowIndicator(grid));
    QAbstractItemModel *titles = gridTable(grid);
    grid->setModel(&m_model);
    delete titles;
    grid->setItemDelegate(new GridCellDelegate(grid));
    // Every row is one text line high: the grid never measures rows, whatever their number.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    fitTitles();
    // The "No" column fits the longest number held, measured only when that length changes.
    m_numberColumnWidth = grid->columnWidth(0);
    m_fittedNumberWidth = m_numberColumnWidth;
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &ReadingRecorder::fitNumberColumn);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ReadingRecorder::fitNumberColumn);

    m_rules.setSwitchesSource([this] { return switches(); });
    m_rules.setTick(m_controls.Trecord);
    m_rules.onRowRecorded = [this] {
        rowTaken();
    };
    m_rules.onMemoryFull = [this] {
        stopOnFullMemory();
    };
    m_rules.onLimitReached = [this] {
        sayLimitReached();
    };
    m_rules.setJournal(&m_journal);
    m_journal.onFailed = [this](const QString &reason) {
        showJournalNotice(reason);
    };
}

QString ReadingRecorder::limitReachedText(qint32 limit)
{
    return u"The record limit of %1 rows is reached; choose a larger limit in the Record menu "
           "or press New to start a new table."_qs.arg(limit);
}

ReadingRecorder::~ReadingRecorder()
{
    m_journal.discard();
}

void ReadingRecorder::markSaved()
{
    m_unsaved = false;
    m_journal.discard();
}

void ReadingRecorder::showJournalNotice(const QString &reason)
{
    // A notice the reading path never waits on: recording goes on behind it.
    m_prompts.notice(m_controls.dialogParent,
                     u"Recording goes on, but the rows are no longer kept safe against a crash "
                     "until the table is saved. The journal could not be written ("_qs
                         + reason + u")."_qs);
}

void ReadingRecorder::offerJournalRestore()
{
    std::vector<RecordJournal::Leftover> leftovers
        = RecordJournal::findLeftovers(m_journal.folder());
    if (leftovers.empty())
        return;
    qsizetype rows = 0;
    for (const RecordJournal::Leftover &l : leftovers)
        rows += l.rows();
    const QLocale locale;
    const QString when = locale.toString(leftovers.back().lastModified(), QLocale::ShortFormat);
    const QString runs = leftovers.size() == 1
        ? QString(u"A recording that ended without being saved (last row at "_qs + when + u')')
        : QString::number(leftovers.size())
            + u" recordings that ended without being saved (the last at "_qs + when + u")"_qs;
    const QString question = runs + u" left "_qs + QString::number(rows)
        + (rows == 1 ? u" row"_qs : u" rows"_qs)
        + u".\nRestore them into the table? No deletes them."_qs;
    if (!m_prompts.question(m_controls.dialogParent, question)) {
        for (RecordJournal::Leftover &l : leftovers)
            l.remove();
        return;
    }
    restoreLeftovers(leftovers);
}

void ReadingRecorder::restoreLeftovers(std::vector<RecordJournal::Leftover> &leftovers)
{
    RecordCounters &counters = m_state.counters;
    QStringList unreadable;
    for (RecordJournal::Leftover &leftover : leftovers) {
        ReadingTable rows;
        QString error;
        const bool whole = RecordJournal::read(rows, leftover.path(), &error);
        bool stored = true;
        for (qsizetype i = 0; i < rows.rowCount() && stored; ++i) {
            const ReadingTable::Row row = rows.row(i);
            // As if recorded now: counted, journalled again, and numbered on from the last.
            stored = m_rules.appendOutsideRules(row);
            if (!stored)
                break;
            ++counters.RecordedCount;
            if (row.no && *row.no >= counters.RecordNo)
                counters.RecordNo = *row.no + 1;
        }
        if (rows.rowCount() > 0)
            m_unsaved = true;
        if (!stored)
            break; // memory ran short; the rest stays on disk for a later run
        if (whole) {
            // The rows are in this run's own journal before the old one goes.
            m_journal.sync();
            leftover.remove();
        } else {
            // Not offered again with the same rows; kept for whoever wants to look.
            m_journal.sync();
            leftover.setAside();
            unreadable.append(error + u" (kept as "_qs + leftover.path() + u')');
        }
    }
    m_model.rowsAppended();
    if (m_table.rowCount() > 0)
        followNewestRow();
    if (!unreadable.isEmpty())
        m_prompts.information(m_controls.dialogParent,
                              u"The rows before a damaged line were restored:\n"_qs
                                  + unreadable.join(u'\n'));
}

void ReadingRecorder::setRecordLimit(QAction *item, qint32 limit)
{
    m_state.counters.RecordLimit = limit;
    for (QAction *a : m_controls.limitItems)
        a->setChecked(a == item);
}

void ReadingRecorder::N10001Click()
{
    setRecordLimit(m_controls.limitItems[0], 1000);
}

void ReadingRecorder::N50001Click()
{
    setRecordLimit(m_controls.limitItems[1], 5000);
}

void ReadingRecorder::N100001Click()
{
    setRecordLimit(m_controls.limitItems[2], 10000);
}

void ReadingRecorder::N500001Click()
{
    setRecordLimit(m_controls.limitItems[3], 50000);
}

void ReadingRecorder::N1000001Click()
{
    setRecordLimit(m_controls.limitItems[4], 100000);
}

void ReadingRecorder::limitessClick()
{
    // "limitless" is a large bound, not an unbounded table.
    setRecordLimit(m_controls.limitItems[5], 10000000);
}

std::optional<ConversionError> ReadingRecorder::reloadSampleCountdown()
{
    return m_rules.reloadCountdown(m_controls.RecordSITime->text());
}

RecordSwitches ReadingRecorder::switches() const
{
    return {m_controls.RecordSI->isChecked(), m_controls.RepeatSet->isChecked(),
            m_controls.RecordSITime->text()};
}

QTime ReadingRecorder::recordTime() const
{
    return m_controls.RecallCheck->isChecked() ? m_state.RecallTime : m_clock.now().time();
}

void ReadingRecorder::rowTaken()
{
    m_unsaved = true;
    // The grid takes in the rows of frames that came together, and follows them, once.
    ReadingBatch::atEnd(this, [this] { followNewestRow(); });
}

void ReadingRecorder::stopOnFullMemory()
{
    // Shown after the reading's handler has returned, like every report from a link's handler.
    QTimer::singleShot(0, this, [this] {
        m_prompts.information(
            m_controls.dialogParent,
            u"Not enough memory for more rows: recording has stopped. Save the table, then "
            "press New to record again."_qs);
    });
}

void ReadingRecorder::sayLimitReached()
{
    // Not modal, and after the reading's handler: the readings go on meanwhile (the chart
    // still takes them).
    QTimer::singleShot(0, this, [this, limit = m_state.counters.RecordLimit] {
        m_prompts.notice(m_controls.dialogParent, limitReachedText(limit));
    });
}

void ReadingRecorder::appendTestRow(const ReadingTable::Row &row)
{
    if (!m_rules.appendOutsideRules(row))
        return;
    m_unsaved = true;
    followNewestRow();
}

void ReadingRecorder::followNewestRow()
{
    // As a terminal does: the grid follows the newest row while the user is at the bottom, and
    // leaves the view and the selection alone while they look at older rows.
    QTableView *grid = m_controls.DBGrid1;
    const QScrollBar *bar = grid->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    // The scroll bars repaint once for the new row and the move to it, not once for each.
    auto *readingGrid = dynamic_cast<ReadingGrid *>(grid);
    if (readingGrid) {
        readingGrid->holdScrollBars();
        readingGrid->setFollowsAppendedRows(atBottom);
    }
    m_model.rowsAppended();
    if (atBottom) {
        const QModelIndex last = gridIndex(grid, m_model.index(m_model.rowCount() - 1, 0));
        grid->selectionModel()->setCurrentIndex(
            last, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        grid->scrollTo(last);
    }
    if (readingGrid) {
        readingGrid->setFollowsAppendedRows(false);
        readingGrid->releaseScrollBars();
    }
}

void ReadingRecorder::fitTitles()
{
    // A column is at least as wide as its title between the header's margins.
    QTableView *grid = m_controls.DBGrid1;
    QHeaderView *header = grid->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int i = 0; i < m_model.columnCount(); ++i) {
        const QVariant font = m_model.headerData(i, Qt::Horizontal, Qt::FontRole);
        const QFontMetricsF fm(font.isValid() ? font.value<QFont>() : header->font());
        const QString title = m_model.headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
        const int needed = qCeil(fm.horizontalAdvance(title)) + 2 * margin;
        if (grid->columnWidth(i) < needed)
            grid->setColumnWidth(i, needed);
    }
}

void ReadingRecorder::fitNumberColumn()
{
    const QString widest = m_model.widestNumber();
    if (widest.size() == m_fittedNumberLength)
        return;
    m_fittedNumberLength = int(widest.size());
    // The text as the cell shows it: the style's margins on both sides and the grid line.
    QTableView *grid = m_controls.DBGrid1;
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const int text = qCeil(QFontMetricsF(grid->font()).horizontalAdvance(widest));
    const int needed
        = std::max(m_numberColumnWidth, text + 2 * margin + (grid->showGrid() ? 1 : 0));
    // A width the user chose stays unless the number no longer fits in it.
    const int now = grid->columnWidth(0);
    if (now < needed || now == m_fittedNumberWidth)
        grid->setColumnWidth(0, needed);
    m_fittedNumberWidth = needed;
}

void ReadingRecorder::RecordNewClick()
{
    m_prompts.information(m_controls.dialogParent, u" Record deleted "_qs);
    if (m_table.rowCount() > 0) {
        m_table.clear();
        m_model.tableReset();
    }
    m_state.counters.RecordNo = 1;
    m_state.counters.RecordedCount = 0;
    m_unsaved = false;
    m_journal.discard();
    m_rules.clearMemoryFull();
    // The page indicator follows the chart back to its first page.
    m_controls.Bt10->setText(QString::number(m_chart.ClearChart()));
}

void ReadingRecorder::createTable()
{
    m_table.clear();
    m_model.tableReset();
    m_unsaved = false;
    m_journal.discard();
}

void ReadingRecorder::closeTable()
{
    createTable();
}
