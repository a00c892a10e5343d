#include "recording/ReadingGrid.h"

#include "recording/RowWindow.h"
#include "support/BandedCopy.h"
#include "support/RasterPainter.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
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
    // The lines between the cells are drawn by the grid: the table view strokes each with a pen,
    // the costliest part of a new row's repaint, where a solid line one pixel wide is a filled
    // rectangle. The view's own lines are turned off by their pen alone, so the cells still leave
    // them their pixel.
    m_lineStyle = gridStyle();
    setGridStyle(Qt::NoPen);
    m_window = new RowWindow(this);
    m_window->onRowsBelow = [this](int rows) {
        rowsAddedBelow(rows);
    };
    // A new table (Open, New) drops rows put aside; a window moved apart from where it was
    // is a reset too, and keeps them.
    connect(m_window, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_movingWindow)
            m_aside = {};
    });
    connect(m_window, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this] { m_pending = Pending::Everything; });
    // The row header repaints all it shows when it gains rows; rows added at the end change
    // none of the rows shown, and the layout repaints the new ones where they show. The header
    // is held until every receiver of the new rows has had them: a header set on the grid after
    // its model hears of them after the grid does.
    connect(m_window, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &under, int first) {
                QWidget *rows = verticalHeader()->viewport();
                if (under.isValid() || m_pending == Pending::Everything
                    || first != m_window->rowCount() || !rows->updatesEnabled())
                    return;
                rows->setAttribute(Qt::WA_UpdatesDisabled, true);
                m_rowHeaderHeld = true;
                connect(m_window, &QAbstractItemModel::rowsInserted, this,
                        &ReadingGrid::releaseRowHeader, Qt::SingleShotConnection);
            });
}

void ReadingGrid::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (showGrid() && m_lineStyle != Qt::NoPen)
        paintGridLines(event->region());
}

void ReadingGrid::paintGridLines(const QRegion &region)
{
    // Where the table view puts its lines: below each row and right of each column shown in each
    // rectangle of the region, across the rectangle cut to the cells' extent (and none along the
    // top or the side where a header is hidden).
    const QHeaderView *rows = verticalHeader();
    const QHeaderView *columns = horizontalHeader();
    if (columns->count() == 0 || rows->count() == 0 || !itemDelegate())
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QColor colour
        = QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    const bool rightToLeft = isRightToLeft();
    const int cellsRight = columns->length() - columns->offset() - (rightToLeft ? 0 : 1);
    const int cellsBottom = rows->length() - rows->offset() - 1;

    QPainter painter(viewport());
    const bool filled = m_lineStyle == Qt::SolidLine && paintsRasterUnscaled(painter);
    painter.setPen(QPen(colour, 1, m_lineStyle));
    // A line from one point to another, both ends included, as the pen draws it.
    const auto line = [&](int x1, int y1, int x2, int y2) {
        if (filled)
            painter.fillRect(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                                   QPoint(std::max(x1, x2), std::max(y1, y2))),
                             colour);
        else
            painter.drawLine(x1, y1, x2, y2);
    };

    for (QRect dirty : region) {
        dirty.setBottom(std::min(dirty.bottom(), cellsBottom));
        if (rightToLeft)
            dirty.setLeft(std::max(dirty.left(), viewport()->width() - cellsRight));
        else
            dirty.setRight(std::min(dirty.right(), cellsRight));
        int left = columns->visualIndexAt(dirty.left());
        int right = columns->visualIndexAt(dirty.right());
        if (rightToLeft)
            std::swap(left, right);
        if (left == -1)
            left = 0;
        if (right == -1)
            right = columns->count() - 1;
        int bottom = rows->visualIndexAt(dirty.bottom());
        if (bottom == -1)
            bottom = rows->count() - 1;
        int top = 0;
        if (alternatingRowColors() && rows->sectionsHidden()) {
            const int offset = rows->offset();
            for (int y = 0; (y += rows->sectionSize(top)) <= offset && top < bottom; ++top) { }
        } else {
            top = rows->visualIndexAt(dirty.top());
        }
        if (top == -1 || top > bottom)
            continue;
        while (bottom > 0 && rows->isSectionHidden(rows->logicalIndex(bottom)))
            --bottom;
        for (int visual = top; visual <= bottom; ++visual) {
            const int row = rows->logicalIndex(visual);
            if (rows->isSectionHidden(row))
                continue;
            const int y = rowViewportPosition(row) + rowHeight(row) - 1;
            line(dirty.left(), y, dirty.right(), y);
        }
        for (int visual = left; visual <= right; ++visual) {
            const int column = columns->logicalIndex(visual);
            if (columns->isSectionHidden(column))
                continue;
            const int x
                = columnViewportPosition(column) + (rightToLeft ? 0 : columnWidth(column) - 1);
            line(x, dirty.top(), x, dirty.bottom());
        }
    }
}

void ReadingGrid::releaseRowHeader()
{
    if (!m_rowHeaderHeld)
        return;
    verticalHeader()->viewport()->setAttribute(Qt::WA_UpdatesDisabled, false);
    m_rowHeaderHeld = false;
}

QModelIndex gridIndex(QTableView *grid, const QModelIndex &tableIndex)
{
    auto *readingGrid = dynamic_cast<ReadingGrid *>(grid);
    return readingGrid ? readingGrid->viewIndex(tableIndex) : tableIndex;
}

QModelIndex gridCurrentIndex(QTableView *grid)
{
    auto *readingGrid = dynamic_cast<ReadingGrid *>(grid);
    return readingGrid ? readingGrid->heldCurrentIndex() : grid->currentIndex();
}

QAbstractItemModel *gridTable(QTableView *grid)
{
    auto *readingGrid = dynamic_cast<ReadingGrid *>(grid);
    return readingGrid ? readingGrid->tableModel() : grid->model();
}

QAbstractItemModel *ReadingGrid::tableModel() const
{
    return m_window->table();
}

int ReadingGrid::tableRow(int row) const
{
    return m_window->tableRow(row);
}

QModelIndex ReadingGrid::viewIndex(const QModelIndex &tableIndex)
{
    if (tableIndex.model() == m_window)
        return tableIndex;
    if (tableIndex.isValid() && !m_window->windowIndex(tableIndex).isValid())
        showWholeTable();
    return m_window->windowIndex(tableIndex);
}

bool ReadingGrid::windowed() const
{
    return m_window->first() > 0 || m_window->rowsBelow() > 0;
}

void ReadingGrid::setModel(QAbstractItemModel *model)
{
    m_pending = Pending::Everything;
    m_window->setTable(model);
    QTableView::setModel(m_window);
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

// While the grid holds a window of the table, the table view lays out the rows it holds and
// sees the scroll range they give; the rest of the program sees the whole table's. Between
// construction and destruction the vertical scroll bar has the window's range; whatever the
// table view changed is then taken back to the whole table, changes signalled as usual.
class ReadingGrid::WindowBar
{
public:
    explicit WindowBar(ReadingGrid &grid)
        : m_grid(grid)
        , m_bar(grid.verticalScrollBar())
    {
        m_active = grid.m_windowBarDepth++ == 0 && grid.windowed();
        if (!m_active)
            return;
        m_above = grid.m_window->first();
        m_below = grid.m_window->rowsBelow();
        m_maximum = m_bar->maximum();
        m_value = m_bar->value();
        const QSignalBlocker quiet(m_bar);
        m_bar->setRange(0, std::max(0, m_maximum - m_above - m_below));
        m_bar->setValue(m_value - m_above);
    }
    ~WindowBar()
    {
        --m_grid.m_windowBarDepth;
        if (!m_active)
            return;
        const int maximum = m_bar->maximum() + m_above + m_below;
        const int value = m_bar->value() + m_above;
        {
            const QSignalBlocker quiet(m_bar);
            m_bar->setRange(0, m_maximum);
            m_bar->setValue(m_value);
        }
        m_bar->setRange(0, maximum);
        m_bar->setValue(value);
    }
    WindowBar(const WindowBar &) = delete;
    WindowBar &operator=(const WindowBar &) = delete;

private:
    ReadingGrid &m_grid;
    QScrollBar *m_bar;
    bool m_active = false;
    int m_above = 0;
    int m_below = 0;
    int m_maximum = 0;
    int m_value = 0;
};

void ReadingGrid::updateGeometries()
{
    // A longer table can move the rows' offset (at the bottom, the last row ends at the grid's
    // bottom edge; one row more and the top row starts at the top edge): the cells shown move
    // with it, as when the grid scrolls.
    const QPoint before(horizontalHeader()->offset(), verticalHeader()->offset());
    holdScrollBars();
    if (!m_laysOutAppended || !fitRowRange()) {
        const WindowBar span(*this);
        QTableView::updateGeometries();
    }
    releaseScrollBars();
    moveCells(before);
}

void ReadingGrid::setFollowsAppendedRows(bool follows)
{
    m_followsAppended = follows;
    fitWindow();
}

void ReadingGrid::fitWindow()
{
    QAbstractItemModel *table = m_window->table();
    if (m_windowBarDepth > 0 || !table)
        return;
    // A current row or selection the user made since the last ones were put aside replaces
    // them.
    if (currentIndex().isValid() || (selectionModel() && selectionModel()->hasSelection()))
        m_aside = {};
    const int rows = table->rowCount();
    const QScrollBar *bar = verticalScrollBar();
    const QHeaderView *header = verticalHeader();
    if (rows <= 2 * m_windowRows || verticalScrollMode() != QAbstractItemView::ScrollPerItem
        || bar->maximum() <= 0 || header->hiddenSectionCount() > 0 || header->sectionsMoved()) {
        showWholeTable();
        return;
    }
    // The rows the window must hold: those shown and a page either side, the rows to the end
    // at the bottom; and the current row and the selection if they fit with them.
    const int top = bar->value();
    const int page = std::max(bar->pageStep(), 1);
    const bool atBottom = bar->value() == bar->maximum();
    int from = std::max(0, top - page);
    int to = atBottom ? rows : std::min(rows, top + 2 * page + 1);
    if (to - from > m_windowRows) {
        showWholeTable();
        return;
    }
    const Aside held = heldRows();
    int keptFrom = from;
    int keptTo = to;
    if (held.current >= 0) {
        keptFrom = std::min(keptFrom, held.current);
        keptTo = std::max(keptTo, held.current + 1);
    }
    for (const Aside::Rows &range : held.selection) {
        keptFrom = std::min(keptFrom, range.top);
        keptTo = std::max(keptTo, range.bottom + 1);
    }
    const bool keepsHeld = keptTo - keptFrom <= m_windowRows;
    if (keepsHeld) {
        from = keptFrom;
        to = keptTo;
    }
    const int first = m_window->first();
    const int end = first + m_window->rowCount();
    if (first <= from && (m_window->isOpen() || end >= to) && end - first <= 2 * m_windowRows) {
        takeBackAside();
        return;
    }
    // A window around them, running to the table's end when it gets there.
    int newFirst = std::max(0, from - (m_windowRows - (to - from)) / 2);
    int newEnd = newFirst + m_windowRows;
    if (atBottom || newEnd >= rows) {
        newFirst = std::min(newFirst, rows - m_windowRows);
        newEnd = -1;
    }
    if (!keepsHeld)
        putAside();
    moveWindow(newFirst, newEnd);
    takeBackAside();
}

ReadingGrid::Aside ReadingGrid::heldRows() const
{
    if (m_aside.current >= 0 || !m_aside.selection.isEmpty())
        return m_aside;
    Aside held;
    if (currentIndex().isValid()) {
        held.current = m_window->tableRow(currentIndex().row());
        held.column = currentIndex().column();
    }
    if (selectionModel()) {
        for (const QItemSelectionRange &range : selectionModel()->selection())
            held.selection.append({m_window->tableRow(range.top()),
                                   m_window->tableRow(range.bottom()), range.left(),
                                   range.right()});
    }
    return held;
}

int ReadingGrid::currentTableRow() const
{
    return heldRows().current;
}

QList<int> ReadingGrid::selectedTableRows() const
{
    QList<int> rows;
    for (const Aside::Rows &range : heldRows().selection)
        for (int row = range.top; row <= range.bottom; ++row)
            if (!rows.contains(row))
                rows.append(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ReadingGrid::putAside()
{
    // The current row and the selection leave the window with the rows they are on: they are
    // kept here, in the table's rows, until the window holds those rows again. None of them
    // shows meanwhile.
    if (m_aside.current >= 0 || !m_aside.selection.isEmpty())
        return;
    m_aside = heldRows();
    if (selectionModel())
        selectionModel()->clear();
}

void ReadingGrid::takeBackAside()
{
    if ((m_aside.current < 0 && m_aside.selection.isEmpty()) || !selectionModel())
        return;
    const int first = m_window->first();
    const int end = first + m_window->rowCount();
    const auto inWindow = [&](int row) {
        return row >= first && row < end;
    };
    if (m_aside.current >= 0 && !inWindow(m_aside.current))
        return;
    for (const Aside::Rows &range : m_aside.selection)
        if (!inWindow(range.top) || !inWindow(range.bottom))
            return;
    const Aside aside = std::exchange(m_aside, {});
    // As they were: the grid does not scroll to the current row.
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    QItemSelection selection;
    for (const Aside::Rows &range : aside.selection)
        selection.select(m_window->index(range.top - first, range.left),
                         m_window->index(range.bottom - first, range.right));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (aside.current >= 0)
        selectionModel()->setCurrentIndex(m_window->index(aside.current - first, aside.column),
                                          QItemSelectionModel::NoUpdate);
    setAutoScroll(scrolls);
}

void ReadingGrid::moveWindow(int first, int end)
{
    if (m_windowBarDepth > 0)
        return;
    m_movingWindow = true;
    m_window->setSpan(first, end);
    m_movingWindow = false;
    // The rows shown stay where they are: the row header's offset is taken from the scroll bar,
    // as the table view does, and the grid repaints what it shows.
    {
        const WindowBar span(*this);
        QHeaderView *rows = verticalHeader();
        const QScrollBar *bar = verticalScrollBar();
        if (bar->maximum() > 0 && bar->value() == bar->maximum())
            rows->setOffsetToLastSection();
        else
            rows->setOffsetToSectionPosition(bar->value());
    }
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void ReadingGrid::showWholeTable()
{
    if (windowed())
        moveWindow(0, -1);
    takeBackAside();
}

QModelIndex ReadingGrid::heldCurrentIndex()
{
    if (m_aside.current >= 0 || !m_aside.selection.isEmpty())
        showWholeTable();
    return currentIndex();
}

void ReadingGrid::focusInEvent(QFocusEvent *event)
{
    // The table view picks a current row on focus when it has none.
    if (m_aside.current >= 0 || !m_aside.selection.isEmpty())
        showWholeTable();
    QTableView::focusInEvent(event);
}

void ReadingGrid::rowsAddedBelow(int rows)
{
    // Rows added below the window lengthen the scroll range only, as they would the table
    // view's; the scroll bar shows already.
    QScrollBar *bar = verticalScrollBar();
    holdScrollBars();
    {
        const QSignalBlocker quiet(bar);
        bar->setMaximum(bar->maximum() + rows);
    }
    releaseScrollBars();
}

void ReadingGrid::scrollContentsBy(int dx, int dy)
{
    // Scrolled to rows outside the window: the window moves to them.
    if (windowed() && m_windowBarDepth == 0) {
        const QScrollBar *bar = verticalScrollBar();
        const int first = m_window->first();
        const int end = first + m_window->rowCount();
        if (bar->value() < first
            || (m_window->rowsBelow() > 0 && bar->value() + bar->pageStep() >= end))
            fitWindow();
    }
    const WindowBar span(*this);
    QTableView::scrollContentsBy(dx, dy);
}

QModelIndex ReadingGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // From a row shown, a step or a page stays in the window, which holds a page either side
    // of the rows shown (scrollTo moves it on); the keys to the ends and moves from a row out
    // of sight go through the whole table.
    bool near = false;
    switch (cursorAction) {
    case MoveUp:
    case MoveDown:
    case MovePageUp:
    case MovePageDown:
    case MoveLeft:
    case MoveRight:
    case MoveNext:
    case MovePrevious:
        near = !(modifiers & Qt::ControlModifier) && currentIndex().isValid()
            && viewport()->rect().intersects(visualRect(currentIndex()));
        break;
    default:
        break;
    }
    if (!near)
        showWholeTable();
    return QTableView::moveCursor(cursorAction, modifiers);
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
    const int shown
        = m_window->first() + count + m_window->rowsBelow() - rows->hiddenSectionCount();
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
        {
            const WindowBar span(*this);
            QTableView::doItemsLayout();
        }
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
        rows->setOffsetToSectionPosition(bar->value() - m_window->first());
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
    if (!windowed()) {
        QTableView::scrollTo(index, hint);
        releaseScrollBars();
        return;
    }
    const QPersistentModelIndex kept(index);
    if (index.isValid() && index.model() == m_window) {
        // The window holds the row and a page either side of it, or the whole table shows.
        const QScrollBar *bar = verticalScrollBar();
        const int row = m_window->tableRow(index.row());
        const int page = std::max(bar->pageStep(), 1);
        if ((row - page < m_window->first() && m_window->first() > 0)
            || (row + page >= m_window->first() + m_window->rowCount()
                && m_window->rowsBelow() > 0))
            showWholeTable();
    }
    if (windowed()) {
        // Laid out first: the table view would figure the move from the rows as they were.
        executeDelayedItemsLayout();
        const WindowBar span(*this);
        QTableView::scrollTo(kept, hint);
    } else {
        QTableView::scrollTo(kept, hint);
    }
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
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool GridScrollBar::event(QEvent *event)
{
    const bool done = QScrollBar::event(event);
    // The style paints every pixel of the bar: the grid and the window beneath it need no
    // painting first when the handle moves. Styles turn this off as they polish a scroll bar,
    // so it is turned on again after them.
    if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return done;
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
