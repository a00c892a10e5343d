#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

// Fonts and colours of the window. The window's design names Windows fonts; the nearest faces
// present stand in for them.
namespace WindowLook {

// The window's client area, below the menu bar; its size is fixed.
constexpr int ClientWidth = 809;
constexpr int ClientHeight = 532;

inline const QColor Cream(0xFF, 0xFB, 0xF0);
inline const QColor Silver(0xC0, 0xC0, 0xC0);

// The first of the families that is installed, alone; all of them when none is. The window's
// fonts name their faces this way: Qt looks for a missing first family among every font there
// is, and lists every font as the stand-ins of a face found after others (one sort of all fonts
// for each, before the first picture). Named alone, the face is found at once, and stand-ins
// are looked for only if a text needs a character the face lacks.
QStringList installedFamily(const QStringList &families);
// Whether Qt's font database lists the family (as it was when first asked; case aside). Qt also
// lists its generic names ("Sans Serif", "Serif", "Monospace"), which have no face of their own;
// the window's design names real families only.
bool isInstalled(const QString &family);

QFont sansSerif(int pixelHeight, bool bold); // "MS Sans Serif"
QFont arial(int pixelHeight, bool bold, bool italic = false);
// The segment-style display face of the replica LCD.
QFont segments(int pixelHeight);

} // namespace WindowLook
