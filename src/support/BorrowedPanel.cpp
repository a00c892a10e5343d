#include "support/BorrowedPanel.h"

#include <QBoxLayout>
#include <QHideEvent>
#include <QLabel>

BorrowedPanel::BorrowedPanel(const QString &title, QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    setWindowTitle(title);
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
    // The first time over the middle of the main window; afterwards where the user left it.
    if (!m_placed && parentWidget()) {
        move(parentWidget()->frameGeometry().center() - rect().center());
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
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
