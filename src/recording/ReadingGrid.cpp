#include "recording/ReadingGrid.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyleOptionSlider>

ReadingGrid::ReadingGrid(QWidget *parent)
    : QTableView(parent)
{
    m_rowsBar = new GridScrollBar(Qt::Vertical, this);
    m_columnsBar = new GridScrollBar(Qt::Horizontal, this);
    setVerticalScrollBar(m_rowsBar);
    setHorizontalScrollBar(m_columnsBar);
}

void ReadingGrid::setModel(QAbstractItemModel *model)
{
    m_pending = Pending::Everything;
    QTableView::setModel(model);
    if (model)
        connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this,
                [this] { m_pending = Pending::Everything; });
}

void ReadingGrid::setRootIndex(const QModelIndex &index)
{
    m_pending = Pending::Everything;
    QTableView::setRootIndex(index);
}

void ReadingGrid::reset()
{
    m_pending = Pending::Everything;
    QTableView::reset();
}

bool ReadingGrid::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::ApplicationFontChange:
        m_pending = Pending::Everything;
        break;
    default:
        break;
    }
    return QTableView::event(event);
}

void ReadingGrid::rowsInserted(const QModelIndex &parent, int start, int end)
{
    const bool atEnd = !parent.isValid() && model() && end == model()->rowCount() - 1;
    if (m_pending == Pending::Nothing && atEnd) {
        m_pending = Pending::Appended;
        m_firstAppended = start;
    } else if (m_pending == Pending::Appended && atEnd) {
        m_firstAppended = std::min(m_firstAppended, start);
    } else {
        m_pending = Pending::Everything;
    }
    QTableView::rowsInserted(parent, start, end);
}

void ReadingGrid::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    m_pending = Pending::Everything;
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void ReadingGrid::updateGeometries()
{
    // A longer table can move the rows' offset (at the bottom, the last row ends at the grid's
    // bottom edge; one row more and the top row starts at the top edge): the cells shown move
    // with it, as when the grid scrolls.
    const QPoint before(horizontalHeader()->offset(), verticalHeader()->offset());
    holdScrollBars();
    QTableView::updateGeometries();
    releaseScrollBars();
    const QPoint moved = QPoint(horizontalHeader()->offset(), verticalHeader()->offset()) - before;
    if (!moved.isNull())
        viewport()->scroll(isRightToLeft() ? moved.x() : -moved.x(), -moved.y());
}

void ReadingGrid::doItemsLayout()
{
    if (m_pending != Pending::Appended) {
        m_pending = Pending::Nothing;
        QTableView::doItemsLayout();
        return;
    }
    m_pending = Pending::Nothing;
    // The rows above stay where they are: only the scroll range grows, and the new rows show
    // below the old ones where the grid has room for them.
    updateGeometries();
    // The rows' offset as the table view sets it: at the bottom, the last row ends at the
    // grid's bottom edge.
    QHeaderView *rows = verticalHeader();
    const QScrollBar *bar = verticalScrollBar();
    if (verticalScrollMode() != QAbstractItemView::ScrollPerItem)
        rows->setOffset(bar->value());
    else if (bar->maximum() > 0 && bar->value() == bar->maximum())
        rows->setOffsetToLastSection();
    else
        rows->setOffsetToSectionPosition(bar->value());
    const int top = std::max(0, rowViewportPosition(m_firstAppended));
    if (top < viewport()->height()) {
        viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
        rows->viewport()->update(0, top, rows->viewport()->width(),
                                 rows->viewport()->height() - top);
    }
}

void ReadingGrid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    holdScrollBars();
    QTableView::scrollTo(index, hint);
    releaseScrollBars();
}

void ReadingGrid::holdScrollBars()
{
    m_rowsBar->hold();
    m_columnsBar->hold();
}

void ReadingGrid::releaseScrollBars()
{
    m_columnsBar->release();
    m_rowsBar->release();
}

GridScrollBar::Look GridScrollBar::look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        option.state, minimum() == maximum()};
}

void GridScrollBar::hold()
{
    if (m_holds++ > 0)
        return;
    m_held = look();
    // The attribute alone: setUpdatesEnabled() would repaint on release whatever changed.
    setAttribute(Qt::WA_UpdatesDisabled, true);
}

void GridScrollBar::release()
{
    if (--m_holds > 0)
        return;
    setAttribute(Qt::WA_UpdatesDisabled, false);
    if (look() != m_held)
        update();
}
