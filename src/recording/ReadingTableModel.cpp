#include "recording/ReadingTableModel.h"

#include "recording/ReadingTable.h"
#include "support/WindowLook.h"

#include <QFont>

namespace {

const ReadingTable::Field columns[]
    = {ReadingTable::No,   ReadingTable::Time,  ReadingTable::DcAc, ReadingTable::Value,
       ReadingTable::Unit, ReadingTable::Range, ReadingTable::Auto};

} // namespace

ReadingTableModel::ReadingTableModel(const ReadingTable &table, QObject *parent)
    : QAbstractTableModel(parent)
    , m_table(table)
    , m_rows(int(table.rowCount()))
{
}

int ReadingTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ReadingTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 7;
}

QVariant ReadingTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    if (role == Qt::DisplayRole)
        return m_table.text(index.row(), columns[index.column()]);
    if (role == Qt::TextAlignmentRole && columns[index.column()] == ReadingTable::Time)
        return int(Qt::AlignCenter);
    return {};
}

QVariant ReadingTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::FontRole) {
        // The unit and range titles are in Arial; the others in the grid's title font.
        if (section == 4 || section == 5)
            return WindowLook::arial(11, false);
        return {};
    }
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString();
    static const QStringList titles {u"No"_qs,   u"Time"_qs,  u"Function"_qs, u"Value"_qs,
                                     u"Unit"_qs, u"Range"_qs, u"Auto/Manu"_qs};
    return section >= 0 && section < titles.size() ? titles[section] : QVariant();
}

void ReadingTableModel::rowsAppended()
{
    const int now = int(m_table.rowCount());
    if (now <= m_rows)
        return;
    beginInsertRows({}, m_rows, now - 1);
    m_rows = now;
    endInsertRows();
}

void ReadingTableModel::tableReset()
{
    beginResetModel();
    m_rows = int(m_table.rowCount());
    endResetModel();
}
