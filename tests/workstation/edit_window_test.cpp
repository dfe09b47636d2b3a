// The manual-entry window driven with keys, and "删除登记" / "修改标本号" from
// the sample list's menu, offscreen with the dialog seam answering.
#include "graphics/graphpanel.h"
#include "samplerow.h"
#include "workstation/resultinput.h"
#include "wsfixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace wst;

namespace {

void addGraphs(const QString &id) { wst::addGraphs(id, sample::realisticRow()); }

QImage rbcPicture() { return Form1->Panel1->picture(2); }

class EditWindows : public Workstation
{
protected:
    void SetUp() override
    {
        Workstation::SetUp();
        Form1->buildSampleEdit(); // twice: still one handler per menu item
    }
    // Types an item and its value.
    static void enter(Tfrmresultinput *w, const QString &item, const QString &value)
    {
        typeInto(w->Edit1, item);
        typeInto(w->Edit2, value);
    }
};

const QString kNotYoursDelete = QStringLiteral("病人的检验者不是当前检验者，不能删除病人资料!");

} // namespace

TEST_F(EditWindows, ResultsTypedByNumberOrAbbreviationUnknownOnesDropped)
{
    addPatient("4'");
    addResult("4'", 1, "5.00");
    Form1->samplePageShow();
    Tfrmresultinput *w = frmresultinput;
    activate(w); // as N8Click opens it, without its modal loop
    EXPECT_TRUE(w->Edit1->hasFocus()); // a quote in the number is part of it
    enter(w, "8", "35.26");
    EXPECT_EQ(stored("4'", {8}), "35.26"); // as typed, not with the item's decimals
    // Back on the item, which stays for a quick correction.
    EXPECT_TRUE(w->Edit1->hasFocus() && w->Edit1->text() == "8");
    QTest::keyClick(w->Edit1, Qt::Key_Return);
    typeInto(w->Edit2, "36");
    // Abbreviations in any letter case overwrite; a flag text goes in as typed.
    enter(w, "wbc", "6.125");
    enter(w, "plt", "H+");
    EXPECT_EQ(stored("4'", {8, 1, 19}), "36/6.125/H+");
    // The result grid shows what was stored, in item order; nothing was derived.
    EXPECT_EQ(column(Form1->testresultset, "itemid"), (QStringList{"1", "8", "19"}));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();

    // An unknown item clears the entry; a value with no item chosen is
    // dropped, whichever way the edit is left.
    typeInto(w->Edit1, "LYM*");
    EXPECT_EQ(w->Edit1->text() + w->Edit2->text() + w->Label2->text(), QStringLiteral("指标名称："));
    EXPECT_TRUE(w->Edit1->hasFocus());
    typeInto(w->Edit2, "5");
    w->Edit2->setText("5");
    w->Edit2Exit();
    // Esc ends entry without storing the half-typed value.
    typeInto(w->Edit1, "1");
    typeInto(w->Edit2, "7", false);
    QTest::keyClick(w->Edit2, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored("4'", {1, 8, 19, 2}), "6.125/36/H+/<none>");
}

TEST_F(EditWindows, EmptyValueStepsToTheNextSampleAndOnlyItsOperatorMayType)
{
    addPatient("1");
    addPatient("2", {}, 0, QStringLiteral("王五"));
    Form1->samplePageShow();
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "1"));
    Tfrmresultinput *w = frmresultinput;
    activate(w);
    enter(w, "1", "4");
    EXPECT_EQ(stored("1", {1}), "4");
    // Empty value: on to the next sample, whose results and graphs show.
    addGraphs("2");
    const QImage blank = rbcPicture();
    enter(w, "1", {});
    EXPECT_EQ(current(), "2");
    EXPECT_TRUE(rbcPicture() != blank && w->Edit1->hasFocus());
    // The step skipped the check made on opening; storing makes it.
    enter(w, "1", "9");
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改检验结果!"));
    EXPECT_EQ(rowsUnder("testresult", "2"), 0);
    // The last sample stays the current one.
    enter(w, "1", {});
    EXPECT_EQ(current(), "2");
}

TEST_F(EditWindows, DeleteAsksFirstAndTheNextSampleTakesThePlace)
{
    addPatient("9", {}, 0, QStringLiteral("王五"));
    for (const QString id : {"1", "2", "10"}) {
        addPatient(id);
        addResult(id, 1, "5.00");
        addGraphs(id);
    }
    Form1->samplePageShow();
    // Another operator's sample: refused before any question.
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "9"));
    Form1->N5Click();
    EXPECT_EQ(dialogs.shown, QStringList{kNotYoursDelete});
    Form1->N23Click(); // unprinted only
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "1"));
    dialogs.clear();
    dialogs.answer(false);
    Form1->N5->trigger();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("确实要删除病人资料及结果吗？")});
    EXPECT_EQ(rowsUnder("patient", "1"), 1);

    // Yes: the sample that followed takes its place; the list shows every sample.
    Form1->N5Click();
    EXPECT_EQ(rowsUnder("patient", "1") + rowsUnder("testresult", "1") + rowsUnder("gresult", "1"), 0);
    EXPECT_EQ(listIds() << current(), (QStringList{"2", "9", "10", "2"}));
    // The last one: the new last becomes current, with its (empty) graphs.
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "10"));
    const QImage drawn = rbcPicture();
    Form1->N5Click();
    EXPECT_TRUE(current() == "9" && Form1->gresultset->isEmpty());
    EXPECT_NE(rbcPicture(), drawn); // the graphs are cleared
    // An empty list: the empty operator text is not the current operator.
    run("delete from patient");
    Form1->patientrefresh();
    dialogs.clear();
    Form1->N5Click();
    EXPECT_EQ(dialogs.shown, QStringList{kNotYoursDelete});
}

TEST_F(EditWindows, RenumberMovesTheRegistrationOrRefusesTheNumber)
{
    for (const QString id : {"5", "6", "8"})
        addPatient(id, {}, id == "6" ? 1 : 0);
    addResults("5", {{1, "5.00"}, {19, "200"}});
    addGraphs("5");
    addResult("7", 1, "7.00"); // waiting, unregistered
    Form1->samplePageShow();
    Form1->N23Click(); // unprinted only: 5, 8
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "5"));
    const QImage drawn = rbcPicture();
    // Taken numbers, no number and a cancelled question leave 5 as it is.
    const struct { const char *typed, *refusal; bool yes = true; } refused[] = {
        {"6", "标本号已存在!"}, {"5", "标本号已存在!"}, {"1 2", "不是数字!，请重输!"}, {"  ", ""}, {"9", "", false}};
    for (const auto &c : refused) {
        dialogs.clear();
        dialogs.answer(c.yes, QLatin1String(c.typed));
        Form1->N29Click();
        EXPECT_EQ(dialogs.shown.value(1), QString::fromUtf8(c.refusal)) << c.typed;
    }
    EXPECT_EQ(current(), "5");

    dialogs.clear();
    dialogs.answer(true, " 7\t");
    Form1->N29->trigger();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("请输入新标本号：")});
    // Only the registration moves: the old results stay under 5 and the
    // particulars join the results waiting under 7. Same filter.
    EXPECT_EQ(rowsUnder("patient", "5") * 10 + rowsUnder("testresult", "5"), 2);
    EXPECT_EQ(listIds() << current(), (QStringList{"7", "8", "7"}));
    EXPECT_EQ(column(Form1->testresultset, "itemid"), (QStringList{"1"}));
    EXPECT_TRUE(rbcPicture() != drawn);
}
