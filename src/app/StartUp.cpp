// The window's creation handler: every part's initial state, in a fixed order. The chart's
// paging controller is created with the other parts just before it runs.

#include "app/MainWindow.h"
#include "chart/AnalogDial.h"
#include "chart/ChartControl.h"
#include "links/SerialLink.h"
#include "meter/BarGraph.h"
#include "meter/LcdPanel.h"
#include "recording/ReadingRecorder.h"
#include "support/Clock.h"
#include "support/LocaleTexts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

// The dial's face that FormCreate sets up, drawn on a thread while the rest of the window is
// built. The switch boxes FormCreate reads will hold the switches the window was made with.
void MainWindow::prepareDialFace()
{
    const ModelProfile profile = selectProfile(m_switches);
    const std::optional<ProfileRow> row = profileRow(profile.scaleCode);
    m_controls.KD1->prepareFace(profile.scaleCode,
                                row ? row->dialScale : DialScale {4000, 400, 40, 80});
}

void MainWindow::FormCreate()
{
    FormControls &c = m_controls;
    RunState &s = m_state;

    s.DecimalSeparatorText = LocaleTexts::decimalSeparatorText();
    s.TimeSeparatorText = LocaleTexts::timeSeparatorText();

    c.Panel1->clockLabel()->setText(
        LocaleTexts::clockLabelText(m_services.clock.now(), s.TimeSeparatorText));

    s.scaleCode = u"4"_qs;
    s.dialScale = DialScale {4000, 400, 40, 80};

    s.limits.TrackedUnit = u"113"_qs;

    m_recorder->createTable();
    s.counters.RecordNo = 1;
    s.counters.RecordLimit = 10000;

    // The switch boxes hold the model choice; read them in their fixed order.
    ModelSwitches chosen;
    chosen.IFFerrant = c.IFFerrant->isChecked();
    chosen.Gostel = c.Gostel->isChecked();
    chosen.Brimlow = c.Brimlow->isChecked();
    chosen.IFSennick = c.IFSennick->isChecked();
    s.profile = selectProfile(chosen);
    s.scaleCode = s.profile.scaleCode;
    switch (s.profile.receiveHandler) {
    case ReceiveHandler::GostelData:
        m_serialLink->installGostelData();
        break;
    case ReceiveHandler::FerrantDATA:
        m_serialLink->installFerrantDATA();
        break;
    case ReceiveHandler::NestrelData:
        m_serialLink->installNestrelData();
        break;
    case ReceiveHandler::None:
        break;
    }
    m_serialLink->setStartPort(s.profile.portNumber, s.profile.selectsCom1);

    if (const std::optional<ProfileRow> row = profileRow(s.scaleCode)) {
        s.dialScale = row->dialScale;
        // A changed text runs the edit's change handler, which recomputes its limit.
        c.Setmax->setText(row->setMaxText);
        c.SetMin->setText(row->setMinText);
        c.MinText->setText(row->minText);
        c.MaxText->setText(row->maxText);
        if (row->barMaximum > 0)
            c.PBar2->setMaximum(row->barMaximum);
    }

    m_chartControl->SetLeftMax(s.dialScale.fullScale);
    m_chartControl->SetLeftMin(-s.dialScale.fullScale);

    c.KD1->KDsetup(1);
    c.KD1->KDrun(s.dialScale.needleOffset);

    setWindowTitle(composeCaption(s.profile, processorSuffix()));
}
