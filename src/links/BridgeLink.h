#pragma once

#include "links/CableLink.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;

// The USB bridge cable, driven through its maker's library.
class BridgeLink : public CableLink
{
    Q_OBJECT
public:
    struct Controls
    {
        QPushButton *USB = nullptr;
        QPlainTextEdit *Memo3 = nullptr;
        QTimer *Timer1 = nullptr; // the byte poll
    };

    BridgeLink(const Controls &controls, LinkSet &links);

    void USBClick();
    void Timer1Timer();
    bool openTried() const { return m_openTried; }

    bool isRunning() const override { return false; }
    void stop() override { }
    // Takes the link down at exit: status text, poll stopped, the bridge closed if opened.
    void takeDown() override;

private:
    Controls m_controls;
    LinkSet &m_links;
    bool m_openTried = false; // no bridge library in this build: never tried
};
