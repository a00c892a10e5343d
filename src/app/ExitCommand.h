#pragma once

#include <QObject>

struct FormControls;
struct RunState;
struct Services;

// Leaving the program from the "Exit" button (and its hidden twins), after a Yes.
class ExitCommand : public QObject
{
    Q_OBJECT
public:
    ExitCommand(FormControls &controls, RunState &state, Services &services);

    void BitBtn1Click();
    void BtExit1Click();

Q_SIGNALS:
    // The user confirmed: the event loop ends once the handler returns.
    void exitConfirmed();

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
};
