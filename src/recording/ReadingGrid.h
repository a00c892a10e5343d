#pragma once

#include <QScrollBar>
#include <QTableView>

// The reading table's grid. Rows come at the end, one per reading, for as long as a recording
// runs: the grid lays out and repaints only what they change (the new rows where they show,
// the scroll bars when they look different), not everything it shows, so a reading costs the
// same whether the table holds no rows or millions.
class ReadingGrid : public QTableView
{
public:
    explicit ReadingGrid(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void setRootIndex(const QModelIndex &index) override;
    void reset() override;
    void doItemsLayout() override;

protected:
    bool event(QEvent *event) override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    // What the next layout has to take in.
    enum class Pending { Nothing, Appended, Everything };
    Pending m_pending = Pending::Everything;
    int m_firstAppended = 0;
};

// A scroll bar that repaints only when it would look different: a longer table moves the handle
// by less than a pixel most of the time.
class GridScrollBar : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Look
    {
        QRect handle;
        QStyle::State state;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };
    Look look() const;

    Look m_painted;
    bool m_hasPainted = false;
};
