#pragma once

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <algorithm>

// Copies of a picture onto a widget in bands of rows. Qt's raster engine hands a copy taller than
// about a hundred rows to the threads of its pool in pieces and waits for them; for the small
// updates a reading makes, waking those threads costs far more than the copy. Bands this short
// are copied on the painting thread. The pixels are the same either way.
namespace BandedCopy {

constexpr int Rows = 64;

// The source part of image, its top left at at (device pixels equal logical ones for an image).
inline void drawImage(QPainter &p, QPoint at, const QImage &image, const QRect &source)
{
    for (int y = 0; y < source.height(); y += Rows) {
        const int rows = std::min(Rows, source.height() - y);
        p.drawImage(at + QPoint(0, y), image,
                    QRect(source.x(), source.y() + y, source.width(), rows));
    }
}

// The whole of pixmap with its top left at at. A picture for a fractional device pixel ratio is
// drawn whole, as band edges would fall between device pixels.
inline void drawPixmap(QPainter &p, QPoint at, const QPixmap &pixmap)
{
    const qreal ratio = pixmap.devicePixelRatio();
    if (ratio != 1.0 && ratio != 2.0) {
        p.drawPixmap(at, pixmap);
        return;
    }
    const int step = Rows * int(ratio);
    for (int y = 0; y < pixmap.height(); y += step) {
        const int rows = std::min(step, pixmap.height() - y);
        p.drawPixmap(QPointF(at) + QPointF(0, y / ratio), pixmap,
                     QRectF(0, y, pixmap.width(), rows));
    }
}

// Runs paint, a widget's whole painting for the current paint event, once per band of the region
// being painted, with the band as the clip no drawing can widen (the paint engine's own). For
// widgets whose drawing we do not own, such as the style's. Each pixel is drawn by exactly one
// pass, so the picture is the same as from one pass.
template<class Paint> void paintInBands(QWidget &widget, Paint &&paint)
{
    QPainter probe(&widget);
    QPaintEngine *engine = probe.paintEngine();
    probe.end();
    const QRegion whole = engine ? engine->systemClip() : QRegion();
    if (whole.isEmpty() || whole.boundingRect().height() <= Rows) {
        paint();
        return;
    }
    const QRect bounds = whole.boundingRect();
    for (int y = bounds.top(); y <= bounds.bottom(); y += Rows) {
        const QRegion band = whole & QRect(bounds.left(), y, bounds.width(), Rows);
        if (band.isEmpty())
            continue;
        engine->setSystemClip(band);
        paint();
    }
    engine->setSystemClip(whole);
}

} // namespace BandedCopy
