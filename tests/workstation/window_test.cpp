// Page 0 of the main window and the patient window, driven with keys and
// mouse clicks offscreen, the dialog seam answering.
#include "platform/widgets/dbedits.h"
#include "platform/widgets/dbgrid.h"
#include "samplerow.h"
#include "testdb.h"
#include "workstation/patient.h"
#include "wsfixture.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

using namespace wst;

namespace {

QString stored(const QString &id, const char *column)
{
    return db::scalar(QStringLiteral("select %1 from patient where shelfid=?").arg(QLatin1String(column)), {id}).toString();
}

using WorkstationWindows = Workstation;

} // namespace

TEST_F(WorkstationWindows, SampleListFiltersColoursAndLimits)
{
    addPatient("10", "甲", 0, kOperator, "女");
    addPatient("9", "乙", 1, kOperator, "男");
    addPatient("1'2", "丙", QVariant());
    addResult("10", 12, "5.5"); // RBC: woman 3.8-5.1, man 4.3-5.8
    addResult("10", 1, "H");
    addResult("9", 12, "5.5");
    addResult("1'2", 1, "9.5");

    Form1->samplePageShow();
    EXPECT_EQ(Form1->StatusBar1->panelText(5), QStringLiteral("全部"));
    EXPECT_EQ(listIds(), (QStringList{"1'2", "9", "10"}));
    // The first sample (a quote in its number) shows its result.
    ASSERT_EQ(Form1->testresultset->recordCount(), 1);
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(0, "value", false).foreground, QColor("#000080")); // equal to the limit
    EXPECT_EQ(Form1->DBGrid1DrawColumnCell(0, "name", false).foreground, QColor("#0000FF")); // NULL printflag
    EXPECT_EQ(Form1->DBGrid1DrawColumnCell(2, "name", false).foreground, QColor("#008080"));

    // Moving in the list re-queries the results with the sex's limits.
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "10"));
    ASSERT_EQ(Form1->testresultset->recordCount(), 2);
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(1, "name", false).foreground, QColor("#FF0000"));
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(0, "itemid", false).foreground, QColor("#808000"));
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "9"));
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(0, "value", false).foreground, QColor("#000080"));

    Form1->N23->trigger();
    EXPECT_EQ(Form1->StatusBar1->panelText(5), QStringLiteral("未打印"));
    EXPECT_EQ(listIds(), (QStringList{"10"}));
    Form1->N24->trigger();
    EXPECT_EQ(listIds(), (QStringList{"9"}));
    // No printed sample left: the result grid empties with the list.
    run("update patient set printflag=0");
    Form1->patientrefresh();
    EXPECT_TRUE(Form1->patientset->isEmpty());
    EXPECT_TRUE(Form1->testresultset->isEmpty());
    EXPECT_TRUE(Form1->gresultset->isEmpty());
}

TEST_F(WorkstationWindows, ResultGridKeysAndDelete)
{
    addPatient("5", "甲", 0, QStringLiteral("王五"));
    run("update itemtb set expressions=''"); // no derived item joins in
    for (int item : {1, 2, 3})
        addResult("5", item, QString::number(item));
    Form1->samplePageShow();
    activate(Form1);
    DBGrid *grid = Form1->DBGrid2;
    grid->setFocus();
    ASSERT_TRUE(Form1->testresultset->setRecNo(2));
    ASSERT_TRUE(grid->setSelectedField("value"));

    // Enter alone is "增加结果": another operator's sample is refused.
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改检验结果!"));
    dialogs.clear();
    // Ctrl+Enter on the value column re-reads the results and keeps the row.
    run("update testresult set value='2.5' where itemid=2");
    QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(Form1->testresultset->recNo(), 2);
    EXPECT_EQ(Form1->testresultset->text("value"), QStringLiteral("2.5"));

    // Down on the last row never begins a new one.
    ASSERT_TRUE(Form1->testresultset->setRecNo(3));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(Form1->testresultset->recordCount(), 3);

    // Ctrl+Del asks first; No keeps the result.
    dialogs.answer(false);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.last(), QStringLiteral("确实要删除该结果吗？"));
    EXPECT_EQ(count("testresult"), 3);
    dialogs.answer(true);
    Form1->N7Click();
    EXPECT_EQ(rowsUnder("testresult", "5"), 2);
    EXPECT_EQ(stored("5", 3), "<none>");
    EXPECT_EQ(Form1->testresultset->recordCount(), 2);
}

TEST_F(WorkstationWindows, PatientWindowRegistersWithKeys)
{
    addPatient("9", "列表");
    addPatient("100", "别人的");
    run("insert into doctor (no, name) values ('12', '赵医生')");
    ASSERT_TRUE(dbdata->doctorset->requery());
    run("insert into histpatient (shelfid, caseno, checkdate, name, mzno, sex, depart, age, bedno) "
        "values ('3', 'AB12', '2026-11-20', '档案名', 'M2', '女', '外科', '41', '6')");
    Form1->samplePageShow();
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "9"));
    // The settings page may have left the reference lists anywhere.
    dbdata->kindset->last();
    dbdata->departset->last();

    Tfrmpatient *w = frmpatient;
    activate(w);
    EXPECT_TRUE(w->DBEdit1->hasFocus());

    // A wildcard is a sample number like any other: it starts a new row.
    typeInto(w->DBEdit1, "1%");
    EXPECT_TRUE(w->DBEdit4->hasFocus());
    EXPECT_EQ(w->ADODataSet1->state(), db::Dataset::State::Insert);
    EXPECT_TRUE(w->DBEdit2->text().isEmpty());

    typeInto(w->DBEdit1, "15");
    EXPECT_EQ(w->DBComboBox3->currentText(), QStringLiteral("全血")); // the first kind
    EXPECT_EQ(w->DBEdit8->text(), kDay);
    typeInto(w->DBEdit2, "张三");
    // Digit short-cuts: a number outside the list empties, text stays.
    const struct { const char *typed, *field, *expected; } cases[] = {
        {"3", "sex", ""}, {"M", "sex", "M"}, {"1", "sex", "男"},
        {"3", "depart", "妇产科"}, {"wk", "depart", "外科"}, {"不存在", "depart", "不存在"},
    };
    for (const auto &c : cases) {
        typeInto(QLatin1String(c.field) == "sex" ? w->DBComboBox1 : w->DBComboBox2, QString::fromUtf8(c.typed));
        EXPECT_EQ(w->ADODataSet1->text(c.field), QString::fromUtf8(c.expected)) << c.typed;
    }
    typeInto(w->DBComboBox4, "2");
    EXPECT_EQ(w->ADODataSet1->text("apperance"), QStringLiteral("溶血"));
    typeInto(w->DBEdit7, "12");
    EXPECT_EQ(w->ADODataSet1->text("doctor"), QStringLiteral("赵医生"));
    typeInto(w->DBEdit7, "钱医生"); // looked up as doctor 0: stays
    EXPECT_EQ(w->ADODataSet1->text("doctor"), QStringLiteral("钱医生"));

    // The case number fills the empty fields from the archive and always the sex.
    typeInto(w->DBEdit4, "ab12");
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("张三"));
    EXPECT_EQ(w->DBEdit3->text(), QStringLiteral("M2"));
    EXPECT_EQ(w->DBEdit5->text(), QStringLiteral("41"));
    EXPECT_EQ(w->DBComboBox1->currentText(), QStringLiteral("女"));
    EXPECT_EQ(w->ADODataSet1->text("depart"), QStringLiteral("不存在"));

    w->grab().save(testdb::outputDir() + QStringLiteral("/workstation_patient_window.png"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(stored("15", "name") + stored("15", "sex") + stored("15", "doctor") + stored("15", "operator"),
              QStringLiteral("张三女钱医生") + kOperator);
    EXPECT_EQ(stored("15", "printflag"), "0");
    EXPECT_EQ(db::scalar("select count(*) from patient where shelfid like '1%'").toInt(), 2); // 15, 100
    // The next sample number waits; the list has the new sample and keeps its row.
    EXPECT_EQ(w->DBEdit1->text(), QStringLiteral("16"));
    EXPECT_TRUE(w->DBEdit1->hasFocus());
    EXPECT_EQ(listIds(), (QStringList{"9", "15", "100"}));
    EXPECT_EQ(current(), QStringLiteral("9"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();

    // Particulars typed, then the number left again: they are dropped.
    QTest::keyClick(w->DBEdit1, Qt::Key_Return);
    typeInto(w->DBEdit3, "丢掉");
    for (QWidget *f : {(QWidget *)w->DBEdit2, (QWidget *)w->DBEdit3, (QWidget *)w->DBEdit4})
        QTest::keyClick(f, Qt::Key_Up);
    ASSERT_TRUE(w->DBEdit1->hasFocus());
    QTest::keyClick(w->DBEdit1, Qt::Key_Return);
    EXPECT_TRUE(w->DBEdit3->text().isEmpty());

    // Reloading a saved sample shows it unchanged; Esc leaves without saving.
    typeInto(w->DBEdit1, "15");
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("张三"));
    typeInto(w->DBEdit2, "改名");
    QTest::keyClick(w->DBComboBox1->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored("15", "name"), QStringLiteral("张三"));
    EXPECT_EQ(count("patient"), 3);
}

TEST_F(WorkstationWindows, PatientWindowRefusesAnotherOperatorsSample)
{
    addPatient("7", "原名", 0, QStringLiteral("王五"));
    Form1->samplePageShow();
    Tfrmpatient *w = frmpatient;
    activate(w);
    typeInto(w->DBEdit1, "7");
    typeInto(w->DBEdit2, "新名");
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改病人资料!"));
    EXPECT_EQ(stored("7", "name"), QStringLiteral("原名"));
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("原名"));
    EXPECT_TRUE(w->isVisible());

    // "返回" drops and closes; the window opens empty next time.
    typeInto(w->DBEdit2, "又改");
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    activate(w);
    EXPECT_TRUE(w->DBEdit1->text().isEmpty());
    EXPECT_TRUE(w->DBEdit2->text().isEmpty());
    EXPECT_EQ(stored("7", "name"), QStringLiteral("原名"));
}

TEST_F(WorkstationWindows, ScreenshotOfSamplePage)
{
    addPatient("1", "张三", 1, kOperator, "男");
    addPatient("2", "李梅", 0, kOperator, "女");
    addPatient("3", "王五", 0, kOperator, "男");
    const char *values[] = {"6.2", "4.1", "1.5", "0.4", "0.15", "0.03", "66.1", "24.2", "6.5", "2.4",
                            "0.5", "3.52", "98", "32.1", "91.2", "27.8", "305", "13.1", "205", "H"};
    for (int i = 0; i < 20; ++i)
        addResult("2", i + 1, QLatin1String(values[i]));
    const graphics::GraphRow graphs = sample::realisticRow();
    QVariantList a{QStringLiteral("2")};
    for (int i = 1; i <= 12; ++i)
        a << QString::fromLatin1(graphs.a[i]);
    run("insert into gresult (shelfid,a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12) values (?,?,?,?,?,?,?,?,?,?,?,?,?)", a);
    Form1->resize(1000, 600);
    activate(Form1); // the first showing runs the start-up sequence
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "2"));
    Form1->DBGrid1->setFocus();
    QTest::qWait(50);
    ASSERT_TRUE(Form1->grab().save(testdb::outputDir() + QStringLiteral("/workstation_sample_page.png")));
}
