#pragma once
// The day sample list and its result grid without the window: the queries of
// the list, of one sample's results and of its graph row, the colours of both
// grids, and deleting one result. Every value is bound, so a sample number
// holding a quote or a LIKE wildcard is just a sample number.
#include <QColor>
#include <QDate>
#include <QString>
#include <QVariant>

namespace db { class Dataset; }

namespace ws {

// Print filter of the list: 0 not chosen yet, 1 unprinted, 2 printed, 3 all.
enum PrintFilter { FilterNone = 0, FilterUnprinted = 1, FilterPrinted = 2, FilterAll = 3 };

// The list's query for a filter; empty for FilterNone (keep what it had).
// Ordered by the numeric value of the sample number, then the text, so "9"
// comes before "10" and equal values keep a stable order.
QString patientQuery(int printfilter);
// The samples whose numbers lie between two values (parameters lo, hi), in
// the list's order.
QString patientRangeQuery();
// Every sample, ordered by its number right-aligned in 20 characters.
QString patientPaddedOrderQuery();

// Text of status-bar panel 5 for a filter ("" for none).
QString printFilterCaption(int printfilter);

// Female limits are shown only for the exact text "女"; "男", empty or
// anything else shows the male limits.
bool useWomanLimits(const QString &sex);

// One sample's results joined with the catalogue, its limits for the sex
// aliased reflow/refhigh, in item order. Two parameters: the sample number
// and its day (checkdate), for the day tables may hold one number on
// several days.
QString testresultQuery(const QString &sex);

// The graph row of one sample. Two parameters: its number and its day.
QString gresultQuery();

// Opens the two detail datasets for a sample (a null id opens them empty).
bool openSampleDetails(db::Dataset &testresults, db::Dataset &gresults, const QVariant &shelfid,
                       const QVariant &checkdate, const QString &sex, QString *error);

// Colours of the result grid's text.
enum class ResultMark { Normal, OutOfRange, NotNumeric };

// value not numeric -> NotNumeric; otherwise OutOfRange when a numeric high
// limit is strictly below the value or a numeric low limit strictly above
// it. A limit that is not numeric is not tested.
ResultMark resultMark(const QString &value, const QString &low, const QString &high);

// Text colour of a result row: navy (the grid's own), red or olive.
QColor resultTextColour(ResultMark mark);

// Text colour of a list row: teal when printflag is 0, blue otherwise (also
// when it is NULL).
QColor listTextColour(const QVariant &printflag);

// Numeric value of a text that isnum() accepts ("." is 0, "5." is 5).
double numericValue(const QString &text);

// Deletes one result of a sample (number and day). False with the
// database's text on failure.
bool deleteResult(const QString &shelfid, const QVariant &checkdate, const QVariant &itemid, QString *error);

// Deletes the registrations without a sample number, of any day: left-overs
// of a registration that was never finished. Results keyed by the same empty
// number stay. False with the database's text on failure.
bool clearUnnumberedPatients(QString *error);

// Defaults of a new row in the result dataset and in the list, should one be
// added (neither grid adds rows).
void resultRowDefaults(db::Dataset &testresults, const QString &shelfid, const QDate &workdate);
void listRowDefaults(db::Dataset &patients, const QDate &workdate, const QString &currentOperator,
                     const QString &kind, const QString &apperance);

// The control period opened with the quality-control page: the first day of
// the work date's month and the first day of the next month (exclusive).
struct QcPeriod
{
    QDate begin;
    QDate end;
};
QcPeriod qcPeriodOf(const QDate &workdate);

} // namespace ws
