#pragma once

class Beeper;
class Clock;
class HidPlatform;
class PortNames;
class Prompts;

// The seams through which the window reaches the user and the system.
struct Services
{
    Prompts &prompts;
    Clock &clock;
    Beeper &beeper;
    PortNames &portNames;
    // The HID devices of the system; none: the window reads the machine's own.
    HidPlatform *hidPlatform = nullptr;
};
