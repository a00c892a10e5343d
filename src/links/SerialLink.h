#pragma once

#include "links/CableLink.h"
#include "links/FamilyAssemblers.h"
#include "links/FrameAssembler.h"
#include "links/SerialSource.h"

#include <array>

class ClickLabel;
class FrameSink;
class LinkWatchdog;
class PortNames;
class Prompts;
class QAction;
class QMenu;
class QPushButton;
class QWidget;

// The serial cable: port choice among COM1..COM4, connect and disconnect, and frame assembly
// from the received bytes. A device that vanishes while connected is closed at once and
// reopened by itself when it is back.
class SerialLink : public CableLink
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        // The stacked port panels and the port items of the COM Setup menu, COM 1 first.
        std::array<ClickLabel *, 4> portPanels {};
        std::array<QAction *, 4> portItems {};
        QMenu *ComSetup1 = nullptr;
        QPushButton *COMCon = nullptr;
        ClickLabel *BTCon = nullptr;
        ClickLabel *BtDiscon = nullptr;
        QAction *START1 = nullptr;
        QAction *STOP1 = nullptr;
    };

    // The other meter families' frames go to their own sink.
    SerialLink(const Controls &controls, PortNames &portNames, Prompts &prompts, FrameSink &sink,
               FrameSink &otherFamilySink, LinkWatchdog &watchdog, LinkSet &links);

    SerialPortDriver &COMM2() { return m_source.driver(); }
    int portNumber() const { return m_source.portNumber(); }
    // Start-up: the port the profile chose; the Brimlow profile also shows the "COM 1" panel.
    // The panels' hint is left to updatePortHint: naming the device lists the system's ports.
    void setStartPort(int number, bool showPanel);
    // Names the device behind the port in use in the port panels' hint.
    void updatePortHint();
    // Installs one of the receive handlers as the driver's; which one is the model's choice.
    void installGostelData();
    void installFerrantDATA();
    void installNestrelData();

    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void COMConClick();
    void BTCon1Click();
    void BtDiscon1Click();
    void GostelData(SerialPortDriver *sender, const char *data, int size);
    void FerrantDATA(SerialPortDriver *sender, const char *data, int size);
    void NestrelData(SerialPortDriver *sender, const char *data, int size);

    bool isRunning() const override { return m_source.isOpen() || m_source.waitingForDevice(); }
    void stop() override { BtDiscon1Click(); }

    // True while the link waits for a vanished device to come back.
    bool waitingForDevice() const { return m_source.waitingForDevice(); }
    const FrameAssembler &assembler() const { return m_assembler; }

private:
    void selectPort(int number);
    void openLink();
    void closeLink();
    void onDeviceLost(const QString &reason);

    Controls m_controls;
    Prompts &m_prompts;
    FrameSink &m_sink;
    FrameSink &m_otherFamilySink;
    LinkWatchdog &m_watchdog;
    LinkSet &m_links;
    SerialSource m_source;
    FrameAssembler m_assembler;
    FerrantAssembler m_ferrant;
    NestrelAssembler m_nestrel;
};
