#pragma once

#include <QObject>

class ErrorReport;
class QKeyEvent;
struct FormControls;
struct RunState;
struct Services;

// Upper and lower alarm limits in display counts, each switched on by its own box, and the
// tracker of the largest and smallest reading since the unit last changed.
class AlarmLimits : public QObject
{
    Q_OBJECT
public:
    AlarmLimits(FormControls &controls, RunState &state, Services &services, ErrorReport &errors);

    void SetmaxExit();
    void SetMinExit();
    // Returns true when the key is to be dropped.
    bool SetmaxKeyPress(QKeyEvent *event);

    // Per reading: beeps and shows "OL !!" while a switched-on limit is exceeded.
    void alarmTest(float value);
    // Per reading, right after the alarm test.
    void trackMinMax(float value, const QString &valueText, const QString &unitText);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Reads a limit edit; false (after reporting) when its text is no number.
    bool readLimit(const QString &text, float *limit);

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    ErrorReport &m_errors;
};
