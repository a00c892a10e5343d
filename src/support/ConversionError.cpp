#include "support/ConversionError.h"

QString ConversionError::message() const
{
    return u"'"_qs + text + u"' is not a valid integer value"_qs;
}
