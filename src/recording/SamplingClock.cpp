#include "recording/SamplingClock.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "support/Prompts.h"

#include <QKeyEvent>
#include <QLineEdit>

SamplingClock::SamplingClock(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void SamplingClock::filterDigits(QLineEdit *edit)
{
    edit->installEventFilter(this);
}

bool SamplingClock::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return RecordSITimeKeyPress(static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

void SamplingClock::RecordSITimeChange()
{
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
    m_services.prompts.warningCancel(m_controls.FCOMM, u"Please input number 0-9"_qs);
    return true;
}

void SamplingClock::TrecordTimer()
{
}
