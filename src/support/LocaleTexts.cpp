#include "support/LocaleTexts.h"

#include <QLocale>

namespace LocaleTexts {

namespace {

QString twoDigits(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

} // namespace

QString decimalSeparatorText()
{
    // The system call this mirrors fills a 10-byte buffer, so at most nine characters survive.
    return QLocale::system().decimalPoint().left(9);
}

QString timeSeparatorText()
{
    // The locale names no separator of its own: take what stands between the hour and the
    // minute fields of its time format.
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    const qsizetype hour = format.indexOf(u'h', 0, Qt::CaseInsensitive);
    if (hour >= 0) {
        qsizetype start = hour;
        while (start < format.size() && format[start].toLower() == u'h')
            ++start;
        const qsizetype minute = format.indexOf(u'm', start);
        if (minute > start) {
            const QString separator = format.mid(start, minute - start).trimmed();
            if (!separator.isEmpty() && !separator.contains(u'\''))
                return separator;
        }
    }
    return u":"_qs;
}

QString clockLabelText(const QDateTime &when, const QString &timeSeparator)
{
    const QTime t = when.time();
    const QDate d = when.date();
    const QString sep = u" "_qs + timeSeparator + u" "_qs;
    return twoDigits(t.hour()) + sep + twoDigits(t.minute()) + sep + twoDigits(t.second())
        + u"     "_qs + twoDigits(d.month()) + u" - "_qs + twoDigits(d.day()) + u" - "_qs
        + QString::number(d.year()).rightJustified(4, u'0');
}

QString recordTimeText(const QTime &when, const QString &timeSeparator)
{
    return twoDigits(when.hour()) + timeSeparator + twoDigits(when.minute()) + timeSeparator
        + twoDigits(when.second());
}

} // namespace LocaleTexts
