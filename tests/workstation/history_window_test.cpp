// The history page and the workload window on the main window offscreen:
// typed searches, the selected archived sample's results and graphs, its
// reprint through the PDF back end, and the workload count from the menu.
#include "graphics/drawgraphic.h"
#include "graphics/graphpanel.h"
#include "pdftools.h"
#include "platform/report/printing.h"
#include "platform/widgets/dbgrid.h"
#include "reports/forms.h"
#include "samplerow.h"
#include "testdb.h"
#include "workstation/dayfltj.h"
#include "wsfixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace wst;

namespace {

class HistoryPage : public Workstation
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
    void SetUp() override
    {
        Workstation::SetUp();
        pdf = std::make_shared<report::PdfFileBackend>(tmp.path(), QStringList{QStringLiteral("Office_Laser")});
        report::setPrinterBackend(pdf);
        g1 = sample::realisticRow(1);
        g2 = sample::realisticRow(7);
        g2.a[2] = QByteArray(); // the later visit has no RBC curve
        archive("5", "2026-12-01", QStringLiteral("张三"), {}, {}, {}, {}, QStringLiteral("09:30"));
        archive("5", "2026-12-03", QStringLiteral("张三"));
        archive("12", "2026-12-03", QStringLiteral("O'Neil"));
        // Item 99 has gone from the catalogue since; its value still shows.
        for (const auto &[d, item, value] : {std::tuple{"2026-12-01", 2, "2.10"}, {"2026-12-01", 99, "1.5"},
                                             {"2026-12-01", 1, "4.40"}, {"2026-12-03", 1, "8.80"}})
            archiveResult("5", d, item, value);
        archiveResult("12", "2026-12-01", 1); // a result of a day sample 12 was not registered on
        addGraphs("5", g1, "hisgresult", "2026-12-01");
        addGraphs("5", g2, "hisgresult", "2026-12-03");
        // Today's sample with the same number is a different patient.
        addPatient("5", QStringLiteral("王五"));
        addResult("5", 1, "6.0");
        Form1->buildHistoryPage(); // a second call changes nothing
        Form1->historyPageShow();
        Form1->PageControl1->setCurrentIndex(1);
    }
    void search(const QString &first, const QString &last)
    {
        Form1->Edit4->setText(first);
        Form1->Edit10->setText(last);
        QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    }
    // Another program holds the database file's write lock for 800 ms, so the
    // next count or search waits; at 400 ms the status text and the button's
    // state are read, then `meanwhile` runs.
    void lockWhile(StatusBar *bar, QPushButton *button, const std::function<void()> &meanwhile)
    {
        lock = std::make_unique<testdb::FileLock>(db::database().databaseName());
        ASSERT_TRUE(lock->held());
        QTimer::singleShot(800, [this]() { lock->release(); });
        QTimer::singleShot(400, [=]() {
            during = bar->panelText(1);
            buttonOn = button->isEnabled();
            meanwhile();
        });
    }
    QString during;
    bool buttonOn = true;
    QTemporaryDir tmp;
    std::unique_ptr<testdb::FileLock> lock;
    std::shared_ptr<report::PdfFileBackend> pdf;
    graphics::GraphRow g1, g2;
};

// Paint events a widget gets.
struct PaintCount : QObject {
    explicit PaintCount(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

} // namespace

TEST_F(HistoryPage, SearchShowsTheSelectedArchivedSample)
{
    // Opening the page puts the work date into both boxes; typed dates are tidied.
    EXPECT_EQ(Form1->Edit4->text() + ' ' + Form1->Edit10->text(), QStringLiteral("2026-12-06 2026-12-06"));

    search(QStringLiteral(" 2026-12-1 "), QStringLiteral("2026/12/3"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(Form1->Edit4->text() + ' ' + Form1->Edit10->text(), QStringLiteral("2026-12-01 2026-12-03"));
    EXPECT_EQ(column(Form1->tmpset1, "checkdate") + column(Form1->tmpset1, "shelfid"),
              (QStringList{"2026-12-03", "2026-12-03", "2026-12-01", "5", "12", "5"}));
    // The first row (sample 5 of 12-03): its one result, not today's.
    EXPECT_EQ(column(Form1->tmpset2, "value"), QStringList{"8.80"});
    const QStringList earlier{"4.40", "2.10", "1.5"};

    // Down to the same number's earlier visit: its own results.
    Form1->DBGrid10->setFocus();
    QTest::keyClick(Form1->DBGrid10, Qt::Key_Down);
    QTest::keyClick(Form1->DBGrid10, Qt::Key_Down);
    ASSERT_EQ(Form1->tmpset1->recNo(), 3);
    EXPECT_EQ(column(Form1->tmpset2, "value") + column(Form1->tmpset2, "abbreviation"),
              earlier + QStringList({"WBC", "NEU#", ""}));
    // Down on the last row adds none: the row stays selected and so do its results.
    QTest::keyClick(Form1->DBGrid10, Qt::Key_Down);
    EXPECT_EQ(Form1->tmpset1->recNo(), 3);
    EXPECT_EQ(column(Form1->tmpset2, "value"), earlier);

    // A date that is not one: the error, the boxes and the result as they were.
    search(QStringLiteral("2026-13-01"), QStringLiteral("2026-12-03"));
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("'2026-13-01'不是有效的日期")});
    EXPECT_EQ(Form1->tmpset1->recordCount(), 3);
    EXPECT_EQ(column(Form1->tmpset2, "value"), earlier);

    // A search that finds nothing empties the results too, silently.
    search(QStringLiteral("2026-12-04"), QStringLiteral("2026-12-06"));
    EXPECT_TRUE(Form1->tmpset1->isEmpty() && Form1->tmpset2->isEmpty());
    EXPECT_EQ(dialogs.shown.size(), 1);
}

// Enter typed on the department box, as on the patient window's: a number
// picks that entry of the list, once, whichever part of the box has the key.
TEST_F(HistoryPage, DepartmentBoxTakesANumberWithEnter)
{
    QComboBox *box = Form1->ComboBox2;
    ASSERT_GE(box->count(), 3);
    activate(Form1);
    box->setFocus();
    const std::tuple<const char *, Qt::Key, Qt::KeyboardModifiers, int> cases[] = {
        {"3", Qt::Key_Return, Qt::NoModifier, 2}, {"2", Qt::Key_Enter, Qt::KeypadModifier, 1}};
    for (const auto &[typed, key, mods, entry] : cases) {
        box->setEditText(QString());
        QTest::keyClicks(box, QLatin1String(typed));
        QTest::keyClick(box, key, mods);
        EXPECT_EQ(box->currentText(), box->itemText(entry)) << typed;
    }
    // Typed once more: a number outside the list empties the box, an
    // abbreviation gives its department, anything else stays as typed.
    const std::pair<const char *, QString> typed[] = {
        {"1", box->itemText(0)}, {"99", {}}, {"ek", QStringLiteral("儿科")}, {"x'y", QStringLiteral("x'y")}};
    for (const auto &[text, shown] : typed) {
        typeInto(box, QLatin1String(text));
        EXPECT_EQ(box->currentText(), shown) << text;
    }
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
}

TEST_F(HistoryPage, ReprintPrintsTheArchivedSampleAndWritesNothing)
{
    Form1->buildPrintSettings();
    Form1->printSettingsShow();
    for (QComboBox *box : {Form1->ComboBox6, Form1->ComboBox7, Form1->ComboBox8})
        box->setCurrentIndex(0);
    search(QStringLiteral("2026-12-01"), QStringLiteral("2026-12-03"));
    Form1->tmpset1->setRecNo(3);   // sample 5 of 12-01
    const auto before = dump();
    dialogs.clear();

    QTest::mouseClick(Form1->Button4, Qt::LeftButton);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(pdf->jobs().size(), 1u);
    const QString text = pdftools::compactText(pdf->jobs().back().file);
    // The archived visit and its report time; not today's sample of that number.
    const std::pair<const char *, int> words[] = {{"张三", 1}, {"4.40", 1}, {"09:30", 1}, {"10^9/L", 2}, {"王五", 0}, {"8.80", 0}};
    for (const auto &[word, times] : words)
        EXPECT_EQ(pdftools::count(text, QString::fromUtf8(word)), times) << word;
    // The archived graphs are in the sample page's pictures the report copied.
    EXPECT_EQ(Form1->Panel1->picture(2), graphics::drawgraphic(g1).image[2]);
    EXPECT_EQ(dump(), before);

    // A selected sample without archived results: silently nothing.
    Form1->tmpset1->setRecNo(2);   // sample 12
    QTest::mouseClick(Form1->Button4, Qt::LeftButton);
    EXPECT_TRUE(pdf->jobs().size() == 1u && dialogs.shown.isEmpty());
}

// Today's sample 5 plus the two archived visits with results, counted from
// the menu while another program holds the file.
TEST_F(HistoryPage, LongCountFromTheMenuKeepsTheWindowPaintingAndRunsOnce)
{
    int paintsDuring = 0;
    QTimer::singleShot(0, [&]() {
        Tfrmdayfltj *w = frmdayfltj;
        w->Edit1->setText(QStringLiteral("2026-12-01"));
        PaintCount painted(w->StatusBar1);
        lockWhile(w->StatusBar1, w->Button1, [&]() {
            w->Button1Click(); // a second count asked for meanwhile does not start
            const int before = painted.paints;
            w->StatusBar1->update();
            QTimer::singleShot(100, [&, before]() { paintsDuring = painted.paints - before; });
        });
        QTest::mouseClick(w->Button1, Qt::LeftButton);
        w->reject();
    });
    Form1->N27->trigger();
    EXPECT_EQ(during, QStringLiteral("正在统计，请稍候......"));
    EXPECT_FALSE(buttonOn);
    EXPECT_GT(paintsDuring, 0);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(frmdayfltj->Label4->text(), QStringLiteral("3"));
    EXPECT_EQ(frmdayfltj->StatusBar1->panelText(1), QStringLiteral("统计完成！"));
    EXPECT_TRUE(frmdayfltj->Button1->isEnabled());
}

TEST_F(HistoryPage, LongSearchShowsItsProgressAndRunsOnce)
{
    search(QStringLiteral("2026-12-01"), QStringLiteral("2026-12-03"));
    ASSERT_EQ(Form1->tmpset1->recordCount(), 3);
    Form1->show();
    // The page painted with the last answer before the other program locks
    // the file (painting reads the rows shown).
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1));
    QCoreApplication::processEvents();
    const QString statusBefore = Form1->StatusBar1->panelText(1);
    int rowsDuring = -1;
    lockWhile(Form1->StatusBar1, Form1->Button3, [&]() {
        rowsDuring = Form1->tmpset1->recordCount(); // the last answer stays until the new one is in
        Form1->Button3Click();
    });
    search(QStringLiteral("2026-12-03"), QStringLiteral("2026-12-03"));
    EXPECT_EQ(during, QStringLiteral("正在查询，请稍候......"));
    EXPECT_FALSE(buttonOn);
    EXPECT_EQ(rowsDuring, 3);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(column(Form1->tmpset1, "shelfid"), (QStringList{"5", "12"}));
    EXPECT_EQ(Form1->StatusBar1->panelText(1), statusBefore);
    EXPECT_TRUE(Form1->Button3->isEnabled());
}
