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

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
};
