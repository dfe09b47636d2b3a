// The result grid's Ctrl+Enter and the linear-correction window, driven
// offscreen with the dialog seam answering.
#include "common/dialogscript.h"
#include "common/testdb.h"

#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/session.h"
#include "platform/db/command.h"
#include "platform/widgets/dbgrid.h"
#include "workstation/fieldcacl.h"
#include "workstation/linejust.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void exec(const QString &sql, const QVariantList &params = {})
{
    QString err;
    ASSERT_TRUE(db::exec(sql, params, &err)) << err.toStdString();
}

void addPatient(const QString &id, const QVariant &printflag)
{
    exec("insert into patient (shelfid, name, sex, printflag, operator, checkdate) "
         "values (?, '甲', '男', ?, '李四', '2026-12-06')",
         {id, printflag});
}

void addResult(const QString &id, int itemid, const QString &value)
{
    exec("insert into testresult (shelfid, checkdate, itemid, value) values (?, '2026-12-06', ?, ?)",
         {id, itemid, value});
}

QString stored(const QString &id, int itemid)
{
    const QVariant v = db::scalar("select value from testresult where shelfid=? and itemid=?", {id, itemid});
    return v.isValid() ? v.toString() : QStringLiteral("<none>");
}

class LineJust : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei"));
        const QString path = testdb::fresh();
        dbdata = new Tdbdata(path);
        ASSERT_TRUE(dbdata->connected()) << dbdata->openError().toStdString();
        session::setWorkdate(QDate(2026, 12, 6));
        session::setCurrentOperator(QStringLiteral("李四"));
        Form1 = new TForm1;
        frmfieldcount = new Tfrmfieldcount;
        frmlinejust = new Tfrmlinejust;
    }
    void TearDown() override
    {
        delete frmlinejust;
        delete frmfieldcount;
        delete Form1;
        Form1 = nullptr;
        delete dbdata;
        dbdata = nullptr;
    }
    DialogScript dialogs;
};

} // namespace

TEST_F(LineJust, CtrlEnterRecomputesTheCurrentSamplesDerivedItems)
{
    for (const QString id : {"5", "6"}) {
        addPatient(id, 0);
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
    exec("update testresult set value='H' where shelfid='5' and itemid=2");
    exec("update testresult set value='9.99' where shelfid='5' and itemid=23");
    ASSERT_TRUE(grid->setSelectedField("value"));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ShiftModifier);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_TRUE(dialogs.last().contains("H"));
    EXPECT_EQ(stored("5", 23), "9.99");
}

TEST_F(LineJust, WindowControlsAndMenu)
{
    EXPECT_EQ(frmlinejust->windowTitle(), QStringLiteral("请输入"));
    EXPECT_EQ(frmlinejust->size(), QSize(193, 250));
    EXPECT_FALSE(frmlinejust->windowFlags() & Qt::WindowCloseButtonHint);
    QStringList labels;
    for (QLabel *l : frmlinejust->findChildren<QLabel *>())
        labels << l->text();
    for (const char *caption : {"指标序号:", "转换公式： Y=AX+B", "系数：A=", "系数：B=", "样本编号范围：", "从", "至"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(caption))) << caption;
    EXPECT_EQ(frmlinejust->edita->text(), "1");
    EXPECT_EQ(frmlinejust->editb->text(), "0");
    EXPECT_EQ(frmlinejust->Button1->text(), QStringLiteral("确定"));
    EXPECT_EQ(frmlinejust->Button2->text(), QStringLiteral("取消"));

    // "线性校正" opens it modally on the current result's item; "取消" closes it.
    addPatient("5", 0);
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

TEST_F(LineJust, ValidationFocusesTheOffendingEditSilently)
{
    addPatient("5", 0);
    addResult("5", 2, "7");
    Form1->samplePageShow();
    frmlinejust->show();
    frmlinejust->samp1->setText("5");
    frmlinejust->samp2->setText("5");

    frmlinejust->edititemid->setText("2x");
    frmlinejust->Button1->click();
    EXPECT_EQ(frmlinejust->focusWidget(), frmlinejust->edititemid);

    frmlinejust->edititemid->setText(" 2");
    frmlinejust->edita->setText("");
    frmlinejust->Button1->click();
    EXPECT_EQ(frmlinejust->edititemid->text(), "2");
    EXPECT_EQ(frmlinejust->focusWidget(), frmlinejust->edita);

    frmlinejust->edita->setText("2");
    frmlinejust->editb->setText("1 ");
    frmlinejust->Button1->click();
    EXPECT_EQ(frmlinejust->focusWidget(), frmlinejust->editb);

    // A bound that is not in the list: nothing happens, nothing is said.
    frmlinejust->editb->setText("0");
    frmlinejust->samp2->setText("6");
    frmlinejust->Button1->click();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(stored("5", 2), "7");
}

TEST_F(LineJust, CorrectsTheListedRangeInOneGo)
{
    // 100 sorts after 10 in the list, though before 8 as text.
    addPatient("8", 0);
    addPatient("9", 1);
    addPatient("10", 0);
    addPatient("100", 0);
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
    exec("update testresult set value='x' where shelfid='9' and itemid=3");
    dialogs.clear();
    frmlinejust->Button1->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_NE(dialogs.last(), QStringLiteral("数据调整完毕！"));
    EXPECT_EQ(stored("8", 2), "13.75");
    EXPECT_EQ(stored("8", 23), "6.88");
}
