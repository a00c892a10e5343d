#include "meter/Reading.h"

QString Reading::frameBitsText() const
{
    QString text(52, Qt::Uninitialized);
    for (int position = 1; position <= 52; ++position)
        text[position - 1] = bit(position) ? u'1' : u'0';
    return text;
}
