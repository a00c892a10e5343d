#pragma once

#include <QStringView>
#include <optional>
#include <string_view>

// Strict conversion of typed or received numbers: an optional sign and decimal digits, nothing
// else (no blanks, no hex), within the 32-bit signed range.
std::optional<qint32> strictToInt(QStringView text);
// The same rule on 8-bit text, as files hold it.
std::optional<qint32> strictToInt(std::string_view text);
