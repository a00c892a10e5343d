#include "support/ShownText.h"

namespace {

bool shownAsItself(char32_t c)
{
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
        return false;
    if (c < 0x80)
        return true;
    if ((c & 0xFFFE) == 0xFFFE || (c >= 0xFDD0 && c <= 0xFDEF))
        return false; // non-characters
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format: // direction overrides and the like
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        return true;
    }
}

void appendHex(QString &out, char32_t c, int digits)
{
    out += QString::number(uint(c), 16).toUpper().rightJustified(digits, u'0');
}

} // namespace

QString ShownText::escaped(QStringView text, qsizetype limit)
{
    QString out;
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); ++characters) {
        if (characters == limit) {
            out += u"..."_qs;
            break;
        }
        char32_t c = text[i].unicode();
        qsizetype units = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        if (shownAsItself(c)) {
            out += text.mid(i, units);
        } else if (c < 0x100) {
            out += u"\\x"_qs;
            appendHex(out, c, 2);
        } else {
            out += u"\\u"_qs;
            appendHex(out, c, 4);
        }
        i += units;
    }
    return out;
}

QString ShownText::escapedUtf8(QByteArrayView bytes, qsizetype limit)
{
    // No character takes more than four bytes; one more shows that there was more.
    const qsizetype decoded = qMin(bytes.size(), 4 * limit + 4);
    return escaped(QString::fromUtf8(bytes.first(decoded)), limit);
}
