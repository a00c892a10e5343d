#pragma once

#include <QObject>

struct FormControls;
struct RunState;
struct Services;

// Printing the reading table as an A4 list.
class TablePrinter : public QObject
{
    Q_OBJECT
public:
    TablePrinter(FormControls &controls, RunState &state, Services &services);

    void MajPrintClick();

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
};
