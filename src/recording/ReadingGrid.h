#pragma once

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

class GridScrollBar;

// The reading table's grid. Rows come at the end, one per reading, for as long as a recording
// runs: the grid lays out and repaints only what they change (the new rows where they show,
// the scroll bars when they look different), not everything it shows, so a reading repaints
// as much whether the table holds no rows or millions. (The table view's row header still
// keeps a section per row and sums their heights again after each new row.)
class ReadingGrid : public QTableView
{
public:
    explicit ReadingGrid(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
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
    void setFollowsAppendedRows(bool follows) { m_followsAppended = follows; }

protected:
    bool event(QEvent *event) override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    bool fitRowRange();
    // The headers' offsets have moved since they were these: the cells shown move with them.
    void moveCells(QPoint offsetsBefore);

    // What the next layout has to take in.
    enum class Pending { Nothing, Appended, Everything };
    Pending m_pending = Pending::Everything;
    int m_firstAppended = 0;
    bool m_laysOutAppended = false;
    bool m_rowHeaderHeld = false;
    bool m_followsAppended = false;
    QList<QMetaObject::Connection> m_modelConnections;
    GridScrollBar *m_rowsBar = nullptr;
    GridScrollBar *m_columnsBar = nullptr;
};

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
