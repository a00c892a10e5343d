#include "meter/MeterGlyphs.h"
#include "recording/GridCellDelegate.h"
#include "recording/ReadingRecorder.h"
#include "recording/ReadingTable.h"
#include "recording/ReadingTableModel.h"
#include "support/TestWindow.h"
#include "support/WindowLook.h"

#include <QApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QTableView>
#include <QTest>

// The grid's cells drawn from their texts kept shaped must be the pixels the style draws, and
// the meter texts' plain runs the pixels the font draws: for each column's font, selected or
// not, with and without focus, for texts that fit, that are too wide, that wrap, or are empty.
class TestGridCells : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cellsDrawAsTheStyleDraws_data();
    void cellsDrawAsTheStyleDraws();
    void shapedTextsStayRightAsTheyChange();
    void keptCellsComeBackOnlyAsTheyWerePainted();
    void meterTextsDrawAsTheFontDraws_data();
    void meterTextsDrawAsTheFontDraws();
};

namespace {

// The view's own options for its cells (protected in the view).
struct ViewOptions : QTableView
{
    static QStyleOptionViewItem of(const QTableView *view)
    {
        QStyleOptionViewItem option;
        (view->*(&ViewOptions::initViewItemOption))(&option);
        return option;
    }
};

constexpr int Plain = 0, Selected = 1, Focus = 2, Inactive = 4;

struct Grid
{
    TestWindow w;
    QTableView *view = nullptr;
    GridCellDelegate *delegate = nullptr;

    // One row holding the text in every column.
    explicit Grid(const QString &text)
    {
        view = w.find<QTableView>(u"DBGrid1"_qs);
        delegate = dynamic_cast<GridCellDelegate *>(view->itemDelegate());
        ReadingTable::Row row;
        row.time = row.dcAc = row.value = row.unit = row.range = row.autoText = text;
        w.window->recorder().table().append(row);
        w.window->recorder().model().rowsAppended();
    }

    QStyleOptionViewItem option(int column, int look, QPoint at) const
    {
        QStyleOptionViewItem opt = ViewOptions::of(view);
        opt.rect = QRect(at, QSize(view->columnWidth(column), view->rowHeight(0)));
        if (look & Selected)
            opt.state |= QStyle::State_Selected;
        if (look & Focus)
            opt.state |= QStyle::State_HasFocus;
        if (look & Inactive)
            opt.state &= ~QStyle::State_Active;
        return opt;
    }

    // The cell drawn at a place off the image's origin, with room around it in a colour that
    // shows anything drawn outside.
    template<class Paint>
    QImage draw(int row, int column, int look, Paint paint, const QImage &ground = QImage()) const
    {
        const QPoint at(13, 15);
        QImage image(view->columnWidth(column) + 28, view->rowHeight(0) + 30,
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(140, 90, 40));
        if (!ground.isNull())
            image = ground.copy(image.rect());
        QPainter p(&image);
        paint(&p, option(column, look, at), view->model()->index(row, column));
        return image;
    }

    using CellPaint = void (GridCellDelegate::*)(QPainter *, const QStyleOptionViewItem &,
                                                 const QModelIndex &) const;
    QImage drawnBy(CellPaint paint, int column, int look, int row, const QImage &ground) const
    {
        return draw(
            row, column, look,
            [this, paint](QPainter *p, const auto &opt, const auto &index) {
                (delegate->*paint)(p, opt, index);
            },
            ground);
    }
    QImage shaped(int column, int look, int row = 0, const QImage &ground = QImage()) const
    {
        return drawnBy(&GridCellDelegate::paint, column, look, row, ground);
    }
    QImage styled(int column, int look, int row = 0, const QImage &ground = QImage()) const
    {
        return drawnBy(&GridCellDelegate::paintAsStyle, column, look, row, ground);
    }
};

} // namespace

void TestGridCells::cellsDrawAsTheStyleDraws_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("number") << u"1234"_qs;
    QTest::newRow("time") << u"12:34:56"_qs;
    QTest::newRow("word") << u"Auto"_qs;
    QTest::newRow("letters") << u"DCV"_qs;
    QTest::newRow("value") << u"-3.999"_qs;
    QTest::newRow("ohm") << u"k*"_qs;
    QTest::newRow("degrees") << u"#"_qs;
    QTest::newRow("symbols") << u"\")&$%<?"_qs;
    QTest::newRow("overload") << u"0.@"_qs;
    QTest::newRow("too wide") << u"12345678901234567890"_qs;
    QTest::newRow("wraps") << u"Auto Manu Hold Range Auto"_qs;
    QTest::newRow("spaces") << u" 4 V "_qs;
    QTest::newRow("accents") << u"Messbereich \u00e9\u00e8 \u03a9"_qs;
}

void TestGridCells::cellsDrawAsTheStyleDraws()
{
    QFETCH(QString, text);
    Grid grid(text);
    for (int column = 0; column < 7; ++column) {
        for (int look : {Plain, Selected, Selected | Focus, Focus, Selected | Inactive}) {
            const QString where = u"column %1, look %2"_qs.arg(column).arg(look);
            // Twice: shaped afresh, then from the kept texts.
            for (int time = 0; time < 2; ++time) {
                QVERIFY2(grid.shaped(column, look) == grid.styled(column, look), qPrintable(where));
            }
        }
    }
}

void TestGridCells::shapedTextsStayRightAsTheyChange()
{
    // Many texts, more than the kept ones, and a column made narrower on the way: each cell is
    // still what the style draws.
    Grid grid(u"start"_qs);
    ReadingTable &table = grid.w.window->recorder().table();
    for (int n = 0; n < 700; ++n) {
        ReadingTable::Row row;
        row.no = n * 37;
        row.time = u"12:%1:%2"_qs.arg(n / 60, 2, 10, QChar(u'0')).arg(n % 60, 2, 10, QChar(u'0'));
        row.autoText = n % 2 ? u"Auto"_qs : u"Manu"_qs;
        table.append(row);
    }
    grid.w.window->recorder().model().rowsAppended();
    const auto sameAt = [&](int row, int column) {
        const int look = row % 2 ? Selected : Plain;
        return grid.shaped(column, look, row) == grid.styled(column, look, row);
    };
    for (int pass = 0; pass < 3; ++pass) {
        for (int r = 1; r <= 700; r += 3) {
            for (int column : {0, 1, 6})
                QVERIFY2(sameAt(r, column), qPrintable(u"row %1 column %2"_qs.arg(r).arg(column)));
        }
        if (pass == 0) {
            grid.view->setColumnWidth(1, 30); // times no longer fit: elided
        } else {
            // Cells smaller than their text: it is cut off at the cell's edges.
            grid.view->setColumnWidth(0, 7);
            grid.view->setColumnWidth(6, 12);
            grid.view->setFont(WindowLook::arial(30, false));
        }
    }
}

void TestGridCells::keptCellsComeBackOnlyAsTheyWerePainted()
{
    // A cell painted before is copied from its pixels: only onto the same plain ground, and only
    // if it was painted whole; a new font makes the kept cells old.
    Grid grid(u"DCV"_qs);
    QImage green(200, 80, QImage::Format_ARGB32_Premultiplied);
    green.fill(QColor(20, 160, 60));
    QImage striped = green;
    for (int y = 0; y < striped.height(); y += 2)
        std::fill_n(reinterpret_cast<QRgb *>(striped.scanLine(y)), striped.width(),
                    qRgb(250, 250, 250));
    for (int column : {1, 2, 6}) {
        for (int look : {Plain, Selected}) {
            const QString where = u"column %1, look %2"_qs.arg(column).arg(look);
            QVERIFY2(grid.shaped(column, look) == grid.styled(column, look), qPrintable(where));
            for (const QImage &ground : {green, striped, green, striped}) {
                QVERIFY2(grid.shaped(column, look, 0, ground)
                             == grid.styled(column, look, 0, ground),
                         qPrintable(where));
            }
        }
    }
    grid.view->setFont(WindowLook::arial(15, true));
    QVERIFY(grid.shaped(1, Plain) == grid.styled(1, Plain));

    // A painter set otherwise by its caller: glyphs placed to fractions of a pixel upright, half
    // opacity.
    const auto onPainter = [&](auto setUp, int column, Grid::CellPaint paint) {
        QImage image(grid.view->columnWidth(column) + 28, grid.view->rowHeight(0) + 30,
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(140, 90, 40));
        QPainter p(&image);
        setUp(p);
        (grid.delegate->*paint)(&p, grid.option(column, Plain, QPoint(13, 15)),
                                grid.view->model()->index(0, column));
        return image;
    };
    const auto placed = [](QPainter &p) {
        p.setRenderHint(QPainter::VerticalSubpixelPositioning);
    };
    const auto faint = [](QPainter &p) {
        p.setOpacity(0.5);
    };
    for (int column : {1, 6}) {
        QVERIFY(grid.shaped(column, Plain) == grid.styled(column, Plain));
        QVERIFY(onPainter(placed, column, &GridCellDelegate::paint)
                == onPainter(placed, column, &GridCellDelegate::paintAsStyle));
        QVERIFY(onPainter(faint, column, &GridCellDelegate::paint)
                == onPainter(faint, column, &GridCellDelegate::paintAsStyle));
    }

    // A cell all but its first pixels repainted (the rest of the image being of the ground's
    // colour), then the whole cell.
    const auto paintOn = [&](QImage &image, const QRegion &region, int column) {
        const QStyleOptionViewItem opt = grid.option(column, Selected, QPoint(13, 15));
        image.paintEngine()->setSystemClip(region);
        QPainter p(&image);
        grid.delegate->paint(&p, opt, grid.view->model()->index(0, column));
    };
    for (int column : {1, 6}) {
        const QImage expected = grid.styled(column, Selected);
        QImage image(expected.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(140, 90, 40));
        const QRect cell(QPoint(13, 15),
                         QSize(grid.view->columnWidth(column), grid.view->rowHeight(0)));
        paintOn(image, QRegion(cell.adjusted(4, 0, 0, 0)), column);
        image.fill(QColor(140, 90, 40));
        paintOn(image, QRegion(), column);
        QVERIFY2(image == expected, qPrintable(u"column %1"_qs.arg(column)));
    }
}

void TestGridCells::meterTextsDrawAsTheFontDraws_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPointF>("origin");
    QFont display = WindowLook::arial(16, true);
    display.setHintingPreference(QFont::PreferNoHinting);
    const QFont small = WindowLook::arial(12, false);
    const QFont sans = WindowLook::sansSerif(11, false);
    QTest::newRow("display, whole") << display << u"3.999"_qs << QPointF(4, 20);
    QTest::newRow("display, fractions") << display << u"-0.042"_qs << QPointF(4.37, 19.6);
    QTest::newRow("display, letters") << display << u"DC mV"_qs << QPointF(2.5, 21.25);
    QTest::newRow("small, letters") << small << u"AUTO HOLD"_qs << QPointF(1.1, 15.8);
    QTest::newRow("small, spaces") << small << u"  4 V  "_qs << QPointF(0, 14);
    QTest::newRow("sans, word") << sans << u"Manual"_qs << QPointF(3.49, 13.51);
    QTest::newRow("sans, accents") << sans << u"\u00c5ngstr\u00f6m \u03bc"_qs << QPointF(1, 14);
}

void TestGridCells::meterTextsDrawAsTheFontDraws()
{
    QFETCH(QFont, font);
    QFETCH(QString, text);
    QFETCH(QPointF, origin);
    const MeterGlyphs glyphs(font);
    const auto image = [&](auto paint) {
        QImage drawn(160, 32, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::white);
        QPainter p(&drawn);
        p.setPen(Qt::black);
        p.setFont(font);
        paint(p);
        return drawn;
    };
    const QImage byFont = image([&](QPainter &p) { p.drawText(origin, text); });
    // Twice: shaped afresh, then from the kept texts; and after another text in between.
    for (int time = 0; time < 2; ++time)
        QCOMPARE(image([&](QPainter &p) { glyphs.drawAt(p, origin, text); }), byFont);
    image([&](QPainter &p) { glyphs.drawAt(p, origin, u"other"_qs); });
    QCOMPARE(image([&](QPainter &p) { glyphs.drawAt(p, origin, text); }), byFont);
}

QTEST_MAIN(TestGridCells)
#include "tst_gridcells.moc"
