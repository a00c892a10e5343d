#include "app/ExitCommand.h"

#include "links/CableLink.h"
#include "recording/ReadingRecorder.h"
#include "support/Prompts.h"

#include <QPushButton>

ExitCommand::ExitCommand(const Controls &controls, Prompts &prompts, ReadingRecorder &recorder,
                         LinkSet &links)
    : m_controls(controls)
    , m_prompts(prompts)
    , m_recorder(recorder)
    , m_links(links)
{
}

QString ExitCommand::exitQuestion()
{
    return u"Are you ensure to exit the program\uFF1F"_qs;
}

void ExitCommand::BitBtn1Click()
{
    if (!m_prompts.question(m_controls.dialogParent, exitQuestion()))
        return;
    // The program entry connects this to the application's quit, which ends the event loop
    // once this handler has returned.
    Q_EMIT exitConfirmed();
    m_recorder.closeTable();
    m_links.takeDownAll();
}

bool ExitCommand::FormCloseQuery()
{
    if (!m_recorder.hasUnsavedRows())
        return true;
    return m_prompts.question(m_controls.dialogParent, exitQuestion());
}

void ExitCommand::BtExit1Click()
{
    m_controls.BitBtn1->click();
}
