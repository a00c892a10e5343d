#pragma once

// The system's default beep. Tests count the beeps instead.
class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void beep();
};
