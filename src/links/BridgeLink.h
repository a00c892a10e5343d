#pragma once

#include <QObject>

struct FormControls;
struct RunState;
struct Services;

// The USB bridge cable, driven through its maker's library.
class BridgeLink : public QObject
{
    Q_OBJECT
public:
    BridgeLink(FormControls &controls, RunState &state, Services &services);

    void USBClick();
    void Timer1Timer();
    // Takes the link down at exit: status text, poll stopped, the bridge closed if opened.
    void takeDown();
    bool openTried() const { return m_openTried; }

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    bool m_openTried = false; // no bridge library in this build: never tried
};
