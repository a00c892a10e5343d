#pragma once

#include <QObject>

struct FormControls;
struct RunState;
struct Services;

// The serial cable: port choice among COM1..COM4, connect and disconnect, and the watchdog that
// shows whether frames are arriving.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    SerialLink(FormControls &controls, RunState &state, Services &services);

    int portNumber() const { return m_portNumber; }
    // Start-up: the port the profile chose; the Brimlow profile also shows the "COM 1" panel.
    void setStartPort(int number, bool showPanel);

    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void COMConClick();
    void BTCon1Click();
    void BtDiscon1Click();
    void ConTimerTimer();

private:
    void selectPort(int number);
    void updatePortHint();

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    int m_portNumber = 4; // the window's own setting until the profile chooses
};
