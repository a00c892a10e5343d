#include "links/BridgeLink.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"

BridgeLink::BridgeLink(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void BridgeLink::USBClick()
{
}

void BridgeLink::Timer1Timer()
{
}
