#include "support/ConversionError.h"

#include "support/ShownText.h"

QString ConversionError::message() const
{
    return u"'"_qs + ShownText::escaped(text) + u"' is not a valid integer value"_qs;
}
