#include "base/CustData.h"

#include "base/database.h"
#include "base/fieldcheck.h"

#include <QRegularExpression>

Tdbdata *dbdata = nullptr;

namespace {
db::FieldDef fd(const char *name, const QString &label = QString(), int width = 0, bool readOnly = false,
                bool visible = true)
{
    db::FieldDef d;
    d.name = QString::fromLatin1(name);
    d.label = label;
    d.width = width;
    d.readOnly = readOnly;
    d.visible = visible;
    return d;
}

db::FieldDef checked(db::FieldDef d, db::FieldDef::Check check)
{
    d.check = std::move(check);
    return d;
}

void repositionAfterPost(db::Dataset &ds, const std::function<void(const QString &)> &reportError)
{
    if (ds.isEmpty())
        return;
    const int n = ds.recNo();
    if (!ds.requery()) {
        // The row is stored; only the list is gone. Say so, or the grid
        // would stand empty without a reason.
        if (reportError)
            reportError(ds.lastError());
        return;
    }
    if (n <= ds.recordCount())
        ds.setRecNo(n);
    else
        ds.last();
}

// A number that another row already holds, told with the column's caption
// and the number typed; empty for any other refusal, whose database text
// the message boxes word as every database failure is.
QString numberInUse(const db::Dataset &ds, const QString &error)
{
    static const QRegularExpression unique(QStringLiteral("UNIQUE constraint failed: (?:\\w+\\.)?(\\w+)"));
    const QRegularExpressionMatch m = unique.match(error);
    if (!m.hasMatch())
        return QString();
    for (const db::FieldDef &d : ds.fieldDefs()) {
        if (d.name.compare(m.captured(1), Qt::CaseInsensitive) != 0)
            continue;
        const QString caption = d.label.isEmpty() ? d.name : d.label;
        return QStringLiteral("%1 %2 已被另一行使用，请改用其他%1，或按 Esc 放弃这一行的修改。").arg(caption, ds.text(d.name));
    }
    return QString();
}
} // namespace

Tdbdata::Tdbdata(const QString &databaseFile, QObject *parent)
    : QObject(parent)
{
    auto make = [this](const QString &sql, const QString &table) {
        auto *ds = new db::Dataset(this);
        ds->setSql(sql);
        ds->setUpdateTable(table);
        return ds;
    };
    itemset = make(QStringLiteral("select * from itemtb order by itemid"), QStringLiteral("itemtb"));
    using fieldcheck::text;
    const db::FieldDef::Check smallInt = fieldcheck::smallInt;
    itemset->setFieldDefs({checked(fd("itemid", QStringLiteral("序号"), 10), smallInt),
                           checked(fd("abbreviation", QStringLiteral("缩写"), 9), text(20)),
                           checked(fd("name", QStringLiteral("名称"), 22), text(50)),
                           checked(fd("unit", QStringLiteral("单位"), 9), text(15)),
                           checked(fd("printorder", QStringLiteral("打印顺序"), 6), smallInt),
                           checked(fd("hsyz", QStringLiteral("换算因子"), 8), fieldcheck::currency),
                           checked(fd("bitnum", QStringLiteral("小数位数"), 4), smallInt),
                           checked(fd("manlow", QStringLiteral("男下限"), 7), text(10)),
                           checked(fd("manhigh", QStringLiteral("男上限"), 7), text(10)),
                           checked(fd("womanlow", QStringLiteral("女下限"), 7), text(10)),
                           checked(fd("womanhigh", QStringLiteral("女上限"), 10), text(10)),
                           fd("rowno", QString(), 0, true, false),
                           checked(fd("itemmark", QString(), 0, false, false), text(20)),
                           checked(fd("expressions", QString(), 0, false, false), text(50))});
    doctorset = make(QStringLiteral("select * from doctor order by [no]"), QStringLiteral("doctor"));
    doctorset->setFieldDefs({checked(fd("no", QStringLiteral("编号")), text(10)),
                             checked(fd("name", QStringLiteral("姓名")), text(8))});
    operatorset = make(QStringLiteral("select * from operator"), QStringLiteral("operator"));
    operatorset->setFieldDefs({checked(fd("no", QStringLiteral("编号")), smallInt),
                               checked(fd("name", QStringLiteral("姓名")), text(8))});
    departset = make(QStringLiteral("select * from department  order by [no]"), QStringLiteral("department"));
    departset->setFieldDefs({checked(fd("no", QStringLiteral("编号")), smallInt),
                             checked(fd("suoxie", QStringLiteral("缩写")), text(10)),
                             checked(fd("name", QStringLiteral("名称")), text(20))});
    kindset = make(QStringLiteral("select * from samplekind"), QStringLiteral("samplekind"));
    kindset->setFieldDefs({checked(fd("name", QStringLiteral("标本种类")), text(50)), fd("rowno", QString(), 0, true)});
    apperanceset = make(QStringLiteral("select * from sampleapperance"), QStringLiteral("sampleapperance"));
    apperanceset->setFieldDefs({checked(fd("name", QStringLiteral("标本状况")), text(10)), fd("no", QString(), 0, true)});
    codeset = make(QStringLiteral("select * from codetb"), QString());
    corpset = make(QStringLiteral("select * from corpration"), QStringLiteral("corpration"));
    qcparaset = make(QStringLiteral("select zkyear, zkmonth,itemno,batchno1,batchno2,batchno3, xb1, s1, xb2, s2, xb3, s3 "
                                    "from qcpara order by zkyear,zkmonth,itemno"),
                     QStringLiteral("qcpara"));
    qcdataset = make(QStringLiteral("select qcdate, itemid, value1,value2,value3 from qctb"), QStringLiteral("qctb"));
    qctemp = new db::Dataset(this);

    for (db::Dataset *ds : {itemset, doctorset, operatorset, departset, kindset})
        ds->onPostError = [this](db::Dataset &d, QString &e, db::Dataset::PostAction &a) {
            kindsetPostError(d, e, a);
        };
    apperanceset->onPostError = [this](db::Dataset &d, QString &e, db::Dataset::PostAction &a) {
        apperancesetPostError(d, e, a);
    };
    kindset->afterPost = [this](db::Dataset &d) { kindsetAfterPost(d); };
    apperanceset->afterPost = [this](db::Dataset &d) { apperancesetAfterPost(d); };

    const appdb::OpenResult r = appdb::openOrCreate(databaseFile, &m_error, &m_notice);
    m_connected = r != appdb::OpenResult::Failed;
    if (m_connected && !openDatasets())
        m_connected = false;
}

Tdbdata::~Tdbdata() = default;

bool Tdbdata::openDatasets()
{
    for (db::Dataset *ds : {itemset, doctorset, operatorset, departset, kindset, apperanceset, codeset, corpset}) {
        if (!ds->open()) {
            m_error = ds->lastError();
            return false;
        }
    }
    return true;
}

void Tdbdata::kindsetPostError(db::Dataset &ds, QString &error, db::Dataset::PostAction &)
{
    // The failure stands: the row stays in edit as typed, for the user to
    // correct or drop, and whoever posted it shows the reason.
    const QString taken = numberInUse(ds, error);
    if (!taken.isEmpty())
        error = taken;
}

void Tdbdata::apperancesetPostError(db::Dataset &ds, QString &error, db::Dataset::PostAction &action)
{
    kindsetPostError(ds, error, action);
}

void Tdbdata::kindsetAfterPost(db::Dataset &)
{
    repositionAfterPost(*kindset, reportError);
}

void Tdbdata::apperancesetAfterPost(db::Dataset &)
{
    repositionAfterPost(*apperanceset, reportError);
}
