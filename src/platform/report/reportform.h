#pragma once
// Report forms as plain data: one page set-up and one band of printables in
// z-order. A form design is a value built by a factory (src/reports/forms.h);
// a form instance is a copy that remembers its design, so "recreate" throws
// away everything done to it since (run-time items, moved items, page values).
//
// Geometry is held in millimetres relative to the band origin (the page's
// top-left corner plus the left and top margins). Layout pixels (96 per inch
// at the form's zoom) are derived from it and written back into it, so the two
// never drift apart.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>

class QPainter;

namespace report {

// Errors of the report layer (unknown item, printer missing, file not
// writable). The handler guard shows what() in a message box.
class ReportError : public std::runtime_error
{
public:
    explicit ReportError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// The record a form's data texts read from: field name -> value.
// An invalid QVariant prints as an empty text.
using Record = std::function<QVariant(const QString &field)>;

// A record over a map; field names compare without regard to case
// ("shelfID" finds the column "shelfid").
Record recordFromMap(const QVariantMap &values);
// The record of a form that has no data source bound: every field empty.
Record emptyRecord();
// How a field value prints: dates as yyyy-MM-dd, times as hh:mm, null as "".
QString fieldText(const QVariant &value);

// Millimetres <-> layout pixels at a zoom in percent (100: 0.2646 mm per px).
int mmToPx(double mm, int zoom = 100);
double pxToMm(double px, int zoom = 100);

// The installed face that prints a design's family: "宋体" in a Ming face
// with half-em digits, "仿宋" in a Kai face, "黑体" in a sans face. Other
// families print as named.
QString reportFace(const QString &family);

struct FontSpec
{
    QString family = QStringLiteral("宋体");
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
    QColor color = Qt::black;

    // The font that prints it (reportFace of the family).
    QFont toQFont() const;
};

enum class ItemKind { Label, DataText, HLine, VLine, Rect, Image, Chart };
enum class Align { Left, Center, Right };

// Paints a chart into a rectangle given in device pixels; pxPerMm lets it size
// pens and fonts for the device (a preview page or a printer page).
using ChartPainter = std::function<void(QPainter &painter, const QRectF &deviceRect, double pxPerMm)>;

struct ReportItem
{
    ItemKind kind = ItemKind::Label;
    QString name;
    QRectF mm;                 // left, top, width, height from the band origin

    // Labels and data texts.
    QString text;              // label caption
    QString field;             // data text: the record's field
    FontSpec font;
    Align align = Align::Left;
    bool autoSize = true;      // width follows the text (keeps left, or centre when centred)
    bool autoStretch = false;  // height grows to the wrapped text
    bool wordWrap = false;     // wrap within the width (when not auto-sized)
    // A single-line text wider than this (mm, 0: no limit) prints in
    // smaller type (down to half size) and beyond that is cut at the last
    // character that fits, so it never runs into its neighbour.
    double maxWidthMm = 0;
    // A single-line text ends (as maxWidthMm) before the nearest caption, text, picture or
    // vertical rule to its right on its line, or else at the end of the
    // band's rules (the band's width without any).
    bool cutAtNeighbour = false;
    QColor background;         // invalid: transparent

    // Shapes: pen width in layout pixels (at the form's zoom).
    double penWidth = 1;

    QImage image;              // stretched into the box
    ChartPainter chart;

    bool runtime = false;      // added after the form was made from its design

    QRect pxRect(int zoom) const;
    void setPxRect(const QRect &px, int zoom);
};

// Width and height of a single-line text in millimetres, measured at the
// resolution of a printer (1200 per inch), so that the widths a layout
// takes are the widths that print.
QSizeF measureTextMm(const QString &text, const FontSpec &font);
// The same width in layout pixels at a zoom, rounded.
int textWidthPx(const QString &text, const FontSpec &font, int zoom = 100);

class ReportForm
{
public:
    ReportForm() = default;

    // A working copy of a design; recreate() returns it to that design.
    static ReportForm instanceOf(const ReportForm &design);
    void recreate();
    bool hasDesign() const { return bool(m_design); }

    // Names: class, instance and unit of the form, band name.
    QString className;
    QString instanceName;
    QString unitName;
    QString bandName = QStringLiteral("DetailBand1");
    QSizeF bandMm;                           // band width x height

    // Page set-up.
    QPageSize pageSize = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm;                     // left, top, right, bottom (QMarginsF order)
    int zoom = 100;
    int printerIndex = -1;                   // -1: the default printer
    int copies = 1;
    QString title;                           // print job name

    // The whole page (margins, band, type, pens and pictures) prints at this
    // size: a form laid out for one sheet and printed on a smaller one.
    double scale = 1;

    void setPageMm(double width, double length);     // a custom paper, exact size
    // Prints the form on another paper, shrunk or enlarged as a whole so that
    // the width it was laid out for fills the paper's width. A sheet of the
    // same shape (A4 on B5) then holds the whole report, only smaller.
    void fitToPaper(const QPageSize &paper);
    void setMargins(double top, double left, double bottom, double right);
    QPageLayout pageLayout() const;                  // margins are not part of it: the band is placed by resolve()

    // Printables in z-order (later ones print on top). References stay valid
    // while items are added; removing an item invalidates only its own.
    const std::deque<ReportItem> &items() const { return m_items; }
    ReportItem *find(const QString &name);
    const ReportItem *find(const QString &name) const;
    ReportItem &item(const QString &name);              // throws ReportError when missing
    const ReportItem &item(const QString &name) const;

    // Design-time and run-time additions. Run-time items (the default) are
    // dropped by recreate().
    ReportItem &add(ReportItem item, bool runtime = true);
    ReportItem &addLabel(const QString &name, const QString &caption, const FontSpec &font,
                         const QRect &px, Align align = Align::Left);
    bool remove(const QString &name);
    int removeRuntimeItems();

    // Sets a label's caption; an auto-sized label takes the caption's width now,
    // so its pixel geometry can anchor the next item.
    void setCaption(ReportItem &label, const QString &caption);
    void setCaption(const QString &name, const QString &caption) { setCaption(item(name), caption); }
    // Pixel geometry at the form's zoom.
    QRect px(const QString &name) const { return item(name).pxRect(zoom); }
    void setPx(ReportItem &it, const QRect &px) { it.setPxRect(px, zoom); }
    // A copy of another picture, stretched into the image box.
    void setImage(const QString &name, const QImage &image);

private:
    std::deque<ReportItem> m_items;
    std::shared_ptr<const ReportForm> m_design;
};

// Convenience builders for design tables.
ReportItem makeLabel(const QString &name, const QString &caption, const FontSpec &font,
                     double left, double top, double width, double height, Align align = Align::Left);
ReportItem makeDataText(const QString &name, const QString &field, const FontSpec &font,
                        double left, double top, double width, double height);
ReportItem makeHLine(const QString &name, double left, double top, double width, double height, double pen);
ReportItem makeVLine(const QString &name, double left, double top, double width, double height, double pen);
ReportItem makeRect(const QString &name, double left, double top, double width, double height, double pen);
ReportItem makeImage(const QString &name, double left, double top, double width, double height);

} // namespace report
