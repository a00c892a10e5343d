// The "Tools" menu's alarm-limit and recall-clock windows in the real window: they hold the
// window's own controls, work on readings that arrive through a real pseudo-terminal, and leave
// the main window as it looks.

#include "Pty.h"
#include "recording/ReadingRecorder.h"
#include "support/MeterBytes.h"
#include "support/TestWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

class TestToolPanels : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void panelHoldsTheControls_data();
    void panelHoldsTheControls();
    void mainWindowLooksTheSame();
    void limitAlarmsOnReadingsFromTheCable();
    void recallClockStampsReadingsFromTheCable();
};

namespace {

// A 4 V-range DC reading of 0..3999 counts, as the meter sends it.
QByteArray volts(int count)
{
    const QByteArray nibbles = "000" + QByteArray::number(count).rightJustified(4, '0') + "0010";
    return meterReading(nibbles.constData());
}

// The real window reading a pseudo-terminal as COM 1, "COM Connect" pressed.
struct ConnectedWindow
{
    Pty pty;
    TestWindow t;

    ConnectedWindow()
    {
        t.portNames.setOverride(1, pty.slavePath());
        t.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
        QTest::mouseClick(t.find<QPushButton>(u"COMCon"_qs), Qt::LeftButton);
        QVERIFY(t.find<QPushButton>(u"COMCon"_qs)->isChecked());
        // The first frame after plugging in may be cut short: start on a line end.
        QVERIFY(pty.write("\n"));
    }

    QWidget *open(const QString &item, const QString &panel)
    {
        if (auto *action = t.find<QAction>(item))
            action->trigger();
        auto *w = t.find<QWidget>(panel);
        return w && w->isVisible() && w->isWindow() ? w : nullptr;
    }
};

// Replaces an edit's text by typing, as a user does: click into it, select it all, type over it.
void typeInto(QLineEdit *edit, const QString &text)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClicks(edit, text);
}

} // namespace

void TestToolPanels::panelHoldsTheControls_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("itemText");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("controls");

    QTest::newRow("alarm limits") << u"AlarmLimitsPanelItem"_qs << u"Alarm limits\u2026"_qs
                                  << u"AlarmLimitsPanel"_qs
                                  << QStringList {u"Panel3"_qs,  u"Setmax"_qs,   u"SetMin"_qs,
                                                  u"SetMaxB"_qs, u"SetMinB"_qs,  u"MaxText"_qs,
                                                  u"MinText"_qs, u"MaxTextU"_qs, u"MinTextU"_qs,
                                                  u"Label11"_qs, u"Label12"_qs};
    QTest::newRow("recall clock") << u"RecallClockPanelItem"_qs << u"Recall clock\u2026"_qs
                                  << u"RecallClockPanel"_qs
                                  << QStringList {u"Panel2"_qs,        u"RecallCheck"_qs,
                                                  u"TimeH"_qs,         u"TimeM"_qs,
                                                  u"TimeS"_qs,         u"TimeInt"_qs,
                                                  u"RecallDataTest"_qs};
}

void TestToolPanels::panelHoldsTheControls()
{
    QFETCH(QString, item);
    QFETCH(QString, itemText);
    QFETCH(QString, panel);
    QFETCH(QStringList, controls);

    TestWindow t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    auto *action = t.find<QAction>(item);
    QVERIFY(action);
    QCOMPARE(action->text(), itemText);
    QVERIFY(t.find<QMenu>(u"Tools"_qs)->actions().contains(action));

    QList<QWidget *> homes;
    QList<QRect> places;
    for (const QString &name : controls) {
        QWidget *w = t.find<QWidget>(name);
        QVERIFY2(w && !w->isVisible(), qPrintable(name));
        homes << w->parentWidget();
        places << w->geometry();
    }

    action->trigger();
    auto *window = t.find<QWidget>(panel);
    QVERIFY(window && window->isWindow() && window->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(!window->isModal());
    for (const QString &name : controls) {
        QWidget *w = t.find<QWidget>(name);
        QVERIFY2(w->isVisible(), qPrintable(name));
        QVERIFY2(window->isAncestorOf(w), qPrintable(name));
        // Nothing is cut off: every control lies inside the window.
        QVERIFY2(window->rect().contains(QRect(w->mapTo(window, QPoint(0, 0)), w->size())),
                 qPrintable(name));
    }
    for (const QLabel *label : window->findChildren<QLabel *>())
        QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()),
                 qPrintable(label->objectName() + u" is cut off"_qs));
    // On the screen, below the main window (where there is room), and not on top of the other
    // new window when both open the first time.
    QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
    QVERIFY(!window->frameGeometry().intersects(t.window->frameGeometry()));
    const bool limits = panel == u"AlarmLimitsPanel"_qs;
    t.find<QAction>(limits ? u"RecallClockPanelItem"_qs : u"AlarmLimitsPanelItem"_qs)->trigger();
    auto *other = t.find<QWidget>(limits ? u"RecallClockPanel"_qs : u"AlarmLimitsPanel"_qs);
    QVERIFY(other->isVisible());
    QVERIFY(!other->frameGeometry().intersects(window->frameGeometry()));
    other->close();

    // Moved, closed and opened again: where the user left it, the controls back in it.
    const QPoint moved = window->pos() + QPoint(37, -21);
    window->move(moved);
    window->close();
    for (int i = 0; i < controls.size(); ++i) {
        QWidget *w = t.find<QWidget>(controls[i]);
        QCOMPARE(w->parentWidget(), homes[i]);
        QCOMPARE(w->geometry(), places[i]);
        QVERIFY2(!w->isVisible(), qPrintable(controls[i]));
    }
    action->trigger();
    QVERIFY(window->isVisible());
    QCOMPARE(window->pos(), moved);
    for (const QString &name : controls)
        QVERIFY2(t.find<QWidget>(name)->isVisible(), qPrintable(name));
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestToolPanels::mainWindowLooksTheSame()
{
    TestWindow t;
    MainWindow &w = *t.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QSize size = w.size();
    const QImage before = w.grab().toImage();

    t.find<QAction>(u"AlarmLimitsPanelItem"_qs)->trigger();
    t.find<QAction>(u"RecallClockPanelItem"_qs)->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(t.find<QWidget>(u"AlarmLimitsPanel"_qs)));
    QVERIFY(QTest::qWaitForWindowExposed(t.find<QWidget>(u"RecallClockPanel"_qs)));
    QCOMPARE(w.size(), size);
    QCOMPARE(w.grab().toImage(), before);

    t.find<QWidget>(u"AlarmLimitsPanel"_qs)->close();
    t.find<QWidget>(u"RecallClockPanel"_qs)->close();
    QCOMPARE(w.grab().toImage(), before);
}

void TestToolPanels::limitAlarmsOnReadingsFromTheCable()
{
    ConnectedWindow c;
    TestWindow &t = c.t;
    QWidget *panel = c.open(u"AlarmLimitsPanelItem"_qs, u"AlarmLimitsPanel"_qs);
    QVERIFY(panel);
    auto *setmax = t.find<QLineEdit>(u"Setmax"_qs);
    auto *setMaxB = t.find<QCheckBox>(u"SetMaxB"_qs);
    auto *oltext = t.find<QLabel>(u"oltext"_qs);
    QVERIFY(panel->isAncestorOf(setmax) && panel->isAncestorOf(setMaxB));

    typeInto(setmax, u"1000"_qs);
    QCOMPARE(setmax->text(), u"1000"_qs);
    QTest::mouseClick(setMaxB, Qt::LeftButton);
    QVERIFY(setMaxB->isChecked());

    QVERIFY(c.pty.write(volts(1000))); // at the limit: no alarm
    QVERIFY(c.pty.write(volts(1500)));
    QTRY_VERIFY(oltext->isVisible());
    QCOMPARE(oltext->text(), u"OL !!"_qs);
    QCOMPARE(t.beeper.beeps, 1);
    // The tracker's labels in the window follow the readings.
    QTRY_COMPARE(t.find<QLabel>(u"MaxText"_qs)->text(), u"1.500"_qs);
    QCOMPARE(t.find<QLabel>(u"MaxTextU"_qs)->text(), u"V"_qs);

    QVERIFY(c.pty.write(volts(999)));
    QTRY_VERIFY(!oltext->isVisible());
    QCOMPARE(t.beeper.beeps, 1);
    QCOMPARE(t.find<QLabel>(u"MinText"_qs)->text(), u"0.999"_qs);

    // Switched off in the window: no reading alarms.
    QTest::mouseClick(setMaxB, Qt::LeftButton);
    QVERIFY(c.pty.write(volts(3000)));
    QTRY_COMPARE(t.find<QLabel>(u"MaxText"_qs)->text(), u"3.000"_qs);
    QVERIFY(!oltext->isVisible());
    QCOMPARE(t.beeper.beeps, 1);
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestToolPanels::recallClockStampsReadingsFromTheCable()
{
    ConnectedWindow c;
    TestWindow &t = c.t;
    QWidget *panel = c.open(u"RecallClockPanelItem"_qs, u"RecallClockPanel"_qs);
    QVERIFY(panel);
    auto *recall = t.find<QCheckBox>(u"RecallCheck"_qs);
    QTest::mouseClick(recall, Qt::LeftButton);
    QVERIFY(recall->isChecked());
    QCOMPARE(t.find<QLineEdit>(u"TimeH"_qs)->text(), u"00"_qs);
    for (const auto &[name, text] :
         {std::pair {u"TimeH"_qs, u"23"_qs}, std::pair {u"TimeM"_qs, u"59"_qs},
          std::pair {u"TimeS"_qs, u"58"_qs}, std::pair {u"TimeInt"_qs, u"5"_qs}})
        typeInto(t.find<QLineEdit>(name), text);

    ReadingTable &table = t.window->recorder().table();
    for (int count : {1234, 1234, 1235})
        QVERIFY(c.pty.write(volts(count)));
    QTRY_COMPARE(table.rowCount(), 3);
    QCOMPARE(table.text(0, ReadingTable::Time), u"00:00:03"_qs);
    QCOMPARE(table.text(1, ReadingTable::Time), u"00:00:08"_qs);
    QCOMPARE(table.text(2, ReadingTable::Time), u"00:00:13"_qs);

    // The test command is a button of the window: one row at once, stamped by the same clock.
    auto *test = t.find<QPushButton>(u"RecallDataTest"_qs);
    QVERIFY(test->isVisible() && panel->isAncestorOf(test));
    QTest::mouseClick(test, Qt::LeftButton);
    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(table.text(3, ReadingTable::Time), u"00:00:18"_qs);
    QCOMPARE(table.text(3, ReadingTable::Value), u"1.235"_qs);
    QVERIFY(table.text(3, ReadingTable::Range).isEmpty());

    // Unticked: the start time goes back to 23:59:59 and rows carry the time of day.
    QTest::mouseClick(recall, Qt::LeftButton);
    QCOMPARE(t.find<QLineEdit>(u"TimeS"_qs)->text(), u"59"_qs);
    QVERIFY(c.pty.write(volts(1236)));
    QTRY_COMPARE(table.rowCount(), 5);
    QCOMPARE(table.text(4, ReadingTable::Time), t.clock.current.time().toString(u"hh:mm:ss"_qs));
    QVERIFY(t.prompts.shown.isEmpty());
}

QTEST_MAIN(TestToolPanels)
#include "tst_toolpanels.moc"
