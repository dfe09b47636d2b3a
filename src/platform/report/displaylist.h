#pragma once
// A form and its record resolved into what lands on paper: texts, lines,
// rectangles, images and charts at absolute page positions in millimetres.
// Tests read the list; one painter draws it on a printer, a PDF or a preview.
#include "platform/report/reportform.h"

#include <QLineF>
#include <vector>

class QPainter;

namespace report {

struct Primitive
{
    enum Kind { Text, Line, Rect, Image, Chart };
    Kind kind = Text;
    QString item;          // the item it comes from
    QRectF mm;             // Text: the line's box (top = top of the line); Rect/Image/Chart: the box
    QLineF line;           // Line: from/to in mm
    double penMm = 0;      // Line/Rect
    QString text;          // Text: one line
    FontSpec font;         // Text
    Align align = Align::Left;   // Text: centred and right-aligned lines are placed in box when drawn
    QRectF box;            // Text: the item's box on the page
    QColor background;     // Text: filled behind the line when valid
    QImage image;
    ChartPainter chart;
};

struct DisplayList
{
    QPageLayout page;                 // paper and orientation; no margins (positions are absolute)
    QString title;
    int printerIndex = -1;
    std::vector<Primitive> prims;     // in z-order

    // Helpers for checks: every text primitive of an item, or whose text equals a value.
    std::vector<const Primitive *> ofItem(const QString &item) const;
    std::vector<const Primitive *> withText(const QString &text) const;
    QSizeF pageSizeMm() const;
};

// Resolves a form with the record its data texts read. Auto-sized texts take
// their measured width; word-wrapped labels break within their width; lines run
// through the middle of their box. Nothing is clipped at the band: the page
// alone bounds what prints.
DisplayList resolve(const ReportForm &form, const Record &record);

// Paints one page onto a painter whose device is the page (origin at the
// paper's corner, as a full-page printer, a QPdfWriter without margins, or an
// image of the page).
void paintPage(QPainter &painter, const DisplayList &page);

// Writes pages to one PDF file (one page each, each with its own paper).
// Throws ReportError when the file cannot be written.
void renderPdf(const std::vector<DisplayList> &pages, const QString &fileName);

// One page as a picture at a resolution (dots per inch), white background.
QImage renderImage(const DisplayList &page, double dpi = 96);

} // namespace report
