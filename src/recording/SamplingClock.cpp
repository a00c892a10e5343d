#include "recording/SamplingClock.h"

#include "meter/DisplayState.h"
#include "recording/ReadingRecorder.h"
#include "recording/RecordState.h"
#include "support/Clock.h"
#include "support/ErrorReport.h"
#include "support/LocaleTexts.h"
#include "support/Prompts.h"
#include "support/StrictInt.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

namespace {

// The edits of the start time with the largest value each may hold.
struct StartField
{
    QLineEdit *edit;
    qint32 *field;
    qint32 maximum;
};

} // namespace

SamplingClock::SamplingClock(const Controls &controls, RecordState &state,
                             const DisplayState &display, Prompts &prompts, Clock &clock,
                             ErrorReport &errors, ReadingRecorder &recorder)
    : m_controls(controls)
    , m_state(state)
    , m_display(display)
    , m_prompts(prompts)
    , m_clock(clock)
    , m_errors(errors)
    , m_recorder(recorder)
{
    m_controls.RecallCheck->installEventFilter(this);
}

void SamplingClock::report(const FrameDecoder::Result &failure)
{
    if (failure)
        m_errors.report(failure->message());
}

void SamplingClock::filterDigits(QLineEdit *edit)
{
    edit->installEventFilter(this);
}

bool SamplingClock::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched != m_controls.RecallCheck)
        return RecordSITimeKeyPress(static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::KeyRelease
        && (watched == m_controls.TimeH || watched == m_controls.TimeM
            || watched == m_controls.TimeS))
        TimeHKeyUp();
    else if (event->type() == QEvent::FocusOut && watched == m_controls.RecallCheck)
        RecallCheckExit();
    return QObject::eventFilter(watched, event);
}

void SamplingClock::RecordSITimeChange()
{
    // Whichever edit changed, the countdown comes from the interval edit.
    report(m_recorder.reloadSampleCountdown());
}

bool SamplingClock::RecordSITimeKeyPress(QKeyEvent *event)
{
    // Only keys that type a character are judged; moving the cursor or deleting stays free.
    const QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Delete || event->key() == Qt::Key_Tab
        || event->key() == Qt::Key_Backtab)
        return false;
    if (event->key() == Qt::Key_Backspace)
        return false;
    if (text.size() == 1 && text[0] >= u'0' && text[0] <= u'9')
        return false;
    m_prompts.warningCancel(m_controls.dialogParent, u"Please input number 0-9"_qs);
    return true;
}

void SamplingClock::RecordSIClick()
{
    if (m_controls.RecordSI->isChecked())
        m_controls.Trecord->start();
    else
        m_controls.Trecord->stop();
}

void SamplingClock::TrecordTimer()
{
    m_recorder.rules().tick();
}

FrameDecoder::Result SamplingClock::readStartTime()
{
    RecallClock &clock = m_state.recall;
    for (const auto &[edit, field] :
         {std::pair {m_controls.TimeH, &clock.hour}, std::pair {m_controls.TimeM, &clock.minute},
          std::pair {m_controls.TimeS, &clock.second}}) {
        const std::optional<qint32> value = strictToInt(edit->text());
        if (!value)
            return ConversionError {edit->text()};
        *field = *value;
    }
    return {};
}

void SamplingClock::RecallCheckClick()
{
    const bool on = m_controls.RecallCheck->isChecked();
    m_controls.TimeH->setText(on ? u"00"_qs : u"23"_qs);
    m_controls.TimeM->setText(on ? u"00"_qs : u"59"_qs);
    m_controls.TimeS->setText(on ? u"00"_qs : u"59"_qs);
    report(readStartTime());
}

void SamplingClock::RecallCheckExit()
{
    report(readStartTime());
}

void SamplingClock::TimeHKeyUp()
{
    RecallClock &clock = m_state.recall;
    const StartField fields[] = {{m_controls.TimeH, &clock.hour, 23},
                                 {m_controls.TimeM, &clock.minute, 59},
                                 {m_controls.TimeS, &clock.second, 59}};
    for (const StartField &f : fields) {
        const std::optional<qint32> value = strictToInt(f.edit->text());
        if (!value) {
            report(ConversionError {f.edit->text()});
            return;
        }
        if (*value <= f.maximum) {
            *f.field = *value;
            continue;
        }
        m_prompts.information(m_controls.dialogParent, u"Input error!"_qs);
        f.edit->setText(u"00"_qs);
    }
}

FrameDecoder::Result SamplingClock::advanceRecallClock()
{
    if (!m_controls.RecallCheck->isChecked()) {
        m_state.RecallTime = m_clock.now().time();
        return {};
    }
    const std::optional<qint32> interval = strictToInt(m_controls.TimeInt->text());
    if (!interval)
        return ConversionError {m_controls.TimeInt->text()};
    m_state.recall.advance(*interval);
    m_state.RecallTime = m_state.recall.time();
    return {};
}

void SamplingClock::RecallDataTestClick()
{
    if (FrameDecoder::Result failure = advanceRecallClock()) {
        report(failure);
        return;
    }
    const Reading &r = m_display.reading;
    ReadingTable::Row row;
    row.value = r.valueText;
    row.nval = qint32(r.numericValue);
    row.time = LocaleTexts::recordTimeText(m_state.RecallTime, m_display.TimeSeparatorText);
    row.no = m_state.counters.RecordNo++;
    row.dcAc = r.functionText;
    row.unit = r.unitText;
    row.autoText = r.autoText;
    m_recorder.appendTestRow(row);
}
