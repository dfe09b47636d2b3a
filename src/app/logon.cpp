#include "app/logon.h"

#include "base/textutil.h"
#include "platform/db/command.h"

namespace logon {

bool ensureDefaultAccount(QString *error, bool *created)
{
    if (created)
        *created = false;
    bool ok = false;
    const QVariant n = db::scalar(QStringLiteral("select count(*) from operator"), {}, &ok, error);
    if (!ok)
        return false;
    if (n.toInt() > 0)
        return true;
    if (!db::exec(QStringLiteral("insert into operator ([no], name, exp1) values (?, ?, ?)"),
                  {100, QStringLiteral("malvor"), QStringLiteral("malvor")}, error))
        return false;
    if (created)
        *created = true;
    return true;
}

Check checkOperator(db::Dataset &ds, const QString &number, const QString &password, QString *error)
{
    ds.close();
    // An empty or non-numeric number must not reach an operator 0.
    const auto no = parseWholeNumber(number);
    if (!no)
        return Check::NoOperator;
    if (!ds.open(QStringLiteral("select * from operator where [no]=?"), {*no})) {
        if (error)
            *error = ds.lastError();
        return Check::DbError;
    }
    if (ds.isEmpty())
        return Check::NoOperator;
    if (password != trimCtl(ds.text(QStringLiteral("exp1"))))
        return Check::WrongPassword;
    return Check::Ok;
}

bool setPassword(const QVariant &no, const QString &password, QString *error)
{
    int changed = 0;
    return db::exec(QStringLiteral("update operator set exp1 = ? where [no] = ?"), {password, no}, error, &changed)
        && changed == 1;
}

} // namespace logon
