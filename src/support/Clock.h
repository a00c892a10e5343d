#pragma once

#include <QDateTime>

// The local date and time. Tests install their own clock.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const;
};
