#include "recording/RowWindow.h"

RowWindow::RowWindow(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void RowWindow::setTable(QAbstractItemModel *table)
{
    beginResetModel();
    for (const QMetaObject::Connection &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_table = table;
    m_first = 0;
    m_open = true;
    m_count = table ? table->rowCount() : 0;
    if (table) {
        m_connections.append(connect(table, &QAbstractItemModel::rowsAboutToBeInserted, this,
                                     [this](const QModelIndex &parent, int first, int last) {
                                         if (!parent.isValid() && m_open)
                                             beginInsertRows({}, first - m_first, last - m_first);
                                     }));
        m_connections.append(connect(table, &QAbstractItemModel::rowsInserted, this,
                                     [this](const QModelIndex &parent, int first, int last) {
                                         if (parent.isValid())
                                             return;
                                         if (m_open) {
                                             m_count += last - first + 1;
                                             endInsertRows();
                                         } else if (onRowsBelow) {
                                             onRowsBelow(last - first + 1);
                                         }
                                     }));
        m_connections.append(connect(table, &QAbstractItemModel::modelAboutToBeReset, this,
                                     [this] { beginResetModel(); }));
        m_connections.append(connect(table, &QAbstractItemModel::modelReset, this, [this] {
            m_first = 0;
            m_open = true;
            m_count = m_table->rowCount();
            endResetModel();
        }));
        m_connections.append(connect(table, &QAbstractItemModel::headerDataChanged, this,
                                     [this](Qt::Orientation orientation, int first, int last) {
                                         if (orientation == Qt::Horizontal)
                                             emit headerDataChanged(orientation, first, last);
                                     }));
        m_connections.append(
            connect(table, &QAbstractItemModel::destroyed, this, [this] { setTable(nullptr); }));
    }
    endResetModel();
}

int RowWindow::rowsBelow() const
{
    return m_table ? m_table->rowCount() - m_first - m_count : 0;
}

void RowWindow::setSpan(int first, int end)
{
    const int rows = m_table ? m_table->rowCount() : 0;
    const bool open = end < 0 || end >= rows;
    first = std::clamp(first, 0, rows);
    end = open ? rows : std::max(end, first);
    const int oldEnd = m_first + m_count;
    if (end <= m_first || first >= oldEnd) {
        beginResetModel();
        m_first = first;
        m_count = end - first;
        m_open = open;
        endResetModel();
        return;
    }
    // The start, then the end.
    if (first > m_first) {
        beginRemoveRows({}, 0, first - m_first - 1);
        m_count -= first - m_first;
        m_first = first;
        endRemoveRows();
    } else if (first < m_first) {
        beginInsertRows({}, 0, m_first - first - 1);
        m_count += m_first - first;
        m_first = first;
        endInsertRows();
    }
    if (end < oldEnd) {
        beginRemoveRows({}, end - m_first, m_count - 1);
        m_count = end - m_first;
        endRemoveRows();
    } else if (end > oldEnd) {
        beginInsertRows({}, m_count, end - m_first - 1);
        m_count = end - m_first;
        endInsertRows();
    }
    m_open = open;
}

QModelIndex RowWindow::windowIndex(const QModelIndex &tableIndex) const
{
    if (!tableIndex.isValid() || tableIndex.model() != m_table || tableIndex.row() < m_first
        || tableIndex.row() >= m_first + m_count)
        return {};
    return index(tableIndex.row() - m_first, tableIndex.column());
}

QModelIndex RowWindow::tableIndex(const QModelIndex &index) const
{
    return m_table && index.isValid() && index.row() < m_count
        ? m_table->index(index.row() + m_first, index.column())
        : QModelIndex();
}

int RowWindow::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table ? 0 : m_count;
}

int RowWindow::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table ? 0 : m_table->columnCount();
}

QVariant RowWindow::data(const QModelIndex &index, int role) const
{
    const QModelIndex at = tableIndex(index);
    return at.isValid() ? m_table->data(at, role) : QVariant();
}

void RowWindow::multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const
{
    const QModelIndex at = tableIndex(index);
    if (at.isValid())
        m_table->multiData(at, roleDataSpan);
    else
        QAbstractTableModel::multiData(index, roleDataSpan);
}

QVariant RowWindow::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_table)
        return {};
    return m_table->headerData(orientation == Qt::Vertical ? section + m_first : section,
                               orientation, role);
}

Qt::ItemFlags RowWindow::flags(const QModelIndex &index) const
{
    const QModelIndex at = tableIndex(index);
    return at.isValid() ? m_table->flags(at) : Qt::NoItemFlags;
}
