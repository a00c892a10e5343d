#include "app/ExitCommand.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "links/BridgeLink.h"
#include "recording/ReadingRecorder.h"
#include "support/Prompts.h"

#include <QPushButton>

ExitCommand::ExitCommand(FormControls &controls, RunState &state, Services &services,
                         ReadingRecorder &recorder, BridgeLink &bridge)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
    , m_recorder(recorder)
    , m_bridge(bridge)
{
}

QString ExitCommand::exitQuestion()
{
    return u"Are you ensure to exit the program\uFF1F"_qs;
}

void ExitCommand::BitBtn1Click()
{
    if (!m_services.prompts.question(m_controls.FCOMM, exitQuestion()))
        return;
    // The program entry connects this to the application's quit, which ends the event loop
    // once this handler has returned.
    Q_EMIT exitConfirmed();
    m_recorder.closeTable();
    m_bridge.takeDown();
}

bool ExitCommand::FormCloseQuery()
{
    if (!m_recorder.hasUnsavedRows())
        return true;
    return m_services.prompts.question(m_controls.FCOMM, exitQuestion());
}

void ExitCommand::BtExit1Click()
{
    m_controls.BitBtn1->click();
}
