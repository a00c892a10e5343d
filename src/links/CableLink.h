#pragma once

#include <QList>
#include <QObject>

// One cable's link as the window runs it. One link runs at a time: a link that starts asks
// the set to stop the others first, so the buttons always show what runs.
class CableLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isRunning() const = 0;
    // Stops the link with its own disconnect steps; its button goes up.
    virtual void stop() = 0;
    // At exit.
    virtual void takeDown()
    {
        if (isRunning())
            stop();
    }
    // Every third watchdog tick without a decoded frame, while this link runs.
    virtual void silenceTick() { }
};

class LinkSet
{
public:
    void add(CableLink *link) { m_links.append(link); }
    // The link is starting: every other link that runs stops first.
    void starting(const CableLink *link)
    {
        for (CableLink *other : std::as_const(m_links)) {
            if (other != link && other->isRunning())
                other->stop();
        }
    }
    // The link that runs, if any.
    CableLink *active() const
    {
        for (CableLink *link : m_links) {
            if (link->isRunning())
                return link;
        }
        return nullptr;
    }
    void takeDownAll()
    {
        for (CableLink *link : std::as_const(m_links))
            link->takeDown();
    }

private:
    QList<CableLink *> m_links;
};
