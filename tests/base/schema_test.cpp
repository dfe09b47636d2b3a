// What a new database's tables do with the rows the program writes, and the
// item catalogue it is given (whether the program finds its tables and
// columns is tried by opening files).
#include "base/database.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "tables.h"
#include "testdb.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using tables::rows;

namespace {

void run(const QString &sql, const QVariantList &params = {})
{
    QString e;
    ASSERT_TRUE(db::exec(sql, params, &e)) << sql.toStdString() << ": " << e.toStdString();
}

// Leading zeros of sample numbers and trailing decimals of values are met
// through storing records; the default of printflag through the dataset.
TEST(NewDatabase, CountersFillAndDuplicateNumbersAreRefused)
{
    testdb::fresh(false);
    run(QStringLiteral("insert into samplekind (name) values ('a'), ('b')"));
    run(QStringLiteral("insert into sampleapperance (name) values ('c')"));
    run(QStringLiteral("insert into itemtb (itemid, abbreviation) values (1, 'WBC')"));
    // A deleted counter value is never given again.
    run(QStringLiteral("delete from samplekind where rowno = 2"));
    run(QStringLiteral("insert into samplekind (name) values ('d')"));
    EXPECT_EQ(rows(QStringLiteral("select rowno from samplekind union all select no from sampleapperance "
                                  "union all select rowno from itemtb")),
              (QVector<QStringList>{{"1"}, {"3"}, {"1"}, {"1"}}));

    // Doctor numbers are text: '1' is not '01'.
    for (const char *t : {"department", "operator", "doctor"}) {
        const QString insert = QStringLiteral("insert into %1 (no, name) values ('01', ?)").arg(QLatin1String(t));
        run(insert, {QStringLiteral("a")});
        EXPECT_FALSE(db::exec(insert, {QStringLiteral("b")})) << t << ": a number used twice";
    }
    run(QStringLiteral("insert into doctor (no, name) values ('1', 'c')"));
}

TEST(NewDatabase, ItemCatalogueFitsTheAnalyserRecord)
{
    testdb::fresh(true);
    const auto items = rows(QStringLiteral(
        "select itemid, abbreviation, ifnull(trim(itemmark), ''), ifnull(expressions, ''), ifnull(manlow, ''), "
        "ifnull(manhigh, ''), ifnull(womanlow, ''), ifnull(womanhigh, '') from itemtb order by itemid"));
    ASSERT_GE(items.size(), 22);
    // Numbers and print orders never repeat, nor do the marks of received items;
    // every item has its name, conversion factor and decimals.
    EXPECT_EQ(rows(QStringLiteral(
                  "select count(distinct itemid), count(distinct printorder), count(nullif(name, '')), count(hsyz), "
                  "count(bitnum), count(distinct nullif(trim(itemmark), '')) + sum(expressions <> '') from itemtb")),
              (QVector<QStringList>{QStringList(6, QString::number(items.size()))}));
    QSet<int> ids;
    for (const auto &it : items)
        ids.insert(it[0].toInt());

    static const QRegularExpression decimal(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    static const QRegularExpression ref(QStringLiteral("\\(([^()]*)\\)"));
    for (const auto &it : items) {
        const std::string abbr = it[1].toStdString();
        const QString &mark = it[2], &formula = it[3];
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
            const QString low = it[lo], high = it[lo + 1];
            if (low.isEmpty() && high.isEmpty())
                continue;
            EXPECT_TRUE(decimal.match(low).hasMatch() && decimal.match(high).hasMatch()) << abbr;
            EXPECT_LT(low.toDouble(), high.toDouble()) << abbr;
        }
    }
}

} // namespace
