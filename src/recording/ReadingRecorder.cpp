#include "recording/ReadingRecorder.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "chart/ChartControl.h"
#include "support/Prompts.h"

#include "support/Clock.h"
#include "support/LocaleTexts.h"
#include "support/StrictInt.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

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

ReadingRecorder::ReadingRecorder(FormControls &controls, RunState &state, Services &services,
                                 ChartControl &chart)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
    , m_chart(chart)
{
    QTableView *grid = m_controls.DBGrid1;
    grid->setVerticalHeader(new RowIndicator(grid));
    QAbstractItemModel *titles = grid->model();
    grid->setModel(&m_model);
    delete titles;
    // Every row is one text line high: the grid never measures rows, whatever their number.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

void ReadingRecorder::setRecordLimit(QAction *item, qint32 limit)
{
    m_state.counters.RecordLimit = limit;
    for (QAction *a : {m_controls.N10001, m_controls.N50001, m_controls.N100001,
                       m_controls.N500001, m_controls.N1000001, m_controls.limitess})
        a->setChecked(a == item);
}

void ReadingRecorder::N10001Click()
{
    setRecordLimit(m_controls.N10001, 1000);
}

void ReadingRecorder::N50001Click()
{
    setRecordLimit(m_controls.N50001, 5000);
}

void ReadingRecorder::N100001Click()
{
    setRecordLimit(m_controls.N100001, 10000);
}

void ReadingRecorder::N500001Click()
{
    setRecordLimit(m_controls.N500001, 50000);
}

void ReadingRecorder::N1000001Click()
{
    setRecordLimit(m_controls.N1000001, 100000);
}

void ReadingRecorder::limitessClick()
{
    // "limitless" is a large bound, not an unbounded table.
    setRecordLimit(m_controls.limitess, 10000000);
}

FrameDecoder::Result ReadingRecorder::reloadSampleCountdown()
{
    const QString text = m_controls.RecordSITime->text();
    if (text.isEmpty() || text == u"-" || text == u"+") {
        m_state.SampleCountdown = 0;
        return {};
    }
    const std::optional<qint32> value = strictToInt(text);
    if (!value)
        return ConversionError{text};
    m_state.SampleCountdown = *value;
    return {};
}

FrameDecoder::Result ReadingRecorder::INDataToTable()
{
    RecordCounters &c = m_state.counters;
    if (c.RecordedCount >= c.RecordLimit)
        return {};
    if (m_controls.RecordSI->isChecked() && m_state.SampleCountdown != 0)
        return {};
    const Reading &r = m_state.reading;
    const QString key = r.readingKey();
    if (!m_controls.RepeatSet->isChecked() && key == c.LastRecordKey)
        return {};
    c.LastRecordKey = key;
    if (FrameDecoder::Result failure = reloadSampleCountdown())
        return failure;
    ++c.RecordedCount;

    ReadingTable::Row row;
    row.value = r.valueText;
    row.nval = qint32(r.numericValue);
    row.time = LocaleTexts::recordTimeText(m_services.clock.now().time(),
                                           m_state.TimeSeparatorText);
    row.no = c.RecordNo;
    row.dcAc = r.functionText;
    row.unit = r.unitText;
    row.autoText = r.autoText;
    row.range = r.rangeText;
    ++c.RecordNo;
    m_table.append(row);
    followNewestRow();
    return {};
}

void ReadingRecorder::followNewestRow()
{
    m_model.rowsAppended();
    QTableView *grid = m_controls.DBGrid1;
    const QModelIndex last = m_model.index(m_model.rowCount() - 1, 0);
    grid->selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect
                                                      | QItemSelectionModel::Rows);
    grid->scrollTo(last);
}

void ReadingRecorder::RecordNewClick()
{
    m_services.prompts.information(m_controls.FCOMM, u" Record deleted "_qs);
    if (m_table.rowCount() > 0) {
        m_table.clear();
        m_model.tableReset();
    }
    m_state.counters.RecordNo = 1;
    m_state.counters.RecordedCount = 0;
    // The page indicator follows the chart back to its first page.
    m_controls.Bt10->setText(QString::number(m_chart.ClearChart()));
}
