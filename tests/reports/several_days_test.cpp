// The day tables holding more than one day (an end of day was skipped): one
// sample number belongs to a patient of each day, and every print path and
// the end of day keep each patient with its own results.
#include "printwindow.h"

#include "platform/db/dataset.h"
#include "platform/widgets/statusbar.h"
#include "qc/qcnamesel.h"
#include "reports/stub.h"

namespace {

const QString kYesterday = "2026-12-05", kToday = "2026-12-06";

// A sample of a day with a WBC result (none when value is empty) and a graph
// row whose first line names the day.
void addDaySample(const QString &id, const QString &day, const QString &name, const QString &value)
{
    addSample(id, name, value, "男", day);
    if (!value.isEmpty())
        EXPECT_TRUE(db::exec("insert into gresult (shelfid, checkdate, a1) values (?, ?, ?)", {id, day, "g" + day}));
}

QString all(const QString &sql) { return db::scalar(QString("select group_concat(x, ' ') from (%1)").arg(sql)).toString(); }

class SeveralDays : public PrintingWindow
{
protected:
    // Sample 5 of yesterday and of today, and with `control` sample 36 of
    // both days (yesterday's with a second result).
    void twoDays(bool control, const QString &todays36 = "质控品1")
    {
        addDaySample("5", kYesterday, "张昨日", "4.1");
        addDaySample("5", kToday, "王今日", "7.7");
        if (!control)
            return;
        addDaySample("36", kYesterday, "李三六", "3.6");
        addDaySample("36", kToday, todays36, "9.9");
        EXPECT_TRUE(db::exec("insert into testresult (shelfid, checkdate, itemid, value) values ('36', ?, 2, '2.2')",
                             {kYesterday}));
    }
    void start(int kind, int paper)
    {
        PrintingWindow::start(kind, paper);
        Form1->buildDayEnd();
    }
    // Moves a list onto the row of this number and day.
    static void select(db::Dataset *list, const QString &id, const QString &day)
    {
        for (int r = 1; r <= list->recordCount(); ++r) {
            list->setRecNo(r);
            if (list->text("shelfid") == id && list->value("checkdate").toString() == day)
                return;
        }
        FAIL() << "no row " << id.toStdString() << " of " << day.toStdString();
    }
};

// ---- printing ------------------------------------------------------------------

TEST_F(SeveralDays, BatchPrintsEachDaysPatientWithItsOwnResultsAndStampsOnlyIt)
{
    twoDays(false);
    addDaySample("8", kYesterday, "赵无果", QString());   // nothing to print
    addDaySample("8", kToday, "孙八", "8.8");
    // Text pages, graphic pages, and one report per sample: {kind, paper, jobs}.
    for (const auto &[kind, paper, jobs] : {std::tuple{1, 0, 1u}, {0, 0, 2u}, {0, 2, 3u}}) {
        SCOPED_TRACE(kind * 10 + paper);
        ASSERT_TRUE(db::exec("update patient set bgtime = null, printflag = 0"));
        start(kind, paper);
        const size_t before = backend->jobs().size();
        batch("5", "8");
        EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('|').toStdString();
        ASSERT_EQ(backend->jobs().size() - before, jobs);
        const QString text = printed(before);
        for (const char *name : {"张昨日", "王今日", "孙八"})
            EXPECT_EQ(pdftools::count(text, name), 1) << name << " in " << text.toStdString();
        EXPECT_EQ(pdftools::count(text, "赵无果"), 0);
        // Each report carries its own patient's value and no other.
        EXPECT_EQ(pdftools::count(text, "4.1") + pdftools::count(text, "7.7") + pdftools::count(text, "8.8"), 3);
        EXPECT_EQ(stampOf("5", kYesterday) + stampOf("5", kToday) + stampOf("8", kToday) + stampOf("8", kYesterday),
                  "10:05|110:05|110:05|1|0");
    }
}

TEST_F(SeveralDays, ResultPrintAndStubListKeepEachDaysRowApart)
{
    twoDays(false);
    start(0, 2);
    select(Form1->patientset, "5", kToday);
    // The sample page shows that row's graphs only.
    ASSERT_EQ(Form1->gresultset->recordCount(), 1);
    EXPECT_EQ(Form1->gresultset->text("a1"), "g" + kToday);

    Form1->N3Click();
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(printed().contains("王今日") && printed().contains("7.7")) << printed().toStdString();
    EXPECT_FALSE(printed().contains("张昨日") || printed().contains("4.1")) << printed().toStdString();
    EXPECT_EQ(stampOf("5", kYesterday) + " " + stampOf("5", kToday), "|0 10:05|1");

    stub([]() { Form4->Button1->click(); });
    QFile f(workFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList samples;
    for (const QString &line : reports::fromGbk(f.readAll()).split("\r\n"))
        if (line.contains("WBC"))
            samples << line.simplified();
    EXPECT_EQ(samples, (QStringList{"5 张昨日 内科 45 WBC 4.1", "5 王今日 内科 45 WBC 7.7"}));
}

// ---- changes by hand and control capture ---------------------------------------

TEST_F(SeveralDays, HandEditsAndControlCaptureTouchOnlyTheListsRow)
{
    twoDays(true, "王某");
    start(1, 0);
    Form1->StatusBar1->setPanelText(3, "李四");

    // Marking today's 36 as control material 1 and capturing it.
    select(Form1->patientset, "36", kToday);
    QTimer::singleShot(0, [] { frmqcnamesel->Button1->click(); });
    Form1->N15Click();
    EXPECT_EQ(all("select name as x from patient where shelfid = '36' order by checkdate"), "李三六 质控品1");
    Form1->N14Click();
    EXPECT_EQ(dialogs.last(), "质控品已入库");
    EXPECT_EQ(all("select qcdate || ':' || itemid || '=' || value1 as x from qctb order by qcdate, itemid"), "2026-12-06:1=9.9");

    // Deleting today's 5's result, then the whole sample.
    select(Form1->patientset, "5", kToday);
    dialogs.answer(true);
    Form1->N7Click();
    dialogs.answer(true);
    Form1->N5Click();
    EXPECT_EQ(all("select shelfid || checkdate as x from patient order by shelfid, checkdate"),
              "362026-12-05 362026-12-06 52026-12-05");
    EXPECT_EQ(all("select shelfid || checkdate || value as x from testresult where shelfid = '5'"), "52026-12-054.1");
    EXPECT_EQ(all("select shelfid || a1 as x from gresult where shelfid = '5'"), "5g2026-12-05");
}

// ---- end of day ------------------------------------------------------------------

// Two days in the day tables with a repeated sample number and a control
// sample: the end of day keeps each day's patient with its own rows (the
// reprint of one day's visit is the history page's test).
TEST_F(SeveralDays, EndOfDayKeepsEveryPatientWithItsOwnResults)
{
    twoDays(true);
    start(1, 0);

    Form1->N12->trigger();
    EXPECT_EQ(dialogs.shown, QStringList{"确实要结束当日工作吗？"});
    EXPECT_EQ(all("select shelfid || checkdate || name as x from histpatient order by checkdate, shelfid"),
              "362026-12-05李三六 52026-12-05张昨日 52026-12-06王今日");
    EXPECT_EQ(all("select shelfid || checkdate || ':' || itemid || '=' || value as x from hisresult "
                  "order by checkdate, shelfid, itemid"),
              "362026-12-05:1=3.6 362026-12-05:2=2.2 52026-12-05:1=4.1 52026-12-06:1=7.7");
    EXPECT_EQ(all("select shelfid || a1 as x from hisgresult order by checkdate, shelfid"), "36g2026-12-05 5g2026-12-05 5g2026-12-06");
    EXPECT_EQ(all("select count(*) as x from patient union all select count(*) from testresult "
                  "union all select count(*) from gresult"), "0 0 0");

}

} // namespace
