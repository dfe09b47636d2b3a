// The control page on the main window, offscreen: month set-up on entering
// the page, redraw on Enter, capture, naming samples, correction, deletion
// and the printout through the PDF back end.
#include "common/testdb.h"
#include "reports/printwindow.h"

#include "base/CustData.h"
#include "platform/report/reportpreview.h"
#include "platform/widgets/dbgrid.h"
#include "qc/qcchartview.h"
#include "qc/qcnamesel.h"
#include "qc/qcvalueinput.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

// What the window system delivers for a turn of the mouse wheel over a
// widget (exported by QtGui, declared privately).
class QWindowSystemInterface
{
public:
    static bool handleWheelEvent(QWindow *window, const QPointF &local, const QPointF &global, QPoint pixelDelta,
                                 QPoint angleDelta, Qt::KeyboardModifiers mods, Qt::ScrollPhase phase,
                                 Qt::MouseEventSource source);
};

namespace {

void run(const QByteArray &sql) { QString err; ASSERT_TRUE(db::exec(QString::fromUtf8(sql), {}, &err)) << err.toStdString(); }
int count(const QString &where) { return db::scalar("select count(*) from " + where).toInt(); }
QString scalar(const char *sql) { return db::scalar(sql).toString(); }

void wheel(QWidget *w, int delta)
{
    const QPoint at(w->width() / 2, w->height() / 2);
    QWidget *top = w->window();
    QWindowSystemInterface::handleWheelEvent(top->windowHandle(), w->mapTo(top, at), w->mapToGlobal(at), QPoint(),
                                             QPoint(0, delta), Qt::NoModifier, Qt::NoScrollPhase,
                                             Qt::MouseEventNotSynthesized);
    QApplication::processEvents();
}

// Enter as the page's key handlers get it.
QKeyEvent *enter()
{
    static QKeyEvent e(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    e.setAccepted(true);
    return &e;
}

// The printing fixture on work day 2024-04-10.
class QcPage : public PrintingWindow
{
protected:
    void SetUp() override
    {
        PrintingWindow::SetUp();
        session::setWorkdate(QDate(2024, 4, 10));
    }
    void start()
    {
        createMain();
        Form1->buildQcPage();   // a second call changes nothing
        Form1->resize(1000, 700);
        Form1->show();
        Form1->PageControl1->setCurrentIndex(2);
    }
    static qc::ChartModel &chart() { return Form1->DBChart1->model(); }
    static int points(const char *series) { return chart().get(series).points.size(); }
    // Rows of the values grid, value points, days of the chart and statistics.
    static std::string shown()
    {
        return QString("%1 %2 %3 ").arg(dbdata->qcdataset->recordCount()).arg(points("LineSeries1"))
                   .arg(chart().bottom.maximum).append(Form1->Label17->text()).toStdString();
    }
    // April 2024 set up, item 1 with the given targets, and control values.
    static void april(const char *targets, const char *values)
    {
        run("insert into qcpara (zkyear, zkmonth, itemno) select 2024, 4, itemid from itemtb");
        run(QByteArray("update qcpara set ") + targets + " where itemno=1");
        run(QByteArray("insert into qctb (qcdate, itemid, value1) values ") + values);
    }
    // A sample of a day with results of items 1, 2, ... (empty: none).
    static void sample(const char *id, const char *name, const QStringList &values, const char *day = "2024-04-10")
    {
        ASSERT_TRUE(db::exec("insert into patient (shelfid, name, checkdate, operator) values (?,?,?,'李四')",
                             {id, QString::fromUtf8(name), day}));
        for (int i = 0; i < values.size(); ++i)
            if (!values[i].isEmpty())
                ASSERT_TRUE(db::exec("insert into testresult (shelfid, checkdate, itemid, value) values (?,?,?,?)",
                                     {id, day, i + 1, values[i]}));
    }
    // Control values as "day:item:value1/value2/value3" ("-" for none), by day and item.
    static std::string qcRows()
    {
        return db::scalar("select group_concat(r, ' ') from (select qcdate||':'||itemid||':'||coalesce(value1,'-')||'/'||"
                          "coalesce(value2,'-')||'/'||coalesce(value3,'-') r from qctb order by qcdate, itemid)")
            .toString().toStdString();
    }
};

} // namespace

TEST_F(QcPage, EnteringThePageSetsUpTheWorkDatesMonth)
{
    start();
    EXPECT_EQ(dbdata->qcparaset->recordCount(), 24);
    EXPECT_EQ(count("qcpara where coalesce(batchno1,batchno2,batchno3,xb1,xb2,xb3,s1,s2,s3) is not null"), 0);

    // The arrow key changes the year and sets up that month.
    Form1->SpinEdit1->setFocus();
    QTest::keyClick(Form1->SpinEdit1, Qt::Key_Up);
    EXPECT_EQ(count("qcpara where zkyear=2025 and zkmonth=4"), 24);
    // Typing, Delete and Backspace leave the year alone.
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_7, Qt::Key_Delete, Qt::Key_End, Qt::Key_Backspace})
        QTest::keyClick(Form1->SpinEdit1, key);
    EXPECT_EQ(Form1->SpinEdit1->text() + "/" + QString::number(count("qcpara")), "2025/48");
    // A typed month with Enter joins no list.
    Form1->ComboBox3->lineEdit()->setText("13");
    QTest::keyClick(Form1->ComboBox3->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Form1->ComboBox3->count(), 12);

    // A month text that is no month is refused with a message.
    Form1->ComboBox3->setEditText("13");
    Form1->ComboBox3Click();
    EXPECT_TRUE(dialogs.last().contains("13"));
}

TEST_F(QcPage, EnterDrawsTheChartAndStatisticsAndPrintsThem)
{
    april("batchno1='L7', xb1=5, s1=0.5", "('2024-04-02', 1, '5.2'), ('2024-04-03', 1, '4.6'), ('2024-04-05', 1, '****'), "
                                          "('2024-04-09', 1, '5.12346'), ('2024-05-01', 1, '9'), ('2024-04-04', 2, '8')");
    start();
    // The set-up ended with the redraw of the first item.
    EXPECT_EQ(chart().title, QStringList{"2024年4月室内质控图(" + scalar("select abbreviation from itemtb where itemid=1") + ")"});
    // Values of the month, its points and days, and their statistics.
    EXPECT_EQ(shown(), "4 3 30 X=4.97 SD=0.33 CV=6.56%");

    // The printout carries the chart, the lot and the statistics of the page.
    // It prints on the printer chosen on the settings page.
    const QString stats = Form1->Label17->text();
    Form1->printSettingsShow();
    Form1->ComboBox6->setCurrentIndex(1);
    Form1->Button1Click();
    ASSERT_EQ(backend->log().size(), 1u);
    EXPECT_TRUE(backend->log().front().preview && backend->log().front().printerIndex == 1);
    const QString text = pdftools::compactText(backend->log().front().file);
    EXPECT_TRUE(text.contains(QString("质控结果［批号：L7］:（" + stats + "）").remove(' '))) << text.toStdString();
    // The preview window the page's button opens is titled for the user.
    struct WindowPreview : report::PdfFileBackend
    {
        using PdfFileBackend::PdfFileBackend;
        void preview(const report::PrintJob &job, QWidget *parent) override
        {
            report::ReportPreviewDialog window(job, parent);
            QTimer::singleShot(0, &window, [&] {
                title = window.windowTitle();
                window.accept();
            });
            window.exec();
        }
        QString title;
    };
    auto windows = std::make_shared<WindowPreview>(tmp.path(), backend->printerNames());
    report::setPrinterBackend(windows);
    QTest::mouseClick(Form1->Button1, Qt::LeftButton);
    EXPECT_EQ(windows->title.toStdString(), "打印预览 - 质控图");
    report::setPrinterBackend(backend);

    // An item without targets: title and values change, the previous drawing
    // and its axes go, and there is nothing to print.
    dbdata->qcparaset->setRecNo(2);
    Form1->DBGrid12KeyPress(enter());
    const qc::ChartModel fresh;
    EXPECT_EQ(shown() + " " + std::to_string(points("Series1")), "1 0 31 X=    SD=   CV= 0");
    EXPECT_EQ(std::make_tuple(chart().left.minimum, chart().left.maximum, chart().left.increment, chart().bottom.maximum),
              std::make_tuple(fresh.left.minimum, fresh.left.maximum, fresh.left.increment, fresh.bottom.maximum));
    Form1->Button1Click();
    EXPECT_EQ(backend->log().size(), 1u);
}

TEST_F(QcPage, NamingCapturingCorrectingAndDeleting)
{
    sample("1", "王五", {"6.30"});
    start();
    ASSERT_TRUE(Form1->patientset->open());
    ASSERT_EQ(Form1->patientset->recordCount(), 1);

    // Nothing marked yet.
    Form1->N14Click();
    EXPECT_EQ(dialogs.last(), "没有选定质控品,请选定");

    QTimer::singleShot(0, [] { frmqcnamesel->Button2->click(); });
    Form1->N15Click();
    EXPECT_EQ(scalar("select name from patient") + " " + Form1->patientset->text("name"), "质控品2 质控品2");
    // A refused change of name is shown, and the list keeps the stored one.
    run("create trigger keepname before update of name on patient begin select raise(abort, 'name is kept'); end");
    Form1->N16Click();
    EXPECT_TRUE(dialogs.last().contains("name is kept"));
    EXPECT_TRUE(Form1->patientset->text("name") == "质控品2" && Form1->patientset->state() == db::Dataset::State::Browse);

    Form1->N14Click();
    // The values grid still shows the page's item and material.
    EXPECT_TRUE(dbdata->qcdataset->hasField("value1"));

    // Correction window: day 5 of April, material 1 of the current item; the
    // day's value of material 3 stays, and a text that is no number stores nothing.
    run("insert into qctb (qcdate, itemid, value3) values ('2024-04-05', 1, '1')");
    Form1->N1Click();
    ASSERT_TRUE(frmqcvalueinput && frmqcvalueinput->isVisible());
    frmqcvalueinput->Edit1->setFocus();
    QTest::keyClicks(frmqcvalueinput->Edit1, "5a");
    EXPECT_EQ(frmqcvalueinput->Edit1->text(), "5");
    QTest::keyClick(frmqcvalueinput->Edit1, Qt::Key_Backspace);
    EXPECT_EQ(frmqcvalueinput->Edit1->text(), "5");
    for (const char *typed : {"5.10", "%"}) {
        frmqcvalueinput->Edit2->setText(typed);
        frmqcvalueinput->Edit2Exit();
    }
    EXPECT_EQ(qcRows(), "2024-04-05:1:5.1/-/1 2024-04-10:1:-/6.3/-");
    // The month's rows of the item: day 5 and the captured day 10 (no value 1).
    EXPECT_EQ(shown().substr(0, 4), "2 1 ");
    // Day 31 of April stores nothing.
    EXPECT_FALSE(Form1->storeQcCorrection("31", "7"));
    EXPECT_EQ(count("qctb where qcdate like '2024-05%' or qcdate='2024-04-31'"), 0);

    // Deleting asks first; a No keeps the value.
    dialogs.answer(false);
    Form1->N21Click();
    EXPECT_EQ(qcRows(), "2024-04-05:1:5.1/-/1 2024-04-10:1:-/6.3/-");
    dialogs.answer(true);
    Form1->N21Click();
    EXPECT_EQ(qcRows(), "2024-04-05:1:-/-/1 2024-04-10:1:-/6.3/-");
    EXPECT_EQ(shown().substr(0, 4), "2 0 "); // the row of day 5 stays for material 3
    // The day's last value takes its row along.
    Form1->ComboBox4->setCurrentIndex(2);
    Form1->ComboBox4Click();
    dialogs.answer(true);
    Form1->N21Click();
    EXPECT_EQ(qcRows(), "2024-04-10:1:-/6.3/-");
}

// Samples named as a control material go to their day and material; of two
// samples of one material on one day the later wins.
TEST_F(QcPage, CaptureCopiesMarkedSamplesIntoTheirDayAndMaterial)
{
    sample("1", "质控品1", {"7.20", "****", "4.5"}, "2024-03-05");
    sample("2", "质控品2", {"15.123456"}, "2024-03-05");
    sample("3", "质控品12", {"99"}, "2024-03-05");
    sample("4", "张三", {"88"}, "2024-03-05");
    sample("5", "质控品1", {"7.4"}, "2024-03-06");
    start();
    Form1->N14Click();
    EXPECT_EQ(qcRows(), "2024-03-05:1:7.2/15.1235/- 2024-03-05:3:4.5/-/- 2024-03-06:1:7.4/-/-");
    // Capturing again updates the same rows with the current results.
    run("update testresult set value='7.3' where shelfid='1' and itemid=1");
    Form1->N14Click();
    EXPECT_EQ(qcRows(), "2024-03-05:1:7.3/15.1235/- 2024-03-05:3:4.5/-/- 2024-03-06:1:7.4/-/-");
    sample("6", "质控品1", {"8"}, "2024-03-05");
    Form1->N14Click();
    EXPECT_EQ(qcRows(), "2024-03-05:1:8/15.1235/- 2024-03-05:3:4.5/-/- 2024-03-06:1:7.4/-/-");
}

TEST_F(QcPage, TargetsTakeOnlyNumbersAndTheMonthWaitsForThem)
{
    april("xb1=10, s1=0.5", "('2024-04-02', 1, '10'), ('2024-04-03', 1, '10.25')");
    // The start-up takes today as the work day and shows the first page.
    session::setClock([] { return QDateTime(QDate(2024, 4, 10), QTime(9, 0)); });
    start();
    activate(Form1);
    Form1->PageControl1->setCurrentIndex(2);
    // Ties of the four-decimal values round away from zero.
    EXPECT_EQ(Form1->Label17->text(), "X=10.13 SD=0.18 CV=1.75%");

    db::Dataset *targets = dbdata->qcparaset;
    DBGrid *grid = Form1->DBGrid12;
    const auto stored = [] { return scalar("select quote(xb1)||'/'||quote(s1) from qcpara where zkmonth=4 and itemno=1"); };
    // Types into a cell of the row and presses the key.
    const auto type = [&](const char *field, const char *typed, Qt::Key key) {
        dialogs.clear();
        grid->setSelectedField(field);
        typeKeys(typed);
        press(key);
    };
    targets->setRecNo(1);
    grid->setFocus();
    // The SD first, then a mean that is no number: only the mean is refused,
    // once, though the message box takes the focus from the cell.
    dialogs.realBoxes = true;
    type("s1", "0.4", Qt::Key_Tab);
    for (const char *bad : {"abc", "7,5"}) {
        type("xb1", bad, Qt::Key_Return);
        EXPECT_TRUE(dialogs.shown.size() == 1 && dialogs.shown.front().startsWith("平均值1只能填数字"))
            << bad << " " << dialogs.shown.join('|').toStdString();
        EXPECT_EQ(targets->text("s1"), "0.4");
    }

    // With the bad cell pending, the wheel, a click or a key on the month,
    // year or material boxes changes nothing but says why, once.
    const auto choices = [] {
        return QStringList({Form1->ComboBox3->currentText(), Form1->SpinEdit1->text(), Form1->ComboBox4->currentText(),
                            Form1->qcbegin.toString("yyyy-MM-dd"), QString::number(Form1->qclevel)}).join('/');
    };
    const QString before = choices();
    const std::pair<const char *, std::function<void()>> tries[] = {
        {"wheel on month", [] { wheel(Form1->ComboBox3, -120); }},
        {"wheel on year", [] { wheel(Form1->SpinEdit1, 120); }},
        {"wheel on material", [] { wheel(Form1->ComboBox4, -120); }},
        {"click on month list", [] {
             QTest::mouseClick(Form1->ComboBox3, Qt::LeftButton, {}, QPoint(Form1->ComboBox3->width() - 6, 6));
             QAbstractItemView *list = Form1->ComboBox3->view();
             if (list->isVisible())
                 QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(7, 0)).center());
         }},
        {"key on month", [] { QTest::keyClick(Form1->ComboBox3, Qt::Key_Down); }},
        {"key on year", [] { QTest::keyClick(Form1->SpinEdit1, Qt::Key_Up); }},
    };
    for (const auto &t : tries) {
        dialogs.clear();
        t.second();
        QApplication::processEvents();
        EXPECT_EQ(QString::number(dialogs.shown.size()) + " " + choices(), "1 " + before)
            << t.first << " " << dialogs.shown.join('|').toStdString();
        EXPECT_EQ(count("qcpara where zkmonth<>4 or zkyear<>2024"), 0) << t.first;
    }
    dialogs.clear();

    // Called as the boxes call it, another month and a lot wait for it too.
    Form1->ComboBox3->setCurrentIndex(4);
    Form1->ComboBox3Click();
    Form1->SpinEdit1->setValue(2025);
    EXPECT_EQ(Form1->ComboBox3->currentText() + Form1->qcbegin.toString(" yyyy-MM-dd ") + Form1->SpinEdit1->text(),
              "4 2024-04-01 2024");
    EXPECT_EQ(count("qcpara where zkmonth=5 or zkyear=2025"), 0);
    Form1->Edit5->setText("L9");
    Form1->Edit5KeyDown(enter());
    EXPECT_EQ(count("qcpara where batchno1 is not null"), 0);
    EXPECT_EQ(stored(), "10.0/0.5");

    // Corrected in the open cell, the row is stored with the SD typed before.
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    typeKeys("7.5");
    press(Qt::Key_Return);
    EXPECT_EQ(stored(), "7.5/0.4");

    // An SD of 0 or below is refused as well.
    for (const char *bad : {"0", "-1"}) {
        type("s1", bad, Qt::Key_Return);
        EXPECT_TRUE(dialogs.shown.size() == 1 && dialogs.shown.front().startsWith("标准差1必须大于 0")) << bad;
        press(Qt::Key_Escape);
    }
    EXPECT_EQ(stored(), "7.5/0.4");

    // The lot and the month go on once nothing is pending.
    Form1->Edit5KeyDown(enter());
    EXPECT_EQ(count("qcpara where batchno1='L9'"), 24);

    // The chart is drawn with the stored targets.
    targets->setRecNo(1);
    Form1->DBGrid12KeyPress(enter());
    EXPECT_DOUBLE_EQ(chart().left.minimum, 7.5 - 4 * 0.4);
    Form1->ComboBox3->setCurrentIndex(4);
    Form1->ComboBox3Click();
    EXPECT_EQ(Form1->qcbegin, QDate(2024, 5, 1));
}
