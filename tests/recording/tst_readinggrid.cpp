#include "recording/ReadingRecorder.h"
#include "support/LongRecording.h"
#include "support/TestWindow.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>

// The reading grid as rows come in: it repaints only what a new row changes, so what the screen
// shows must stay what the grid looks like drawn afresh, and its scroll range and row offset
// what the table view's own full layout gives.
class TestReadingGrid : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void screenMatchesTheGridAsRowsCome_data();
    void screenMatchesTheGridAsRowsCome();
    void keysMoveThroughALongTable();
};

namespace {

enum class Place { Bottom, Middle, Top };

struct Layout
{
    int minimum, maximum, pageStep, value, offset;
    bool operator==(const Layout &) const = default;
};

Layout layoutOf(QTableView *grid)
{
    const QScrollBar *bar = grid->verticalScrollBar();
    return {bar->minimum(), bar->maximum(), bar->pageStep(), bar->value(),
            grid->verticalHeader()->offset()};
}

QString text(const Layout &l)
{
    return u"range %1..%2, page %3, value %4, offset %5"_qs.arg(l.minimum)
        .arg(l.maximum)
        .arg(l.pageStep)
        .arg(l.value)
        .arg(l.offset);
}

// Rows put in the table as a long recording leaves them, numbered from 1.
void fill(TestWindow &w, int rows)
{
    fillLongRecording(w.window->recorder().table(), rows);
    w.window->state().counters.RecordNo = rows + 1;
    w.window->recorder().model().rowsAppended();
    QApplication::processEvents();
}

// What the repaints left on the screen is the window drawn afresh.
bool screenIsAfresh(TestWindow &w)
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    const QImage screen = w.window->screen()
                              ->grabWindow(w.window->winId())
                              .toImage()
                              .convertToFormat(QImage::Format_ARGB32);
    return screen == w.window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

void TestReadingGrid::screenMatchesTheGridAsRowsCome_data()
{
    QTest::addColumn<int>("held"); // rows in the table before the readings come
    QTest::addColumn<Place>("place"); // where the user has scrolled the grid to
    QTest::addColumn<bool>("emptied"); // New is pressed before the readings
    QTest::addColumn<int>("readings");
    QTest::newRow("a few rows: the grid is not full") << 2 << Place::Bottom << false << 3;
    QTest::newRow("the grid fills up and scrolls") << 7 << Place::Bottom << false << 8;
    QTest::newRow("long table, followed at the bottom") << 5000 << Place::Bottom << false << 6;
    QTest::newRow("long table, read in the middle") << 5000 << Place::Middle << false << 6;
    QTest::newRow("long table, read at the top") << 5000 << Place::Top << false << 6;
    QTest::newRow("long table emptied by New") << 5000 << Place::Bottom << true << 4;
}

void TestReadingGrid::screenMatchesTheGridAsRowsCome()
{
    QFETCH(int, held);
    QFETCH(Place, place);
    QFETCH(bool, emptied);
    QFETCH(int, readings);

    TestWindow w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    auto *grid = w.find<QTableView>(u"DBGrid1"_qs);
    QVERIFY(grid);
    fill(w, held);
    QScrollBar *bar = grid->verticalScrollBar();
    bar->setValue(place == Place::Bottom       ? bar->maximum()
                      : place == Place::Middle ? bar->maximum() / 2
                                               : 0);
    QApplication::processEvents();
    if (emptied) {
        w.find<QToolButton>(u"BtNew"_qs)->click();
        QApplication::processEvents();
    }

    const int topRow = grid->rowAt(0);
    for (int n = 0; n < readings; ++n) {
        w.clock.current = w.clock.current.addMSecs(500);
        QVERIFY(!w.showFrame(u"A000"_qs + QString::number(1000 + n * 7) + u"0010D"_qs));
        QApplication::processEvents();
    }

    // Where the user reads, the rows stay; at the bottom, the newest row shows.
    if (place == Place::Bottom) {
        const QModelIndex newest = grid->model()->index(grid->model()->rowCount() - 1, 0);
        QCOMPARE(grid->currentIndex(), newest);
        QVERIFY(grid->viewport()->rect().contains(grid->visualRect(newest)));
    } else {
        QCOMPARE(grid->rowAt(0), topRow);
    }
    QVERIFY2(screenIsAfresh(w), "the screen shows parts the grid did not repaint");

    const Layout kept = layoutOf(grid);
    grid->doItemsLayout();
    QVERIFY2(layoutOf(grid) == kept,
             qPrintable(text(kept) + u" laid out afresh: "_qs + text(layoutOf(grid))));
}

// The keys move the current row through a long table as the table view always did, and the
// grid repaints where it moves.
void TestReadingGrid::keysMoveThroughALongTable()
{
    TestWindow w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    auto *grid = w.find<QTableView>(u"DBGrid1"_qs);
    fill(w, 5000);
    grid->setFocus();
    QVERIFY(!w.showFrame(u"A00012340010D"_qs)); // at the top: not followed
    QApplication::processEvents();
    QCOMPARE(grid->rowAt(0), 0);

    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(grid->currentIndex().row(), 5000);
    QVERIFY(screenIsAfresh(w));
    QVERIFY(!w.showFrame(u"A00012350010D"_qs)); // at the bottom: followed
    QCOMPARE(grid->currentIndex().row(), 5001);
    QVERIFY(screenIsAfresh(w));

    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(grid->currentIndex().row(), 5000);
    QTest::keyClick(grid, Qt::Key_PageUp);
    QVERIFY(grid->currentIndex().row() < 5000);
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
    QVERIFY(screenIsAfresh(w));
    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(grid->currentIndex().row(), 0);
    QCOMPARE(grid->rowAt(0), 0);
    QVERIFY(screenIsAfresh(w));
}

QTEST_MAIN(TestReadingGrid)
#include "tst_readinggrid.moc"
