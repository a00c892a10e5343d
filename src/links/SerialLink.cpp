#include "links/SerialLink.h"

#include "app/ClickLabel.h"
#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "meter/MeterDisplay.h"
#include "support/ErrorReport.h"
#include "support/PortNames.h"
#include "support/Prompts.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <array>

namespace {

// The four stacked port panels, COM 1 first.
std::array<ClickLabel *, 4> portPanels(const FormControls &c)
{
    return {c.BtCOM1, c.BtCOM2, c.BtCOM3, c.BtCOM4};
}

} // namespace

SerialLink::SerialLink(FormControls &controls, RunState &state, Services &services,
                       MeterDisplay &display, ErrorReport &errors)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
    , m_display(display)
    , m_errors(errors)
    , m_driver(services.portNames)
{
    // The window's own settings of the driver: COM4 and 7 data bits.
    m_driver.setObjectName(u"COMM2"_qs);
    m_driver.setPort(SerialPortDriver::PortCOM4);
    m_driver.setDataBits(SerialPortDriver::Data7);
    connect(&m_driver, &SerialPortDriver::deviceLost, this, &SerialLink::onDeviceLost);

    m_reopen.setInterval(1000);
    connect(&m_reopen, &QTimer::timeout, this, &SerialLink::tryReopen);
}

void SerialLink::installGostelData()
{
    m_driver.setOnReceiveData([this](SerialPortDriver *sender, const char *data, int size) {
        GostelData(sender, data, size);
    });
}

void SerialLink::setStartPort(int number, bool showPanel)
{
    if (showPanel) {
        const std::array<ClickLabel *, 4> panels = portPanels(m_controls);
        panels[number - 1]->show();
    }
    m_driver.setPort(SerialPortDriver::SerialPortNumber(number - 1));
    updatePortHint();
}

void SerialLink::selectPort(int number)
{
    const std::array<QAction *, 4> items
        = {m_controls.COM11, m_controls.COM21, m_controls.COM31, m_controls.COM41};
    const std::array<ClickLabel *, 4> panels = portPanels(m_controls);
    for (int i = 0; i < 4; ++i) {
        items[i]->setChecked(i == number - 1);
        panels[i]->setVisible(i == number - 1);
    }
    m_driver.setPort(SerialPortDriver::SerialPortNumber(number - 1));
    updatePortHint();
}

void SerialLink::updatePortHint()
{
    // The hint names the device behind the port in use, on every panel.
    const QString path = m_driver.devicePath();
    const QString port = u"COM "_qs + QString::number(portNumber());
    const QString hint = path.isEmpty() ? QString(port + u": no serial port found"_qs)
                                        : QString(port + u": "_qs + path);
    for (ClickLabel *p : portPanels(m_controls))
        p->setToolTip(hint);
}

void SerialLink::COM11Click()
{
    selectPort(1);
}

void SerialLink::COM21Click()
{
    selectPort(2);
}

void SerialLink::COM31Click()
{
    selectPort(3);
}

void SerialLink::COM41Click()
{
    selectPort(4);
}

void SerialLink::COMConClick()
{
    if (m_controls.COMCon->isChecked())
        openLink();
    else
        closeLink();
}

void SerialLink::BTCon1Click()
{
    if (!m_controls.COMCon->isChecked())
        m_controls.COMCon->setChecked(true); // raises the other buttons of its group
    openLink();
}

void SerialLink::BtDiscon1Click()
{
    closeLink();
    m_controls.COMCon->setChecked(false);
}

void SerialLink::openLink()
{
    m_controls.ComSetup1->setEnabled(false);
    m_controls.START1->setChecked(true);
    m_controls.START1->setEnabled(false);
    m_controls.STOP1->setEnabled(true);
    m_controls.STOP1->setChecked(false);

    updatePortHint();
    if (!m_driver.OpenPort()) {
        // A port that cannot be opened is reported, and the link goes back to its closed state.
        m_services.prompts.information(m_controls.FCOMM, m_driver.lastOpenFailureText());
        closeLink();
        m_controls.COMCon->setChecked(false);
        return;
    }

    m_controls.BTCon->hide();
    m_controls.BtDiscon->show();
    for (ClickLabel *p : portPanels(m_controls))
        p->setEnabled(false);
}

void SerialLink::closeLink()
{
    m_reopen.stop();
    m_controls.ComSetup1->setEnabled(true);
    m_controls.START1->setChecked(false);
    m_controls.START1->setEnabled(true);
    m_controls.STOP1->setEnabled(false);
    m_controls.STOP1->setChecked(true);
    m_driver.ClosePort();
    m_controls.BTCon->show();
    m_controls.BtDiscon->hide();
    for (ClickLabel *p : portPanels(m_controls))
        p->setEnabled(true);
}

void SerialLink::showDisconnected()
{
    m_controls.conok->hide();
    m_controls.conokn->show();
}

void SerialLink::onDeviceLost(const QString &reason)
{
    // The driver has closed the port. "COM Connect" stays down: the link waits for the device
    // and carries on by itself when it is back.
    showDisconnected();
    m_state.LinkSilenceCount = 0;
    // What the vanished device left half-sent cannot belong to anything it sends when it is back.
    m_assembler.clear();
    m_controls.COMCon->setToolTip(u"Waiting for the meter's cable to come back ("_qs + reason
                                  + u')');
    m_reopen.start();
}

void SerialLink::tryReopen()
{
    if (!m_controls.COMCon->isChecked()) {
        m_reopen.stop();
        return;
    }
    if (m_driver.OpenPort()) {
        m_reopen.stop();
        m_controls.COMCon->setToolTip(QString());
    }
}

void SerialLink::ConTimerTimer()
{
    if (m_state.LinkSilenceCount != 2) {
        ++m_state.LinkSilenceCount;
        return;
    }
    showDisconnected();
    m_state.LinkSilenceCount = 0;
}

void SerialLink::GostelData(SerialPortDriver *, const char *data, int size)
{
    m_assembler.feed(QByteArrayView(data, size), [this](const QString &frame) {
        m_state.ReadingFrame = frame;
        m_controls.USBtxt->setText(frame);
        if (!FrameAssembler::plausible(frame))
            return;
        if (const FrameDecoder::Result failure = m_display.LcdDisplayGostel())
            m_errors.report(failure->message());
    });
}
