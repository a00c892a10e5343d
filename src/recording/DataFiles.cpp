#include "recording/DataFiles.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"

DataFiles::DataFiles(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void DataFiles::SpeedButton2Click()
{
}

void DataFiles::saveasClick()
{
}
