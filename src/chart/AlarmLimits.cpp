#include "chart/AlarmLimits.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"

AlarmLimits::AlarmLimits(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void AlarmLimits::SetmaxExit()
{
}

void AlarmLimits::SetMinExit()
{
}
