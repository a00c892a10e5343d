#pragma once

#include "meter/FrameDecoder.h"

#include <QObject>

class Clock;
class ErrorReport;
class Prompts;
class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;
class ReadingRecorder;
struct DisplayState;
struct RecordState;

// The sampling interval of the record step and the recall clock, with the digit-only key filter
// that the interval, recall and page-size edits share.
class SamplingClock : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        QCheckBox *RecordSI = nullptr;
        QTimer *Trecord = nullptr;
        QCheckBox *RecallCheck = nullptr;
        QLineEdit *TimeH = nullptr;
        QLineEdit *TimeM = nullptr;
        QLineEdit *TimeS = nullptr;
        QLineEdit *TimeInt = nullptr;
    };

    SamplingClock(const Controls &controls, RecordState &state, const DisplayState &display,
                  Prompts &prompts, Clock &clock, ErrorReport &errors, ReadingRecorder &recorder);

    // Installs the key filter on an edit.
    void filterDigits(QLineEdit *edit);

    void RecordSITimeChange();
    // Returns true when the key is to be discarded.
    bool RecordSITimeKeyPress(QKeyEvent *event);
    // One second of the sampling interval.
    void TrecordTimer();
    // The sampling tick runs while "Sampling Interval" is checked.
    void RecordSIClick();

    void RecallCheckClick();
    void RecallCheckExit();
    void TimeHKeyUp();
    void RecallDataTestClick();

    // Moves the recall clock on for one decoded reading (or takes the time of day while
    // "RecallData" is unchecked). Fails when the interval edit holds no number.
    FrameDecoder::Result advanceRecallClock();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Reads the three start-time edits into the clock, hour first; stops at the first failure.
    FrameDecoder::Result readStartTime();
    void report(const FrameDecoder::Result &failure);

    Controls m_controls;
    RecordState &m_state;
    const DisplayState &m_display;
    Prompts &m_prompts;
    Clock &m_clock;
    ErrorReport &m_errors;
    ReadingRecorder &m_recorder;
};
