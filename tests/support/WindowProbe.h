#pragma once

#include "support/TestWindow.h"

#include <QLabel>

// The four main digits of the replica LCD as one text.
inline QString digits(TestWindow &t)
{
    QString text;
    for (const char16_t *name : {u"LcdDa", u"LcdDb", u"LcdDc", u"LcdDd"})
        text += t.find<QLabel>(QString::fromUtf16(name))->text();
    return text;
}

inline bool visible(TestWindow &t, const QString &name)
{
    return t.find<QWidget>(name)->isVisible();
}
