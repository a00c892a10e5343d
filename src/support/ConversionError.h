#pragma once

#include <QString>

// A text that had to be a decimal integer and was not. Handlers stop at the failing step and
// the message reaches the user through the general error report.
struct ConversionError
{
    QString text; // the text that failed to convert, shown between quotes

    QString message() const;
};
