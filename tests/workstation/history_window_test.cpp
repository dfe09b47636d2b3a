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

void archive(const QString &shelfid, const QString &day, const QString &name, const QString &bgtime = {})
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into histpatient (shelfid, checkdate, name, sex, depart, bgtime) "
                                        "values (?, ?, ?, '男', '内科', ?)"),
                         {shelfid, day, name, bgtime.isEmpty() ? QVariant() : QVariant(bgtime)}, &err))
        << err.toStdString();
}

void archiveResult(const QString &shelfid, const QString &day, int itemid, const QString &value)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into hisresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
                         {shelfid, day, itemid, value}));
}

void archiveGraphs(const QString &shelfid, const QString &day, const graphics::GraphRow &g)
{
    QVariantList a{shelfid, day};
    for (int i = 1; i <= 12; ++i)
        a << QString::fromLatin1(g.a[i]);
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into hisgresult (shelfid,checkdate,a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12) "
                                        "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                         a, &err))
        << err.toStdString();
}

// Every row of the day and history tables, to show nothing was written.
QString tablesDump()
{
    QString out;
    for (const char *t : {"patient", "testresult", "gresult", "histpatient", "hisresult", "hisgresult"}) {
        QVector<QVariantList> rows;
        EXPECT_TRUE(db::select(QStringLiteral("select * from %1 order by rowid").arg(QLatin1String(t)), {}, &rows));
        for (const QVariantList &r : rows) {
            for (const QVariant &v : r)
                out += v.isNull() ? QStringLiteral("<null>|") : v.toString() + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
    }
    return out;
}

bool isBlank(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

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
        archive("5", "2026-12-01", QStringLiteral("张三"), QStringLiteral("09:30"));
        archive("5", "2026-12-03", QStringLiteral("张三"));
        archive("12", "2026-12-03", QStringLiteral("O'Neil"));
        archiveResult("5", "2026-12-01", 1, "4.40");
        archiveResult("5", "2026-12-01", 2, "2.10");
        archiveResult("5", "2026-12-03", 1, "8.80");
        archiveGraphs("5", "2026-12-01", g1);
        archiveGraphs("5", "2026-12-03", g2);
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
    QImage shownGraph(int n) const { return Form1->HistoryGraphs->picture(n); }

    QTemporaryDir tmp;
    std::shared_ptr<report::PdfFileBackend> pdf;
    graphics::GraphRow g1, g2;
};

} // namespace

TEST_F(HistoryPage, SearchShowsTheSelectedArchivedSample)
{
    // One page, one set of controls, the department names listed.
    EXPECT_EQ(Form1->TabSheet2->findChildren<QLineEdit *>(QStringLiteral("Edit4")).size(), 1);
    EXPECT_EQ(Form1->ComboBox2->count(), 6);
    EXPECT_EQ(Form1->ComboBox2->itemText(2), QStringLiteral("妇产科"));
    // Opening the page puts the work date into both boxes.
    EXPECT_EQ(Form1->Edit4->text(), QStringLiteral("2026-12-06"));
    EXPECT_EQ(Form1->Edit10->text(), QStringLiteral("2026-12-06"));

    search(QStringLiteral(" 2026-12-1 "), QStringLiteral("2026/12/3"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(Form1->Edit4->text(), QStringLiteral("2026-12-01"));
    EXPECT_EQ(Form1->Edit10->text(), QStringLiteral("2026-12-03"));
    EXPECT_EQ(column(Form1->tmpset1, "checkdate"),
              (QStringList{"2026-12-03", "2026-12-03", "2026-12-01"}));
    EXPECT_EQ(column(Form1->tmpset1, "shelfid"), (QStringList{"5", "12", "5"}));
    // The first row (sample 5 of 12-03): its one result and graphs, not today's.
    EXPECT_EQ(column(Form1->tmpset2, "value"), QStringList{"8.80"});
    EXPECT_EQ(Form1->tmpset2->text("abbreviation"), QStringLiteral("WBC"));
    const graphics::GraphPictures want2 = graphics::drawgraphic(g2);
    EXPECT_EQ(shownGraph(1), want2.image[1]);
    EXPECT_TRUE(isBlank(shownGraph(2)));

    // Down to the same number's earlier visit: its own results and graphs.
    Form1->DBGrid10->setFocus();
    QTest::keyClick(Form1->DBGrid10, Qt::Key_Down);
    QTest::keyClick(Form1->DBGrid10, Qt::Key_Down);
    ASSERT_EQ(Form1->tmpset1->recNo(), 3);
    EXPECT_EQ(column(Form1->tmpset2, "value"), (QStringList{"4.40", "2.10"}));
    const graphics::GraphPictures want1 = graphics::drawgraphic(g1);
    EXPECT_EQ(shownGraph(2), want1.image[2]);
    // Down on the last row: the row stays selected and so do its results.
    QTest::keyClick(Form1->DBGrid10, Qt::Key_Down);
    EXPECT_EQ(Form1->tmpset1->recNo(), 3);
    EXPECT_EQ(column(Form1->tmpset2, "value"), (QStringList{"4.40", "2.10"}));
    // The grids add no rows.
    Form1->tmpset1->append();
    Form1->tmpset2->append();
    EXPECT_EQ(Form1->tmpset1->recordCount(), 3);
    EXPECT_EQ(Form1->tmpset2->recordCount(), 2);

    // A date that is not one: the error, the boxes and the result as they were.
    search(QStringLiteral("2026-13-01"), QStringLiteral("2026-12-03"));
    EXPECT_EQ(dialogs.last(), QStringLiteral("'2026-13-01'不是有效的日期"));
    EXPECT_EQ(dialogs.kinds.back(), dlg::Kind::Error);
    EXPECT_EQ(Form1->tmpset1->recordCount(), 3);
    EXPECT_EQ(column(Form1->tmpset2, "value"), (QStringList{"4.40", "2.10"}));
    dialogs.clear();

    // A search that finds nothing empties the results and graphs too.
    search(QStringLiteral("2026-12-04"), QStringLiteral("2026-12-06"));
    EXPECT_TRUE(Form1->tmpset1->isEmpty());
    EXPECT_TRUE(Form1->tmpset2->isEmpty());
    EXPECT_TRUE(isBlank(shownGraph(1)));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(HistoryPage, ReprintPrintsTheArchivedSampleAndWritesNothing)
{
    Form1->buildPrintSettings();
    Form1->printSettingsShow();
    Form1->ComboBox6->setCurrentIndex(0);
    Form1->ComboBox7->setCurrentIndex(0);
    Form1->ComboBox8->setCurrentIndex(0);
    search(QStringLiteral("2026-12-01"), QStringLiteral("2026-12-03"));
    Form1->tmpset1->setRecNo(3);   // sample 5 of 12-01
    const QString before = tablesDump();
    dialogs.clear();

    QTest::mouseClick(Form1->Button4, Qt::LeftButton);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    ASSERT_EQ(pdf->jobs().size(), 1u);
    const QString text = pdftools::compactText(pdf->jobs().back().file);
    EXPECT_EQ(pdftools::count(text, QStringLiteral("张三")), 1);
    EXPECT_EQ(pdftools::count(text, QStringLiteral("王五")), 0);
    EXPECT_EQ(pdftools::count(text, QStringLiteral("4.40")), 1);
    EXPECT_EQ(pdftools::count(text, QStringLiteral("8.80")), 0);
    EXPECT_EQ(pdftools::count(text, QStringLiteral("09:30")), 1);   // the archived report time
    // The archived graphs are in the sample page's pictures the report copied.
    const graphics::GraphPictures want1 = graphics::drawgraphic(g1);
    EXPECT_EQ(Form1->Panel1->picture(2), want1.image[2]);
    EXPECT_EQ(tablesDump(), before);
    EXPECT_TRUE(Form1->DBGrid10->updatesEnabled());
    EXPECT_TRUE(Form1->DBGrid11->updatesEnabled());

    // A selected sample without archived results: silently nothing.
    Form1->tmpset1->setRecNo(2);   // sample 12
    ASSERT_TRUE(Form1->tmpset2->isEmpty());
    QTest::mouseClick(Form1->Button4, Qt::LeftButton);
    EXPECT_EQ(pdf->jobs().size(), 1u);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(tablesDump(), before);
}

TEST_F(HistoryPage, WorkloadFromTheMenu)
{
    // Today's sample 5 plus the two archived visits with results.
    bool ran = false;
    QTimer::singleShot(0, [&ran]() {
        ASSERT_TRUE(frmdayfltj && frmdayfltj->isVisible());
        EXPECT_EQ(frmdayfltj->windowTitle(), QStringLiteral("工作量统计"));
        EXPECT_EQ(frmdayfltj->Edit1->text(), QStringLiteral("2026-12-06"));
        frmdayfltj->Edit1->setText(QStringLiteral("2026-12-01"));
        QTest::mouseClick(frmdayfltj->Button1, Qt::LeftButton);
        ran = true;
        frmdayfltj->reject();
    });
    Form1->N27->trigger();
    ASSERT_TRUE(ran);
    EXPECT_EQ(frmdayfltj->Label4->text(), QStringLiteral("3"));
    EXPECT_EQ(frmdayfltj->StatusBar1->panelText(1), QStringLiteral("统计完成！"));

    // Shown again: the work date and a clear count; a bad day is an error.
    frmdayfltj->show();
    EXPECT_EQ(frmdayfltj->Edit1->text(), QStringLiteral("2026-12-06"));
    EXPECT_EQ(frmdayfltj->Label4->text(), QString());
    frmdayfltj->Button1Click();
    EXPECT_EQ(frmdayfltj->Label4->text(), QStringLiteral("1"));
    frmdayfltj->Edit2->setText(QStringLiteral("12/40"));
    frmdayfltj->Button1Click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("'12/40'不是有效的日期"));
    EXPECT_EQ(frmdayfltj->StatusBar1->panelText(1), QString());
    frmdayfltj->hide();
}
