#pragma once

#include <QObject>

class ReadingTable;
struct FormControls;
struct RunState;
struct Services;

// Printing the reading table as an A4 list, through the print preview.
class TablePrinter : public QObject
{
    Q_OBJECT
public:
    TablePrinter(FormControls &controls, RunState &state, Services &services,
                 const ReadingTable &table);

    void MajPrintClick();

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    const ReadingTable &m_table;
};
