// The control page on the main window, offscreen: month set-up on entering
// the page, redraw on Enter, capture, naming samples, correction, deletion
// and the printout through the PDF back end.
#include "common/mainwindowtest.h"
#include "common/testdb.h"
#include "reports/pdftools.h"

#include "base/CustData.h"
#include "app/Unit1.h"
#include "base/session.h"
#include "platform/db/command.h"
#include "platform/report/printing.h"
#include "platform/widgets/dbgrid.h"
#include "qc/qcchartview.h"
#include "qc/qcnamesel.h"
#include "qc/qcvalueinput.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void run(const QByteArray &sql) { QString err; ASSERT_TRUE(db::exec(QString::fromUtf8(sql), {}, &err)) << err.toStdString(); }
int count(const QString &where) { return db::scalar(QStringLiteral("select count(*) from ") + where).toInt(); }
QString scalar(const char *sql) { return db::scalar(QLatin1String(sql)).toString(); }

class QcPage : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        pdf = std::make_shared<report::PdfFileBackend>(tmp.path(), QStringList{QStringLiteral("PDF"), QStringLiteral("PDF2")});
        report::setPrinterBackend(pdf);
        session::setWorkdate(QDate(2024, 4, 10));
        session::setCurrentOperator(QStringLiteral("李四"));
    }
    void start()
    {
        createMain();
        Form1->buildQcPage();   // a second call changes nothing
        Form1->resize(1000, 700);
        Form1->show();
        Form1->PageControl1->setCurrentIndex(2);
    }
    void enterOnTargets()
    {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        Form1->DBGrid12KeyPress(&e);
    }
    qc::ChartModel &chart() { return Form1->DBChart1->model(); }
    // April 2024 set up, item 1 with the given targets, and control values.
    static void april(const char *targets, const char *values)
    {
        run("insert into qcpara (zkyear, zkmonth, itemno) select 2024, 4, itemid from itemtb");
        run(QByteArray("update qcpara set ") + targets + " where itemno=1");
        run(QByteArray("insert into qctb (qcdate, itemid, value1) values ") + values);
    }

    QTemporaryDir tmp;
    std::shared_ptr<report::PdfFileBackend> pdf;
};

} // namespace

TEST_F(QcPage, EnteringThePageSetsUpTheWorkDatesMonth)
{
    start();
    EXPECT_EQ(dbdata->qcparaset->recordCount(), 24);

    // The arrow key changes the year and sets up that month.
    Form1->SpinEdit1->setFocus();
    QTest::keyClick(Form1->SpinEdit1, Qt::Key_Up);
    EXPECT_EQ(Form1->SpinEdit1->value(), 2025);
    EXPECT_EQ(count(QStringLiteral("qcpara where zkyear=2025 and zkmonth=4")), 24);
    // Typing, Delete and Backspace leave the year alone.
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_7, Qt::Key_Delete, Qt::Key_End, Qt::Key_Backspace})
        QTest::keyClick(Form1->SpinEdit1, key);
    EXPECT_EQ(Form1->SpinEdit1->text() + "/" + QString::number(count(QStringLiteral("qcpara"))), "2025/48");
    // A typed month with Enter joins no list.
    Form1->ComboBox3->lineEdit()->setText(QStringLiteral("13"));
    QTest::keyClick(Form1->ComboBox3->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Form1->ComboBox3->count(), 12);

    // A month text that is no month is refused with a message.
    Form1->ComboBox3->setEditText(QStringLiteral("13"));
    Form1->ComboBox3Click();
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("13")));
}

TEST_F(QcPage, EnterDrawsTheChartAndStatisticsAndPrintsThem)
{
    april("batchno1='L7', xb1=5, s1=0.5", "('2024-04-02', 1, '5.2'), ('2024-04-03', 1, '4.6'), ('2024-04-05', 1, '****'), "
                                          "('2024-04-09', 1, '5.12346'), ('2024-05-01', 1, '9'), ('2024-04-04', 2, '8')");
    start();
    // The set-up ended with the redraw of the first item.
    const QString abbr = scalar("select abbreviation from itemtb where itemid=1");
    EXPECT_EQ(chart().title, QStringList{QStringLiteral("2024年4月室内质控图(%1)").arg(abbr)});
    EXPECT_EQ(dbdata->qcdataset->recordCount(), 4);
    EXPECT_EQ(chart().get(QStringLiteral("LineSeries1")).points.size(), 3);
    EXPECT_DOUBLE_EQ(chart().bottom.maximum, 30);
    EXPECT_TRUE(Form1->Label17->text().startsWith(QStringLiteral("X=4.97 SD=")));
    Form1->TabSheet3->grab().save(QDir(testdb::outputDir()).filePath(QStringLiteral("qc-page.png")));

    // The printout carries the chart, the lot and the statistics of the page.
    // It prints on the printer chosen on the settings page.
    const QString stats = Form1->Label17->text();
    Form1->printSettingsShow();
    Form1->ComboBox6->setCurrentIndex(1);
    Form1->Button1Click();
    ASSERT_EQ(pdf->log().size(), 1u);
    ASSERT_TRUE(pdf->log().front().preview);
    EXPECT_EQ(pdf->log().front().printerIndex, 1);
    const QString text = pdftools::compactText(pdf->log().front().file);
    EXPECT_TRUE(text.contains(QString(QStringLiteral("质控结果［批号：L7］:（") + stats + QStringLiteral("）")).remove(QLatin1Char(' '))))
        << text.toStdString();

    // An item without targets: title and values change, the previous drawing goes.
    dbdata->qcparaset->setRecNo(2);
    enterOnTargets();
    EXPECT_EQ(dbdata->qcdataset->recordCount(), 1);
    EXPECT_TRUE(chart().get(QStringLiteral("LineSeries1")).points.isEmpty()
                && chart().get(QStringLiteral("Series1")).points.isEmpty());
    EXPECT_EQ(Form1->Label17->text(), QStringLiteral("X=    SD=   CV="));
    // Nothing to print then.
    Form1->Button1Click();
    EXPECT_EQ(pdf->log().size(), 1u);

    // Material 2 of item 1 has no targets either.
    dbdata->qcparaset->setRecNo(1);
    Form1->ComboBox4->setCurrentIndex(1);
    Form1->ComboBox4Click();
    EXPECT_EQ(Form1->qclevel, 2);
    EXPECT_TRUE(dbdata->qcdataset->hasField(QStringLiteral("value2")));
}

TEST_F(QcPage, NamingCapturingCorrectingAndDeleting)
{
    run("insert into patient (shelfid, name, checkdate, operator) values ('1', '王五', '2024-04-10', '李四')");
    run("insert into testresult (shelfid, checkdate, itemid, value) values ('1', '2024-04-10', 1, '6.30')");
    start();
    ASSERT_TRUE(Form1->patientset->open());
    ASSERT_EQ(Form1->patientset->recordCount(), 1);

    // Nothing marked yet.
    Form1->N14Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("没有选定质控品,请选定"));

    QTimer::singleShot(0, [] { frmqcnamesel->Button2->click(); });
    Form1->N15Click();
    EXPECT_EQ(scalar("select name from patient"), QStringLiteral("质控品2"));
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("name")), QStringLiteral("质控品2"));

    Form1->N14Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("质控品已入库"));
    EXPECT_EQ(scalar("select value2 from qctb where qcdate='2024-04-10' and itemid=1"), QStringLiteral("6.3"));
    // The values grid still shows the page's item and material.
    EXPECT_TRUE(dbdata->qcdataset->hasField(QStringLiteral("value1")));


    // Correction window: day 5 of April, material 1 of the current item.
    Form1->N1Click();
    ASSERT_TRUE(frmqcvalueinput && frmqcvalueinput->isVisible());
    frmqcvalueinput->Edit1->setFocus();
    QTest::keyClicks(frmqcvalueinput->Edit1, QStringLiteral("5a"));
    EXPECT_EQ(frmqcvalueinput->Edit1->text(), QStringLiteral("5"));
    QTest::keyClick(frmqcvalueinput->Edit1, Qt::Key_Backspace);
    EXPECT_EQ(frmqcvalueinput->Edit1->text(), QStringLiteral("5"));
    frmqcvalueinput->Edit2->setText(QStringLiteral("5.10"));
    frmqcvalueinput->Edit2Exit();
    EXPECT_EQ(scalar("select value1 from qctb where qcdate='2024-04-05' and itemid=1"), QStringLiteral("5.1"));
    // The month's rows of the item: day 5 and the captured day 10 (no value 1).
    EXPECT_EQ(dbdata->qcdataset->recordCount(), 2);
    EXPECT_EQ(chart().get(QStringLiteral("LineSeries1")).points.size(), 1);
    // Day 31 of April stores nothing.
    EXPECT_FALSE(Form1->storeQcCorrection(QStringLiteral("31"), QStringLiteral("7")));
    EXPECT_EQ(count(QStringLiteral("qctb where qcdate like '2024-05%' or qcdate='2024-04-31'")), 0);
    run("update qctb set value3='1' where qcdate='2024-04-05'");

    // Deleting asks first; a No keeps the value.
    dialogs.answer(false);
    Form1->N21Click();
    EXPECT_EQ(count(QStringLiteral("qctb where qcdate='2024-04-05'")), 1);
    dialogs.answer(true);
    Form1->N21Click();
    EXPECT_EQ(count(QStringLiteral("qctb where qcdate='2024-04-05' and value1 is null and value3='1'")), 1);
    EXPECT_EQ(dbdata->qcdataset->recordCount(), 2); // the row of day 5 stays for material 3
    EXPECT_TRUE(chart().get(QStringLiteral("LineSeries1")).points.isEmpty());
}

TEST_F(QcPage, ARefusedNameIsShownAndTheListKeepsTheStoredOne)
{
    run("insert into patient (shelfid, name, checkdate, operator) values ('1', '质控品1', '2024-04-10', '李四')");
    run("create trigger keepname before update of name on patient begin select raise(abort, 'name is kept'); end");
    start();
    ASSERT_TRUE(Form1->patientset->open());
    Form1->N16Click();
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("name is kept")));
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("name")), QStringLiteral("质控品1"));
    EXPECT_EQ(Form1->patientset->state(), db::Dataset::State::Browse);
}

TEST_F(QcPage, TargetsTakeOnlyNumbersAndTheMonthWaitsForThem)
{
    april("xb1=10, s1=0.5", "('2024-04-02', 1, '10'), ('2024-04-03', 1, '10.25')");
    start();
    activate(Form1);
    // Ties of the four-decimal values round away from zero.
    EXPECT_EQ(Form1->Label17->text(), QStringLiteral("X=10.13 SD=0.18 CV=1.75%"));

    db::Dataset *targets = dbdata->qcparaset;
    DBGrid *grid = Form1->DBGrid12;
    const auto stored = [] { return scalar("select quote(xb1)||'/'||quote(s1) from qcpara where zkmonth=4 and itemno=1"); };
    targets->setRecNo(1);
    grid->setFocus();
    // The SD first, then a mean that is no number: only the mean is refused.
    grid->setSelectedField(QStringLiteral("s1"));
    typeKeys(QStringLiteral("0.4"));
    press(Qt::Key_Tab);
    for (const char *bad : {"abc", "7,5"}) {
        dialogs.clear();
        grid->setSelectedField(QStringLiteral("xb1"));
        typeKeys(QLatin1String(bad));
        press(Qt::Key_Return);
        ASSERT_EQ(dialogs.shown.size(), 1) << bad;
        EXPECT_TRUE(dialogs.shown.front().startsWith(QStringLiteral("平均值1只能填数字"))) << bad;
        EXPECT_EQ(targets->text(QStringLiteral("s1")), QStringLiteral("0.4"));
    }

    // With the bad cell pending, another month and a lot wait for it.
    Form1->ComboBox3->setCurrentIndex(4);
    Form1->ComboBox3Click();
    EXPECT_EQ(Form1->ComboBox3->currentText(), QStringLiteral("4"));
    EXPECT_EQ(Form1->qcbegin, QDate(2024, 4, 1));
    EXPECT_EQ(count(QStringLiteral("qcpara where zkmonth=5")), 0);
    Form1->SpinEdit1->setValue(2025);
    EXPECT_EQ(Form1->SpinEdit1->value(), 2024);
    EXPECT_EQ(count(QStringLiteral("qcpara where zkyear=2025")), 0);
    Form1->Edit5->setText(QStringLiteral("L9"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    Form1->Edit5KeyDown(&enter);
    EXPECT_EQ(count(QStringLiteral("qcpara where batchno1 is not null")), 0);
    EXPECT_EQ(stored(), QStringLiteral("10.0/0.5"));

    // Corrected in the open cell, the row is stored with the SD typed before.
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    typeKeys(QStringLiteral("7.5"));
    press(Qt::Key_Return);
    EXPECT_EQ(stored(), QStringLiteral("7.5/0.4"));

    // An SD of 0 or below is refused as well.
    for (const char *bad : {"0", "-1"}) {
        dialogs.clear();
        grid->setSelectedField(QStringLiteral("s1"));
        typeKeys(QLatin1String(bad));
        press(Qt::Key_Return);
        ASSERT_EQ(dialogs.shown.size(), 1) << bad;
        EXPECT_TRUE(dialogs.shown.front().startsWith(QStringLiteral("标准差1必须大于 0"))) << bad;
        press(Qt::Key_Escape);
    }
    EXPECT_EQ(stored(), QStringLiteral("7.5/0.4"));

    // The lot and the month go on once nothing is pending.
    Form1->Edit5KeyDown(&enter);
    EXPECT_EQ(count(QStringLiteral("qcpara where batchno1='L9'")), 24);

    // An item without targets leaves no axes of the item before.
    targets->setRecNo(1);
    enterOnTargets();
    EXPECT_DOUBLE_EQ(chart().left.minimum, 7.5 - 4 * 0.4);
    targets->setRecNo(2);
    enterOnTargets();
    const qc::ChartModel fresh;
    EXPECT_EQ(std::make_tuple(chart().left.minimum, chart().left.maximum, chart().left.increment, chart().bottom.maximum),
              std::make_tuple(fresh.left.minimum, fresh.left.maximum, fresh.left.increment, fresh.bottom.maximum));
    Form1->ComboBox3->setCurrentIndex(4);
    Form1->ComboBox3Click();
    EXPECT_EQ(Form1->qcbegin, QDate(2024, 5, 1));
}
