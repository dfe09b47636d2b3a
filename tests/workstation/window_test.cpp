// Page 0 of the main window and the patient window, driven with keys and
// mouse clicks offscreen, the dialog seam answering.
#include "common/dialogscript.h"
#include "common/testdb.h"

#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/session.h"
#include "platform/db/command.h"
#include "platform/widgets/dbedits.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/statusbar.h"
#include "workstation/patient.h"
#include "samplerow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kOperator = QStringLiteral("李四");

void addPatient(const QString &id, const QString &name, const QString &sex, const QVariant &printflag,
                const QString &op = kOperator)
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, sex, printflag, operator, checkdate) "
                                        "values (?, ?, ?, ?, ?, '2026-12-06')"),
                         {id, name, sex, printflag, op}, &err))
        << err.toStdString();
}

void addResult(const QString &id, int itemid, const QString &value)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) "
                                        "values (?, '2026-12-06', ?, ?)"),
                         {id, itemid, value}));
}

QStringList listIds()
{
    QStringList ids;
    for (int i = 0; i < Form1->patientset->recordCount(); ++i)
        ids << Form1->patientset->valueAt(i, QStringLiteral("shelfid")).toString();
    return ids;
}

QString stored(const QString &id, const char *column)
{
    return db::scalar(QStringLiteral("select %1 from patient where shelfid=?").arg(QLatin1String(column)), {id})
        .toString();
}

void activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

class WorkstationWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei"));
        const QString path = testdb::fresh();
        dbdata = new Tdbdata(path);
        ASSERT_TRUE(dbdata->connected()) << dbdata->openError().toStdString();
        session::setWorkdate(QDate(2026, 12, 6));
        session::setCurrentOperator(kOperator);
        Form1 = new TForm1;
        Form1->StatusBar1->setPanelText(3, kOperator);
        frmpatient = new Tfrmpatient;
    }
    void TearDown() override
    {
        delete frmpatient;
        frmpatient = nullptr;
        delete Form1;
        Form1 = nullptr;
        delete dbdata;
        dbdata = nullptr;
    }

    // Types a text into a field of the patient window and leaves it with Enter.
    void enter(QWidget *control, const QString &text)
    {
        control->setFocus();
        QWidget *target = control;
        if (auto *c = qobject_cast<QComboBox *>(control))
            target = c->lineEdit();
        if (auto *e = qobject_cast<QLineEdit *>(target))
            e->selectAll();
        // keyClicks() takes ASCII only; Chinese text arrives as typed characters.
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        if (text.isEmpty())
            QTest::keyClick(target, Qt::Key_Delete);
        QTest::keyClick(target, Qt::Key_Return);
    }
};

} // namespace

TEST_F(WorkstationWindows, SampleListFiltersColoursAndLimits)
{
    addPatient(QStringLiteral("10"), QStringLiteral("甲"), QStringLiteral("女"), 0);
    addPatient(QStringLiteral("9"), QStringLiteral("乙"), QStringLiteral("男"), 1);
    addPatient(QStringLiteral("1'2"), QStringLiteral("丙"), QString(), QVariant());
    addResult(QStringLiteral("10"), 12, QStringLiteral("5.5")); // RBC: woman 3.8-5.1, man 4.3-5.8
    addResult(QStringLiteral("10"), 1, QStringLiteral("H"));
    addResult(QStringLiteral("9"), 12, QStringLiteral("5.5"));
    addResult(QStringLiteral("1'2"), 1, QStringLiteral("9.5"));

    Form1->samplePageShow();
    EXPECT_EQ(Form1->printfilter, 3);
    EXPECT_EQ(Form1->StatusBar1->panelText(5), QStringLiteral("全部"));
    EXPECT_EQ(listIds(), (QStringList{"1'2", "9", "10"}));

    // The first sample (a quote in its number) shows its result.
    ASSERT_EQ(Form1->testresultset->recordCount(), 1);
    EXPECT_EQ(Form1->testresultset->text("value"), QStringLiteral("9.5"));
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(0, "value", false).foreground, QColor("#000080")); // equal to the limit
    EXPECT_EQ(Form1->DBGrid1DrawColumnCell(0, "name", false).foreground, QColor("#0000FF")); // NULL printflag
    EXPECT_EQ(Form1->DBGrid1DrawColumnCell(0, "name", false).background, QColor(Qt::white));
    EXPECT_EQ(Form1->DBGrid1DrawColumnCell(2, "name", false).foreground, QColor("#008080"));

    // Moving in the list re-queries the results with the sex's limits.
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "10"));
    ASSERT_EQ(Form1->testresultset->recordCount(), 2);
    EXPECT_EQ(Form1->testresultset->valueAt(1, "refhigh").toString(), QStringLiteral("5.1"));
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(1, "name", false).foreground, QColor("#FF0000"));
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(0, "itemid", false).foreground, QColor("#808000"));
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "9"));
    EXPECT_EQ(Form1->testresultset->valueAt(0, "refhigh").toString(), QStringLiteral("5.8"));
    EXPECT_EQ(Form1->DBGrid2DrawColumnCell(0, "value", false).foreground, QColor("#000080"));

    Form1->N23->trigger();
    EXPECT_EQ(Form1->printfilter, 1);
    EXPECT_EQ(Form1->StatusBar1->panelText(5), QStringLiteral("未打印"));
    EXPECT_EQ(listIds(), (QStringList{"10"}));
    EXPECT_EQ(Form1->testresultset->recordCount(), 2);

    Form1->N24->trigger();
    EXPECT_EQ(Form1->StatusBar1->panelText(5), QStringLiteral("已打印"));
    EXPECT_EQ(listIds(), (QStringList{"9"}));

    // No printed sample left: the result grid empties with the list.
    ASSERT_TRUE(db::exec(QStringLiteral("update patient set printflag=0")));
    Form1->patientrefresh();
    EXPECT_TRUE(Form1->patientset->isEmpty());
    EXPECT_TRUE(Form1->testresultset->isEmpty());
    EXPECT_TRUE(Form1->gresultset->isEmpty());

    Form1->N25->trigger();
    EXPECT_EQ(listIds().size(), 3);
}

TEST_F(WorkstationWindows, ResultGridKeysAndDelete)
{
    addPatient(QStringLiteral("5"), QStringLiteral("甲"), QStringLiteral("男"), 0, QStringLiteral("王五"));
    // No derived item joins in when a value is committed here.
    ASSERT_TRUE(db::exec(QStringLiteral("update itemtb set expressions=''")));
    for (int item : {1, 2, 3})
        addResult(QStringLiteral("5"), item, QString::number(item));
    Form1->samplePageShow();
    activate(Form1);
    DialogScript dialogs;

    DBGrid *grid = Form1->DBGrid2;
    grid->setFocus();
    ASSERT_TRUE(Form1->testresultset->setRecNo(2));
    ASSERT_TRUE(grid->setSelectedField("value"));

    // Enter alone is "增加结果": another operator's sample is refused.
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改检验结果!"));
    dialogs.clear();

    // Ctrl+Enter on the value column re-reads the results and keeps the row.
    ASSERT_TRUE(db::exec(QStringLiteral("update testresult set value='2.5' where itemid=2")));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(Form1->testresultset->recNo(), 2);
    EXPECT_EQ(Form1->testresultset->text("value"), QStringLiteral("2.5"));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(Form1->testresultset->recNo(), 2);

    // Down on the last row never begins a new one.
    ASSERT_TRUE(Form1->testresultset->setRecNo(3));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(Form1->testresultset->recordCount(), 3);
    EXPECT_EQ(Form1->testresultset->recNo(), 3);

    // Ctrl+Del asks first; No keeps the result.
    dialogs.answer(false);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.last(), QStringLiteral("确实要删除该结果吗？"));
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from testresult")).toInt(), 3);
    dialogs.answer(true);
    Form1->N7Click();
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from testresult where itemid=3")).toInt(), 0);
    EXPECT_EQ(Form1->testresultset->recordCount(), 2);

    // Tab goes to the sample list.
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_TRUE(Form1->DBGrid1->hasFocus());
}

TEST_F(WorkstationWindows, PatientWindowRegistersWithKeys)
{
    addPatient(QStringLiteral("9"), QStringLiteral("列表"), QString(), 0);
    addPatient(QStringLiteral("100"), QStringLiteral("别人的"), QString(), 0);
    ASSERT_TRUE(db::exec(QStringLiteral("insert into doctor (no, name) values ('12', '赵医生')")));
    ASSERT_TRUE(dbdata->doctorset->requery());
    ASSERT_TRUE(db::exec(QStringLiteral("insert into histpatient (shelfid, caseno, checkdate, name, mzno, sex, depart, age, bedno) "
                                        "values ('3', 'AB12', '2026-11-20', '档案名', 'M2', '女', '外科', '41', '6')")));
    Form1->samplePageShow();
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "9"));
    // The settings page may have left the reference lists anywhere.
    dbdata->kindset->last();
    dbdata->departset->last();

    Tfrmpatient *w = frmpatient;
    activate(w);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("病人资料窗口"));
    EXPECT_TRUE(w->DBEdit1->hasFocus());
    EXPECT_EQ(w->DBComboBox2->count(), 6);
    EXPECT_EQ(w->DBComboBox3->count(), 3);
    DialogScript dialogs;

    // A wildcard is a sample number like any other: it starts a new row.
    enter(w->DBEdit1, QStringLiteral("1%"));
    EXPECT_TRUE(w->DBEdit4->hasFocus());
    EXPECT_EQ(w->ADODataSet1->state(), db::Dataset::State::Insert);
    EXPECT_TRUE(w->DBEdit2->text().isEmpty());

    enter(w->DBEdit1, QStringLiteral("15"));
    EXPECT_EQ(w->DBComboBox3->currentText(), QStringLiteral("全血")); // the first kind
    EXPECT_EQ(w->DBEdit8->text(), QStringLiteral("2026-12-06"));
    // Up and Down walk the fields too.
    QTest::keyClick(w->DBEdit4, Qt::Key_Down);
    EXPECT_TRUE(w->DBEdit3->hasFocus());
    QTest::keyClick(w->DBEdit3, Qt::Key_Up);
    EXPECT_TRUE(w->DBEdit4->hasFocus());

    enter(w->DBEdit2, QStringLiteral("张三"));
    enter(w->DBComboBox1, QStringLiteral("3"));
    EXPECT_TRUE(w->ADODataSet1->text("sex").isEmpty());
    enter(w->DBComboBox1, QStringLiteral("M"));
    EXPECT_EQ(w->ADODataSet1->text("sex"), QStringLiteral("M"));
    enter(w->DBComboBox1, QStringLiteral("1"));
    EXPECT_EQ(w->ADODataSet1->text("sex"), QStringLiteral("男"));
    EXPECT_TRUE(w->DBEdit5->hasFocus());

    enter(w->DBComboBox2, QStringLiteral("3"));
    EXPECT_EQ(w->ADODataSet1->text("depart"), QStringLiteral("妇产科"));
    enter(w->DBComboBox2, QStringLiteral("wk"));
    EXPECT_EQ(w->ADODataSet1->text("depart"), QStringLiteral("外科"));
    enter(w->DBComboBox2, QStringLiteral("不存在"));
    EXPECT_EQ(w->ADODataSet1->text("depart"), QStringLiteral("不存在"));

    enter(w->DBComboBox4, QStringLiteral("2"));
    EXPECT_EQ(w->ADODataSet1->text("apperance"), QStringLiteral("溶血"));
    enter(w->DBEdit7, QStringLiteral("12"));
    EXPECT_EQ(w->ADODataSet1->text("doctor"), QStringLiteral("赵医生"));
    enter(w->DBEdit7, QStringLiteral("钱医生")); // looked up as doctor 0: stays
    EXPECT_EQ(w->ADODataSet1->text("doctor"), QStringLiteral("钱医生"));

    // The case number fills the empty fields from the archive and always the sex.
    enter(w->DBEdit4, QStringLiteral("ab12"));
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("张三"));
    EXPECT_EQ(w->DBEdit3->text(), QStringLiteral("M2"));
    EXPECT_EQ(w->DBEdit5->text(), QStringLiteral("41"));
    EXPECT_EQ(w->DBComboBox1->currentText(), QStringLiteral("女"));
    EXPECT_EQ(w->ADODataSet1->text("depart"), QStringLiteral("不存在"));

    w->grab().save(testdb::outputDir() + QStringLiteral("/workstation_patient_window.png"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(stored("15", "name"), QStringLiteral("张三"));
    EXPECT_EQ(stored("15", "sex"), QStringLiteral("女"));
    EXPECT_EQ(stored("15", "doctor"), QStringLiteral("钱医生"));
    EXPECT_EQ(stored("15", "operator"), kOperator);
    EXPECT_EQ(stored("15", "checkdate"), QStringLiteral("2026-12-06"));
    EXPECT_EQ(db::scalar(QStringLiteral("select printflag from patient where shelfid='15'")).toInt(), 0);
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from patient where shelfid like '1%'")).toInt(), 2); // 15, 100
    EXPECT_EQ(w->DBEdit1->text(), QStringLiteral("16"));
    EXPECT_TRUE(w->DBEdit1->hasFocus());
    // The main list has the new sample and still shows the one it showed.
    EXPECT_EQ(listIds(), (QStringList{"9", "15", "100"}));
    EXPECT_EQ(Form1->patientset->text("shelfid"), QStringLiteral("9"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();

    // Particulars typed, then the number left again: they are dropped.
    QTest::keyClick(w->DBEdit1, Qt::Key_Return);
    enter(w->DBEdit3, QStringLiteral("丢掉"));
    QTest::keyClick(w->DBEdit2, Qt::Key_Up);
    QTest::keyClick(w->DBEdit3, Qt::Key_Up);
    QTest::keyClick(w->DBEdit4, Qt::Key_Up);
    ASSERT_TRUE(w->DBEdit1->hasFocus());
    QTest::keyClick(w->DBEdit1, Qt::Key_Return);
    EXPECT_TRUE(w->DBEdit3->text().isEmpty());

    // Reloading a saved sample shows it unchanged; Esc leaves without saving.
    enter(w->DBEdit1, QStringLiteral("15"));
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("张三"));
    enter(w->DBEdit2, QStringLiteral("改名"));
    QTest::keyClick(w->DBComboBox1->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored("15", "name"), QStringLiteral("张三"));
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from patient")).toInt(), 3);
}

TEST_F(WorkstationWindows, PatientWindowRefusesAnotherOperatorsSample)
{
    addPatient(QStringLiteral("7"), QStringLiteral("原名"), QStringLiteral("男"), 0, QStringLiteral("王五"));
    Form1->samplePageShow();
    Tfrmpatient *w = frmpatient;
    activate(w);
    DialogScript dialogs;

    enter(w->DBEdit1, QStringLiteral("7"));
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("原名"));
    enter(w->DBEdit2, QStringLiteral("新名"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改病人资料!"));
    EXPECT_EQ(stored("7", "name"), QStringLiteral("原名"));
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("原名"));
    EXPECT_EQ(w->DBEdit1->text(), QStringLiteral("7"));
    EXPECT_TRUE(w->isVisible());

    // "返回" drops and closes; the window opens empty next time.
    enter(w->DBEdit2, QStringLiteral("又改"));
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    activate(w);
    EXPECT_TRUE(w->DBEdit1->text().isEmpty());
    EXPECT_TRUE(w->DBEdit2->text().isEmpty());
    EXPECT_TRUE(w->DBEdit1->hasFocus());
    EXPECT_EQ(stored("7", "name"), QStringLiteral("原名"));
}

TEST_F(WorkstationWindows, ScreenshotOfSamplePage)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"), QStringLiteral("男"), 1);
    addPatient(QStringLiteral("2"), QStringLiteral("李梅"), QStringLiteral("女"), 0);
    addPatient(QStringLiteral("3"), QStringLiteral("王五"), QStringLiteral("男"), 0);
    const char *values[] = {"6.2", "4.1", "1.5", "0.4", "0.15", "0.03", "66.1", "24.2", "6.5", "2.4",
                            "0.5", "3.52", "98", "32.1", "91.2", "27.8", "305", "13.1", "205"};
    for (int i = 0; i < 19; ++i)
        addResult(QStringLiteral("2"), i + 1, QLatin1String(values[i]));
    addResult(QStringLiteral("2"), 20, QStringLiteral("H"));
    const graphics::GraphRow graphs = sample::realisticRow();
    QVariantList a{QStringLiteral("2")};
    for (int i = 1; i <= 12; ++i)
        a << QString::fromLatin1(graphs.a[i]);
    ASSERT_TRUE(db::exec(QStringLiteral("insert into gresult (shelfid,a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12) "
                                        "values (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                         a));
    if (!Form1->Panel1)
        Form1->buildGraphPanel();
    Form1->resize(1000, 600);
    activate(Form1); // the first showing runs the start-up sequence
    QTest::qWait(50);
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "2"));
    Form1->DBGrid1->setFocus();
    QTest::qWait(50);
    const QString file = testdb::outputDir() + QStringLiteral("/workstation_sample_page.png");
    ASSERT_TRUE(Form1->grab().save(file));
}

TEST_F(WorkstationWindows, EnterAndF3InTheListOpenThePatientWindow)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"), QStringLiteral("男"), 0);
    Form1->samplePageShow();
    activate(Form1);
    Form1->DBGrid1->setFocus();
    int opened = 0;
    auto closeWhenShown = [&opened]() {
        QTimer::singleShot(0, []() {
            if (frmpatient->isVisible())
                frmpatient->close();
        });
    };
    QObject::connect(frmpatient, &QDialog::finished, [&opened](int) { ++opened; });
    closeWhenShown();
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
    EXPECT_EQ(opened, 1);
    activate(Form1);
    Form1->DBGrid1->setFocus();
    closeWhenShown();
    QTest::keyClick(Form1->DBGrid1, Qt::Key_F3);
    EXPECT_EQ(opened, 2);
    // The window opened empty although the list stood on a sample.
    EXPECT_TRUE(frmpatient->DBEdit1->text().isEmpty());
}
