#include "links/SerialLink.h"

#include "app/ClickLabel.h"
#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "support/PortNames.h"

#include <QAction>
#include <QPushButton>

#include <array>

SerialLink::SerialLink(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void SerialLink::setStartPort(int number, bool showPanel)
{
    const std::array<ClickLabel *, 4> panels = {m_controls.BtCOM1, m_controls.BtCOM2,
                                                m_controls.BtCOM3, m_controls.BtCOM4};
    if (showPanel)
        panels[number - 1]->show();
    m_portNumber = number;
    updatePortHint();
}

void SerialLink::selectPort(int number)
{
    const std::array<QAction *, 4> items = {m_controls.COM11, m_controls.COM21, m_controls.COM31,
                                            m_controls.COM41};
    const std::array<ClickLabel *, 4> panels = {m_controls.BtCOM1, m_controls.BtCOM2,
                                                m_controls.BtCOM3, m_controls.BtCOM4};
    for (int i = 0; i < 4; ++i) {
        items[i]->setChecked(i == number - 1);
        panels[i]->setVisible(i == number - 1);
    }
    m_portNumber = number;
    updatePortHint();
}

void SerialLink::updatePortHint()
{
    // The hint names the device behind the port in use, on every panel.
    const QString path = m_services.portNames.devicePath(m_portNumber);
    const QString port = u"COM "_qs + QString::number(m_portNumber);
    const QString hint = path.isEmpty() ? QString(port + u": no serial port found"_qs)
                                        : QString(port + u": "_qs + path);
    for (ClickLabel *p : {m_controls.BtCOM1, m_controls.BtCOM2, m_controls.BtCOM3,
                          m_controls.BtCOM4})
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
    // The port driver is not part of this build yet: the button must not stay down as if a
    // port had been opened.
    m_controls.COMCon->setChecked(false);
}

void SerialLink::BTCon1Click()
{
}

void SerialLink::BtDiscon1Click()
{
}

void SerialLink::ConTimerTimer()
{
}
