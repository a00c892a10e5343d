#include "recording/GridCellDelegate.h"

#include "support/RasterPainter.h"
#include "support/WindowLook.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The display face: bold, as on the replica LCD, in the pixel height of each column.
QFont displayFont(int pixelHeight)
{
    QFont f = WindowLook::arial(pixelHeight, true);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The text colour the style gives the cell.
QColor textColour(const QStyleOptionViewItem &opt)
{
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled
        ? (opt.state & QStyle::State_Active ? QPalette::Normal : QPalette::Inactive)
        : QPalette::Disabled;
    const QPalette::ColorRole role
        = opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    return opt.palette.color(group, role);
}

// A cell holding text alone, where the text area is the whole cell: the style places such a
// text from the cell and the text's own size, without looking at anything else.
bool plainCell(const QStyleOptionViewItem &opt)
{
    constexpr QStyleOptionViewItem::ViewItemFeatures plain = QStyleOptionViewItem::HasDisplay
        | QStyleOptionViewItem::Alternate | QStyleOptionViewItem::WrapText;
    return !(opt.features & ~plain) && opt.showDecorationSelected
        && !(opt.state & QStyle::State_Editing) && !opt.text.contains(QChar::LineSeparator)
        && !opt.text.contains(QChar(0x9c)); // QFontMetrics::elidedText's choice of texts
}

// Lays out the lines of a cell's text as the style does, in lines of the given width.
void layOutLines(QTextLayout &layout, int lineWidth)
{
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
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

void GridCellDelegate::paintAsStyle(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const MeterGlyphs *face = glyphs(index.column());
    if (!face) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    paintStyled(painter, opt, face);
}

void GridCellDelegate::paintStyled(QPainter *painter, QStyleOptionViewItem &opt,
                                   const MeterGlyphs *face) const
{
    // Background, selection and focus as the style draws them; the text is ours.
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setPen(textColour(opt));
    painter->setRenderHint(QPainter::Antialiasing, true);
    face->draw(*painter, QRectF(textRect), int(Qt::AlignLeft | Qt::AlignVCenter), text);
    painter->restore();
}

GridCellDelegate::Placed GridCellDelegate::place(const QString &text, const Frame &frame)
{
    // As the style: lines as wide as the text area, the line elided when the text is wider,
    // placed vertically by the text's bounds. A text that takes more than one line is left to
    // the style.
    const QRect area = QRect(QPoint(0, 0), frame.size).adjusted(frame.margin, 0, -frame.margin, 0);
    QTextOption option;
    option.setWrapMode(frame.wrap ? QTextOption::WordWrap : QTextOption::ManualWrap);
    option.setTextDirection(frame.direction);
    option.setAlignment(QStyle::visualAlignment(frame.direction, frame.alignment));

    QTextLayout measured(text, frame.font);
    measured.setTextOption(option);
    layOutLines(measured, area.width());
    if (measured.lineCount() > 1)
        return {{}, {}, true};
    const QRect bounds = QStyle::alignedRect(Qt::LayoutDirectionAuto, frame.alignment,
                                             measured.boundingRect().size().toSize(), area);
    QPointF at(area.x(), bounds.top());
    QString shown;
    if (measured.lineCount() > 0) {
        const QTextLine line = measured.lineAt(0);
        if (line.height() + bounds.top() <= area.top()) {
            at.ry() += line.height();
        } else {
            shown = text.mid(line.textStart(), line.textLength());
            if (line.naturalTextWidth() > area.width())
                shown = QFontMetrics(frame.font).elidedText(shown, frame.elideMode, area.width());
        }
    }
    if (shown == text) // drawn as measured
        return {ShapedText::fromLayout(measured), at, false};
    QTextLayout drawn(shown, frame.font);
    drawn.setTextOption(option);
    layOutLines(drawn, area.width());
    return {ShapedText::fromLayout(drawn), at, false};
}

std::optional<GridCellDelegate::Digits> GridCellDelegate::digitsOf(const Frame &frame)
{
    // Only for numbers that start at the cell's left edge, where each glyph's place is the sum of
    // the advances before it.
    if (frame.direction != Qt::LeftToRight
        || (QStyle::visualAlignment(frame.direction, frame.alignment)
            & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify))
            != Qt::AlignLeft)
        return std::nullopt;
    const Placed zero = place(u"0"_qs, frame);
    if (zero.byStyle || zero.shaped.runs().size() != 1
        || zero.shaped.runs().first().glyphIndexes().size() != 1)
        return std::nullopt;
    Digits digits;
    digits.run = zero.shaped.runs().first();
    digits.at = zero.at;

    // Every ordered pair of digits, once each: laid out together, each digit's glyph must stand
    // where the advances of the digits before it put it.
    const QString pairs
        = u"001020304050607080911213141516171819223242526272829334353637383944546474"
          "84955657585966768697787988990"_qs;
    QTextLayout layout(pairs, frame.font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);
    layout.setTextOption(option);
    layOutLines(layout, 1 << 20);
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (layout.lineCount() != 1 || runs.size() != 1
        || runs.first().rawFont() != digits.run.rawFont())
        return std::nullopt;
    const QList<quint32> glyphs = runs.first().glyphIndexes();
    const QList<QPointF> positions = runs.first().positions();
    if (glyphs.size() != pairs.size() || positions.size() != pairs.size())
        return std::nullopt;
    std::array<bool, 10> known {};
    for (qsizetype i = 0; i + 1 < pairs.size(); ++i) {
        const auto d = size_t(pairs[i].unicode() - u'0');
        digits.glyphs[d] = glyphs[i];
        digits.advances[d] = positions[i + 1].x() - positions[i].x();
        known[d] = true;
    }
    if (std::find(known.begin(), known.end(), false) != known.end())
        return std::nullopt;
    qreal x = positions.first().x();
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const auto d = size_t(pairs[i].unicode() - u'0');
        if (glyphs[i] != digits.glyphs[d] || positions[i].x() != x
            || positions[i].y() != positions.first().y())
            return std::nullopt;
        x += digits.advances[d];
    }
    if (digits.run.glyphIndexes().first() != digits.glyphs[0])
        return std::nullopt;
    return digits;
}

std::optional<GridCellDelegate::Placed>
GridCellDelegate::placeNumber(const QString &text, const Frame &frame, const Digits &digits)
{
    if (text.isEmpty())
        return std::nullopt;
    const QPointF start = digits.run.positions().first();
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    qreal width = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const auto d = size_t(c.unicode() - u'0');
        glyphs.append(digits.glyphs[d]);
        positions.append(QPointF(start.x() + width, start.y()));
        width += digits.advances[d];
    }
    // A number wider than the cell is elided: the style's way.
    if (width > frame.size.width() - 2 * frame.margin)
        return std::nullopt;
    QGlyphRun run = digits.run;
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setBoundingRect(QRectF());
    return Placed {ShapedText::fromRuns({run}), digits.at, false};
}

QRect GridCellDelegate::textArea(const QStyle *style, const QStyleOptionViewItem &opt,
                                 Column &column)
{
    const Area key {style, opt.rect.size(), opt.state, opt.features, opt.direction, {}};
    for (const Area &known : column.areas) {
        if (known.style == key.style && known.cell == key.cell && known.state == key.state
            && known.features == key.features && known.direction == key.direction)
            return known.text.translated(opt.rect.topLeft());
    }
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    column.areas[1] = column.areas[0];
    column.areas[0] = key;
    column.areas[0].text = text.translated(-opt.rect.topLeft());
    return text;
}

void GridCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // A cell of text alone, painted on the raster engine without scaling, leaves pixels that
    // depend on nothing but what it shows, how, and the plain ground it is painted on: those of
    // an earlier cell alike are copied. A cell is kept only if it was painted whole (within the
    // region being painted; no clip, opacity or composition of the caller's) on a ground of one
    // colour.
    PictureSpot spot = pictureSpot(painter, opt, index.column());
    if (spot.image) {
        if (const QImage *kept = m_pictures.find(spot.key)) {
            const QPainter::CompositionMode mode = painter->compositionMode();
            painter->setCompositionMode(QPainter::CompositionMode_Source);
            painter->drawImage(opt.rect.topLeft(), *kept);
            painter->setCompositionMode(mode);
            return;
        }
    }
    paintCell(painter, option, index, opt);
    if (spot.image)
        m_pictures.insert(spot.key, spot.image->copy(spot.rect));
}

namespace {

// Whether the region being painted (none: all) takes in the whole rectangle.
bool wholly(const QRegion &painted, const QRect &rect)
{
    if (painted.isEmpty())
        return true;
    for (const QRect &part : painted)
        if (part.contains(rect))
            return true;
    return painted.intersected(rect) == QRegion(rect);
}

} // namespace

GridCellDelegate::PictureSpot
GridCellDelegate::pictureSpot(QPainter *painter, const QStyleOptionViewItem &opt, int column) const
{
    if (!paintsRasterUnscaled(*painter) || painter->hasClipping() || painter->opacity() != 1.0
        || painter->compositionMode() != QPainter::CompositionMode_SourceOver || !plainCell(opt)
        || opt.state & QStyle::State_HasFocus
        || (opt.backgroundBrush.style() != Qt::NoBrush
            && opt.backgroundBrush.style() != Qt::SolidPattern)
        || column < 0 || column >= int(m_fonts.size()))
        return {};
    // The font is the view's for the plain columns: a new one makes the kept cells old.
    if (opt.font != m_fonts[size_t(column)]) {
        m_fonts[size_t(column)] = opt.font;
        m_pictures.clear();
    }
    QPaintEngine *engine = painter->paintEngine();
    QPaintDevice *device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return {};
    const auto *image = static_cast<const QImage *>(device);
    const QTransform &toDevice = painter->deviceTransform();
    if (toDevice.dx() != std::floor(toDevice.dx()) || toDevice.dy() != std::floor(toDevice.dy())
        || image->depth() != 32)
        return {};
    const QRect rect = opt.rect.translated(int(toDevice.dx()), int(toDevice.dy()));
    if (rect.isEmpty() || !image->rect().contains(rect) || !wholly(engine->systemClip(), rect))
        return {};
    // The ground: what the view painted under the cell, one colour throughout.
    const QRgb ground
        = reinterpret_cast<const QRgb *>(image->constScanLine(rect.top()))[rect.left()];
    std::vector<QRgb> &plain = m_plainLine;
    if (plain.size() < size_t(rect.width()) || plain.front() != ground)
        plain.assign(std::max(plain.size(), size_t(rect.width())), ground);
    const size_t lineBytes = size_t(rect.width()) * sizeof(QRgb);
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const uchar *line = image->constScanLine(y) + qsizetype(rect.left()) * 4;
        if (std::memcmp(line, plain.data(), lineBytes) != 0)
            return {};
    }
    // How the cell is shown, packed in characters of a fixed count, then its text.
    std::array<char16_t, 32> how {};
    qsizetype length = 0;
    const auto add = [&how, &length](quint64 value, int chars) {
        for (int i = 0; i < chars; ++i, value >>= 16)
            how[size_t(length++)] = char16_t(value & 0xffff);
    };
    add(quint64(column), 1);
    add(quint64(opt.state.toInt()), 2);
    add(quint64(opt.features.toInt()), 2);
    add(quint64(opt.rect.width()), 1);
    add(quint64(opt.rect.height()), 1);
    add(quint64(opt.direction), 1);
    add(quint64(opt.displayAlignment.toInt()), 1);
    add(quint64(opt.textElideMode), 1);
    add(opt.backgroundBrush.style() == Qt::NoBrush
            ? 0
            : 0x100000000 | opt.backgroundBrush.color().rgba(),
        3);
    add(quint64(opt.palette.cacheKey()), 4);
    add(quint64(reinterpret_cast<quintptr>(opt.widget ? opt.widget->style() : nullptr)), 4);
    add(quint64(ground), 2);
    add(quint64(image->format()), 1);
    add(quint64(painter->renderHints().toInt()), 1);
    QString key;
    key.reserve(length + opt.text.size());
    key.append(QStringView(how.data(), length)).append(opt.text);
    return {image, rect, key};
}

void GridCellDelegate::paintCell(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index, QStyleOptionViewItem &opt) const
{
    const int column = index.column();
    const MeterGlyphs *face = glyphs(column);
    // The style draws the focus frame over the text (the grid's own columns under it).
    const bool focusOverText = !face && (opt.state & QStyle::State_HasFocus);
    if (!plainCell(opt) || !ShapedText::drawsLikeText(*painter, face ? face->font() : opt.font)
        || column >= int(m_texts.size()) || focusOverText) {
        if (face)
            paintStyled(painter, opt, face);
        else
            QStyledItemDelegate::paint(painter, option, index);
        return;
    }

    // The style's text area of a cell without text: the whole cell, as it is with the text.
    // (With the focus, as the display columns always were: a text of none measured.)
    const QString text = opt.text;
    opt.text.clear();
    if (!(opt.state & QStyle::State_HasFocus))
        opt.features &= ~QStyleOptionViewItem::HasDisplay;
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    Column &cache = m_texts[size_t(column)];
    const QRect textRect = textArea(style, opt, cache);

    const Placed *placed = nullptr;
    if (!face && !text.isEmpty()) {
        const Frame frame {opt.font,
                           textRect.size(),
                           style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1,
                           opt.displayAlignment,
                           opt.direction,
                           opt.textElideMode,
                           bool(opt.features & QStyleOptionViewItem::WrapText)};
        if (cache.frame != frame) {
            cache.texts.clear();
            cache.digits.reset();
            cache.frame = frame;
        }
        placed = cache.texts.find(text);
        if (!placed) {
            if (!cache.digits)
                cache.digits = digitsOf(frame);
            std::optional<Placed> number;
            if (*cache.digits)
                number = placeNumber(text, frame, **cache.digits);
            placed = &cache.texts.insert(text, number ? std::move(*number) : place(text, frame));
        }
        if (placed->byStyle) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
    }

    // Background, selection and focus as the style draws them; then the text. Without the
    // focus, the style draws the item's panel alone for a cell without text (within the cell,
    // so its clip to the cell leaves it as it is).
    if (opt.state & QStyle::State_HasFocus)
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    else
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
    if (text.isEmpty())
        return;
    if (face) {
        painter->save();
        painter->setPen(textColour(opt));
        painter->setClipRect(opt.rect);
        painter->setRenderHint(QPainter::Antialiasing, true);
        face->draw(*painter, QRectF(textRect), int(Qt::AlignLeft | Qt::AlignVCenter), text);
        painter->restore();
        return;
    }
    // The style clips to the cell within what the view clips to; a text whose ink stays inside
    // the cell needs no clip.
    const QPointF origin = textRect.topLeft() + placed->at;
    const bool inside = QRectF(opt.rect).contains(placed->shaped.inkBounds().translated(origin));
    const QPen pen = painter->pen();
    if (!inside) {
        painter->save();
        painter->setClipRect(opt.rect, Qt::IntersectClip);
    }
    painter->setPen(textColour(opt));
    placed->shaped.draw(*painter, origin);
    if (inside)
        painter->setPen(pen);
    else
        painter->restore();
}
