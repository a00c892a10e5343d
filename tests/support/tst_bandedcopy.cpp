// Pictures copied in bands of rows equal the same pictures copied whole, and widgets painted in
// bands equal the same widgets painted in one pass.

#include "support/BandedCopy.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

class TestBandedCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameAsWhole_data();
    void sameAsWhole();
    void widgetPaintedInBands_data();
    void widgetPaintedInBands();
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

// A widget whose painting blends over itself and drops the painter's clip on the way, as a style
// may: only a clip it cannot drop keeps each pixel painted once.
class Blended : public QWidget
{
public:
    bool banded = false;
    int passes = 0;
    int phase = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        const auto paint = [this] {
            ++passes;
            QPainter p(this);
            QLinearGradient shade(0, 0, 0, height());
            shade.setColorAt(0, QColor(30, 90, 200 - 50 * phase, 160));
            shade.setColorAt(1, QColor(240, 220, 40, 160));
            p.fillRect(rect(), shade);
            p.setClipping(false);
            p.setPen(QColor(0, 0, 0, 70));
            for (int x = 0; x < width(); x += 6)
                p.drawLine(x, 0, x, height() - 1);
            p.setRenderHint(QPainter::Antialiasing);
            p.setBrush(QColor(255, 255, 255, 90));
            p.drawEllipse(QRectF(3.5, 10.25, width() - 7.0, height() - 20.5));
        };
        if (banded)
            BandedCopy::paintInBands(*this, paint);
        else
            paint();
    }
};

} // namespace

void TestBandedCopy::widgetPaintedInBands_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QRegion>("region");
    QTest::addColumn<bool>("split");
    QTest::newRow("shorter than a band") << 50 << QRegion(0, 0, 40, 50) << false;
    QTest::newRow("whole, several bands") << 300 << QRegion(0, 0, 40, 300) << true;
    QTest::newRow("two parts") << 300 << (QRegion(0, 10, 40, 70) + QRegion(5, 150, 20, 149))
                               << true;
}

void TestBandedCopy::widgetPaintedInBands()
{
    QFETCH(int, height);
    QFETCH(QRegion, region);
    QFETCH(bool, split);
    // Both painted on screen, then repainted in the region only, with other colours: what the
    // screen shows of each must be the same.
    QWidget window;
    window.resize(90, height);
    Blended plain;
    Blended banded;
    banded.banded = true;
    plain.setParent(&window);
    banded.setParent(&window);
    plain.setGeometry(0, 0, 40, height);
    banded.setGeometry(50, 0, 40, height);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (Blended *w : {&plain, &banded}) {
        w->phase = 1;
        w->passes = 0;
        w->repaint(region);
    }
    const QImage screen = window.screen()->grabWindow(window.winId()).toImage();
    QCOMPARE(screen.copy(50, 0, 40, height), screen.copy(0, 0, 40, height));
    QCOMPARE(banded.passes > 1, split);
    QCOMPARE(plain.passes, 1);
}

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
