// The result grid's Ctrl+Enter and the linear-correction window, driven
// offscreen with the dialog seam answering.
#include "platform/widgets/dbgrid.h"
#include "workstation/linejust.h"
#include "wsfixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace wst;

namespace {

using LineJust = Workstation;

} // namespace

TEST_F(LineJust, CtrlEnterRecomputesTheCurrentSamplesDerivedItems)
{
    for (const QString id : {"5", "6"}) {
        addPatient(id);
        addResult(id, 2, "7");
        addResult(id, 3, "2");
    }
    Form1->samplePageShow();
    Form1->show();
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "5"));
    DBGrid *grid = Form1->DBGrid2;
    grid->setFocus();
    ASSERT_TRUE(Form1->testresultset->locate("itemid", 3));
    ASSERT_TRUE(grid->setSelectedField("value"));

    QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(stored("5", 23), "3.50");
    EXPECT_EQ(stored("6", 23), "<none>");
    // The grid shows the new row and stays on the result it was on.
    EXPECT_EQ(Form1->testresultset->recordCount(), 3);
    EXPECT_EQ(Form1->testresultset->asInteger("itemid"), 3);

    // An operand that is not a number: the reason is shown, nothing stored.
    run("update testresult set value='H' where shelfid='5' and itemid=2");
    run("update testresult set value='9.99' where shelfid='5' and itemid=23");
    ASSERT_TRUE(grid->setSelectedField("value"));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ShiftModifier);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_TRUE(dialogs.last().contains("H"));
    EXPECT_EQ(stored("5", 23), "9.99");
}

TEST_F(LineJust, MenuOpensItModallyOnTheCurrentItem)
{
    // "线性校正" opens it modally on the current result's item; "取消" closes it.
    addPatient("5");
    addResult("5", 12, "4.5");
    Form1->samplePageShow();
    frmlinejust->samp1->setText("5");
    bool wasModal = false;
    QTimer::singleShot(0, [&]() {
        wasModal = frmlinejust->isVisible() && frmlinejust->isModal();
        frmlinejust->Button2->click();
    });
    Form1->N17->trigger();
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(frmlinejust->isVisible());
    EXPECT_EQ(frmlinejust->edititemid->text(), "12");
    EXPECT_EQ(frmlinejust->samp1->text(), "5"); // texts stay between uses
}

TEST_F(LineJust, CorrectsTheListedRangeInOneGo)
{
    // 100 sorts after 10 in the list, though before 8 as text.
    addPatient("8");
    addPatient("9", {}, 1);
    addPatient("10");
    addPatient("100");
    addResult("8", 2, "12.50");
    addResult("8", 3, "2");
    addResult("9", 2, "3");
    addResult("9", 3, "2");
    addResult("10", 2, "H");
    addResult("100", 2, "3");
    Form1->samplePageShow();
    frmlinejust->show();
    frmlinejust->edititemid->setText("2");
    frmlinejust->edita->setText("1.1");
    frmlinejust->editb->setText("0");

    // Unprinted samples only: 9 is hidden, so it cannot serve as a bound.
    Form1->N23Click();
    frmlinejust->samp1->setText("9");
    frmlinejust->samp2->setText("8");
    frmlinejust->Button1->click();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(stored("8", 2), "12.50");

    // All samples, bounds reversed.
    Form1->N25Click();
    frmlinejust->samp1->setText(" 10");
    frmlinejust->samp2->setText("8 ");
    frmlinejust->Button1->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("数据调整完毕！")});
    EXPECT_TRUE(frmlinejust->isVisible());
    EXPECT_EQ(stored("8", 2), "13.75");
    EXPECT_EQ(stored("8", 23), "6.88"); // 6.875 to even
    EXPECT_EQ(stored("9", 2), "3.3");
    EXPECT_EQ(stored("9", 23), "1.65");
    EXPECT_EQ(stored("10", 2), "H");
    EXPECT_EQ(stored("100", 2), "3");
    // The result grid was read again.
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "8"));
    EXPECT_EQ(Form1->testresultset->recordCount(), 3);

    // A failure on the last sample: the message, and nothing kept.
    run("update testresult set value='x' where shelfid='9' and itemid=3");
    dialogs.clear();
    frmlinejust->Button1->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_NE(dialogs.last(), QStringLiteral("数据调整完毕！"));
    EXPECT_EQ(stored("8", 2), "13.75");
    EXPECT_EQ(stored("8", 23), "6.88");
}
