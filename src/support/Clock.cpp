#include "support/Clock.h"

QDateTime Clock::now() const
{
    return QDateTime::currentDateTime();
}
