#include "meter/MeterGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QtMath>

namespace {

// Ink widths of the vector symbols, in capital heights. The temperature units add the width of
// their letter, which the font draws.
qreal inkWidth(QChar symbol)
{
    switch (symbol.unicode()) {
    case u'*':
        return 0.92; // ohm
    case u')':
        return 1.25; // diode
    case u'&':
        return 0.98; // continuity
    case u'$':
        return 0.50; // battery, upright as the display shows it
    case u'"':
        return 0.78; // hold
    case u'%':
        return 0.80; // dwell
    case u'<':
        return 0.95; // angle
    case u'#':
    case u'?':
        return 0.36; // the degree ring alone
    default:
        return 0.0;
    }
}

// The degree sign's letter, which the font draws; null for the other symbols.
QChar temperatureLetter(QChar symbol)
{
    return symbol == u'#' ? QChar(u'C') : symbol == u'?' ? QChar(u'F') : QChar();
}

constexpr qreal degreeGap = 0.04; // between the degree ring and its letter, in capital heights

// A text cut into runs that the font draws ("@" drawn as "L") and the symbols between them.
template<class Run, class Symbol> void forEachPiece(QStringView text, Run &&run, Symbol &&symbol)
{
    QString plain;
    for (QChar c : text) {
        if (c == u'@') {
            plain += u'L';
        } else if (inkWidth(c) > 0) {
            if (!plain.isEmpty()) {
                run(plain);
                plain.clear();
            }
            symbol(c);
        } else {
            plain += c;
        }
    }
    if (!plain.isEmpty())
        run(plain);
}

// Centre of a line of the given width on the pixel grid, so that straight strokes stay sharp.
qreal snap(qreal v, qreal width)
{
    const qreal half = width / 2;
    return std::round(v - half) + half;
}

} // namespace

MeterGlyphs::MeterGlyphs(const QFont &font)
    : m_font(font)
    , m_metrics(font)
{
}

const MeterGlyphs::Measures &MeterGlyphs::measures() const
{
    if (m_measures)
        return *m_measures;
    // Segment faces fill the whole em; text faces report a real capital height. Guard against
    // faces that report none.
    const qreal capHeight
        = m_metrics.capHeight() > 0 ? m_metrics.capHeight() : m_metrics.ascent() * 0.72;
    const qreal weight = m_font.bold() ? 0.13 : 0.10;
    const qreal stroke = std::max<qreal>(1.0, std::round(capHeight * weight * 2) / 2);
    return m_measures.emplace(Measures {capHeight, stroke, capHeight * 0.09});
}

bool MeterGlyphs::isSymbol(QChar c)
{
    return c == u'@' || inkWidth(c) > 0;
}

qreal MeterGlyphs::symbolAdvance(QChar symbol) const
{
    const Measures &m = measures();
    const qreal ink = inkWidth(symbol) * m.capHeight;
    if (const QChar letter = temperatureLetter(symbol); !letter.isNull())
        return m.bearing + ink + degreeGap * m.capHeight + m_metrics.horizontalAdvance(letter);
    return ink + 2 * m.bearing;
}

qreal MeterGlyphs::width(QStringView text) const
{
    qreal total = 0;
    forEachPiece(
        text, [&](const QString &run) { total += runAdvance(run); },
        [&](QChar symbol) { total += symbolAdvance(symbol); });
    return total;
}

void MeterGlyphs::draw(QPainter &p, const QRectF &rect, int alignment, QStringView text) const
{
    if (text.isEmpty())
        return;
    qreal x = rect.left();
    if (alignment & Qt::AlignRight)
        x = rect.right() - width(text);
    else if (alignment & Qt::AlignHCenter)
        x = rect.center().x() - width(text) / 2;
    const qreal capHeight = measures().capHeight;
    qreal baseline;
    if (alignment & Qt::AlignTop)
        baseline = rect.top() + capHeight;
    else if (alignment & Qt::AlignBottom)
        baseline = rect.bottom() - m_metrics.descent();
    else
        baseline = rect.top() + (rect.height() + capHeight) / 2;
    drawAt(p, QPointF(x, baseline), text);
}

qreal MeterGlyphs::drawAt(QPainter &p, QPointF origin, QStringView text) const
{
    p.setFont(m_font);
    qreal x = origin.x();
    forEachPiece(
        text,
        [&](const QString &run) {
            drawRun(p, QPointF(x, origin.y()), run);
            x += runAdvance(run);
        },
        [&](QChar symbol) {
            drawSymbol(p, symbol, QPointF(x, origin.y()));
            x += symbolAdvance(symbol);
        });
    return x - origin.x();
}

qreal MeterGlyphs::runAdvance(const QString &run) const
{
    if (const qreal *known = m_advances.find(run))
        return *known;
    return m_advances.insert(run, m_metrics.horizontalAdvance(run));
}

void MeterGlyphs::drawRun(QPainter &p, QPointF origin, const QString &run) const
{
    // The painter's font is this one here (drawAt set it).
    if (!ShapedText::drawsLikeText(p, m_font)) {
        p.drawText(origin, run);
        return;
    }
    if (p.layoutDirection() != m_shapedDirection) {
        m_shaped.clear();
        m_shapedDirection = p.layoutDirection();
    }
    const ShapedText *shaped = m_shaped.find(run);
    if (!shaped)
        shaped = &m_shaped.insert(run, ShapedText::line(p, run));
    shaped->draw(p, origin);
}

void MeterGlyphs::drawSymbol(QPainter &p, QChar symbol, QPointF origin) const
{
    const Measures &measured = measures();
    const qreal c = measured.capHeight;
    const qreal sw = measured.stroke;
    const qreal hs = sw / 2;
    const qreal x0 = std::round(origin.x() + measured.bearing);
    const qreal base = std::round(origin.y());
    const qreal top = base - c;
    const qreal mid = base - c / 2;
    const qreal w = inkWidth(symbol) * c;
    const QColor ink = p.pen().color();

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(ink, sw, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);

    switch (symbol.unicode()) {
    case u'*': {
        // A bowl open at the bottom, its legs turned out into feet on the baseline.
        const qreal r = 0.36 * c;
        const qreal cx = x0 + w / 2;
        const qreal cy = top + hs + r;
        const qreal legX = 0.5 * r;
        const qreal legY = cy + 0.866 * r;
        const qreal foot = snap(base - hs, sw);
        QPainterPath path;
        path.moveTo(x0, foot);
        path.lineTo(cx - legX, foot);
        path.lineTo(cx - legX, legY);
        path.arcTo(QRectF(cx - r, cy - r, 2 * r, 2 * r), 240, -300);
        path.lineTo(cx + legX, foot);
        path.lineTo(x0 + w, foot);
        p.drawPath(path);
        break;
    }
    case u'#':
    case u'?': {
        const qreal ringPen = std::max<qreal>(1.0, sw * 0.8);
        const qreal d = 0.36 * c - ringPen;
        p.setPen(QPen(ink, ringPen));
        p.drawEllipse(QRectF(x0 + ringPen / 2, top + ringPen / 2, d, d));
        p.restore();
        p.setFont(m_font);
        drawRun(p, QPointF(x0 + w + degreeGap * c, origin.y()), QString(temperatureLetter(symbol)));
        return;
    }
    case u')': {
        // Anode lead, triangle pointing at the bar, cathode lead.
        const qreal left = x0 + 0.2 * w;
        const qreal bar = snap(x0 + 0.72 * w, sw);
        const qreal half = 0.42 * c;
        const qreal lead = snap(mid, sw);
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        const QPointF triangle[] = {{left, mid - half}, {left, mid + half}, {bar, mid}};
        p.drawPolygon(triangle, 3);
        p.setPen(pen);
        p.drawLine(QPointF(bar, mid - half), QPointF(bar, mid + half));
        p.drawLine(QPointF(x0, lead), QPointF(left, lead));
        p.drawLine(QPointF(bar, lead), QPointF(x0 + w, lead));
        break;
    }
    case u'&': {
        // A dot sending out three sound waves.
        const qreal dot = 0.12 * c;
        const QPointF centre(x0 + dot, mid);
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawEllipse(centre, dot, dot);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, std::max<qreal>(1.0, sw * 0.85), Qt::SolidLine, Qt::FlatCap));
        for (qreal r : {0.32 * c, 0.55 * c, 0.78 * c}) {
            const QRectF circle(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
            p.drawArc(circle, -35 * 16, 70 * 16);
        }
        break;
    }
    case u'$': {
        // An upright cell with its terminal on top and a low charge left at the bottom.
        const qreal cap = 0.13 * c;
        const qreal left = snap(x0, sw);
        const qreal right = snap(x0 + w, sw);
        const QRectF body(QPointF(left, snap(top + cap, sw)), QPointF(right, snap(base - hs, sw)));
        p.drawRect(body);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(x0 + w * 0.28, top, w * 0.44, cap));
        const qreal inset = sw + std::max<qreal>(1.0, sw * 0.5);
        p.drawRect(QRectF(QPointF(body.left() + inset, body.bottom() - inset - 0.16 * c),
                          QPointF(body.right() - inset, body.bottom() - inset)));
        break;
    }
    case u'"': {
        // "H" in a frame.
        const qreal framePen = std::max<qreal>(1.0, sw * 0.75);
        p.setPen(QPen(ink, framePen));
        const qreal inset = framePen / 2;
        const QRectF frame(QPointF(snap(x0 + inset, framePen), snap(top + inset, framePen)),
                           QPointF(snap(x0 + w - inset, framePen), snap(base - inset, framePen)));
        p.drawRoundedRect(frame, 0.12 * c, 0.12 * c);
        p.setPen(pen);
        const qreal l = snap(x0 + 0.3 * w, sw);
        const qreal r = snap(x0 + 0.7 * w, sw);
        const qreal t = top + 0.22 * c;
        const qreal b = base - 0.22 * c;
        const qreal m = snap(mid, sw);
        p.drawLine(QPointF(l, t), QPointF(l, b));
        p.drawLine(QPointF(r, t), QPointF(r, b));
        p.drawLine(QPointF(l, m), QPointF(r, m));
        break;
    }
    case u'%': {
        const qreal ringPen = std::max<qreal>(1.0, sw * 0.75);
        const qreal d = 0.3 * c;
        p.drawLine(QPointF(x0 + 0.08 * c, base - hs), QPointF(x0 + w - 0.08 * c, top + hs));
        p.setPen(QPen(ink, ringPen));
        p.drawEllipse(QRectF(x0 + ringPen / 2, top + ringPen / 2, d, d));
        p.drawEllipse(QRectF(x0 + w - d - ringPen / 2, base - d - ringPen / 2, d, d));
        break;
    }
    case u'<': {
        // The angle of the dwell unit, with the arc that marks it.
        const qreal foot = snap(base - hs, sw);
        const QPointF corner(x0, foot);
        const QPointF tip(x0 + 0.62 * w, top + hs);
        QPainterPath path;
        path.moveTo(x0 + w, foot);
        path.lineTo(corner);
        path.lineTo(tip);
        p.drawPath(path);
        const qreal r = 0.52 * w;
        const qreal slope = qRadiansToDegrees(std::atan2(foot - tip.y(), tip.x() - x0));
        p.setPen(QPen(ink, std::max<qreal>(1.0, sw * 0.6), Qt::SolidLine, Qt::FlatCap));
        p.drawArc(QRectF(x0 - r, foot - r, 2 * r, 2 * r), 0, qRound(slope * 16));
        break;
    }
    default:
        break;
    }
    p.restore();
}

qreal MeterGlyphs::textWidth(QStringView text, const QFont &font)
{
    return MeterGlyphs(font).width(text);
}

void MeterGlyphs::drawText(QPainter &p, const QRectF &rect, int alignment, QStringView text,
                           const QFont &font)
{
    MeterGlyphs(font).draw(p, rect, alignment, text);
}
