// The print settings group of the settings page and the result print of the
// sample list, driven on the main window offscreen with the PDF back end.
#include "common/mainwindowtest.h"
#include "pdftools.h"

#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/printprogress.h"
#include "app/session.h"
#include "platform/db/command.h"
#include "platform/report/printing.h"
#include "reports/form1_print.h"
#include "reports/forms.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QStringList Printers{QStringLiteral("Office_Laser"), QStringLiteral("Ward_DotMatrix")};

QVariant stored(const char *column)
{
    return db::scalar(QStringLiteral("select %1 from corpration").arg(QLatin1String(column)));
}

void setRow(const QString &assignments)
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("update corpration set ") + assignments, {}, &err)) << err.toStdString();
}

// The PDF back end, noting what the window looked like while a job printed.
class WatchingBackend : public report::PdfFileBackend
{
public:
    using PdfFileBackend::PdfFileBackend;
    void print(const report::PrintJob &job) override
    {
        progressShown = frmprintprogress && frmprintprogress->isVisible()
                        && (frmprintprogress->windowFlags() & Qt::WindowStaysOnTopHint);
        mainEnabled = Form1 && Form1->isEnabled();
        PdfFileBackend::print(job);
    }
    bool progressShown = false;
    bool mainEnabled = true;
};

class PrintWindow : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        watch = std::make_shared<WatchingBackend>(tmp.path(), Printers);
        pdf = watch;
        report::setPrinterBackend(pdf);
        session::setWorkdate(QDate(2026, 12, 6));
        session::setCurrentOperator(QStringLiteral("李四"));
        reports::clearPrinterPapers();
    }
    // Start-up as far as printing goes: the settings row as the test left
    // it, the main window, FormShow's printing steps.
    void start()
    {
        ASSERT_TRUE(dbdata->openDatasets());
        createMain();
        Form1->printSettingsShow();
    }

    QTemporaryDir tmp;
    std::shared_ptr<report::PdfFileBackend> pdf;
    std::shared_ptr<WatchingBackend> watch;
};

void type(QLineEdit *e, const QString &keys)
{
    e->setFocus();
    for (QChar c : keys)
        QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void addSample(const char *id, const char *sex, const char *value)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, sex, checkdate, printflag) "
                                        "values (?, '张三', ?, '2026-12-06', 0)"), {QLatin1String(id), QString::fromUtf8(sex)}));
    if (value)
        ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) "
                                            "values (?, '2026-12-06', 1, ?)"), {QLatin1String(id), QLatin1String(value)}));
}

QVariant patientColumn(const char *c, const char *id)
{
    return db::scalar(QStringLiteral("select %1 from patient where shelfid = ?").arg(QLatin1String(c)), {QLatin1String(id)});
}

} // namespace

TEST_F(PrintWindow, StartUpShowsTheStoredChoices)
{
    setRow(QStringLiteral("prntindex=1, paperindex=3, rptindex=0, p_top=0, p_left=12.34, p_bottom=NULL, p_right=0"));
    start();
    EXPECT_EQ(Form1->ComboBox6->count(), 2);
    EXPECT_EQ(Form1->ComboBox6->currentText(), QStringLiteral("Ward_DotMatrix"));
    EXPECT_EQ(Form1->ComboBox7->currentText(), QStringLiteral("4.B5"));
    EXPECT_EQ(Form1->ComboBox8->currentText(), QStringLiteral("1.图形报告"));
    EXPECT_EQ(Form1->Edit6->text(), QStringLiteral("5.0"));
    EXPECT_EQ(Form1->Edit7->text(), QStringLiteral("12.3"));
    EXPECT_EQ(Form1->Edit8->text(), QStringLiteral("0.0"));
    EXPECT_EQ(Form1->Edit9->text(), QStringLiteral("20.0"));
    // What is shown went back into the row: a 0 margin is now its default.
    EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 5.0);
    EXPECT_DOUBLE_EQ(stored("p_left").toDouble(), 12.3);
    EXPECT_FALSE(stored("p_bottom").isNull());
    EXPECT_TRUE(Form1->ComboBox7->isEnabled());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    // Start-up neither sets up a paper nor writes the indexes.
    EXPECT_FALSE(reports::printerPaper(QStringLiteral("Ward_DotMatrix")));
}

TEST_F(PrintWindow, EmptyOrOutOfRangeIndexesChooseNothing)
{
    setRow(QStringLiteral("prntindex=5, paperindex=NULL, rptindex=NULL"));
    pdf = std::make_shared<report::PdfFileBackend>(tmp.path(), QStringList());
    report::setPrinterBackend(pdf);
    start();
    EXPECT_EQ(Form1->ComboBox6->currentIndex(), -1);
    EXPECT_EQ(Form1->ComboBox7->currentIndex(), -1);
    EXPECT_EQ(Form1->ComboBox8->currentIndex(), -1);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("没有安装打印机，请退出程序安装打印机!")});
    // No report kind: paper, margins and preview are off.
    for (QWidget *w : std::initializer_list<QWidget *>{Form1->ComboBox7, Form1->Edit6, Form1->Edit7, Form1->Edit8,
                                                       Form1->Edit9, Form1->Button2})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(stored("prntindex").toInt(), 5);   // nothing written at start-up
}

TEST_F(PrintWindow, ChoicesAreStoredAndThePaperSetUp)
{
    start();
    // Paper without a printer: only stored.
    Form1->ComboBox7->setCurrentIndex(1);
    emit Form1->ComboBox7->activated(1);
    EXPECT_EQ(stored("paperindex").toInt(), 1);
    EXPECT_FALSE(reports::printerPaper(QStringLiteral("Ward_DotMatrix")));

    Form1->ComboBox6->setCurrentIndex(1);
    emit Form1->ComboBox6->activated(1);
    EXPECT_EQ(stored("prntindex").toInt(), 1);
    struct Expect { int paper; const char *form; int w, l; double footer; };
    const Expect all[] = {{1, "Custom Size", 2100, 1397, 116.4}, {2, "A4", 0, 0, 116.4}, {3, "B5", 0, 0, 116.4},
                          {0, "Custom Size", 2100, 1485, 116.4}};
    reports::ReportForms::instance().frmtestreport.recreate();
    for (const Expect &e : all) {
        SCOPED_TRACE(e.paper);
        Form1->ComboBox7->setCurrentIndex(e.paper);
        emit Form1->ComboBox7->activated(e.paper);
        EXPECT_EQ(stored("paperindex").toInt(), e.paper);
        const auto p = reports::printerPaper(QStringLiteral("Ward_DotMatrix"));
        ASSERT_TRUE(p);
        EXPECT_EQ(p->form, QLatin1String(e.form));
        EXPECT_EQ(p->width10, e.w);
        EXPECT_EQ(p->length10, e.l);
        // The live half-sheet template's footer line moved with the first custom paper.
        EXPECT_NEAR(reports::ReportForms::instance().frmtestreport.item(QStringLiteral("QRShape4")).mm.top(),
                    e.footer, 1e-9);
    }

    Form1->ComboBox8->setCurrentIndex(1);
    emit Form1->ComboBox8->activated(1);
    EXPECT_EQ(stored("rptindex").toInt(), 1);
    EXPECT_FALSE(Form1->Edit7->isEnabled());
    EXPECT_FALSE(Form1->Button2->isEnabled());
    Form1->ComboBox8->setCurrentIndex(0);
    emit Form1->ComboBox8->activated(0);
    EXPECT_TRUE(Form1->Edit7->isEnabled());
    EXPECT_TRUE(Form1->Button2->isEnabled());
}

TEST_F(PrintWindow, MarginBoxesFilterKeysAndStoreWhatTheyShow)
{
    setRow(QStringLiteral("rptindex=0, p_top=0"));
    start();
    QLineEdit *e = Form1->Edit6;
    e->clear();                    // empty: nothing stored
    EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 5.0);
    type(e, QStringLiteral("1a2.5.-7"));
    EXPECT_EQ(e->text(), QStringLiteral("12.57"));
    EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 12.57);
    QTest::keyClick(e, Qt::Key_Backspace);     // blocked, as the old box did
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(e->text(), QStringLiteral("12.57"));
    // "%" passes the filter and fails the conversion: shown, not stored.
    type(e, QStringLiteral("%"));
    EXPECT_EQ(e->text(), QStringLiteral("12.57%"));
    EXPECT_DOUBLE_EQ(stored("p_top").toDouble(), 12.57);
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("12.57%")));
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
}

TEST_F(PrintWindow, ResultPrintStampsOnlyWhatReallyPrints)
{
    addSample("1", "女", "12.5");
    addSample("2", "男", "5");
    session::setClock([]() { return QDateTime(QDate(2026, 12, 6), QTime(10, 5)); });
    start();
    Form1->samplePageShow();
    ASSERT_EQ(Form1->patientset->recordCount(), 2);

    // No printer chosen: the message, nothing printed, no stamp.
    Form1->N3Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("请在[系统设置]--[其它]设置面板中设置打印机"));
    EXPECT_TRUE(patientColumn("bgtime", "1").isNull());
    EXPECT_TRUE(Form1->isEnabled());
    EXPECT_FALSE(frmprintprogress && frmprintprogress->isVisible());

    Form1->ComboBox6->setCurrentIndex(0);
    Form1->N3Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("请在[系统设置]--[其它]设置面板中设置纸张"));
    EXPECT_TRUE(patientColumn("bgtime", "1").isNull());

    Form1->ComboBox7->setCurrentIndex(0);
    Form1->ComboBox8->setCurrentIndex(0);
    // Only unprinted samples listed; print the first one.
    Form1->N23Click();
    ASSERT_EQ(Form1->patientset->recordCount(), 2);
    Form1->patientset->first();
    dialogs.clear();
    Form1->N3Click();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(pdf->jobs().size(), 1u);
    EXPECT_EQ(pdf->jobs().back().printerIndex, 0);
    EXPECT_TRUE(watch->progressShown);
    EXPECT_FALSE(watch->mainEnabled);
    EXPECT_EQ(patientColumn("bgtime", "1").toString(), QStringLiteral("10:05"));
    EXPECT_EQ(patientColumn("printflag", "1").toInt(), 1);
    EXPECT_TRUE(Form1->isEnabled());
    EXPECT_FALSE(frmprintprogress && frmprintprogress->isVisible());
    // The printed sample left the list; the list stands on the row now at number 1.
    ASSERT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("shelfid")), QStringLiteral("2"));
    const QString text = pdftools::compactText(pdf->jobs().back().file);
    EXPECT_EQ(pdftools::count(text, Form1->getHospitalname() + QStringLiteral("检验报告单")), 1);
    EXPECT_EQ(pdftools::count(text, QStringLiteral("10:05")), 1);
    EXPECT_NEAR(pdftools::pageSizePt(pdf->jobs().back().file).height(), 420.94, 0.02);

    // A margin that is not a number: the conversion error, nothing printed or stamped.
    Form1->Edit7->setText(QStringLiteral("2'"));
    dialogs.clear();
    Form1->N3Click();
    EXPECT_EQ(pdf->jobs().size(), 1u);
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("2'")));
    EXPECT_TRUE(patientColumn("bgtime", "2").isNull());
    EXPECT_TRUE(Form1->isEnabled());
}

TEST_F(PrintWindow, PreviewShowsTheChosenPaperWithTheEditsMargins)
{
    addSample("7", "男", nullptr);
    start();
    Form1->samplePageShow();
    Form1->Button2Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("请在[系统设置]--[其它]设置面板中设置打印机"));
    Form1->ComboBox6->setCurrentIndex(0);
    Form1->Button2Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("请在[系统设置]--[其它]设置面板中设置纸张"));
    EXPECT_TRUE(pdf->log().empty());

    struct Expect { int paper; double w, h; };
    for (const Expect &e : {Expect{1, 595.28, 396.00}, Expect{3, 515.91, 728.50}}) {
        SCOPED_TRACE(e.paper);
        Form1->ComboBox7->setCurrentIndex(e.paper);
        Form1->Edit6->setText(QStringLiteral("8.0"));
        Form1->Edit7->setText(QStringLiteral("15.0"));
        Form1->Button2Click();
        ASSERT_FALSE(pdf->log().empty());
        const auto &entry = pdf->log().back();
        EXPECT_TRUE(entry.preview);
        const QSizeF pt = pdftools::pageSizePt(entry.file);
        EXPECT_NEAR(pt.width(), e.w, 0.02);
        EXPECT_NEAR(pt.height(), e.h, 0.02);
        const auto ws = pdftools::words(entry.file);
        // The current patient, no rows; the first caption at the edits' margins.
        EXPECT_FALSE(pdftools::findWord(ws, QStringLiteral("张三")).text.isEmpty());
        EXPECT_FALSE(pdftools::findWord(ws, Form1->getHospitalname() + QStringLiteral("检验报告单")).text.isEmpty());
        const auto name = pdftools::findWord(ws, QStringLiteral("姓"));
        EXPECT_NEAR(name.mm.left(), 15 + 4.2, 0.5);
        if (e.paper == 1)
            pdftools::pageImage(entry.file, 1, 96, pdftools::outputDir() + QStringLiteral("/preview-paper1"));
    }
    EXPECT_TRUE(pdf->jobs().empty());
}
