#include "recording/GridCellDelegate.h"

#include "support/WindowLook.h"

#include <QApplication>
#include <QPainter>

namespace {

// The display face: bold, as on the replica LCD, in the pixel height of each column.
QFont displayFont(int pixelHeight)
{
    QFont f = WindowLook::arial(pixelHeight, true);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

} // namespace

GridCellDelegate::GridCellDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
    m_columns[2].emplace(displayFont(12)); // function
    m_columns[3].emplace(displayFont(16)); // value
    m_columns[4].emplace(displayFont(12)); // unit
    m_columns[5].emplace(displayFont(14)); // range
}

const MeterGlyphs *GridCellDelegate::glyphs(int column) const
{
    if (column < 0 || column >= int(m_columns.size()) || !m_columns[size_t(column)])
        return nullptr;
    return &*m_columns[size_t(column)];
}

void GridCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const MeterGlyphs *face = glyphs(index.column());
    if (!face) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Background, selection and focus as the style draws them; the text is ours.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled
        ? (opt.state & QStyle::State_Active ? QPalette::Normal : QPalette::Inactive)
        : QPalette::Disabled;
    const QPalette::ColorRole role
        = opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setPen(opt.palette.color(group, role));
    painter->setRenderHint(QPainter::Antialiasing, true);
    face->draw(*painter, QRectF(textRect), int(Qt::AlignLeft | Qt::AlignVCenter), text);
    painter->restore();
}
