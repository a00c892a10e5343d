#pragma once

class Beeper;
class Clock;
class PortNames;
class Prompts;

// The seams through which the window reaches the user and the system.
struct Services
{
    Prompts &prompts;
    Clock &clock;
    Beeper &beeper;
    PortNames &portNames;
};
