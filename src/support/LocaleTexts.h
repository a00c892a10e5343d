#pragma once

#include <QDateTime>
#include <QString>

// Texts taken from the user's locale once at start-up, and the time formats built from them.
namespace LocaleTexts {

// The default locale's decimal separator, at most nine characters (empty when none is given).
QString decimalSeparatorText();
// The separator between hours, minutes and seconds in the locale's time format (":" by default).
QString timeSeparatorText();

// "hh : nn : ss     mm - dd - yyyy" with the locale's time separator in place of the colons.
QString clockLabelText(const QDateTime &when, const QString &timeSeparator);
// "hh:mm:ss" with the locale's time separator.
QString recordTimeText(const QTime &when, const QString &timeSeparator);

} // namespace LocaleTexts
