// Page 0 of the main window and the patient window, driven with keys and
// mouse clicks offscreen, the dialog seam answering.
#include "platform/widgets/dbedits.h"
#include "platform/widgets/dbgrid.h"
#include "workstation/patient.h"
#include "workstation/resultinput.h"
#include "wsfixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace wst;

namespace {

QString stored(const QString &id, const char *column)
{
    return db::scalar(QStringLiteral("select %1 from patient where shelfid=?").arg(QLatin1String(column)), {id}).toString();
}

using WorkstationWindows = Workstation;

} // namespace

// Both grids as they come out on screen: every cell's text takes its row's
// colour, the selected list row has its own background.
TEST_F(WorkstationWindows, SampleListAndResultGridColours)
{
    const QColor navy(0, 0, 128), red(255, 0, 0), olive(128, 128, 0), teal(0, 128, 128), blue(0, 0, 255),
        white(Qt::white), selectedRow(0xD4, 0xD0, 0xC8);
    addPatient("1", "男病人", 0, kOperator, "男");
    addPatient("2", "女病人", 1, kOperator, "女");
    addPatient("3", "无标记", QVariant(), kOperator, " 女"); // only the exact text takes the women's limits
    // Item 8 has a narrower range for women: 7 is inside for him, above for her.
    const struct { const char *id; int item; const char *low, *high, *value; QColor ink; } results[] = {
        {"1", 1, "3.5", "9.5", "9.5", navy},   {"1", 2, "3.5", "9.5", "3.5", navy}, // a limit itself is inside
        {"1", 3, "3.5", "9.5", "10", red},     {"1", 4, "3.5", "9.5", "3.49", red},
        {"1", 5, "<3", "9.5", "1", navy},      {"1", 6, "3.5", "", "1000", navy},   // a limit that is no number
        {"1", 7, "3.5", "9.5", "H", olive},    {"1", 9, "", "", "***", olive},      // flags, whatever the limits
        {"1", 10, "3.5", "9.5", "12 ", olive}, {"1", 8, "0", "10", "7", navy},      {"2", 8, "0", "10", "7", red},
        {"3", 8, "0", "10", "7", navy},        {"3", 11, "3.5", "9.5", "1e1", red}, {"3", 12, "", "9.5", "-5", navy},
        {"3", 13, "", "9.5 ", "12", navy},     {"3", 15, "0.1", "", ".", red},      {"3", 16, "", "5", "5.", navy},
    };
    for (const auto &r : results) {
        run("update itemtb set manlow=?, manhigh=?, womanlow=?, womanhigh=? where itemid=?",
            {r.low, r.high, r.low, r.high, r.item});
        addResult(r.id, r.item, r.value);
    }
    run("update itemtb set womanhigh='5' where itemid=8");
    Form1->resize(1100, 640);
    showMain();

    // "text/background" of a drawn cell: the rule colour with most pixels
    // ("none" when none shows) and the commonest colour.
    const QList<QColor> rules{navy, red, olive, teal, blue};
    auto ink = [&](DBGrid *grid, int row, int col) {
        const QRect cell = grid->visualRect(grid->model()->index(row, col)) & grid->viewport()->rect();
        const QImage img = grid->viewport()->grab().toImage().copy(cell);
        QHash<QRgb, int> n;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                ++n[img.pixel(x, y) | 0xff000000];
        const auto fewer = [&](const QColor &a, const QColor &b) { return n.value(a.rgb()) < n.value(b.rgb()); };
        const QColor text = *std::max_element(rules.cbegin(), rules.cend(), fewer);
        const QColor back(std::max_element(n.cbegin(), n.cend()).key());
        return ((n.value(text.rgb()) ? text.name() : QStringLiteral("none")) + '/' + back.name()).toStdString();
    };
    for (DBGrid *grid : {Form1->DBGrid1, Form1->DBGrid2}) {
        QFont f = grid->font();
        f.setStyleStrategy(QFont::NoAntialias); // text pixels in the pen's own colour
        grid->setFont(f);
    }
    for (const QString id : {"1", "2", "3"}) {
        ASSERT_TRUE(Form1->patientset->locate("shelfid", id));
        QApplication::processEvents();
        // Teal until printed; a lost flag is not "unprinted". (The current
        // cell, in the first column, carries the style's focus tint.)
        for (int row = 0; row < 3; ++row)
            for (int col : {1, 6}) { // name, date
                const QColor back = row == Form1->patientset->currentRow() ? selectedRow : white;
                EXPECT_EQ(ink(Form1->DBGrid1, row, col), ((row == 0 ? teal : blue).name() + '/' + back.name()).toStdString())
                    << "list row " << row << " with " << id.toStdString() << " current";
            }
        for (int row = 0; row < Form1->testresultset->recordCount(); ++row) {
            const int item = Form1->testresultset->valueAt(row, "itemid").toInt();
            const auto r = std::find_if(std::begin(results), std::end(results),
                                        [&](const auto &r) { return r.id == id && r.item == item; });
            ASSERT_NE(r, std::end(results));
            for (int col = 0; col < 4; ++col)
                EXPECT_EQ(ink(Form1->DBGrid2, row, col).substr(0, 7), r->ink.name().toStdString())
                    << "sample " << r->id << " item " << item << " value " << r->value << " column " << col;
        }
    }
    // Nor is it "printed".
    Form1->N23Click();
    EXPECT_EQ(listIds(), QStringList{"1"});
    Form1->N24Click();
    EXPECT_EQ(listIds(), QStringList{"2"});
}

// On another operator's sample the result grid's Enter (the keypad's too)
// and the list's F4 refuse; manual entry opens only on the user's own
// sample, and not at all on an empty list. The list's menu keys belong to
// the sample page: elsewhere they would act on a sample the user cannot see.
TEST_F(WorkstationWindows, SampleKeysRefuseOtherOperatorsAndActOnlyOnTheSamplePage)
{
    addPatient("5'", "甲", 0, QStringLiteral("王五"));
    addPatient("6", "乙");
    run("update itemtb set expressions=''"); // no derived item joins in; a quote is part of the number
    addResults("5'", {{1, "1"}, {2, "2"}, {3, "3"}});
    addResults("6", {{1, "1"}});
    Form1->samplePageShow();
    activate(Form1);
    DBGrid *grid = Form1->DBGrid2;
    // Manual entry runs modally: the sample it opens on is noted, and it is closed.
    QStringList opened;
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&]() {
        if (frmresultinput->isVisible()) {
            opened << current();
            QTest::keyClick(frmresultinput, Qt::Key_Escape);
        }
    });
    const auto enter = [&](Qt::KeyboardModifiers mods = Qt::NoModifier) {
        activate(Form1);
        dialogs.clear();
        closer.start(0);
        grid->setFocus();
        QTest::keyClick(grid, mods ? Qt::Key_Enter : Qt::Key_Return, mods);
        QApplication::processEvents();
    };
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "6"));
    enter();
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "5'"));
    ASSERT_TRUE(Form1->testresultset->setRecNo(2));
    ASSERT_TRUE(grid->setSelectedField("value"));
    for (const auto mods : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::KeypadModifier)}) {
        enter(mods);
        EXPECT_EQ(dialogs.shown.join(QLatin1Char('|')).toStdString(), "病人的检验者不是当前检验者，不能修改检验结果!");
    }
    EXPECT_EQ(opened.join(QLatin1Char('|')).toStdString(), "6");
    activate(Form1);
    // Ctrl+Del asks first, and deletes that one result.
    ASSERT_TRUE(Form1->testresultset->setRecNo(3));
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.last(), QStringLiteral("确实要删除该结果吗？"));
    EXPECT_EQ(stored("5'", {3, 2}), "<none>/2");

    const std::pair<int, QWidget *> focus[] = {{1, Form1->Edit1}, {2, Form1->DBGrid12}, {3, Form1->DBGrid4},
        {3, Form1->PageControl1->tabBar()}, {0, Form1->DBGrid1}, {0, Form1->PageControl1->tabBar()}};
    for (const auto &[page, widget] : focus) {
        Form1->PageControl1->setCurrentIndex(page);
        widget->setFocus();
        dialogs.clear();
        QTest::keyClick(widget, Qt::Key_F4);
        EXPECT_EQ(dialogs.shown, page ? QStringList() : QStringList{"病人的检验者不是当前检验者，不能删除病人资料!"}) << page;
    }
    // No printed sample: the result grid empties with the list, and Enter
    // there does nothing at all.
    Form1->N24->trigger();
    EXPECT_TRUE(Form1->patientset->isEmpty() && Form1->testresultset->isEmpty());
    enter();
    EXPECT_EQ((dialogs.shown + opened).join(QLatin1Char('|')).toStdString(), "6");
}

TEST_F(WorkstationWindows, PatientWindowRegistersWithKeys)
{
    addPatient("9", "列表");
    addPatient("100", "别人的", 0, QStringLiteral("王五"));
    run("insert into doctor (no, name) values ('12', '赵医生')");
    ASSERT_TRUE(dbdata->doctorset->requery());
    run("insert into histpatient (shelfid, caseno, checkdate, name, mzno, sex, depart, age) values "
        "('3', 'AB12', '2026-11-20', '档案名', 'M2', '女', '外科', '41'), ('4', 'AB12', '2026-11-01', '旧', 'M1', '男', '', '4')");
    Form1->samplePageShow();
    ASSERT_TRUE(Form1->patientset->locate("shelfid", "9"));
    // The settings page may have left the reference lists anywhere.
    dbdata->kindset->last();
    dbdata->departset->last();

    Tfrmpatient *w = frmpatient;
    activate(w);
    EXPECT_TRUE(w->DBEdit1->hasFocus());

    // A new number starts a new row with the defaults.
    typeInto(w->DBEdit1, "15");
    EXPECT_TRUE(w->DBEdit4->hasFocus());
    EXPECT_EQ(w->ADODataSet1->state(), db::Dataset::State::Insert);
    EXPECT_EQ(w->DBComboBox3->currentText() + w->DBEdit8->text(), QStringLiteral("全血") + kDay); // the first kind
    typeInto(w->DBEdit2, "张三");
    // Digit short-cuts and look-ups on Enter (their rules are tested without
    // the window): a number outside the list empties, text stays.
    const struct { QWidget *box; const char *typed, *field, *expected; } cases[] = {
        {w->DBComboBox1, "1", "sex", "男"}, {w->DBComboBox4, "2", "apperance", "溶血"}, {w->DBComboBox2, "wk", "depart", "外科"},
        {w->DBComboBox2, "不存在", "depart", "不存在"}, {w->DBEdit7, "12", "doctor", "赵医生"},
        {w->DBEdit7, "钱医生", "doctor", "钱医生"}, // looked up as doctor 0: stays
    };
    for (const auto &c : cases) {
        typeInto(c.box, QString::fromUtf8(c.typed));
        EXPECT_EQ(w->ADODataSet1->text(c.field), QString::fromUtf8(c.expected)) << c.typed;
    }

    // The case number fills the empty fields from the newest visit, and always the sex.
    typeInto(w->DBEdit5, "  ");
    typeInto(w->DBEdit4, "ab12 ");
    EXPECT_EQ(QStringList({w->DBEdit2->text(), w->DBEdit3->text(), w->DBEdit5->text(), w->DBComboBox1->currentText(),
                           w->ADODataSet1->text("depart")}),
              QStringList({"张三", "M2", "41", "女", "不存在"}));

    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(stored("15", "name||sex||doctor||operator||printflag"), QStringLiteral("张三女钱医生李四0"));
    // The next sample number waits; the list has the new sample and keeps its row.
    EXPECT_TRUE(w->DBEdit1->hasFocus() && w->DBEdit1->text() == QStringLiteral("16"));
    EXPECT_EQ(listIds() << current(), (QStringList{"9", "15", "100", "9"}));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();

    // Another operator's sample is shown but not changed.
    typeInto(w->DBEdit1, "100");
    typeInto(w->DBEdit2, "新名");
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(dialogs.last(), QStringLiteral("病人的检验者不是当前检验者，不能修改病人资料!"));
    EXPECT_EQ(stored("100", "name") + w->DBEdit2->text(), QStringLiteral("别人的别人的"));

    // Reloading a saved sample shows it unchanged; Esc leaves without saving.
    typeInto(w->DBEdit1, "15");
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("张三"));
    typeInto(w->DBEdit2, "改名");
    QTest::keyClick(w->DBComboBox1->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored("15", "name"), QStringLiteral("张三"));
    EXPECT_EQ(count("patient"), 3);
}

// Enter walks all the way round the window back to the number, and a click
// into the number is as harmless: leaving the number as it stands keeps what
// was typed for it. Only another number drops the unsaved particulars, and
// never carries them, or the row, over to that number.
TEST_F(WorkstationWindows, PatientWindowKeepsWhatWasTypedForItsNumber)
{
    Form1->samplePageShow();
    activate(Form1);
    Form1->DBGrid1->setFocus();
    Tfrmpatient *w = frmpatient;
    bool opened = false;
    auto steps = [&]() {
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        opened = true;
        ASSERT_TRUE(w->DBEdit1->hasFocus());
        QTest::keyClicks(w->DBEdit1, "9");
        for (int i = 0; i < 3; ++i)
            press(Qt::Key_Return);
        ASSERT_TRUE(w->DBEdit2->hasFocus());
        typeInto(w->DBEdit2, QStringLiteral("张三"), false);
        for (int i = 0; i < 13; ++i)
            press(Qt::Key_Return);
        ASSERT_TRUE(w->DBEdit1->hasFocus());
        press(Qt::Key_S, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([&]() { return w->DBEdit1->text() == QStringLiteral("10"); }));
        EXPECT_EQ(stored("9", "name"), QStringLiteral("张三"));

        press(Qt::Key_Return);
        typeInto(w->DBEdit2, QStringLiteral("李明"), false);
        QTest::mouseClick(w->DBEdit1, Qt::LeftButton);
        ASSERT_TRUE(w->DBEdit1->hasFocus());
        QTest::mouseClick(w->Button1, Qt::LeftButton);
        EXPECT_EQ(stored("10", "name"), QStringLiteral("李明"));
        EXPECT_EQ(w->DBEdit1->text(), QStringLiteral("11"));

        typeInto(w->DBEdit1, "9");
        EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("张三"));
        typeInto(w->DBEdit2, QStringLiteral("改名"), false);
        QTest::mouseClick(w->DBEdit1, Qt::LeftButton);
        typeInto(w->DBEdit1, "10");
        EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("李明"));
        QTest::mouseClick(w->Button1, Qt::LeftButton);
        EXPECT_EQ(db::scalar("select group_concat(shelfid||name, ',') from (select * from patient order by shelfid)")
                      .toString(),
                  QStringLiteral("10李明,9张三"));
        EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    };
    QTimer::singleShot(0, [&]() {
        steps();
        if (w->isVisible())
            w->done(QDialog::Rejected);
    });
    QTest::keyClick(Form1->DBGrid1, Qt::Key_F3);
    EXPECT_TRUE(opened);
}

TEST_F(WorkstationWindows, PatientWindowRegistersTheWorkDaysSample)
{
    // An end of day was skipped: yesterday's 5 is still in the day tables.
    addPatient("5", QStringLiteral("昨天的"), 1, kOperator, {}, QStringLiteral("2026-12-05"));
    Tfrmpatient *w = frmpatient;
    activate(w);
    typeInto(w->DBEdit1, "5");
    EXPECT_EQ(w->ADODataSet1->state(), db::Dataset::State::Insert);
    EXPECT_TRUE(w->DBEdit2->text().isEmpty());
    typeInto(w->DBEdit2, "今天的");
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    EXPECT_EQ(db::scalar(QStringLiteral("select group_concat(checkdate||name, ',') from "
                                       "(select * from patient where shelfid='5' order by checkdate)")).toString(),
              QStringLiteral("2026-12-05昨天的,2026-12-06今天的"));
    // Typed again, the number brings back the work day's registration.
    typeInto(w->DBEdit1, "5");
    EXPECT_EQ(w->DBEdit2->text(), QStringLiteral("今天的"));
}
