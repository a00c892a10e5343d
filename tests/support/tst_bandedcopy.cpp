// Pictures copied in bands of rows equal the same pictures copied whole.

#include "support/BandedCopy.h"

#include <QGuiApplication>
#include <QTest>

class TestBandedCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameAsWhole_data();
    void sameAsWhole();
};

namespace {

// Every pixel differs from its neighbours, so a band copied from the wrong rows shows.
QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y % 256, (x + 3 * y) % 256));
    return image;
}

QImage canvas()
{
    QImage c(QSize(90, 420), QImage::Format_RGB32);
    c.fill(Qt::white);
    return c;
}

} // namespace

void TestBandedCopy::sameAsWhole_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QRect>("source");
    QTest::addColumn<qreal>("ratio");
    for (const int h : {1, 63, 64, 65, 128, 129, 200}) {
        QTest::addRow("%d rows", h) << h << QRect(0, 0, 40, h) << 1.0;
        QTest::addRow("%d rows at ratio 2", h) << h << QRect(0, 0, 40, h) << 2.0;
    }
    QTest::newRow("a part from inside") << 300 << QRect(5, 17, 30, 150) << 1.0;
    QTest::newRow("a part of one row") << 300 << QRect(5, 299, 30, 1) << 1.0;
}

void TestBandedCopy::sameAsWhole()
{
    QFETCH(int, height);
    QFETCH(QRect, source);
    QFETCH(qreal, ratio);
    const QImage image = pattern(QSize(40, int(height * ratio)));
    const QPoint at(11, 23);

    QImage whole = canvas();
    QImage banded = canvas();
    {
        QPainter w(&whole);
        QPainter b(&banded);
        if (ratio == 1.0) {
            w.drawImage(at, image, source);
            BandedCopy::drawImage(b, at, image, source);
        }
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(ratio);
        w.drawPixmap(at + QPoint(45, 0), pixmap);
        BandedCopy::drawPixmap(b, at + QPoint(45, 0), pixmap);
    }
    QCOMPARE(banded, whole);
}

QTEST_MAIN(TestBandedCopy)
#include "tst_bandedcopy.moc"
