#include "app/ExitCommand.h"
#include "links/SerialLink.h"
#include "meter/BarGraph.h"
#include "meter/MeterDisplay.h"
#include "recording/ReadingRecorder.h"
#include "support/ClickLabel.h"
#include "support/TestWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frameIsFixed();
    void visibleControls_data();
    void visibleControls();
    void hiddenControlsExist_data();
    void hiddenControlsExist();
    void toolbarHints_data();
    void toolbarHints();
    void menuBar();
    void hidCablePanelBorrowsTheHiddenControls();
    void timers();
    void gridColumns();
    void gridTitlesAreWhole();
    void portPanelsCycle();
    void recordLimitMenu();
    void exitAsksFirst();
    void hiddenExitEndsInTheSameQuestion();
    void titleBarCloseAsksOnlyForUnsavedRows();
    void digitKeyFilter_data();
    void digitKeyFilter();
    void wheelOverChartIsSwallowed();
    void toggleGroupRaisesOthersQuietly();
    void connectDoesNotPretend();
};

namespace {

QString captionOf(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    return QString();
}

// Position relative to the client area (the window below its menu bar).
QRect clientRect(TestWindow &t, QWidget *w)
{
    QWidget *client = t.window->centralWidget();
    return QRect(w->mapTo(client, QPoint(0, 0)), w->size());
}

} // namespace

void TestMainWindow::frameIsFixed()
{
    TestWindow t;
    MainWindow &w = *t.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.objectName(), u"FCOMM"_qs);
    QCOMPARE(w.centralWidget()->size(), QSize(809, 532));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.width(), 809);
    QCOMPARE(w.height(), 532 + w.menuBar()->height());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!w.windowIcon().isNull());
}

void TestMainWindow::visibleControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("place");

    QTest::newRow("BtCOM1") << u"BtCOM1"_qs << u"COM 1"_qs << QRect(13, 4, 61, 24);
    QTest::newRow("COMCon") << u"COMCon"_qs << u"COM Connect"_qs << QRect(84, 3, 94, 25);
    QTest::newRow("USB") << u"USB"_qs << u"USB Connect "_qs << QRect(188, 3, 105, 25);
    QTest::newRow("BitBtn1") << u"BitBtn1"_qs << u"Exit"_qs << QRect(696, 3, 105, 25);
    QTest::newRow("Panel1") << u"Panel1"_qs << QString() << QRect(8, 35, 425, 206);
    QTest::newRow("PBar2") << u"PBar2"_qs << QString() << QRect(9, 240, 421, 17);
    QTest::newRow("GroupBox1") << u"GroupBox1"_qs << u"Function board"_qs << QRect(8, 264, 425, 41);
    QTest::newRow("DBGrid1") << u"DBGrid1"_qs << QString() << QRect(6, 312, 426, 217);
    QTest::newRow("KD") << u"KD"_qs << QString() << QRect(433, 36, 371, 143);
    QTest::newRow("KD1") << u"KD1"_qs << QString() << QRect(435, 38, 367, 139);
    QTest::newRow("conokn") << u"conokn"_qs << QString() << QRect(441, 44, 32, 32);
    QTest::newRow("Chtshow") << u"Chtshow"_qs << QString() << QRect(432, 177, 373, 353);
    QTest::newRow("RepeatSet") << u"RepeatSet"_qs << u"Repeat"_qs << QRect();
    QTest::newRow("RecordSI") << u"RecordSI"_qs << u"Sampling Interval           'S"_qs << QRect();
    QTest::newRow("RecordSITime") << u"RecordSITime"_qs << u"1"_qs << QRect();
    QTest::newRow("BtFill") << u"BtFill"_qs << u"Fill"_qs << QRect(437, 185, 42, 17);
    QTest::newRow("Maxrecord") << u"Maxrecord"_qs << u"100"_qs << QRect(480, 180, 39, 23);
    QTest::newRow("Bt10") << u"Bt10"_qs << u"1"_qs << QRect(643, 179, 24, 25);
    QTest::newRow("TbFd") << u"TbFd"_qs << QString() << QRect(720, 180, 24, 24);
    QTest::newRow("LcdDa") << u"LcdDa"_qs << u"3"_qs << QRect();
    QTest::newRow("LcdDd") << u"LcdDd"_qs << u"9"_qs << QRect();
}

void TestMainWindow::visibleControls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, place);

    TestWindow t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *w = t.find<QWidget>(name);
    QVERIFY2(w, qPrintable(name));
    QVERIFY(w->isVisible());
    QCOMPARE(captionOf(w), caption);
    if (place.isValid())
        QCOMPARE(clientRect(t, w), place);
    // Whatever is visible lies inside the client area.
    QVERIFY(QRect(0, 0, 809, 532).contains(clientRect(t, w)));
}

void TestMainWindow::hiddenControlsExist_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"IFFerrant",  "Gostel",         "Brimlow",      "IFSennick", "BtCOM2",
          "BtCOM3",     "BtCOM4",         "BtCOM8",       "BTCon",     "BtDiscon",
          "BtExit",     "USBCon",         "SetFeature",   "ReadBtn",   "ClearBtn",
          "DevListBox", "HistoryListBox", "Memo1",        "Memo2",     "USBtxt",
          "USBtxt1",    "usb_dll",        "updatedevice", "cmbDevice", "Memo3",
          "Panel2",     "RecallCheck",    "TimeH",        "TimeM",     "TimeS",
          "TimeInt",    "RecallDataTest", "Panel3",       "Label11",   "MinText",
          "MinTextU",   "Label12",        "MaxText",      "MaxTextU",  "SetMaxB",
          "SetMinB",    "Setmax",         "SetMin",       "KdFd",      "KdSx",
          "Print",      "ComboBox1",      "TbSx",         "oltext",    "conok",
          "d_t",        "Shape1",         "Shape2",       "Shape3"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMainWindow::hiddenControlsExist()
{
    QFETCH(QString, name);
    TestWindow t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *w = t.find<QWidget>(name);
    QVERIFY2(w, qPrintable(name));
    QVERIFY2(!w->isVisible(), qPrintable(name));
}

void TestMainWindow::toolbarHints_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<int>("left"); // in the chart

    QTest::newRow("BtNew") << u"BtNew"_qs << u"New"_qs << 91;
    QTest::newRow("BtSave") << u"BtSave"_qs << u"Save"_qs << 125;
    QTest::newRow("BtFirst") << u"BtFirst"_qs << u"First"_qs << 163;
    QTest::newRow("BTPrevious") << u"BTPrevious"_qs << u"Previous"_qs << 187;
    QTest::newRow("Bt10") << u"Bt10"_qs << u"Page No."_qs << 211;
    QTest::newRow("BtNext") << u"BtNext"_qs << u"Next"_qs << 235;
    QTest::newRow("BTlast") << u"BTlast"_qs << u"last"_qs << 259;
    QTest::newRow("TbFd") << u"TbFd"_qs << u"Graphic Enlarge"_qs << 288;
    QTest::newRow("TbSx") << u"TbSx"_qs << u"Graphic Restore"_qs << 288;
    QTest::newRow("RecordNew") << u"RecordNew"_qs << u"Close Data"_qs << -1;
    QTest::newRow("OpenDataFiles") << u"OpenDataFiles"_qs << u"Open old data files"_qs << -1;
    QTest::newRow("saveas") << u"saveas"_qs << u"Save data files"_qs << -1;
    QTest::newRow("MajPrint") << u"MajPrint"_qs << u"Print Data"_qs << -1;
    QTest::newRow("RepeatSet") << u"RepeatSet"_qs << u"Repeage Record"_qs << -1;
}

void TestMainWindow::toolbarHints()
{
    QFETCH(QString, name);
    QFETCH(QString, hint);
    QFETCH(int, left);
    TestWindow t;
    auto *w = t.find<QWidget>(name);
    QVERIFY(w);
    QCOMPARE(w->toolTip(), hint);
    if (left >= 0) {
        auto *chart = t.find<QWidget>(u"Chtshow"_qs);
        QCOMPARE(w->mapTo(chart, QPoint(0, 0)).x(), left);
    }
}

void TestMainWindow::menuBar()
{
    TestWindow t;
    QMenuBar *bar = t.window->menuBar();
    QStringList all, visible;
    for (QAction *a : bar->actions()) {
        all << a->text();
        if (a->isVisible())
            visible << a->text();
    }
    // The window's own menus come first, as they are; the Tools menu follows them.
    QCOMPARE(all,
             (QStringList {u"ComSetup"_qs, u"Connect"_qs, QString(), u"Graphic"_qs, u"Record"_qs,
                           QString(), u"Exit"_qs, u"Tools"_qs}));
    QCOMPARE(visible, (QStringList {QString(), u"Record"_qs, QString(), u"Tools"_qs}));

    auto *record = t.find<QMenu>(u"Record1"_qs);
    QStringList shown, ticked;
    for (QAction *a : record->actions()) {
        if (!a->isVisible())
            continue;
        shown << a->text();
        if (a->isChecked())
            ticked << a->text();
    }
    QCOMPARE(shown,
             (QStringList {u"1000"_qs, u"5000"_qs, u"10000"_qs, u"50000"_qs, u"100000"_qs,
                           u"limitless"_qs}));
    QCOMPARE(ticked, QStringList {u"10000"_qs});

    QStringList graphic;
    for (QAction *a : t.find<QMenu>(u"Graphic1"_qs)->actions())
        graphic << (a->isSeparator() ? u"-"_qs : a->text());
    QCOMPARE(graphic,
             (QStringList {u"First"_qs, u"Previous"_qs, u"Next"_qs, u"Last"_qs, u"-"_qs, u"New"_qs,
                           u"Save"_qs, u"-"_qs, u"Fill"_qs}));
    QVERIFY(t.find<QAction>(u"Fill1"_qs)->isChecked());
    QVERIFY(t.find<QAction>(u"START1"_qs)->isChecked());
    QVERIFY(!t.find<QAction>(u"STOP1"_qs)->isEnabled());
    QVERIFY(t.find<QAction>(u"COM11"_qs)->isChecked());
}

void TestMainWindow::timers()
{
    TestWindow t;
    const struct
    {
        const char16_t *name;
        int interval;
        bool running;
    } expected[] = {{u"ConTimer", 100, true},
                    {u"Trecord", 1000, false}, // the sampling interval counts seconds
                    {u"Timer1", 10, false},
                    {u"Timer2", 1000, false}};
    for (const auto &e : expected) {
        auto *timer = t.find<QTimer>(QString::fromUtf16(e.name));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), e.interval);
        QCOMPARE(timer->isActive(), e.running);
    }
}

void TestMainWindow::gridColumns()
{
    TestWindow t;
    auto *grid = t.find<QTableView>(u"DBGrid1"_qs);
    QStringList titles;
    for (int i = 0; i < grid->model()->columnCount(); ++i)
        titles << grid->model()->headerData(i, Qt::Horizontal).toString();
    QCOMPARE(titles,
             (QStringList {u"No"_qs, u"Time"_qs, u"Function"_qs, u"Value"_qs, u"Unit"_qs,
                           u"Range"_qs, u"Auto/Manu"_qs}));
    const int widths[] = {39, 70, 43, 80, 50, 50};
    for (int i = 0; i < 6; ++i) {
        // "Function" needs more than 43 pixels in the fonts present: wider by what its title
        // needs (gridTitlesAreWhole).
        if (i == 2)
            QVERIFY(grid->columnWidth(i) >= widths[i]);
        else
            QCOMPARE(grid->columnWidth(i), widths[i]);
    }
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

namespace {

// Notes every text the header's style draws, and whether it shows whole: within its section and
// within what the header has in view.
class DrawnTexts : public QProxyStyle
{
public:
    DrawnTexts()
        : QProxyStyle(QStyleFactory::create(u"Fusion"_qs))
    {
    }
    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette,
                      bool enabled, const QString &text,
                      QPalette::ColorRole textRole = QPalette::NoRole) const override
    {
        // Drawn without eliding, clipped to the rectangle and to what the header shows: whole
        // only if it fits both.
        const QRect inked = itemTextRect(painter->fontMetrics(), rect, flags, enabled, text);
        if (QFontMetricsF(painter->font()).horizontalAdvance(text) > rect.width())
            texts << text + u" (cut at "_qs + QString::number(rect.width()) + u" px)"_qs;
        else if (!shown.contains(inked))
            texts << text + u" (out of view)"_qs;
        else
            texts << text;
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
    }
    mutable QStringList texts;
    QRect shown;
};

} // namespace

void TestMainWindow::gridTitlesAreWhole()
{
    TestWindow t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *grid = t.find<QTableView>(u"DBGrid1"_qs);
    DrawnTexts style;
    style.shown = grid->horizontalHeader()->viewport()->rect();
    grid->horizontalHeader()->setStyle(&style);
    grid->horizontalHeader()->grab();
    grid->horizontalHeader()->setStyle(nullptr);
    QCOMPARE(style.texts,
             (QStringList {u"No"_qs, u"Time"_qs, u"Function"_qs, u"Value"_qs, u"Unit"_qs,
                           u"Range"_qs, u"Auto/Manu"_qs}));
}

void TestMainWindow::portPanelsCycle()
{
    TestWindow t;
    t.ports = {u"/dev/ttyS0"_qs, u"/dev/ttyUSB0"_qs};
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    const QStringList panels {u"BtCOM1"_qs, u"BtCOM2"_qs, u"BtCOM3"_qs, u"BtCOM4"_qs};
    const QStringList items {u"COM11"_qs, u"COM21"_qs, u"COM31"_qs, u"COM41"_qs};
    for (int click = 1; click <= 4; ++click) {
        QWidget *front = nullptr;
        for (const QString &p : panels)
            if (t.find<QWidget>(p)->isVisible())
                front = t.find<QWidget>(p);
        QVERIFY(front);
        QTest::mouseClick(front, Qt::LeftButton);
        const int port = click % 4 + 1;
        QCOMPARE(t.window->serialLink().portNumber(), port);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(t.find<QWidget>(panels[i])->isVisible(), i == port - 1);
            QCOMPARE(t.find<QAction>(items[i])->isChecked(), i == port - 1);
        }
    }
    // Back at COM1: the hint names the USB adapter, which comes first.
    QVERIFY(t.find<QWidget>(u"BtCOM1"_qs)->toolTip().contains(u"/dev/ttyUSB0"_qs));
}

void TestMainWindow::recordLimitMenu()
{
    TestWindow t;
    const struct
    {
        const char16_t *item;
        qint32 limit;
    } cases[] = {{u"N10001", 1000},   {u"N50001", 5000},     {u"limitess", 10000000},
                 {u"N500001", 50000}, {u"N1000001", 100000}, {u"N100001", 10000}};
    const QStringList all {u"N10001"_qs,  u"N50001"_qs,   u"N100001"_qs,
                           u"N500001"_qs, u"N1000001"_qs, u"limitess"_qs};
    for (const auto &c : cases) {
        const QString name = QString::fromUtf16(c.item);
        t.find<QAction>(name)->trigger();
        QCOMPARE(t.window->state().counters.RecordLimit, c.limit);
        for (const QString &other : all)
            QCOMPARE(t.find<QAction>(other)->isChecked(), other == name);
    }
    // Choosing the ticked item again keeps it ticked.
    t.find<QAction>(u"N100001"_qs)->trigger();
    QVERIFY(t.find<QAction>(u"N100001"_qs)->isChecked());
}

void TestMainWindow::hidCablePanelBorrowsTheHiddenControls()
{
    TestWindow t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    const QStringList names {u"DevListBox"_qs, u"USBCon"_qs,   u"SetFeature"_qs,
                             u"ReadBtn"_qs,    u"ClearBtn"_qs, u"HistoryListBox"_qs,
                             u"Memo1"_qs,      u"Memo2"_qs};
    QWidget *client = t.window->centralWidget();
    QList<QRect> places;
    for (const QString &name : names)
        places << t.find<QWidget>(name)->geometry();

    QAction *item = t.find<QAction>(u"HidCablePanelItem"_qs);
    QCOMPARE(item->text(), u"HID cable\u2026"_qs);
    item->trigger();
    auto *panel = t.find<QWidget>(u"HidCablePanel"_qs);
    QVERIFY(panel->isVisible());
    QVERIFY(panel->isWindow());
    for (const QString &name : names) {
        auto *w = t.find<QWidget>(name);
        QVERIFY2(w->isVisible(), qPrintable(name));
        QVERIFY2(panel->isAncestorOf(w), qPrintable(name));
    }
    // Usable there: with no cable listed, the speed report says so.
    auto *usbCon = t.find<QPushButton>(u"USBCon"_qs);
    QTest::mouseClick(t.find<QPushButton>(u"SetFeature"_qs), Qt::LeftButton);
    QCOMPARE(t.prompts.texts(u"information"_qs),
             QStringList {
                 u"USB interface cable is not securely connected, please check and re-try."_qs});
    // The main window's layout stays as it is.
    QCOMPARE(t.window->size(), QSize(809, 532 + t.window->menuBar()->height()));

    panel->move(panel->pos() + QPoint(40, 30));
    const QPoint moved = panel->pos();
    panel->close();
    for (int i = 0; i < names.size(); ++i) {
        auto *w = t.find<QWidget>(names[i]);
        QCOMPARE(w->parentWidget(), client);
        QCOMPARE(w->geometry(), places[i]);
        QVERIFY2(!w->isVisible(), qPrintable(names[i]));
    }
    // Opened again, where it was left.
    item->trigger();
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->pos(), moved);
    QVERIFY(panel->isAncestorOf(usbCon));
}

void TestMainWindow::exitAsksFirst()
{
    TestWindow t;
    QSignalSpy confirmed(&t.window->exitCommand(), &ExitCommand::exitConfirmed);
    auto *exit = t.find<QPushButton>(u"BitBtn1"_qs);

    QVERIFY(!t.showFrame(u"A00012340010D"_qs));
    auto *memo = t.find<QPlainTextEdit>(u"Memo3"_qs);
    const QString memoBefore = memo->toPlainText();
    auto *bridgePoll = t.find<QTimer>(u"Timer1"_qs);
    bridgePoll->start();

    t.prompts.questionAnswers = {false};
    QTest::mouseClick(exit, Qt::LeftButton);
    QCOMPARE(t.prompts.texts(u"question"_qs),
             QStringList {u"Are you ensure to exit the program\uFF1F"_qs});
    QCOMPARE(confirmed.count(), 0);
    QVERIFY(t.find<QTimer>(u"ConTimer"_qs)->isActive());
    QVERIFY(bridgePoll->isActive());
    QCOMPARE(memo->toPlainText(), memoBefore);
    QCOMPARE(t.window->recorder().table().rowCount(), 1);

    t.prompts.questionAnswers = {true};
    QTest::mouseClick(exit, Qt::LeftButton);
    QCOMPARE(confirmed.count(), 1);
    QCOMPARE(memo->toPlainText(), u"\u6D4B\u8BD5\u7ED3\u675F"_qs);
    QVERIFY(!bridgePoll->isActive());
    QCOMPARE(t.window->recorder().table().rowCount(), 0);
    // The application's quit closes the window afterwards: no second question.
    QVERIFY(t.window->close());
    QCOMPARE(t.prompts.texts(u"question"_qs).size(), 2);
}

void TestMainWindow::titleBarCloseAsksOnlyForUnsavedRows()
{
    TestWindow t;
    t.window->show();
    QVERIFY(t.window->close()); // nothing recorded: closes at once
    QVERIFY(t.prompts.shown.isEmpty());

    t.window->show();
    QVERIFY(!t.showFrame(u"A00012340010D"_qs));
    t.prompts.questionAnswers = {false};
    QVERIFY(!t.window->close());
    QVERIFY(t.window->isVisible());
    QCOMPARE(t.prompts.texts(u"question"_qs),
             QStringList {u"Are you ensure to exit the program\uFF1F"_qs});

    // Saved (or emptied by New): nothing to lose, no question.
    t.window->recorder().markSaved();
    QVERIFY(t.window->close());
    QCOMPARE(t.prompts.texts(u"question"_qs).size(), 1);

    t.window->show();
    QVERIFY(!t.showFrame(u"A00012340010D"_qs));
    t.prompts.questionAnswers = {true};
    QVERIFY(t.window->close());
    QCOMPARE(t.prompts.texts(u"question"_qs).size(), 2);
}

void TestMainWindow::hiddenExitEndsInTheSameQuestion()
{
    TestWindow t;
    QSignalSpy confirmed(&t.window->exitCommand(), &ExitCommand::exitConfirmed);
    t.prompts.questionAnswers = {true, false};
    t.find<QAction>(u"EXIT1"_qs)->trigger();
    Q_EMIT t.find<ClickLabel>(u"BtExit"_qs)->clicked();
    QCOMPARE(t.prompts.texts(u"question"_qs).size(), 2);
    QCOMPARE(confirmed.count(), 1);
}

void TestMainWindow::digitKeyFilter_data()
{
    QTest::addColumn<QString>("edit");
    for (const char *name : {"RecordSITime", "Maxrecord", "TimeH", "TimeM", "TimeS", "TimeInt"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMainWindow::digitKeyFilter()
{
    QFETCH(QString, edit);
    TestWindow t;
    auto *e = t.find<QLineEdit>(edit);
    e->clear();
    QTest::keyClicks(e, u"12"_qs);
    QTest::keyClick(e, Qt::Key_Backspace);
    QCOMPARE(e->text(), u"1"_qs);
    QVERIFY(t.prompts.shown.isEmpty());

    QTest::keyClicks(e, u"a-"_qs);
    QCOMPARE(e->text(), u"1"_qs);
    QCOMPARE(t.prompts.texts(u"warningCancel"_qs),
             (QStringList {u"Please input number 0-9"_qs, u"Please input number 0-9"_qs}));
    // Moving the cursor types nothing and is not refused.
    QTest::keyClick(e, Qt::Key_Left);
    QCOMPARE(t.prompts.shown.size(), 2);
}

void TestMainWindow::wheelOverChartIsSwallowed()
{
    TestWindow t;
    auto *chart = t.find<QWidget>(u"Chtshow"_qs);
    QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    wheel.ignore();
    QApplication::sendEvent(chart, &wheel);
    QVERIFY(wheel.isAccepted());
}

void TestMainWindow::toggleGroupRaisesOthersQuietly()
{
    TestWindow t;
    auto *usbCon = t.find<QPushButton>(u"USBCon"_qs);
    auto *read = t.find<QPushButton>(u"ReadBtn"_qs);
    auto *usb = t.find<QPushButton>(u"USB"_qs);
    QSignalSpy usbClicks(usb, &QPushButton::clicked);
    usb->setChecked(true);
    usbCon->setChecked(true);
    QVERIFY(!usb->isChecked());
    read->setChecked(true);
    QVERIFY(!usbCon->isChecked());
    read->setChecked(false); // all may be up
    QVERIFY(!read->isChecked() && !usbCon->isChecked() && !usb->isChecked());
    QCOMPARE(usbClicks.count(), 0);
}

void TestMainWindow::connectDoesNotPretend()
{
    // Without the bridge cable's library, "USB Connect " says so and does not stay down as if
    // connected.
    qputenv("METERLINK_SIUSBXP", "/nonexistent/libSiUSBXp.so");
    TestWindow t;
    auto *usb = t.find<QPushButton>(u"USB"_qs);
    QTest::mouseClick(usb, Qt::LeftButton);
    qunsetenv("METERLINK_SIUSBXP");
    QVERIFY(!usb->isChecked());
    QCOMPARE(t.prompts.shown.size(), 1);
    QVERIFY(t.prompts.shown.front().text.contains(u"METERLINK_SIUSBXP"_qs));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
