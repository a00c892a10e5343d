// The window's regions at their fixed places. Positions are pixels in the client area.

#include "app/MainWindow.h"
#include "chart/AnalogDial.h"
#include "chart/ChartView.h"
#include "meter/BarGraph.h"
#include "meter/LcdPanel.h"
#include "recording/ReadingGrid.h"
#include "support/ClickLabel.h"
#include "support/Pictures.h"
#include "support/WindowLook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>

namespace {

template<class W, class... Args>
W *make(QWidget *parent, const QString &name, QRect place, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(name);
    w->setGeometry(place);
    return w;
}

void fill(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// A panel with a caption, raised or lowered.
ClickLabel *panel(QWidget *parent, const QString &name, QRect place, const QString &caption,
                  QFrame::Shadow shadow = QFrame::Raised)
{
    auto *p = make<ClickLabel>(parent, name, place, caption);
    p->setFrameStyle(QFrame::Panel | shadow);
    p->setLineWidth(1);
    p->setAlignment(Qt::AlignCenter);
    return p;
}

// A tool button's picture leaves this much of the button around it.
const QSize ToolIconMargins(6, 6);

QToolButton *toolButton(QWidget *parent, const QString &name, QRect place, const QString &hint,
                        const QString &picture)
{
    auto *b = make<QToolButton>(parent, name, place);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    if (!picture.isEmpty()) {
        const QSize iconSize = place.size() - ToolIconMargins;
        b->setIcon(Pictures::icon(picture, iconSize));
        b->setIconSize(iconSize);
    }
    return b;
}

QLineEdit *edit(QWidget *parent, const QString &name, QRect place, const QString &text)
{
    auto *e = make<QLineEdit>(parent, name, place, text);
    e->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    e->setTextMargins(1, 0, 1, 0);
    return e;
}

} // namespace

QList<Pictures::Order> MainWindow::startUpPictures()
{
    // In the order the window asks for them: the LCD's, the function board's buttons, the dial's
    // connection pictures, the chart tool bar's buttons and labels, the window's icon. A button's
    // icon is as large as its place less the margins.
    using Kind = Pictures::Order::Kind;
    QList<Pictures::Order> orders = LcdPanel::pictures();
    for (const char16_t *name : {u"fb-close-data", u"fb-open", u"fb-save", u"fb-print"})
        orders.append({QString::fromUtf16(name), QSize(28, 26) - ToolIconMargins, Kind::Icon});
    for (const char16_t *name : {u"conok", u"conokn"})
        orders.append({QString::fromUtf16(name), QSize(32, 32), Kind::Pixmap});
    for (const char16_t *name : {u"tb-new", u"tb-save"})
        orders.append({QString::fromUtf16(name), QSize(26, 25) - ToolIconMargins, Kind::Icon});
    for (const char16_t *name : {u"tb-first", u"tb-previous", u"tb-next", u"tb-last"})
        orders.append({QString::fromUtf16(name), QSize(24, 25) - ToolIconMargins, Kind::Icon});
    for (const char16_t *name : {u"tb-enlarge", u"tb-restore"})
        orders.append({QString::fromUtf16(name), QSize(22, 22), Kind::Pixmap});
    orders.append({u"app-icon"_qs, {}, Kind::WindowIcon});
    return orders;
}

void MainWindow::buildLinkBar(QWidget *client)
{
    FormControls &c = m_controls;
    const QRect portPlace(13, 4, 61, 24);
    ClickLabel **ports[] = {&c.BtCOM1, &c.BtCOM2, &c.BtCOM3, &c.BtCOM4};
    for (int n = 1; n <= 4; ++n) {
        ClickLabel *p = panel(client, u"BtCOM"_qs + QString::number(n), portPlace,
                              u"COM "_qs + QString::number(n));
        p->setFont(WindowLook::arial(13, true));
        fill(p, WindowLook::Silver);
        // While the port is open the panel is disabled: its caption stays readable, greyed.
        QPalette greyed = p->palette();
        greyed.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6A, 0x6A, 0x6A));
        greyed.setColor(QPalette::Disabled, QPalette::Window, WindowLook::Silver);
        p->setPalette(greyed);
        p->setCursor(Qt::PointingHandCursor);
        p->setVisible(n == 1); // the window starts with the "COM 1" panel in front
        *ports[n - 1] = p;
    }
    c.BtCOM8 = panel(client, u"BtCOM8"_qs, portPlace, u"COM 8"_qs);
    c.BtCOM8->hide();

    c.COMCon = make<QPushButton>(client, u"COMCon"_qs, QRect(84, 3, 94, 25), u"COM Connect"_qs);
    c.COMCon->setCheckable(true);
    c.COMCon->setFont(WindowLook::arial(13, false));

    c.USB = make<QPushButton>(client, u"USB"_qs, QRect(188, 3, 105, 25), u"USB Connect "_qs);
    c.USB->setCheckable(true);
    c.USB->setFont(WindowLook::arial(13, false));

    c.BitBtn1 = make<QPushButton>(client, u"BitBtn1"_qs, QRect(696, 3, 105, 25), u"Exit"_qs);
    c.BitBtn1->setFont(WindowLook::arial(14, false));

    // Outside the client area: the link shows and hides them, the user never sees them.
    c.BTCon = panel(client, u"BTCon"_qs, QRect(ClientWidth + 10, 3, 80, 25), u"Connect"_qs);
    c.BTCon->hide();
    c.BtDiscon
        = panel(client, u"BtDiscon"_qs, QRect(ClientWidth + 10, 3, 80, 25), u"Disconnect"_qs);
    c.BtDiscon->hide();
    c.BtExit = panel(client, u"BtExit"_qs, QRect(ClientWidth + 100, 3, 80, 25), u"Exit"_qs);
    c.BtExit->hide();
}

void MainWindow::buildLcdPanel(QWidget *client)
{
    FormControls &c = m_controls;
    c.Panel1 = new LcdPanel(client);
    c.Panel1->setGeometry(8, 35, 425, 206);

    c.PBar2 = make<BarGraph>(client, u"PBar2"_qs, QRect(9, 240, 421, 17));
    c.PBar2->setMaximum(40);
    c.PBar2->setValue(20);
}

void MainWindow::buildFunctionBoard(QWidget *client)
{
    FormControls &c = m_controls;
    c.GroupBox1
        = make<QGroupBox>(client, u"GroupBox1"_qs, QRect(8, 264, 425, 41), u"Function board"_qs);
    // The caption sits in the frame's top line, as on a classic group box.
    c.GroupBox1->setStyleSheet(
        u"QGroupBox#GroupBox1 { border: 1px solid palette(mid); border-radius: 2px;"
        " margin-top: 6px; }"
        "QGroupBox#GroupBox1::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; }"_qs);

    c.RepeatSet = make<QCheckBox>(c.GroupBox1, u"RepeatSet"_qs, QRect(8, 16, 64, 19), u"Repeat"_qs);
    c.RepeatSet->setToolTip(u"Repeage Record"_qs);
    c.RepeatSet->setChecked(true);

    const QString siCaption = u"Sampling Interval           'S"_qs;
    c.RecordSI = make<QCheckBox>(c.GroupBox1, u"RecordSI"_qs, QRect(76, 16, 200, 19), siCaption);
    // The interval edit covers the run of blanks in the caption: "Sampling Interval [1] 'S".
    const QFontMetrics fm(c.RecordSI->font());
    const int textLeft = c.RecordSI->x() + 20;
    const int wordsEnd = textLeft + fm.horizontalAdvance(u"Sampling Interval "_qs);
    const int blanksEnd = textLeft + fm.horizontalAdvance(u"Sampling Interval          "_qs);
    c.RecordSI->resize(20 + fm.horizontalAdvance(siCaption) + 4, 19);
    c.RecordSITime = edit(c.GroupBox1, u"RecordSITime"_qs,
                          QRect(wordsEnd, 15, blanksEnd - wordsEnd, 21), u"1"_qs);

    const int buttonsLeft = 425 - 4 * 30 - 8;
    c.RecordNew = toolButton(c.GroupBox1, u"RecordNew"_qs, QRect(buttonsLeft, 12, 28, 26),
                             u"Close Data"_qs, u"fb-close-data"_qs);
    c.OpenDataFiles
        = toolButton(c.GroupBox1, u"OpenDataFiles"_qs, QRect(buttonsLeft + 30, 12, 28, 26),
                     u"Open old data files"_qs, u"fb-open"_qs);
    c.saveas = toolButton(c.GroupBox1, u"saveas"_qs, QRect(buttonsLeft + 60, 12, 28, 26),
                          u"Save data files"_qs, u"fb-save"_qs);
    c.MajPrint = toolButton(c.GroupBox1, u"MajPrint"_qs, QRect(buttonsLeft + 90, 12, 28, 26),
                            u"Print Data"_qs, u"fb-print"_qs);

    make<QPushButton>(c.GroupBox1, u"Print"_qs, QRect(buttonsLeft, 12, 28, 26), u"Print"_qs)
        ->hide();
}

void MainWindow::buildGrid(QWidget *client)
{
    FormControls &c = m_controls;
    c.DBGrid1 = make<ReadingGrid>(client, u"DBGrid1"_qs, QRect(6, 312, 426, 217));
    c.DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c.DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    c.DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    c.DBGrid1->setFont(WindowLook::arial(12, false));
    c.DBGrid1->horizontalHeader()->setFont(WindowLook::sansSerif(11, false));
    c.DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    c.DBGrid1->verticalHeader()->setFixedWidth(12);
    c.DBGrid1->horizontalHeader()->setHighlightSections(false);

    // Column titles of the reading table; the table itself fills the grid.
    auto *titles = new QStandardItemModel(0, 7, c.DBGrid1);
    titles->setHorizontalHeaderLabels({u"No"_qs, u"Time"_qs, u"Function"_qs, u"Value"_qs,
                                       u"Unit"_qs, u"Range"_qs, u"Auto/Manu"_qs});
    c.DBGrid1->setModel(titles);
    const int widths[] = {39, 70, 43, 80, 50, 50, 0};
    for (int i = 0; i < 6; ++i)
        c.DBGrid1->setColumnWidth(i, widths[i]);
    c.DBGrid1->setColumnWidth(6, QFontMetrics(c.DBGrid1->font()).horizontalAdvance(u'W') * 20 / 2);
}

void MainWindow::buildDialPanel(QWidget *client)
{
    FormControls &c = m_controls;
    c.KD = make<QFrame>(client, u"KD"_qs, QRect(433, 36, 371, 143));
    c.KD->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    fill(c.KD, Qt::white);

    c.KD1 = new AnalogDial(m_state, m_state.limits, c.KD);
    c.KD1->setObjectName(u"KD1"_qs);
    c.KD1->setGeometry(2, 2, 367, 139);

    c.conok = make<QLabel>(c.KD, u"conok"_qs, QRect(8, 8, 32, 32));
    c.conok->setPixmap(Pictures::pixmap(u"conok"_qs, QSize(32, 32)));
    c.conok->setToolTip(u"Readings are arriving"_qs);
    c.conok->hide();
    c.conokn = make<QLabel>(c.KD, u"conokn"_qs, QRect(8, 8, 32, 32));
    c.conokn->setPixmap(Pictures::pixmap(u"conokn"_qs, QSize(32, 32)));
    c.conokn->setToolTip(u"No readings"_qs);

    // Low in the middle of the dial, where the needle seldom is while a limit is exceeded.
    c.oltext = make<QLabel>(c.KD, u"oltext"_qs, QRect(129, 90, 113, 49), u"OL !!"_qs);
    c.oltext->setFont(WindowLook::arial(35, true));
    c.oltext->setAlignment(Qt::AlignCenter);
    fill(c.oltext, Qt::gray);
    QPalette p = c.oltext->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    c.oltext->setPalette(p);
    c.oltext->hide();

    make<ClickLabel>(c.KD, u"KdFd"_qs, QRect(340, 4, 24, 24))->hide();
    make<ClickLabel>(c.KD, u"KdSx"_qs, QRect(340, 4, 24, 24))->hide();
}

void MainWindow::buildChart(QWidget *client)
{
    FormControls &c = m_controls;
    c.Chtshow = new ChartView(client);
    c.Chtshow->setObjectName(u"Chtshow"_qs);
    c.Chtshow->setGeometry(432, 177, 373, 353);

    c.ChartToolBar = make<QFrame>(c.Chtshow, u"ChartToolBar"_qs, QRect(0, 0, 373, 31));
    c.ChartToolBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    fill(c.ChartToolBar, client->palette().color(QPalette::Window));

    c.BtFill = make<QCheckBox>(c.ChartToolBar, u"BtFill"_qs, QRect(5, 8, 42, 17), u"Fill"_qs);
    c.BtFill->setChecked(true);
    c.Maxrecord = edit(c.ChartToolBar, u"Maxrecord"_qs, QRect(48, 3, 39, 23), u"100"_qs);
    c.Maxrecord->setToolTip(u"Points per page"_qs);

    c.BtNew
        = toolButton(c.ChartToolBar, u"BtNew"_qs, QRect(91, 2, 26, 25), u"New"_qs, u"tb-new"_qs);
    c.BtSave = toolButton(c.ChartToolBar, u"BtSave"_qs, QRect(125, 2, 26, 25), u"Save"_qs,
                          u"tb-save"_qs);
    c.BtFirst = toolButton(c.ChartToolBar, u"BtFirst"_qs, QRect(163, 2, 24, 25), u"First"_qs,
                           u"tb-first"_qs);
    c.BTPrevious = toolButton(c.ChartToolBar, u"BTPrevious"_qs, QRect(187, 2, 24, 25),
                              u"Previous"_qs, u"tb-previous"_qs);
    c.Bt10 = toolButton(c.ChartToolBar, u"Bt10"_qs, QRect(211, 2, 24, 25), u"Page No."_qs, {});
    c.Bt10->setText(u"1"_qs);
    c.Bt10->setFont(WindowLook::arial(12, true));
    c.Bt10->setAutoRaise(false);
    c.BtNext = toolButton(c.ChartToolBar, u"BtNext"_qs, QRect(235, 2, 24, 25), u"Next"_qs,
                          u"tb-next"_qs);
    c.BTlast = toolButton(c.ChartToolBar, u"BTlast"_qs, QRect(259, 2, 24, 25), u"last"_qs,
                          u"tb-last"_qs);

    c.TbFd = make<ClickLabel>(c.ChartToolBar, u"TbFd"_qs, QRect(288, 3, 24, 24));
    c.TbFd->setPixmap(Pictures::pixmap(u"tb-enlarge"_qs, QSize(22, 22)));
    c.TbFd->setAlignment(Qt::AlignCenter);
    c.TbFd->setToolTip(u"Graphic Enlarge"_qs);
    c.TbFd->setCursor(Qt::PointingHandCursor);
    c.TbSx = make<ClickLabel>(c.ChartToolBar, u"TbSx"_qs, QRect(288, 3, 24, 24));
    c.TbSx->setPixmap(Pictures::pixmap(u"tb-restore"_qs, QSize(22, 22)));
    c.TbSx->setAlignment(Qt::AlignCenter);
    c.TbSx->setToolTip(u"Graphic Restore"_qs);
    c.TbSx->setCursor(Qt::PointingHandCursor);
    c.TbSx->hide();

    c.ComboBox1 = make<QComboBox>(c.Chtshow, u"ComboBox1"_qs, QRect(300, 40, 60, 21));
    c.ComboBox1->hide();
}

void MainWindow::buildRecallPanel(QWidget *client)
{
    FormControls &c = m_controls;
    // Outside the client area: its logic runs, the user cannot reach it.
    c.Panel2 = make<QFrame>(client, u"Panel2"_qs, QRect(ClientWidth + 10, 10, 330, 30));
    c.Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    c.RecallCheck
        = make<QCheckBox>(c.Panel2, u"RecallCheck"_qs, QRect(4, 6, 90, 19), u"RecallData"_qs);
    c.RecallCheck->setToolTip(u"Repeage Record"_qs);
    c.RecallCheck->setFont(WindowLook::arial(12, true, true));
    c.RecallCheck->resize(qMax(90, c.RecallCheck->sizeHint().width()), 19);

    // Left to right, each label as wide as its text, so that none is cut off.
    int x = c.RecallCheck->geometry().right() + 3;
    const auto label = [&](const QString &name, const QString &text, int gap) {
        auto *l = make<QLabel>(c.Panel2, name, QRect(x, 8, 0, 15), text);
        l->resize(l->fontMetrics().horizontalAdvance(text) + 1, 15);
        x += l->width() + gap;
    };
    const auto timeEdit = [&](const QString &name, const QString &text) {
        QLineEdit *e = edit(c.Panel2, name, QRect(x, 5, 22, 21), text);
        x += e->width() + 1;
        return e;
    };
    label(u"LabelStartTime"_qs, u"StartTime:"_qs, 1);
    c.TimeH = timeEdit(u"TimeH"_qs, u"23"_qs);
    label(u"LabelColon1"_qs, u":"_qs, 1);
    c.TimeM = timeEdit(u"TimeM"_qs, u"59"_qs);
    label(u"LabelColon2"_qs, u":"_qs, 1);
    c.TimeS = timeEdit(u"TimeS"_qs, u"59"_qs);
    x += 5;
    label(u"LabelInterval"_qs, u"Interval"_qs, 2);
    c.TimeInt = timeEdit(u"TimeInt"_qs, u"1"_qs);
    label(u"LabelSeconds"_qs, u"'S"_qs, 4);
    c.Panel2->resize(qMax(330, x), 30);
    for (QLineEdit *e : {c.TimeH, c.TimeM, c.TimeS, c.TimeInt}) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, WindowLook::Silver);
        e->setPalette(p);
    }
    c.Panel2->hide();

    c.RecallDataTest = make<QPushButton>(client, u"RecallDataTest"_qs,
                                         QRect(ClientWidth + 10, 45, 75, 25), u"RecallData"_qs);
    c.RecallDataTest->hide();
}

void MainWindow::buildLimitPanel(QWidget *client)
{
    FormControls &c = m_controls;
    c.Panel3 = make<QFrame>(client, u"Panel3"_qs, QRect(ClientWidth + 10, 80, 424, 50));
    c.Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    fill(c.Panel3, WindowLook::Silver);
    c.Panel3->setFont(WindowLook::sansSerif(11, true));
    make<QLabel>(c.Panel3, u"Label11"_qs, QRect(40, 9, 40, 16), u"MIN: "_qs);
    c.MinText = make<QLabel>(c.Panel3, u"MinText"_qs, QRect(80, 9, 48, 16), u"4001"_qs);
    c.MinTextU = make<QLabel>(c.Panel3, u"MinTextU"_qs, QRect(128, 9, 40, 16), u"*"_qs);
    make<QLabel>(c.Panel3, u"Label12"_qs, QRect(40, 29, 40, 16), u"MAX: "_qs);
    c.MaxText = make<QLabel>(c.Panel3, u"MaxText"_qs, QRect(80, 29, 48, 16), u"-4001"_qs);
    c.MaxTextU = make<QLabel>(c.Panel3, u"MaxTextU"_qs, QRect(128, 29, 40, 16), u"*"_qs);
    c.SetMaxB = make<QCheckBox>(c.Panel3, u"SetMaxB"_qs, QRect(236, 6, 80, 19), u"SetMax:"_qs);
    c.SetMinB = make<QCheckBox>(c.Panel3, u"SetMinB"_qs, QRect(236, 29, 80, 19), u"SetMin: "_qs);
    c.Setmax = edit(c.Panel3, u"Setmax"_qs, QRect(320, 3, 80, 21), u"4000"_qs);
    c.SetMin = edit(c.Panel3, u"SetMin"_qs, QRect(320, 26, 80, 21), u"-4000"_qs);
    c.Panel3->hide();
}

void MainWindow::buildHiddenControls(QWidget *client)
{
    FormControls &c = m_controls;
    const int x = ClientWidth + 10;

    const auto hiddenBox = [&](const QString &name, int top) {
        auto *b = make<QCheckBox>(client, name, QRect(x, top, 90, 19), name);
        b->hide();
        return b;
    };
    c.IFFerrant = hiddenBox(u"IFFerrant"_qs, 140);
    c.Gostel = hiddenBox(u"Gostel"_qs, 160);
    c.Brimlow = hiddenBox(u"Brimlow"_qs, 180);
    c.IFSennick = hiddenBox(u"IFSennick"_qs, 200);

    const auto hiddenButton
        = [&](const QString &name, const QString &caption, int top, bool toggle) {
              auto *b = make<QPushButton>(client, name, QRect(x, top, 90, 25), caption);
              b->setCheckable(toggle);
              b->hide();
              return b;
          };
    c.USBCon = hiddenButton(u"USBCon"_qs, u"USB Connect"_qs, 230, true);
    c.SetFeature = hiddenButton(u"SetFeature"_qs, u"SetFeature"_qs, 260, false);
    c.ReadBtn = hiddenButton(u"ReadBtn"_qs, u"Read"_qs, 290, true);
    c.ClearBtn = hiddenButton(u"ClearBtn"_qs, u"Clear"_qs, 320, false);
    c.usb_dll = hiddenButton(u"usb_dll"_qs, u"usb_dll"_qs, 350, false);
    c.updatedevice = hiddenButton(u"updatedevice"_qs, u"updatedevice"_qs, 380, false);

    const auto hiddenList = [&](const QString &name, int top) {
        auto *l = make<QListWidget>(client, name, QRect(x + 100, top, 200, 80));
        l->hide();
        return l;
    };
    c.DevListBox = hiddenList(u"DevListBox"_qs, 140);
    c.HistoryListBox = hiddenList(u"HistoryListBox"_qs, 230);

    const auto hiddenMemo = [&](const QString &name, int top) {
        auto *m = make<QPlainTextEdit>(client, name, QRect(x + 310, top, 200, 80));
        m->setReadOnly(true);
        m->hide();
        return m;
    };
    c.Memo1 = hiddenMemo(u"Memo1"_qs, 140);
    c.Memo2 = hiddenMemo(u"Memo2"_qs, 230);
    c.Memo3 = hiddenMemo(u"Memo3"_qs, 320);
    c.Memo3->setPlainText(u"Memo3"_qs);

    c.cmbDevice = make<QComboBox>(client, u"cmbDevice"_qs, QRect(x, 410, 200, 21));
    c.cmbDevice->hide();
    c.USBtxt = make<QLabel>(client, u"USBtxt"_qs, QRect(x, 440, 200, 16));
    c.USBtxt->hide();
    c.USBtxt1 = make<QLabel>(client, u"USBtxt1"_qs, QRect(x, 460, 200, 16));
    c.USBtxt1->hide();

    for (int i = 1; i <= 3; ++i) {
        auto *shape
            = make<QFrame>(client, u"Shape"_qs + QString::number(i), QRect(x, 480 + 10 * i, 40, 8));
        shape->setFrameStyle(QFrame::Box | QFrame::Plain);
        shape->hide();
    }
}
