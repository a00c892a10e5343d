#include "recording/ReadingGrid.h"

#include "support/BandedCopy.h"

#include <QEvent>
#include <QHeaderView>
#include <QPaintEvent>
#include <QSignalBlocker>
#include <QStyleOptionSlider>

ReadingGrid::ReadingGrid(QWidget *parent)
    : QTableView(parent)
{
    m_rowsBar = new GridScrollBar(Qt::Vertical, this);
    m_columnsBar = new GridScrollBar(Qt::Horizontal, this);
    setVerticalScrollBar(m_rowsBar);
    setHorizontalScrollBar(m_columnsBar);
    setHorizontalHeader(new GridTitles(this));
}

void ReadingGrid::setModel(QAbstractItemModel *model)
{
    m_pending = Pending::Everything;
    for (const QMetaObject::Connection &c : m_modelConnections)
        disconnect(c);
    m_modelConnections.clear();
    QTableView::setModel(model);
    if (!model)
        return;
    m_modelConnections.append(connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this,
                                      [this] { m_pending = Pending::Everything; }));
    // The row header repaints all it shows when it gains rows; rows added at the end change
    // none of the rows shown, and the layout repaints the new ones where they show.
    m_modelConnections.append(connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this,
                                      [this](const QModelIndex &parent, int first) {
                                          QWidget *rows = verticalHeader()->viewport();
                                          if (parent.isValid() || m_pending == Pending::Everything
                                              || first != QTableView::model()->rowCount()
                                              || !rows->updatesEnabled())
                                              return;
                                          rows->setAttribute(Qt::WA_UpdatesDisabled, true);
                                          m_rowHeaderHeld = true;
                                      }));
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
    if (m_rowHeaderHeld) {
        verticalHeader()->viewport()->setAttribute(Qt::WA_UpdatesDisabled, false);
        m_rowHeaderHeld = false;
    }
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
    if (!m_laysOutAppended || !fitRowRange())
        QTableView::updateGeometries();
    releaseScrollBars();
    moveCells(before);
}

void ReadingGrid::moveCells(QPoint offsetsBefore)
{
    const QPoint moved
        = QPoint(horizontalHeader()->offset(), verticalHeader()->offset()) - offsetsBefore;
    if (!moved.isNull())
        viewport()->scroll(isRightToLeft() ? moved.x() : -moved.x(), -moved.y());
}

bool ReadingGrid::fitRowRange()
{
    // The table view's own layout also places the headers and the corner and lays out the
    // scroll area, which repaints the scroll bars each time. Rows appended change none of that
    // once the rows are longer than the grid is high (the vertical scroll bar shows already):
    // only the vertical scroll range, figured as the table view does.
    QHeaderView *rows = verticalHeader();
    QScrollBar *bar = verticalScrollBar();
    const int height = viewport()->height();
    if (bar->maximum() <= 0 || height <= 0 || rows->length() <= maximumViewportSize().height())
        return false;
    const int count = rows->count();
    int inView = 0;
    for (int used = 0, visual = count - 1; visual >= 0; --visual) {
        const int logical = rows->logicalIndex(visual);
        if (rows->isSectionHidden(logical))
            continue;
        used += rows->sectionSize(logical);
        if (used > height)
            break;
        ++inView;
    }
    inView = std::max(inView, 1);
    const int shown = count - rows->hiddenSectionCount();
    const int maximum = verticalScrollMode() == QAbstractItemView::ScrollPerItem
        ? shown - inView
        : rows->length() - height;
    // A longer range leaves the scroll bar shown as it is: the scroll area need not hear of it
    // (it would lay itself out again, repainting both scroll bars).
    const QSignalBlocker quiet(maximum >= bar->maximum() && bar->minimum() == 0 ? bar : nullptr);
    if (verticalScrollMode() == QAbstractItemView::ScrollPerItem) {
        bar->setRange(0, maximum);
        bar->setPageStep(inView);
        if (inView >= shown)
            rows->setOffset(0);
        bar->setSingleStep(1);
    } else {
        bar->setPageStep(height);
        bar->setRange(0, maximum);
        bar->setSingleStep(std::max(height / (inView + 1), 2));
    }
    QAbstractItemView::updateGeometries();
    return true;
}

void ReadingGrid::doItemsLayout()
{
    if (m_pending != Pending::Appended) {
        m_pending = Pending::Nothing;
        QTableView::doItemsLayout();
        // Rows appended meanwhile may have left the row header unpainted.
        verticalHeader()->viewport()->update();
        return;
    }
    m_pending = Pending::Nothing;
    // The rows above stay where they are: only the scroll range grows, and the new rows show
    // below the old ones where the grid has room for them.
    QHeaderView *rows = verticalHeader();
    QScrollBar *bar = verticalScrollBar();
    const bool follow = m_followsAppended && bar->value() == bar->maximum();
    QPoint before(horizontalHeader()->offset(), rows->offset());
    m_laysOutAppended = true;
    updateGeometries();
    m_laysOutAppended = false;
    if (follow && bar->value() < bar->maximum()) {
        // The table view moves the rows' offset and the cells with the scroll bar.
        bar->setValue(bar->maximum());
        before = QPoint(horizontalHeader()->offset(), rows->offset());
    }
    // The rows' offset as the table view sets it: at the bottom, the last row ends at the
    // grid's bottom edge.
    if (verticalScrollMode() != QAbstractItemView::ScrollPerItem)
        rows->setOffset(bar->value());
    else if (bar->maximum() > 0 && bar->value() == bar->maximum())
        rows->setOffsetToLastSection();
    else
        rows->setOffsetToSectionPosition(bar->value());
    moveCells(before);
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
    m_disabledByHold = updatesEnabled();
    if (m_disabledByHold)
        setAttribute(Qt::WA_UpdatesDisabled, true);
}

void GridScrollBar::release()
{
    if (--m_holds > 0 || !m_disabledByHold)
        return;
    setAttribute(Qt::WA_UpdatesDisabled, false);
    if (look() != m_held)
        update();
}

GridScrollBar::GridScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    // The style paints every pixel of the bar: the grid and the window beneath it need no
    // painting first when the handle moves.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GridScrollBar::paintEvent(QPaintEvent *event)
{
    // The style fills the groove and handle whole: a bar this tall would go to the raster
    // engine's thread pool.
    BandedCopy::paintInBands(*this, [&] { QScrollBar::paintEvent(event); });
}

GridTitles::GridTitles(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    // As the table view's own titles.
    setSectionsClickable(true);
    setHighlightSections(true);
}

QRegion GridTitles::visualRegionForSelection(const QItemSelection &selection) const
{
    return highlightSections() ? QHeaderView::visualRegionForSelection(selection) : QRegion();
}
