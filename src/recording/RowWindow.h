#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <functional>

// A span of a table's rows as a model of its own: the grid shows a long table through it, so the
// table view and its row header hold a few thousand rows instead of all of them. Row numbers
// here count from the span's first row; tableRow() and windowIndex() turn them into the table's
// and back. An open span runs to the table's end and takes the rows the table gains; a closed
// one leaves them below it (rowsBelow() counts them, onRowsBelow hears of them).
//
// The table may gain rows at its end and be reset; nothing else.
class RowWindow : public QAbstractTableModel
{
public:
    explicit RowWindow(QObject *parent = nullptr);

    void setTable(QAbstractItemModel *table);
    QAbstractItemModel *table() const { return m_table; }

    // The table's row shown as this model's row 0.
    int first() const { return m_first; }
    int rowsBelow() const;
    bool isOpen() const { return m_open; }
    // Moves the span to the table's rows from first to end (-1: the table's end, open). Rows
    // are added and removed at the span's ends, so indexes of the rows kept stay valid; a span
    // apart from the present one is a reset.
    void setSpan(int first, int end = -1);
    void showAll() { setSpan(0); }

    std::function<void(int rows)> onRowsBelow;

    int tableRow(int row) const { return row + m_first; }
    // The index of the table's row here, or an invalid index if the row is above the first.
    QModelIndex windowIndex(const QModelIndex &tableIndex) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    void multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QModelIndex tableIndex(const QModelIndex &index) const;

    QPointer<QAbstractItemModel> m_table;
    int m_first = 0;
    int m_count = 0; // rows in the span
    bool m_open = true;
    QList<QMetaObject::Connection> m_connections;
};
