#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Outside input as a message quotes it: a terminal or a message box shows it as text, never acts
// on it, and a huge input gives a short message.
namespace ShownText {

// Characters of input a message quotes at most; longer input is cut and ends in "...".
constexpr qsizetype MaxShown = 40;

// Control and format characters, lone surrogates and non-characters as "\xNN" (below U+0100) or
// "\uNNNN"; cut after `limit` characters (whole characters: a pair of surrogates is one).
QString escaped(QStringView text, qsizetype limit = MaxShown);
// The same for bytes in UTF-8 (the local 8-bit code page of Qt on Unix); only the bytes that
// can give `limit` characters are decoded.
QString escapedUtf8(QByteArrayView bytes, qsizetype limit = MaxShown);

} // namespace ShownText
