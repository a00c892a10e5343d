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

} // namespace Pictures
