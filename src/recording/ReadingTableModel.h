#pragma once

#include <QAbstractTableModel>

class ReadingTable;

// The grid's view of the reading table: seven columns (Nval is not shown), read-only.
class ReadingTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ReadingTableModel(const ReadingTable &table, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Tell the grid about rows the table has gained or lost since it last looked.
    void rowsAppended();
    void tableReset();

private:
    const ReadingTable &m_table;
    int m_rows = 0;
};
