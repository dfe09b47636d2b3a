#pragma once
// One patient report: reference limits by sex, range texts and arrows, the
// result rows laid out as labels on one of the three report forms, and the
// print of one sample with its first-print stamp.
#include "platform/report/reportform.h"
#include "reports/printsettings.h"

#include <QImage>
#include <QVariantMap>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace db { class Dataset; }

namespace reports {

// One result row of a report: the item's texts and the sample's value.
struct ResultRow
{
    QString name;
    QVariant abbreviation;     // null: none
    QString value, unit;
    QString manhigh, manlow, womanhigh, womanlow;
};

// The rows from the dataset's current row to its end (it ends past its end).
std::vector<ResultRow> resultRowsFrom(db::Dataset &rows);
// The dataset's current row as a record for the form's data texts.
QVariantMap recordOf(const db::Dataset &ds);

// ---- limits, range text, flag ---------------------------------------------
struct Limits
{
    QString low, high;
};
// "女": the woman's limits; "男" or blank: the man's; anything else: none.
std::optional<Limits> limitsFor(const QString &sex, const ResultRow &row);
QString rangeText(const QString &low, const QString &high);
// "↑", "↓" or "" for a value against its limits (strict comparisons).
QString flagFor(const QString &value, const QString &low, const QString &high);
// The number of a text that isnum() accepts ("." is 0); nullopt otherwise.
std::optional<double> decimalValue(const QString &text);

// ---- layouts ----------------------------------------------------------------
enum class Layout { HalfSheet, Large, Text };   // frmtestreport, frmtestreport1, frmtestreport2
Layout layoutFor(const PrintSettings &s);
// Row pitch in layout pixels for a number of result rows.
int rowPitch(Layout layout, int rowCount);

// Everything a report shows besides its form.
struct ReportContent
{
    QString hospital;
    QVariantMap patient;
    std::vector<ResultRow> rows;
    std::array<QImage, 4> images;   // Image1 (LMNE), Image2 (RBC), Image3 (PLT), Image4 (BAS)
};

// The report forms the program keeps, one instance of each design, made at
// start-up. Printing recreates some of them from their design.
struct ReportForms
{
    report::ReportForm frmtestreport, frmtestreport1, frmtestreport2, frmtestreport3, frmtestreport4;
    report::ReportForm a4Report, a5Report, frmnomreport;

    ReportForms();
    static ReportForms &instance();
    report::ReportForm &byName(const QString &instanceName);
};

// Column names of the run-time row labels.
QStringList rowColumns(Layout layout);

// The run-time labels of one report's rows: one list per column, indexed by
// row (0-based); an empty name is a label that was not created.
struct RowLabels
{
    QStringList columns;
    std::vector<std::vector<QString>> labels;
    // Frees every created label of the form; returns how many.
    int free(report::ReportForm &form);
};

// ---- result-row labels (single reports and batch pages) ---------------------
// A row label at a place in layout pixels; a caption that would reach edgePx
// (the next column's left, 0: none) prints in smaller type, and beyond half
// size is cut, so it ends a little before that column.
report::ReportItem &addRowLabel(report::ReportForm &form, const QString &name, const QString &caption,
                                const report::FontSpec &font, const QRect &px, double edgePx = 0);
// An item name and its bracketed abbreviation (empty: none, no label) on one
// line from nameLeft, gapPx apart, both ending before edgePx (where the
// value's column begins; the value itself stands indented in it): the
// abbreviation stays whole where it can and the name gives way.
void addNameAndAbbreviation(report::ReportForm &form, const QString &nameLabel, const QString &abbrLabel,
                            const QString &name, const QString &bracketed, const report::FontSpec &font,
                            int nameLeft, int top, int gapPx, int edgePx);
// The factor (at most 1) by which row type must shrink so that a line of
// each font fits the row pitch (layout pixels at 100 %).
double rowTypeScale(int pitchPx, std::initializer_list<report::FontSpec> fonts);
report::FontSpec scaledFont(report::FontSpec font, double scale);

// The common build on a form just made from its design: printer, page,
// margins, title, pictures, rows. Throws report::ReportError when a margin
// text is not a number.
RowLabels buildReport(report::ReportForm &form, Layout layout, const PrintSettings &s,
                      const ReportContent &content, const ReportForms &forms);

// Builds on a form just made from its design, prints it as one job and
// frees the row labels (also when the print fails).
void printReport(report::ReportForm &form, Layout layout, const PrintSettings &s,
                 const ReportContent &content, const ReportForms &forms);

// Checks the settings, recreates the form of the kind and paper, builds,
// prints and frees the row labels. Returns the refusal message (nothing
// printed) or an empty text when the job was handed over. Errors of the
// margins or the printer throw report::ReportError.
QString resultprint(ReportForms &forms, const PrintSettings &s, const ReportContent &content);
// The form resultprint uses for the settings.
report::ReportForm &formFor(ReportForms &forms, Layout layout);

// ---- one sample ---------------------------------------------------------------
struct SamplePrint
{
    enum Outcome { NothingToPrint, Refused, Printed, Failed };
    Outcome outcome = NothingToPrint;
    QString message;     // why it was refused or failed
    bool stamped = false;
    bool badMargin = false;   // failed on a margin text that is not a number
};

// A day sample is its number together with its day (checkdate): the day
// tables may hold the same number for patients of several days, so every
// statement below takes both, number first.
//
// Prints the report of a day sample: reads its patient row and result rows
// (into patient and rows) and its graph row (into graph), checks the
// settings, and stamps the first print (bgtime "hh:mm", printflag 1) in the
// same transaction as the print, so a refused or failed print leaves the
// row as it was. The content gives the hospital and the pictures.
// onRows runs once the sample is known to have results (the caller shows
// its progress window there).
SamplePrint printSample(const QString &shelfid, const QVariant &checkdate, const PrintSettings &s, ReportContent content,
                        ReportForms &forms, db::Dataset &patient, db::Dataset &rows, db::Dataset &graph,
                        const std::function<void()> &onRows = {});

// The result-row query of a day sample, in print order.
QString resultRowsSql();
// Its patient row, its graph row.
QString patientRowSql();
QString graphRowSql();
// Stamps its first print: parameters report time, number, day.
QString firstPrintStampSql();

} // namespace reports
