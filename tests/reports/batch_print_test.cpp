// Batch printing (three text or two graphic reports per sheet, or one report
// per sample), its range dialog, and the stub list with its work file,
// driven on the main window offscreen with the PDF back end.
#include "printwindow.h"

#include "reports/Unit4.h"
#include "reports/stub.h"

#include <QRadioButton>

namespace {

// The stamps of some samples, one text.
QString stamps(std::initializer_list<const char *> ids)
{
    QStringList out;
    for (const char *id : ids)
        out << stampOf(QLatin1String(id));
    return out.join(QLatin1Char(' '));
}

void markPrinted(const char *id)
{
    ASSERT_TRUE(db::exec(QStringLiteral("update patient set bgtime='09:00', printflag=1 where shelfid=?"),
                         {QLatin1String(id)}));
}

class BatchWindow : public PrintingWindow
{
protected:
    // Runs the stub list; fill answers its dialog.
    template <class Fn>
    void stub(Fn fill)
    {
        QTimer::singleShot(0, fill);
        Form1->N28->trigger();
    }
    QString jobText(int i) const { return pdftools::compactText(backend->jobs().at(i).file); }
};

} // namespace

// ---- batch runs on the window ------------------------------------------------------

TEST_F(BatchWindow, BatchPutsThreeTextOrTwoGraphicReportsOnASheetAndStampsAfterPrinting)
{
    // Seven samples with results, one without (4) in between; 2 printed before.
    QStringList names, values;
    for (int i = 1; i <= 8; ++i) {
        const QString name = QStringLiteral("患者%1").arg(i), value = i == 4 ? QString() : QStringLiteral("%1.25").arg(i);
        addSample(QString::number(i), name, value);
        if (!value.isEmpty())
            names << name, values << value;
    }
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
        batch(QStringLiteral("1"), QStringLiteral("8"));
        EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
        expectIdle();
        const auto jobs = backend->jobs();
        ASSERT_EQ(jobs.size() - first, size_t((names.size() + l.perSheet - 1) / l.perSheet));
        EXPECT_EQ(jobs.back().printerIndex, l.printer);
        EXPECT_NEAR(pdftools::pageSizePt(jobs[first].file).height(), 841.89, 0.5);
        EXPECT_EQ(pdftools::count(printed(first), QStringLiteral("患者4")), 0);
        pdftools::savePage(jobs[first].file, l.kind ? QStringLiteral("batch-text") : QStringLiteral("batch-graphic"));
        for (int k = 0; k < names.size(); ++k) {
            SCOPED_TRACE(names[k].toStdString());
            const auto ws = pdftools::words(jobs[first + k / l.perSheet].file);
            const QPointF off(0, (k % l.perSheet) * l.slotMm);
            const QPointF name = pdftools::at(ws, names[k]) - off, value = pdftools::at(ws, values[k]) - off;
            EXPECT_NEAR(name.x(), l.name.x(), 0.5);
            EXPECT_NEAR(name.y(), l.name.y(), 0.5);
            EXPECT_NEAR(value.x(), l.value.x(), 0.5);
            EXPECT_NEAR(value.y(), l.value.y(), 0.6);
        }
    }
    // The first sheet shows the time this very batch stamped, and the kept one.
    EXPECT_TRUE(jobText(0).contains(QStringLiteral("2026-12-0610:05")));
    EXPECT_TRUE(jobText(0).contains(QStringLiteral("2026-12-0609:00")));
    EXPECT_EQ(stamps({"1", "2", "4", "8"}), QStringLiteral("10:05|1 09:00|1 |0 10:05|1"));
}

TEST_F(BatchWindow, RangeAndFilterChooseTheSamples)
{
    for (const char *id : {"1", "05", "5", "6", "12"})
        addSample(QLatin1String(id), QStringLiteral("名") + QLatin1String(id), QStringLiteral("7.7"));
    markPrinted("6");
    start(1, -1);

    // Letters typed into the dialog are dropped: "5x" is 5.
    batch(QStringLiteral("5x"), QStringLiteral("x5"));
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(jobText(0).contains(QStringLiteral("名05")) && jobText(0).contains(QStringLiteral("名5")));
    EXPECT_FALSE(jobText(0).contains(QStringLiteral("名6")));

    // Only unprinted: 6 is passed over although in range; 12 is outside.
    Form1->N23Click();
    batch(QStringLiteral("1"), QStringLiteral("11"));
    ASSERT_EQ(backend->jobs().size(), 2u);
    EXPECT_TRUE(jobText(1).contains(QStringLiteral("名1")));
    EXPECT_FALSE(jobText(1).contains(QStringLiteral("名6")) || jobText(1).contains(QStringLiteral("名12")));
    // The filtered list no longer shows what was printed.
    ASSERT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("shelfid")), QStringLiteral("12"));

    // Bounds backwards: the message, nothing printed.
    batch(QStringLiteral("9"), QStringLiteral("3"));
    EXPECT_EQ(dialogs.last(), QStringLiteral("没有符合打印条件的结果!"));
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
    for (int i = 1; i <= 4; ++i)
        addSample(QString::number(i), QStringLiteral("患者%1").arg(i));
    start(1, -1);
    backend->refuse = true;
    batch(QStringLiteral("1"), QStringLiteral("4"));
    EXPECT_EQ(dialogs.last(), QStringLiteral("打印机脱机"));
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    expectIdle();
    EXPECT_EQ(stamps({"1", "2", "3", "4"}), QStringLiteral("|0 |0 |0 |0"));

    // A margin that is not a number ends a graphic batch before any stamp.
    backend->refuse = false;
    choose(0, 0);
    Form1->Edit6->setText(QString());
    batch(QStringLiteral("1"), QStringLiteral("4"));
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_TRUE(backend->jobs().empty());
    EXPECT_EQ(stampOf(QStringLiteral("1")), QStringLiteral("|0"));
    expectIdle();
}

TEST_F(BatchWindow, OtherPapersPrintOneReportPerSample)
{
    for (int i = 1; i <= 3; ++i)
        addSample(QString::number(i), QStringLiteral("患者%1").arg(i), i == 2 ? QString() : QStringLiteral("5"));
    // No printer chosen: silent while no sample has results, then one
    // refusal for the run and nothing stamped.
    start(0, 2, -1);
    batch(QStringLiteral("2"), QStringLiteral("2"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    batch(QStringLiteral("1"), QStringLiteral("3"));
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("请在[系统设置]--[其它]设置面板中设置打印机")});
    EXPECT_EQ(stampOf(QStringLiteral("1")), QStringLiteral("|0"));
    EXPECT_TRUE(backend->jobs().empty());
    dialogs.clear();
    choose(0, 2, 0);
    batch(QStringLiteral("1"), QStringLiteral("3"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(backend->jobs().size(), 2u);
    EXPECT_NEAR(pdftools::pageSizePt(backend->jobs()[0].file).height(), 841.89, 0.5);
    EXPECT_TRUE(jobText(1).contains(QStringLiteral("患者3")));
    EXPECT_EQ(stamps({"2", "3"}), QStringLiteral("|0 10:05|1"));
}

// ---- stub list -------------------------------------------------------------------------

TEST(StubList, ColumnsCountGbkBytesAndPagesEndAfter59Lines)
{
    // Deliberate shifts: a long number is cut without a blank after it; a
    // long department is padded as if it had 6 bytes; a long age shifts left.
    const reports::StubSample s{QStringLiteral("12345"), QStringLiteral("A"), QStringLiteral("心血管内科"), QStringLiteral("100"), {}};
    EXPECT_EQ(reports::stubSampleParts(s), reports::toGbk(QStringLiteral(" 1234A       心血管内    10 ")));
    // A cut through a Chinese character leaves a blank in its place.
    EXPECT_EQ(reports::firstBytes(reports::toGbk(QStringLiteral("A张三丰")), 6), reports::toGbk(QStringLiteral("A张三 ")));
    EXPECT_EQ(reports::stubResultPart({QStringLiteral("WBC"), QStringLiteral("6.5")}), QByteArray(" WBC     6.5   "));
    const std::pair<const char *, std::pair<int, int>> ranges[] = {{" 10-20 ", {10, 20}}, {"-5", {0, 5}}, {"1-2-3", {1, 2}}, {"15", {-1, -1}}};
    for (const auto &[text, range] : ranges)
        EXPECT_EQ(reports::stubRange(QLatin1String(text)).value_or(std::pair{-1, -1}), range) << text;

    // Five results to a line; 59 result lines to the first page.
    const QDate day(2026, 12, 6);
    reports::StubSample twelve{QStringLiteral("1"), QStringLiteral("甲"), QString(), QString(), {}};
    for (int i = 0; i < 12; ++i)
        twelve.results.push_back({QStringLiteral("I%1").arg(i), QStringLiteral("1")});
    auto lines = reports::stubLines({twelve}, day);
    ASSERT_EQ(lines.size(), 4 + 3 + 1);   // 5, 5 and 2 results
    EXPECT_TRUE(lines[5].startsWith(QByteArray(28, ' ') + " I5"));
    EXPECT_EQ(lines.back(), QByteArray(100, '='));

    // The 60th result line opens the next page.
    std::vector<reports::StubSample> many(60, reports::StubSample{QStringLiteral("1"), {}, {}, {}, {{QStringLiteral("A"), QStringLiteral("1")}}});
    lines = reports::stubLines(many, day);
    ASSERT_EQ(lines.size(), 4 + 59 + 8 + 4 + 1 + 1);
    EXPECT_EQ(lines[63], QByteArray(100, '='));
    EXPECT_EQ(lines[71], reports::stubHeader(day).front());
}

TEST_F(BatchWindow, StubListWritesTheWorkFileAndPrintsIt)
{
    addSample(QStringLiteral("12"), QStringLiteral("张三"), QStringLiteral("6.5"));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values "
                                        "('12', '2026-12-06', 3, '1.52'), ('12', '2026-12-06', 2, '4')")));
    addSample(QStringLiteral("13"), QStringLiteral("李四"), QString());   // no results: no line
    addSample(QStringLiteral("30"), QStringLiteral("王五"), QStringLiteral("8"));
    markPrinted("30");
    start(1, -1, 1);
    Form1->N23Click();   // only unprinted: 30 is not listed
    stub([]() { Form4->Button1->click(); });
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    QFile f(workFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString rule = QString(100, QLatin1Char('=')) + QStringLiteral("\r\n");
    EXPECT_EQ(f.readAll(), reports::toGbk(QString(42, QLatin1Char(' ')) + QStringLiteral("病人存根(2026-12-06)\r\n") + rule
                                          + QStringLiteral(" 编号 姓  名  科    别 年龄") + QString(36, QLatin1Char(' '))
                                          + QStringLiteral("结  果\r\n") + rule
                                          + QStringLiteral(" 12   张三    内科      45   WBC     6.5    NEU#    4      LYM#    1.52\r\n")
                                          + rule));
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_EQ(backend->jobs().front().title, QStringLiteral("    "));
    EXPECT_EQ(backend->jobs().front().printerIndex, 1);
    pdftools::savePage(backend->jobs()[0].file, QStringLiteral("stub"));
    // Columns: 1.852 mm each (half of the 14 px type).
    const auto ws = pdftools::words(backend->jobs()[0].file);
    const double col = report::pxToMm(7), wbc = pdftools::at(ws, QStringLiteral("WBC")).x();
    EXPECT_NEAR(wbc - pdftools::at(ws, QStringLiteral("编号")).x(), (29 - 1) * col, 0.5);
    EXPECT_NEAR(pdftools::at(ws, QStringLiteral("LYM#")).x() - wbc, 30 * col, 0.5);
    EXPECT_EQ(Form1->patientset->recNo(), 1);
}

TEST_F(BatchWindow, StubListRangeShowsEverySampleAfterwards)
{
    for (const char *id : {"3", "10", "15", "20", "21"})
        addSample(QLatin1String(id), QStringLiteral("名") + QLatin1String(id));
    markPrinted("3");
    start(1, -1, 0);
    Form1->N23Click();
    stub([]() {
        Form4->RadioButton2->click();
        QTest::keyClicks(Form4->Edit1, QStringLiteral("10-20"));
        Form4->Button1->click();
    });
    ASSERT_EQ(backend->jobs().size(), 1u);
    EXPECT_TRUE(jobText(0).contains(QStringLiteral("名10")) && jobText(0).contains(QStringLiteral("名20")));
    EXPECT_FALSE(jobText(0).contains(QStringLiteral("名21")));
    EXPECT_EQ(Form1->patientset->recordCount(), 5);   // every sample, the filter notwithstanding
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("shelfid")), QStringLiteral("3"));

    // Cancelled: nothing. Enter in the range box (letters dropped) confirms.
    stub([]() { Form4->Button2->click(); });
    EXPECT_EQ(backend->jobs().size(), 1u);
    stub([]() {
        Form4->RadioButton2->click();
        QTest::keyClicks(Form4->Edit1, QStringLiteral("1x5-2a0"));
        EXPECT_EQ(Form4->Edit1->text(), QStringLiteral("15-20"));
        QTest::keyClick(Form4->Edit1, Qt::Key_Return);
    });
    EXPECT_EQ(backend->jobs().size(), 2u);
}

// ---- dialogs ---------------------------------------------------------------------------

TEST_F(BatchWindow, TabAndDeleteWorkInTheRangeBoxes)
{
    createMain();
    activate(Form3);
    QTest::keyClicks(Form3->Edit1, QStringLiteral("12"));
    QTest::keyClick(Form3->Edit1, Qt::Key_Home);
    QTest::keyClick(Form3->Edit1, Qt::Key_Delete);
    EXPECT_EQ(Form3->Edit1->text(), QStringLiteral("2"));
    QTest::keyClick(Form3->Edit1, Qt::Key_Tab);
    EXPECT_TRUE(Form3->Edit2->hasFocus());
    Form3->close();
}
