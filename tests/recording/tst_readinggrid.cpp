#include "recording/ReadingGrid.h"
#include "recording/ReadingRecorder.h"
#include "recording/TableFiles.h"
#include "support/LongRecording.h"
#include "support/TestWindow.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleOptionSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

// The reading grid as rows come in: it repaints only what a new row changes, so what the screen
// shows must stay what the grid looks like drawn afresh, and its scroll range and row offset
// what the table view's own full layout gives.
class TestReadingGrid : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void screenMatchesTheGridAsRowsCome_data();
    void screenMatchesTheGridAsRowsCome();
    void aReadingRepaintsTheRowsItChanges();
    void keysMoveThroughALongTable();
    void aWindowOfTheTableShowsWhatTheWholeTableShows_data();
    void aWindowOfTheTableShowsWhatTheWholeTableShows();
    void tableIndexesReachRowsOutsideTheWindow();
    void linesBetweenCellsAreTheTableViews_data();
    void linesBetweenCellsAreTheTableViews();
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

// What a grid shows and where it stands, in the whole table's rows.
struct Standing
{
    Layout layout;
    int topRow = -1;
    int currentRow = -1;
    QList<int> selectedRows;
    QImage picture;
    bool operator==(const Standing &) const = default;
};

QString text(const Standing &s)
{
    QStringList selected;
    for (int row : s.selectedRows)
        selected << QString::number(row);
    return text(s.layout)
        + u", top row %1, current row %2, selected %3"_qs.arg(s.topRow)
              .arg(s.currentRow)
              .arg(selected.join(u','));
}

QRect handleOf(const QScrollBar *bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        bar);
}

// Runs the steps on a window whose grid holds windows of the given number of rows, and says
// what the grid then shows. Steps: "bottom", "middle", "top" (the scroll bar is set there),
// "read N" (readings recorded), "wheel N" (notches up; negative: down), "key NAME N", "drag P"
// (the handle dragged to P percent of the scroll bar's height), "click N" (the Nth row shown),
// "new" (the New button), "open" (an XML file of 5000 rows opened). Says whether the grid held
// a window of the table after any step, and after the last.
Standing run(int windowRows, const QStringList &steps, bool *windowed, bool *windowedAtEnd,
             bool *afresh)
{
    TestWindow w;
    auto *grid = w.find<ReadingGrid>(u"DBGrid1"_qs);
    grid->setWindowRows(windowRows);
    w.window->show();
    w.window->activateWindow();
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(w.window.get());
    fill(w, 5000);
    QScrollBar *bar = grid->verticalScrollBar();
    QTemporaryDir dir;
    *windowed = false;
    int reading = 0;
    for (const QString &step : steps) {
        const QStringList words = step.split(u' ');
        const int n = words.size() > 1 ? words.last().toInt() : 0;
        if (step == u"bottom"_qs) {
            bar->setValue(bar->maximum());
        } else if (step == u"middle"_qs) {
            bar->setValue(bar->maximum() / 2);
        } else if (step == u"top"_qs) {
            bar->setValue(0);
        } else if (words.first() == u"read"_qs) {
            for (int i = 0; i < n; ++i, ++reading) {
                w.clock.current = w.clock.current.addMSecs(500);
                w.showFrame(u"A000"_qs + QString::number(1000 + reading * 7) + u"0010D"_qs);
                QApplication::processEvents();
            }
        } else if (words.first() == u"wheel"_qs) {
            for (int i = 0; i < std::abs(n); ++i) {
                const QPointF at(20, 20);
                QWheelEvent wheel(at, grid->viewport()->mapToGlobal(at), QPoint(),
                                  QPoint(0, n > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(grid->viewport(), &wheel);
            }
        } else if (words.first() == u"key"_qs) {
            const QMap<QString, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys {
                {u"Up"_qs, {Qt::Key_Up, Qt::NoModifier}},
                {u"Down"_qs, {Qt::Key_Down, Qt::NoModifier}},
                {u"PageUp"_qs, {Qt::Key_PageUp, Qt::NoModifier}},
                {u"PageDown"_qs, {Qt::Key_PageDown, Qt::NoModifier}},
                {u"CtrlHome"_qs, {Qt::Key_Home, Qt::ControlModifier}},
                {u"CtrlEnd"_qs, {Qt::Key_End, Qt::ControlModifier}}};
            const auto key = keys.value(words[1]);
            grid->setFocus();
            for (int i = 0; i < std::max(n, 1); ++i)
                QTest::keyClick(grid, key.first, key.second);
        } else if (words.first() == u"drag"_qs) {
            const QPoint from = handleOf(bar).center();
            const QPoint to(from.x(), bar->height() * n / 100);
            QTest::mousePress(bar, Qt::LeftButton, {}, from);
            QTest::mouseMove(bar, (from + to) / 2);
            QTest::mouseMove(bar, to);
            QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
        } else if (words.first() == u"click"_qs) {
            const QRect cell = grid->visualRect(grid->model()->index(grid->rowAt(0) + n, 1));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        } else if (step == u"new"_qs) {
            w.find<QToolButton>(u"BtNew"_qs)->click();
        } else if (step == u"open"_qs) {
            ReadingTable packet;
            fillLongRecording(packet, 5000);
            const QString file = dir.filePath(u"long.xml"_qs);
            [[maybe_unused]] const bool saved = TableFiles::saveXml(packet, file);
            w.prompts.fileAnswers << file;
            w.prompts.questionAnswers << true;
            w.find<QToolButton>(u"OpenDataFiles"_qs)->click();
        }
        QApplication::processEvents();
        *windowed = *windowed || grid->model()->rowCount() < grid->tableModel()->rowCount();
    }
    *windowedAtEnd = grid->model()->rowCount() < grid->tableModel()->rowCount();
    *afresh = screenIsAfresh(w);
    Standing s;
    s.layout = layoutOf(grid);
    s.layout.offset = 0; // the row header's offset counts from the window's first row
    s.topRow = grid->tableRow(grid->rowAt(0));
    // A current row out of the window's reach is put aside, as the selection with it.
    s.currentRow = grid->currentTableRow();
    s.selectedRows = grid->selectedTableRows();
    if (grid->currentIndex().isValid()
        && grid->tableRow(grid->currentIndex().row()) != s.currentRow)
        s.currentRow = -2;
    s.picture = grid->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    return s;
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

namespace {

// The regions painted in the given widgets, in the window's coordinates.
class PaintedRegions : public QObject
{
public:
    PaintedRegions(QWidget *window, const QList<QWidget *> &widgets)
        : m_window(window)
    {
        for (QWidget *widget : widgets)
            widget->installEventFilter(this);
    }
    QRegion of(QWidget *widget) const { return m_painted.value(widget); }
    QRegion all() const
    {
        QRegion r;
        for (const QRegion &painted : m_painted)
            r += painted;
        return r;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            auto *widget = static_cast<QWidget *>(watched);
            m_painted[widget] += static_cast<QPaintEvent *>(event)->region().translated(
                widget->mapTo(m_window, QPoint()));
        }
        return false;
    }

private:
    QWidget *m_window;
    QHash<QWidget *, QRegion> m_painted;
};

} // namespace

// A reading followed at the bottom of the grid repaints the new row and the one it takes the
// current row from, in the cells and in the row header, and the scroll bar alone where its
// handle moves: not the row header's other rows, nor the grid and window beneath the bar.
void TestReadingGrid::aReadingRepaintsTheRowsItChanges()
{
    TestWindow w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    auto *grid = w.find<QTableView>(u"DBGrid1"_qs);
    fill(w, 14); // short enough that each row moves the handle
    QScrollBar *bar = grid->verticalScrollBar();
    bar->setValue(bar->maximum());
    QApplication::processEvents();

    QWidget *rowHeader = grid->verticalHeader()->viewport();
    QList<QWidget *> beneathBar;
    for (QWidget *under = bar->parentWidget(); under; under = under->parentWidget())
        beneathBar << under;
    PaintedRegions painted(w.window.get(), QList<QWidget *> {rowHeader, bar} + beneathBar);
    const QRect handleBefore = handleOf(bar);
    QVERIFY(!w.showFrame(u"A00012340010D"_qs));
    QApplication::processEvents();

    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    const QRegion header = painted.of(rowHeader);
    QVERIFY(!header.isEmpty());
    QVERIFY2(header.boundingRect().height() <= 2 * rowHeight,
             qPrintable(u"the row header repainted %1 pixels high"_qs.arg(
                 header.boundingRect().height())));
    QVERIFY(handleOf(bar) != handleBefore);
    const QRect barRect(bar->mapTo(w.window.get(), QPoint()), bar->size());
    QVERIFY(painted.of(bar).intersects(barRect));
    for (QWidget *under : std::as_const(beneathBar))
        QVERIFY2(!painted.of(under).intersects(barRect),
                 qPrintable(under->objectName() + u" was painted beneath the scroll bar"_qs));
    QVERIFY(screenIsAfresh(w));
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

// The grid of a long table holds a window of its rows around those it shows. Whatever the user
// does, it shows what it would holding the whole table: the same rows and picture, the scroll bar
// over the whole table, the same current row and selection.
void TestReadingGrid::aWindowOfTheTableShowsWhatTheWholeTableShows_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("windowAtEnd"); // the grid ends holding a window of the table
    QTest::newRow("following the newest rows")
        << QStringList {u"bottom"_qs, u"read 130"_qs} << true;
    QTest::newRow("reading in the middle") << QStringList {u"middle"_qs, u"read 6"_qs} << true;
    QTest::newRow("reading at the top") << QStringList {u"top"_qs, u"read 6"_qs} << true;
    QTest::newRow("the wheel across the window's edge")
        << QStringList {u"middle"_qs, u"read 3"_qs,    u"wheel 30"_qs,
                        u"read 2"_qs, u"wheel -12"_qs, u"read 2"_qs}
        << true;
    QTest::newRow("the wheel away from the newest row and back")
        << QStringList {u"bottom"_qs,    u"read 3"_qs, u"wheel 30"_qs,  u"read 2"_qs,
                        u"wheel -12"_qs, u"read 2"_qs, u"wheel -30"_qs, u"read 2"_qs}
        << true;
    QTest::newRow("the wheel away, then the keys")
        << QStringList {u"bottom"_qs, u"read 3"_qs,   u"wheel 40"_qs,
                        u"read 2"_qs, u"key Up 2"_qs, u"read 2"_qs}
        << true;
    QTest::newRow("the handle dragged away from a row clicked")
        << QStringList {u"middle"_qs, u"read 2"_qs, u"click 3"_qs, u"drag 20"_qs, u"read 2"_qs}
        << true;
    QTest::newRow("the wheel down to the newest row")
        << QStringList {u"bottom"_qs, u"read 3"_qs,    u"wheel 40"_qs,
                        u"read 2"_qs, u"wheel -45"_qs, u"read 3"_qs}
        << true;
    QTest::newRow("keys up across the window's edge")
        << QStringList {u"bottom"_qs,       u"read 3"_qs, u"key Up 70"_qs, u"read 2"_qs,
                        u"key PageUp 8"_qs, u"read 2"_qs, u"key Down 3"_qs}
        << true;
    QTest::newRow("keys to the ends")
        << QStringList {u"bottom"_qs,         u"read 3"_qs,      u"key CtrlHome"_qs, u"read 2"_qs,
                        u"key PageDown 2"_qs, u"key CtrlEnd"_qs, u"read 3"_qs}
        << true;
    QTest::newRow("the handle dragged") << QStringList {u"bottom"_qs, u"read 3"_qs,  u"drag 30"_qs,
                                                        u"read 2"_qs, u"drag 95"_qs, u"read 2"_qs}
                                        << true;
    QTest::newRow("a row clicked, then the middle")
        << QStringList {u"bottom"_qs, u"read 3"_qs, u"click 4"_qs,
                        u"read 2"_qs, u"middle"_qs, u"read 2"_qs}
        << true;
    QTest::newRow("a row clicked in the middle")
        << QStringList {u"middle"_qs, u"read 2"_qs, u"click 3"_qs, u"read 2"_qs, u"key Down 5"_qs}
        << true;
    QTest::newRow("emptied by New")
        << QStringList {u"bottom"_qs, u"read 3"_qs, u"new"_qs, u"read 4"_qs} << false;
    QTest::newRow("a long file opened") << QStringList {u"bottom"_qs, u"read 3"_qs, u"open"_qs,
                                                        u"read 3"_qs, u"bottom"_qs, u"read 3"_qs}
                                        << true;
}

void TestReadingGrid::aWindowOfTheTableShowsWhatTheWholeTableShows()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, windowAtEnd);
    bool windowed = false;
    bool windowedAtEnd = false;
    bool afresh = false;
    const Standing whole = run(100'000, steps, &windowed, &windowedAtEnd, &afresh);
    QVERIFY(!windowed);
    const Standing window = run(50, steps, &windowed, &windowedAtEnd, &afresh);
    QVERIFY2(windowed, "the grid held the whole table");
    QCOMPARE(windowedAtEnd, windowAtEnd);
    QVERIFY2(afresh, "the screen shows parts the grid did not repaint");
    QVERIFY2(
        window == whole,
        qPrintable(text(window) + u" against "_qs + text(whole)
                   + (window.picture == whole.picture ? QString() : u" (the pictures differ)"_qs)));
}

// The program's own users of the grid (the recorder, Open) name rows by the table's indexes:
// the grid takes them to its own, bringing rows outside its window into it.
void TestReadingGrid::tableIndexesReachRowsOutsideTheWindow()
{
    TestWindow w;
    auto *grid = w.find<ReadingGrid>(u"DBGrid1"_qs);
    grid->setWindowRows(50);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    fill(w, 5000);
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    QVERIFY(!w.showFrame(u"A00012340010D"_qs));
    QApplication::processEvents();
    QVERIFY(grid->model()->rowCount() < 5001);
    QCOMPARE(grid->tableRow(grid->currentIndex().row()), 5000);

    // Scrolled far from the current row: it is put aside, and comes back when asked for.
    grid->verticalScrollBar()->setValue(100);
    QApplication::processEvents();
    QVERIFY(grid->model()->rowCount() < 5001);
    QVERIFY(!grid->currentIndex().isValid());
    QCOMPARE(grid->currentTableRow(), 5000);
    const QModelIndex current = gridCurrentIndex(grid);
    QVERIFY(current.isValid());
    QCOMPARE(grid->tableRow(current.row()), 5000);
    QCOMPARE(grid->verticalScrollBar()->value(), 100);
    QCOMPARE(grid->tableRow(grid->rowAt(0)), 100);
    QVERIFY(screenIsAfresh(w));

    QAbstractItemModel *table = gridTable(grid);
    QCOMPARE(table, &w.window->recorder().model());
    const QModelIndex first = gridIndex(grid, table->index(0, 0));
    QVERIFY(first.isValid());
    QCOMPARE(first.model(), grid->model());
    QCOMPARE(grid->tableRow(first.row()), 0);
    QCOMPARE(first.data().toString(), u"1"_qs);
    grid->setCurrentIndex(first);
    grid->scrollTo(first);
    QApplication::processEvents();
    QCOMPARE(grid->tableRow(grid->rowAt(0)), 0);
    QCOMPARE(grid->verticalScrollBar()->value(), 0);
    QVERIFY(screenIsAfresh(w));
}

void TestReadingGrid::linesBetweenCellsAreTheTableViews_data()
{
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::addColumn<bool>("alternate");
    QTest::addColumn<bool>("hideSections");
    QTest::addColumn<bool>("hideHeaders");
    QTest::addColumn<int>("scrolled");
    QTest::newRow("plain") << Qt::LeftToRight << false << false << false << 0;
    QTest::newRow("alternate rows, scrolled") << Qt::LeftToRight << true << false << false << 3;
    QTest::newRow("hidden row and column") << Qt::LeftToRight << true << true << false << 2;
    QTest::newRow("no headers") << Qt::LeftToRight << false << false << true << 0;
    QTest::newRow("right to left") << Qt::RightToLeft << true << true << false << 1;
}

void TestReadingGrid::linesBetweenCellsAreTheTableViews()
{
    // The grid draws the lines between its cells itself: the same pixels as the table view's
    // own, for the whole grid and for the strips a new row repaints, wherever the cells end.
    QFETCH(Qt::LayoutDirection, direction);
    QFETCH(bool, alternate);
    QFETCH(bool, hideSections);
    QFETCH(bool, hideHeaders);
    QFETCH(int, scrolled);
    QStandardItemModel model(20, 4);
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column)
            model.setItem(row, column, new QStandardItem(u"%1.%2"_qs.arg(row).arg(column)));
    ReadingGrid grid;
    QTableView view;
    for (QTableView *table : {static_cast<QTableView *>(&grid), &view}) {
        table->setLayoutDirection(direction);
        table->setModel(&model);
        table->setAlternatingRowColors(alternate);
        table->resize(300, 200); // wider than the columns: the lines end where the cells do
        table->horizontalHeader()->setVisible(!hideHeaders);
        table->verticalHeader()->setVisible(!hideHeaders);
        if (hideSections) {
            table->setRowHidden(1, true);
            table->setColumnHidden(2, true);
        }
        table->show();
        QVERIFY(QTest::qWaitForWindowExposed(table));
        table->verticalScrollBar()->setValue(scrolled);
    }
    QApplication::processEvents();
    QCOMPARE(grid.viewport()->size(), view.viewport()->size());
    const QSize size = grid.viewport()->size();
    const int rowHeight = view.rowHeight(0);
    const QList<QRegion> regions {
        QRegion(QRect(QPoint(0, 0), size)),
        QRegion(0, size.height() - 2 * rowHeight, size.width(), 2 * rowHeight)
            + QRegion(0, rowHeight / 2, size.width(), rowHeight),
        QRegion(size.width() - 40, 0, 40, size.height()),
    };
    for (const QRegion &region : regions) {
        QImage drawn(size, QImage::Format_ARGB32_Premultiplied);
        QImage expected(size, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::magenta);
        expected.fill(Qt::magenta);
        grid.viewport()->render(&drawn, QPoint(), region);
        view.viewport()->render(&expected, QPoint(), region);
        QVERIFY2(drawn == expected,
                 qPrintable(u"the lines differ within %1"_qs.arg(
                     QDebug::toString(region.boundingRect()))));
    }
}

QTEST_MAIN(TestReadingGrid)
#include "tst_readinggrid.moc"
