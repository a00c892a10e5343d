#include "recording/TablePrinter.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"

TablePrinter::TablePrinter(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void TablePrinter::MajPrintClick()
{
}
