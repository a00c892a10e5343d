// Every user action and timer tick of the window, routed to the handler that owns it.

#include "app/ExitCommand.h"
#include "app/MainWindow.h"
#include "chart/AlarmLimits.h"
#include "chart/ChartCommands.h"
#include "chart/ChartView.h"
#include "links/BridgeLink.h"
#include "links/HidCableLink.h"
#include "links/LinkWatchdog.h"
#include "links/SerialLink.h"
#include "recording/DataFiles.h"
#include "recording/ReadingRecorder.h"
#include "recording/SamplingClock.h"
#include "recording/TablePrinter.h"
#include "support/ClickLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

namespace {

// Toggle buttons of one group: pressing one raises the others without running their handlers.
// The link whose button was pressed stops a running link itself, with that link's own steps.
// All of them may be up.
void groupToggles(const QList<QPushButton *> &buttons)
{
    for (QPushButton *b : buttons) {
        QObject::connect(b, &QPushButton::toggled, b, [b, buttons](bool down) {
            if (!down)
                return;
            for (QPushButton *other : buttons) {
                if (other != b && other->isChecked()) {
                    const QSignalBlocker quiet(other);
                    other->setChecked(false);
                }
            }
        });
    }
}

} // namespace

void MainWindow::connectCommands()
{
    FormControls &c = m_controls;

    // Link bar: each port panel moves on to the next port.
    SerialLink *serial = m_serialLink.get();
    connect(c.BtCOM1, &ClickLabel::clicked, serial, &SerialLink::COM21Click);
    connect(c.BtCOM2, &ClickLabel::clicked, serial, &SerialLink::COM31Click);
    connect(c.BtCOM3, &ClickLabel::clicked, serial, &SerialLink::COM41Click);
    connect(c.BtCOM4, &ClickLabel::clicked, serial, &SerialLink::COM11Click);
    connect(c.BtCOM8, &ClickLabel::clicked, serial, &SerialLink::COM11Click);
    connect(c.COM21, &QAction::triggered, serial, &SerialLink::COM21Click);
    connect(c.COM31, &QAction::triggered, serial, &SerialLink::COM31Click);
    connect(c.COM41, &QAction::triggered, serial, &SerialLink::COM41Click);
    connect(c.COMCon, &QPushButton::clicked, serial, &SerialLink::COMConClick);
    connect(c.BTCon, &ClickLabel::clicked, serial, &SerialLink::BTCon1Click);
    connect(c.START1, &QAction::triggered, serial, &SerialLink::BTCon1Click);
    connect(c.BtDiscon, &ClickLabel::clicked, serial, &SerialLink::BtDiscon1Click);
    connect(c.STOP1, &QAction::triggered, serial, &SerialLink::BtDiscon1Click);
    connect(c.ConTimer, &QTimer::timeout, m_watchdog.get(), &LinkWatchdog::ConTimerTimer);
    groupToggles({c.COMCon, c.USBCon, c.ReadBtn, c.USB});

    HidCableLink *hid = m_hidLink.get();
    connect(c.USBCon, &QPushButton::clicked, hid, &HidCableLink::USBConClick);
    connect(c.SetFeature, &QPushButton::clicked, hid, &HidCableLink::SetFeatureClick);
    connect(c.ReadBtn, &QPushButton::clicked, hid, &HidCableLink::ReadBtnClick);
    connect(c.ClearBtn, &QPushButton::clicked, hid, &HidCableLink::ClearBtnClick);

    connect(c.USB, &QPushButton::clicked, m_bridgeLink.get(), &BridgeLink::USBClick);
    connect(c.Timer1, &QTimer::timeout, m_bridgeLink.get(), &BridgeLink::Timer1Timer);
    connect(c.usb_dll, &QPushButton::clicked, m_bridgeLink.get(), &BridgeLink::usb_dllClick);
    connect(c.updatedevice, &QPushButton::clicked, m_bridgeLink.get(),
            &BridgeLink::updatedeviceClick);

    ExitCommand *exit = m_exitCommand.get();
    connect(c.BitBtn1, &QPushButton::clicked, exit, &ExitCommand::BitBtn1Click);
    connect(c.BtExit, &ClickLabel::clicked, exit, &ExitCommand::BtExit1Click);
    connect(c.EXIT1, &QAction::triggered, exit, &ExitCommand::BtExit1Click);

    // Record menu and the function board.
    ReadingRecorder *recorder = m_recorder.get();
    connect(c.N10001, &QAction::triggered, recorder, &ReadingRecorder::N10001Click);
    connect(c.N50001, &QAction::triggered, recorder, &ReadingRecorder::N50001Click);
    connect(c.N100001, &QAction::triggered, recorder, &ReadingRecorder::N100001Click);
    connect(c.N500001, &QAction::triggered, recorder, &ReadingRecorder::N500001Click);
    connect(c.N1000001, &QAction::triggered, recorder, &ReadingRecorder::N1000001Click);
    connect(c.limitess, &QAction::triggered, recorder, &ReadingRecorder::limitessClick);
    connect(c.RecordNew1, &QAction::triggered, recorder, &ReadingRecorder::RecordNewClick);
    connect(c.RecordNew, &QToolButton::clicked, recorder, &ReadingRecorder::RecordNewClick);
    connect(c.BtNew, &QToolButton::clicked, recorder, &ReadingRecorder::RecordNewClick);

    connect(c.OpenDataFiles, &QToolButton::clicked, m_dataFiles.get(),
            &DataFiles::SpeedButton2Click);
    connect(c.saveas, &QToolButton::clicked, m_dataFiles.get(), &DataFiles::saveasClick);
    connect(c.RecordSave1, &QAction::triggered, m_dataFiles.get(), &DataFiles::saveasClick);
    connect(c.MajPrint, &QToolButton::clicked, m_tablePrinter.get(), &TablePrinter::MajPrintClick);

    SamplingClock *sampling = m_samplingClock.get();
    for (QLineEdit *e : {c.RecordSITime, c.TimeH, c.TimeM, c.TimeS, c.TimeInt}) {
        connect(e, &QLineEdit::textChanged, sampling, &SamplingClock::RecordSITimeChange);
        sampling->filterDigits(e);
    }
    sampling->filterDigits(c.Maxrecord);
    connect(c.Trecord, &QTimer::timeout, sampling, &SamplingClock::TrecordTimer);
    connect(c.RecordSI, &QCheckBox::toggled, sampling, &SamplingClock::RecordSIClick);
    connect(c.RecallCheck, &QCheckBox::clicked, sampling, &SamplingClock::RecallCheckClick);
    connect(c.RecallDataTest, &QPushButton::clicked, sampling, &SamplingClock::RecallDataTestClick);

    // Chart toolbar and the hidden Graphic menu.
    ChartCommands *chart = m_chartCommands.get();
    connect(c.BtFill, &QCheckBox::clicked, chart, &ChartCommands::btFillClick);
    // The Repeat box shares the Fill box's handler, which only re-applies the Fill state.
    connect(c.RepeatSet, &QCheckBox::clicked, chart, &ChartCommands::btFillClick);
    connect(c.Fill1, &QAction::triggered, chart, &ChartCommands::FillClick);
    connect(c.Maxrecord, &QLineEdit::textChanged, chart, &ChartCommands::MaxrecordExit);
    connect(c.Timer2, &QTimer::timeout, chart, &ChartCommands::Timer2Timer);
    connect(c.BtSave, &QToolButton::clicked, chart, &ChartCommands::BtSaveClick);
    connect(c.GraphicSave1, &QAction::triggered, chart, &ChartCommands::BtSaveClick);
    connect(c.BtFirst, &QToolButton::clicked, chart, &ChartCommands::BtFirstClick);
    connect(c.First1, &QAction::triggered, chart, &ChartCommands::BtFirstClick);
    connect(c.BTPrevious, &QToolButton::clicked, chart, &ChartCommands::BTPreviousClick);
    connect(c.Previous1, &QAction::triggered, chart, &ChartCommands::BTPreviousClick);
    connect(c.BtNext, &QToolButton::clicked, chart, &ChartCommands::BtNextClick);
    connect(c.Next1, &QAction::triggered, chart, &ChartCommands::BtNextClick);
    connect(c.BTlast, &QToolButton::clicked, chart, &ChartCommands::BTlastClick);
    connect(c.Last1, &QAction::triggered, chart, &ChartCommands::BTlastClick);
    connect(c.TbFd, &ClickLabel::clicked, chart, &ChartCommands::TbFdClick);
    connect(c.TbSx, &ClickLabel::clicked, chart, &ChartCommands::TbFdClick);
    c.Chtshow->installEventFilter(chart); // ChtshowMouseWheel

    AlarmLimits *limits = m_alarmLimits.get();
    connect(c.Setmax, &QLineEdit::textChanged, limits, &AlarmLimits::SetmaxExit);
    // Every change of a switch, by a click or not, so the dial's band always follows it.
    connect(c.SetMaxB, &QCheckBox::toggled, limits, &AlarmLimits::SetmaxExit);
    connect(c.SetMin, &QLineEdit::textChanged, limits, &AlarmLimits::SetMinExit);
    connect(c.SetMinB, &QCheckBox::toggled, limits, &AlarmLimits::SetMinExit);
}
