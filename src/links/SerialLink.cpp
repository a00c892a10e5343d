#include "links/SerialLink.h"

#include "links/LinkWatchdog.h"
#include "meter/FrameSink.h"
#include "support/ClickLabel.h"
#include "support/Prompts.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

SerialLink::SerialLink(const Controls &controls, PortNames &portNames, Prompts &prompts,
                       FrameSink &sink, FrameSink &otherFamilySink, LinkWatchdog &watchdog,
                       LinkSet &links)
    : m_controls(controls)
    , m_prompts(prompts)
    , m_sink(sink)
    , m_otherFamilySink(otherFamilySink)
    , m_watchdog(watchdog)
    , m_links(links)
    , m_source(portNames)
{
    // The window's own settings of the driver: COM4 until the profile chooses.
    COMM2().setObjectName(u"COMM2"_qs);
    m_source.setPortNumber(4);
    connect(&m_source, &MeterSource::lost, this, &SerialLink::onDeviceLost);
    connect(&m_source, &MeterSource::back, this,
            [this] { m_controls.COMCon->setToolTip(QString()); });
}

void SerialLink::installGostelData()
{
    m_source.setOnChunk(
        [this](QByteArrayView bytes) { GostelData(&COMM2(), bytes.data(), int(bytes.size())); });
}

void SerialLink::installFerrantDATA()
{
    m_source.setOnChunk(
        [this](QByteArrayView bytes) { FerrantDATA(&COMM2(), bytes.data(), int(bytes.size())); });
}

void SerialLink::installNestrelData()
{
    m_source.setOnChunk(
        [this](QByteArrayView bytes) { NestrelData(&COMM2(), bytes.data(), int(bytes.size())); });
}

void SerialLink::setStartPort(int number, bool showPanel)
{
    if (showPanel)
        m_controls.portPanels[number - 1]->show();
    m_source.setPortNumber(number);
}

void SerialLink::selectPort(int number)
{
    for (int i = 0; i < 4; ++i) {
        m_controls.portItems[i]->setChecked(i == number - 1);
        m_controls.portPanels[i]->setVisible(i == number - 1);
    }
    m_source.setPortNumber(number);
    updatePortHint();
}

void SerialLink::updatePortHint()
{
    // The hint names the device behind the port in use, on every panel.
    const QString path = m_source.devicePath();
    const QString port = u"COM "_qs + QString::number(portNumber());
    const QString hint = path.isEmpty() ? QString(port + u": no serial port found"_qs)
                                        : QString(port + u": "_qs + path);
    for (ClickLabel *p : m_controls.portPanels)
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
    m_links.starting(this);
    m_controls.ComSetup1->setEnabled(false);
    m_controls.START1->setChecked(true);
    m_controls.START1->setEnabled(false);
    m_controls.STOP1->setEnabled(true);
    m_controls.STOP1->setChecked(false);

    updatePortHint();
    if (!m_source.open(nullptr)) {
        // A port that cannot be opened is reported, and the link goes back to its closed state.
        m_prompts.information(m_controls.dialogParent, m_source.openFailureText());
        closeLink();
        m_controls.COMCon->setChecked(false);
        return;
    }

    m_controls.BTCon->hide();
    m_controls.BtDiscon->show();
    for (ClickLabel *p : m_controls.portPanels)
        p->setEnabled(false);
}

void SerialLink::closeLink()
{
    m_controls.ComSetup1->setEnabled(true);
    m_controls.START1->setChecked(false);
    m_controls.START1->setEnabled(true);
    m_controls.STOP1->setEnabled(false);
    m_controls.STOP1->setChecked(true);
    m_source.close();
    m_controls.BTCon->show();
    m_controls.BtDiscon->hide();
    for (ClickLabel *p : m_controls.portPanels)
        p->setEnabled(true);
}

void SerialLink::onDeviceLost(const QString &reason)
{
    // The source has closed the port. "COM Connect" stays down: the link waits for the device
    // and carries on by itself when it is back.
    m_watchdog.linkLost();
    // What the vanished device left half-sent cannot belong to anything it sends when it is back.
    m_assembler.clear();
    m_ferrant.clear();
    m_nestrel.clear();
    m_controls.COMCon->setToolTip(u"Waiting for the meter's cable to come back ("_qs + reason
                                  + u')');
}

void SerialLink::GostelData(SerialPortDriver *, const char *data, int size)
{
    m_assembler.feed(QByteArrayView(data, size), [this](const QString &frame) {
        m_sink.take(frame, &FrameAssembler::plausible);
    });
}

void SerialLink::FerrantDATA(SerialPortDriver *, const char *data, int size)
{
    m_ferrant.feed(QByteArrayView(data, size), [this](const QString &frame) {
        m_otherFamilySink.take(frame, &FerrantAssembler::plausible);
    });
}

void SerialLink::NestrelData(SerialPortDriver *, const char *data, int size)
{
    m_nestrel.feed(QByteArrayView(data, size), [this](const QString &frame, bool accepted) {
        m_otherFamilySink.take(frame, accepted);
    });
}
