#include "workstation/fieldcacl.h"

#include "platform/db/command.h"
#include "workstation/formula.h"

Tfrmfieldcount *frmfieldcount = nullptr;

namespace {
// Width of testresult.value.
constexpr int kValueWidth = 12;
}

Tfrmfieldcount::Tfrmfieldcount(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("frmfieldcount"));
    fielditemset = new db::Dataset(this);
    fielditemset->setObjectName(QStringLiteral("fielditemset"));
    resultset = new db::Dataset(this);
    resultset->setObjectName(QStringLiteral("resultset"));
    resultset->setSql(QStringLiteral("select value from testresult where shelfid=? and checkdate is ? and itemid=? "
                                     "order by rowid limit 1"));
}

Tfrmfieldcount::~Tfrmfieldcount()
{
    if (frmfieldcount == this)
        frmfieldcount = nullptr;
}

bool Tfrmfieldcount::calcexpression(const QString &shelfid, const QVariant &checkdate, int itemid, const QString &,
                                    QString *error)
{
    auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };

    fielditemset->close();
    if (!fielditemset->open(QStringLiteral("select itemid,expressions,bitnum from itemtb "
                                           "where itemid<>? and expressions like ? order by itemid"),
                            {itemid, derived::referencePattern(itemid)}))
        return failed(fielditemset->lastError());

    for (int row = 0; row < fielditemset->recordCount(); ++row) {
        const int target = fielditemset->valueAt(row, QStringLiteral("itemid")).toInt();
        const QString formula = fielditemset->valueAt(row, QStringLiteral("expressions")).toString();
        const int bitnum = qMax(0, fielditemset->valueAt(row, QStringLiteral("bitnum")).toInt());

        QString lookupError;
        const derived::FormulaOutcome outcome = derived::evaluateFormula(formula, [&](int ref) {
            derived::Operand op;
            resultset->close();
            resultset->setParams({shelfid, checkdate, ref});
            if (!resultset->open()) {
                // Reported as an operand that is not there, then replaced
                // by the database's text below.
                lookupError = resultset->lastError();
                op.found = true;
                return op;
            }
            op.found = !resultset->isEmpty();
            if (op.found)
                op.value = resultset->value(QStringLiteral("value"));
            return op;
        });
        if (!lookupError.isEmpty())
            return failed(lookupError);
        if (outcome.status == derived::FormulaOutcome::MissingOperand)
            continue; // the item keeps what it had
        if (outcome.status == derived::FormulaOutcome::Error)
            return failed(QStringLiteral("样本 %1 的指标 %2（公式 %3）无法计算：%4")
                              .arg(shelfid)
                              .arg(target)
                              .arg(formula, outcome.error));

        const QString text = outcome.value.format(bitnum);
        if (text.size() > kValueWidth)
            return failed(QStringLiteral("样本 %1 的指标 %2 的计算结果 %3 超过 %4 个字符，未保存")
                              .arg(shelfid)
                              .arg(target)
                              .arg(text)
                              .arg(kValueWidth));

        QString dbError;
        int changed = 0;
        if (!db::exec(QStringLiteral("update testresult set value=? where rowid=(select rowid from testresult "
                                     "where itemid=? and shelfid=? and checkdate is ? order by rowid limit 1)"),
                      {text, target, shelfid, checkdate}, &dbError, &changed))
            return failed(dbError);
        if (changed == 0
            && !db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
                         {shelfid, checkdate, target, text}, &dbError))
            return failed(dbError);
    }
    return true;
}
