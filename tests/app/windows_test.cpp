// Log-on, password change and the main window's frame, driven through the
// windows offscreen with the message boxes answered by a script.
#include "base/CustData.h"
#include "app/Unit1.h"
#include "app/oprinput.h"
#include "app/appsetup.h"
#include "app/pssinput.h"
#include "app/startup.h"
#include "qc/qcvalueinput.h"
#include "reports/Unit3.h"
#include "reports/Unit4.h"
#include "workstation/dayfltj.h"
#include "workstation/linejust.h"
#include "workstation/patient.h"
#include "workstation/resultinput.h"
#include "base/session.h"
#include "mainwindowtest.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dbnavigator.h"
#include "platform/widgets/statusbar.h"
#include "testdb.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <optional>
#include <gtest/gtest.h>

// The title a window system shows for a window: what each platform window
// of Qt passes its caption through (exported by QtGui, declared privately).
class QPlatformWindow
{
public:
    static QString formatWindowTitle(const QString &title, const QString &separator);
};

// Where a window system's close request enters Qt, the same way as one from a
// window's close box (exported by QtGui, declared privately). Unlike
// QWidget::close(), it is refused while a modal window blocks the window.
class QWindowSystemInterface
{
public:
    struct SynchronousDelivery {};
    template <typename Delivery>
    static bool handleCloseEvent(QWindow *window);
};

namespace {

// True when the window accepted the close request.
bool closeBox(QWidget *w)
{
    return w->windowHandle()
        && QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(w->windowHandle());
}

class Windows : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        frmoprput->runMainWindow = [this]() { ++mainRuns; };
    }

    void typeLogon(const QString &no, const QString &pw)
    {
        frmoprput->Edit1->setText(no);
        frmoprput->Edit2->setText(pw);
        frmoprput->Button1Click();
    }

    void logOn() { typeLogon(QStringLiteral("100"), QStringLiteral("malvor")); }

    int mainRuns = 0;
};

} // namespace

// Passwords compare exactly after trimming the stored one; a number the
// whole-number rule refuses finds no operator, not operator 0. Each try is
// number/password, seen as the message shown, "*" when the password box kept
// its text, then the main window's runs so far.
TEST_F(Windows, PasswordRulesAndNumbersThatAreNotWholeNumbers)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into operator ([no], name, exp1) values "
                                        "(0, 'zero', ''), (1, 'a', 'abc  '), (2, 'b', NULL), (100, 'h', '')")));
    QStringList seen;
    for (const char *t : {"1/abc ", "1/ABC", "/", "12a/", " 100/", "1/abc", "2/", "$64/"}) {
        const QStringList noPw = QString::fromLatin1(t).split(QLatin1Char('/'));
        dialogs.clear();
        typeLogon(noPw[0], noPw[1]);
        seen << dialogs.last() + (frmoprput->Edit2->text().isEmpty() ? "" : "*") + QString::number(mainRuns);
    }
    // Stored trailing blanks are trimmed; no password logs on with an empty
    // box; hexadecimal 100 is operator 100.
    EXPECT_EQ(seen.join(QLatin1Char(' ')).toStdString(), "密码不对，请重输！0 密码不对，请重输！0 无该编号的检验者！0 "
                                                         "无该编号的检验者！0 无该编号的检验者！0 *1 2 3");
}

TEST_F(Windows, LogOnWithEnterEnterEnter)
{
    activate(frmoprput);
    typeInto(frmoprput->Edit1, QStringLiteral("100"));
    EXPECT_TRUE(frmoprput->Edit2->hasFocus());
    typeInto(frmoprput->Edit2, QStringLiteral("malvor"));
    EXPECT_EQ(mainRuns, 0) << "the second Enter only reaches the button";
    EXPECT_TRUE(frmoprput->Button1->hasFocus());
    QTest::keyClick(frmoprput->Button1, Qt::Key_Return);
    EXPECT_EQ(mainRuns, 1);
}

// Patients without a number are cleared at log-on, their results kept; a
// refused clearing is shown and the log-on goes on.
TEST_F(Windows, LogOnClearsPatientsWithoutNumberButKeepsTheirResults)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name) values (NULL, 'a'), ('', 'b'), ('   ', 'c'), ('5', 'd')")));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, itemid, value) values ('', 1, '3.0')")));
    logOn();
    EXPECT_EQ(db::scalar(QStringLiteral("select group_concat(name) || (select count(*) from testresult) from patient"))
                  .toString() + QString::number(mainRuns), QStringLiteral("d11"));

    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name) values ('', 'x')")));
    ASSERT_TRUE(db::exec(QStringLiteral("create trigger keep before delete on patient "
                                        "begin select raise(abort, 'patient rows are kept'); end")));
    logOn();
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("patient rows are kept"))) << dialogs.last().toStdString();
    EXPECT_EQ(mainRuns, 2);
}

TEST_F(Windows, PasswordChangeAndAnOperatorWithoutANameIsShownTheDoor)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into operator ([no], name, exp1) values (7, 'x', 'old')")));
    auto change = [&](const char *no, const char *old) {
        frmpssinput->Edit1->setText(QString::fromLatin1(no));
        frmpssinput->Edit2->setText(QString::fromLatin1(old));
        frmpssinput->Edit3->setText(QStringLiteral(" new "));
        frmpssinput->Button1Click();
        return dialogs.last();
    };
    // The wrong old password empties its box.
    EXPECT_EQ(QStringList({change("7", "wrong"), frmpssinput->Edit2->text(), change("8", "old"), change("7", "old"),
                           db::scalar(QStringLiteral("select exp1 from operator where [no]=7")).toString()})
                  .join(QLatin1Char('|')),
              QStringLiteral("密码不对，请得输！||无该编号的检验者！|密码已修改，请牢记！| new "));
    typeLogon(QStringLiteral("7"), QStringLiteral("new"));
    EXPECT_EQ(mainRuns, 1) << "the stored password is trimmed when compared";

    ASSERT_TRUE(db::exec(QStringLiteral("insert into operator ([no], name, exp1) values (3, '', '')")));
    typeLogon(QStringLiteral("3"), QString());
    ASSERT_EQ(mainRuns, 2);
    dialogs.answer(true);
    showMain();
    EXPECT_EQ(dialogs.last(), QStringLiteral("退出程序将不能接收数据，确定要退出吗？"));
    EXPECT_FALSE(Form1->isVisible());
}

TEST_F(Windows, StartUpShowsTheOperatorAndWritesNoSetting)
{
    logOn();
    const auto settings = []() {
        return db::scalar(QStringLiteral("select quote(imeno)||quote(prntindex)||quote(paperindex)||quote(rptindex) from corpration"));
    };
    const auto before = settings();
    showMain();
    // A NULL imeno chooses no input method.
    EXPECT_EQ(QStringList({Form1->StatusBar1->panelText(3), Form1->currentoperator(),
                           QString::number(Form1->ComboBox5->currentIndex())}).join(QLatin1Char('/')),
              QStringLiteral("malvor/malvor/-1"));
    EXPECT_EQ(settings(), before);
}

// The real road out: the log-on runs the main window modally; Cancel on the
// exit question keeps everything open, OK closes it and the run ends.
TEST_F(Windows, LogOnRunsTheMainWindowUntilItClosesThenEnds)
{
    QApplication::setQuitOnLastWindowClosed(false);
    createMain();
    frmoprput->runMainWindow = []() { Form1->showModal(); };
    frmoprput->show();
    QString seen;
    QTimer::singleShot(100, [&]() {
        dialogs.answer(false);
        Form1->close();
        seen = dialogs.last() + QString("|%1%2%3").arg(Form1->isVisible()).arg(Form1->isRunning())
            .arg(db::exec(QStringLiteral("insert into patient (shelfid) values ('1')")));
        dialogs.answer(true);
        Form1->close();
    });
    logOn();
    EXPECT_EQ(seen.toStdString(), "退出程序将不能接收数据，确定要退出吗？|111");
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_FALSE(Form1->isRunning() || Form1->isVisible() || db::isConnected());
    EXPECT_FALSE(frmoprput->isVisible()) << "the log-on window closes with the main window";
    QApplication::setQuitOnLastWindowClosed(true);
}

// The patient window, opened by Return on the empty sample list and ended by
// its close box, leaves nothing behind that keeps the main window's close box
// from asking the exit question: Cancel keeps the window, OK ends the run.
TEST_F(Windows, MainWindowCloseBoxStillAsksAfterThePatientWindowsCloseBox)
{
    QApplication::setQuitOnLastWindowClosed(false);
    createMain();
    frmoprput->runMainWindow = []() { Form1->showModal(); };
    frmoprput->show();
    QStringList seen;
    // "accepted visible blocked" after a close request.
    const auto closeBoxOf = [](QWidget *w) {
        const bool accepted = closeBox(w);
        return QStringList{QString::number(accepted), QString::number(w->isVisible()),
                           QString::number(QGuiApplication::modalWindow() != nullptr)}.join(QString());
    };
    QTimer::singleShot(100, [&]() {
        seen << QString::number(Form1->patientset->isEmpty());
        QTimer::singleShot(100, [&]() {
            seen << closeBoxOf(frmpatient);
            if (frmpatient->isVisible())
                frmpatient->done(QDialog::Rejected); // for the test to go on
        });
        Form1->DBGrid1->setFocus();
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
        dialogs.answer(false);
        seen << closeBoxOf(Form1);
        seen << dialogs.shown.join(QLatin1Char('/'));
        dialogs.answer(true);
        seen << closeBoxOf(Form1);
        // Checked here: a main window that cannot be closed never ends the run.
        EXPECT_EQ(seen.join(QLatin1Char('|')).toStdString(), "1|100|010|退出程序将不能接收数据，确定要退出吗？|100");
        if (Form1->isVisible())
            Form1->close();
    });
    logOn();
    EXPECT_FALSE(Form1->isRunning() || Form1->isVisible());
    QApplication::setQuitOnLastWindowClosed(true);
}

TEST_F(Windows, WorkDateRollsOverOnTheTickAfterMidnight)
{
    QDateTime clock(QDate(2026, 5, 1), QTime(23, 59, 50));
    session::setClock([&]() { return clock; });
    logOn();
    showMain();
    QStringList days;
    const auto tick = [&]() {
        days << Form1->workdate().toString(Qt::ISODate);
        Form1->Timer1Timer();
        days << Form1->workdate().toString(Qt::ISODate);
    };
    tick();
    clock = QDateTime(QDate(2026, 5, 2), QTime(0, 0, 10));
    tick();
    // The date changes on the tick, not before.
    EXPECT_EQ(days.join(QLatin1Char(' ')), QStringLiteral("2026-05-01 2026-05-01 2026-05-01 2026-05-02"));
}

TEST_F(Windows, SettingsGrids)
{
    logOn();
    showMain();
    // The item grid never begins a new item with Down on its last row.
    db::Dataset *items = dbdata->itemset;
    items->last();
    const int count = items->recordCount();
    QTest::keyClick(Form1->DBGrid4, Qt::Key_Down);
    EXPECT_TRUE(items->recordCount() == count && items->state() == db::Dataset::State::Browse);

    // A new sample kind is re-read and the cursor keeps its record number.
    db::Dataset *kinds = dbdata->kindset;
    ASSERT_TRUE(kinds->append());
    kinds->setValue(QStringLiteral("name"), QStringLiteral("末梢血"));
    const int recNo = kinds->recNo();
    ASSERT_TRUE(kinds->post());
    // The counter column is filled only by re-reading the file.
    EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(kinds->recNo() - recNo).arg(kinds->text(QStringLiteral("name")))
                  .arg(kinds->isNull(QStringLiteral("rowno")) ? "NULL" : "read"), QStringLiteral("0 末梢血 read"));

    // Another program locks the file between the write and the re-read:
    // the row is stored, and the empty grid is explained.
    dialogs.clear();
    std::optional<testdb::FileLock> lock;
    const auto reread = kinds->afterPost;
    kinds->afterPost = [&](db::Dataset &ds) {
        lock.emplace(dbPath);
        ASSERT_TRUE(lock->held());
        reread(ds);
    };
    ASSERT_TRUE(kinds->append());
    kinds->setValue(QStringLiteral("name"), QStringLiteral("动脉血样"));
    EXPECT_TRUE(kinds->post());
    ASSERT_EQ(dialogs.shown.size(), 1) << dialogs.shown.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("lock"))) << dialogs.last().toStdString();
    lock.reset();
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from samplekind where name=?"), {QStringLiteral("动脉血样")}).toInt(), 1);
}

namespace {

QString itemCells(const char *columns)
{
    return db::scalar(QStringLiteral("select %1 from itemtb where itemid=1").arg(QLatin1String(columns))).toString();
}

} // namespace

TEST_F(Windows, SettingsGridsStoreEveryTypedCellAndRefuseWhatDoesNotFit)
{
    logOn();
    showMain();
    activate(Form1);
    Form1->PageControl1->setCurrentIndex(3);

    // Types keys into a field of the grid's current row (the field the
    // cursor is on when none is named), then one key.
    DBGrid *grid = Form1->DBGrid3;
    const auto typeCell = [&](const char *field, const char *keys, int key, Qt::KeyboardModifiers mods = {}) {
        if (field)
            grid->setSelectedField(QLatin1String(field));
        typeKeys(QLatin1String(keys));
        press(key, mods);
    };
    // Operators: insert, number, Tab, name, Enter; then a number alone. The
    // new operator logs on without a password.
    Form1->PageControl2->setCurrentIndex(0);
    grid->setFocus();
    Form1->DBNavigator1->click(DBNavigator::Insert);
    typeCell("no", "102", Qt::Key_Tab);
    typeCell(nullptr, "xyz", Qt::Key_Return);
    Form1->DBNavigator1->click(DBNavigator::Insert);
    typeCell("no", "103", Qt::Key_Enter, Qt::KeypadModifier);
    // A number in use is dropped without a word.
    const int rows = grid->model()->rowCount();
    Form1->DBNavigator1->click(DBNavigator::Insert);
    typeCell("no", "100", Qt::Key_Return);
    EXPECT_EQ(grid->model()->rowCount(), rows);
    EXPECT_EQ(db::scalar(QStringLiteral("select group_concat(quote(name)) from operator where [no] >= 100 or [no] is null"))
                  .toString(), QStringLiteral("'malvor','xyz',NULL"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    typeLogon(QStringLiteral("102"), QString());
    EXPECT_EQ(mainRuns, 2);

    // Items: two limits typed in one go are both kept.
    Form1->PageControl2->setCurrentIndex(1);
    grid = Form1->DBGrid4;
    db::Dataset *items = dbdata->itemset;
    items->first();
    grid->setFocus();
    typeCell("manlow", "1.7", Qt::Key_Tab);
    typeCell(nullptr, "6.4", Qt::Key_Return);
    EXPECT_EQ(itemCells("manlow||'/'||manhigh"), QStringLiteral("1.7/6.4"));

    // A column that takes numbers refuses other text, names itself, and
    // keeps the cell open and the rest of the row as typed.
    const QString factor = itemCells("quote(hsyz)");
    const struct { const char *field, *typed, *says; } refused[] = {
        {"hsyz", "x1", "换算因子只能填数字"}, {"bitnum", "1.5", "小数位数只能填整数"},
        {"printorder", "-32769", "打印顺序超出范围"}, {"womanhigh", "12345678901", "女上限最多 10 个字符"}};
    for (const auto &r : refused) {
        SCOPED_TRACE(r.typed);
        dialogs.clear();
        typeCell("manlow", "2.5", Qt::Key_Tab);
        typeCell(r.field, r.typed, Qt::Key_Return);
        // One message, then the open editor's text, the row's state and its other cell.
        const QString says = QString::fromUtf8(r.says);
        const auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        EXPECT_EQ(QStringList({QString::number(dialogs.shown.size()), dialogs.last().left(says.size()),
                               editor ? editor->text() : QString(), QString::number(int(items->state())),
                               items->text(QStringLiteral("manlow"))}).join(QLatin1Char('|')),
                  QStringLiteral("1|%1|%2|2|2.5").arg(says, QLatin1String(r.typed)))
            << dialogs.last().toStdString();
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        EXPECT_EQ(items->state(), db::Dataset::State::Browse);
    }
    EXPECT_EQ(itemCells("quote(hsyz)||'/'||manlow"), factor + QStringLiteral("/1.7"));

    // A good number is stored as a number.
    typeCell("hsyz", " 2.5 ", Qt::Key_Return);
    EXPECT_EQ(itemCells("typeof(hsyz)||'/'||hsyz"), QStringLiteral("real/2.5"));
}

// Run last: the application set-up changes the font of every window after it.
TEST_F(Windows, WindowTitlesAreTheirCaptionsAndMessageBoxesCarryTheProgramTitle)
{
    setupApplication(*qApp);
    createMain();
    const QList<QWidget *> windows = {Form1, frmoprput, frmpssinput, frmpatient, frmresultinput, frmlinejust,
                                      frmqcvalueinput, frmdayfltj, Form3, Form4};
    for (QWidget *w : windows) {
        ASSERT_NE(w, nullptr);
        ASSERT_FALSE(w->windowTitle().isEmpty()) << w->metaObject()->className();
        EXPECT_EQ(QPlatformWindow::formatWindowTitle(w->windowTitle(), QStringLiteral(" — ")).toStdString(),
                  w->windowTitle().toStdString());
    }
    EXPECT_TRUE(Form1->windowTitle().startsWith(QStringLiteral("QEL VORLAN 60 中文系统-")));
    dlg::message(QStringLiteral("x"));
    EXPECT_EQ(dialogs.captions.last(), QStringLiteral("VORLAN 60"));
}
