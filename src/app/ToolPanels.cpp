// The "Tools" menu, after the window's own menus: small windows of their own for controls that
// the window keeps outside its visible area.

#include "app/MainWindow.h"
#include "support/BorrowedPanel.h"

#include <QAction>
#include <QFrame>
#include <QLayout>
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

    const auto addItem = [&](BorrowedPanel *panel, const QString &text, const QString &name) {
        QAction *open = c.Tools->addAction(text);
        open->setObjectName(name);
        connect(open, &QAction::triggered, panel, &BorrowedPanel::open);
    };

    auto *hid = new BorrowedPanel(u"HID cable"_qs, this);
    hid->setObjectName(u"HidCablePanel"_qs);
    hid->addRow({c.DevListBox}, u"Devices"_qs);
    hid->addRow({c.USBCon, c.SetFeature, c.ReadBtn, c.ClearBtn});
    hid->addRow({c.HistoryListBox}, u"History"_qs);
    hid->addRow({c.Memo1, c.Memo2}, u"Frames"_qs);
    hid->resize(560, 480);
    addItem(hid, u"HID cable\u2026"_qs, u"HidCablePanelItem"_qs);

    // The limit and recall panels are laid out by their own fixed places, so each window takes
    // its panel whole, at the panel's size. They first open side by side below the main window,
    // so that neither hides the dial's "OL !!" nor the rows they stamp; narrow margins let both
    // fit under it.
    c.Panel3->setFixedSize(c.Panel3->size());
    auto *limits = new BorrowedPanel(u"Alarm limits"_qs, this);
    limits->setObjectName(u"AlarmLimitsPanel"_qs);
    limits->addRow({c.Panel3});
    limits->layout()->setSizeConstraint(QLayout::SetFixedSize);
    limits->layout()->setContentsMargins(6, 6, 6, 6);
    limits->setFirstPlace(BorrowedPanel::FirstPlace::BelowRight);
    addItem(limits, u"Alarm limits\u2026"_qs, u"AlarmLimitsPanelItem"_qs);

    c.Panel2->setFixedSize(c.Panel2->size());
    c.RecallDataTest->setToolTip(
        u"Adds the current reading to the table now, stamped by the recall clock"_qs);
    auto *recall = new BorrowedPanel(u"Recall clock"_qs, this);
    recall->setObjectName(u"RecallClockPanel"_qs);
    recall->addRow({c.Panel2});
    recall->addRow({c.RecallDataTest});
    recall->layout()->setSizeConstraint(QLayout::SetFixedSize);
    recall->layout()->setContentsMargins(6, 6, 6, 6);
    recall->setFirstPlace(BorrowedPanel::FirstPlace::BelowLeft);
    addItem(recall, u"Recall clock\u2026"_qs, u"RecallClockPanelItem"_qs);
}
