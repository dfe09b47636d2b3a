#pragma once
// The history page and the workload count without the window: the search
// of the archived samples, the archived results, graph row and print rows of
// one archived sample, the department box's Enter rule, and the number of
// samples tested between two days. Everything the user types is bound; the
// LIKE conditions bind the pattern itself, so wildcards the user types
// still work while a quote is just a character.
#include <QDate>
#include <QSqlDatabase>
#include <QVector>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace ws {

// A day typed by the user: "yyyy-mm-dd" (also "yyyy-m-d", "/" or "."), else
// the system's short date form. Nothing when it is not a date.
std::optional<QDate> parseTypedDate(const QString &text);
// The error text for a day that is not a date.
QString invalidDateMessage(const QString &text);

// What the history search looks for; empty texts are not conditions.
struct HistoryFilter
{
    QString name;     // part of the name
    QString caseno;   // whole value unless wildcards are typed
    QString mzno;
    QString sex;
    QString depart;
    QDate first, last; // test days, both inclusive
};

struct BoundSql
{
    QString sql;
    QVariantList params;
};

bool hasParticulars(const HistoryFilter &f);

// The particulars of an archived sample that the page and its reprint read.
const QStringList &historyColumns();

// The search of histpatient, answering the rowid of each sample found.
// Without particulars: newest day first, then by the numeric value of the
// sample number. With any: the order the rows were archived in.
BoundSql historySearch(const HistoryFilter &f);
// Runs it on a connection; false with the database's text on failure.
bool findHistory(QSqlDatabase db, const HistoryFilter &f, QVector<qint64> *keys, QString *error);

// One archived sample's results with the catalogue's name and abbreviation,
// in item order. Parameters: sample number, test day ("yyyy-mm-dd").
QString historyResultsSql();
// Its graph row. Same parameters.
QString historyGraphSql();
// Its report rows in print order. Same parameters.
QString historyPrintRowsSql();

// The department box on Enter. A whole number n picks the n-th entry
// (1-based) or empties the text when there is no such entry; any other text
// is looked up as an abbreviation (bound as a LIKE pattern) and becomes the
// department's name, or stays when none has it. False with the database's
// text on failure.
bool departmentOnEnter(const QString &text, const QStringList &entries, QString *result, QString *error);

// Samples tested between two days, both inclusive: distinct (checkdate,
// shelfid) pairs with a registration and at least one result of the same
// day, over the day tables and the history tables together.
// Its count over the day tables or the history tables; parameters: the two days.
QString workloadCountSql(bool archived);
std::optional<int> workloadCount(const QDate &first, const QDate &last, QString *error);
std::optional<int> workloadCount(QSqlDatabase db, const QDate &first, const QDate &last, QString *error);

} // namespace ws
