// The tables of a new database and the default data it is given (the copy
// into the history tables is tried through the end of day).
#include "base/database.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"

#include <QRegularExpression>
#include <QSet>
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
        QString e;
        ASSERT_TRUE(db::exec(sql, params, &e)) << sql.toStdString() << ": " << e.toStdString();
    }
    static QVector<QVariantList> rows(const QString &sql, const QVariantList &params = {})
    {
        QVector<QVariantList> out;
        QString e;
        EXPECT_TRUE(db::select(sql, params, &out, &e)) << sql.toStdString() << ": " << e.toStdString();
        return out;
    }
    static QStringList columnsOf(const QString &table)
    {
        QStringList cols;
        for (const QVariantList &r : rows(QStringLiteral("select lower(name) from pragma_table_info(?)"), {table}))
            cols << r[0].toString();
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
}

TEST_F(NewDatabase, NewPatientIsUnprintedAndTextStaysText)
{
    open(false);
    run(QStringLiteral("insert into patient (shelfid, name, checkdate) values (?, ?, ?)"),
        {QStringLiteral("0012"), QStringLiteral("张三"), QStringLiteral("2024-03-05")});
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
        {QStringLiteral("0012"), QStringLiteral("2024-03-05"), 1, QStringLiteral("12.30")});
    // Leading zeros and trailing decimals survive: no numeric affinity.
    EXPECT_EQ(rows(QStringLiteral("select printflag, bgtime is null, shelfid, (select value from testresult) from patient")),
              (QVector<QVariantList>{{0, 1, QStringLiteral("0012"), QStringLiteral("12.30")}}));
}

TEST_F(NewDatabase, CountersFillAndDuplicateNumbersAreRefused)
{
    open(false);
    run(QStringLiteral("insert into samplekind (name) values ('a'), ('b')"));
    run(QStringLiteral("insert into sampleapperance (name) values ('c')"));
    run(QStringLiteral("insert into itemtb (itemid, abbreviation) values (1, 'WBC')"));
    EXPECT_EQ(rows(QStringLiteral("select rowno from samplekind union all select no from sampleapperance "
                                  "union all select rowno from itemtb")),
              (QVector<QVariantList>{{1}, {2}, {1}, {1}}));
    // A deleted counter value is never given again.
    run(QStringLiteral("delete from samplekind where rowno = 2"));
    run(QStringLiteral("insert into samplekind (name) values ('d')"));
    EXPECT_EQ(rows(QStringLiteral("select max(rowno) from samplekind"))[0][0].toInt(), 3);

    // Doctor numbers are text: '1' is not '01'.
    for (const char *t : {"department", "operator", "doctor"}) {
        const QString insert = QStringLiteral("insert into %1 (no, name) values ('01', ?)").arg(QLatin1String(t));
        run(insert, {QStringLiteral("a")});
        EXPECT_FALSE(db::exec(insert, {QStringLiteral("b")})) << t << ": a number used twice";
    }
    run(QStringLiteral("insert into doctor (no, name) values ('1', 'c')"));
}

TEST_F(NewDatabase, ItemCatalogueFitsTheAnalyserRecord)
{
    open(true);
    const auto items = rows(QStringLiteral(
        "select itemid, abbreviation, trim(itemmark), expressions, manlow, manhigh, womanlow, womanhigh "
        "from itemtb order by itemid"));
    ASSERT_GE(items.size(), 22);
    // Numbers and print orders never repeat, nor do the marks of received items;
    // every item has its name, conversion factor and decimals.
    EXPECT_EQ(rows(QStringLiteral(
                  "select count(distinct itemid), count(distinct printorder), count(nullif(name, '')), count(hsyz), "
                  "count(bitnum), count(distinct nullif(trim(itemmark), '')) + sum(expressions <> '') from itemtb")),
              (QVector<QVariantList>{QVariantList(6, int(items.size()))}));
    QSet<int> ids;
    for (const auto &it : items)
        ids.insert(it[0].toInt());

    static const QRegularExpression decimal(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    static const QRegularExpression ref(QStringLiteral("\\(([^()]*)\\)"));
    int derived = 0;
    for (const auto &it : items) {
        const std::string abbr = it[1].toString().toStdString();
        const QString mark = it[2].toString(), formula = it[3].toString();
        if (formula.isEmpty()) {
            ASSERT_EQ(mark.size(), 1) << abbr;
            const ushort c = mark[0].unicode();
            EXPECT_NE(c, 'u') << abbr << ": the sample-number mark";
            EXPECT_FALSE(c >= 0x57 && c <= 0x62) << abbr << ": a graph mark";
            EXPECT_TRUE(c > 0x20 && c < 0x7F) << abbr;
        } else {
            ++derived;
            EXPECT_TRUE(mark.isEmpty()) << abbr << ": a derived item is never received";
            // Every parenthesised text is an item reference; grouping parentheses
            // would be taken for one.
            int refs = 0;
            for (auto m = ref.globalMatch(formula); m.hasNext(); ++refs) {
                const QString n = m.next().captured(1).trimmed();
                EXPECT_TRUE(ids.contains(n.toInt()) && n.toInt() != it[0].toInt()) << abbr << ": bad reference " << n.toStdString();
            }
            EXPECT_GE(refs, 1) << abbr;
            EXPECT_EQ(formula.count(QLatin1Char('(')) + formula.count(QLatin1Char(')')), 2 * refs) << abbr;
        }
        // Reference limits are plain numbers, low below high.
        for (int lo : {4, 6}) {
            const QString low = it[lo].toString(), high = it[lo + 1].toString();
            if (low.isEmpty() && high.isEmpty())
                continue;
            EXPECT_TRUE(decimal.match(low).hasMatch() && decimal.match(high).hasMatch()) << abbr;
            EXPECT_LT(low.toDouble(), high.toDouble()) << abbr;
        }
    }
    EXPECT_EQ(derived, 2);

    // g/dL from the analyser is stored as whole g/L.
    EXPECT_EQ(rows(QStringLiteral("select abbreviation, hsyz, bitnum, unit from itemtb "
                                  "where abbreviation in ('HGB', 'MCHC') order by itemid")),
              (QVector<QVariantList>{{QStringLiteral("HGB"), 10.0, 0, QStringLiteral("g/L")},
                                     {QStringLiteral("MCHC"), 10.0, 0, QStringLiteral("g/L")}}));
}

TEST_F(NewDatabase, DefaultRowsGiveTheSettingsAndFirstChoices)
{
    open(true);
    // One settings row with nothing chosen and the default margins (0); no
    // operator, so the first log-on makes the default one.
    EXPECT_EQ(rows(QStringLiteral("select coalesce(imeno, prntindex, paperindex, rptindex) is null, "
                                  "p_top + p_left + p_bottom + p_right, (select count(*) from operator) from corpration")),
              (QVector<QVariantList>{{1, 0, 0}}));
    EXPECT_EQ(rows(QStringLiteral("select (select name from samplekind order by rowno limit 1), "
                                  "(select name from sampleapperance order by no limit 1)")),
              (QVector<QVariantList>{{QStringLiteral("全血"), QStringLiteral("正常")}}));
}

} // namespace
