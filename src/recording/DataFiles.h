#pragma once

#include <QObject>
#include <QString>

class Prompts;
class QTableView;
class QWidget;
class ReadingRecorder;

// Saving and loading the reading table as text or as an XML data packet.
class DataFiles : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        QTableView *DBGrid1 = nullptr;
    };

    DataFiles(const Controls &controls, Prompts &prompts, ReadingRecorder &recorder);

    // Open: a text file appends its rows to the table, an XML packet replaces them.
    void SpeedButton2Click();
    // Save as: the XML form for a ".xml" name, CSV for a ".csv" name, the text form for any
    // other.
    void saveasClick();

    // The open dialog's filter.
    static const QString &fileFilter();
    // The save dialog's: the open dialog's and CSV, which is written but not read.
    static const QString &saveFilter();
    // Asked before an XML packet replaces rows not saved yet.
    static QString replaceQuestion();

private:
    void showCurrentRow();
    void showFirstRow();

    Controls m_controls;
    Prompts &m_prompts;
    ReadingRecorder &m_recorder;
    QString m_lastOpened; // proposed by the next open dialog
};
