#pragma once

#include <QObject>

struct FormControls;
struct RunState;
struct Services;

// Saving and loading the reading table as text or as an XML data packet.
class DataFiles : public QObject
{
    Q_OBJECT
public:
    DataFiles(FormControls &controls, RunState &state, Services &services);

    void SpeedButton2Click();
    void saveasClick();

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
};
