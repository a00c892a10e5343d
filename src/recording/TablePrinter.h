#pragma once

#include <QObject>

class Prompts;
class QTableView;
class QWidget;
class ReadingTable;

// Printing the reading table as an A4 list, through the print preview.
class TablePrinter : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        QTableView *DBGrid1 = nullptr;
    };

    TablePrinter(const Controls &controls, Prompts &prompts, const ReadingTable &table);

    void MajPrintClick();

private:
    Controls m_controls;
    Prompts &m_prompts;
    const ReadingTable &m_table;
};
