#include "support/Pictures.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

// The pictures are compiled into this library; registering them again is harmless.
static void registerPictures()
{
    Q_INIT_RESOURCE(meterlink);
}

namespace Pictures {

namespace {

constexpr int WindowIconSides[] = {16, 32, 64, 128};

QString fileOf(const QString &name)
{
    return u":/pictures/"_qs + name + u".svg"_qs;
}

// A QPixmap filled transparent and painted holds exactly these pixels; a QImage can be drawn
// on any thread.
QImage draw(QSvgRenderer &renderer, QSize size)
{
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}

// The size the scalable icon draws itself at for an icon size.
QSize iconSizeOf(const QSvgRenderer &renderer, QSize iconSize)
{
    QSize size = renderer.defaultSize();
    if (!size.isNull())
        size.scale(iconSize, Qt::KeepAspectRatio);
    return size;
}

QString keyOf(const QString &name, QSize size, Order::Kind kind)
{
    return name + u'/' + QString::number(size.width()) + u'x' + QString::number(size.height())
        + u'/' + QString::number(int(kind));
}

// The pictures an order makes: one, or one for each side of a window icon.
QList<QString> keysOf(const Order &order)
{
    if (order.kind != Order::Kind::WindowIcon)
        return {keyOf(order.name, order.size, order.kind)};
    QList<QString> keys;
    for (const int side : WindowIconSides)
        keys.append(keyOf(order.name, QSize(side, side), order.kind));
    return keys;
}

// The pictures a Preparation draws: those still to come, and those drawn and not yet taken.
struct Prepared
{
    // Standard locks rather than Qt's: ThreadSanitizer follows them.
    std::mutex mutex;
    std::condition_variable drawn;
    QSet<QString> pending;
    QHash<QString, QImage> pictures;
};

Prepared &prepared()
{
    static Prepared store;
    return store;
}

// A picture drawn ahead, taken out of the store (waiting while it is being drawn); null when
// none was ordered.
QImage takePrepared(const QString &name, QSize size, Order::Kind kind)
{
    Prepared &p = prepared();
    const QString key = keyOf(name, size, kind);
    std::unique_lock lock(p.mutex);
    p.drawn.wait(lock, [&] { return !p.pending.contains(key); });
    return p.pictures.take(key);
}

void drawOrders(const QList<Order> &orders)
{
    Prepared &p = prepared();
    QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    for (const Order &order : orders) {
        std::shared_ptr<QSvgRenderer> &renderer = renderers[order.name];
        if (!renderer)
            renderer = std::make_shared<QSvgRenderer>(fileOf(order.name));
        QList<std::pair<QString, QImage>> drawn;
        if (renderer->isValid()) {
            switch (order.kind) {
            case Order::Kind::Pixmap:
                drawn.append(
                    {keyOf(order.name, order.size, order.kind), draw(*renderer, order.size)});
                break;
            case Order::Kind::Icon:
                if (const QSize size = iconSizeOf(*renderer, order.size); !size.isEmpty())
                    drawn.append(
                        {keyOf(order.name, order.size, order.kind), draw(*renderer, size)});
                break;
            case Order::Kind::WindowIcon:
                for (const int side : WindowIconSides)
                    drawn.append({keyOf(order.name, QSize(side, side), order.kind),
                                  draw(*renderer, QSize(side, side))});
                break;
            }
        }
        const std::lock_guard lock(p.mutex);
        for (auto &[key, picture] : drawn)
            p.pictures.insert(key, std::move(picture));
        for (const QString &key : keysOf(order))
            p.pending.remove(key);
        p.drawn.notify_all();
    }
}

QIcon iconOf(const QImage &picture)
{
    return picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture));
}

} // namespace

QPixmap pixmap(const QString &name, QSize size)
{
    QImage picture = takePrepared(name, size, Order::Kind::Pixmap);
    if (picture.isNull()) {
        QSvgRenderer renderer(fileOf(name));
        picture = draw(renderer, size);
    }
    return QPixmap::fromImage(std::move(picture));
}

QIcon icon(const QString &name)
{
    return QIcon(fileOf(name));
}

QIcon icon(const QString &name, QSize iconSize)
{
    QImage picture = takePrepared(name, iconSize, Order::Kind::Icon);
    if (picture.isNull()) {
        QSvgRenderer renderer(fileOf(name));
        const QSize size = iconSizeOf(renderer, iconSize);
        if (renderer.isValid() && !size.isEmpty())
            picture = draw(renderer, size);
    }
    return iconOf(picture);
}

QIcon windowIcon(const QString &name)
{
    // A scalable icon would be read again for each size as the window is shown; reading it once
    // here saves that from the start-up.
    QIcon icon;
    std::optional<QSvgRenderer> renderer;
    for (const int side : WindowIconSides) {
        QImage picture = takePrepared(name, QSize(side, side), Order::Kind::WindowIcon);
        if (picture.isNull()) {
            if (!renderer)
                renderer.emplace(fileOf(name));
            picture = draw(*renderer, QSize(side, side));
        }
        icon.addPixmap(QPixmap::fromImage(std::move(picture)));
    }
    return icon;
}

Preparation::Preparation(QList<Order> orders)
{
    registerPictures();
    Prepared &p = prepared();
    {
        const std::lock_guard lock(p.mutex);
        for (const Order &order : orders)
            for (const QString &key : keysOf(order))
                p.pending.insert(key);
    }
    m_thread = std::thread([orders = std::move(orders)] { drawOrders(orders); });
}

int Preparation::left()
{
    Prepared &p = prepared();
    const std::lock_guard lock(p.mutex);
    return int(p.pending.size() + p.pictures.size());
}

Preparation::~Preparation()
{
    m_thread.join();
    // Whatever the window did not take is not needed again.
    Prepared &p = prepared();
    const std::lock_guard lock(p.mutex);
    p.pictures.clear();
}

} // namespace Pictures
