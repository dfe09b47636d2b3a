// Batch printing (three text or two graphic reports per sheet, or one report
// per sample), its range dialog, and the stub list with its work file,
// driven on the main window offscreen with the PDF back end.
#include "common/mainwindowtest.h"
#include "common/testdb.h"
#include "pdftools.h"

#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/printprogress.h"
#include "app/session.h"
#include "platform/db/command.h"
#include "platform/report/printing.h"
#include "reports/Unit3.h"
#include "reports/Unit4.h"
#include "reports/batch.h"
#include "reports/forms.h"
#include "reports/stub.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using reports::ResultRow;

namespace {

// The PDF back end, refusing jobs on demand.
class FlakyBackend : public report::PdfFileBackend
{
public:
    using PdfFileBackend::PdfFileBackend;
    void print(const report::PrintJob &job) override
    {
        if (refuse)
            throw report::ReportError(QStringLiteral("打印机脱机"));
        PdfFileBackend::print(job);
    }
    bool refuse = false;
};

void addPatient(const QString &id, const QString &name, const QString &sex)
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, sex, age, depart, caseno, checkdate, "
                                        "takedate, taketime, operator, printflag) values (?, ?, ?, '45', '内科', ?, "
                                        "'2026-12-06', '2026-12-06', '08:10', '李四', 0)"),
                         {id, name, sex, QStringLiteral("C") + id}, &err)) << err.toStdString();
}

void addResult(const QString &id, int itemid, const QString &value)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) "
                                        "values (?, '2026-12-06', ?, ?)"), {id, itemid, value}));
}

void markPrinted(const char *id)
{
    ASSERT_TRUE(db::exec(QStringLiteral("update patient set bgtime='09:00', printflag=1 where shelfid=?"),
                         {QLatin1String(id)}));
}

QVariant patientColumn(const char *c, const QString &id)
{
    return db::scalar(QStringLiteral("select %1 from patient where shelfid = ?").arg(QLatin1String(c)), {id});
}

class BatchWindow : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        backend = std::make_shared<FlakyBackend>(tmp.path(),
                                                 QStringList{QStringLiteral("Office_Laser"), QStringLiteral("Ward_DotMatrix")});
        report::setPrinterBackend(backend);
        session::setWorkdate(QDate(2026, 12, 6));
        session::setCurrentOperator(QStringLiteral("李四"));
        session::setClock([]() { return QDateTime(QDate(2026, 12, 6), QTime(10, 5)); });
        reports::clearPrinterPapers();
        oldDir = QDir::currentPath();
        QDir::setCurrent(workDir.path());
    }
    void TearDown() override
    {
        QDir::setCurrent(oldDir);
        MainWindowTest::TearDown();
    }
    void start()
    {
        createMain();
        Form1->printSettingsShow();
        Form1->samplePageShow();
        Form1->buildBatchPrinting();   // again: no second connection
    }
    // kind 0 graphic / 1 text; paper 0..3.
    void choose(int kind, int paper, int printer = 0)
    {
        Form1->ComboBox6->setCurrentIndex(printer);
        Form1->ComboBox7->setCurrentIndex(paper);
        Form1->ComboBox8->setCurrentIndex(kind);
    }
    // Runs the batch with a range typed into the dialog (keys, so the
    // dialog's key filter applies).
    void batch(const QString &lo, const QString &hi, bool ok = true)
    {
        QTimer::singleShot(0, [=]() {
            QTest::keyClicks(Form3->Edit1, lo);
            QTest::keyClicks(Form3->Edit2, hi);
            (ok ? Form3->Button1 : Form3->Button2)->click();
        });
        Form1->N4->trigger();
    }
    // Runs the stub list; fill answers its dialog.
    template <class Fn>
    void stub(Fn fill)
    {
        QTimer::singleShot(0, fill);
        Form1->N28->trigger();
    }
    void expectIdle()
    {
        EXPECT_TRUE(Form1->isEnabled());
        EXPECT_TRUE(Form1->N3->isEnabled());
        EXPECT_FALSE(frmprintprogress && frmprintprogress->isVisible());
    }
    QString jobFile(int i) const { return backend->jobs().at(i).file; }
    void savePages(const QString &name)
    {
        for (size_t j = 0; j < backend->jobs().size(); ++j)
            pdftools::pageImage(jobFile(int(j)), 1, 96, pdftools::outputDir() + QStringLiteral("/%1-%2").arg(name).arg(j + 1));
    }

    QTemporaryDir tmp, workDir;
    QString oldDir;
    std::shared_ptr<FlakyBackend> backend;
};

} // namespace

// ---- page builders (no window) ---------------------------------------------------

namespace {

ResultRow row(const QString &name, const QString &value, const QString &abbr = QStringLiteral("AB"),
              const QString &low = QStringLiteral("4"), const QString &high = QStringLiteral("10"))
{
    return ResultRow{name, abbr.isEmpty() ? QVariant() : QVariant(abbr), value, QStringLiteral("g/L"),
                     high, low, QStringLiteral("20"), QStringLiteral("15")};
}

std::vector<ResultRow> rows(int n)
{
    std::vector<ResultRow> out;
    for (int i = 1; i <= n; ++i)
        out.push_back(row(QStringLiteral("项%1").arg(i), QString::number(i)));
    return out;
}

QVariantMap patient(const QString &name, const QString &sex)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("sex"), sex}, {QStringLiteral("shelfid"), QStringLiteral("7")},
            {QStringLiteral("caseno"), QStringLiteral("C7")}, {QStringLiteral("checkdate"), QStringLiteral("2026-12-06")},
            {QStringLiteral("bgtime"), QStringLiteral("10:05")}};
}

QRect px(const report::ReportForm &f, int slot, const QString &n)
{
    return f.px(reports::slotName(slot, n));
}

} // namespace

TEST(BatchBuilders, TextSlotPlacesColumnsAndOffsets)
{
    reports::ReportForms forms;
    report::ReportForm &page = forms.frmtestreport3;
    const report::ReportForm &tmpl = forms.frmtestreport2;
    auto rs = rows(14);
    rs[1].abbreviation = QVariant();   // no bracket label for row 2
    const QVariantMap p = patient(QStringLiteral("王五"), QStringLiteral("男"));
    for (int slot : {1, 3}) {
        const int off = reports::slotOffset(reports::BatchLayout::TextPages, slot);
        reports::createreporthead(page, tmpl, p, slot, off);
        reports::createreportbody(page, tmpl, p, rs, slot);
        reports::createreportfooter(page, tmpl, p, slot, off);
    }
    // Slot 3 stands 198 mm below the template.
    for (const char *n : {"QRLabel14", "QRShape4", "QRDBText1"})
        EXPECT_NEAR(page.item(reports::slotName(3, QLatin1String(n))).mm.top(),
                    tmpl.item(QLatin1String(n)).mm.top() + 198, 1e-9) << n;
    EXPECT_EQ(page.item(reports::slotName(1, QStringLiteral("QRDBText14"))).text, QStringLiteral("2026-12-06 10:05"));
    for (int slot : {1, 3}) {
        const QRect head = px(page, slot, QStringLiteral("QRLabel14"));
        const int anchor = head.top() + head.height();
        // Row 14 level with row 1 in the right column; row 2 one pitch lower.
        EXPECT_EQ(px(page, slot, QStringLiteral("row_value_1")).topLeft(), QPoint(192, anchor));
        EXPECT_EQ(px(page, slot, QStringLiteral("row_value_14")).topLeft(), QPoint(544, anchor));
        EXPECT_EQ(px(page, slot, QStringLiteral("row_name_13")).top(), anchor + 2 + 12 * 16);
        EXPECT_EQ(px(page, slot, QStringLiteral("row_unit_2")).topLeft(), QPoint(316, anchor + 16));
        EXPECT_FALSE(page.find(reports::slotName(slot, QStringLiteral("row_abbreviation_2"))));
    }
    // Slot 2 was never built.
    EXPECT_TRUE(reports::slotcontrols(page, 2).isEmpty());
}

TEST(BatchBuilders, GraphicSlotTwoIs148MillimetresLowerWithItsOwnLimits)
{
    reports::ReportForms forms;
    report::ReportForm &page = forms.frmtestreport4;
    const report::ReportForm &tmpl = forms.frmtestreport;
    std::array<QImage, 4> pics;
    for (QImage &p : pics) {
        p = QImage(40, 40, QImage::Format_RGB32);
        p.fill(Qt::red);
    }
    std::vector<ResultRow> rs{row(QStringLiteral("白细胞"), QStringLiteral("12.5")),
                              row(QStringLiteral("红细胞"), QStringLiteral("10"), {}),
                              row(QStringLiteral("血小板"), QStringLiteral("16"), QStringLiteral("PLT"), {}, QStringLiteral("10"))};
    const QString sexes[2] = {QStringLiteral("男"), QStringLiteral("女")};
    for (int slot : {1, 2}) {
        const QVariantMap p = patient(QStringLiteral("王五"), sexes[slot - 1]);
        const int off = reports::slotOffset(reports::BatchLayout::GraphicPages, slot);
        reports::createA5reporthead(page, tmpl, p, slot, off);
        reports::createA5reportbody(page, tmpl, p, rs, pics, slot);
        reports::createA5reportfooter(page, tmpl, p, slot, off);
    }
    for (const char *n : {"QRShape3", "QRShape4", "qimg1", "qimg6", "QRDBText12", "QRLabel26"})
        EXPECT_NEAR(page.item(reports::slotName(2, QLatin1String(n))).mm.top()
                        - page.item(reports::slotName(1, QLatin1String(n))).mm.top(), 148, 1e-9) << n;
    EXPECT_FALSE(page.item(reports::slotName(1, QStringLiteral("qimg1"))).image.isNull());

    const QRect rule = px(page, 1, QStringLiteral("QRShape3"));
    const int anchor = rule.top() + rule.height();
    EXPECT_EQ(px(page, 1, QStringLiteral("row_number_1")).topLeft(), QPoint(19, anchor + 2));
    EXPECT_EQ(px(page, 1, QStringLiteral("row_name_1")).left(), 51);
    EXPECT_EQ(px(page, 1, QStringLiteral("row_value_2")).topLeft(), QPoint(252, anchor + 2 + 13));
    EXPECT_EQ(px(page, 1, QStringLiteral("row_flag_1")).left(), 469);
    const QRect name1 = px(page, 1, QStringLiteral("row_name_1"));
    EXPECT_EQ(px(page, 1, QStringLiteral("row_abbreviation_1")).left(), name1.left() + name1.width() + 2);
    EXPECT_FALSE(page.find(reports::slotName(1, QStringLiteral("row_abbreviation_2"))));

    auto text = [&](int slot, const QString &n) { return page.item(reports::slotName(slot, n)).text; };
    // Slot 1 male: 4--10; 12.5 high, 10 equal to the limit, only a high limit of 10.
    EXPECT_EQ(text(1, QStringLiteral("row_range_1")), QStringLiteral("4--10"));
    EXPECT_EQ(text(1, QStringLiteral("row_flag_1")), QStringLiteral("↑"));
    EXPECT_EQ(text(1, QStringLiteral("row_flag_2")), QString());
    EXPECT_EQ(text(1, QStringLiteral("row_range_3")), QStringLiteral("10"));
    EXPECT_EQ(text(1, QStringLiteral("row_flag_3")), QStringLiteral("↑"));
    // Slot 2 female: 15--20, 12.5 low.
    EXPECT_EQ(text(2, QStringLiteral("row_range_1")), QStringLiteral("15--20"));
    EXPECT_EQ(text(2, QStringLiteral("row_flag_1")), QStringLiteral("↓"));
}

TEST(BatchBuilders, LongResultListsStayInsideTheirSlot)
{
    reports::ReportForms forms;
    const QVariantMap p = patient(QStringLiteral("王五"), QStringLiteral("男"));
    for (int n : {26, 27, 40}) {
        forms.frmtestreport3.recreate();
        reports::createreporthead(forms.frmtestreport3, forms.frmtestreport2, p, 1, 0);
        reports::createreportbody(forms.frmtestreport3, forms.frmtestreport2, p, rows(n), 1);
        const int footer = forms.frmtestreport2.px(QStringLiteral("QRShape4")).top();
        int lowest = 0;
        for (int i = 1; i <= n; ++i) {
            const QRect r = px(forms.frmtestreport3, 1, QStringLiteral("row_name_%1").arg(i));
            lowest = std::max(lowest, r.top() + 16);
        }
        EXPECT_LE(lowest, footer + 1) << n;

        forms.frmtestreport4.recreate();
        reports::createA5reporthead(forms.frmtestreport4, forms.frmtestreport, p, 1, 0);
        reports::createA5reportbody(forms.frmtestreport4, forms.frmtestreport, p, rows(n), {}, 1);
        const QRect last = px(forms.frmtestreport4, 1, QStringLiteral("row_name_%1").arg(n));
        // 26 rows keep the report's 13 px; longer lists are squeezed above the rule.
        const int rule = forms.frmtestreport.px(QStringLiteral("QRShape4")).top();
        if (n > 26)
            EXPECT_LE(last.top() + 16, rule) << n;
        else
            EXPECT_LT(last.top(), rule) << n;
    }
    EXPECT_EQ(reports::textSlotPitch(forms.frmtestreport2, 26), 16);
    EXPECT_EQ(reports::graphicSlotPitch(forms.frmtestreport, 26), 13);
}

// ---- batch runs on the window ------------------------------------------------------

TEST_F(BatchWindow, TextBatchPutsThreeSamplesOnASheetAndStampsAfterPrinting)
{
    // Seven samples with results, one without (4) in between.
    const QStringList names{QStringLiteral("赵一"), QStringLiteral("钱二"), QStringLiteral("孙三"), QStringLiteral("周四"),
                            QStringLiteral("吴五"), QStringLiteral("郑六"), QStringLiteral("冯七"), QStringLiteral("陈八")};
    for (int i = 1; i <= 8; ++i) {
        addPatient(QString::number(i), names[i - 1], QStringLiteral("男"));
        if (i != 4)
            addResult(QString::number(i), 1, QStringLiteral("%1.25").arg(i));
    }
    markPrinted("2");
    start();
    choose(1, -1);
    batch(QStringLiteral("1"), QStringLiteral("8"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    expectIdle();
    ASSERT_EQ(backend->jobs().size(), 3u);   // ceil(7 / 3)
    savePages(QStringLiteral("batch-text"));

    // Each sample in its slot: page, slot by its order among those with results.
    const int withResults[7] = {1, 2, 3, 5, 6, 7, 8};
    for (int k = 0; k < 7; ++k) {
        const int id = withResults[k], job = k / 3, slot = k % 3 + 1;
        const auto words = pdftools::words(jobFile(job));
        const double off = (slot - 1) * 99.0;
        const auto name = pdftools::findWord(words, names[id - 1]);
        ASSERT_FALSE(name.text.isEmpty()) << id;
        EXPECT_NEAR(name.mm.left(), 10 + 12.7, 0.5) << id;
        EXPECT_NEAR(name.mm.top(), 5 + 11.4 + off, 0.5) << id;
        const auto value = pdftools::findWord(words, QStringLiteral("%1.25").arg(id));
        ASSERT_FALSE(value.text.isEmpty()) << id;
        EXPECT_NEAR(value.mm.left(), 10 + report::pxToMm(192), 0.5) << id;
        EXPECT_NEAR(value.mm.top(), 5 + report::pxToMm(report::mmToPx(18.5 + off) + report::mmToPx(4.5)), 0.5) << id;
    }
    EXPECT_TRUE(pdftools::findWord(pdftools::words(jobFile(1)), names[3]).text.isEmpty());
    // The report shows the time this very batch stamped.
    EXPECT_TRUE(pdftools::compactText(jobFile(0)).contains(QStringLiteral("2026-12-0610:05")));
    EXPECT_TRUE(pdftools::compactText(jobFile(0)).contains(QStringLiteral("2026-12-0609:00")));

    EXPECT_EQ(patientColumn("bgtime", QStringLiteral("1")).toString(), QStringLiteral("10:05"));
    EXPECT_EQ(patientColumn("printflag", QStringLiteral("8")).toInt(), 1);
    EXPECT_EQ(patientColumn("bgtime", QStringLiteral("2")).toString(), QStringLiteral("09:00"));
    EXPECT_TRUE(patientColumn("bgtime", QStringLiteral("4")).isNull());
    EXPECT_EQ(patientColumn("printflag", QStringLiteral("4")).toInt(), 0);
    for (const auto &j : backend->jobs())
        EXPECT_EQ(j.printerIndex, 0);
}

TEST_F(BatchWindow, GraphicBatchPutsTwoSamplesOnASheet)
{
    for (int i = 1; i <= 5; ++i) {
        addPatient(QString::number(i), QStringLiteral("患者%1").arg(i), i % 2 ? QStringLiteral("男") : QStringLiteral("女"));
        addResult(QString::number(i), 1, QStringLiteral("%1.5").arg(i + 10));
    }
    start();
    choose(0, 0, 1);
    Form1->Edit6->setText(QStringLiteral("5.0"));
    Form1->Edit7->setText(QStringLiteral("20.0"));
    batch(QStringLiteral("1"), QStringLiteral("5"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    expectIdle();
    ASSERT_EQ(backend->jobs().size(), 3u);   // ceil(5 / 2)
    savePages(QStringLiteral("batch-graphic"));
    for (int i = 1; i <= 5; ++i) {
        const int job = (i - 1) / 2, slot = (i - 1) % 2 + 1;
        const auto words = pdftools::words(jobFile(job));
        const auto name = pdftools::findWord(words, QStringLiteral("患者%1").arg(i));
        ASSERT_FALSE(name.text.isEmpty()) << i;
        EXPECT_NEAR(name.mm.left(), 20 + 23.3, 0.5);
        EXPECT_NEAR(name.mm.top(), 5 + 14.6 + (slot - 1) * 148, 0.5) << i;
        const auto value = pdftools::findWord(words, QStringLiteral("%1.5").arg(i + 10));
        ASSERT_FALSE(value.text.isEmpty()) << i;
        EXPECT_NEAR(value.mm.left(), 20 + report::pxToMm(252), 0.5);
        EXPECT_NEAR(value.mm.top(), name.mm.top() + (32.3 + 1.3 - 14.6) + report::pxToMm(2), 0.6) << i;
    }
    EXPECT_EQ(backend->jobs().front().printerIndex, 1);
    EXPECT_EQ(pdftools::pageCount(jobFile(2)), 1);
    EXPECT_NEAR(pdftools::pageSizePt(jobFile(0)).height(), 841.89, 0.5);
}

TEST_F(BatchWindow, RangeAndFilterChooseTheSamples)
{
    for (const char *id : {"1", "05", "5", "6", "12"}) {
        addPatient(QLatin1String(id), QStringLiteral("名") + QLatin1String(id), QStringLiteral("男"));
        addResult(QLatin1String(id), 1, QStringLiteral("7.7"));
    }
    markPrinted("6");
    start();
    choose(1, -1);

    // Letters typed into the dialog are dropped: "5x" is 5.
    batch(QStringLiteral("5x"), QStringLiteral("x5"));
    ASSERT_EQ(backend->jobs().size(), 1u);
    QString text = pdftools::compactText(jobFile(0));
    EXPECT_TRUE(text.contains(QStringLiteral("名05")));
    EXPECT_TRUE(text.contains(QStringLiteral("名5")));
    EXPECT_FALSE(text.contains(QStringLiteral("名6")));

    // Only unprinted: 6 is passed over although in range; 12 is outside.
    Form1->N23Click();
    batch(QStringLiteral("1"), QStringLiteral("11"));
    ASSERT_EQ(backend->jobs().size(), 2u);
    text = pdftools::compactText(jobFile(1));
    EXPECT_TRUE(text.contains(QStringLiteral("名1")));
    EXPECT_FALSE(text.contains(QStringLiteral("名6")));
    EXPECT_FALSE(text.contains(QStringLiteral("名12")));
    // The filtered list no longer shows what was printed.
    ASSERT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("shelfid")), QStringLiteral("12"));

    // Bounds backwards: the message, nothing printed.
    batch(QStringLiteral("9"), QStringLiteral("3"));
    EXPECT_EQ(dialogs.last(), QStringLiteral("没有符合打印条件的结果!"));
    EXPECT_EQ(backend->jobs().size(), 2u);
    expectIdle();

    // Cancelled, or a bound left empty: nothing at all.
    dialogs.clear();
    batch(QStringLiteral("1"), QStringLiteral("20"), false);
    batch(QStringLiteral("1"), QString());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(backend->jobs().size(), 2u);
}

TEST_F(BatchWindow, AFailedPrintLeavesTheFlagsAsTheyWere)
{
    for (int i = 1; i <= 4; ++i) {
        addPatient(QString::number(i), QStringLiteral("患者%1").arg(i), QStringLiteral("男"));
        addResult(QString::number(i), 1, QStringLiteral("5"));
    }
    start();
    choose(1, -1);
    backend->refuse = true;
    batch(QStringLiteral("1"), QStringLiteral("4"));
    EXPECT_EQ(dialogs.last(), QStringLiteral("打印机脱机"));
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    expectIdle();
    for (int i = 1; i <= 4; ++i) {
        EXPECT_TRUE(patientColumn("bgtime", QString::number(i)).isNull()) << i;
        EXPECT_EQ(patientColumn("printflag", QString::number(i)).toInt(), 0) << i;
    }

    // A margin that is not a number ends a graphic batch before any stamp.
    backend->refuse = false;
    choose(0, 0);
    Form1->Edit6->setText(QString());
    batch(QStringLiteral("1"), QStringLiteral("4"));
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_TRUE(backend->jobs().empty());
    EXPECT_TRUE(patientColumn("bgtime", QStringLiteral("1")).isNull());
    expectIdle();
}

TEST_F(BatchWindow, OtherPapersPrintOneReportPerSample)
{
    for (int i = 1; i <= 3; ++i) {
        addPatient(QString::number(i), QStringLiteral("患者%1").arg(i), QStringLiteral("男"));
        if (i != 2)
            addResult(QString::number(i), 1, QStringLiteral("5"));
    }
    start();
    // No printer chosen: one message for the whole run, nothing stamped.
    choose(0, 2, -1);
    batch(QStringLiteral("1"), QStringLiteral("3"));
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("请在[系统设置]--[其它]设置面板中设置打印机")});
    EXPECT_TRUE(backend->jobs().empty());
    EXPECT_TRUE(patientColumn("bgtime", QStringLiteral("1")).isNull());
    expectIdle();

    dialogs.clear();
    choose(0, 2, 0);
    batch(QStringLiteral("1"), QStringLiteral("3"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(backend->jobs().size(), 2u);
    EXPECT_NEAR(pdftools::pageSizePt(jobFile(0)).height(), 841.89, 0.5);
    EXPECT_TRUE(pdftools::compactText(jobFile(1)).contains(QStringLiteral("患者3")));
    EXPECT_EQ(patientColumn("printflag", QStringLiteral("3")).toInt(), 1);
    EXPECT_TRUE(patientColumn("bgtime", QStringLiteral("2")).isNull());
}

// ---- stub list -------------------------------------------------------------------------

TEST(StubList, ColumnsCountGbkBytes)
{
    reports::StubSample s{QStringLiteral("12"), QStringLiteral("张三"), QStringLiteral("内科"), QStringLiteral("45"), {}};
    EXPECT_EQ(reports::stubSampleParts(s), reports::toGbk(QStringLiteral(" 12   张三    内科      45  ")));
    // Deliberate shifts: a long number is cut without a blank after it; a
    // long department is padded as if it had 6 bytes; a long age shifts left.
    s = {QStringLiteral("12345"), QStringLiteral("A"), QStringLiteral("心血管内科"), QStringLiteral("100"), {}};
    EXPECT_EQ(reports::stubSampleParts(s), reports::toGbk(QStringLiteral(" 1234A       心血管内    10 ")));
    // A cut through a Chinese character leaves a blank in its place.
    EXPECT_EQ(reports::firstBytes(reports::toGbk(QStringLiteral("A张三丰")), 6), reports::toGbk(QStringLiteral("A张三 ")));
    EXPECT_EQ(reports::stubResultPart({QStringLiteral("WBC"), QStringLiteral("6.5")}), QByteArray(" WBC     6.5   "));
    EXPECT_EQ(reports::stubRange(QStringLiteral(" 10-20 ")), std::make_pair(10, 20));
    EXPECT_EQ(reports::stubRange(QStringLiteral("-5")), std::make_pair(0, 5));
    EXPECT_EQ(reports::stubRange(QStringLiteral("1-2-3")), std::make_pair(1, 2));
    EXPECT_FALSE(reports::stubRange(QStringLiteral("15")));
}

TEST(StubList, FiveResultsToALineAndPageEnds)
{
    const QDate day(2026, 12, 6);
    reports::StubSample s{QStringLiteral("1"), QStringLiteral("甲"), QString(), QString(), {}};
    for (int i = 0; i < 12; ++i)
        s.results.push_back({QStringLiteral("I%1").arg(i), QStringLiteral("1")});
    auto lines = reports::stubLines({s}, day);
    ASSERT_EQ(lines.size(), 4 + 3 + 1);   // 5, 5 and 2 results
    EXPECT_EQ(lines[0], QByteArray(42, ' ') + reports::toGbk(QStringLiteral("病人存根(2026-12-06)")));
    EXPECT_TRUE(lines[5].startsWith(QByteArray(28, ' ') + " I5"));
    EXPECT_EQ(lines.back(), QByteArray(100, '='));

    // 59 result lines fill the first page; the 60th opens the next.
    std::vector<reports::StubSample> many(59, reports::StubSample{QStringLiteral("1"), {}, {}, {}, {{QStringLiteral("A"), QStringLiteral("1")}}});
    EXPECT_EQ(reports::stubLines(many, day).size(), 4 + 59 + 1);
    many.push_back(many.front());
    lines = reports::stubLines(many, day);
    ASSERT_EQ(lines.size(), 4 + 59 + 8 + 4 + 1 + 1);
    EXPECT_EQ(lines[63], QByteArray(100, '='));
    EXPECT_EQ(lines[64], QByteArray(" "));
    EXPECT_EQ(lines[71], reports::stubHeader(day).front());
    // Sheets break after each page end.
    QStringList text;
    for (const QByteArray &l : lines)
        text << reports::fromGbk(l);
    const auto sheets = reports::stubSheets(text, 72);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].size(), 71);
}

TEST_F(BatchWindow, StubListWritesTheWorkFileAndPrintsIt)
{
    addPatient(QStringLiteral("12"), QStringLiteral("张三"), QStringLiteral("男"));
    addResult(QStringLiteral("12"), 1, QStringLiteral("6.5"));
    addResult(QStringLiteral("12"), 3, QStringLiteral("1.52"));
    addResult(QStringLiteral("12"), 2, QStringLiteral("4"));
    addPatient(QStringLiteral("13"), QStringLiteral("李四"), QStringLiteral("女"));   // no results: no line
    addPatient(QStringLiteral("30"), QStringLiteral("王五"), QStringLiteral("男"));
    addResult(QStringLiteral("30"), 1, QStringLiteral("8"));
    markPrinted("30");
    start();
    choose(1, -1, 1);
    Form1->N23Click();   // only unprinted: 30 is not listed
    stub([]() { Form4->Button1->click(); });
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    QFile f(QDir(workDir.path()).filePath(QStringLiteral("ttt.txt")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected = reports::toGbk(
        QString(42, QLatin1Char(' ')) + QStringLiteral("病人存根(2026-12-06)\r\n") + QString(100, QLatin1Char('='))
        + QStringLiteral("\r\n 编号 姓  名  科    别 年龄") + QString(36, QLatin1Char(' ')) + QStringLiteral("结  果\r\n")
        + QString(100, QLatin1Char('=')) + QStringLiteral("\r\n 12   张三    内科      45   WBC     6.5    NEU#    4      LYM#    1.52\r\n")
        + QString(100, QLatin1Char('=')) + QStringLiteral("\r\n"));
    EXPECT_EQ(f.readAll(), expected);
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_EQ(backend->jobs().front().title, QStringLiteral("    "));
    EXPECT_EQ(backend->jobs().front().printerIndex, 1);
    const QString file = jobFile(0);
    savePages(QStringLiteral("stub"));
    const auto words = pdftools::words(file);
    const auto head = pdftools::findWord(words, QStringLiteral("编号"));
    const auto wbc = pdftools::findWord(words, QStringLiteral("WBC"));
    const auto lym = pdftools::findWord(words, QStringLiteral("LYM#"));
    ASSERT_FALSE(head.text.isEmpty() || wbc.text.isEmpty() || lym.text.isEmpty());
    // Columns: 1.852 mm each (half of the 14 px type).
    const double col = report::pxToMm(7);
    EXPECT_NEAR(wbc.mm.left() - head.mm.left(), (29 - 1) * col, 0.5);
    EXPECT_NEAR(lym.mm.left() - wbc.mm.left(), 30 * col, 0.5);
    EXPECT_FALSE(pdftools::compactText(file).contains(QStringLiteral("王五")));
    EXPECT_EQ(Form1->patientset->recNo(), 1);
}

TEST_F(BatchWindow, StubListRangeShowsEverySampleAfterwards)
{
    for (const char *id : {"3", "10", "15", "20", "21"}) {
        addPatient(QLatin1String(id), QStringLiteral("名") + QLatin1String(id), QStringLiteral("男"));
        addResult(QLatin1String(id), 1, QStringLiteral("5"));
    }
    markPrinted("3");
    start();
    choose(1, -1, 0);
    Form1->N23Click();
    stub([]() {
        Form4->RadioButton2->click();
        QTest::keyClicks(Form4->Edit1, QStringLiteral("10-20"));
        Form4->Button1->click();
    });
    ASSERT_EQ(backend->jobs().size(), 1u);
    const QString text = pdftools::compactText(jobFile(0));
    EXPECT_TRUE(text.contains(QStringLiteral("名10")));
    EXPECT_TRUE(text.contains(QStringLiteral("名20")));
    EXPECT_FALSE(text.contains(QStringLiteral("名21")));
    EXPECT_EQ(Form1->patientset->recordCount(), 5);   // every sample, the filter notwithstanding
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("shelfid")), QStringLiteral("3"));

    // Cancelled after a confirmed print: nothing.
    stub([]() { Form4->Button2->click(); });
    EXPECT_EQ(backend->jobs().size(), 1u);
    // Enter in the range box confirms.
    stub([]() {
        Form4->RadioButton2->click();
        QTest::keyClicks(Form4->Edit1, QStringLiteral("1x5-2a0"));
        EXPECT_EQ(Form4->Edit1->text(), QStringLiteral("15-20"));
        QTest::keyClick(Form4->Edit1, Qt::Key_Return);
    });
    EXPECT_EQ(backend->jobs().size(), 2u);
}
