#include "links/BridgeLink.h"

#include "links/LinkWatchdog.h"
#include "meter/FrameSink.h"
#include "support/Prompts.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

BridgeLink::BridgeLink(const Controls &controls, FrameSink &sink, Prompts &prompts,
                       LinkWatchdog &watchdog, LinkSet &links)
    : m_controls(controls)
    , m_sink(sink)
    , m_prompts(prompts)
    , m_watchdog(watchdog)
    , m_links(links)
{
}

BridgeLink::~BridgeLink() = default;

QString BridgeLink::stopText()
{
    return u"\u6D4B\u8BD5\u7ED3\u675F"_qs;
}

void BridgeLink::USBClick()
{
    if (!m_controls.USB->isChecked()) {
        stopSteps();
        return;
    }
    m_links.starting(this);
    m_running = true;
    m_lastRefusal.clear();
    m_controls.Timer1->start();
    usb_dllClick();
}

void BridgeLink::usb_dllClick()
{
    if (!ensurePoll()) {
        refuse(m_library.message());
        return;
    }
    m_session = m_poll->start();
}

bool BridgeLink::ensurePoll()
{
    if (m_poll)
        return true;
    if (m_library.load() != BridgeLibrary::Status::Loaded)
        return false;
    m_poll = std::make_unique<BridgePoll>(m_library.functions());
    return true;
}

void BridgeLink::Timer1Timer()
{
    // A box shown for one result keeps the timer running; the results after it wait for it.
    if (m_taking || !m_poll)
        return;
    m_taking = true;
    for (const BridgePoll::Event &event : m_poll->takeEvents()) {
        if (event.session == m_session && m_running)
            take(event);
    }
    m_taking = false;
}

void BridgeLink::take(const BridgePoll::Event &event)
{
    switch (event.kind) {
    case BridgePoll::Event::Kind::Open:
        if (!event.open.opened())
            refuse(event.open.message());
        break;
    case BridgePoll::Event::Kind::Frame:
        m_sink.take(event.frame, event.accepted);
        break;
    case BridgePoll::Event::Kind::Failing:
        m_watchdog.linkLost();
        m_controls.USB->setToolTip(
            u"The bridge cable has given no byte for %1 s: unplugged, or the meter is off"_qs.arg(
                BridgePoll::Timings().failingAfterMs / 1000));
        break;
    case BridgePoll::Event::Kind::Back:
        m_controls.USB->setToolTip(QString());
        break;
    }
}

void BridgeLink::refuse(const QString &message)
{
    // The link stops before the box shows, so nothing it would read waits behind the box.
    m_lastRefusal = message;
    stop();
    m_prompts.information(m_controls.dialogParent, message);
}

void BridgeLink::stop()
{
    m_controls.USB->setChecked(false);
    stopSteps();
}

void BridgeLink::stopSteps()
{
    m_running = false;
    m_controls.Memo3->setPlainText(stopText());
    m_controls.Timer1->stop();
    m_controls.USB->setToolTip(QString());
    if (m_poll)
        m_poll->stop();
}

void BridgeLink::updatedeviceClick()
{
    m_controls.cmbDevice->clear();
}

void BridgeLink::takeDown()
{
    stopSteps();
    if (m_poll)
        m_poll->shutDown(BridgePoll::ShutDownWaitMs);
}
