#include "qc/qclogic.h"

#include "base/currency.h"
#include "base/fieldcheck.h"
#include "base/dates.h"
#include "base/textutil.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/db/dataset.h"

#include <QLocale>
#include <cmath>

namespace qc {

Period monthPeriod(int year, int month)
{
    Period p;
    p.begin = QDate(year, month, 1);
    p.end = p.begin.addMonths(1);
    return p;
}

QString targetQuery()
{
    return QStringLiteral(
        "select zkyear, zkmonth,itemno,batchno1,batchno2,batchno3, xb1, s1, xb2, s2, xb3, s3, "
        "(select abbreviation from itemtb where itemtb.itemid=qcpara.itemno) as abbreviation, "
        "(select name from itemtb where itemtb.itemid=qcpara.itemno) as name "
        "from qcpara where (zkyear=?) and (zkmonth=?) order by zkyear,zkmonth,itemno");
}

bool setupMonth(int year, int month, bool *created, QString *error)
{
    if (created)
        *created = false;
    db::Transaction t(db::database());
    if (!t.begin(error))
        return false;
    bool ok = false;
    const QVariant n = db::scalar(QStringLiteral("select count(*) from qcpara where zkyear=? and zkmonth=?"),
                                  {year, month}, &ok, error);
    if (!ok)
        return false;
    if (n.toInt() > 0)
        return true;
    int added = 0;
    if (!db::exec(QStringLiteral("insert into qcpara (zkyear, zkmonth, itemno) select ?, ?, itemid from itemtb"),
                  {year, month}, error, &added))
        return false;
    if (!t.commit(error))
        return false;
    if (created)
        *created = added > 0;
    return true;
}

int levelOfChartName(const QString &text)
{
    for (int n = 1; n <= 3; ++n)
        if (text == QStringLiteral("质控图%1").arg(n))
            return n;
    return 0;
}

int levelOfControlName(const QString &name)
{
    for (int n = 1; n <= 3; ++n)
        if (name == controlName(n))
            return n;
    return 0;
}

QString controlName(int level)
{
    return QStringLiteral("质控品%1").arg(level);
}

QString valueQuery(int level)
{
    return QStringLiteral("select itemid,qcdate,value%1 from qctb"
                          " where (qcdate>=?) and (qcdate<?) and (itemid=?)"
                          " order by qcdate").arg(level);
}

std::optional<QString> normaliseValue(const QString &text)
{
    if (text.isEmpty() || !isnum(text))
        return std::nullopt;
    const std::optional<Currency> c = Currency::fromText(text);
    if (!c)
        return std::nullopt;
    return c->shortest();
}

double numberOf(const QString &text)
{
    QString t = text.trimmed();
    int e = t.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    QString mant = e >= 0 ? t.left(e) : t;
    const QString exp = e >= 0 ? t.mid(e) : QString();
    QString sign;
    if (mant.startsWith(QLatin1Char('+')) || mant.startsWith(QLatin1Char('-'))) {
        sign = mant.left(1);
        mant = mant.mid(1);
    }
    if (mant.startsWith(QLatin1Char('.')))
        mant.prepend(QLatin1Char('0'));
    if (mant.endsWith(QLatin1Char('.')))
        mant.append(QLatin1Char('0'));
    bool ok = false;
    const double v = QLocale::c().toDouble(sign + mant + exp, &ok);
    return ok ? v : 0.0;
}

namespace {

bool upsertValue(const QString &date, int itemid, int level, const QString &value, QString *error)
{
    QVector<QVariantList> rows;
    if (!db::select(QStringLiteral("select rowid from qctb where qcdate=? and itemid=? order by rowid limit 1"),
                    {date, itemid}, &rows, error))
        return false;
    const QString column = QStringLiteral("value%1").arg(level);
    if (!rows.isEmpty())
        return db::exec(QStringLiteral("update qctb set %1=? where rowid=?").arg(column),
                        {value, rows.first().value(0)}, error);
    return db::exec(QStringLiteral("insert into qctb (qcdate, itemid, %1) values (?, ?, ?)").arg(column),
                    {date, itemid, value}, error);
}

bool validLevel(int level, QString *error)
{
    if (level >= 1 && level <= 3)
        return true;
    if (error)
        *error = QStringLiteral("未选择质控图");
    return false;
}

} // namespace

bool storeValue(const QDate &day, int itemid, int level, const QString &value, bool *stored, QString *error)
{
    if (stored)
        *stored = false;
    if (!validLevel(level, error))
        return false;
    const std::optional<QString> text = normaliseValue(value);
    if (!text)
        return true;
    db::Transaction t(db::database());
    if (!t.begin(error) || !upsertValue(isoDate(day), itemid, level, *text, error) || !t.commit(error))
        return false;
    if (stored)
        *stored = true;
    return true;
}

bool nameSample(const QVariant &shelfid, const QVariant &checkdate, const QString &name, QString *error)
{
    return db::exec(QStringLiteral("update patient set name=? where shelfid=? and checkdate is ?"),
                    {name, shelfid, checkdate}, error);
}

bool deleteValue(const QDate &day, int itemid, int level, QString *error)
{
    if (!validLevel(level, error))
        return false;
    const QString date = isoDate(day);
    db::Transaction t(db::database());
    if (!t.begin(error))
        return false;
    if (!db::exec(QStringLiteral("update qctb set value%1=NULL where qcdate=? and itemid=?").arg(level),
                  {date, itemid}, error))
        return false;
    if (!db::exec(QStringLiteral("delete from qctb where qcdate=? and itemid=? and coalesce(value1,'')=''"
                                 " and coalesce(value2,'')='' and coalesce(value3,'')=''"),
                  {date, itemid}, error))
        return false;
    return t.commit(error);
}

QString captureQuery()
{
    // The order is fixed so that of two samples of one material on one day
    // the later registered one wins every time. A control sample's results
    // are those of its own day: the same number may be a patient's on
    // another day still in the tables.
    return QStringLiteral("select a.name,a.checkdate, b.itemid,b.value from patient a,testresult b"
                          " where (a.name like ?) and (a.shelfid=b.shelfid) and (a.checkdate is b.checkdate)"
                          " order by a.checkdate, a.rowid, b.itemid, b.rowid");
}

bool storeCaptured(const db::Dataset &rows, CaptureCount *count, QString *error)
{
    CaptureCount c;
    db::Transaction t(db::database());
    if (!t.begin(error))
        return false;
    for (int i = 0; i < rows.recordCount(); ++i) {
        const int level = levelOfControlName(rows.valueAt(i, QStringLiteral("name")).toString());
        if (level == 0) {
            ++c.skippedNames;
            continue;
        }
        const std::optional<QString> value = normaliseValue(rows.valueAt(i, QStringLiteral("value")).toString());
        if (!value) {
            ++c.skippedValues;
            continue;
        }
        const QString date = rows.valueAt(i, QStringLiteral("checkdate")).toString();
        const int itemid = rows.valueAt(i, QStringLiteral("itemid")).toInt();
        if (!upsertValue(date, itemid, level, *value, error))
            return false;
        ++c.stored;
    }
    if (!t.commit(error))
        return false;
    if (count)
        *count = c;
    return true;
}

bool applyLot(int year, int month, int level, const QString &lot, QString *error)
{
    if (!validLevel(level, error))
        return false;
    const QString column = QStringLiteral("batchno%1").arg(level);
    db::Transaction t(db::database());
    if (!t.begin(error))
        return false;
    QVector<QVariantList> monthRows;
    if (!db::select(QStringLiteral("select rowid, itemno from qcpara where zkyear=? and zkmonth=? order by itemno, rowid"),
                    {year, month}, &monthRows, error))
        return false;
    for (const QVariantList &row : monthRows) {
        QVector<QVariantList> found;
        // The search runs before the row changes and covers the shown month too.
        if (!db::select(QStringLiteral("select xb1,xb2,xb3,s1,s2,s3 from qcpara where (itemno=?) and (%1=?)"
                                       " order by zkyear desc,zkmonth desc limit 1").arg(column),
                        {row.value(1), lot}, &found, error))
            return false;
        QString sql = QStringLiteral("update qcpara set %1=?").arg(column);
        QVariantList params{lot};
        if (!found.isEmpty()) {
            const QStringList targets{QStringLiteral("xb1"), QStringLiteral("xb2"), QStringLiteral("xb3"),
                                      QStringLiteral("s1"), QStringLiteral("s2"), QStringLiteral("s3")};
            for (int k = 0; k < targets.size(); ++k) {
                sql += QStringLiteral(", %1=coalesce(%1, ?)").arg(targets[k]);
                params << found.first().value(k);
            }
        }
        sql += QStringLiteral(" where rowid=?");
        params << row.value(0);
        if (!db::exec(sql, params, error))
            return false;
    }
    return t.commit(error);
}

Stats statistics(const QVector<QString> &values)
{
    Stats s;
    QVector<double> v;
    v.reserve(values.size());
    double sum = 0;
    for (const QString &t : values) {
        if (t.isEmpty() || !isnum(t))
            continue;
        const double x = numberOf(t);
        v.append(x);
        sum += x;
    }
    s.count = v.size();
    if (s.count > 1) {
        s.mean = sum / s.count;
        double sq = 0;
        for (double x : v)
            sq += (s.mean - x) * (s.mean - x);
        s.sd = std::sqrt(sq / (s.count - 1));
        s.cv = s.mean != 0 ? s.sd / s.mean * 100 : 0;
    } else if (s.count == 1) {
        s.mean = v.first();
    }
    return s;
}

QString formatStat(double v)
{
    // Rounded to four decimals first, then shown with two, a tie on the
    // four-decimal value going away from zero (10.125 shows 10.13).
    if (const std::optional<Currency> c = Currency::fromText(QString::number(v, 'g', 15))) {
        const qint64 scaled = c->scaled();
        const qint64 magnitude = scaled < 0 ? -scaled : scaled;
        const qint64 hundredths = (magnitude + 50) / 100;
        return QString::asprintf("%s%lld.%02lld", scaled < 0 && hundredths != 0 ? "-" : "",
                                 hundredths / 100, hundredths % 100);
    }
    return QString::asprintf("%0.2f", v);
}

QString statsText(const Stats &s)
{
    return QStringLiteral("X=%1 SD=%2 CV=%3%").arg(formatStat(s.mean), formatStat(s.sd), formatStat(s.cv));
}

QString emptyStatsText()
{
    return QStringLiteral("X=    SD=   CV=");
}

QString chartTitle(const QString &yearText, const QString &monthText, const QString &abbreviation)
{
    return yearText + QStringLiteral("年") + monthText + QStringLiteral("月室内质控图(") + abbreviation
           + QStringLiteral(")");
}

void clearLimitLines(ChartModel &chart)
{
    for (int i = 1; i <= 7; ++i)
        if (ChartSeries *s = chart.find(QStringLiteral("Series%1").arg(i)))
            s->clear();
    const ChartModel fresh;
    chart.left = fresh.left;
    chart.bottom = fresh.bottom;
}

bool checkTargetSd(const QString &caption, QVariant &value, QString *why)
{
    const QVariant typed = value;
    if (!fieldcheck::currency(caption, value, why))
        return false;
    if (value.toDouble() <= 0) {
        if (why)
            *why = QStringLiteral("%1必须大于 0，“%2”不能保存").arg(caption, typed.toString());
        value = typed;
        return false;
    }
    return true;
}

void drawLimitLines(ChartModel &chart, double mean, double sd, int days)
{
    clearLimitLines(chart);
    chart.left.increment = sd;
    chart.left.maximum = mean + 4 * sd;
    chart.left.minimum = mean - 4 * sd;
    chart.bottom.maximum = days;
    const double y[7] = {mean + sd, mean - sd, mean + 2 * sd, mean - 2 * sd, mean + 3 * sd, mean - 3 * sd, mean};
    for (int i = 1; i <= 7; ++i) {
        ChartSeries *s = chart.find(QStringLiteral("Series%1").arg(i));
        if (!s)
            continue;
        for (int x = 0; x <= days; ++x)
            s->add(y[i - 1]);
    }
}

QString reportCaption(const QString &lot, const QString &statistics)
{
    return QStringLiteral("质控结果［批号：") + lot + QStringLiteral("］:（") + statistics + QStringLiteral("）");
}

} // namespace qc
