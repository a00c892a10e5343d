#include "chart/AnalogDial.h"

#include "chart/LimitState.h"
#include "meter/DisplayState.h"
#include "support/BandedCopy.h"
#include "support/WindowLook.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Enough for the scales a run switches between per reading and when the limits change.
constexpr qsizetype FaceCacheSize = 4;
// Enough for the needles of a wavering reading, the rest position and the one before.
constexpr qsizetype LineCacheSize = 64;
// Posted to the dial to look at what a frame's calls changed.
const QEvent::Type ShowChangesEvent = QEvent::Type(QEvent::registerEventType());

QColor inkColour(DialInk ink)
{
    return QColor::fromRgb(QRgb(ink));
}

void drawDot(QPainter &p, QPoint topLeft)
{
    p.drawEllipse(QRectF(QPointF(topLeft), QSizeF(2, 2)));
}

QList<QPoint> dotShape(const QPen &pen)
{
    const QPoint at(8, 8);
    QImage probe(20, 20, QImage::Format_RGB32);
    probe.fill(Qt::white);
    QPainter p(&probe);
    p.setPen(pen);
    drawDot(p, at);
    p.end();
    QList<QPoint> shape;
    for (int y = 0; y < probe.height(); ++y) {
        for (int x = 0; x < probe.width(); ++x) {
            if (probe.pixel(x, y) != qRgb(255, 255, 255))
                shape << QPoint(x, y) - at;
        }
    }
    return shape;
}

} // namespace

AnalogDial::AnalogDial(const DisplayState &display, const LimitState &limits, QWidget *parent)
    : QWidget(parent)
    , m_display(display)
    , m_limits(limits)
    , m_font(makeLabelFont())
    , m_bandDot(dotShape(QPen(Qt::black, 4)))
{
    // The picture covers the dial: nothing beneath it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    fitToPanel();
    resize(m_image.size());
}

AnalogDial::~AnalogDial()
{
    if (m_preparedFace.valid())
        m_preparedFace.wait();
}

QFont AnalogDial::makeLabelFont()
{
    // The small sans-serif face of about 8 points (11 pixels) that the labels' offsets were
    // made for: its digits are the 6 pixels wide the offsets centre them by.
    QFont font = WindowLook::sansSerif(11, false);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void AnalogDial::prepareFace(const QString &scaleCode, const DialScale &scale)
{
    takePreparedFace();
    fitToPanel();
    const LimitState &l = m_limits;
    m_preparedKey = FaceKey {
        m_panel, scaleCode, scale,
        BandLimits {l.upperLimitOn, l.UpperLimit, l.lowerLimitOn, l.LowerLimit}.effective()};
    // The thread makes a font of its own: a font's loaded faces belong to the thread using it.
    m_preparedFace = std::async(std::launch::async,
                                [size = m_image.size(), bandDot = m_bandDot, key = m_preparedKey] {
                                    return drawFace(size, makeLabelFont(), bandDot, key);
                                });
}

void AnalogDial::takePreparedFace()
{
    if (!m_preparedFace.valid())
        return;
    QImage face = m_preparedFace.get();
    if (face.size() == m_image.size()
        && std::none_of(m_faces.cbegin(), m_faces.cend(),
                        [&](const CachedFace &f) { return f.key == m_preparedKey; }))
        addFace(std::move(m_preparedKey), std::move(face));
}

void AnalogDial::addFace(FaceKey key, QImage face)
{
    m_faces.prepend({std::move(key), std::move(face), m_nextFaceId++});
    if (m_faces.size() > FaceCacheSize)
        m_faces.removeLast();
}

QSize AnalogDial::sizeHint() const
{
    return m_image.size();
}

QSize AnalogDial::panelSize() const
{
    // Without a panel the dial stands in for it, border included.
    return parentWidget() ? parentWidget()->size() : size() + QSize(4, 4);
}

void AnalogDial::fitToPanel()
{
    const QSize panel = panelSize();
    if (panel == m_panel && !m_image.isNull())
        return;
    m_panel = panel;
    m_arc = DialArc::forPanel(panel);
    m_image = QImage((panel - QSize(4, 4)).expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    m_imageFace = -1;
    m_needleArea.reset(m_image.height());
    m_lines.clear();
    m_shown = m_image.copy();
    m_touched.reset(m_image.height());
    update();
}

void AnalogDial::KDsetup(int mode)
{
    Q_UNUSED(mode); // every caller passes 1
    takePreparedFace();
    fitToPanel();
    const LimitState &l = m_limits;
    FaceKey key {
        m_panel, m_display.scaleCode, m_display.dialScale,
        BandLimits {l.upperLimitOn, l.UpperLimit, l.lowerLimitOn, l.LowerLimit}.effective()};

    const auto hit = std::find_if(m_faces.begin(), m_faces.end(),
                                  [&](const CachedFace &f) { return f.key == key; });
    if (hit == m_faces.end()) {
        QImage face = drawFace(m_image.size(), m_font, m_bandDot, key);
        addFace(std::move(key), std::move(face));
    } else if (hit != m_faces.begin()) {
        m_faces.move(hit - m_faces.begin(), 0);
    }

    // Copied into the image we own rather than shared, so the needle never detaches a copy.
    // When the image already holds this face, only where needles were drawn needs it again.
    const CachedFace &face = m_faces.constFirst();
    auto *to = reinterpret_cast<QRgb *>(m_image.bits());
    const auto *from = reinterpret_cast<const QRgb *>(face.image.constBits());
    const qsizetype stride = m_image.bytesPerLine() / qsizetype(sizeof(QRgb));
    const auto copy = [&](int y, int first, int last) {
        std::memcpy(to + y * stride + first, from + y * stride + first,
                    size_t(last - first + 1) * sizeof(QRgb));
        touched(y, first, last);
    };
    if (face.id == m_imageFace) {
        m_needleArea.forEach(copy);
    } else {
        const QRect all = m_image.rect();
        for (int y = all.top(); y <= all.bottom(); ++y)
            copy(y, all.left(), all.right());
        m_imageFace = face.id;
    }
    m_needleArea.clear();
}

DialTextExtent AnalogDial::labelExtent() const
{
    return labelExtent(m_font);
}

DialTextExtent AnalogDial::labelExtent(const QFont &font)
{
    return [metrics = QFontMetrics(font)](const QString &text) {
        const QRect box(0, 0, metrics.horizontalAdvance(text), metrics.height());
        return box | metrics.boundingRect(text).translated(0, metrics.ascent());
    };
}

QImage AnalogDial::drawFace(QSize size, const QFont &font, const QList<QPoint> &bandDot,
                            const FaceKey &key)
{
    QImage face(size, QImage::Format_RGB32);
    face.fill(Qt::white);
    const DialFaceLayout layout
        = dialFaceLayout(key.panel, key.scaleCode, key.scale, labelExtent(font));

    QPainter p(&face);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setFont(font);
    p.setBrush(Qt::NoBrush); // the pen covers a dot's 2 x 2 box entirely
    const int ascent = p.fontMetrics().ascent();

    const QPen textPen(Qt::black, 1);
    const QPen dotPen(inkColour(layout.dotInk), 2);
    for (const DialFaceLayout::Mark &mark : layout.marks) {
        if (!mark.text.isEmpty()) {
            p.setPen(textPen);
            p.drawText(mark.textTopLeft + QPoint(0, ascent), mark.text);
        }
        if (mark.hasDot) {
            p.setPen(dotPen);
            drawDot(p, mark.dot);
        }
    }
    p.end();

    QRgb *pixels = reinterpret_cast<QRgb *>(face.bits());
    const qsizetype stride = face.bytesPerLine() / qsizetype(sizeof(QRgb));
    const QRect inside = face.rect();
    for (const DialFaceLayout::BandDot &dot : layout.band) {
        const QRgb ink = QRgb(bandInk(dot.count, key.limits));
        for (const QPoint offset : bandDot) {
            const QPoint q = dot.at + offset;
            if (inside.contains(q))
                pixels[q.y() * stride + q.x()] = ink;
        }
    }
    return face;
}

void AnalogDial::KDrun(int position)
{
    fitToPanel();
    NeedleLine needle;
    if (!m_arc.needle(position, qint64(m_display.dialScale.dialSteps) * 10, &needle))
        return;

    // The erasing line is the drawn one in the panel's white, so it covers the old needle
    // exactly.
    stamp(m_previousNeedle, qRgb(255, 255, 255));
    m_previousNeedle = needle;
    stamp(needle, qRgb(0, 0, 0));
}

const QList<AnalogDial::LineRun> &AnalogDial::linePixels(const NeedleLine &line)
{
    const auto hit = std::find_if(m_lines.begin(), m_lines.end(),
                                  [&](const LinePixels &l) { return l.line == line; });
    if (hit != m_lines.end()) {
        if (hit != m_lines.begin())
            m_lines.move(hit - m_lines.begin(), 0);
        return m_lines.constFirst().runs;
    }

    // Stroked where it stands on a white image of the dial's size, so the pixels are the ones
    // stroking it on the dial gives (the pen covers a pixel fully or not at all); read back
    // near the line only, and wiped again.
    const QRgb clear = qRgb(255, 255, 255);
    if (m_lineScratch.size() != m_image.size()) {
        m_lineScratch = QImage(m_image.size(), QImage::Format_RGB32);
        m_lineScratch.fill(clear);
    }
    QPainter p(&m_lineScratch);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(line.tip, line.base);
    p.end();

    constexpr int Reach = 3; // beyond the line's centre the pen and its caps cover
    const QRect box = QRect(line.tip, line.base).normalized().adjusted(-Reach, -Reach, Reach, Reach)
        & m_lineScratch.rect();
    const QPoint a = line.tip;
    const QPoint b = line.base;
    const auto xAt = [&](int y) {
        const int clamped = std::clamp(y, std::min(a.y(), b.y()), std::max(a.y(), b.y()));
        return a.x() + double(clamped - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
    };
    LinePixels drawn {line, {}};
    for (int y = box.top(); y <= box.bottom(); ++y) {
        int from = box.left();
        int to = box.right();
        if (a.y() != b.y()) {
            const double x1 = xAt(y - Reach);
            const double x2 = xAt(y + Reach);
            from = std::max(from, int(std::floor(std::min(x1, x2))) - Reach);
            to = std::min(to, int(std::ceil(std::max(x1, x2))) + Reach);
        }
        auto *row = reinterpret_cast<QRgb *>(m_lineScratch.scanLine(y));
        for (int x = from; x <= to; ++x) {
            if (row[x] == clear)
                continue;
            const int first = x;
            while (x < to && row[x + 1] != clear)
                ++x;
            drawn.runs.append({y, first, x});
            std::fill(row + first, row + x + 1, clear);
        }
    }
    m_lines.prepend(std::move(drawn));
    if (m_lines.size() > LineCacheSize)
        m_lines.removeLast();
    return m_lines.constFirst().runs;
}

void AnalogDial::stamp(const NeedleLine &line, QRgb colour)
{
    auto *pixels = reinterpret_cast<QRgb *>(m_image.bits());
    const qsizetype stride = m_image.bytesPerLine() / qsizetype(sizeof(QRgb));
    for (const LineRun &run : linePixels(line)) {
        QRgb *row = pixels + run.y * stride;
        std::fill(row + run.first, row + run.last + 1, colour);
        m_needleArea.add(run.y, run.first, run.last);
        touched(run.y, run.first, run.last);
    }
}

void AnalogDial::RowSpans::reset(int rows)
{
    m_rows.assign(std::size_t(rows), {std::numeric_limits<int>::max(), -1});
    m_top = 0;
    m_bottom = -1;
}

void AnalogDial::RowSpans::add(int y, int first, int last)
{
    auto &[from, to] = m_rows[std::size_t(y)];
    from = std::min(from, first);
    to = std::max(to, last);
    if (isEmpty()) {
        m_top = m_bottom = y;
    } else {
        m_top = std::min(m_top, y);
        m_bottom = std::max(m_bottom, y);
    }
}

void AnalogDial::RowSpans::clear()
{
    for (int y = m_top; y <= m_bottom; ++y)
        m_rows[std::size_t(y)] = {std::numeric_limits<int>::max(), -1};
    m_top = 0;
    m_bottom = -1;
}

void AnalogDial::touched(int y, int first, int last)
{
    if (first <= last)
        m_touched.add(y, first, last);
    if (!m_checkPosted && !m_touched.isEmpty()) {
        m_checkPosted = true;
        QCoreApplication::postEvent(this, new QEvent(ShowChangesEvent));
    }
}

void AnalogDial::commit()
{
    if (m_touched.isEmpty())
        return;
    if (m_shown.size() != m_image.size()) {
        m_touched.clear();
        m_shown = m_image.copy();
        update();
        return;
    }
    // The bounding box of the pixels that differ from those shown.
    QRect changed;
    const auto *image = reinterpret_cast<const QRgb *>(m_image.constBits());
    auto *shownPixels = reinterpret_cast<QRgb *>(m_shown.bits());
    const qsizetype stride = m_image.bytesPerLine() / qsizetype(sizeof(QRgb));
    m_touched.forEach([&](int y, int from, int to) {
        const QRgb *now = image + y * stride;
        QRgb *shown = shownPixels + y * stride;
        const auto bytes = size_t(to - from + 1) * sizeof(QRgb);
        if (std::memcmp(now + from, shown + from, bytes) == 0)
            return;
        int first = from;
        while (now[first] == shown[first])
            ++first;
        int last = to;
        while (now[last] == shown[last])
            --last;
        changed |= QRect(first, y, last - first + 1, 1);
        std::memcpy(shown + first, now + first, size_t(last - first + 1) * sizeof(QRgb));
    });
    m_touched.clear();
    if (!changed.isEmpty())
        update(changed);
}

bool AnalogDial::event(QEvent *event)
{
    if (event->type() == ShowChangesEvent) {
        m_checkPosted = false;
        commit();
        return true;
    }
    return QWidget::event(event);
}

void AnalogDial::paintEvent(QPaintEvent *event)
{
    // Whatever was drawn since the last commit shows at once, as when painting from the image.
    commit();
    QPainter p(this);
    const QRect r = event->rect() & m_shown.rect();
    BandedCopy::drawImage(p, r.topLeft(), m_shown, r);
    // Beyond the picture (a dial made larger than its panel), the panel's colour.
    for (const QRect &outside : event->region() - m_shown.rect())
        p.fillRect(outside, palette().window());
}
