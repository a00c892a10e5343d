#pragma once

#include <QStringView>
#include <optional>

// Strict conversion of typed or received numbers: an optional sign and decimal digits, nothing
// else (no blanks, no hex), within the 32-bit signed range.
std::optional<qint32> strictToInt(QStringView text);
