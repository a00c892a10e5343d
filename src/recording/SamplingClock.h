#pragma once

#include <QObject>

class QKeyEvent;
class QLineEdit;
struct FormControls;
struct RunState;
struct Services;

// The sampling interval of the record step and the recall clock, with the digit-only key filter
// that the interval, recall and page-size edits share.
class SamplingClock : public QObject
{
    Q_OBJECT
public:
    SamplingClock(FormControls &controls, RunState &state, Services &services);

    // Installs the key filter on an edit.
    void filterDigits(QLineEdit *edit);

    void RecordSITimeChange();
    // Returns true when the key is to be discarded.
    bool RecordSITimeKeyPress(QKeyEvent *event);
    void TrecordTimer();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
};
