#pragma once

#include "meter/FrameDecoder.h"

#include <QObject>

class ErrorReport;
class QKeyEvent;
class QLineEdit;
class ReadingRecorder;
struct FormControls;
struct RunState;
struct Services;

// The sampling interval of the record step and the recall clock, with the digit-only key filter
// that the interval, recall and page-size edits share.
class SamplingClock : public QObject
{
    Q_OBJECT
public:
    SamplingClock(FormControls &controls, RunState &state, Services &services, ErrorReport &errors,
                  ReadingRecorder &recorder);

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

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    ErrorReport &m_errors;
    ReadingRecorder &m_recorder;
};
