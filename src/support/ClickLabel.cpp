#include "support/ClickLabel.h"

#include <QMouseEvent>

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled()
        && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
