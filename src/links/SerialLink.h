#pragma once

#include "links/FrameAssembler.h"
#include "links/SerialPortDriver.h"

#include <QObject>
#include <QTimer>

class ErrorReport;
class MeterDisplay;
struct FormControls;
struct RunState;
struct Services;

// The serial cable: port choice among COM1..COM4, connect and disconnect, frame assembly from the
// received bytes, and the watchdog that shows whether frames are arriving. A device that vanishes
// while connected is closed at once and reopened by itself when it is back.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    SerialLink(FormControls &controls, RunState &state, Services &services, MeterDisplay &display,
               ErrorReport &errors);

    SerialPortDriver &COMM2() { return m_driver; }
    int portNumber() const { return int(m_driver.Port()) + 1; }
    // Start-up: the port the profile chose; the Brimlow profile also shows the "COM 1" panel.
    void setStartPort(int number, bool showPanel);
    // Installs the frame assembly of this link as the driver's receive handler.
    void installGostelData();

    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void COMConClick();
    void BTCon1Click();
    void BtDiscon1Click();
    void ConTimerTimer();
    void GostelData(SerialPortDriver *sender, const char *data, int size);

    // True while the link waits for a vanished device to come back.
    bool waitingForDevice() const { return m_reopen.isActive(); }
    const FrameAssembler &assembler() const { return m_assembler; }

private:
    void selectPort(int number);
    void updatePortHint();
    void openLink();
    void closeLink();
    void showDisconnected();
    void onDeviceLost(const QString &reason);
    void tryReopen();

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    MeterDisplay &m_display;
    ErrorReport &m_errors;
    SerialPortDriver m_driver;
    FrameAssembler m_assembler;
    QTimer m_reopen;
};
