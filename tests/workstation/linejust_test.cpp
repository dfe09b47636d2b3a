// The result grid's Ctrl+Enter and the linear-correction window, driven
// offscreen with the dialog seam answering. The arithmetic and the range are
// tested without windows.
#include "platform/widgets/dbgrid.h"
#include "workstation/linejust.h"
#include "wsfixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace wst;

using LineJust = Workstation;

TEST_F(LineJust, CtrlEnterRecomputesTheCurrentSamplesDerivedItems)
{
    for (const QString id : {"5", "6"}) {
        addPatient(id);
        addResults(id, {{2, "7"}, {3, "2"}});
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
    EXPECT_EQ(stored("5", {23}) + stored("6", {23}), "3.50<none>");
    // The grid shows the new row and stays on the result it was on.
    EXPECT_EQ(column(Form1->testresultset, "itemid") << Form1->testresultset->text("itemid"),
              (QStringList{"2", "3", "23", "3"}));

    // An operand that is not a number: the reason is shown, nothing stored.
    run("update testresult set value='H' where shelfid='5' and itemid=2");
    run("update testresult set value='9.99' where shelfid='5' and itemid=23");
    ASSERT_TRUE(grid->setSelectedField("value"));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ShiftModifier);
    ASSERT_EQ(dialogs.kinds, std::vector<dlg::Kind>{dlg::Kind::Error});
    EXPECT_TRUE(dialogs.last().contains("H"));
    EXPECT_EQ(stored("5", {23}), "9.99");
}

TEST_F(LineJust, CorrectsTheListedRangeInOneGo)
{
    // "线性校正" opens it modally on the current result's item.
    for (const auto &[id, value] : {std::pair{"8", "12.50"}, {"9", "3"}, {"10", "H"}}) { // a flag is not corrected
        addPatient(id, {}, *id == '9' ? 1 : 0);
        addResults(id, {{2, value}, {3, "2"}});
    }
    Form1->samplePageShow();
    bool wasModal = false;
    QTimer::singleShot(0, [&]() {
        wasModal = frmlinejust->isVisible() && frmlinejust->isModal();
        frmlinejust->Button2->click();
    });
    Form1->N17->trigger();
    EXPECT_TRUE(wasModal && frmlinejust->edititemid->text() == "2");
    frmlinejust->show();
    frmlinejust->edita->setText("1.1");
    frmlinejust->editb->setText("0");

    // Unprinted samples only: 9 is hidden, so it cannot serve as a bound.
    Form1->N23Click();
    frmlinejust->samp1->setText("9");
    frmlinejust->samp2->setText("8");
    frmlinejust->Button1->click();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(stored("8", {2}), "12.50");

    // All samples, bounds reversed; derived items follow, the grid is read again.
    Form1->N25Click();
    frmlinejust->samp1->setText(" 10");
    frmlinejust->Button1->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("数据调整完毕！")});
    EXPECT_EQ(stored("8", {2, 23, 3}) + '/' + stored("9", {2}) + '/' + stored("10", {2, 23}), "13.75/6.88/2/3.3/H/<none>"); // 6.875 to even
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "8"));
    EXPECT_EQ(Form1->testresultset->recordCount(), 3);
    // An item number with a fraction names no item.
    frmlinejust->edititemid->setText("2.5");
    frmlinejust->Button1->click();
    EXPECT_EQ(stored("8", {2}), "13.75");
    frmlinejust->edititemid->setText("2");

    // A failure on sample 9, after 8 was corrected in the same run: the
    // message, and nothing kept.
    const struct { const char *setup, *a, *error; } failures[] = {
        {"update testresult set value='x' where shelfid='9' and itemid=3", "1.1", ""}, // derived item not computable
        {"create trigger refuse before update on testresult when new.shelfid='9' "
         "begin select raise(abort, 'refused by test'); end", "1.1", "refused by test"},
        {"update testresult set value='9999999999' where shelfid='9' and itemid=2", "1000", "9999999999000"}, // too long
    };
    for (const auto &f : failures) {
        run("update testresult set value=iif(itemid=2, '3.3', '2') where shelfid='9'");
        run(QLatin1String(f.setup));
        frmlinejust->edita->setText(QLatin1String(f.a));
        dialogs.clear();
        frmlinejust->Button1->click();
        ASSERT_EQ(dialogs.kinds, std::vector<dlg::Kind>{dlg::Kind::Error}) << f.setup;
        EXPECT_TRUE(dialogs.last().contains(QLatin1String(f.error))) << dialogs.last().toStdString();
        EXPECT_EQ(stored("8", {2, 23}), "13.75/6.88") << f.setup;
        run("drop trigger if exists refuse");
    }
}
