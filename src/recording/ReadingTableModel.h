#pragma once

#include <QAbstractTableModel>
#include <optional>

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

    // The row number of the most characters among the rows shown ("" for none), so the grid
    // can fit its "No" column. Kept up as rows come, at one look per row added.
    QString widestNumber() const;

private:
    void takeNumbers(qsizetype first, qsizetype end);

    const ReadingTable &m_table;
    int m_rows = 0;
    std::optional<qint32> m_widestNumber;
    int m_widestLength = 0;
};
