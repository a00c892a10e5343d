#pragma once

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

class GridScrollBar;
class RowWindow;

// The reading table's grid. Rows come at the end, one per reading, for as long as a recording
// runs: the grid lays out and repaints only what they change (the new rows where they show,
// the scroll bars when they look different), not everything it shows, so a reading repaints
// as much whether the table holds no rows or millions.
//
// The table view's row header keeps a section per row and sums their heights again after each
// new row. So the grid shows a long table through a window of a few thousand rows (RowWindow)
// around the rows it shows, its current row and selection: at the bottom, the last rows, taking
// the new ones; elsewhere a span that rows added below leave alone. The scroll bar spans the
// whole table, as it would the whole table's rows; scrolling out of the window moves it, and
// the keys move through the whole table (they show all of it). A current row or selection
// too far from the rows shown for one window is put aside (currentIndex() is then invalid)
// until the window reaches it again, or heldCurrentIndex() or the keys ask for it.
// model() is the window: tableRow() gives the table's row of its rows, tableModel() the table,
// viewIndex() and gridIndex() take a table's index to the grid's.
class ReadingGrid : public QTableView
{
public:
    explicit ReadingGrid(QWidget *parent = nullptr);

    // The grid shows the model through its row window; model() is the window.
    void setModel(QAbstractItemModel *model) override;
    QAbstractItemModel *tableModel() const;
    // The grid's index for an index of the table model, showing the whole table if the row is
    // not in the window.
    QModelIndex viewIndex(const QModelIndex &tableIndex);
    // The table's row of a grid's row.
    int tableRow(int row) const;
    // The current index, with the current row put aside brought back.
    QModelIndex heldCurrentIndex();
    // The table's rows of the current row (-1 for none) and the selected rows, put aside or not.
    int currentTableRow() const;
    QList<int> selectedTableRows() const;
    // A window is made this many rows long and made again once it holds twice as many; a
    // table of up to twice as many rows shows whole.
    void setWindowRows(int rows) { m_windowRows = std::max(rows, 1); }

    void setRootIndex(const QModelIndex &index) override;
    void reset() override;
    void doItemsLayout() override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

    // Between the two, changes to the scroll bars repaint them once, at the end, and only if
    // they then look different (a new row and the grid following it leave the handle in place
    // once the table is long).
    void holdScrollBars();
    void releaseScrollBars();

    // Rows appended while this is set, with the grid at the bottom, take the grid to the new
    // bottom as they are laid out: the cells shown move once, by the rows added, rather than
    // once to the rows' new place and again when the grid is taken to the newest row.
    void setFollowsAppendedRows(bool follows);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    class WindowBar;
    // The lines between the cells, where the table view would stroke them, within region.
    void paintGridLines(const QRegion &region);
    // The current row and the selection, in the table's rows.
    struct Aside
    {
        struct Rows
        {
            int top, bottom, left, right;
        };
        int current = -1;
        int column = 0;
        QList<Rows> selection;
    };
    Aside heldRows() const;
    void putAside();
    void takeBackAside();
    bool windowed() const;
    // Moves the window to the rows the grid shows, its current row and selection, when they
    // are not in it (or shows the whole table, when they do not fit in one).
    void fitWindow();
    void moveWindow(int first, int end);
    void showWholeTable();
    void rowsAddedBelow(int rows);
    void releaseRowHeader();
    bool fitRowRange();
    // The headers' offsets have moved since they were these: the cells shown move with them.
    void moveCells(QPoint offsetsBefore);

    // What the next layout has to take in.
    enum class Pending { Nothing, Appended, Everything };
    Pending m_pending = Pending::Everything;
    int m_firstAppended = 0;
    bool m_laysOutAppended = false;
    // The style of the lines between the cells; the table view's own pen draws none.
    Qt::PenStyle m_lineStyle = Qt::SolidLine;
    bool m_rowHeaderHeld = false;
    bool m_followsAppended = false;
    RowWindow *m_window = nullptr;
    int m_windowRows = 4096;
    int m_windowBarDepth = 0;
    Aside m_aside;
    bool m_movingWindow = false;
    GridScrollBar *m_rowsBar = nullptr;
    GridScrollBar *m_columnsBar = nullptr;
};

// The grid's index for a table model's index, and the table model a grid shows, for a
// ReadingGrid as for any other table view.
QModelIndex gridIndex(QTableView *grid, const QModelIndex &tableIndex);
QModelIndex gridCurrentIndex(QTableView *grid);
QAbstractItemModel *gridTable(QTableView *grid);

// A scroll bar that the grid can change without a repaint where it would look the same: a
// longer table moves the handle by less than a pixel most of the time.
class GridScrollBar : public QScrollBar
{
public:
    GridScrollBar(Qt::Orientation orientation, QWidget *parent);

    // Between hold and release the scroll bar takes changes without repainting; release repaints
    // it if it now looks different.
    void hold();
    void release();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Look
    {
        QRect handle;
        QStyle::State state;
        bool empty = false; // no range: the style draws no handle
        bool operator==(const Look &) const = default;
    };
    Look look() const;

    Look m_held;
    int m_holds = 0;
    bool m_disabledByHold = false;
};

// The grid's column titles. Unless they highlight the selected columns, a new selected row
// leaves them as they are.
class GridTitles : public QHeaderView
{
public:
    explicit GridTitles(QWidget *parent = nullptr);

protected:
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
};
