#include "support/BorrowedPanel.h"

#include <QBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QScreen>

BorrowedPanel::BorrowedPanel(const QString &title, QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    setWindowTitle(title);
    // The controls keep the owner's font and colours, which a window of its own would not take.
    setAttribute(Qt::WA_WindowPropagation);
    m_rows = new QVBoxLayout(this);
}

BorrowedPanel::~BorrowedPanel()
{
    giveBack();
}

void BorrowedPanel::addRow(const QList<QWidget *> &controls, const QString &caption)
{
    auto *row = new QHBoxLayout;
    m_rows->addLayout(row);
    if (!caption.isEmpty()) {
        auto *label = new QLabel(caption, this);
        label->setMinimumWidth(70);
        row->addWidget(label);
    }
    for (QWidget *c : controls)
        m_controls.append({c, row, nullptr, {}, false});
}

void BorrowedPanel::open()
{
    if (!m_borrowed) {
        for (Borrowed &b : m_controls) {
            if (!b.control)
                continue;
            b.home = b.control->parentWidget();
            b.place = b.control->geometry();
            b.visible = b.control->isVisibleTo(b.home);
            b.row->addWidget(b.control);
            b.control->show();
        }
        m_borrowed = true;
    }
    // The first time at its first place on the screen; afterwards where the user left it.
    const bool firstTime = !m_placed && parentWidget();
    if (firstTime) {
        m_rows->activate();
        if (!testAttribute(Qt::WA_Resized))
            adjustSize();
        const QRect owner = parentWidget()->frameGeometry();
        QRect place(QPoint(0, 0), frameGeometry().size());
        switch (m_firstPlace) {
        case FirstPlace::OverOwner:
            place.moveCenter(owner.center());
            break;
        case FirstPlace::BelowLeft:
            place.moveTopLeft(owner.bottomLeft() + QPoint(0, 1));
            break;
        case FirstPlace::BelowRight:
            place.moveTopRight(owner.bottomRight() + QPoint(0, 1));
            break;
        }
        move(keptOnScreen(place));
        m_placed = true;
    }
    show();
    // The frame is known once shown; it may push the panel over the screen's edge.
    if (firstTime)
        move(keptOnScreen(frameGeometry()));
    raise();
    activateWindow();
}

QPoint BorrowedPanel::keptOnScreen(const QRect &frame) const
{
    const QScreen *screen = parentWidget()->screen();
    if (!screen)
        return frame.topLeft();
    const QRect available = screen->availableGeometry();
    const auto bound = [](int low, int value, int length, int room) {
        return qBound(low, value, qMax(low, low + room - length));
    };
    return {bound(available.left(), frame.left(), frame.width(), available.width()),
            bound(available.top(), frame.top(), frame.height(), available.height())};
}

void BorrowedPanel::giveBack()
{
    if (!m_borrowed)
        return;
    m_borrowed = false;
    for (Borrowed &b : m_controls) {
        if (!b.control || !b.home)
            continue;
        b.row->removeWidget(b.control);
        b.control->setParent(b.home);
        b.control->setGeometry(b.place);
        b.control->setVisible(b.visible);
    }
}

void BorrowedPanel::hideEvent(QHideEvent *event)
{
    // However the panel goes (closed, or hidden with the main window), the controls go home.
    if (!event->spontaneous())
        giveBack();
    QWidget::hideEvent(event);
}
