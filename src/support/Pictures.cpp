#include "support/Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

namespace Pictures {

QPixmap pixmap(const QString &name, QSize size)
{
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QSvgRenderer renderer(u":/pictures/"_qs + name + u".svg"_qs);
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}

QIcon icon(const QString &name)
{
    return QIcon(u":/pictures/"_qs + name + u".svg"_qs);
}

QIcon windowIcon(const QString &name)
{
    // A scalable icon would be read again for each size as the window is shown; reading it once
    // here saves that from the start-up.
    QSvgRenderer renderer(u":/pictures/"_qs + name + u".svg"_qs);
    QIcon icon;
    for (const int side : {16, 32, 64, 128}) {
        QPixmap picture(side, side);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

} // namespace Pictures
