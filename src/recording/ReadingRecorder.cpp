#include "recording/ReadingRecorder.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "chart/ChartControl.h"
#include "support/Prompts.h"

#include <QAction>
#include <QToolButton>

ReadingRecorder::ReadingRecorder(FormControls &controls, RunState &state, Services &services,
                                 ChartControl &chart)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
    , m_chart(chart)
{
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

void ReadingRecorder::RecordNewClick()
{
    m_services.prompts.information(m_controls.FCOMM, u" Record deleted "_qs);
    m_state.counters.RecordNo = 1;
    m_state.counters.RecordedCount = 0;
    // The page indicator follows the chart back to its first page.
    m_controls.Bt10->setText(QString::number(m_chart.ClearChart()));
}
