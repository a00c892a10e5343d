#pragma once

#include "app/FormControls.h"
#include "app/ModelProfile.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "links/CableLink.h"
#include "support/Pictures.h"
#include "support/WindowLook.h"

#include <QMainWindow>
#include <memory>

class AlarmLimits;
class BridgeLink;
class HidCableLink;
class HidDeviceController;
class HidPlatform;
class LinkWatchdog;
class ChartControl;
class ChartCommands;
class DataFiles;
class ErrorReport;
class ExitCommand;
class MeterDisplay;
class ReadingRecorder;
class SamplingClock;
class SerialLink;
class TablePrinter;

// The program's single window, FCOMM. It builds the frame and its controls, places the parts
// of the program in it and routes every command to the part that handles it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = WindowLook::ClientWidth;
    static constexpr int ClientHeight = WindowLook::ClientHeight;

    MainWindow(Services services, const ModelSwitches &switches, QWidget *parent = nullptr);
    // The pictures the window shows or keeps ready, for drawing them ahead of building it.
    static QList<Pictures::Order> startUpPictures();
    ~MainWindow() override;

    FormControls &controls() { return m_controls; }
    RunState &state() { return m_state; }
    const ModelSwitches &switches() const { return m_switches; }

    MeterDisplay &display() { return *m_display; }
    ErrorReport &errorReport() { return *m_errorReport; }
    SerialLink &serialLink() { return *m_serialLink; }
    HidCableLink &hidLink() { return *m_hidLink; }
    // Null when another window's controller exists (one per program).
    HidDeviceController *HidCtl() { return m_hidCtl.get(); }
    LinkWatchdog &watchdog() { return *m_watchdog; }
    ReadingRecorder &recorder() { return *m_recorder; }
    SamplingClock &samplingClock() { return *m_samplingClock; }
    ChartCommands &chartCommands() { return *m_chartCommands; }
    ChartControl &chartControl() { return *m_chartControl; }
    AlarmLimits &alarmLimits() { return *m_alarmLimits; }
    ExitCommand &exitCommand() { return *m_exitCommand; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Layout of the visible regions and of the controls the user never sees.
    void buildLinkBar(QWidget *client);
    void buildLcdPanel(QWidget *client);
    void buildFunctionBoard(QWidget *client);
    void buildGrid(QWidget *client);
    void buildDialPanel(QWidget *client);
    void prepareDialFace();
    void buildChart(QWidget *client);
    void buildRecallPanel(QWidget *client);
    void buildLimitPanel(QWidget *client);
    void buildHiddenControls(QWidget *client);
    void buildToolPanels();
    void buildMenus();
    void buildTimers();
    void applySwitchBoxes();

    void createParts();
    void connectCommands();
    void FormCreate();
    void centreOnScreen();
    // Start-up work the first picture does not show, run once that picture is on screen.
    void afterFirstPaint();

    Services m_services;
    ModelSwitches m_switches;
    FormControls m_controls;
    RunState m_state;
    LinkSet m_links;

    std::unique_ptr<ErrorReport> m_errorReport;
    std::unique_ptr<ChartControl> m_chartControl;
    std::unique_ptr<LinkWatchdog> m_watchdog;
    std::unique_ptr<MeterDisplay> m_display;
    std::unique_ptr<SerialLink> m_serialLink;
    std::unique_ptr<BridgeLink> m_bridgeLink;
    std::unique_ptr<HidPlatform> m_ownHidPlatform;
    std::unique_ptr<HidDeviceController> m_hidCtl;
    std::unique_ptr<HidCableLink> m_hidLink;
    std::unique_ptr<ReadingRecorder> m_recorder;
    std::unique_ptr<SamplingClock> m_samplingClock;
    std::unique_ptr<DataFiles> m_dataFiles;
    std::unique_ptr<TablePrinter> m_tablePrinter;
    std::unique_ptr<ChartCommands> m_chartCommands;
    std::unique_ptr<AlarmLimits> m_alarmLimits;
    std::unique_ptr<ExitCommand> m_exitCommand;
};
