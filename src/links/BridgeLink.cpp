#include "links/BridgeLink.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"

#include <QPushButton>

BridgeLink::BridgeLink(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void BridgeLink::USBClick()
{
    // The bridge cable's library is not part of this build: the button must not stay down as
    // if a cable were connected.
    m_controls.USB->setChecked(false);
}

void BridgeLink::Timer1Timer()
{
}
