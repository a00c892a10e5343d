#pragma once

#include <QObject>
#include <QString>

class ReadingRecorder;
struct FormControls;
struct RunState;
struct Services;

// Saving and loading the reading table as text or as an XML data packet.
class DataFiles : public QObject
{
    Q_OBJECT
public:
    DataFiles(FormControls &controls, RunState &state, Services &services,
              ReadingRecorder &recorder);

    // Open: a text file appends its rows to the table, an XML packet replaces them.
    void SpeedButton2Click();
    // Save as: the XML form for a ".xml" name, the text form for any other.
    void saveasClick();

    static const QString &fileFilter();

private:
    void showCurrentRow();

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    ReadingRecorder &m_recorder;
    QString m_lastOpened; // proposed by the next open dialog
};
