// Page 0 of the main window and the patient window, driven with keys and
// mouse clicks offscreen, the dialog seam answering.
#include "platform/widgets/dbedits.h"
#include "platform/widgets/dbgrid.h"
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

// The list's rules are tested without windows; here, that the page uses them.
TEST_F(WorkstationWindows, SampleListFiltersColoursAndLimits)
{
    addPatient("10", "甲", 0, kOperator, "女");
    addPatient("9", "乙", QVariant(), kOperator, "男");
    addResult("10", 12, "5.5"); // RBC: woman 3.8-5.1, man 4.3-5.8
    addResult("9", 12, "5.5");
    Form1->samplePageShow();
    EXPECT_EQ(listIds(), (QStringList{"9", "10"})); // "9" before "10"
    EXPECT_EQ(Form1->DBGrid1DrawColumnCell(0, "name", false).foreground, QColor("#0000FF")); // NULL printflag
    // Moving in the list re-queries the results with the sex's limits.
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "10"));
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(0, "name", false).foreground, QColor("#FF0000"));
    // No printed sample: the result grid empties with the list.
    Form1->N24->trigger();
    EXPECT_TRUE(Form1->patientset->isEmpty() && Form1->testresultset->isEmpty());
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
    // Ctrl+Del asks first, and deletes that one result.
    ASSERT_TRUE(Form1->testresultset->setRecNo(3));
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.last(), QStringLiteral("确实要删除该结果吗？"));
    EXPECT_EQ(stored("5", {3, 2}), "<none>/2");
}

TEST_F(WorkstationWindows, PatientWindowRegistersWithKeys)
{
    addPatient("9", "列表");
    addPatient("100", "别人的", 0, QStringLiteral("王五"));
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

    // A new number starts a new row with the defaults.
    typeInto(w->DBEdit1, "15");
    EXPECT_TRUE(w->DBEdit4->hasFocus());
    EXPECT_EQ(w->ADODataSet1->state(), db::Dataset::State::Insert);
    EXPECT_EQ(w->DBComboBox3->currentText() + w->DBEdit8->text(), QStringLiteral("全血") + kDay); // the first kind
    typeInto(w->DBEdit2, "张三");
    // Digit short-cuts and look-ups on Enter (their rules are tested without
    // the window): a number outside the list empties, text stays.
    const struct { QWidget *box; const char *typed, *field, *expected; } cases[] = {
        {w->DBComboBox1, "1", "sex", "男"}, {w->DBComboBox4, "2", "apperance", "溶血"}, {w->DBComboBox2, "wk", "depart", "外科"},
        {w->DBComboBox2, "不存在", "depart", "不存在"}, {w->DBEdit7, "12", "doctor", "赵医生"},
        {w->DBEdit7, "钱医生", "doctor", "钱医生"}, // looked up as doctor 0: stays
    };
    for (const auto &c : cases) {
        typeInto(c.box, QString::fromUtf8(c.typed));
        EXPECT_EQ(w->ADODataSet1->text(c.field), QString::fromUtf8(c.expected)) << c.typed;
    }

    // The case number fills the empty fields from the archive and always the sex.
    typeInto(w->DBEdit4, "ab12");
    EXPECT_EQ(QStringList({w->DBEdit2->text(), w->DBEdit3->text(), w->DBEdit5->text(), w->DBComboBox1->currentText(),
                           w->ADODataSet1->text("depart")}),
              QStringList({"张三", "M2", "41", "女", "不存在"}));

    w->grab().save(testdb::outputDir() + QStringLiteral("/workstation_patient_window.png"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(stored("15", "name||sex||doctor||operator||printflag"), QStringLiteral("张三女钱医生李四0"));
    // The next sample number waits; the list has the new sample and keeps its row.
    EXPECT_TRUE(w->DBEdit1->hasFocus() && w->DBEdit1->text() == QStringLiteral("16"));
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

    // Another operator's sample is shown but not changed.
    typeInto(w->DBEdit1, "100");
    typeInto(w->DBEdit2, "新名");
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改病人资料!"));
    EXPECT_EQ(stored("100", "name") + w->DBEdit2->text(), QStringLiteral("别人的别人的"));

    // Reloading a saved sample shows it unchanged; Esc leaves without saving.
    typeInto(w->DBEdit1, "15");
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("张三"));
    typeInto(w->DBEdit2, "改名");
    QTest::keyClick(w->DBComboBox1->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored("15", "name"), QStringLiteral("张三"));
    EXPECT_EQ(count("patient"), 3);
}
