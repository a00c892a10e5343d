#include "app/ExitCommand.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"
#include "support/Prompts.h"

#include <QPushButton>

ExitCommand::ExitCommand(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void ExitCommand::BitBtn1Click()
{
    if (!m_services.prompts.question(m_controls.FCOMM,
                                     u"Are you ensure to exit the program\uFF1F"_qs))
        return;
    // The program entry connects this to the application's quit, which ends the event loop
    // once this handler has returned.
    Q_EMIT exitConfirmed();
}

void ExitCommand::BtExit1Click()
{
    m_controls.BitBtn1->click();
}
