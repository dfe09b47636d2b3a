#include "workstation/samplelist.h"

#include "base/dates.h"
#include "base/textutil.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"

#include <cstdlib>

namespace ws {

QString patientQuery(int printfilter)
{
    switch (printfilter) {
    case FilterUnprinted:
        return QStringLiteral("select * from patient where printflag=0 order by val(shelfid), shelfid, checkdate");
    case FilterPrinted:
        return QStringLiteral("select * from patient where printflag<>0 order by val(shelfid), shelfid, checkdate");
    case FilterAll:
        return QStringLiteral("select * from patient order by val(shelfid), shelfid, checkdate");
    default:
        return QString();
    }
}

QString patientRangeQuery()
{
    return QStringLiteral("select * from patient where val(shelfid)>=? and val(shelfid)<=? "
                          "order by val(shelfid), shelfid, checkdate");
}

QString patientPaddedOrderQuery()
{
    return QStringLiteral("select * from patient order by space(20-len(ltrim(shelfid)))||ltrim(shelfid)");
}

QString printFilterCaption(int printfilter)
{
    switch (printfilter) {
    case FilterUnprinted:
        return QStringLiteral("未打印");
    case FilterPrinted:
        return QStringLiteral("已打印");
    case FilterAll:
        return QStringLiteral("全部");
    default:
        return QString();
    }
}

bool useWomanLimits(const QString &sex)
{
    return sex == QStringLiteral("女");
}

QString testresultQuery(const QString &sex)
{
    const QString limits = useWomanLimits(sex)
        ? QStringLiteral("b.womanlow as reflow,b.womanhigh as refhigh")
        : QStringLiteral("b.manlow as reflow,b.manhigh as refhigh");
    return QStringLiteral("select a.shelfid,a.checkdate,a.itemid,b.abbreviation,b.name,a.value,%1 "
                          "from testresult a,itemtb b where a.itemid=b.itemid and a.shelfid=? and a.checkdate is ? "
                          "order by a.itemid")
        .arg(limits);
}

QString gresultQuery()
{
    return QStringLiteral("select * from gresult where shelfid=? and checkdate is ?");
}

bool openSampleDetails(db::Dataset &testresults, db::Dataset &gresults, const QVariant &shelfid,
                       const QVariant &checkdate, const QString &sex, QString *error)
{
    // A null id matches no row (shelfid=NULL is never true): empty details.
    const QVariant id = shelfid.isValid() && !shelfid.isNull() ? QVariant(shelfid.toString()) : QVariant();
    const QVariantList key{id, checkdate};
    testresults.close();
    if (!testresults.open(testresultQuery(sex), key)) {
        if (error)
            *error = testresults.lastError();
        return false;
    }
    gresults.close();
    if (!gresults.open(gresultQuery(), key)) {
        if (error)
            *error = gresults.lastError();
        return false;
    }
    return true;
}

double numericValue(const QString &text)
{
    if (!isnum(text))
        return 0.0;
    const QByteArray bytes = text.trimmed().toLatin1();
    const char *begin = bytes.constData();
    char *end = nullptr;
    const double v = std::strtod(begin, &end);
    // "." and "-." have no digit at all; they read as 0.
    if (end == begin)
        return 0.0;
    return v;
}

ResultMark resultMark(const QString &value, const QString &low, const QString &high)
{
    if (!isnum(value))
        return ResultMark::NotNumeric;
    const double v = numericValue(value);
    if (isnum(high) && v > numericValue(high))
        return ResultMark::OutOfRange;
    if (isnum(low) && v < numericValue(low))
        return ResultMark::OutOfRange;
    return ResultMark::Normal;
}

QColor resultTextColour(ResultMark mark)
{
    switch (mark) {
    case ResultMark::OutOfRange:
        return QColor(255, 0, 0);
    case ResultMark::NotNumeric:
        return QColor(128, 128, 0);
    case ResultMark::Normal:
        break;
    }
    return QColor(0, 0, 128);
}

QColor listTextColour(const QVariant &printflag)
{
    bool zero = false;
    if (printflag.isValid() && !printflag.isNull()) {
        bool ok = false;
        const double d = printflag.toString().trimmed().toDouble(&ok);
        zero = ok && d == 0.0;
    }
    return zero ? QColor(0, 128, 128) : QColor(0, 0, 255);
}

bool deleteResult(const QString &shelfid, const QVariant &checkdate, const QVariant &itemid, QString *error)
{
    return db::exec(QStringLiteral("delete from testresult where shelfid=? and checkdate is ? and itemid=?"),
                    {shelfid, checkdate, itemid}, error);
}

bool clearUnnumberedPatients(QString *error)
{
    return db::exec(QStringLiteral("delete from patient where shelfid is null or trim(shelfid) = ''"), {}, error);
}

void resultRowDefaults(db::Dataset &testresults, const QString &shelfid, const QDate &workdate)
{
    testresults.setValue(QStringLiteral("shelfid"), shelfid);
    testresults.setValue(QStringLiteral("checkdate"), isoDate(workdate));
}

void listRowDefaults(db::Dataset &patients, const QDate &workdate, const QString &currentOperator,
                     const QString &kind, const QString &apperance)
{
    patients.setValue(QStringLiteral("takedate"), isoDate(workdate));
    patients.setValue(QStringLiteral("checkdate"), isoDate(workdate));
    patients.setValue(QStringLiteral("operator"), currentOperator);
    patients.setValue(QStringLiteral("kind"), kind);
    patients.setValue(QStringLiteral("apperance"), apperance);
}

QcPeriod qcPeriodOf(const QDate &workdate)
{
    QcPeriod p;
    p.begin = QDate(workdate.year(), workdate.month(), 1);
    p.end = p.begin.addMonths(1);
    return p;
}

} // namespace ws
