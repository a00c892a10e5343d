#pragma once

#include "links/CableLink.h"
#include "links/HidAssembly.h"
#include "links/hid/HidDevice.h"

#include <QPointer>

class FrameSink;
class HidDeviceController;
class Prompts;
class QCheckBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The HID cable ("USB to Serial"): the list of HID devices present with the cable selected, the
// speed report, and the reports read from the cable assembled into frames for the window's sink.
// The "Read" button reads the 22000-count family's frames instead, which are only echoed.
class HidCableLink : public CableLink
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        QListWidget *DevListBox = nullptr;
        QListWidget *HistoryListBox = nullptr;
        QPushButton *USBCon = nullptr;
        QPushButton *ReadBtn = nullptr;
        QPlainTextEdit *Memo1 = nullptr;
        QPlainTextEdit *Memo2 = nullptr;
        const QCheckBox *Brimlow = nullptr; // the model switch
    };
    // Where frames go: the window's frame sink, and the one of the other meter family.
    struct Sinks
    {
        FrameSink &meter;
        FrameSink &otherFamily;
    };

    // The logs keep this many of their newest lines.
    static constexpr int MaxLogLines = 10000;
    // Reports without meter bytes after which the watchdog stops the link.
    static constexpr qint32 IdleReportLimit = 1900;

    // Without a controller (another one exists) the list stays empty.
    HidCableLink(const Controls &controls, HidDeviceController *HidCtl, const Sinks &sinks,
                 Prompts &prompts, LinkSet &links);
    ~HidCableLink() override;

    // Hands the controller this link's handlers; the first device change fills the list.
    void attach();

    void USBConClick();
    void SetFeatureClick();
    void ReadBtnClick();
    void ClearBtnClick();

    bool HidCtlEnumerate(HidDevice *device, int index);
    void HidCtlDeviceChange(HidDeviceController *sender);
    void HidCtlArrival(HidDevice *device);
    void HidCtlRemoval(HidDevice *device);
    void HidCtlDeviceDataError(HidDevice *device, quint32 error);
    void HidReportToFrame(HidDevice *device, quint8 reportId, const quint8 *data, quint16 size);
    void HidReadReport(HidDevice *device, quint8 reportId, const quint8 *data, quint16 size);

    static QString DescribeHidDevice(HidDevice *device);

    // `HidIdleReports`, shared by both report handlers.
    HidBurst &burst() { return m_burst; }
    HidDevice *currentDevice() const { return m_current; }

    bool isRunning() const override;
    void stop() override;
    // The cable answers but the meter sends nothing: the link stops and says so.
    void silenceTick() override;

private:
    HidDevice *selectedDevice() const;
    void startReading();
    void noAccess(HidDevice *device);
    void addHistory(const QString &line);
    void addLine(QPlainTextEdit *memo, const QString &line);
    void returnAll();

    Controls m_controls;
    HidDeviceController *m_ctl;
    Sinks m_sinks;
    Prompts &m_prompts;
    LinkSet &m_links;
    QList<QPointer<HidDevice>> m_entryDevices; // the device of each DevListBox entry
    QPointer<HidDevice> m_current; // `CurrentHidDevice`
    HidBurst m_burst;
    HidBurstAssembler m_assembler {m_burst};
    HidReadReportAssembler m_otherAssembler {m_burst};
    QString m_lastError; // the last READ ERROR line, before its repeat count
    int m_errorRepeats = 0;
};
