#pragma once

#include <QSizeF>
#include <QString>
#include <QtGlobal>
#include <functional>

class QIODevice;
class QPagedPaintDevice;
class QPainter;
class ReadingTable;

// The printed list of the reading table: A4 portrait pages with 10 mm margins, each with the
// page header, the column header, up to rowsPerPage() rows and the page footer. The same
// routine draws onto the print preview's printer and into PDF files.
//
// An empty table still gives one page with the headers and the footer, so the preview never
// comes up blank and a converted file is always a valid document.
namespace TableReport {

// Layout in millimetres, from the top-left corner of the printable area.
constexpr qreal PageWidthMm = 210.0;
constexpr qreal PageHeightMm = 297.0;
constexpr qreal MarginMm = 10.0;
constexpr qreal PrintableHeightMm = PageHeightMm - 2 * MarginMm;
constexpr qreal BandWidthMm = 189.97;
constexpr qreal HeaderHeightMm = 10.58; // page header, column header and page footer
constexpr qreal DetailHeightMm = 6.61;
constexpr qreal FooterTopMm = PrintableHeightMm - HeaderHeightMm;
constexpr qreal FontPoints = 10.0;

inline const QString Title = u"The Data Print Title"_qs;
inline const QString Footer = u"The Data Print Foot"_qs;

// Rows that fit between the headers and the footer of one page.
int rowsPerPage();
// Pages for a table of the given rows; at least one.
qsizetype pageCount(qsizetype rows);

// The rows one page holds.
struct PageRows
{
    qsizetype first = 0;
    qsizetype count = 0;
    friend bool operator==(const PageRows &, const PageRows &) = default;
};
PageRows pageRows(qsizetype page, qsizetype rows);

// A4 portrait, 10 mm margins, in millimetres. Call before painting begins on the device.
void setUpPage(QPagedPaintDevice &device);

// Paints one page. The painter's origin is the top-left corner of the printable area;
// dotsPerMm converts millimetres to the painter's units, which are device pixels.
void paintPage(QPainter &painter, QSizeF dotsPerMm, const ReadingTable &table, PageRows rows);

// Paints the first rowCount rows of the table page after page; newPage is called between
// pages and leaves the painter active on the next one.
void paintPages(QPainter &painter, QSizeF dotsPerMm, const ReadingTable &table, qsizetype rowCount,
                const std::function<void()> &newPage);

// Sets up the page, opens a painter on the device and paints the first rowCount rows
// (clamped to the table's rows). False when the device cannot be painted on.
bool paint(QPagedPaintDevice &device, const ReadingTable &table, qsizetype rowCount);

// The report of every row as a PDF document. On failure error (when given) says why.
bool writePdf(const ReadingTable &table, const QString &path, QString *error = nullptr);
bool writePdf(const ReadingTable &table, QIODevice &out, QString *error = nullptr);

} // namespace TableReport
