// Manual entry, deleting and renumbering without windows: what is found,
// what is stored, and that a sample's rows move or go all together.
#include "common/testdb.h"

#include "platform/db/command.h"
#include "workstation/sampleedit.h"

#include <gtest/gtest.h>

namespace {

void run(const QString &sql, const QVariantList &params = {})
{
    QString err;
    ASSERT_TRUE(db::exec(sql, params, &err)) << err.toStdString();
}

// A sample with a registration, two results and a graph row.
void addSample(const QString &id, const QString &marker)
{
    run(QStringLiteral("insert into patient (shelfid, name, operator, checkdate) values (?, ?, '李四', '2026-12-06')"),
        {id, marker});
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, '2026-12-06', 1, ?)"),
        {id, marker});
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, '2026-12-06', 19, ?)"),
        {id, marker});
    run(QStringLiteral("insert into gresult (shelfid, a1, checkdate) values (?, ?, '2026-12-06')"), {id, marker});
}

// Every day-table row as "table:shelfid:marker", sorted, to compare whole states.
QStringList dayRows()
{
    QStringList out;
    const QStringList queries = {QStringLiteral("select 'patient', shelfid, name from patient"),
                                 QStringLiteral("select 'testresult', shelfid, itemid || '=' || value from testresult"),
                                 QStringLiteral("select 'gresult', shelfid, a1 from gresult")};
    for (const QString &q : queries) {
        QVector<QVariantList> rows;
        QString err;
        EXPECT_TRUE(db::select(q, {}, &rows, &err)) << err.toStdString();
        for (const QVariantList &r : rows)
            out << r.value(0).toString() + QLatin1Char(':') + r.value(1).toString() + QLatin1Char(':')
                       + r.value(2).toString();
    }
    out.sort();
    return out;
}

int rowsUnder(const QString &table, const QString &id)
{
    return db::scalar(QStringLiteral("select count(*) from %1 where shelfid=?").arg(table), {id}).toInt();
}

class SampleEdit : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(); }
};

} // namespace

TEST_F(SampleEdit, ItemsFoundByNumberOrLiteralAbbreviation)
{
    QString err;
    auto item = ws::findItem(QStringLiteral("  8"), &err);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->itemid, 8);
    EXPECT_EQ(item->label, QStringLiteral("淋巴细胞百分比[LYM%]"));
    EXPECT_EQ(item->bitnum, 1);

    // Letter case is ignored, wildcards are not: "lym%" is LYM%, not LYM#.
    item = ws::findItem(QStringLiteral("lym%"), &err);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->itemid, 8);
    item = ws::findItem(QStringLiteral("Lym#"), &err);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->itemid, 3);
    item = ws::findItem(QStringLiteral("rdw-cv"), &err);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->itemid, 18);

    for (const char *unknown : {"99", "0", "XYZ", "%", "_BC", "W%", "", "8 ", "WBC "}) {
        EXPECT_FALSE(ws::findItem(QString::fromUtf8(unknown), &err)) << unknown;
        EXPECT_TRUE(err.isEmpty()) << unknown;
    }
}

TEST_F(SampleEdit, NumbersTakeTheItemsDecimalsAndFlagsStayAsTyped)
{
    EXPECT_EQ(ws::storedResultText(QStringLiteral("5.2"), 2), QStringLiteral("5.20"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("35.26"), 1), QStringLiteral("35.3"));
    // Half to even on the exact value, as received results are rounded.
    EXPECT_EQ(ws::storedResultText(QStringLiteral("0.125"), 2), QStringLiteral("0.12"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("0.135"), 2), QStringLiteral("0.14"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("141.5"), 0), QStringLiteral("142"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral(" 7 "), 1), QStringLiteral("7.0"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("-.5"), 1), QStringLiteral("-0.5"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("2e2"), 0), QStringLiteral("200"));
    // Flag texts and numbers too wide for the column are kept as typed.
    EXPECT_EQ(ws::storedResultText(QStringLiteral("+++"), 2), QStringLiteral("+++"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("5,2"), 2), QStringLiteral("5,2"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("1.2.3"), 2), QStringLiteral("1.2.3"));
    EXPECT_EQ(ws::storedResultText(QStringLiteral("9999999999"), 3), QStringLiteral("9999999999"));
}

TEST_F(SampleEdit, StoringOverwritesTheSamplesOwnRowOnly)
{
    addSample(QStringLiteral("5"), QStringLiteral("five"));
    addSample(QStringLiteral("5%"), QStringLiteral("look-alike"));
    QString err;
    ASSERT_TRUE(ws::storeResult(QStringLiteral("5"), QStringLiteral("2026-11-30"), 8, QStringLiteral("30.0"), &err));
    ASSERT_TRUE(ws::storeResult(QStringLiteral("5"), QStringLiteral("2026-11-30"), 8, QStringLiteral("31.0"), &err));
    ASSERT_TRUE(ws::storeResult(QStringLiteral("5"), QStringLiteral("2026-11-30"), 1, QStringLiteral("4.40"), &err));

    QVector<QVariantList> rows;
    ASSERT_TRUE(db::select(QStringLiteral("select shelfid, itemid, value, checkdate from testresult "
                                          "order by shelfid, itemid"),
                           {}, &rows, &err));
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], (QVariantList{"5", 1, "4.40", "2026-12-06"}));
    EXPECT_EQ(rows[1], (QVariantList{"5", 8, "31.0", "2026-11-30"})); // one row, the sample's own date
    EXPECT_EQ(rows[2], (QVariantList{"5", 19, "five", "2026-12-06"}));
    EXPECT_EQ(rows[3], (QVariantList{"5%", 1, "look-alike", "2026-12-06"}));
}

TEST_F(SampleEdit, DeletingTakesExactlyTheSamplesRowsAllOrNothing)
{
    for (const char *id : {"1", "1%", "10", "1 ", "_"})
        addSample(QString::fromLatin1(id), QString::fromLatin1(id));
    QString err;
    ASSERT_TRUE(ws::deleteSample(QStringLiteral("1"), &err)) << err.toStdString();
    for (const char *table : {"patient", "testresult", "gresult"}) {
        EXPECT_EQ(rowsUnder(QString::fromLatin1(table), QStringLiteral("1")), 0) << table;
        for (const char *other : {"1%", "10", "1 ", "_"})
            EXPECT_GT(rowsUnder(QString::fromLatin1(table), QString::fromLatin1(other)), 0) << table << other;
    }

    // The registration cannot go: the results and graph data stay with it.
    const QStringList before = dayRows();
    run(QStringLiteral("create trigger refuse before delete on patient begin select raise(abort, 'locked'); end"));
    EXPECT_FALSE(ws::deleteSample(QStringLiteral("10"), &err));
    EXPECT_TRUE(err.contains(QStringLiteral("locked"))) << err.toStdString();
    EXPECT_EQ(dayRows(), before);
}

TEST_F(SampleEdit, RenumberingMovesEveryRowOfTheSample)
{
    addSample(QStringLiteral("5"), QStringLiteral("five"));
    addSample(QStringLiteral("5%"), QStringLiteral("look-alike"));
    ws::NumberUse use;
    QString err;
    ASSERT_TRUE(ws::renumberSample(QStringLiteral("5"), QStringLiteral("7"), &use, &err)) << err.toStdString();
    for (const char *table : {"patient", "testresult", "gresult"}) {
        EXPECT_EQ(rowsUnder(QString::fromLatin1(table), QStringLiteral("5")), 0) << table;
        EXPECT_GT(rowsUnder(QString::fromLatin1(table), QStringLiteral("7")), 0) << table;
        EXPECT_GT(rowsUnder(QString::fromLatin1(table), QStringLiteral("5%")), 0) << table;
    }
    // Numbers compare as text: "07" is not "7".
    ASSERT_TRUE(ws::renumberSample(QStringLiteral("7"), QStringLiteral("07"), &use, &err));
    EXPECT_EQ(rowsUnder(QStringLiteral("patient"), QStringLiteral("07")), 1);
}

TEST_F(SampleEdit, RenumberingRefusesANumberInUseAndChangesNothing)
{
    addSample(QStringLiteral("5"), QStringLiteral("five"));
    addSample(QStringLiteral("6"), QStringLiteral("six"));
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values ('8', '2026-12-06', 1, 'eight')"));
    const QStringList before = dayRows();
    ws::NumberUse use;
    QString err;

    EXPECT_FALSE(ws::renumberSample(QStringLiteral("5"), QStringLiteral("6"), &use, &err));
    EXPECT_EQ(use, ws::NumberUse::Registered);
    EXPECT_TRUE(err.isEmpty());
    EXPECT_FALSE(ws::renumberSample(QStringLiteral("5"), QStringLiteral("5"), &use, &err));
    EXPECT_EQ(use, ws::NumberUse::Registered);
    // Results wait under 8 with no registration; sample 5 has its own.
    EXPECT_FALSE(ws::renumberSample(QStringLiteral("5"), QStringLiteral("8"), &use, &err));
    EXPECT_EQ(use, ws::NumberUse::HasResults);
    EXPECT_EQ(dayRows(), before);

    // A registration typed under the wrong number, with nothing stored under
    // it yet, joins the results waiting under the right one.
    run(QStringLiteral("insert into patient (shelfid, name, operator) values ('20', 'typed', '李四')"));
    ASSERT_TRUE(ws::renumberSample(QStringLiteral("20"), QStringLiteral("8"), &use, &err)) << err.toStdString();
    EXPECT_EQ(use, ws::NumberUse::Free);
    EXPECT_EQ(db::scalar(QStringLiteral("select name from patient where shelfid='8'")).toString(), QStringLiteral("typed"));
}

TEST_F(SampleEdit, RenumberingFailingMidwayChangesNothing)
{
    addSample(QStringLiteral("5"), QStringLiteral("five"));
    addSample(QStringLiteral("6"), QStringLiteral("six"));
    const QStringList before = dayRows();
    // The last of the three tables refuses.
    run(QStringLiteral("create trigger refuse before update on gresult begin select raise(abort, 'locked'); end"));
    ws::NumberUse use;
    QString err;
    EXPECT_FALSE(ws::renumberSample(QStringLiteral("5"), QStringLiteral("9"), &use, &err));
    EXPECT_EQ(use, ws::NumberUse::Free);
    EXPECT_TRUE(err.contains(QStringLiteral("locked"))) << err.toStdString();
    EXPECT_EQ(dayRows(), before);
}
