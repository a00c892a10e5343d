#include "links/HidCableLink.h"

#include "links/hid/HidCable.h"
#include "links/hid/HidDeviceController.h"
#include "meter/FrameSink.h"
#include "support/Prompts.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QString hex2(unsigned value)
{
    return QString::number(value, 16).toUpper().rightJustified(2, u'0');
}

} // namespace

HidCableLink::HidCableLink(const Controls &controls, HidDeviceController *HidCtl,
                           const Sinks &sinks, Prompts &prompts, LinkSet &links)
    : m_controls(controls)
    , m_ctl(HidCtl)
    , m_sinks(sinks)
    , m_prompts(prompts)
    , m_links(links)
{
    m_controls.Memo1->setMaximumBlockCount(MaxLogLines);
    m_controls.Memo2->setMaximumBlockCount(MaxLogLines);
}

HidCableLink::~HidCableLink()
{
    if (!m_ctl)
        return;
    // The controller outlives nothing of ours: leave it no handler of this object.
    m_ctl->setOnEnumerate(nullptr);
    m_ctl->setOnArrival(nullptr);
    m_ctl->setOnRemoval(nullptr);
    for (const QPointer<HidDevice> &d : std::as_const(m_entryDevices)) {
        if (d)
            d->setDataHandler(nullptr);
    }
}

void HidCableLink::attach()
{
    if (!m_ctl)
        return;
    m_ctl->setOnEnumerate({this, &HidCableLink::HidCtlEnumerate});
    m_ctl->setOnArrival({this, &HidCableLink::HidCtlArrival});
    m_ctl->setOnRemoval({this, &HidCableLink::HidCtlRemoval});
    m_ctl->setOnDeviceDataError({this, &HidCableLink::HidCtlDeviceDataError});
    m_ctl->setOnDeviceChange({this, &HidCableLink::HidCtlDeviceChange});
}

QString HidCableLink::DescribeHidDevice(HidDevice *device)
{
    return HidCable::describe(device);
}

HidDevice *HidCableLink::selectedDevice() const
{
    const int row = m_controls.DevListBox->currentRow();
    if (row < 0 || row >= m_entryDevices.size() || !m_controls.DevListBox->currentItem()
        || !m_controls.DevListBox->currentItem()->isSelected())
        return nullptr;
    return m_entryDevices[row];
}

void HidCableLink::returnAll()
{
    for (QPointer<HidDevice> &d : m_entryDevices) {
        if (d && m_ctl)
            m_ctl->ReturnDevice(d);
    }
    m_entryDevices.clear();
    m_controls.DevListBox->clear();
}

void HidCableLink::HidCtlDeviceChange(HidDeviceController *)
{
    m_controls.ReadBtn->setChecked(false);
    ReadBtnClick();
    // A reference to a returned device is never used again.
    m_current = nullptr;
    returnAll();
    if (m_ctl)
        m_ctl->ListDevices();
    for (int i = 0; i < m_controls.DevListBox->count(); ++i) {
        QListWidgetItem *item = m_controls.DevListBox->item(i);
        if (item->text() == HidCable::name())
            m_controls.DevListBox->setCurrentItem(item);
    }
    if (!m_controls.USBCon->isChecked())
        return;
    // The link was reading: with the cable there again it goes on by itself; without it the
    // button shows that nothing is read.
    if (selectedDevice()) {
        // A cable plugged in again has forgotten its speed.
        SetFeatureClick();
        startReading();
    } else
        m_controls.USBCon->setChecked(false);
}

bool HidCableLink::HidCtlEnumerate(HidDevice *device, int index)
{
    m_controls.DevListBox->addItem(DescribeHidDevice(device));
    m_entryDevices.append(m_ctl ? m_ctl->TakeDeviceAt(index) : nullptr);
    return true;
}

void HidCableLink::HidCtlArrival(HidDevice *device)
{
    addHistory(u"Arrival of "_qs + DescribeHidDevice(device));
}

void HidCableLink::HidCtlRemoval(HidDevice *device)
{
    addHistory(u"Removal of "_qs + DescribeHidDevice(device));
}

void HidCableLink::HidCtlDeviceDataError(HidDevice *, quint32 error)
{
    const QString line = u"READ ERROR: "_qs + (m_ctl ? m_ctl->errorText(error) : QString())
        + u" ("_qs + QString::number(error, 16).toUpper() + u')';
    QListWidget *history = m_controls.HistoryListBox;
    // The same refusal again: one line with a count, not one line each.
    if (line == m_lastError && history->count() > 0
        && history->item(history->count() - 1)->text().startsWith(line)) {
        ++m_errorRepeats;
        history->item(history->count() - 1)
            ->setText(line + u" \u00D7"_qs + QString::number(m_errorRepeats));
        return;
    }
    m_lastError = line;
    m_errorRepeats = 1;
    addHistory(line);
}

void HidCableLink::noAccess(HidDevice *device)
{
    // The button goes up without a box; the history says why and what helps.
    addHistory(u"Cannot open "_qs + DescribeHidDevice(device) + u" ("_qs + device->path()
               + u") for reading and writing: "_qs + HidCable::accessAdvice());
}

void HidCableLink::ClearBtnClick()
{
    m_controls.HistoryListBox->clear();
    m_lastError.clear();
}

void HidCableLink::addHistory(const QString &line)
{
    QListWidget *history = m_controls.HistoryListBox;
    if (!line.startsWith(u"READ ERROR: "))
        m_lastError.clear();
    while (history->count() >= MaxLogLines)
        delete history->takeItem(0);
    history->addItem(line);
    history->setCurrentRow(history->count() - 1);
}

void HidCableLink::addLine(QPlainTextEdit *memo, const QString &line)
{
    memo->appendPlainText(line);
}

void HidCableLink::USBConClick()
{
    if (m_controls.USBCon->isChecked())
        m_links.starting(this);
    ReadBtnClick();
    SetFeatureClick();
    m_burst.resetHidIdleReports();
    m_current = nullptr;
    if (!selectedDevice())
        return;
    startReading();
}

void HidCableLink::startReading()
{
    m_current = selectedDevice();
    if (!m_current->ReadWriteAccess()) {
        m_controls.USBCon->setChecked(false);
        noAccess(m_current);
        return;
    }
    if (!m_controls.USBCon->isChecked())
        return;
    if (m_controls.Brimlow->isChecked())
        m_current->setDataHandler({this, &HidCableLink::HidReportToFrame});
    else
        m_current->setDataHandler(nullptr);
}

void HidCableLink::SetFeatureClick()
{
    m_current = nullptr;
    HidDevice *device = selectedDevice();
    if (!device) {
        m_prompts.information(m_controls.dialogParent,
                              u"USB interface cable is not securely connected, please check and "
                              "re-try."_qs);
        m_controls.USBCon->setChecked(false);
        return;
    }
    m_current = device;
    const QByteArray speed = HidCable::speedReport();
    device->SendFeatureReport(speed);
    QString line;
    for (int i = 1; i < speed.size(); ++i)
        line += hex2(quint8(speed[i])) + u' ';
    addHistory(line);
}

void HidCableLink::ReadBtnClick()
{
    m_current = nullptr;
    HidDevice *device = selectedDevice();
    if (!device)
        return;
    m_current = device;
    if (!device->ReadWriteAccess()) {
        m_controls.ReadBtn->setChecked(false);
        noAccess(device);
        return;
    }
    if (m_controls.ReadBtn->isChecked()) {
        m_links.starting(this);
        device->setDataHandler({this, &HidCableLink::HidReadReport});
    } else {
        device->setDataHandler(nullptr);
    }
}

void HidCableLink::HidReportToFrame(HidDevice *, quint8 reportId, const quint8 *data, quint16 size)
{
    const QByteArrayView bytes(data, size);
    const HidBurst::Report kind = m_assembler.feed(
        bytes,
        [this](const QString &frame) { m_sinks.meter.take(frame, &HidBurstAssembler::plausible); },
        [this](const QString &byteText, const QString &lowDigits) {
            addLine(m_controls.Memo2, byteText);
            addLine(m_controls.Memo1, lowDigits);
        });
    if (kind == HidBurst::Report::Carried)
        addHistory(HidBurst::reportText(reportId, bytes));
}

void HidCableLink::HidReadReport(HidDevice *, quint8 reportId, const quint8 *data, quint16 size)
{
    const QByteArrayView bytes(data, size);
    const HidBurst::Report kind
        = m_otherAssembler.feed(bytes, [this](const QString &frame, bool accepted) {
              m_sinks.otherFamily.take(frame, accepted);
          });
    if (kind == HidBurst::Report::Carried)
        addHistory(HidBurst::reportText(reportId, bytes));
}

bool HidCableLink::isRunning() const
{
    // What reads, not what the buttons show: another link's button raises them first.
    for (const QPointer<HidDevice> &d : m_entryDevices) {
        if (d && d->DataHandler())
            return true;
    }
    return false;
}

void HidCableLink::stop()
{
    m_controls.USBCon->setChecked(false);
    m_controls.ReadBtn->setChecked(false);
    ReadBtnClick();
    for (const QPointer<HidDevice> &d : std::as_const(m_entryDevices)) {
        if (d)
            d->setDataHandler(nullptr);
    }
}

void HidCableLink::silenceTick()
{
    if (m_burst.hidIdleReports() < IdleReportLimit)
        return;
    m_burst.resetHidIdleReports();
    m_controls.USBCon->setChecked(false);
    if (m_current)
        m_current->setDataHandler(nullptr);
    m_prompts.information(m_controls.dialogParent,
                          u"USB interface cable is securely connected, please check if the meter "
                          "is ready."_qs);
}
