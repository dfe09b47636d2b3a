// The print settings group of the settings page and the result print of the
// sample list, driven on the main window offscreen with the PDF back end.
#include "printwindow.h"

#include "base/CustData.h"
#include "app/form1/print.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/statusbar.h"
#include "reports/forms.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

QVariant stored(const char *column) { return db::scalar(QString("select %1 from corpration").arg(column)); }
void setRow(const QString &assignments) { ASSERT_TRUE(db::exec("update corpration set " + assignments)); }

class PrintWindow : public PrintingWindow
{
protected:
    // Start-up as far as printing goes: the settings row as the test left
    // it, the main window, the printing steps of its first showing.
    void openSettings()
    {
        ASSERT_TRUE(dbdata->openDatasets());
        createMain();
        Form1->printSettingsShow();
    }
};

} // namespace

TEST_F(PrintWindow, StartUpShowsTheStoredChoices)
{
    setRow("prntindex=1, paperindex=3, rptindex=0, p_top=0, p_left=12.34, p_bottom=NULL, p_right=0");
    openSettings();
    EXPECT_EQ(QStringList({Form1->ComboBox6->currentText(), Form1->ComboBox7->currentText(), Form1->ComboBox8->currentText(),
                           Form1->Edit6->text(), Form1->Edit7->text(), Form1->Edit8->text(), Form1->Edit9->text()}).join(' '),
              "Ward_DotMatrix 4.B5 1.图形报告 5.0 12.3 0.0 20.0");
    // What is shown went back into the row: a 0 margin is now its default.
    EXPECT_EQ(db::scalar("select p_top || ' ' || p_left || ' ' || p_bottom from corpration").toString(), "5.0 12.3 0.0");
    EXPECT_TRUE(dialogs.shown.isEmpty());
    // Start-up neither sets up a paper nor writes the indexes.
    EXPECT_FALSE(reports::printerPaper("Ward_DotMatrix"));
}

TEST_F(PrintWindow, EmptyOrOutOfRangeIndexesChooseNothing)
{
    setRow("prntindex=5, paperindex=NULL, rptindex=NULL");
    report::setPrinterBackend(std::make_shared<report::PdfFileBackend>(tmp.path(), QStringList()));
    openSettings();
    EXPECT_EQ(Form1->ComboBox6->currentIndex() + Form1->ComboBox7->currentIndex() + Form1->ComboBox8->currentIndex(), -3);
    EXPECT_EQ(dialogs.shown, QStringList{"没有安装打印机，请退出程序安装打印机!"});
    // No report kind: paper, margins and preview are off.
    for (QWidget *w : std::initializer_list<QWidget *>{Form1->ComboBox7, Form1->Edit6, Form1->Edit7, Form1->Edit8, Form1->Edit9, Form1->Button2})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(stored("prntindex").toInt(), 5);   // nothing written at start-up
}

TEST_F(PrintWindow, ChoicesAreStoredAndThePaperSetUp)
{
    openSettings();
    // Paper without a printer: only stored.
    pick(Form1->ComboBox7, 1);
    EXPECT_EQ(stored("paperindex").toInt(), 1);
    EXPECT_FALSE(reports::printerPaper("Ward_DotMatrix"));

    pick(Form1->ComboBox6, 1);
    // setprtpaper's form name, width and length (0.1 mm) per paper.
    reports::ReportForms::instance().frmtestreport.recreate();
    for (const auto &[paper, expect] : {std::pair{1, "Custom Size 2100 1397"}, {2, "A4 0 0"}, {3, "B5 0 0"}, {0, "Custom Size 2100 1485"}}) {
        pick(Form1->ComboBox7, paper);
        const auto p = reports::printerPaper("Ward_DotMatrix");
        ASSERT_TRUE(p);
        EXPECT_EQ(QString("%1 %2 %3").arg(p->form).arg(p->width10).arg(p->length10), expect);
        // The live half-sheet template's footer line moved with the first custom paper.
        EXPECT_NEAR(reports::ReportForms::instance().frmtestreport.item("QRShape4").mm.top(), 116.4, 1e-9);
    }
    pick(Form1->ComboBox8, 1);
    EXPECT_EQ(stored("rptindex").toInt(), 1);
    EXPECT_FALSE(Form1->Edit7->isEnabled() || Form1->Button2->isEnabled());   // the text report has no margins
}

TEST_F(PrintWindow, MarginBoxesFilterKeysAndStoreWhatTheyShow)
{
    setRow("rptindex=0, p_top=0");
    openSettings();
    QLineEdit *e = Form1->Edit6;
    e->clear();                    // empty: nothing stored
    EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 5.0);
    typeInto(e, "1a2.5.-7", false);
    EXPECT_EQ(e->text(), "12.57");
    EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 12.57);
    // Backspace and Enter are dropped.
    for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Return})
        QTest::keyClick(e, key);
    EXPECT_EQ(e->text(), "12.57");
    // A lone point is no margin of 0 mm; "%" passes the filter and fails the
    // conversion: both shown, neither stored.
    for (const char *typed : {".", "12.57%"}) {
        e->clear();
        QTest::keyClicks(e, typed);
        EXPECT_EQ(e->text(), typed);
        EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 12.57);
        EXPECT_TRUE(dialogs.last().contains(QString("'%1'").arg(typed))) << dialogs.last().toStdString();
        EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    }
    // Delete deletes as in any edit, also with the DEL text a keyboard gives it.
    e->setText("125.5");
    QTest::keyClick(e, Qt::Key_Home);
    QTest::keyClick(e, Qt::Key_Delete);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));
    QApplication::sendEvent(e, &del);
    EXPECT_EQ(e->text(), "5.5");
    EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 5.5);
}

// The printer is kept by position and name; queues added or removed between
// runs move it, and a position that shows another printer is never used.
TEST_F(PrintWindow, TheChosenPrinterIsFoundByNameAtTheNextStart)
{
    const auto printers = [this](const QStringList &names) { return std::make_shared<report::PdfFileBackend>(tmp.path(), names); };
    const auto status = [] { return Form1->StatusBar1->panelText(1); };
    addSample("1", "张三");
    openSettings();
    pick(Form1->ComboBox6, 1);
    pick(Form1->ComboBox7, 0);
    pick(Form1->ComboBox8, 0);
    EXPECT_EQ(stored("prntindex").toString() + ' ' + stored("prntname").toString(), "1 Ward_DotMatrix");

    // A printer added before it: found at its new position, which is stored.
    restart(printers({"Clinic_Inkjet", "Office_Laser", "Ward_DotMatrix"}));
    EXPECT_EQ(Form1->ComboBox6->currentText(), "Ward_DotMatrix");
    EXPECT_EQ(stored("prntindex").toInt(), 2);
    EXPECT_FALSE(status().contains("Ward_DotMatrix")) << status().toStdString();

    // Gone, its position showing another printer: none chosen, the status
    // bar says so and printing asks for a printer.
    restart(printers({"Clinic_Inkjet", "Office_Laser", "Ward_Inkjet"}));
    EXPECT_EQ(Form1->ComboBox6->currentIndex(), -1);
    EXPECT_TRUE(status().contains("“Ward_DotMatrix”") && status().contains("重新选择打印机")) << status().toStdString();
    Form1->N3Click();
    EXPECT_EQ(dialogs.last(), "请在[系统设置]--[其它]设置面板中设置打印机");
    EXPECT_EQ(stampOf("1"), "|0");

    // Back at yet another position: chosen again by its name.
    restart(printers({"Ward_DotMatrix"}));
    EXPECT_EQ(Form1->ComboBox6->currentText() + ' ' + stored("prntindex").toString(), "Ward_DotMatrix 0");

    // A file of an earlier build holds the position only: it gains the name
    // column, and the row the name that position shows.
    setRow("prntindex = 1");
    ASSERT_TRUE(db::exec("alter table corpration drop column prntname"));
    restart(printers({"Office_Laser", "Ward_Inkjet"}));
    EXPECT_EQ(Form1->ComboBox6->currentText() + ' ' + stored("prntname").toString(), "Ward_Inkjet Ward_Inkjet");
}

TEST_F(PrintWindow, ResultPrintStampsOnlyWhatReallyPrints)
{
    // Sample 1 is a woman's, with her own WBC range and NEU# first in print order.
    addSample("1", "张三", "12.5", "女");
    addSample("2", "张三");
    for (const char *sql : {"update itemtb set womanlow = '3.0' where itemid = 1", "update itemtb set printorder = 0 where itemid = 2",
                            "insert into testresult (shelfid, checkdate, itemid, value) values ('1', '2026-12-06', 2, '4')"})
        ASSERT_TRUE(db::exec(sql)) << sql;
    openSettings();
    Form1->samplePageShow();
    ASSERT_EQ(Form1->patientset->recordCount(), 2);
    bool progressShown = false, mainEnabled = true;
    backend->whilePrinting = [&] {
        progressShown = frmprintprogress && frmprintprogress->isVisible() && (frmprintprogress->windowFlags() & Qt::WindowStaysOnTopHint);
        mainEnabled = Form1->isEnabled();
    };

    // No printer, then no paper chosen: the message, nothing printed, no stamp.
    for (const char *missing : {"打印机", "纸张"}) {
        Form1->N3Click();
        EXPECT_EQ(dialogs.last(), QString("请在[系统设置]--[其它]设置面板中设置%1").arg(missing));
        expectIdle();
        Form1->ComboBox6->setCurrentIndex(0);
    }
    EXPECT_EQ(stampOf("1"), "|0");

    choose(0, 0);
    // Only unprinted samples listed; print the first one.
    Form1->N23Click();
    ASSERT_EQ(Form1->patientset->recordCount(), 2);
    Form1->patientset->first();
    // A printer that refuses the job: its message, no stamp.
    backend->refuse = true;
    Form1->N3Click();
    EXPECT_EQ(dialogs.last(), "打印机脱机");
    EXPECT_EQ(stampOf("1"), "|0");
    backend->refuse = false;
    dialogs.clear();
    Form1->N3Click();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(progressShown && !mainEnabled);
    EXPECT_EQ(stampOf("1"), "10:05|1");
    expectIdle();
    // The printed sample left the list; the list stands on the row now at number 1.
    ASSERT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(Form1->patientset->text("shelfid"), "2");
    const QString text = printed();
    for (const QString &t : {Form1->getHospitalname() + "检验报告单", QString("10:05"), QString("3.0--9.5")})
        EXPECT_EQ(pdftools::count(text, t), 1) << t.toStdString();
    EXPECT_LT(text.indexOf("中性粒细胞绝对值"), text.indexOf("白细胞计数"));

    // A margin that is not a number: the conversion error, nothing printed or
    // stamped, and the list is not read again (a sample stored meanwhile
    // does not appear).
    Form1->Edit7->setText("2'");
    addSample("3", "王五");
    Form1->N3Click();
    EXPECT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(dialogs.last().contains("2'"));
    EXPECT_EQ(stampOf("2"), "|0");
    expectIdle();
}

// F9 on the sample list prints the sample it stands on, also after a move to
// the last row and a step past it; a reprint keeps the first time.
TEST_F(PrintWindow, F9PrintsTheLastSampleAfterLastAndNext)
{
    addSample("1", "张三", QString());   // no results: nothing to print
    for (const char *id : {"2", "3"})
        addSample(id, "张三");
    openSettings();
    for (QComboBox *box : {Form1->ComboBox6, Form1->ComboBox7, Form1->ComboBox8})
        pick(box, 0);
    showMain();
    activate(Form1);
    Form1->DBGrid1->setFocus();
    Form1->patientset->last();
    QTest::keyClick(Form1->DBGrid1, Qt::Key_F9);
    ASSERT_EQ(backend->jobs().size(), 1u) << dialogs.last().toStdString();
    EXPECT_EQ(stampOf("3") + stampOf("2"), "10:05|1|0");
    // The closed progress window hands the activation back, as a desktop does.
    activate(Form1);
    session::setClock([]() { return QDateTime(QDate(2026, 12, 6), QTime(11, 0)); });
    Form1->patientset->next();
    QTest::keyClick(Form1->DBGrid1, Qt::Key_F9);
    EXPECT_EQ(backend->jobs().size(), 2u);
    EXPECT_EQ(Form1->patientset->text("shelfid") + stampOf("3"), "310:05|1");
    Form1->patientset->first();
    Form1->N3Click();
    EXPECT_EQ(backend->jobs().size(), 2u);
    EXPECT_EQ(stampOf("1"), "|0");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
}

// Paper B5 chosen on the settings page: F9's report and the page's preview
// lie whole on the 182 x 257 mm sheet, the doctor's name at the right end of
// its line included.
TEST_F(PrintWindow, B5ReportAndPreviewStayOnTheSheet)
{
    addSample("1", "张三");
    ASSERT_TRUE(db::exec("update patient set doctor = '诸葛明远' where shelfid = '1'"));
    openSettings();
    Form1->samplePageShow();
    pick(Form1->ComboBox6, 0);
    pick(Form1->ComboBox8, 0);
    pick(Form1->ComboBox7, 3);
    Form1->N3Click();
    Form1->Button2Click();
    ASSERT_EQ(backend->log().size(), 2u) << dialogs.last().toStdString();
    for (const auto &e : backend->log()) {
        const QSizeF page = pdftools::pageSizePt(e.file) / pdftools::ptPerMm;
        EXPECT_TRUE(std::abs(page.width() - 182) < 0.01 && std::abs(page.height() - 257) < 0.01) << page.width() << " x " << page.height();
        bool doctor = false;
        for (const auto &w : pdftools::words(e.file)) {
            doctor = doctor || w.text.endsWith("诸葛明远");
            EXPECT_TRUE(QRectF(QPointF(), page).contains(w.mm))
                << e.file.toStdString() << ": \"" << w.text.toStdString() << "\" ends at " << w.mm.right() << " mm";
        }
        EXPECT_TRUE(doctor) << e.file.toStdString();
    }
}
