#include "chart/ChartControl.h"
#include "chart/ChartSurface.h"
#include "meter/MeterDisplay.h"
#include "recording/ReadingRecorder.h"
#include "support/Prompts.h"
#include "support/TestWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QToolButton>

// The record step in the real window, fed frame by frame through the display sequence.
class TestRecorder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyReadingIsARow();
    void limitReachedIsSaidOncePerReach();
    void noticeLeavesTheWindowFree();
    void repeatRuleIgnoresTheRange();
    void newKeepsTheLastKey();
    void samplingIntervalZeroTakesEveryReading();
    void intervalThatIsNoNumberEndsTheFrame();
    void fullMemoryStopsRecordingUntilNew();
    void gridFollowsOnlyAtTheBottom();
    void numberColumnFitsTheLongestNumber_data();
    void numberColumnFitsTheLongestNumber();
};

namespace {

struct Window
{
    TestWindow t;
    FrameDecoder::Result show(const QString &frame) { return t.showFrame(frame); }
    ReadingTable &table() { return t.window->recorder().table(); }
};

} // namespace

void TestRecorder::everyReadingIsARow()
{
    Window w;
    w.t.clock.current = QDateTime(QDate(2026, 1, 1), QTime(7, 8, 9));
    for (int i = 0; i < 3; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 3);
    const ReadingTable::Row row = w.table().row(2);
    QCOMPARE(row.no, std::optional<qint32>(3));
    QCOMPARE(row.time, u"07:08:09"_qs);
    QCOMPARE(row.dcAc, u"DCV"_qs);
    QCOMPARE(row.value, u"1.234"_qs);
    QCOMPARE(row.unit, u"V"_qs);
    QCOMPARE(row.range, u"4 V"_qs);
    QCOMPARE(row.autoText, u"Auto"_qs);
    QCOMPARE(row.nval, std::optional<qint32>(1234));
    auto *grid = w.t.find<QTableView>(u"DBGrid1"_qs);
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->currentIndex().row(), 2); // the grid follows the newest row
    QCOMPARE(grid->model()->data(grid->model()->index(2, 3)).toString(), u"1.234"_qs);
}

void TestRecorder::limitReachedIsSaidOncePerReach()
{
    Window w;
    const QStringList once {ReadingRecorder::limitReachedText(1000)};
    w.t.find<QAction>(u"N10001"_qs)->trigger(); // 1000
    for (int i = 0; i < 1005; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 1000);
    // Said after the reading's handler, without a box that waits, and once for the reach.
    QVERIFY(w.t.prompts.shown.isEmpty());
    QTRY_COMPARE(w.t.prompts.texts(u"notice"_qs), once);
    QCOMPARE(w.t.prompts.shown.size(), 1);
    QVERIFY(once[0].contains(u"1000 rows"_qs) && once[0].contains(u"Record menu"_qs));
    // The chart keeps going after the table has reached its limit.
    QCOMPARE(w.t.window->chartControl().Chart().pointCount(0), 1006);

    // A larger limit: recording goes on where it stopped, and its reach is said again.
    w.t.find<QAction>(u"N50001"_qs)->trigger();
    QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 1001);
    QCOMPARE(w.table().row(1000).no, std::optional<qint32>(1001));
    w.t.find<QAction>(u"N10001"_qs)->trigger(); // now below the rows held
    for (int i = 0; i < 3; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 1001);
    QTRY_COMPARE(w.t.prompts.texts(u"notice"_qs), once + once);

    // New: a whole new table, filled up and said once more.
    w.t.find<QToolButton>(u"BtNew"_qs)->click();
    w.t.prompts.clear();
    for (int i = 0; i < 1002; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 1000);
    QTRY_COMPARE(w.t.prompts.texts(u"notice"_qs), once);
}

// The real note: not modal, so the window and its readings go on while it is up.
void TestRecorder::noticeLeavesTheWindowFree()
{
    QWidget window;
    window.show();
    QtPrompts prompts;
    const QString text = ReadingRecorder::limitReachedText(10000);
    prompts.notice(&window, text);
    prompts.notice(&window, text); // still up: not shown twice
    const QList<QMessageBox *> boxes = window.findChildren<QMessageBox *>(u"notice"_qs);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0]->isVisible());
    QCOMPARE(boxes[0]->text(), text);
    QVERIFY(!boxes[0]->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QPointer<QMessageBox> box = boxes[0];
    box->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(box.isNull()); // gone once closed
}

void TestRecorder::repeatRuleIgnoresTheRange()
{
    Window w;
    w.t.find<QCheckBox>(u"RepeatSet"_qs)->click();
    QVERIFY(!w.show(u"A00012340010D"_qs));
    QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 1);
    // AC instead of DC on another range: a different key.
    QVERIFY(!w.show(u"A01312340010D"_qs));
    QCOMPARE(w.table().rowCount(), 2);
    // Engine speed for 4 and then 6 cylinders: only the range text differs, so no new row.
    QVERIFY(!w.show(u"A70012340000D"_qs));
    QCOMPARE(w.table().rowCount(), 3);
    QVERIFY(!w.show(u"A70112340000D"_qs));
    QCOMPARE(w.table().rowCount(), 3);
    QCOMPARE(w.table().row(2).range, u"4CYL"_qs);
}

void TestRecorder::newKeepsTheLastKey()
{
    Window w;
    w.t.find<QCheckBox>(u"RepeatSet"_qs)->click();
    QVERIFY(!w.show(u"A00012340010D"_qs));
    QVERIFY(!w.show(u"A00043210010D"_qs));
    w.t.find<QToolButton>(u"BtNew"_qs)->click();
    QCOMPARE(w.t.prompts.texts(u"information"_qs), QStringList {u" Record deleted "_qs});
    QCOMPARE(w.table().rowCount(), 0);
    QCOMPARE(w.t.window->state().counters.RecordedCount, 0);
    QCOMPARE(w.t.window->chartControl().Chart().pointCount(0), 1);
    QVERIFY(!w.show(u"A00043210010D"_qs)); // still a repeat of the last row added
    QCOMPARE(w.table().rowCount(), 0);
    QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().row(0).no, std::optional<qint32>(1));
}

void TestRecorder::samplingIntervalZeroTakesEveryReading()
{
    Window w;
    w.t.find<QLineEdit>(u"RecordSITime"_qs)->setText(u"0"_qs);
    w.t.find<QCheckBox>(u"RecordSI"_qs)->click();
    for (int i = 0; i < 4; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 4);
    // With an interval, the first reading reloads the countdown and holds the next ones back.
    w.t.find<QLineEdit>(u"RecordSITime"_qs)->setText(u"5"_qs);
    w.t.window->state().SampleCountdown = 0;
    for (int i = 0; i < 4; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 5);
    QCOMPARE(w.t.window->state().SampleCountdown, 5);
}

void TestRecorder::intervalThatIsNoNumberEndsTheFrame()
{
    Window w;
    w.t.find<QLineEdit>(u"RecordSITime"_qs)->setText(u"99999999999"_qs);
    const FrameDecoder::Result failure = w.show(u"A00012340010D"_qs);
    QVERIFY(failure);
    QCOMPARE(failure->message(), u"'99999999999' is not a valid integer value"_qs);
    QCOMPARE(w.table().rowCount(), 0);
    QCOMPARE(w.t.window->state().counters.LastRecordKey, u"1.234DCVVAuto"_qs);
}

void TestRecorder::fullMemoryStopsRecordingUntilNew()
{
    Window w;
    w.t.find<QAction>(u"limitess"_qs)->trigger();
    w.table().setBlockLimit(1);
    const qsizetype held = ReadingTable::ChunkRows;
    for (qsizetype i = 0; i < held + 3; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), held);
    const RecordCounters &c = w.t.window->state().counters;
    QCOMPARE(c.RecordedCount, qint32(held));
    QCOMPARE(c.RecordNo, qint32(held + 1));
    // Told once, after the reading's handler, and the rows held are all there.
    QVERIFY(w.t.prompts.shown.isEmpty());
    QTRY_COMPARE(w.t.prompts.texts(u"information"_qs).size(), 1);
    QVERIFY(w.t.prompts.texts(u"information"_qs)[0].startsWith(u"Not enough memory"_qs));
    QCOMPARE(w.table().row(held - 1).no, std::optional<qint32>(qint32(held)));
    QVERIFY(w.t.window->recorder().hasUnsavedRows());

    w.t.find<QToolButton>(u"BtNew"_qs)->click();
    QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 1);
    QCOMPARE(w.table().row(0).no, std::optional<qint32>(1));
}

// As a terminal does: new rows keep the view on the newest row while it is at the bottom; once
// the user scrolls up they leave it alone, and back at the bottom it follows again.
void TestRecorder::gridFollowsOnlyAtTheBottom()
{
    Window w;
    w.t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.t.window.get()));
    auto *grid = w.t.find<QTableView>(u"DBGrid1"_qs);
    QScrollBar *bar = grid->verticalScrollBar();
    const auto newestShown = [&] {
        const QModelIndex newest = grid->model()->index(grid->model()->rowCount() - 1, 0);
        return grid->currentIndex() == newest
            && grid->viewport()->rect().contains(grid->visualRect(newest));
    };

    for (int i = 0; i < 40; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(newestShown());

    // The user scrolls up and picks a row: new rows move neither.
    bar->setValue(5);
    const QModelIndex picked = grid->model()->index(8, 0);
    grid->setCurrentIndex(picked);
    for (int i = 0; i < 20; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(w.table().rowCount(), 60);
    QCOMPARE(bar->value(), 5);
    QCOMPARE(grid->currentIndex(), picked);

    // Back at the bottom: following again.
    bar->setValue(bar->maximum());
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!w.show(u"A00012340010D"_qs));
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(newestShown());
    }
}

void TestRecorder::numberColumnFitsTheLongestNumber_data()
{
    QTest::addColumn<qint32>("firstNo"); // the record number the run starts at
    QTest::addColumn<int>("rows");
    QTest::newRow("10000 and on") << qint32(9998) << 4;
    QTest::newRow("ten million: limitless") << qint32(9999998) << 3;
    QTest::newRow("the largest number a row holds") << qint32(2147483646) << 1;
}

// The numbers as the cells show them, not cut short: the column is at least as wide as the
// grid's own measure of the cells in view.
void TestRecorder::numberColumnFitsTheLongestNumber()
{
    QFETCH(qint32, firstNo);
    QFETCH(int, rows);
    Window w;
    w.t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.t.window.get()));
    auto *grid = w.t.find<QTableView>(u"DBGrid1"_qs);
    const int designed = grid->columnWidth(0);
    QVERIFY(!w.show(u"A00012340010D"_qs));
    QCOMPARE(grid->columnWidth(0), designed); // "1" fits as it was

    w.t.window->state().counters.RecordNo = firstNo;
    for (int i = 0; i < rows; ++i)
        QVERIFY(!w.show(u"A00012340010D"_qs));
    const QString longest = QString::number(firstNo + rows - 1);
    QCOMPARE(grid->model()->data(grid->model()->index(rows, 0)).toString(), longest);
    const int measured = static_cast<QAbstractItemView *>(grid)->sizeHintForColumn(0);
    QVERIFY2(grid->columnWidth(0) >= measured,
             qPrintable(u"%1 < %2"_qs.arg(grid->columnWidth(0)).arg(measured)));
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    QVERIFY(QFontMetricsF(grid->font()).horizontalAdvance(longest) + 2 * margin
            <= grid->columnWidth(0) - 1);

    // New empties the table: the column goes back to its width as designed.
    w.t.find<QToolButton>(u"BtNew"_qs)->click();
    QCOMPARE(grid->columnWidth(0), designed);
}

QTEST_MAIN(TestRecorder)
#include "tst_recorder.moc"
