#include "chart/AlarmLimits.h"

#include "chart/AnalogDial.h"
#include "chart/LimitState.h"
#include "meter/DisplayState.h"
#include "support/Beeper.h"
#include "support/ConversionError.h"
#include "support/ErrorReport.h"
#include "support/StrictInt.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

AlarmLimits::AlarmLimits(const Controls &controls, LimitState &state, const DisplayState &display,
                         Beeper &beeper, ErrorReport &errors)
    : m_controls(controls)
    , m_state(state)
    , m_display(display)
    , m_beeper(beeper)
    , m_errors(errors)
{
    m_controls.Setmax->installEventFilter(this);
    m_controls.SetMin->installEventFilter(this);
}

bool AlarmLimits::readLimit(const QString &text, float *limit)
{
    // A sign alone or nothing at all is a limit of 0, so typing "-5" passes through "-".
    if (text.isEmpty() || text == u"-" || text == u"+") {
        *limit = 0.0f;
        return true;
    }
    const std::optional<qint32> value = strictToInt(text);
    if (!value) {
        m_errors.report(ConversionError {text}.message());
        return false;
    }
    *limit = float(*value);
    return true;
}

void AlarmLimits::SetmaxExit()
{
    m_state.upperLimitOn = m_controls.SetMaxB->isChecked();
    if (!readLimit(m_controls.Setmax->text(), &m_state.UpperLimit))
        return;
    m_controls.KD1->KDsetup(1);
}

void AlarmLimits::SetMinExit()
{
    m_state.lowerLimitOn = m_controls.SetMinB->isChecked();
    if (!readLimit(m_controls.SetMin->text(), &m_state.LowerLimit))
        return;
    m_controls.KD1->KDsetup(1);
}

bool AlarmLimits::SetmaxKeyPress(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete
        || event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        return false;
    const QChar c = text.front();
    return !(text.size() == 1 && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-'));
}

bool AlarmLimits::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return SetmaxKeyPress(static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

void AlarmLimits::alarmTest(float value)
{
    const LimitState &l = m_state;
    const bool alarm = (m_controls.SetMaxB->isChecked() && value > l.UpperLimit)
        || (m_controls.SetMinB->isChecked() && value < l.LowerLimit);
    if (alarm) {
        m_beeper.beep();
        m_controls.oltext->show();
    } else {
        m_controls.oltext->hide();
    }
}

void AlarmLimits::trackMinMax(float value, const QString &valueText, const QString &unitText)
{
    LimitState &l = m_state;
    if (unitText == m_state.TrackedUnit) {
        if (value >= l.RunningMax) {
            l.MaxValueText = valueText;
            l.RunningMax = value;
        }
        if (value <= l.RunningMin) {
            l.MinValueText = valueText;
            l.RunningMin = value;
        }
    } else {
        // A new unit starts the tracker afresh; the reading that starts it is not counted.
        m_state.TrackedUnit = unitText;
        l.RunningMax = float(-m_display.dialScale.fullScale);
        l.RunningMin = float(m_display.dialScale.fullScale);
    }
    m_controls.MaxText->setText(l.MaxValueText);
    m_controls.MinText->setText(l.MinValueText);
    m_controls.MaxTextU->setText(unitText);
    m_controls.MinTextU->setText(unitText);
}
