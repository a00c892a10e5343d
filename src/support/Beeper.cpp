#include "support/Beeper.h"

#include <QApplication>

void Beeper::beep()
{
    QApplication::beep();
}
