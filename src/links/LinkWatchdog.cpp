#include "links/LinkWatchdog.h"

#include "links/CableLink.h"

#include <QLabel>

LinkWatchdog::LinkWatchdog(const Pictures &pictures, LinkState &state, const LinkSet &links)
    : m_pictures(pictures)
    , m_state(state)
    , m_links(links)
{
}

void LinkWatchdog::frameArrived()
{
    m_pictures.conok->show();
    m_pictures.conokn->hide();
    m_state.LinkSilenceCount = 0;
}

void LinkWatchdog::showDisconnected()
{
    m_pictures.conok->hide();
    m_pictures.conokn->show();
}

void LinkWatchdog::linkLost()
{
    showDisconnected();
    m_state.LinkSilenceCount = 0;
}

void LinkWatchdog::ConTimerTimer()
{
    if (m_state.LinkSilenceCount != 2) {
        ++m_state.LinkSilenceCount;
        return;
    }
    if (CableLink *link = m_links.active())
        link->silenceTick();
    showDisconnected();
    m_state.LinkSilenceCount = 0;
}
