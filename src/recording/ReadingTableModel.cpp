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
    takeNumbers(0, m_rows);
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
    // The last column runs past the grid's right edge: its title starts where the column does,
    // so it shows whole without scrolling.
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && section == 6)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString();
    static const QStringList titles {u"No"_qs,   u"Time"_qs,  u"Function"_qs, u"Value"_qs,
                                     u"Unit"_qs, u"Range"_qs, u"Auto/Manu"_qs};
    return section >= 0 && section < titles.size() ? titles[section] : QVariant();
}

namespace {

int textLength(qint32 n)
{
    int length = n < 0 ? 2 : 1;
    for (qint64 rest = qAbs(qint64(n)); rest >= 10; rest /= 10)
        ++length;
    return length;
}

} // namespace

void ReadingTableModel::takeNumbers(qsizetype first, qsizetype end)
{
    for (qsizetype i = first; i < end; ++i) {
        const std::optional<qint32> n = m_table.integer(i, ReadingTable::No);
        if (!n)
            continue;
        const int length = textLength(*n);
        if (length > m_widestLength) {
            m_widestLength = length;
            m_widestNumber = n;
        }
    }
}

QString ReadingTableModel::widestNumber() const
{
    return m_widestNumber ? QString::number(*m_widestNumber) : QString();
}

void ReadingTableModel::rowsAppended()
{
    const int now = int(m_table.rowCount());
    if (now <= m_rows)
        return;
    // Known before the grid hears of the rows, so it can fit the column as it does.
    takeNumbers(m_rows, now);
    beginInsertRows({}, m_rows, now - 1);
    m_rows = now;
    endInsertRows();
}

void ReadingTableModel::tableReset()
{
    beginResetModel();
    m_rows = int(m_table.rowCount());
    m_widestNumber.reset();
    m_widestLength = 0;
    takeNumbers(0, m_rows);
    endResetModel();
}
