#include "link/numbercorrection.h"

#include "base/textutil.h"
#include "platform/db/command.h"

namespace intake {

bool isCorrectionCell(int column, int row)
{
    return column == 1 && row >= 1;
}

QString refusalMessage(const QString &number, const QString &correction)
{
    return QStringLiteral("标本号%1已有结果，不能把标本号%2更正为%1").arg(correction, number);
}

namespace {

enum class Moved { Done, Refused, Failed };

Moved moveSample(QSqlDatabase db, const QString &from, const QString &to, QString *error)
{
    if (from == to)
        return Moved::Done; // nothing to move
    db::Transaction tx(db);
    if (!tx.begin(error))
        return Moved::Failed;
    // A number with nothing stored under it (already corrected by an earlier
    // row, or gone with the end of the day) moves nothing, so it cannot make
    // duplicates and is never refused.
    const QString inUse = QStringLiteral("SELECT 1 FROM testresult WHERE shelfid = ? "
                                         "UNION ALL SELECT 1 FROM gresult WHERE shelfid = ? LIMIT 1");
    QVector<QVariantList> rows;
    if (!db::select(db, inUse, {from, from}, &rows, error))
        return Moved::Failed;
    if (rows.isEmpty())
        return tx.commit(error) ? Moved::Done : Moved::Failed;
    rows.clear();
    // Every row keeps its own day, so the new number is taken only on a day
    // that the old one has rows of: the same number of another day still in
    // the tables is another sample.
    const QString sameDay = QStringLiteral("EXISTS (SELECT 1 FROM testresult o WHERE o.shelfid = ? "
                                           "AND o.checkdate IS t.checkdate UNION ALL SELECT 1 FROM gresult o "
                                           "WHERE o.shelfid = ? AND o.checkdate IS t.checkdate)");
    const QString taken = QStringLiteral("SELECT 1 FROM testresult t WHERE t.shelfid = ? AND %1 "
                                         "UNION ALL SELECT 1 FROM gresult t WHERE t.shelfid = ? AND %1 LIMIT 1")
                              .arg(sameDay);
    if (!db::select(db, taken, {to, from, from, to, from, from}, &rows, error))
        return Moved::Failed;
    if (!rows.isEmpty())
        return Moved::Refused;
    if (!db::exec(db, QStringLiteral("UPDATE testresult SET shelfid = ? WHERE shelfid = ?"), {to, from}, error))
        return Moved::Failed;
    if (!db::exec(db, QStringLiteral("UPDATE gresult SET shelfid = ? WHERE shelfid = ?"), {to, from}, error))
        return Moved::Failed;
    return tx.commit(error) ? Moved::Done : Moved::Failed;
}

} // namespace

CorrectionOutcome applyCorrections(QSqlDatabase db, const QVector<CorrectionRow> &rows)
{
    CorrectionOutcome out;
    for (int i = 0; i < rows.size(); ++i) {
        const CorrectionRow &row = rows.at(i);
        const QString to = trimCtl(row.correction);
        if (to.isEmpty()) {
            out.remaining.append(row);
            continue;
        }
        out.anyCorrection = true;
        const QString from = trimCtl(row.number);
        switch (moveSample(db, from, to, &out.error)) {
        case Moved::Done:
            break;
        case Moved::Refused:
            out.refusals.append(refusalMessage(from, to));
            out.remaining.append(row);
            break;
        case Moved::Failed:
            for (int j = i; j < rows.size(); ++j)
                out.remaining.append(rows.at(j));
            return out;
        }
    }
    return out;
}

} // namespace intake
