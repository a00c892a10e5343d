#pragma once

#include <QStringList>

// Device paths of the serial ports present on this machine.
QStringList systemSerialPorts();
