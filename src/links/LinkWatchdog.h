#pragma once

#include <QObject>

class LinkSet;
class QLabel;

// The watchdog's counters.
struct LinkState
{
    // Watchdog ticks since the last decoded frame. (The HID cable's count of reports without
    // meter bytes lives with its link, which the watchdog asks on silence.)
    int LinkSilenceCount = 0;
};

// Shows whether frames arrive: every decoded frame shows the connected picture, and the third
// watchdog tick without one shows the not-connected picture, after asking the running link
// whether its cable still delivers.
class LinkWatchdog : public QObject
{
    Q_OBJECT
public:
    struct Pictures
    {
        QLabel *conok = nullptr;
        QLabel *conokn = nullptr;
    };

    LinkWatchdog(const Pictures &pictures, LinkState &state, const LinkSet &links);

    // A frame reached the decoder.
    void frameArrived();
    void showDisconnected();
    // The running link lost its device: not connected at once, counting afresh.
    void linkLost();
    // The watchdog tick, every 100 ms.
    void ConTimerTimer();

private:
    Pictures m_pictures;
    LinkState &m_state;
    const LinkSet &m_links;
};
