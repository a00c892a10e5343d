#include "links/SerialLink.h"
#include "meter/BarGraph.h"
#include "support/Pictures.h"
#include "support/TestWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

class TestStartUp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void profileApplied_data();
    void profileApplied();
    void initialState();
    void clockLabelShowsStartTime();
    void portHintOnceShown_data();
    void portHintOnceShown();
    void picturesDrawnAhead();
    void scalableIconDrawsAsSvgIcon();
};

void TestStartUp::profileApplied_data()
{
    QTest::addColumn<QString>("switches");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("scaleCode");
    QTest::addColumn<DialScale>("scale");
    QTest::addColumn<QStringList>("texts"); // Setmax, SetMin, MinText, MaxText
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<int>("port");

    const QString suffix = processorSuffix();
    QTest::newRow("Brimlow alone")
        << u"Brimlow"_qs << u"Brimlow/Carvane Interface Program Ver2.00"_qs + suffix << u"4"_qs
        << DialScale {4000, 400, 40, 80}
        << QStringList {u"4000"_qs, u"-4000"_qs, u"4001"_qs, u"-4001"_qs} << 40 << 1;
    QTest::newRow("Ferrant alone")
        << u"IFFerrant"_qs << u"Ferrant Interface Program _Ver: 1.00"_qs + suffix << u"22"_qs
        << DialScale {22000, 220, 22, 44}
        << QStringList {u"22000"_qs, u"-22000"_qs, u"-22001"_qs, u"22001"_qs} << 22 << 4;
    QTest::newRow("Ferrant and Brimlow")
        << u"IFFerrant,Brimlow"_qs << u"Brimlow/Carvane Interface Program Ver2.00"_qs + suffix
        << u"4"_qs << DialScale {4000, 400, 40, 80}
        << QStringList {u"4000"_qs, u"-4000"_qs, u"4001"_qs, u"-4001"_qs} << 40 << 1;
    QTest::newRow("Sennick alone")
        << u"IFSennick"_qs << u"Lumisk Interface Program _Ver: 1.00"_qs + suffix << u"4"_qs
        << DialScale {4000, 400, 40, 80}
        << QStringList {u"4000"_qs, u"-4000"_qs, u"4001"_qs, u"-4001"_qs} << 40 << 4;
    QTest::newRow("no switch") << u"none"_qs << suffix << u"4"_qs << DialScale {4000, 400, 40, 80}
                               << QStringList {u"4000"_qs, u"-4000"_qs, u"4001"_qs, u"-4001"_qs}
                               << 40 << 4;
}

void TestStartUp::profileApplied()
{
    QFETCH(QString, switches);
    QFETCH(QString, caption);
    QFETCH(QString, scaleCode);
    QFETCH(DialScale, scale);
    QFETCH(QStringList, texts);
    QFETCH(int, barMaximum);
    QFETCH(int, port);

    TestWindow t(*ModelSwitches::parse(switches, nullptr));
    MainWindow &w = *t.window;
    QCOMPARE(w.windowTitle(), caption);
    QCOMPARE(w.state().scaleCode, scaleCode);
    QVERIFY(w.state().dialScale == scale);
    QCOMPARE((QStringList {
                 t.find<QLineEdit>(u"Setmax"_qs)->text(), t.find<QLineEdit>(u"SetMin"_qs)->text(),
                 t.find<QLabel>(u"MinText"_qs)->text(), t.find<QLabel>(u"MaxText"_qs)->text()}),
             texts);
    QCOMPARE(t.find<BarGraph>(u"PBar2"_qs)->maximum(), barMaximum);
    QCOMPARE(w.serialLink().portNumber(), port);

    // Whatever the profile, the port panel in front reads "COM 1".
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(t.find<QWidget>(u"BtCOM1"_qs)->isVisible());
    QCOMPARE(t.find<QLabel>(u"BtCOM1"_qs)->text(), u"COM 1"_qs);
}

void TestStartUp::initialState()
{
    TestWindow t;
    const RunState &s = t.window->state();
    QCOMPARE(s.counters.RecordNo, 1);
    QCOMPARE(s.counters.RecordedCount, 0);
    QCOMPARE(s.counters.RecordLimit, 10000);
    QCOMPARE(s.limits.TrackedUnit, u"113"_qs);
    QCOMPARE(s.DecimalSeparatorText, u"."_qs); // ctest runs this under C.UTF-8
    QCOMPARE(s.profile.receiveHandler, ReceiveHandler::GostelData);
    QCOMPARE(t.find<QToolButton>(u"Bt10"_qs)->text(), u"1"_qs);
    QCOMPARE(t.find<QLineEdit>(u"Maxrecord"_qs)->text(), u"100"_qs);
    QCOMPARE(t.find<BarGraph>(u"PBar2"_qs)->value(), 20);
    QVERIFY(t.prompts.shown.isEmpty()); // start-up reports nothing
}

void TestStartUp::clockLabelShowsStartTime()
{
    TestWindow t;
    QCOMPARE(t.find<QLabel>(u"d_t"_qs)->text(), u"09 : 05 : 04     03 - 07 - 2026"_qs);
}

void TestStartUp::portHintOnceShown_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("hint");
    QTest::newRow("adapter first")
        << QStringList {u"/dev/ttyS0"_qs, u"/dev/ttyUSB0"_qs} << u"COM 1: /dev/ttyUSB0"_qs;
    QTest::newRow("no port") << QStringList {} << u"COM 1: no serial port found"_qs;
}

void TestStartUp::portHintOnceShown()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, hint);
    TestWindow t;
    t.ports = ports;
    // Listing the system's ports is slow: building the window does not wait for it.
    QCOMPARE(t.portListings, 0);
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    for (const QString &panel : {u"BtCOM1"_qs, u"BtCOM2"_qs, u"BtCOM3"_qs, u"BtCOM4"_qs})
        QTRY_COMPARE(t.find<QWidget>(panel)->toolTip(), hint);
    QCOMPARE(t.portListings, 1);
}

void TestStartUp::picturesDrawnAhead()
{
    // The pictures drawn on a thread while the window is built are the ones it asks for, and
    // each is what the picture draws when asked for on the spot.
    std::unique_ptr<TestWindow> t;
    QIcon windowIcon;
    {
        const Pictures::Preparation ahead(MainWindow::startUpPictures());
        t = std::make_unique<TestWindow>();
        windowIcon = Pictures::windowIcon(u"app-icon"_qs);
        QCOMPARE(Pictures::Preparation::left(), 0);
    }
    const auto same = [](const QPixmap &a, const QPixmap &b) {
        return !a.isNull() && a.toImage() == b.toImage();
    };
    // The tool buttons show what the scalable icon draws at their icon size.
    const std::pair<const char16_t *, const char16_t *> buttons[] = {
        {u"RecordNew", u"fb-close-data"}, {u"OpenDataFiles", u"fb-open"},  {u"saveas", u"fb-save"},
        {u"MajPrint", u"fb-print"},       {u"BtNew", u"tb-new"},           {u"BtSave", u"tb-save"},
        {u"BtFirst", u"tb-first"},        {u"BTPrevious", u"tb-previous"}, {u"BtNext", u"tb-next"},
        {u"BTlast", u"tb-last"}};
    for (const auto &[name, picture] : buttons) {
        auto *button = t->find<QToolButton>(QString::fromUtf16(name));
        QVERIFY2(button, qPrintable(QString::fromUtf16(name)));
        const QSize size = button->iconSize();
        QVERIFY2(
            same(button->icon().pixmap(size),
                 QIcon(u":/pictures/"_qs + QString::fromUtf16(picture) + u".svg"_qs).pixmap(size)),
            qPrintable(QString::fromUtf16(name)));
    }
    const std::pair<const char16_t *, const char16_t *> labels[]
        = {{u"conok", u"conok"},     {u"conokn", u"conokn"}, {u"TbFd", u"tb-enlarge"},
           {u"TbSx", u"tb-restore"}, {u"WEI", u"wei"},       {u"LCDsend", u"lcd-send"},
           {u"D", u"dwell"}};
    for (const auto &[name, picture] : labels) {
        auto *label = t->find<QLabel>(QString::fromUtf16(name));
        QVERIFY2(label, qPrintable(QString::fromUtf16(name)));
        const QPixmap shown = label->pixmap();
        QVERIFY2(same(shown, Pictures::pixmap(QString::fromUtf16(picture), shown.size())),
                 qPrintable(QString::fromUtf16(name)));
    }
    const QIcon drawnNow = Pictures::windowIcon(u"app-icon"_qs);
    for (const int side : {16, 32, 64, 128})
        QVERIFY(same(windowIcon.pixmap(side), drawnNow.pixmap(side)));
}

void TestStartUp::scalableIconDrawsAsSvgIcon()
{
    // The window's scalable icon draws itself as Qt's SVG icon engine draws the file.
    const QIcon ours = Pictures::icon(u"app-icon"_qs);
    const QIcon svg(u":/pictures/app-icon.svg"_qs);
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active})
        for (const QSize size : {QSize(16, 16), QSize(24, 24), QSize(48, 32), QSize(64, 64)}) {
            QCOMPARE(ours.actualSize(size, mode), svg.actualSize(size, mode));
            QCOMPARE(ours.pixmap(size, mode).toImage(), svg.pixmap(size, mode).toImage());
        }
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
