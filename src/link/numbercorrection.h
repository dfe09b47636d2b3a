#pragma once
// Moving the results and graph data stored under a malformed sample number
// to the number the staff typed beside it.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

namespace intake {

struct CorrectionRow
{
    QString number;     // as received
    QString correction; // as typed; blank = none
    bool operator==(const CorrectionRow &o) const
    {
        return number == o.number && correction == o.correction;
    }
};

// Only the correction column of data rows is typed into (row 0 is the heading).
bool isCorrectionCell(int column, int row);

struct CorrectionOutcome
{
    QVector<CorrectionRow> remaining; // rows still listed, in their old order
    QStringList refusals;             // one message per refused row
    QString error;                    // database failure that stopped the run
    bool anyCorrection = false;       // some row had a correction
};

// The message for a correction onto a number already in the day tables.
QString refusalMessage(const QString &number, const QString &correction);

// Applies the corrections in row order, each row's two updates in one
// transaction. Every moved row keeps its own day. A row whose correction
// names a number that already has results or graph data on a day of the
// malformed number's rows is refused and stays listed, unless its own number
// has nothing left to move. Rows with no correction
// stay; applied rows leave the list. A database failure stops the run: the
// failing row and the rows after it stay listed.
CorrectionOutcome applyCorrections(QSqlDatabase db, const QVector<CorrectionRow> &rows);

} // namespace intake
