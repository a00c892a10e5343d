#include "recording/ReadingRecorder.h"
#include "recording/ReadingTable.h"
#include "recording/TableReport.h"
#include "support/FileTargets.h"
#include "support/TestWindow.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QToolButton>
#include <climits>
#include <deque>
#include <optional>

// The printed list of the reading table: its pages, the PDF files it makes, where it puts its
// texts, and the window's print command through the preview.
class TestTablePrint : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pagination_data();
    void pagination();
    void pdfFile_data();
    void pdfFile();
    void pdfToAPathThatCannotBeWritten();
    void pdfFollowsTheWriterRule_data();
    void pdfFollowsTheWriterRule();
    void firstPagePlacement();
    void lastPageHoldsTheRemainingRowUnderItsOwnHeaders();
    void unitStarIsTheOhmSymbol();
    void printCommand_data();
    void printCommand();
    void emptyTablePrintsNothing();
};

namespace {

constexpr int Dpi = 150;

ReadingTable::Row rowNumber(qint32 no, const QString &unit = u"V"_qs)
{
    ReadingTable::Row r;
    r.no = no;
    r.time = QTime(0, 0).addSecs(no).toString(u"hh:mm:ss"_qs);
    r.dcAc = u"DCV"_qs;
    r.value = u"1.234"_qs;
    r.unit = unit;
    r.range = u"4 V"_qs;
    r.autoText = u"Auto"_qs;
    r.nval = 1234;
    return r;
}

void fill(ReadingTable &table, qsizetype rows)
{
    for (qsizetype i = 0; i < rows; ++i)
        table.append(rowNumber(qint32(table.rowCount() + 1)));
}

struct PdfFacts
{
    int pages = 0;
    QList<QSizeF> mediaBoxes; // in points
};

// Qt's PDF writer leaves the page objects uncompressed: count them and read their sizes.
PdfFacts readPdf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.readAll());
    PdfFacts facts;
    static const QRegularExpression page(u"/Type\\s*/Page(?!s)"_qs);
    facts.pages = int(text.count(page));
    static const QRegularExpression box(
        u"/MediaBox\\s*\\[\\s*([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s*\\]"_qs);
    for (auto it = box.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        facts.mediaBoxes << QSizeF(m.captured(3).toDouble() - m.captured(1).toDouble(),
                                   m.captured(4).toDouble() - m.captured(2).toDouble());
    }
    return facts;
}

bool isA4Portrait(QSizeF points)
{
    return qAbs(points.width() - 595.3) < 1.0 && qAbs(points.height() - 841.9) < 1.0;
}

qreal px(qreal mm)
{
    return mm * Dpi / 25.4;
}
qreal mm(qreal pixels)
{
    return pixels * 25.4 / Dpi;
}

// The report's pages as whole A4 pages at Dpi, painted by the same page loop as the devices.
std::deque<QImage> renderPages(const ReadingTable &table)
{
    std::deque<QImage> pages;
    QPainter painter;
    auto begin = [&] {
        QImage &image = pages.emplace_back(qRound(px(210)), qRound(px(297)), QImage::Format_RGB32);
        image.fill(Qt::white);
        painter.begin(&image);
        painter.translate(px(TableReport::MarginMm), px(TableReport::MarginMm));
    };
    begin();
    TableReport::paintPages(painter, QSizeF(Dpi / 25.4, Dpi / 25.4), table, table.rowCount(), [&] {
        painter.end();
        begin();
    });
    painter.end();
    return pages;
}

// Bounds of the ink inside an area of the page, in millimetres from the page's corner.
std::optional<QRectF> inkIn(const QImage &page, const QRectF &areaMm)
{
    const QRect area
        = QRect(QPoint(qRound(px(areaMm.left())), qRound(px(areaMm.top()))),
                QPoint(qRound(px(areaMm.right())) - 1, qRound(px(areaMm.bottom())) - 1))
              .intersected(page.rect());
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(page.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(line[x]) < 160) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
        }
    }
    if (right < 0)
        return std::nullopt;
    return QRectF(QPointF(mm(left), mm(top)), QPointF(mm(right), mm(bottom)));
}

QImage crop(const QImage &page, const QRectF &areaMm)
{
    return page.copy(QRectF(QPointF(px(areaMm.left()), px(areaMm.top())),
                            QPointF(px(areaMm.right()), px(areaMm.bottom())))
                         .toRect());
}

// Bands on the page, in millimetres from the page's corner.
constexpr qreal Left = TableReport::MarginMm;
constexpr qreal Top = TableReport::MarginMm;
constexpr qreal Width = TableReport::BandWidthMm;

QRectF detailBand(int line)
{
    return {Left, Top + 2 * TableReport::HeaderHeightMm + line * TableReport::DetailHeightMm, Width,
            TableReport::DetailHeightMm};
}

QRectF footerBand()
{
    return {Left, Top + TableReport::FooterTopMm, Width, TableReport::HeaderHeightMm};
}

} // namespace

void TestTablePrint::pagination_data()
{
    QTest::addColumn<qsizetype>("rows");
    QTest::addColumn<qsizetype>("pages");
    QTest::addColumn<qsizetype>("rowsOnLastPage");
    QTest::newRow("empty: headers only") << qsizetype(0) << qsizetype(1) << qsizetype(0);
    QTest::newRow("one") << qsizetype(1) << qsizetype(1) << qsizetype(1);
    QTest::newRow("full page") << qsizetype(37) << qsizetype(1) << qsizetype(37);
    QTest::newRow("one over") << qsizetype(38) << qsizetype(2) << qsizetype(1);
    QTest::newRow("two full pages") << qsizetype(74) << qsizetype(2) << qsizetype(37);
    QTest::newRow("third page") << qsizetype(75) << qsizetype(3) << qsizetype(1);
}

void TestTablePrint::pagination()
{
    QFETCH(qsizetype, rows);
    QFETCH(qsizetype, pages);
    QFETCH(qsizetype, rowsOnLastPage);
    QCOMPARE(TableReport::rowsPerPage(), 37);
    QCOMPARE(TableReport::pageCount(rows), pages);
    // Every row once, in order, on consecutive pages.
    qsizetype next = 0;
    for (qsizetype page = 0; page < pages; ++page) {
        const TableReport::PageRows on = TableReport::pageRows(page, rows);
        QCOMPARE(on.first, next);
        next += on.count;
    }
    QCOMPARE(next, rows);
    QCOMPARE(TableReport::pageRows(pages - 1, rows).count, rowsOnLastPage);
}

void TestTablePrint::pdfFile_data()
{
    QTest::addColumn<qsizetype>("rows");
    QTest::addColumn<int>("pages");
    QTest::newRow("empty table") << qsizetype(0) << 1;
    QTest::newRow("full page") << qsizetype(37) << 1;
    QTest::newRow("one over") << qsizetype(38) << 2;
}

void TestTablePrint::pdfFile()
{
    QFETCH(qsizetype, rows);
    QFETCH(int, pages);
    ReadingTable table;
    fill(table, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.pdf"_qs);
    QString error;
    QVERIFY2(TableReport::writePdf(table, path, &error), qPrintable(error));

    const PdfFacts pdf = readPdf(path);
    QCOMPARE(pdf.pages, pages);
    QCOMPARE(pdf.mediaBoxes.size(), pages);
    for (const QSizeF &box : pdf.mediaBoxes)
        QVERIFY2(isA4Portrait(box), qPrintable(u"%1 x %2"_qs.arg(box.width()).arg(box.height())));
}

void TestTablePrint::pdfToAPathThatCannotBeWritten()
{
    ReadingTable table;
    fill(table, 3);
    QTemporaryDir dir;
    QString error;
    QVERIFY(!TableReport::writePdf(table, dir.filePath(u"missing/report.pdf"_qs), &error));
    QVERIFY(!error.isEmpty());
}

void TestTablePrint::pdfFollowsTheWriterRule_data()
{
    QTest::addColumn<QString>("target"); // what report.pdf is before the report is written
    QTest::newRow("new file") << u"none"_qs;
    QTest::newRow("FIFO") << u"FIFO"_qs;
    QTest::newRow("link to a file") << u"link"_qs;
    QTest::newRow("earlier file, disk full part way") << u"file"_qs;
}

// The document written to a file is the one written to memory, byte for byte (the time it was
// made aside); it reaches a FIFO and a link's file, and a failure keeps an earlier file.
void TestTablePrint::pdfFollowsTheWriterRule()
{
    QFETCH(QString, target);
    ReadingTable table;
    fill(table, 1000);
    const auto sameDay = [](QByteArray pdf) {
        static const QRegularExpression made(u"/CreationDate \\(D:[^)]*\\)"_qs);
        return QString::fromLatin1(pdf).replace(made, u"/CreationDate ()"_qs).toLatin1();
    };
    QBuffer memory;
    memory.open(QIODevice::WriteOnly);
    QVERIFY(TableReport::writePdf(table, memory));
    const QByteArray expected = sameDay(memory.data());
    QVERIFY(expected.size() > 64 * 1024); // more than a pipe holds at once

    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.pdf"_qs);
    const QString real = dir.filePath(u"real/report.pdf"_qs);
    const QByteArray earlier = "earlier report";
    std::unique_ptr<FifoReader> fifo;
    if (target == u"FIFO"_qs) {
        fifo = std::make_unique<FifoReader>(path);
        QVERIFY(fifo->isValid());
    } else if (target == u"link"_qs) {
        QVERIFY(QDir().mkpath(dir.filePath(u"real"_qs)));
        QVERIFY(QFile::link(real, path));
    } else if (target == u"file"_qs) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(earlier), earlier.size());
    }

    QString error;
    bool written = false;
    {
        std::optional<FileSizeLimit> limit;
        if (target == u"file"_qs)
            limit.emplace(16 * 1024);
        written = TableReport::writePdf(table, path, &error);
    }
    QCOMPARE(fileKind(path), target == u"none"_qs ? u"file"_qs : target);
    if (target == u"file"_qs) {
        QVERIFY(!written);
        QVERIFY2(error.contains(path), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), earlier);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList {u"report.pdf"_qs});
        return;
    }
    QVERIFY2(written, qPrintable(error));
    QByteArray bytes;
    if (fifo) {
        bytes = fifo->bytes();
    } else {
        QFile file(target == u"link"_qs ? real : path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }
    QCOMPARE(sameDay(bytes), expected);
}

void TestTablePrint::firstPagePlacement()
{
    ReadingTable table;
    fill(table, 38);
    const std::deque<QImage> pages = renderPages(table);
    QCOMPARE(pages.size(), size_t(2));
    const QImage &page = pages.front();

    // The title is centred on the band.
    const auto title = inkIn(page, {Left, Top, Width, TableReport::HeaderHeightMm});
    QVERIFY(title);
    QVERIFY2(qAbs(title->center().x() - (Left + Width / 2)) < 1.0,
             qPrintable(QString::number(title->center().x())));

    // The first row's fields start at their column positions, below the band's text top.
    const QRectF row = detailBand(0);
    struct Expected
    {
        qreal from, to, left;
    };
    for (const Expected &e : {Expected {0, 30, 8.47}, Expected {30, 60, 33.87},
                              Expected {60, 95, 65.62}, Expected {125, 160, 131.23}}) {
        const auto ink = inkIn(page, {Left + e.from, row.top(), e.to - e.from, row.height()});
        QVERIFY(ink);
        QVERIFY2(ink->left() >= Left + e.left - 0.1 && ink->left() < Left + e.left + 0.6,
                 qPrintable(u"column at %1 mm: ink from %2 mm"_qs.arg(e.left).arg(ink->left())));
        QVERIFY(ink->top() >= row.top() + 2.12);
    }
    // All 37 lines are used and nothing is painted between the last one and the footer.
    QVERIFY(inkIn(page, detailBand(36)));
    QVERIFY(!inkIn(
        page,
        QRectF(QPointF(Left, detailBand(37).top()), QPointF(Left + Width, footerBand().top()))));

    // The footer sits at the bottom of the printable area, above the bottom margin.
    const auto footer = inkIn(page, footerBand());
    QVERIFY(footer);
    QVERIFY(footer->top() >= footerBand().top() + 4.23);
    QVERIFY2(footer->bottom() <= 297 - TableReport::MarginMm,
             qPrintable(QString::number(footer->bottom())));
    QVERIFY(qAbs(footer->left() - (Left + 8.47)) < 0.6);
    // Nothing in the margins.
    QVERIFY(!inkIn(page, {0, 0, 210, Top}));
    QVERIFY(!inkIn(page, {0, 297 - TableReport::MarginMm, 210, TableReport::MarginMm}));
    QVERIFY(!inkIn(page, {0, 0, Left, 297}));
}

void TestTablePrint::lastPageHoldsTheRemainingRowUnderItsOwnHeaders()
{
    ReadingTable table;
    fill(table, 38);
    const std::deque<QImage> pages = renderPages(table);
    QCOMPARE(pages.size(), size_t(2));
    const QImage &first = pages.front();
    const QImage &last = pages.back();

    const QRectF headers(Left, Top, Width, 2 * TableReport::HeaderHeightMm);
    QVERIFY(inkIn(last, headers));
    QCOMPARE(inkIn(last, headers), inkIn(first, headers));
    QVERIFY(inkIn(last, detailBand(0)));
    QVERIFY(!inkIn(
        last,
        QRectF(QPointF(Left, detailBand(1).top()), QPointF(Left + Width, footerBand().top()))));
    QCOMPARE(inkIn(last, footerBand()), inkIn(first, footerBand()));
    // Row 38, not row 1 again: its time differs in the last digits.
    const QRectF time(Left + 30, detailBand(0).top(), 30, TableReport::DetailHeightMm);
    QCOMPARE_NE(crop(last, time), crop(first, time));
}

void TestTablePrint::unitStarIsTheOhmSymbol()
{
    // A plain "*" is a small star high in the line; the ohm sign stands a capital letter tall
    // on the baseline, like the "V" above it.
    ReadingTable table;
    table.append(rowNumber(1, u"V"_qs));
    table.append(rowNumber(2, u"*"_qs));
    const QImage page = renderPages(table).front();
    auto unitInk = [&](int line) {
        const QRectF band = detailBand(line);
        return inkIn(page, {Left + 125, band.top(), 30, band.height()});
    };
    const auto volt = unitInk(0);
    const auto ohm = unitInk(1);
    QVERIFY(volt && ohm);
    const qreal rowStep = TableReport::DetailHeightMm;
    QVERIFY2(qAbs(ohm->bottom() - rowStep - volt->bottom()) < mm(2.5),
             qPrintable(u"%1 vs %2"_qs.arg(ohm->bottom() - rowStep).arg(volt->bottom())));
    QVERIFY2(qAbs(ohm->top() - rowStep - volt->top()) < mm(2.5),
             qPrintable(u"%1 vs %2"_qs.arg(ohm->top() - rowStep).arg(volt->top())));
}

void TestTablePrint::printCommand_data()
{
    QTest::addColumn<qsizetype>("rowsAtClick");
    QTest::addColumn<qsizetype>("rowsRecordedMeanwhile");
    QTest::addColumn<int>("pages");
    QTest::newRow("full page") << qsizetype(37) << qsizetype(0) << 1;
    QTest::newRow("one over") << qsizetype(38) << qsizetype(0) << 2;
    QTest::newRow("rows recorded later stay out") << qsizetype(37) << qsizetype(5) << 1;
}

void TestTablePrint::printCommand()
{
    QFETCH(qsizetype, rowsAtClick);
    QFETCH(qsizetype, rowsRecordedMeanwhile);
    QFETCH(int, pages);
    TestWindow w;
    ReadingRecorder &recorder = w.window->recorder();
    fill(recorder.table(), rowsAtClick);
    recorder.model().rowsAppended();
    auto *grid = w.find<QTableView>(u"DBGrid1"_qs);
    if (rowsAtClick > 0)
        grid->setCurrentIndex(grid->model()->index(int(rowsAtClick / 2), 0));
    const QModelIndex current = grid->currentIndex();

    w.find<QToolButton>(u"MajPrint"_qs)->click();
    QCOMPARE(w.prompts.shown.size(), 1);
    QCOMPARE(w.prompts.shown.front().kind, u"printPreview"_qs);
    QVERIFY(w.prompts.lastPreview);
    QCOMPARE(grid->currentIndex(), current);

    fill(recorder.table(), rowsRecordedMeanwhile);
    recorder.model().rowsAppended();

    // A printer left on other settings: the report puts its own on it.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"preview.pdf"_qs);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setCopyCount(3);
    printer.setDuplex(QPrinter::DuplexLongSide);
    w.prompts.lastPreview(&printer);

    QCOMPARE(printer.copyCount(), 1);
    QCOMPARE(printer.duplex(), QPrinter::DuplexNone);
    QCOMPARE(printer.printRange(), QPrinter::AllPages);
    const QPageLayout layout = printer.pageLayout();
    QCOMPARE(layout.orientation(), QPageLayout::Portrait);
    QCOMPARE(layout.margins(QPageLayout::Millimeter), QMarginsF(10, 10, 10, 10));
    const PdfFacts pdf = readPdf(path);
    QCOMPARE(pdf.pages, pages);
    QCOMPARE(pdf.mediaBoxes.size(), pages);
    for (const QSizeF &box : pdf.mediaBoxes)
        QVERIFY2(isA4Portrait(box), qPrintable(u"%1 x %2"_qs.arg(box.width()).arg(box.height())));
}

// The report is not printed for an empty table: Print shows no preview and starts no job, also
// when rows arrive afterwards.
void TestTablePrint::emptyTablePrintsNothing()
{
    TestWindow w;
    w.window->show();
    w.find<QToolButton>(u"MajPrint"_qs)->click();
    QVERIFY(w.prompts.shown.isEmpty());
    QVERIFY(!w.prompts.lastPreview);

    // Rows recorded and New pressed: empty again, nothing printed again.
    ReadingRecorder &recorder = w.window->recorder();
    fill(recorder.table(), 2);
    recorder.model().rowsAppended();
    w.find<QToolButton>(u"RecordNew"_qs)->click();
    w.prompts.clear();
    w.find<QToolButton>(u"MajPrint"_qs)->click();
    QVERIFY(w.prompts.shown.isEmpty());
    QVERIFY(!w.prompts.lastPreview);
}

QTEST_MAIN(TestTablePrint)
#include "tst_tableprint.moc"
