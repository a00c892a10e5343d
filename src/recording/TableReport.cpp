#include "recording/TableReport.h"

#include "meter/MeterGlyphs.h"
#include "recording/ReadingTable.h"
#include "support/SafeFileWriter.h"
#include "support/WindowLook.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace TableReport {

namespace {

constexpr qreal TitleBoxWidthMm = 35.45;
constexpr qreal TitleTopMm = 2.12;
constexpr qreal LabelTopMm = 4.23; // column labels and footer
constexpr qreal FieldTopMm = 2.12;
constexpr qreal FooterLeftMm = 8.47;
constexpr qreal DetailTopMm = 2 * HeaderHeightMm;
constexpr qreal MmPerInch = 25.4;

// One printed column: its label in the column header and its field in the detail band. Range
// and Nval are not printed.
struct Column
{
    const char16_t *label;
    qreal labelLeft;
    bool labelInDisplayFont;
    ReadingTable::Field field;
    qreal fieldLeft;
    bool fieldInDisplayFont; // the meter's symbols are painted only in the display font
};

constexpr Column Columns[] = {
    {u"No", 8.47, true, ReadingTable::No, 8.47, false},
    {u"Time", 33.87, true, ReadingTable::Time, 33.87, false},
    {u"FUNCTION", 64.29, false, ReadingTable::DcAc, 65.62, false},
    {u"Value", 99.48, true, ReadingTable::Value, 99.48, false},
    {u"Unit", 132.29, true, ReadingTable::Unit, 131.23, true},
    {u"Auto|Manu", 162.98, true, ReadingTable::Auto, 162.98, true},
};

// The fonts of one page, sized for the device: pixel sizes keep the glyph painter's metrics
// and the device in step whatever the device's resolution.
class PageFonts
{
public:
    explicit PageFonts(qreal dotsPerMmY)
        : m_display(make(dotsPerMmY, true))
        , m_plain(make(dotsPerMmY, false))
        , m_displayAscent(QFontMetricsF(m_display.font()).ascent())
        , m_plainAscent(QFontMetricsF(m_plain).ascent())
    {
    }

    // Both draw with the top of the text's line at top.
    void display(QPainter &p, qreal left, qreal top, const QString &text) const
    {
        m_display.drawAt(p, QPointF(left, top + m_displayAscent), text);
    }
    void plain(QPainter &p, qreal left, qreal top, const QString &text) const
    {
        p.setFont(m_plain);
        p.drawText(QPointF(left, top + m_plainAscent), text);
    }
    void either(bool inDisplay, QPainter &p, qreal left, qreal top, const QString &text) const
    {
        if (text.isEmpty())
            return;
        if (inDisplay)
            display(p, left, top, text);
        else
            plain(p, left, top, text);
    }
    qreal displayWidth(const QString &text) const { return m_display.width(text); }

private:
    static QFont make(qreal dotsPerMmY, bool bold)
    {
        const int pixels = std::max(1, qRound(FontPoints / 72.0 * MmPerInch * dotsPerMmY));
        QFont f = WindowLook::arial(pixels, bold);
        // Unhinted advances measure the same on screen, in images and in PDF files.
        f.setHintingPreference(QFont::PreferNoHinting);
        return f;
    }

    MeterGlyphs m_display;
    QFont m_plain;
    qreal m_displayAscent;
    qreal m_plainAscent;
};

} // namespace

int rowsPerPage()
{
    // The small allowance keeps a band that ends exactly on the footer from being lost to
    // rounding.
    return int(std::floor((PrintableHeightMm - 3 * HeaderHeightMm) / DetailHeightMm + 1e-9));
}

qsizetype pageCount(qsizetype rows)
{
    const qsizetype perPage = rowsPerPage();
    return std::max<qsizetype>(1, (rows + perPage - 1) / perPage);
}

PageRows pageRows(qsizetype page, qsizetype rows)
{
    const qsizetype perPage = rowsPerPage();
    const qsizetype first = page * perPage;
    return {first, std::clamp<qsizetype>(rows - first, 0, perPage)};
}

void setUpPage(QPagedPaintDevice &device)
{
    const QMarginsF margins(MarginMm, MarginMm, MarginMm, MarginMm);
    if (!device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins,
                                          QPageLayout::Millimeter))) {
        // A printer refuses the whole layout when its own minimum margins are wider; keep
        // the paper and the orientation at least.
        device.setPageSize(QPageSize(QPageSize::A4));
        device.setPageOrientation(QPageLayout::Portrait);
        device.setPageMargins(margins, QPageLayout::Millimeter);
    }
}

void paintPage(QPainter &painter, QSizeF dotsPerMm, const ReadingTable &table, PageRows rows)
{
    const qreal mx = dotsPerMm.width();
    const qreal my = dotsPerMm.height();
    const PageFonts fonts(my);

    painter.save();
    painter.setPen(QColor(Qt::black));
    painter.setBrush(Qt::NoBrush);

    // Page header: the title centred in its box, the box centred on the band.
    const qreal titleBoxLeft = (BandWidthMm - TitleBoxWidthMm) / 2 * mx;
    const qreal titleLeft = titleBoxLeft + (TitleBoxWidthMm * mx - fonts.displayWidth(Title)) / 2;
    fonts.display(painter, titleLeft, TitleTopMm * my, Title);

    for (const Column &c : Columns) {
        fonts.either(c.labelInDisplayFont, painter, c.labelLeft * mx,
                     (HeaderHeightMm + LabelTopMm) * my, QString::fromUtf16(c.label));
    }

    for (qsizetype i = 0; i < rows.count; ++i) {
        const qreal top = (DetailTopMm + qreal(i) * DetailHeightMm + FieldTopMm) * my;
        for (const Column &c : Columns) {
            fonts.either(c.fieldInDisplayFont, painter, c.fieldLeft * mx, top,
                         table.text(rows.first + i, c.field));
        }
    }

    fonts.display(painter, FooterLeftMm * mx, (FooterTopMm + LabelTopMm) * my, Footer);
    painter.restore();
}

void paintPages(QPainter &painter, QSizeF dotsPerMm, const ReadingTable &table, qsizetype rowCount,
                const std::function<void()> &newPage)
{
    const qsizetype pages = pageCount(rowCount);
    for (qsizetype page = 0; page < pages; ++page) {
        if (page > 0)
            newPage();
        paintPage(painter, dotsPerMm, table, pageRows(page, rowCount));
    }
}

bool paint(QPagedPaintDevice &device, const ReadingTable &table, qsizetype rowCount)
{
    setUpPage(device);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QSizeF dotsPerMm(device.logicalDpiX() / MmPerInch, device.logicalDpiY() / MmPerInch);
    // Rows may have gone since the count was taken (the table was cleared); never read past
    // the end.
    const qsizetype rows = std::clamp<qsizetype>(rowCount, 0, table.rowCount());
    paintPages(painter, dotsPerMm, table, rows, [&device] { device.newPage(); });
    return painter.end();
}

bool writePdf(const ReadingTable &table, const QString &path, QString *error)
{
    // Streamed through the writer every output file goes through: a failed report never
    // leaves a torn file or destroys an earlier one, and a pipe gets the document itself.
    SafeFileWriter file(path);
    bool ok = file.open();
    QString reason;
    if (ok && !writePdf(table, file.device(), &reason))
        ok = file.errorString().isEmpty() ? file.abandon(reason) : false; // a write said why
    ok = ok && file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}

bool writePdf(const ReadingTable &table, QIODevice &out, QString *error)
{
    if (!out.isWritable()) {
        if (error)
            *error = u"The report's output is not open for writing"_qs;
        return false;
    }
    QPdfWriter writer(&out);
    writer.setTitle(Title);
    writer.setCreator(u"MeterLink"_qs);
    if (!paint(writer, table, table.rowCount())) {
        if (error)
            *error = out.errorString().isEmpty() ? u"The report could not be written"_qs
                                                 : out.errorString();
        return false;
    }
    return true;
}

} // namespace TableReport
