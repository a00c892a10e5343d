#include "app/MainWindow.h"

#include "app/ExitCommand.h"
#include "app/Pictures.h"
#include "app/WindowLook.h"
#include "chart/AlarmLimits.h"
#include "chart/ChartCommands.h"
#include "chart/ChartControl.h"
#include "chart/ChartView.h"
#include "links/BridgeLink.h"
#include "links/SerialLink.h"
#include "meter/MeterDisplay.h"
#include "recording/DataFiles.h"
#include "recording/ReadingRecorder.h"
#include "recording/SamplingClock.h"
#include "recording/TablePrinter.h"
#include "support/ErrorReport.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

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
    buildChart(client);
    buildRecallPanel(client);
    buildLimitPanel(client);
    buildHiddenControls(client);
    buildTimers();
    applySwitchBoxes();

    createParts();
    connectCommands();
    FormCreate();

    // Fixed size: the client area plus the menu bar, no resizing, no maximize box.
    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    centreOnScreen();
}

MainWindow::~MainWindow() = default;

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
    m_errorReport = std::make_unique<ErrorReport>(m_services.prompts, this);
    // The chart's paging controller; creating it puts the chart in its initial state.
    m_chartControl = std::make_unique<ChartControl>(*m_controls.Chtshow, 100);
    m_alarmLimits = std::make_unique<AlarmLimits>(m_controls, m_state, m_services, *m_errorReport);
    m_recorder
        = std::make_unique<ReadingRecorder>(m_controls, m_state, m_services, *m_chartControl);
    m_samplingClock = std::make_unique<SamplingClock>(m_controls, m_state, m_services,
                                                      *m_errorReport, *m_recorder);
    m_display = std::make_unique<MeterDisplay>(m_controls, m_state, m_services, *m_controls.Panel1,
                                               *m_alarmLimits, *m_chartControl, *m_recorder,
                                               *m_samplingClock);

    m_serialLink
        = std::make_unique<SerialLink>(m_controls, m_state, m_services, *m_display, *m_errorReport);
    m_bridgeLink = std::make_unique<BridgeLink>(m_controls, m_state, m_services);

    m_dataFiles = std::make_unique<DataFiles>(m_controls, m_state, m_services, *m_recorder);
    m_tablePrinter
        = std::make_unique<TablePrinter>(m_controls, m_state, m_services, m_recorder->table());
    m_chartCommands = std::make_unique<ChartCommands>(m_controls, m_state, m_services,
                                                      *m_errorReport, *m_chartControl);
    m_exitCommand = std::make_unique<ExitCommand>(m_controls, m_state, m_services, *m_recorder,
                                                  *m_bridgeLink);
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
