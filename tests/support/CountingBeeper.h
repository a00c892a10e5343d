#pragma once

#include "support/Beeper.h"

// Counts beeps instead of sounding them.
class CountingBeeper : public Beeper
{
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};
