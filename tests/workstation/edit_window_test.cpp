// The manual-entry window driven with keys, and "删除登记" / "修改标本号" from
// the sample list's menu, offscreen with the dialog seam answering.
#include "graphics/graphpanel.h"
#include "samplerow.h"
#include "testdb.h"
#include "workstation/resultinput.h"
#include "wsfixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace wst;

namespace {

void addGraphs(const QString &id)
{
    const graphics::GraphRow graphs = sample::realisticRow();
    QVariantList a{id};
    for (int i = 1; i <= 12; ++i)
        a << QString::fromLatin1(graphs.a[i]);
    run(QStringLiteral("insert into gresult (shelfid,a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12) "
                       "values (?,?,?,?,?,?,?,?,?,?,?,?,?)"), a);
}

// Item numbers of the result grid's rows.
QList<int> gridItems()
{
    QList<int> items;
    for (const QString &i : column(Form1->testresultset, "itemid"))
        items << i.toInt();
    return items;
}

QImage rbcPicture() { return Form1->Panel1->picture(2); }

class EditWindows : public Workstation
{
protected:
    void SetUp() override
    {
        Workstation::SetUp();
        Form1->buildSampleEdit(); // twice: still one handler per menu item
    }
    // Opens the entry window as N8Click would have, without its modal loop.
    Tfrmresultinput *openEntry()
    {
        activate(frmresultinput);
        return frmresultinput;
    }
    void type(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

} // namespace

TEST_F(EditWindows, ResultsTypedByNumberAndAbbreviation)
{
    addPatient(QStringLiteral("3"));
    addPatient("4", {}, 0, kOperator, {}, "2026-12-01");
    addResult(QStringLiteral("4"), 1, QStringLiteral("5.00"));
    Form1->samplePageShow();
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("4")));
    Tfrmresultinput *w = openEntry();

    EXPECT_TRUE(w->Edit1->hasFocus());
    type(w->Edit1, QStringLiteral("8"));
    EXPECT_EQ(w->Label2->text(), QStringLiteral("指标名称：淋巴细胞百分比[LYM%]"));
    EXPECT_TRUE(w->Edit2->hasFocus());
    type(w->Edit2, QStringLiteral("35.26"));
    EXPECT_EQ(stored("4", 8), QStringLiteral("35.3")); // one decimal for LYM%
    // Back on the item, which stays for a quick correction.
    EXPECT_TRUE(w->Edit1->hasFocus());
    EXPECT_EQ(w->Edit1->text(), QStringLiteral("8"));
    QTest::keyClick(w->Edit1, Qt::Key_Return);
    EXPECT_TRUE(w->Edit2->text().isEmpty());
    type(w->Edit2, QStringLiteral("36"));
    EXPECT_EQ(stored("4", 8), QStringLiteral("36.0"));
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from testresult where shelfid='4' and itemid=8")).toInt(), 1);
    // An earlier day's sample keeps its own date on the new row.
    EXPECT_EQ(db::scalar(QStringLiteral("select checkdate from testresult where shelfid='4' and itemid=8")).toString(),
              QStringLiteral("2026-12-01"));

    // Abbreviations in any letter case; an existing value is overwritten.
    type(w->Edit1, QStringLiteral("wbc"));
    EXPECT_EQ(w->Label2->text(), QStringLiteral("指标名称：白细胞计数[WBC]"));
    type(w->Edit2, QStringLiteral("6.125"));
    EXPECT_EQ(stored("4", 1), QStringLiteral("6.12"));
    // A flag text goes in as typed.
    type(w->Edit1, QStringLiteral("plt"));
    type(w->Edit2, QStringLiteral("H+"));
    EXPECT_EQ(stored("4", 19), QStringLiteral("H+"));

    // The result grid shows what was stored, in item order; nothing was derived.
    EXPECT_EQ(gridItems(), (QList<int>{1, 8, 19}));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(current(), QStringLiteral("4"));
    EXPECT_TRUE(w->grab().save(testdb::outputDir() + QStringLiteral("/workstation_result_entry.png")));
}

TEST_F(EditWindows, UnknownItemsClearTheEntryAndStoreNothing)
{
    addPatient(QStringLiteral("3"));
    Form1->samplePageShow();
    Tfrmresultinput *w = openEntry();

    type(w->Edit1, QStringLiteral("wbc"));
    type(w->Edit1, QStringLiteral("LYM*"));
    EXPECT_TRUE(w->Edit1->text().isEmpty());
    EXPECT_EQ(w->Label2->text(), QStringLiteral("指标名称："));
    EXPECT_TRUE(w->Edit2->text().isEmpty());
    EXPECT_TRUE(w->Edit1->hasFocus());
    EXPECT_EQ(w->curitemid.toInt(), -1);
    // A value with no item chosen is dropped, whichever way the edit is left.
    w->Edit2->setFocus();
    QTest::keyClicks(w->Edit2, QStringLiteral("5"));
    QTest::keyClick(w->Edit2, Qt::Key_Return);
    w->Edit2->setText(QStringLiteral("5"));
    w->Edit2Exit();
    EXPECT_EQ(rowsUnder("testresult", QStringLiteral("3")), 0);

    // The value edit stops at the column's twelve characters.
    type(w->Edit1, QStringLiteral("1"));
    w->Edit2->setFocus();
    QTest::keyClicks(w->Edit2, QStringLiteral("1234567890123456"));
    EXPECT_EQ(w->Edit2->text().size(), 12);

    // Esc ends entry without storing the half-typed value.
    QTest::keyClick(w->Edit2, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rowsUnder("testresult", QStringLiteral("3")), 0);
}

TEST_F(EditWindows, EmptyValueStepsToTheNextSampleAndOnlyItsOperatorMayType)
{
    addPatient(QStringLiteral("1"));
    addPatient("2", {}, 0, QStringLiteral("王五"));
    Form1->samplePageShow();

    // N8Click: another operator's sample does not open the window.
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("2")));
    Form1->N8Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改检验结果!"));
    EXPECT_FALSE(frmresultinput->isVisible());
    // Its own sample opens it modally.
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("1")));
    bool shown = false;
    QTimer::singleShot(0, [&shown]() {
        shown = frmresultinput->isVisible();
        frmresultinput->reject();
    });
    dialogs.clear();
    Form1->N8Click();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(dialogs.shown.isEmpty());

    Tfrmresultinput *w = openEntry();
    type(w->Edit1, QStringLiteral("1"));
    type(w->Edit2, QStringLiteral("4"));
    EXPECT_EQ(stored("1", 1), QStringLiteral("4.00"));
    // Empty value: on to the next sample, whose results and graphs show.
    addGraphs(QStringLiteral("2"));
    const QImage blank = rbcPicture();
    type(w->Edit1, QStringLiteral("1"));
    type(w->Edit2, QString());
    EXPECT_EQ(current(), QStringLiteral("2"));
    EXPECT_NE(rbcPicture(), blank);
    EXPECT_TRUE(w->Edit1->hasFocus());
    // The step skipped the check made on opening; storing makes it.
    type(w->Edit1, QStringLiteral("1"));
    type(w->Edit2, QStringLiteral("9"));
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改检验结果!"));
    EXPECT_EQ(rowsUnder("testresult", QStringLiteral("2")), 0);
    // The last sample stays the current one.
    type(w->Edit1, QStringLiteral("1"));
    type(w->Edit2, QString());
    EXPECT_EQ(current(), QStringLiteral("2"));
}

TEST_F(EditWindows, DeleteRemovesExactlyTheSampleAfterConfirmation)
{
    for (const char *id : {"1", "1%", "10", "2"})
        addPatient(QString::fromLatin1(id));
    for (const char *id : {"1", "1%", "10", "2"}) {
        addResult(QString::fromLatin1(id), 1, QStringLiteral("5.00"));
        addGraphs(QString::fromLatin1(id));
    }
    addResult(QStringLiteral("2"), 19, QStringLiteral("200"));
    Form1->samplePageShow();
    Form1->N23Click(); // unprinted only
    ASSERT_EQ(listIds(), (QStringList{"1", "1%", "2", "10"}));
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("1")));

    dialogs.answer(false);
    Form1->N5->trigger();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("确实要删除病人资料及结果吗？")});
    EXPECT_EQ(rowsUnder("patient", "1") + rowsUnder("testresult", "1") + rowsUnder("gresult", "1"), 3);

    dialogs.clear();
    Form1->N5->trigger();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(rowsUnder("patient", "1") + rowsUnder("testresult", "1") + rowsUnder("gresult", "1"), 0);
    // The sample that followed takes the deleted one's place in the list; the
    // list, its filter and the status bar show every sample.
    EXPECT_EQ(listIds(), (QStringList{"1%", "2", "10"}));
    EXPECT_EQ(current(), QStringLiteral("1%"));
    EXPECT_EQ(Form1->printfilter, 3);
    EXPECT_EQ(Form1->StatusBar1->panelText(5), QStringLiteral("全部"));

    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("2")));
    Form1->N5Click();
    EXPECT_EQ(current(), QStringLiteral("10"));
    EXPECT_EQ(gridItems(), QList<int>{1});
    EXPECT_EQ(Form1->gresultset->text(QStringLiteral("shelfid")), QStringLiteral("10"));
    // The last one: the new last becomes current.
    Form1->N5Click();
    EXPECT_EQ(listIds(), QStringList{"1%"});
    EXPECT_EQ(current(), QStringLiteral("1%"));
    const QImage drawn = rbcPicture();
    Form1->N5Click();
    EXPECT_TRUE(listIds().isEmpty());
    EXPECT_TRUE(Form1->testresultset->isEmpty());
    EXPECT_NE(rbcPicture(), drawn); // the graphs are cleared
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from patient")).toInt(), 0);
}

TEST_F(EditWindows, DeleteRefusedForAnotherOperator)
{
    addPatient("1", {}, 0, QStringLiteral("王五"));
    addPatient(QStringLiteral("2"));
    addResult(QStringLiteral("2"), 1, QStringLiteral("5.00"));
    Form1->samplePageShow();

    // Refused before any question.
    Form1->N5Click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("病人的检验者不是当前检验者，不能删除病人资料!")});
    EXPECT_EQ(rowsUnder("patient", "1"), 1);

    // An empty list: the empty operator text is not the current operator.
    run(QStringLiteral("delete from patient"));
    Form1->N25Click();
    dialogs.clear();
    Form1->N5Click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("病人的检验者不是当前检验者，不能删除病人资料!")});
}

TEST_F(EditWindows, RenumberMovesTheSampleWithItsResultsAndGraphs)
{
    addPatient(QStringLiteral("5"));
    addPatient("6", {}, 1);
    addPatient(QStringLiteral("8"));
    addResult(QStringLiteral("5"), 1, QStringLiteral("5.00"));
    addResult(QStringLiteral("5"), 19, QStringLiteral("200"));
    addGraphs(QStringLiteral("5"));
    addResult(QStringLiteral("5%"), 1, QStringLiteral("9.00")); // look-alike without registration
    Form1->samplePageShow();
    Form1->N23Click(); // unprinted only: 5, 8
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("5")));
    const QImage drawn = rbcPicture();

    dialogs.answer(true, QStringLiteral(" 12\t"));
    Form1->N29->trigger();
    EXPECT_TRUE(dialogs.shown == QStringList{QStringLiteral("请输入新标本号：")});
    EXPECT_EQ(dialogs.kinds[0], dlg::Kind::Input);
    for (const char *table : {"patient", "testresult", "gresult"}) {
        EXPECT_EQ(rowsUnder(table, "5"), 0) << table;
        EXPECT_EQ(rowsUnder(table, "12"), table == QByteArray("testresult") ? 2 : 1) << table;
    }
    EXPECT_EQ(rowsUnder("testresult", "5%"), 1);
    // Same filter; the moved sample is current with its results and graphs.
    EXPECT_EQ(listIds(), (QStringList{"8", "12"}));
    EXPECT_EQ(Form1->printfilter, 1);
    EXPECT_EQ(current(), QStringLiteral("12"));
    EXPECT_EQ(gridItems(), (QList<int>{1, 19}));
    EXPECT_EQ(rbcPicture(), drawn);
}

TEST_F(EditWindows, RenumberRefusesBadOrUsedNumbers)
{
    addPatient(QStringLiteral("5"));
    addPatient(QStringLiteral("6"));
    addResult(QStringLiteral("5"), 1, QStringLiteral("5.00"));
    addResult(QStringLiteral("7"), 1, QStringLiteral("7.00")); // waiting, unregistered
    Form1->samplePageShow();
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("5")));
    auto answerWith = [this](const QString &text) {
        dialogs.clear();
        dialogs.answer(true, text);
        Form1->N29Click();
        return dialogs.shown.size() > 1 ? dialogs.shown[1] : QString();
    };

    EXPECT_EQ(answerWith(QStringLiteral("6")), QStringLiteral("标本号 6 已存在!"));
    EXPECT_EQ(answerWith(QStringLiteral("5")), QStringLiteral("标本号 5 已存在!"));
    EXPECT_EQ(answerWith(QStringLiteral("7")), QStringLiteral("标本号 7 已有检验结果，不能改为此号!"));
    EXPECT_EQ(answerWith(QStringLiteral("1 2")), QStringLiteral("不是数字!，请重输!"));
    EXPECT_EQ(answerWith(QStringLiteral("abc")), QStringLiteral("不是数字!，请重输!"));
    EXPECT_EQ(answerWith(QStringLiteral("  ")), QString());
    dialogs.clear();
    dialogs.answer(false, QStringLiteral("9"));
    Form1->N29Click();
    EXPECT_EQ(dialogs.shown.size(), 1);

    EXPECT_EQ(listIds(), (QStringList{"5", "6"}));
    EXPECT_EQ(current(), QStringLiteral("5"));
}
