#pragma once

#include <QObject>

class BridgeLink;
class ReadingRecorder;
struct FormControls;
struct RunState;
struct Services;

// Leaving the program from the "Exit" button (and its hidden twins), after a Yes.
class ExitCommand : public QObject
{
    Q_OBJECT
public:
    ExitCommand(FormControls &controls, RunState &state, Services &services,
                ReadingRecorder &recorder, BridgeLink &bridge);

    void BitBtn1Click();
    void BtExit1Click();
    // Closing by the title bar: asks the exit question only while rows recorded since the last
    // save, load or New would be lost. True when the window may close.
    bool FormCloseQuery();

    static QString exitQuestion();

Q_SIGNALS:
    // The user confirmed: the event loop ends once the handler returns.
    void exitConfirmed();

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    ReadingRecorder &m_recorder;
    BridgeLink &m_bridge;
};
