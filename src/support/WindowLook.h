#pragma once

#include <QColor>
#include <QFont>
#include <QString>

// Fonts and colours of the window. The window's design names Windows fonts; the nearest faces
// present stand in for them.
namespace WindowLook {

// The window's client area, below the menu bar; its size is fixed.
constexpr int ClientWidth = 809;
constexpr int ClientHeight = 532;

inline const QColor Cream(0xFF, 0xFB, 0xF0);
inline const QColor Silver(0xC0, 0xC0, 0xC0);

QFont sansSerif(int pixelHeight, bool bold); // "MS Sans Serif"
QFont arial(int pixelHeight, bool bold, bool italic = false);
// The segment-style display face of the replica LCD.
QFont segments(int pixelHeight);

} // namespace WindowLook
