#pragma once

#include <QObject>

class ChartControl;
class QAction;
struct FormControls;
struct RunState;
struct Services;

// The record step and its commands: the record limit of the Record menu and New.
class ReadingRecorder : public QObject
{
    Q_OBJECT
public:
    ReadingRecorder(FormControls &controls, RunState &state, Services &services,
                    ChartControl &chart);

    void N10001Click();
    void N50001Click();
    void N100001Click();
    void N500001Click();
    void N1000001Click();
    void limitessClick();
    void RecordNewClick();

private:
    void setRecordLimit(QAction *item, qint32 limit);

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    ChartControl &m_chart;
};
