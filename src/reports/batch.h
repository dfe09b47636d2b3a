#pragma once
// Batch printing: the selection of a range of day samples, the pages that
// put three text reports or two graphic reports on one A4 sheet, and the
// run that prints them (or one report per sample for the other papers),
// stamping each first print only once its page was handed to the printer.
#include "reports/printsettings.h"
#include "reports/singlereport.h"

#include <QVariantMap>
#include <array>
#include <functional>
#include <vector>

namespace db { class Dataset; }

namespace reports {

// ---- selection --------------------------------------------------------------
// The print-state condition of the sample list's filter mode (1 unprinted,
// 2 printed, anything else none); a fixed text, appended to the selection.
QString printFilterClause(int printfilter);
// Day samples whose numbers have a numeric value from lo to hi (both as the
// user typed them, compared as numbers), in number order. Two parameters.
QString batchSelectionSql(int printfilter);

// ---- layout -------------------------------------------------------------------
enum class BatchLayout { TextPages, GraphicPages, OnePerSample };
BatchLayout batchLayoutFor(const PrintSettings &s);
constexpr int TextSlots = 3, GraphicSlots = 2;
constexpr int TextSlotMm = 99, GraphicSlotMm = 148;
inline int slotOffset(BatchLayout l, int slot)
{
    return (slot - 1) * (l == BatchLayout::GraphicPages ? GraphicSlotMm : TextSlotMm);
}

// ---- page builders ------------------------------------------------------------
// Every control a builder puts on a page is named after its slot, so a
// slot's controls are found again by name: "s2_QRLabel14", "s2_row_value_5".
QString slotName(int slot, const QString &templateName);
// The names of one slot's controls on a page, in the order they were made.
QStringList slotcontrols(const report::ReportForm &page, int slot);

// Text page (frmtestreport3) from the text report (frmtestreport2).
void createreporthead(report::ReportForm &page, const report::ReportForm &tmpl, const QVariantMap &patient,
                      int slot, int offset);
void createreportbody(report::ReportForm &page, const report::ReportForm &tmpl, const QVariantMap &patient,
                      const std::vector<ResultRow> &rows, int slot);
void createreportfooter(report::ReportForm &page, const report::ReportForm &tmpl, const QVariantMap &patient,
                        int slot, int offset);
// Graphic page (frmtestreport4) from the graphic half-sheet report
// (frmtestreport); the images are Image1..Image4 of the printed sample.
void createA5reporthead(report::ReportForm &page, const report::ReportForm &tmpl, const QVariantMap &patient,
                        int slot, int offset);
void createA5reportbody(report::ReportForm &page, const report::ReportForm &tmpl, const QVariantMap &patient,
                        const std::vector<ResultRow> &rows, const std::array<QImage, 4> &images, int slot);
void createA5reportfooter(report::ReportForm &page, const report::ReportForm &tmpl, const QVariantMap &patient,
                          int slot, int offset);

// Row pitch (layout pixels) and the rows of the left column of a slot with
// n result rows. Up to 26 rows keep the report's own pitch; longer lists are
// squeezed so that no row leaves its slot.
int textSlotPitch(const report::ReportForm &tmpl, int n);
int textSlotLeftRows(int n);
int graphicSlotPitch(const report::ReportForm &tmpl, int n);

// ---- the run --------------------------------------------------------------------
struct BatchHooks
{
    // The four graph pictures of a sample (the caller draws its graph row).
    std::function<std::array<QImage, 4>(db::Dataset &patient, db::Dataset &graph)> graphs;
    // Called after each selected sample with its record number (from 1).
    std::function<void(int recNo)> progress;
    // Called once the selection is known not to be empty, with its size.
    std::function<void(int count)> selected;
};

struct BatchResult
{
    enum Outcome { Done, NothingSelected, Refused, Failed };
    Outcome outcome = Done;
    QString message;     // the refusal or the error
    int jobs = 0;        // print jobs handed over
    int stamped = 0;     // first prints stamped (and kept)
};

extern const char *const NothingSelectedMessage;   // "没有符合打印条件的结果!"

// Prints the day samples from lo to hi (texts as typed) narrowed by the
// print filter. patients holds the selection afterwards (the batch's
// cursor); rows and graph the last sample's rows and graph row.
BatchResult runBatch(const QString &lo, const QString &hi, int printfilter, const PrintSettings &s,
                     const QString &hospital, ReportForms &forms, db::Dataset &patients, db::Dataset &rows,
                     db::Dataset &graph, const BatchHooks &hooks);

} // namespace reports
