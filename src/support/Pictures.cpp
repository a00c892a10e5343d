#include "support/Pictures.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QStyle>
#include <QStyleOption>
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

// One picture of an order: a window icon's order makes one for each side.
struct Job
{
    QString key;
    QString name;
    QSize size;
    Order::Kind kind;
};

QList<Job> jobsOf(const QList<Order> &orders)
{
    QList<Job> jobs;
    for (const Order &order : orders) {
        if (order.kind != Order::Kind::WindowIcon) {
            jobs.append(
                {keyOf(order.name, order.size, order.kind), order.name, order.size, order.kind});
            continue;
        }
        for (const int side : WindowIconSides)
            jobs.append({keyOf(order.name, QSize(side, side), order.kind), order.name,
                         QSize(side, side), order.kind});
    }
    return jobs;
}

// The pictures a Preparation draws: those still to come, the one being drawn, and those drawn
// and not yet taken.
struct Prepared
{
    // Standard locks rather than Qt's: ThreadSanitizer follows them.
    std::mutex mutex;
    std::condition_variable drawn;
    QSet<QString> pending;
    QString drawing;
    QHash<QString, QImage> pictures;
};

Prepared &prepared()
{
    static Prepared store;
    return store;
}

// A picture drawn ahead, taken out of the store; null when none was ordered. One being drawn is
// waited for; one not begun yet is the caller's to draw (the thread then skips it), so that the
// window never waits for more than one picture.
QImage takePrepared(const QString &name, QSize size, Order::Kind kind)
{
    Prepared &p = prepared();
    const QString key = keyOf(name, size, kind);
    std::unique_lock lock(p.mutex);
    if (p.pending.contains(key) && p.drawing != key) {
        p.pending.remove(key);
        return {};
    }
    p.drawn.wait(lock, [&] { return !p.pending.contains(key); });
    return p.pictures.take(key);
}

void drawJobs(const QList<Job> &jobs)
{
    Prepared &p = prepared();
    QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    for (const Job &job : jobs) {
        {
            const std::lock_guard lock(p.mutex);
            if (!p.pending.contains(job.key))
                continue;
            p.drawing = job.key;
        }
        std::shared_ptr<QSvgRenderer> &renderer = renderers[job.name];
        if (!renderer)
            renderer = std::make_shared<QSvgRenderer>(fileOf(job.name));
        const QSize size
            = job.kind == Order::Kind::Icon ? iconSizeOf(*renderer, job.size) : job.size;
        QImage picture;
        if (renderer->isValid() && !size.isEmpty())
            picture = draw(*renderer, size);
        const std::lock_guard lock(p.mutex);
        if (!picture.isNull())
            p.pictures.insert(job.key, std::move(picture));
        p.pending.remove(job.key);
        p.drawing.clear();
        p.drawn.notify_all();
    }
}

// The scalable icon, drawn at each size asked for as Qt's SVG icon engine draws it. The file is
// read when the icon is first drawn, once, and no icon engine is looked for among the plugins.
class ScalableIcon : public QIconEngine
{
public:
    explicit ScalableIcon(const QString &name)
        : m_name(name)
    {
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        QSvgRenderer &r = renderer();
        const QSize drawn = iconSizeOf(r, size);
        if (!r.isValid() || drawn.isEmpty())
            return {};
        QPixmap picture = QPixmap::fromImage(draw(r, drawn));
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QApplication::palette();
            picture = QApplication::style()->generatedIconPixmap(mode, picture, &option);
        }
        return picture;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        return iconSizeOf(renderer(), size);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap picture = pixmap(rect.size(), mode, state);
        QRect place(QPoint(0, 0), picture.size());
        place.moveCenter(rect.center());
        painter->drawPixmap(place.topLeft(), picture);
    }

    QIconEngine *clone() const override { return new ScalableIcon(m_name); }
    QString key() const override { return u"ScalableIcon"_qs; }
    bool isNull() override { return false; }

private:
    QSvgRenderer &renderer()
    {
        if (!m_renderer)
            m_renderer = std::make_unique<QSvgRenderer>(fileOf(m_name));
        return *m_renderer;
    }

    QString m_name;
    std::unique_ptr<QSvgRenderer> m_renderer;
};

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
    return QIcon(new ScalableIcon(name));
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

Preparation::Preparation(const QList<Order> &orders)
{
    registerPictures();
    QList<Job> jobs = jobsOf(orders);
    Prepared &p = prepared();
    {
        const std::lock_guard lock(p.mutex);
        for (const Job &job : jobs)
            p.pending.insert(job.key);
    }
    m_thread = std::thread([jobs = std::move(jobs)] { drawJobs(jobs); });
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
