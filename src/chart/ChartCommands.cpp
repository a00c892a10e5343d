#include "chart/ChartCommands.h"

#include "app/FormControls.h"
#include "app/RunState.h"
#include "app/Services.h"

#include <QWheelEvent>

ChartCommands::ChartCommands(FormControls &controls, RunState &state, Services &services)
    : m_controls(controls)
    , m_state(state)
    , m_services(services)
{
}

void ChartCommands::btFillClick()
{
}

void ChartCommands::FillClick()
{
}

void ChartCommands::MaxrecordExit()
{
}

void ChartCommands::Timer2Timer()
{
}

void ChartCommands::BtSaveClick()
{
}

void ChartCommands::BtFirstClick()
{
}

void ChartCommands::BTPreviousClick()
{
}

void ChartCommands::BtNextClick()
{
}

void ChartCommands::BTlastClick()
{
}

void ChartCommands::TbFdClick()
{
}

bool ChartCommands::ChtshowMouseWheel(QWheelEvent *event)
{
    event->accept();
    return true;
}

bool ChartCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return ChtshowMouseWheel(static_cast<QWheelEvent *>(event));
    return QObject::eventFilter(watched, event);
}
