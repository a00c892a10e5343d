#pragma once

#include <QObject>

struct FormControls;
struct RunState;
struct Services;

// Upper and lower alarm limits and the min/max tracker.
class AlarmLimits : public QObject
{
    Q_OBJECT
public:
    AlarmLimits(FormControls &controls, RunState &state, Services &services);

    void SetmaxExit();
    void SetMinExit();

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
};
