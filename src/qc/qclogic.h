#pragma once
// Quality control without windows: the month's target rows, lot numbers,
// control values (capture, correction, deletion), the statistics of a month
// and the limit lines of the chart. Every statement binds its values; work
// that must not half-happen runs in one transaction.
#include "qc/chartmodel.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

namespace db {
class Dataset;
}

namespace qc {

// The month shown: its first day and the first day of the next month.
struct Period
{
    QDate begin;
    QDate end;
    int days() const { return int(begin.daysTo(end)); }
};
Period monthPeriod(int year, int month);

// The month's target rows with the item's abbreviation and name looked up.
// Parameters: year, month.
QString targetQuery();
// Creates one target row per catalogue item when the month has none.
// *created tells whether rows were added.
bool setupMonth(int year, int month, bool *created, QString *error);

// A target standard deviation as typed: a number above 0 (a spread of 0
// would draw every limit line on the mean). Field check of the targets grid.
bool checkTargetSd(const QString &caption, QVariant &value, QString *why);

// "质控图1".."质控图3" -> 1..3, anything else 0.
int levelOfChartName(const QString &text);
// "质控品1".."质控品3" -> 1..3, anything else 0.
int levelOfControlName(const QString &name);
QString controlName(int level); // "质控品N"

// The month's values of one item for one material. Parameters: first day,
// first day of the next month, item.
QString valueQuery(int level);

// A number text as it is stored: rounded to four decimals, shortest text
// ("5.10" -> "5.1"). nullopt when the text is not a number.
std::optional<QString> normaliseValue(const QString &text);
// The value of a text that isnum() accepts ("5.", ".5" and "." included).
double numberOf(const QString &text);

// Writes one value (already a number text or not: it is normalised here) for
// a day, item and material, into the day's row of that item or a new one.
// A text that is not a number stores nothing (*stored false) and is no error.
bool storeValue(const QDate &day, int itemid, int level, const QString &value, bool *stored,
                QString *error);
// Names a sample of the day list as control material ("质控品1".."质控品3")
// or, with an empty name, takes the name away.
bool nameSample(const QVariant &shelfid, const QVariant &checkdate, const QString &name, QString *error);
// Removes the material's value of a day and item; the row goes when no
// material has a value left.
bool deleteValue(const QDate &day, int itemid, int level, QString *error);

// Capture: the day samples named as control material with their results.
QString captureQuery();
struct CaptureCount
{
    int stored = 0;
    int skippedNames = 0;   // marked with a name that is none of the three
    int skippedValues = 0;  // results that are not numbers
};
// Stores the rows of the capture query (columns name, checkdate, itemid,
// value) in one transaction.
bool storeCaptured(const db::Dataset &rows, CaptureCount *count, QString *error);

// Lot number of one material for every target row of a month; targets still
// empty are filled from the latest month in which the same item had that lot.
bool applyLot(int year, int month, int level, const QString &lot, QString *error);

struct Stats
{
    int count = 0;
    double mean = 0;
    double sd = 0;
    double cv = 0;
};
// Statistics of the numeric texts among the values (others skipped).
Stats statistics(const QVector<QString> &values);
// Number shown with two decimals after rounding it to four.
QString formatStat(double v);
// "X=11.00 SD=1.41 CV=12.86%" (needs count > 1).
QString statsText(const Stats &s);
QString emptyStatsText(); // the label's text before any statistics

QString chartTitle(const QString &yearText, const QString &monthText, const QString &abbreviation);
// The seven limit lines and the axes for a mean and standard deviation in a
// month of `days` days.
void drawLimitLines(ChartModel &chart, double mean, double sd, int days);
// Takes the limit lines away and puts the axes back to their first range.
void clearLimitLines(ChartModel &chart);

// The caption under the printed chart.
QString reportCaption(const QString &lot, const QString &statistics);

} // namespace qc
