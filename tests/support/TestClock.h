#pragma once

#include "support/Clock.h"

// A clock that shows whatever the test sets.
class TestClock : public Clock
{
public:
    QDateTime current = QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4));
    QDateTime now() const override { return current; }
};
