// The history search against a fresh database: what each typed particular
// finds, through which index every search and count reads, a large answer.
#include "common/testdb.h"

#include "workstation/history.h"
#include "wsdb.h"

using namespace wst;

namespace {

QDate day(const char *iso) { return QDate::fromString(QLatin1String(iso), Qt::ISODate); }

ws::HistoryFilter range(const char *first, const char *last)
{
    ws::HistoryFilter f;
    f.first = day(first);
    f.last = day(last);
    return f;
}

// The rows the search finds, opened as the page opens them.
void openFound(const ws::HistoryFilter &f, db::Dataset *ds)
{
    QVector<qint64> keys;
    QString err;
    EXPECT_TRUE(ws::findHistory(db::database(), f, &keys, &err)) << err.toStdString();
    EXPECT_TRUE(ds->openRows(QStringLiteral("histpatient"), ws::historyColumns(), keys));
}

// "day/shelfid" of every row the search finds, in its order.
QStringList found(const ws::HistoryFilter &f)
{
    db::Dataset ds;
    openFound(f, &ds);
    QStringList out;
    for (int i = 0; i < ds.recordCount(); ++i)
        out << ds.valueAt(i, QStringLiteral("checkdate")).toString() + QLatin1Char('/')
                   + ds.valueAt(i, QStringLiteral("shelfid")).toString();
    return out;
}

// Every step of the statement's query plan that reads one of these tables
// (named as the statement names them) goes through the given index.
void expectIndexes(const QString &sql, const QVariantList &params, const QMap<QString, QString> &indexOf, const char *what)
{
    QVector<QVariantList> steps;
    ASSERT_TRUE(db::select(QStringLiteral("explain query plan ") + sql, params, &steps));
    for (auto it = indexOf.cbegin(); it != indexOf.cend(); ++it) {
        int reads = 0;
        for (const QVariantList &r : steps) {
            const QString step = r.value(3).toString();
            if (!(step + QLatin1Char(' ')).contains(QLatin1Char(' ') + it.key() + QLatin1Char(' ')))
                continue;
            ++reads;
            EXPECT_TRUE(step.contains(QStringLiteral("INDEX ") + it.value())) << what << ": " << step.toStdString();
        }
        EXPECT_GT(reads, 0) << what << " never reads " << it.key().toStdString();
    }
}

} // namespace

TEST(History, DaysAndEachParticularNarrowTheSearchBoundAndSafely)
{
    testdb::fresh();
    archive("10", "2026-11-30", "张三", "男", "Z100", "M1", "内科");
    archive("9", "2026-12-01", "李四", "女", "Z200", "M2", "外科");
    archive("10", "2026-12-01", "王张", "男", "Z1000", "M3", "内科");
    archive("2", "2026-12-01", "O'Brien", "男", "Z300", "M4", "儿科");
    archive("1a", "2026-12-02", "赵六", "女", "Z100", "M5", "妇产科");
    archive("1", "2026-12-02", "50%张", "女", "Z400", "M6", "内科");
    archive("3", "2026-12-03", "钱七", "男", "Z500", "M7", "内科");
    // Newest day first, then by number; both ends belong to the range.
    EXPECT_EQ(found(range("2026-12-01", "2026-12-02")),
              (QStringList{"2026-12-02/1", "2026-12-02/1a", "2026-12-01/2", "2026-12-01/9", "2026-12-01/10"}));
    using H = ws::HistoryFilter;
    const struct { const char *first, *last; QString H::*field; const char *typed; QStringList expected; } cases[] = {
        {"2026-11-30", "2026-11-30", nullptr, "", {"2026-11-30/10"}},
        {"2026-12-04", "2026-12-31", nullptr, "", {}}, {"2026-12-03", "2026-12-01", nullptr, "", {}},
        {"2026-11-01", "2026-12-31", &H::name, "张", {"2026-11-30/10", "2026-12-01/10", "2026-12-02/1"}}, // anywhere in the name
        {"2026-11-01", "2026-12-31", &H::caseno, "Z100", {"2026-11-30/10", "2026-12-02/1a"}}, // whole value: Z1000 is another
        {"2026-11-01", "2026-12-31", &H::caseno, "Z10%", {"2026-11-30/10", "2026-12-01/10", "2026-12-02/1a"}}, // typed wildcard
        {"2026-11-01", "2026-12-31", &H::mzno, "M2", {"2026-12-01/9"}},
        {"2026-11-01", "2026-12-31", &H::sex, "女", {"2026-12-01/9", "2026-12-02/1", "2026-12-02/1a"}},
        {"2026-12-01", "2026-12-31", &H::depart, "内科", {"2026-12-01/10", "2026-12-02/1", "2026-12-03/3"}},
        // Quotes and percent signs find what holds them and break nothing.
        {"2026-11-01", "2026-12-31", &H::name, "O'Bri", {"2026-12-01/2"}},
        {"2026-11-01", "2026-12-31", &H::name, "50%", {"2026-12-02/1"}},
        {"2026-11-01", "2026-12-31", &H::name, "x') or ('1'='1", {}},
        {"2026-11-01", "2026-12-31", &H::depart, "内科' or '1'='1", {}},
    };
    for (const auto &c : cases) {
        H f = range(c.first, c.last);
        if (c.field)
            f.*c.field = QString::fromUtf8(c.typed);
        QStringList got = found(f);
        got.sort();
        EXPECT_EQ(got, c.expected) << c.first << ".." << c.last << " " << c.typed;
    }
    // Combined.
    auto f = range("2026-12-01", "2026-12-02");
    f.depart = QStringLiteral("内科");
    f.name = QStringLiteral("张");
    f.sex = QStringLiteral("女");
    EXPECT_EQ(found(f), QStringList{"2026-12-02/1"});
}

// A sample counts once per day and number that has a result of that same
// day, in the day tables and the history tables alike; both ends belong to
// the range.
TEST(Workload, EachDayAndNumberWithAResultOfThatDayCountsOnce)
{
    testdb::fresh();
    const auto visit = [](const char *id, const char *day, std::initializer_list<const char *> resultDays) {
        addPatient(id, {}, 0, kOperator, {}, day);
        int item = 0;
        for (const char *d : resultDays)
            addResult(id, ++item, QStringLiteral("1"), d);
    };
    visit("5", "2026-12-05", {"2026-12-05"});
    visit("5", "2026-12-06", {"2026-12-06", "2026-12-06"});
    visit("6", "2026-12-06", {"2026-12-05"}); // a result of another day only
    visit("7", "2026-12-06", {});
    archive("5", "2026-12-01");
    archiveResult("5", "2026-12-01", 1);
    archive("5", "2026-12-02");
    archiveResult("5", "2026-12-02", 1);
    archiveResult("5", "2026-12-02", 2);
    archive("8", "2026-12-02");
    archiveResult("8", "2026-12-01", 1);
    QStringList counts;
    for (const auto &[first, last] : {std::pair{"2026-12-01", "2026-12-06"}, {"2026-12-02", "2026-12-05"},
                                      {"2026-12-03", "2026-12-04"}}) {
        QString err;
        const std::optional<int> n = ws::workloadCount(day(first), day(last), &err);
        counts << (n ? QString::number(*n) : err);
    }
    EXPECT_EQ(counts.join(QLatin1Char(' ')).toStdString(), "4 2 0");
}

// Ten years of archive make a full scan of these tables take seconds: each
// search and count must keep finding its rows through an index.
TEST(HistoryPlan, EverySearchAndCountReadsThroughAnIndex)
{
    testdb::fresh();
    using F = QString ws::HistoryFilter::*;
    const struct { const char *what; QVector<std::pair<F, const char *>> typed; const char *index; } searches[] = {
        {"all of a range", {}, "histpatient_day_sample"},
        {"name", {{&ws::HistoryFilter::name, "张"}}, "histpatient_day_name"},
        {"sex", {{&ws::HistoryFilter::sex, "男"}}, "histpatient_day_name"},
        {"case number and name", {{&ws::HistoryFilter::caseno, "Z100"}, {&ws::HistoryFilter::name, "张"}}, "histpatient_caseno_day"},
        {"case number with a wildcard", {{&ws::HistoryFilter::caseno, "z10%"}}, "histpatient_caseno_day"},
        {"out-patient number", {{&ws::HistoryFilter::mzno, "M1"}}, "histpatient_mzno_day"},
        {"department", {{&ws::HistoryFilter::depart, "内科"}}, "histpatient_depart_day"},
    };
    for (const auto &s : searches) {
        ws::HistoryFilter f = range("2016-01-01", "2026-12-31");
        for (const auto &[field, text] : s.typed)
            f.*field = QString::fromUtf8(text);
        const ws::BoundSql q = ws::historySearch(f);
        expectIndexes(q.sql, q.params, {{QStringLiteral("histpatient"), QString::fromLatin1(s.index)}}, s.what);
    }

    const QVariantList key{QStringLiteral("10"), QStringLiteral("2026-12-01")};
    for (const auto &[what, sql, index] : {std::tuple{"results", ws::historyResultsSql(), "hisresult_day_sample"},
                                           {"graph row", ws::historyGraphSql(), "hisgresult_day_sample"},
                                           {"print rows", ws::historyPrintRowsSql(), "hisresult_day_sample"}})
        expectIndexes(sql, key, {{QStringLiteral("a"), QLatin1String(index)}}, what);
    expectIndexes(ws::workloadCountSql(true), {QStringLiteral("2016-01-01"), QStringLiteral("2026-12-31")},
                  {{QStringLiteral("a"), QStringLiteral("histpatient_day_sample")},
                   {QStringLiteral("b"), QStringLiteral("hisresult_day_sample")}}, "workload");
}

// Thousands of archived samples: every row once and in order, and rows read
// again after paging far away still hold their own values.
TEST(HistoryAnswer, LargeAnswerKeepsEveryRowsOwnValues)
{
    testdb::fresh();
    run("with recursive n(i) as (select 1 union all select i + 1 from n where i < 6000) "
        "insert into histpatient (shelfid, checkdate, name) select i, '2026-01-01', '病人' || i from n");
    db::Dataset ds;
    openFound(range("2025-01-01", "2026-12-31"), &ds);
    QStringList names, expected;
    for (ds.first(); !ds.eof(); ds.next())
        names << ds.text("name");
    ds.first();
    names << ds.text("name");
    for (int i = 1; i <= 6000; ++i)
        expected << QStringLiteral("病人%1").arg(i);
    expected << expected.first();
    const auto diff = std::mismatch(names.begin(), names.end(), expected.begin(), expected.end());
    EXPECT_TRUE(names.size() == expected.size() && diff.first == names.end()) << "row " << (diff.first - names.begin());
}
