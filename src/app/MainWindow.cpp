#include "app/MainWindow.h"

#include "app/ExitCommand.h"
#include "chart/AlarmLimits.h"
#include "chart/ChartCommands.h"
#include "chart/ChartControl.h"
#include "chart/ChartView.h"
#include "links/BridgeLink.h"
#include "links/HidCableLink.h"
#include "links/LinkWatchdog.h"
#include "links/SerialLink.h"
#include "links/hid/HidDeviceController.h"
#include "links/hid/HidrawPlatform.h"
#include "meter/LcdPanel.h"
#include "meter/MeterDisplay.h"
#include "recording/DataFiles.h"
#include "recording/ReadingRecorder.h"
#include "recording/SamplingClock.h"
#include "recording/TablePrinter.h"
#include "support/ClickLabel.h"
#include "support/ErrorReport.h"
#include "support/FirstPaintMark.h"
#include "support/Pictures.h"
#include "support/WindowLook.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

static void initResources()
{
    // The pictures live in a static library: register them explicitly.
    Q_INIT_RESOURCE(meterlink);
}

MainWindow::MainWindow(Services services, const ModelSwitches &switches, QWidget *parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                      | Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_switches(switches)
{
    initResources();
    setObjectName(u"FCOMM"_qs);
    m_controls.FCOMM = this;
    setWindowIcon(Pictures::icon(u"app-icon"_qs));
    setFont(WindowLook::sansSerif(11, true));

    auto *client = new QWidget(this);
    client->setObjectName(u"ClientArea"_qs);
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    buildMenus();
    buildLinkBar(client);
    buildLcdPanel(client);
    buildFunctionBoard(client);
    buildGrid(client);
    buildDialPanel(client);
    prepareDialFace();
    buildChart(client);
    buildRecallPanel(client);
    buildLimitPanel(client);
    buildHiddenControls(client);
    buildToolPanels();
    buildTimers();
    applySwitchBoxes();

    createParts();
    connectCommands();
    FormCreate();
    // The chart's first picture is drawn while the window is shown.
    m_controls.Chtshow->prepareBackground();

    // Fixed size: the client area plus the menu bar, no resizing, no maximize box.
    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    centreOnScreen();

    // Once the window is up: rows a crashed run left unsaved.
    QTimer::singleShot(0, this, [this] { m_recorder->offerJournalRestore(); });
    FirstPaintMark::afterFirstPaint(this, [this] { afterFirstPaint(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::afterFirstPaint()
{
    // Naming the port's device lists the system's serial ports, which takes longer than
    // building the window; the hint is there long before a pointer can rest on a panel.
    m_serialLink->updatePortHint();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_exitCommand->FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void MainWindow::applySwitchBoxes()
{
    m_controls.IFFerrant->setChecked(m_switches.IFFerrant);
    m_controls.Gostel->setChecked(m_switches.Gostel);
    m_controls.Brimlow->setChecked(m_switches.Brimlow);
    m_controls.IFSennick->setChecked(m_switches.IFSennick);
}

void MainWindow::createParts()
{
    FormControls &c = m_controls;
    QWidget *dialogParent = this;
    Prompts &prompts = m_services.prompts;

    m_errorReport = std::make_unique<ErrorReport>(prompts, this);
    // The chart's paging controller; creating it puts the chart in its initial state.
    m_chartControl = std::make_unique<ChartControl>(*c.Chtshow, 100);
    m_alarmLimits = std::make_unique<AlarmLimits>(
        AlarmLimits::Controls {c.Setmax, c.SetMin, c.SetMaxB, c.SetMinB, c.MaxText, c.MinText,
                               c.MaxTextU, c.MinTextU, c.oltext, c.KD1},
        m_state.limits, m_state, m_services.beeper, *m_errorReport);
    m_recorder = std::make_unique<ReadingRecorder>(
        ReadingRecorder::Controls {
            dialogParent,
            c.DBGrid1,
            c.RecordSI,
            c.RepeatSet,
            c.RecordSITime,
            c.RecallCheck,
            c.Trecord,
            c.Bt10,
            {c.N10001, c.N50001, c.N100001, c.N500001, c.N1000001, c.limitess}},
        m_state, prompts, m_services.clock, *m_chartControl);
    m_samplingClock = std::make_unique<SamplingClock>(
        SamplingClock::Controls {dialogParent, c.RecordSI, c.Trecord, c.RecallCheck, c.TimeH,
                                 c.TimeM, c.TimeS, c.TimeInt},
        m_state, m_state, prompts, m_services.clock, *m_errorReport, *m_recorder);

    m_watchdog = std::make_unique<LinkWatchdog>(LinkWatchdog::Pictures {c.conok, c.conokn}, m_state,
                                                m_links);
    m_display = std::make_unique<MeterDisplay>(
        MeterDisplay::Controls {c.Panel1, c.PBar2, c.KD1, c.Bt10, c.USBtxt}, m_state,
        m_services.clock, *m_errorReport,
        MeterDisplay::Parts {*m_watchdog, *m_alarmLimits, *m_samplingClock, *m_recorder,
                             *m_chartControl});

    HidPlatform *hid = m_services.hidPlatform;
    if (!hid) {
        m_ownHidPlatform = std::make_unique<HidrawPlatform>();
        hid = m_ownHidPlatform.get();
    }
    m_hidCtl = HidDeviceController::create(*hid);
    m_hidLink = std::make_unique<HidCableLink>(
        HidCableLink::Controls {dialogParent, c.DevListBox, c.HistoryListBox, c.USBCon, c.ReadBtn,
                                c.Memo1, c.Memo2, c.Brimlow},
        m_hidCtl.get(), HidCableLink::Sinks {*m_display, m_display->otherFamilySink()}, prompts,
        m_links);
    // The controller has scanned; the link fills its list now, before the window shows.
    m_hidLink->attach();

    m_serialLink = std::make_unique<SerialLink>(
        SerialLink::Controls {dialogParent,
                              {c.BtCOM1, c.BtCOM2, c.BtCOM3, c.BtCOM4},
                              {c.COM11, c.COM21, c.COM31, c.COM41},
                              c.ComSetup1,
                              c.COMCon,
                              c.BTCon,
                              c.BtDiscon,
                              c.START1,
                              c.STOP1},
        m_services.portNames, prompts, *m_display, m_display->otherFamilySink(), *m_watchdog,
        m_links);
    m_bridgeLink = std::make_unique<BridgeLink>(
        BridgeLink::Controls {dialogParent, c.USB, c.Memo3, c.cmbDevice, c.Timer1}, *m_display,
        prompts, *m_watchdog, m_links);
    m_links.add(m_serialLink.get());
    m_links.add(m_bridgeLink.get());
    m_links.add(m_hidLink.get());

    m_dataFiles = std::make_unique<DataFiles>(DataFiles::Controls {dialogParent, c.DBGrid1},
                                              prompts, *m_recorder);
    m_tablePrinter = std::make_unique<TablePrinter>(
        TablePrinter::Controls {dialogParent, c.DBGrid1}, prompts, m_recorder->table());
    m_chartCommands = std::make_unique<ChartCommands>(
        ChartCommands::Controls {dialogParent, c.Chtshow, c.BtFill, c.Fill1, c.Maxrecord, c.Timer2,
                                 c.Bt10, c.TbFd, c.TbSx, c.Panel1, c.GroupBox1},
        prompts, *m_errorReport, *m_chartControl);
    m_exitCommand = std::make_unique<ExitCommand>(ExitCommand::Controls {dialogParent, c.BitBtn1},
                                                  prompts, *m_recorder, m_links);
}

void MainWindow::centreOnScreen()
{
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
}
