// Batch printing (three text or two graphic reports per sheet, or one report
// per sample), its range dialog, and the stub list with its work file,
// driven on the main window offscreen with the PDF back end.
#include "printwindow.h"

#include "reports/stub.h"

namespace {

// The stamps of some samples, one text.
QString stamps(const QStringList &ids)
{
    QStringList out;
    for (const QString &id : ids)
        out << stampOf(id);
    return out.join(' ');
}

void markPrinted(const QString &id) { ASSERT_TRUE(db::exec("update patient set bgtime='09:00', printflag=1 where shelfid=?", {id})); }

// Samples 名<id>, each with the result <id>.25 except those in `bare`.
void addSamples(const QStringList &ids, const QStringList &bare = {})
{
    for (const QString &id : ids)
        addSample(id, "名" + id, bare.contains(id) ? QString() : id + ".25");
}

using BatchWindow = PrintingWindow;

} // namespace

// ---- batch runs on the window ------------------------------------------------------

TEST_F(BatchWindow, BatchPutsThreeTextOrTwoGraphicReportsOnASheetAndStampsAfterPrinting)
{
    // Seven samples with results, one without (4) in between; 2 printed before.
    const QStringList ids{"1", "2", "3", "5", "6", "7", "8"};
    addSamples(ids + QStringList{"4"}, {"4"});
    markPrinted("2");
    // Sample k stands in its sheet and slot: name and value at the template's
    // places plus the slot's offset (a value's top is rounded through layout pixels).
    const struct { int kind, paper, printer, perSheet; double slotMm; QPointF name, value; } layouts[] = {
        {1, -1, 0, 3, 99, {10 + 12.7, 5 + 11.4},
         {10 + report::pxToMm(192), 5 + report::pxToMm(report::mmToPx(18.5) + report::mmToPx(4.5))}},
        {0, 0, 1, 2, 148, {20 + 23.3, 5 + 14.6}, {20 + report::pxToMm(252), 5 + 32.3 + 1.3 + report::pxToMm(2)}}};
    start(1, -1);
    for (const auto &l : layouts) {
        SCOPED_TRACE(l.kind);
        const size_t first = backend->jobs().size();
        choose(l.kind, l.paper, l.printer);
        batch("1", "8");
        EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
        expectIdle();
        const auto jobs = backend->jobs();
        ASSERT_EQ(jobs.size() - first, size_t((ids.size() + l.perSheet - 1) / l.perSheet));
        EXPECT_EQ(jobs.back().printerIndex, l.printer);
        EXPECT_NEAR(pdftools::pageSizePt(jobs[first].file).height(), 841.89, 0.5);
        EXPECT_EQ(pdftools::count(printed(first), "名4"), 0);
        pdftools::savePage(jobs[first].file, l.kind ? "batch-text" : "batch-graphic");
        for (int k = 0; k < ids.size(); ++k) {
            SCOPED_TRACE(ids[k].toStdString());
            const auto ws = pdftools::words(jobs[first + k / l.perSheet].file);
            const QPointF off(0, (k % l.perSheet) * l.slotMm);
            for (const auto &[text, want] : {std::pair{"名" + ids[k], l.name}, {ids[k] + ".25", l.value}})
                EXPECT_LT((pdftools::at(ws, text) - off - want).manhattanLength(), 0.7) << text.toStdString();
        }
    }
    // The first sheet shows the time this very batch stamped, and the kept one.
    EXPECT_TRUE(printed(0, 1).contains("2026-12-0610:05") && printed(0, 1).contains("2026-12-0609:00"));
    EXPECT_EQ(stamps({"1", "2", "4", "8"}), "10:05|1 09:00|1 |0 10:05|1");
}

TEST_F(BatchWindow, RangeAndFilterChooseTheSamples)
{
    addSamples({"1", "05", "5", "6", "12"});
    markPrinted("6");
    start(1, -1);

    // Letters typed into the dialog are dropped, Delete works and Tab goes on
    // to the upper bound: "5x" is 5.
    QTimer::singleShot(0, [this] {
        activate(Form3);
        QTest::keyClicks(Form3->Edit1, "15x");
        // (with the texts a keyboard gives these keys)
        const std::pair<Qt::Key, const char *> keys[] = {{Qt::Key_Home, ""}, {Qt::Key_Delete, "\x7f"}, {Qt::Key_Tab, "\t"}};
        for (const auto &[key, text] : keys)
            QTest::sendKeyEvent(QTest::Click, Form3->Edit1, key, QString(text), Qt::NoModifier);
        EXPECT_TRUE(Form3->Edit2->hasFocus());
        QTest::keyClicks(Form3->Edit2, "x5");
        Form3->Button1->click();
    });
    Form1->N4->trigger();
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(printed(0).contains("名05") && printed(0).contains("名5") && !printed(0).contains("名6"));

    // Only unprinted: 6 is passed over although in range; 12 is outside.
    Form1->N23Click();
    batch("1", "11");
    ASSERT_EQ(backend->jobs().size(), 2u);
    EXPECT_TRUE(printed(1).contains("名1"));
    EXPECT_FALSE(printed(1).contains("名6") || printed(1).contains("名12"));
    // The filtered list no longer shows what was printed.
    ASSERT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(Form1->patientset->text("shelfid"), "12");

    // Bounds backwards: the message, nothing printed.
    batch("9", "3");
    EXPECT_EQ(dialogs.last(), "没有符合打印条件的结果!");
    expectIdle();
    // Cancelled, or a bound left empty: nothing at all.
    dialogs.clear();
    batch("1", "20", false);
    batch("1", QString());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(backend->jobs().size(), 2u);
}

TEST_F(BatchWindow, AFailedPrintLeavesTheFlagsAsTheyWere)
{
    addSamples({"1", "2", "3", "4"});
    start(1, -1);
    backend->refuse = true;
    batch("1", "4");
    EXPECT_EQ(dialogs.last(), "打印机脱机");
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    expectIdle();
    EXPECT_EQ(stamps({"1", "2", "3", "4"}), "|0 |0 |0 |0");

    // A margin that is not a number ends a graphic batch before any stamp.
    backend->refuse = false;
    choose(0, 0);
    Form1->Edit6->setText(QString());
    batch("1", "4");
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_TRUE(backend->jobs().empty());
    EXPECT_EQ(stampOf("1"), "|0");
    expectIdle();
}

// One report per sample (other papers) with no printer chosen: silent while
// no sample has results, then one refusal for the run and nothing stamped.
TEST_F(BatchWindow, OneReportPerSampleWithoutAPrinterRefusesOnce)
{
    addSamples({"1", "2", "3"}, {"2"});
    start(0, 2, -1);
    batch("2", "2");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    batch("1", "3");
    EXPECT_EQ(dialogs.shown, QStringList{"请在[系统设置]--[其它]设置面板中设置打印机"});
    EXPECT_EQ(stampOf("1"), "|0");
    EXPECT_TRUE(backend->jobs().empty());
}

// ---- stub list -------------------------------------------------------------------------

TEST(StubList, ColumnsCountGbkBytesAndPagesEndAfter59Lines)
{
    using namespace reports;
    // A long department is cut to 8 bytes and padded as if it had 6.
    EXPECT_EQ(stubSampleParts({"1", "A", "心血管内科", "5", {}}), toGbk(" 1    A       心血管内    5   "));
    // A cut through a Chinese character leaves a blank in its place.
    EXPECT_EQ(firstBytes(toGbk("A张三丰"), 6), toGbk("A张三 "));
    EXPECT_EQ(stubResultPart({"WBC", "6.5"}), QByteArray(" WBC     6.5   "));
    const std::pair<const char *, std::pair<int, int>> ranges[] = {{" 10-20 ", {10, 20}}, {"-5", {0, 5}}, {"1-2-3", {1, 2}}, {"15", {-1, -1}}};
    for (const auto &[text, range] : ranges)
        EXPECT_EQ(stubRange(text).value_or(std::pair{-1, -1}), range) << text;

    // Five results to a line; 59 result lines to the first page.
    const QDate day(2026, 12, 6);
    StubSample twelve{"1", "甲", {}, {}, {}};
    for (int i = 0; i < 12; ++i)
        twelve.results.push_back({QString("I%1").arg(i), "1"});
    auto lines = stubLines({twelve}, day);
    ASSERT_EQ(lines.size(), 4 + 3 + 1);   // 5, 5 and 2 results
    EXPECT_TRUE(lines[5].startsWith(QByteArray(28, ' ') + " I5"));
    EXPECT_EQ(lines.back(), QByteArray(100, '='));

    // The 60th result line opens the next page.
    lines = stubLines(std::vector<StubSample>(60, StubSample{"1", {}, {}, {}, {{"A", "1"}}}), day);
    ASSERT_EQ(lines.size(), 4 + 59 + 8 + 4 + 1 + 1);
    EXPECT_EQ(lines[63], QByteArray(100, '='));
    EXPECT_EQ(lines[71], stubHeader(day).front());
    // A sheet that holds the page but not all of its trailing blank lines
    // wastes no sheet on them.
    QStringList text;
    for (const QByteArray &l : lines)
        text << fromGbk(l);
    const auto sheets = stubSheets(text, 64);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[1].front(), fromGbk(stubHeader(day).front()));
}

TEST_F(BatchWindow, StubListWritesTheWorkFileAndPrintsIt)
{
    addSample("12", "张三", "6.5");
    ASSERT_TRUE(db::exec("insert into testresult (shelfid, checkdate, itemid, value) values "
                         "('12', '2026-12-06', 3, '1.52'), ('12', '2026-12-06', 2, '4')"));
    addSample("13", "李四", QString());   // no results: no line
    addSample("30", "王五", "8");
    markPrinted("30");
    start(1, -1, 1);
    Form1->N23Click();   // only unprinted: 30 is not listed
    stub([]() { Form4->Button1->click(); });
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    QFile f(workFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString rule = QString(100, '=') + "\r\n";
    EXPECT_EQ(f.readAll(), reports::toGbk(QString(42, ' ') + "病人存根(2026-12-06)\r\n" + rule + " 编号 姓  名  科    别 年龄"
                                          + QString(36, ' ') + "结  果\r\n" + rule
                                          + " 12   张三    内科      45   WBC     6.5    NEU#    4      LYM#    1.52\r\n" + rule));
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_EQ(backend->jobs().front().title, "    ");
    EXPECT_EQ(backend->jobs().front().printerIndex, 1);
    pdftools::savePage(backend->jobs()[0].file, "stub");
    // Columns: 1.852 mm each (half of the 14 px type).
    const auto ws = pdftools::words(backend->jobs()[0].file);
    const double col = report::pxToMm(7), wbc = pdftools::at(ws, "WBC").x();
    EXPECT_NEAR(wbc - pdftools::at(ws, "编号").x(), (29 - 1) * col, 0.5);
    EXPECT_NEAR(pdftools::at(ws, "LYM#").x() - wbc, 30 * col, 0.5);
    EXPECT_EQ(Form1->patientset->recNo(), 1);
}

// Numbers and ages are printed whole; the padding counts what is printed,
// so the line keeps its columns unless a value is too long for its own.
// Such a line, the longest a list can hold, still lies whole on every paper.
TEST_F(BatchWindow, StubListPrintsEveryDigitOfNumbersAndAges)
{
    const std::pair<const char *, const char *> samples[] = {{"7", "35岁"}, {"12345", "100岁"}, {"0000000012", "5"}, {"8", "1岁2个月"}};
    for (const auto &[id, age] : samples) {
        addSample(id, "张三", "6.5");
        ASSERT_TRUE(db::exec("update patient set age = ? where shelfid = ?", {age, id}));
    }
    ASSERT_TRUE(db::exec("update patient set depart = '心血管内科' where shelfid = '0000000012'"));
    for (int item = 2; item <= 5; ++item)
        ASSERT_TRUE(db::exec("insert into testresult (shelfid, checkdate, itemid, value) values ('0000000012', '2026-12-06', ?, '123.45')", {item}));
    start(1, -1, 0);
    stub([]() { Form4->Button1->click(); });
    QFile f(workFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = reports::fromGbk(f.readAll()).split("\r\n").mid(4, 4);
    EXPECT_EQ(lines.join('|').toStdString(), QStringList({" 7    张三    内科      35   WBC     6.5", " 8    张三    内科      1岁2 WBC     6.5",
                                                          " 0000000012 张三    心血管内    5    WBC     6.5    NEU#    123.45 LYM#    123.45 MON#    123.45 EOS#    123.45",
                                                          " 12345 张三    内科      100  WBC     6.5"})
                                                 .join('|')
                                                 .toStdString());
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(printed(0).contains("12345张三") && printed(0).contains("0000000012") && printed(0).contains("100WBC")) << printed(0).toStdString();

    // Every paper (B5 is 182 mm wide): each word on the sheet, the rule
    // whole, the results at their columns of it.
    choose(0, -1, 0);
    for (int paper = 0; paper < 4; ++paper) {
        SCOPED_TRACE(paper);
        pick(Form1->ComboBox7, paper);
        stub([]() { Form4->Button1->click(); });
        ASSERT_EQ(backend->jobs().size(), 2u + paper);
        const QString file = backend->jobs().back().file;
        if (paper == 3)
            pdftools::savePage(file, "stub-b5");
        const QRectF page(QPointF(), pdftools::pageSizePt(file) / pdftools::ptPerMm);
        const auto ws = pdftools::words(file);
        QRectF rule;
        for (const auto &w : ws) {
            EXPECT_TRUE(page.contains(w.mm)) << "\"" << w.text.toStdString() << "\" ends at " << w.mm.right() << " mm of " << page.width();
            if (w.text == QString(100, '='))
                rule = w.mm;
        }
        ASSERT_FALSE(rule.isEmpty());
        EXPECT_NEAR(pdftools::at(ws, "EOS#").x() - pdftools::at(ws, "NEU#").x(), rule.width() * 45 / 100, 0.5);
    }
}

TEST_F(BatchWindow, StubListRangeShowsEverySampleAfterwards)
{
    addSamples({"3", "10", "15", "20", "21"});
    markPrinted("3");
    start(1, -1, 0);
    Form1->N23Click();
    const auto range = [](const QString &typed, bool enter) {
        return [=]() {
            Form4->RadioButton2->click();
            QTest::keyClicks(Form4->Edit1, typed);
            if (enter)
                QTest::keyClick(Form4->Edit1, Qt::Key_Return);
            else
                Form4->Button1->click();
        };
    };
    stub(range("10-20", false));
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(printed(0).contains("名10") && printed(0).contains("名20") && !printed(0).contains("名21"));
    EXPECT_EQ(Form1->patientset->recordCount(), 5);   // every sample, the filter notwithstanding
    EXPECT_EQ(Form1->patientset->text("shelfid"), "3");

    // Cancelled: nothing. Enter in the range box (letters dropped) confirms.
    stub([]() { Form4->Button2->click(); });
    EXPECT_EQ(backend->jobs().size(), 1u);
    stub(range("1x5-2a0", true));
    EXPECT_EQ(Form4->Edit1->text(), "15-20");
    EXPECT_EQ(backend->jobs().size(), 2u);
}
