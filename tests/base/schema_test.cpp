// What a new database's tables do with the rows the program writes, and the
// item catalogue it is given (whether the program finds its tables and
// columns is tried by opening files).
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

    QTemporaryDir m_dir;
};

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
    for (const auto &it : items) {
        const std::string abbr = it[1].toString().toStdString();
        const QString mark = it[2].toString(), formula = it[3].toString();
        if (formula.isEmpty()) {
            // One printable character, neither the sample-number mark nor a graph mark (W..b).
            const ushort c = mark.isEmpty() ? 0 : mark[0].unicode();
            EXPECT_TRUE(mark.size() == 1 && c > 0x20 && c < 0x7F && c != 'u' && !(c >= 0x57 && c <= 0x62)) << abbr;
        } else {
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
}

} // namespace
