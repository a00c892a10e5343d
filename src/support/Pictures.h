#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>
#include <thread>

// The program's own pictures, drawn from the SVG files in its resources.
namespace Pictures {

QPixmap pixmap(const QString &name, QSize size);
// The scalable icon: drawn anew at each size asked for.
QIcon icon(const QString &name);
// An icon drawn once for a button's icon size, as the scalable icon draws itself for that size:
// at the largest size with the picture's proportions that fits in it.
QIcon icon(const QString &name, QSize iconSize);
// A window's icon, drawn once at the sizes a window system asks for (16 to 128 pixels). The
// drawing runs on the raster engine's thread pool.
QIcon windowIcon(const QString &name);

// A picture that a window asks for, as pixmap() (exact size), icon(name, size) or windowIcon()
// ask for it.
struct Order
{
    enum class Kind { Pixmap, Icon, WindowIcon };
    QString name;
    QSize size; // the pixmap's or the icon's size; unused for a window icon
    Kind kind = Kind::Pixmap;
};

// Draws the ordered pictures, in their order, on a thread of its own while the window that
// shows them is built (made after the application, for the painter's default font). The calls
// above take an ordered picture instead of drawing it: one being drawn is waited for, one not
// begun yet or not ordered is drawn when asked for. Ends with its thread.
class Preparation
{
public:
    explicit Preparation(const QList<Order> &orders);
    ~Preparation();
    Preparation(const Preparation &) = delete;
    Preparation &operator=(const Preparation &) = delete;

    // How many ordered pictures have not been taken yet (drawn or still to come).
    static int left();

private:
    std::thread m_thread;
};

} // namespace Pictures
