// The tables of a new database and the default data it is given.
#include "app/database.h"
#include "platform/db/connection.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A new database file connected as the program's connection.
class NewDatabase : public ::testing::Test
{
protected:
    void open(bool withDefaults)
    {
        ASSERT_TRUE(m_dir.isValid());
        const QString path = m_dir.filePath(QStringLiteral("jykdb.mdb"));
        QString error;
        ASSERT_TRUE(appdb::createDatabaseFile(path, withDefaults, &error)) << error.toStdString();
        ASSERT_TRUE(db::connect(path, &error)) << error.toStdString();
    }
    void TearDown() override { db::disconnect(); }

    static void run(const QString &sql, const QVariantList &params = {})
    {
        QSqlQuery q(db::database());
        ASSERT_TRUE(q.prepare(sql)) << q.lastError().text().toStdString();
        for (const QVariant &p : params)
            q.addBindValue(p);
        ASSERT_TRUE(q.exec()) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    static QVector<QVariantList> rows(const QString &sql)
    {
        QVector<QVariantList> out;
        QSqlQuery q(db::database());
        if (!q.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return out;
        }
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            out << row;
        }
        return out;
    }
    static QStringList columnsOf(const QString &table)
    {
        QStringList cols;
        for (const QVariantList &r : rows(QStringLiteral("select name from pragma_table_info('%1')").arg(table)))
            cols << r[0].toString().toLower();
        return cols;
    }

    QTemporaryDir m_dir;
};

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST_F(NewDatabase, HoldsEveryTableAndColumnTheProgramUses)
{
    open(false);
    const char *graph = "shelfid a1 a2 a3 a4 a5 a6 a7 a8 a9 a10 a11 a12 checkdate";
    const QList<QPair<const char *, const char *>> tables = {
        {"patient", "shelfid name sex age mzno caseno bedno depart kind apperance diagnose doctor "
                    "takedate taketime checkdate operator bgtime printflag"},
        {"testresult", "shelfid checkdate itemid value"},
        {"gresult", graph},
        {"histpatient", "shelfid mzno caseno name sex age depart kind diagnose doctor taketime "
                        "takedate apperance checkdate operator bgtime bedno"},
        {"hisresult", "checkdate itemid value rowno shelfid"},
        {"hisgresult", graph},
        {"itemtb", "itemid abbreviation name unit printorder hsyz bitnum manlow manhigh womanlow "
                   "womanhigh rowno itemmark expressions"},
        {"department", "no suoxie name"},
        {"doctor", "no name"},
        {"operator", "no name exp1"},
        {"samplekind", "name rowno"},
        {"sampleapperance", "name no"},
        {"codetb", ""},
        {"corpration", "imeno prntindex paperindex rptindex p_top p_left p_bottom p_right"},
        {"qcpara", "zkyear zkmonth itemno batchno1 batchno2 batchno3 xb1 xb2 xb3 s1 s2 s3"},
        {"qctb", "qcdate itemid value1 value2 value3"},
    };
    for (const auto &t : tables) {
        const QStringList present = columnsOf(QString::fromLatin1(t.first));
        EXPECT_FALSE(present.isEmpty()) << "missing table " << t.first;
        for (const QString &c : words(t.second))
            EXPECT_TRUE(present.contains(c)) << "missing column " << t.first << '.' << c.toStdString();
    }
    EXPECT_FALSE(columnsOf(QStringLiteral("histpatient")).contains(QStringLiteral("printflag")));
    EXPECT_EQ(rows(QStringLiteral("pragma user_version")).value(0).value(0).toInt(), 1);
}

TEST_F(NewDatabase, NewPatientIsUnprintedAndTextStaysText)
{
    open(false);
    run(QStringLiteral("insert into patient (shelfid, name, checkdate) values (?, ?, ?)"),
        {QStringLiteral("0012"), QStringLiteral("张三"), QStringLiteral("2024-03-05")});
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
        {QStringLiteral("0012"), QStringLiteral("2024-03-05"), 1, QStringLiteral("12.30")});
    const auto p = rows(QStringLiteral("select printflag, bgtime, shelfid from patient"));
    ASSERT_EQ(p.size(), 1);
    EXPECT_EQ(p[0][0].toInt(), 0);
    EXPECT_FALSE(p[0][0].isNull());
    EXPECT_TRUE(p[0][1].isNull());
    // Leading zeros and trailing decimals survive: no numeric affinity.
    EXPECT_EQ(p[0][2].toString(), QStringLiteral("0012"));
    EXPECT_EQ(rows(QStringLiteral("select value from testresult"))[0][0].toString(), QStringLiteral("12.30"));
    // Sample numbers compare exactly.
    EXPECT_TRUE(rows(QStringLiteral("select 1 from patient where shelfid = '12'")).isEmpty());
}

TEST_F(NewDatabase, ArchiveCopyWithNamedColumnsKeepsEveryValueInItsColumn)
{
    open(false);
    const QStringList pcols = words("shelfid name sex age mzno caseno bedno depart kind apperance diagnose "
                                    "doctor takedate taketime checkdate operator bgtime");
    QVariantList values;
    for (const QString &c : pcols)
        values << c;
    run(QStringLiteral("insert into patient (%1) values (%2)")
            .arg(pcols.join(QLatin1Char(',')), QStringList(pcols.size(), QStringLiteral("?")).join(QLatin1Char(','))),
        values);
    run(QStringLiteral("insert into histpatient (%1) select %1 from patient").arg(pcols.join(QLatin1Char(','))));
    const auto h = rows(QStringLiteral("select %1 from histpatient").arg(pcols.join(QLatin1Char(','))));
    ASSERT_EQ(h.size(), 1);
    for (int i = 0; i < pcols.size(); ++i)
        EXPECT_EQ(h[0][i].toString(), pcols[i]);

    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values ('7', '2024-03-05', 13, '135')"));
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values ('8', '2024-03-05', 1, '6.50')"));
    run(QStringLiteral("insert into hisresult (shelfid, checkdate, itemid, value) "
                       "select shelfid, checkdate, itemid, value from testresult order by shelfid"));
    const auto r = rows(QStringLiteral("select rowno, shelfid, checkdate, itemid, value from hisresult order by rowno"));
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(r[0], (QVariantList{1, QStringLiteral("7"), QStringLiteral("2024-03-05"), 13, QStringLiteral("135")}));
    EXPECT_EQ(r[1][0].toInt(), 2);
    EXPECT_EQ(r[1][4].toString(), QStringLiteral("6.50"));

    QStringList gcols = words("shelfid a1 a2 a3 a4 a5 a6 a7 a8 a9 a10 a11 a12 checkdate");
    values.clear();
    for (const QString &c : gcols)
        values << c + QStringLiteral("  ");  // graph lines keep trailing blanks
    run(QStringLiteral("insert into gresult (%1) values (%2)")
            .arg(gcols.join(QLatin1Char(',')), QStringList(gcols.size(), QStringLiteral("?")).join(QLatin1Char(','))),
        values);
    run(QStringLiteral("insert into hisgresult (%1) select %1 from gresult").arg(gcols.join(QLatin1Char(','))));
    const auto g = rows(QStringLiteral("select %1 from hisgresult").arg(gcols.join(QLatin1Char(','))));
    ASSERT_EQ(g.size(), 1);
    for (int i = 0; i < gcols.size(); ++i)
        EXPECT_EQ(g[0][i].toString(), gcols[i] + QStringLiteral("  "));
}

TEST_F(NewDatabase, CountersFillAndDuplicateNumbersAreRefused)
{
    open(false);
    run(QStringLiteral("insert into samplekind (name) values ('a')"));
    run(QStringLiteral("insert into samplekind (name) values ('b')"));
    run(QStringLiteral("insert into sampleapperance (name) values ('c')"));
    run(QStringLiteral("insert into itemtb (itemid, abbreviation) values (1, 'WBC')"));
    EXPECT_EQ(rows(QStringLiteral("select rowno from samplekind order by rowno")),
              (QVector<QVariantList>{{1}, {2}}));
    EXPECT_EQ(rows(QStringLiteral("select no from sampleapperance"))[0][0].toInt(), 1);
    EXPECT_EQ(rows(QStringLiteral("select rowno from itemtb"))[0][0].toInt(), 1);
    // A deleted counter value is never given again.
    run(QStringLiteral("delete from samplekind where rowno = 2"));
    run(QStringLiteral("insert into samplekind (name) values ('d')"));
    EXPECT_EQ(rows(QStringLiteral("select max(rowno) from samplekind"))[0][0].toInt(), 3);

    QSqlQuery q(db::database());
    run(QStringLiteral("insert into department (no, suoxie, name) values (1, 'nk', '内科')"));
    EXPECT_FALSE(q.exec(QStringLiteral("insert into department (no, suoxie, name) values (1, 'wk', '外科')")));
    run(QStringLiteral("insert into operator (no, name) values (100, 'a')"));
    EXPECT_FALSE(q.exec(QStringLiteral("insert into operator (no, name) values (100, 'b')")));
    run(QStringLiteral("insert into doctor (no, name) values ('01', 'a')"));
    EXPECT_FALSE(q.exec(QStringLiteral("insert into doctor (no, name) values ('01', 'b')")));
    run(QStringLiteral("insert into doctor (no, name) values ('1', 'c')"));  // text numbers: '1' is not '01'
}

bool isDecimal(const QString &s)
{
    static const QRegularExpression re(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    return re.match(s).hasMatch();
}

TEST_F(NewDatabase, ItemCatalogueFitsTheAnalyserRecord)
{
    open(true);
    const auto items = rows(QStringLiteral(
        "select itemid, abbreviation, itemmark, expressions, hsyz, bitnum, manlow, manhigh, womanlow, "
        "womanhigh, name, unit, printorder from itemtb order by itemid"));
    ASSERT_GE(items.size(), 22);
    QSet<QString> marks;
    QSet<int> ids;
    QSet<int> printorders;
    for (const auto &it : items) {
        ids.insert(it[0].toInt());
        printorders.insert(it[12].toInt());
    }
    EXPECT_EQ(ids.size(), items.size()) << "item numbers repeat";
    EXPECT_EQ(printorders.size(), items.size()) << "print orders repeat";

    int derived = 0;
    for (const auto &it : items) {
        const std::string abbr = it[1].toString().toStdString();
        const QString mark = it[2].toString().trimmed();
        const QString formula = it[3].toString();
        EXPECT_FALSE(it[10].toString().isEmpty()) << abbr;
        EXPECT_FALSE(it[4].isNull()) << abbr << ": no conversion factor";
        EXPECT_FALSE(it[5].isNull()) << abbr << ": no decimals";
        if (formula.isEmpty()) {
            ASSERT_EQ(mark.size(), 1) << abbr;
            const QChar c = mark[0];
            EXPECT_NE(c, QLatin1Char('u')) << abbr << ": the sample-number mark";
            EXPECT_FALSE(c.unicode() >= 0x57 && c.unicode() <= 0x62) << abbr << ": a graph mark";
            EXPECT_TRUE(c.unicode() > 0x20 && c.unicode() < 0x7F) << abbr;
            EXPECT_FALSE(marks.contains(mark)) << abbr << ": mark used twice";
            marks.insert(mark);
        } else {
            ++derived;
            EXPECT_TRUE(mark.isEmpty()) << abbr << ": a derived item is never received";
            // Every parenthesised text is an item reference; grouping parentheses
            // would be taken for one.
            static const QRegularExpression ref(QStringLiteral("\\(([^()]*)\\)"));
            int refs = 0;
            for (auto m = ref.globalMatch(formula); m.hasNext();) {
                const QString n = m.next().captured(1).trimmed();
                bool ok = false;
                const int id = n.toInt(&ok);
                EXPECT_TRUE(ok && ids.contains(id) && id != it[0].toInt()) << abbr << ": bad reference " << n.toStdString();
                ++refs;
            }
            EXPECT_GE(refs, 1) << abbr;
            EXPECT_EQ(formula.count(QLatin1Char('(')), refs) << abbr;
            EXPECT_EQ(formula.count(QLatin1Char(')')), refs) << abbr;
        }
        // Reference limits are plain numbers, low below high.
        for (int lo : {6, 8}) {
            const QString low = it[lo].toString(), high = it[lo + 1].toString();
            if (low.isEmpty() && high.isEmpty())
                continue;
            EXPECT_TRUE(isDecimal(low) && isDecimal(high)) << abbr;
            EXPECT_LT(low.toDouble(), high.toDouble()) << abbr;
        }
    }
    EXPECT_EQ(derived, 2);

    // g/dL from the analyser is stored as whole g/L.
    for (const char *abbr : {"HGB", "MCHC"}) {
        const auto r = rows(QStringLiteral("select hsyz, bitnum, unit from itemtb where abbreviation = '%1'").arg(QLatin1String(abbr)));
        ASSERT_EQ(r.size(), 1) << abbr;
        EXPECT_DOUBLE_EQ(r[0][0].toDouble(), 10.0) << abbr;
        EXPECT_EQ(r[0][1].toInt(), 0) << abbr;
        EXPECT_EQ(r[0][2].toString(), QStringLiteral("g/L")) << abbr;
    }
    const auto rbc = rows(QStringLiteral("select manlow, manhigh, womanlow, womanhigh from itemtb where abbreviation = 'RBC'"));
    ASSERT_EQ(rbc.size(), 1);
    EXPECT_EQ(rbc[0], (QVariantList{QStringLiteral("4.3"), QStringLiteral("5.8"), QStringLiteral("3.8"), QStringLiteral("5.1")}));
}

TEST_F(NewDatabase, DefaultRowsGiveTheSettingsAndFirstChoices)
{
    open(true);
    const auto corp = rows(QStringLiteral("select imeno, prntindex, paperindex, rptindex, p_top, p_left, p_bottom, p_right from corpration"));
    ASSERT_EQ(corp.size(), 1);
    for (const QVariant &v : corp[0])
        EXPECT_TRUE(v.isNull());
    EXPECT_EQ(rows(QStringLiteral("select name from samplekind order by rowno"))[0][0].toString(), QStringLiteral("全血"));
    EXPECT_EQ(rows(QStringLiteral("select name from sampleapperance order by no"))[0][0].toString(), QStringLiteral("正常"));
    EXPECT_TRUE(rows(QStringLiteral("select * from operator")).isEmpty());
    EXPECT_FALSE(rows(QStringLiteral("select * from codetb")).isEmpty());
    EXPECT_FALSE(rows(QStringLiteral("select * from department")).isEmpty());
    EXPECT_FALSE(rows(QStringLiteral("select * from doctor")).isEmpty());
    for (const char *t : {"patient", "testresult", "gresult", "histpatient", "hisresult", "hisgresult", "qcpara", "qctb"})
        EXPECT_TRUE(rows(QStringLiteral("select * from %1").arg(QLatin1String(t))).isEmpty()) << t;
}

} // namespace
