#include "support/ErrorReport.h"

#include "support/Prompts.h"

#include <QTimer>
#include <QWidget>

ErrorReport::ErrorReport(Prompts &prompts, QWidget *parent)
    : QObject(parent)
    , m_prompts(prompts)
    , m_parent(parent)
{
}

void ErrorReport::report(const QString &message)
{
    if (m_showing || m_queued) {
        ++m_suppressed;
        return;
    }
    m_pending = message;
    m_queued = true;
    QTimer::singleShot(0, this, &ErrorReport::showPending);
}

void ErrorReport::showPending()
{
    m_queued = false;
    m_showing = true;
    m_prompts.applicationError(m_parent, m_pending);
    m_showing = false;
}
