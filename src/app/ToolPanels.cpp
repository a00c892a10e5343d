// The "Tools" menu, after the window's own menus: small windows of their own for controls that
// the window keeps outside its visible area.

#include "app/MainWindow.h"
#include "support/BorrowedPanel.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

void MainWindow::buildToolPanels()
{
    FormControls &c = m_controls;
    c.Tools = menuBar()->addMenu(u"Tools"_qs);
    c.Tools->setObjectName(u"Tools"_qs);
    c.Tools->menuAction()->setObjectName(u"ToolsAction"_qs);

    auto *hid = new BorrowedPanel(u"HID cable"_qs, this);
    hid->setObjectName(u"HidCablePanel"_qs);
    hid->addRow({c.DevListBox}, u"Devices"_qs);
    hid->addRow({c.USBCon, c.SetFeature, c.ReadBtn, c.ClearBtn});
    hid->addRow({c.HistoryListBox}, u"History"_qs);
    hid->addRow({c.Memo1, c.Memo2}, u"Frames"_qs);
    hid->resize(560, 480);
    QAction *open = c.Tools->addAction(u"HID cable\u2026"_qs);
    open->setObjectName(u"HidCablePanelItem"_qs);
    connect(open, &QAction::triggered, hid, &BorrowedPanel::open);
}
