#pragma once

#include "FakeHidPlatform.h"
#include "app/MainWindow.h"
#include "meter/MeterDisplay.h"
#include "support/CountingBeeper.h"
#include "support/PortNames.h"
#include "support/ScriptedPrompts.h"
#include "support/TestClock.h"

#include <QStringList>
#include <memory>

// The real main window with the test seams installed. Ports come from the given list.
struct TestWindow
{
    ScriptedPrompts prompts;
    TestClock clock;
    CountingBeeper beeper;
    QStringList ports;
    int portListings = 0; // how often the window listed the ports
    PortNames portNames {[this] {
        ++portListings;
        return ports;
    }};
    // No HID device until a test plugs one in.
    FakeHidPlatform hid;
    std::unique_ptr<MainWindow> window;

    explicit TestWindow(const ModelSwitches &switches = {})
    {
        window = std::make_unique<MainWindow>(Services {prompts, clock, beeper, portNames, &hid},
                                              switches);
    }

    // Runs the display sequence on a frame, as a link does when one has arrived.
    FrameDecoder::Result showFrame(const QString &frame)
    {
        window->state().ReadingFrame = frame;
        return window->display().LcdDisplayGostel();
    }

    template<class T> T *find(const QString &name) const { return window->findChild<T *>(name); }
};
