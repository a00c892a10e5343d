#include "links/BridgeLink.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

BridgeLink::BridgeLink(const Controls &controls, LinkSet &links)
    : m_controls(controls)
    , m_links(links)
{
}

void BridgeLink::USBClick()
{
    m_links.starting(this);
    // The bridge cable's library is not part of this build: the button must not stay down as
    // if a cable were connected.
    m_controls.USB->setChecked(false);
}

void BridgeLink::Timer1Timer() { }

void BridgeLink::takeDown()
{
    m_controls.Memo3->setPlainText(u"\u6D4B\u8BD5\u7ED3\u675F"_qs); // "test finished"
    m_controls.Timer1->stop();
    // Closing the bridge belongs with opening it, which this build never does.
}
