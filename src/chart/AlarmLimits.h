#pragma once

#include <QObject>

class AnalogDial;
class Beeper;
class ErrorReport;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
struct DisplayState;
struct LimitState;

// Upper and lower alarm limits in display counts, each switched on by its own box, and the
// tracker of the largest and smallest reading since the unit last changed.
class AlarmLimits : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QLineEdit *Setmax = nullptr;
        QLineEdit *SetMin = nullptr;
        QCheckBox *SetMaxB = nullptr;
        QCheckBox *SetMinB = nullptr;
        QLabel *MaxText = nullptr;
        QLabel *MinText = nullptr;
        QLabel *MaxTextU = nullptr;
        QLabel *MinTextU = nullptr;
        QLabel *oltext = nullptr; // "OL !!" on the dial
        AnalogDial *KD1 = nullptr;
    };

    AlarmLimits(const Controls &controls, LimitState &state, const DisplayState &display,
                Beeper &beeper, ErrorReport &errors);

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

    Controls m_controls;
    LimitState &m_state;
    const DisplayState &m_display;
    Beeper &m_beeper;
    ErrorReport &m_errors;
};
