#pragma once

#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

// Whether the painter draws with Qt's raster engine and at most moves what it draws: its pixels
// are then those of the device, one for one, and a shortcut that writes them the engine's way
// gives what the engine would.
inline bool paintsRasterUnscaled(const QPainter &p)
{
    const QPaintEngine *engine = p.paintEngine();
    return engine && engine->type() == QPaintEngine::Raster
        && p.deviceTransform().type() <= QTransform::TxTranslate;
}
