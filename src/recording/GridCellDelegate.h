#pragma once

#include "meter/MeterGlyphs.h"

#include <QStyledItemDelegate>
#include <array>
#include <optional>

// Paints the grid's cells. The function, value, unit and range columns use the display face,
// with the symbol characters drawn as the meter's display shows them (so "*" is the ohm sign);
// the other columns are plain text in the grid's font.
class GridCellDelegate : public QStyledItemDelegate
{
public:
    explicit GridCellDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // The font a column's cells are painted in; nothing for the grid's own font.
    const MeterGlyphs *glyphs(int column) const;

private:
    std::array<std::optional<MeterGlyphs>, 7> m_columns;
};
