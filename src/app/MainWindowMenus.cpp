// The menu bar and the timers of the window.

#include "app/MainWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace {

QAction *item(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

QAction *tickItem(QMenu *menu, const QString &name, const QString &caption, bool ticked)
{
    QAction *a = item(menu, name, caption);
    a->setCheckable(true);
    a->setChecked(ticked);
    return a;
}

QMenu *menu(QMenuBar *bar, const QString &name, const QString &caption, bool visible)
{
    QMenu *m = bar->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name + u"Action"_qs);
    m->menuAction()->setVisible(visible);
    return m;
}

QTimer *timer(QObject *owner, const QString &name, int interval, bool running)
{
    auto *t = new QTimer(owner);
    t->setObjectName(name);
    t->setInterval(interval);
    // Coarse timers fire on shared boundaries (with the serial poll too): fewer wake-ups.
    t->setTimerType(Qt::CoarseTimer);
    if (running)
        t->start();
    return t;
}

} // namespace

void MainWindow::buildMenus()
{
    FormControls &c = m_controls;
    QMenuBar *bar = menuBar();
    bar->setNativeMenuBar(false);

    c.ComSetup1 = menu(bar, u"ComSetup1"_qs, u"ComSetup"_qs, false);
    // Ticks follow the selected port; they are set by the serial link, not by the menu itself.
    c.COM11 = tickItem(c.ComSetup1, u"COM11"_qs, u"COM1"_qs, true);
    c.COM21 = tickItem(c.ComSetup1, u"COM21"_qs, u"COM2"_qs, false);
    c.COM31 = tickItem(c.ComSetup1, u"COM31"_qs, u"COM3"_qs, false);
    c.COM41 = tickItem(c.ComSetup1, u"COM41"_qs, u"COM4"_qs, false);

    c.Connect1 = menu(bar, u"Connect1"_qs, u"Connect"_qs, false);
    c.START1 = tickItem(c.Connect1, u"START1"_qs, u"START"_qs, true);
    c.STOP1 = tickItem(c.Connect1, u"STOP1"_qs, u"STOP"_qs, false);
    c.STOP1->setEnabled(false);

    menu(bar, u"Blank1"_qs, QString(), true);

    c.Graphic1 = menu(bar, u"Graphic1"_qs, u"Graphic"_qs, false);
    c.First1 = item(c.Graphic1, u"First1"_qs, u"First"_qs);
    c.Previous1 = item(c.Graphic1, u"Previous1"_qs, u"Previous"_qs);
    c.Next1 = item(c.Graphic1, u"Next1"_qs, u"Next"_qs);
    c.Last1 = item(c.Graphic1, u"Last1"_qs, u"Last"_qs);
    c.Graphic1->addSeparator();
    item(c.Graphic1, u"GraphicNew1"_qs, u"New"_qs);
    c.GraphicSave1 = item(c.Graphic1, u"GraphicSave1"_qs, u"Save"_qs);
    c.Graphic1->addSeparator();
    c.Fill1 = tickItem(c.Graphic1, u"Fill1"_qs, u"Fill"_qs, true);

    c.Record1 = menu(bar, u"Record1"_qs, u"Record"_qs, true);
    c.RecordNew1 = item(c.Record1, u"RecordNew1"_qs, u"New"_qs);
    c.RecordNew1->setVisible(false);
    c.RecordSave1 = item(c.Record1, u"RecordSave1"_qs, u"Save"_qs);
    c.RecordSave1->setVisible(false);
    c.Record1->addSeparator()->setVisible(false);
    c.N10001 = tickItem(c.Record1, u"N10001"_qs, u"1000"_qs, false);
    c.N50001 = tickItem(c.Record1, u"N50001"_qs, u"5000"_qs, false);
    c.N100001 = tickItem(c.Record1, u"N100001"_qs, u"10000"_qs, true);
    c.N500001 = tickItem(c.Record1, u"N500001"_qs, u"50000"_qs, false);
    c.N1000001 = tickItem(c.Record1, u"N1000001"_qs, u"100000"_qs, false);
    c.limitess = tickItem(c.Record1, u"limitess"_qs, u"limitless"_qs, false);

    menu(bar, u"Blank2"_qs, QString(), true);

    c.EXIT1 = bar->addAction(u"Exit"_qs);
    c.EXIT1->setObjectName(u"EXIT1"_qs);
    c.EXIT1->setVisible(false);
}

void MainWindow::buildTimers()
{
    FormControls &c = m_controls;
    c.ConTimer = timer(this, u"ConTimer"_qs, 100, true);
    c.Trecord = timer(this, u"Trecord"_qs, 1000, false); // one tick per second of sampling
    c.Timer1 = timer(this, u"Timer1"_qs, 10, false);
    c.Timer2 = timer(this, u"Timer2"_qs, 1000, false);
}
