#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's own pictures, drawn from the SVG files in its resources.
namespace Pictures {

QPixmap pixmap(const QString &name, QSize size);
QIcon icon(const QString &name);
// A window's icon, drawn once at the sizes a window system asks for (16 to 128 pixels). The
// drawing runs on the raster engine's thread pool.
QIcon windowIcon(const QString &name);

} // namespace Pictures
