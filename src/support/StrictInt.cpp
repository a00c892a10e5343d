#include "support/StrictInt.h"

namespace {

char16_t code(QChar c)
{
    return c.unicode();
}

char16_t code(char c)
{
    return char16_t(static_cast<unsigned char>(c));
}

template<class Text> std::optional<qint32> strictToIntOf(const Text &text)
{
    const size_t size = size_t(text.size());
    size_t i = 0;
    bool negative = false;
    if (i < size && (code(text[i]) == u'-' || code(text[i]) == u'+')) {
        negative = code(text[i]) == u'-';
        ++i;
    }
    if (i == size)
        return std::nullopt;
    qint64 value = 0;
    for (; i < size; ++i) {
        const char16_t c = code(text[i]);
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(1) << 31)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL || value < -2147483648LL)
        return std::nullopt;
    return qint32(value);
}

} // namespace

std::optional<qint32> strictToInt(QStringView text)
{
    return strictToIntOf(text);
}

std::optional<qint32> strictToInt(std::string_view text)
{
    return strictToIntOf(text);
}
