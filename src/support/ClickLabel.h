#pragma once

#include <QLabel>

// A label that reports clicks: the window's clickable panels and pictures.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
