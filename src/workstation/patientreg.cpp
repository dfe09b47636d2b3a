#include "workstation/patientreg.h"

#include "base/dates.h"
#include "base/textutil.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"

namespace ws {

qint64 leadingInteger(const QString &text)
{
    qint64 n = 0;
    for (int i = 0; i < text.size() && i < 18; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

QString nextSampleNumber(const QString &shelfText)
{
    return QString::number(leadingInteger(shelfText) + 1);
}

bool mayChange(const QString &rowOperator, const QString &currentOperator)
{
    return rowOperator == currentOperator;
}

QString digitShortcut(const QString &text, const QStringList &entries)
{
    const auto n = parseWholeNumber(text);
    if (!n)
        return text;
    if (*n >= 1 && *n <= entries.size())
        return entries.at(*n - 1);
    return QString();
}

Lookup lookupDepartment(const QString &text, QString *name, QString *error)
{
    const QString sql = parseWholeNumber(text)
        ? QStringLiteral("select name from department where \"no\" like ? order by \"no\"")
        : QStringLiteral("select name from department where suoxie like ? order by \"no\"");
    QVector<QVariantList> rows;
    if (!db::select(sql, {text}, &rows, error))
        return Lookup::Failed;
    if (rows.isEmpty())
        return Lookup::NotFound;
    if (name)
        *name = rows.first().value(0).toString();
    return Lookup::Found;
}

Lookup lookupDoctor(db::Dataset &doctorset, const QString &text, QString *name)
{
    doctorset.setFilter(QStringLiteral("no=%1").arg(leadingInteger(text)));
    doctorset.setFiltered(true);
    Lookup r = Lookup::NotFound;
    if (!doctorset.isEmpty()) {
        if (name)
            *name = doctorset.text(QStringLiteral("name"));
        r = Lookup::Found;
    }
    doctorset.setFiltered(false);
    return r;
}

void applyPatientDefaults(db::Dataset &row, const PatientDefaults &d)
{
    row.setValue(QStringLiteral("takedate"), isoDate(d.workdate));
    row.setValue(QStringLiteral("taketime"), hhmm(d.now));
    row.setValue(QStringLiteral("checkdate"), isoDate(d.workdate));
    row.setValue(QStringLiteral("operator"), d.currentOperator);
    row.setValue(QStringLiteral("sex"), QString(""));
    row.setValue(QStringLiteral("kind"), d.kind);
    row.setValue(QStringLiteral("apperance"), d.apperance);
}

bool openEmptyPatient(db::Dataset &row, QString *error)
{
    row.cancel();
    row.close();
    if (!row.open(QStringLiteral("select * from patient where 0=1"))) {
        if (error)
            *error = row.lastError();
        return false;
    }
    return true;
}

bool loadSample(db::Dataset &row, const QString &shelfid, const QDate &workdate, QString *error)
{
    row.cancel();
    row.close();
    // An exact match: a typed '%' or '_' must not load another sample's row.
    if (!row.open(QStringLiteral("select * from patient where shelfid=? and checkdate=? order by shelfid"),
                  {shelfid, isoDate(workdate)})) {
        if (error)
            *error = row.lastError();
        return false;
    }
    if (row.isEmpty()) {
        if (!row.append()) {
            if (error)
                *error = row.lastError();
            return false;
        }
        row.setValue(QStringLiteral("shelfid"), shelfid);
    }
    return true;
}

Lookup fillFromArchive(db::Dataset &row, const QString &caseText, QString *error)
{
    QVector<QVariantList> rows;
    QStringList cols;
    if (!db::select(QStringLiteral("select name,mzno,caseno,depart,age,bedno,sex from histpatient "
                                   "where caseno like ? order by checkdate desc limit 1"),
                    {caseText.trimmed().toUpper()}, &rows, error, &cols))
        return Lookup::Failed;
    if (rows.isEmpty())
        return Lookup::NotFound;
    if (!row.edit()) {
        if (error)
            *error = row.lastError();
        return Lookup::Failed;
    }
    const QVariantList &found = rows.first();
    static const char *const fillable[] = {"name", "mzno", "caseno", "depart", "age", "bedno"};
    for (int i = 0; i < 6; ++i) {
        const QString f = QLatin1String(fillable[i]);
        if (row.text(f).trimmed().isEmpty())
            row.setValue(f, found.value(i));
    }
    row.setValue(QStringLiteral("sex"), found.value(6));
    return Lookup::Found;
}

SaveResult savePatient(db::Dataset &row, const QString &shelfText, const QString &currentOperator,
                       QString *error)
{
    if (shelfText.isEmpty())
        return SaveResult::Nothing;
    if (!mayChange(row.text(QStringLiteral("operator")), currentOperator)) {
        row.cancel();
        return SaveResult::Refused;
    }
    if (row.isEmpty())
        return SaveResult::Saved;
    if (!row.edit() || !row.post()) {
        if (error)
            *error = row.lastError();
        return SaveResult::Failed;
    }
    return SaveResult::Saved;
}

} // namespace ws
