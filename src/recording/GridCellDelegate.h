#pragma once

#include "meter/MeterGlyphs.h"
#include "support/ShapedText.h"

#include <QStyledItemDelegate>
#include <array>
#include <optional>
#include <vector>

// Paints the grid's cells. The function, value, unit and range columns use the display face,
// with the symbol characters drawn as the meter's display shows them (so "*" is the ohm sign);
// the other columns are plain text in the grid's font.
//
// A new reading repaints two rows; the style would lay out each cell's text three times over
// (to size it, to elide it and to draw it). The usual cell (text alone, on one line) is drawn as
// the style draws it, from each column's recent texts kept shaped. Most cells of the two rows
// come back as they were drawn before (the row above the new one shows the function, unit, range
// and mode of the rows before it): the last cells drawn are kept as their pixels, and such a cell
// is copied instead of drawn.
class GridCellDelegate : public QStyledItemDelegate
{
public:
    explicit GridCellDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // The font a column's cells are painted in; nothing for the grid's own font.
    const MeterGlyphs *glyphs(int column) const;

    // Paints the cell's text as the style would, whatever the cell holds: for comparing the
    // painting of shaped texts with the style's own.
    void paintAsStyle(QPainter *painter, const QStyleOptionViewItem &option,
                      const QModelIndex &index) const;

private:
    // How a column's cells place their text; the shaped texts hold for one of these.
    struct Frame
    {
        QFont font;
        QSize size;
        int margin = 0;
        Qt::Alignment alignment;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        Qt::TextElideMode elideMode = Qt::ElideRight;
        bool wrap = false;
        bool operator==(const Frame &) const = default;
    };
    // A cell's text as the style places it, from the top left of the cell's text area.
    struct Placed
    {
        ShapedText shaped;
        QPointF at;
        bool byStyle = false; // more than one line
    };
    // Where the style puts the text in a cell without text, from the cell's top left; the same
    // for every cell of a column of one size, state and direction.
    struct Area
    {
        const QStyle *style = nullptr;
        QSize cell;
        QStyle::State state;
        QStyleOptionViewItem::ViewItemFeatures features;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        QRect text;
    };
    // The digits of a frame's font, when a number's glyphs are the digits' glyphs side by side
    // (no kerning nor other shaping between digits): a new number, as a row's number is, is
    // then put together from them instead of being laid out.
    struct Digits
    {
        QGlyphRun run; // the glyph of "0", as placed in a left-aligned cell
        std::array<quint32, 10> glyphs {};
        std::array<qreal, 10> advances {};
        QPointF at;
    };
    struct Column
    {
        std::optional<Frame> frame;
        std::optional<std::optional<Digits>> digits; // looked at once per frame
        RecentTexts<Placed> texts {256};
        std::array<Area, 2> areas; // the last two asked for
    };
    static QRect textArea(const QStyle *style, const QStyleOptionViewItem &opt, Column &column);
    static Placed place(const QString &text, const Frame &frame);
    static std::optional<Digits> digitsOf(const Frame &frame);
    static std::optional<Placed> placeNumber(const QString &text, const Frame &frame,
                                             const Digits &digits);
    void paintStyled(QPainter *painter, QStyleOptionViewItem &opt, const MeterGlyphs *face) const;
    // Where a cell's pixels can be kept or copied: the image painted on, the cell in it, and
    // what the cell shows and how; no image where they cannot.
    struct PictureSpot
    {
        const QImage *image = nullptr;
        QRect rect;
        QString key;
    };
    PictureSpot pictureSpot(QPainter *painter, const QStyleOptionViewItem &opt, int column) const;
    void paintCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index,
                   QStyleOptionViewItem &opt) const;

    static constexpr size_t Columns = 7;
    std::array<std::optional<MeterGlyphs>, Columns> m_columns;
    mutable std::array<Column, Columns> m_texts;
    // Finished cells, as the pixels they left, by what they show and how (see paint()).
    mutable RecentTexts<QImage> m_pictures {64};
    mutable std::vector<QRgb> m_plainLine; // a line of a cell's ground, to compare with
    mutable std::array<QFont, Columns> m_fonts; // each column's font of the cells kept
};
