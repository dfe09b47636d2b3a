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
#include "filefaults.h"
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
#include <QTabBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

#include <unistd.h>

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

    // Logged on, with the main window active on a page of its settings.
    void openSettings(int page)
    {
        logOn();
        showMain();
        activate(Form1);
        Form1->PageControl1->setCurrentIndex(3);
        Form1->PageControl2->setCurrentIndex(page);
    }

    int mainRuns = 0;
};


} // namespace

// A file that cannot be used at start-up is told as what happened and what
// to do, and the program does not start: a damaged header is damaged (with
// the backup named), only another format's signature makes a file foreign,
// and a locked file asks for the other program to be closed and the system
// started again. The file is never changed.
TEST_F(Windows, StartUpTellsWhyTheDatabaseFileCannotBeUsed)
{
    const QString copy = testdb::tempDir() + QStringLiteral("/jykdb.mdb");
    const auto startOn = [&](const QByteArray &head, bool locked = false) {
        QFile::remove(copy);
        QFile::copy(dbPath, copy);
        QFile f(copy);
        if (!head.isEmpty() && !(f.open(QIODevice::ReadWrite) && f.write(head) == head.size()))
            return QStringLiteral("not written");
        f.close();
        QFile before(copy);
        before.open(QIODevice::ReadOnly);
        const QByteArray bytes = before.readAll();
        std::optional<testdb::FileLock> lock;
        if (locked)
            lock.emplace(copy);
        delete dbdata;
        dbdata = nullptr;
        dialogs.clear();
        const bool started = createDataModule(copy);
        lock.reset();
        return QStringLiteral("%1|%2|%3").arg(started).arg(dialogs.shown.size()).arg(before.seek(0) && before.readAll() == bytes)
            + QLatin1Char('|') + dialogs.last();
    };
    const QString damaged = startOn(QByteArray("0123456789abcdef"));
    EXPECT_TRUE(damaged.startsWith(QStringLiteral("0|1|1|")) && damaged.contains(QStringLiteral("已损坏或无法读取"))
                && damaged.contains(QStringLiteral("jykdb.mbk")) && !damaged.contains(QStringLiteral("不是本系统")))
        << damaged.toStdString();
    for (const char *format : {"\x4a\x65\x74", "ACE"}) {
        const QString foreign = startOn(QByteArray("\x00\x01\x00\x00Standard ", 13) + format + " DB");
        EXPECT_TRUE(foreign.startsWith(QStringLiteral("0|1|1|")) && foreign.contains(QStringLiteral("不是本系统的数据库"))
                    && foreign.contains(QStringLiteral("请把它移到别处，或换上本系统的数据库文件"))
                    && !foreign.contains(QStringLiteral("已损坏")))
            << foreign.toStdString();
    }
    const QString locked = startOn(QByteArray(), true);
    EXPECT_TRUE(locked.startsWith(QStringLiteral("0|1|1|数据库文件正被其他程序占用"))
                && locked.contains(QStringLiteral("重新启动本系统")) && !locked.contains(QStringLiteral("自动重试"))
                && locked.contains(QStringLiteral("database is locked")))
        << locked.toStdString();
    EXPECT_EQ(startOn(QByteArray()), QStringLiteral("1|0|1|"));
}

// Started on a file that cannot be written, the log-on works and whatever
// the database refuses on the way is said in Chinese with its own text
// after it, never as the raw text alone.
TEST_F(Windows, LogOnWithAReadOnlyFileSaysSoInChinese)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name) values ('', 'x')")));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into operator ([no], name, exp1) values (100, 'malvor', 'malvor')")));
    delete dbdata;
    dbdata = nullptr;
    db::disconnect();
    filefaults::ImmutableFile readOnly(dbPath);
    if (!readOnly.held())
        GTEST_SKIP() << "this file system cannot make a file read-only for this user";
    ASSERT_TRUE(createDataModule(dbPath)) << dialogs.last().toStdString();
    logOn();
    showMain();
    EXPECT_EQ(mainRuns, 1);
    // Told once for the whole start, though the settings row was due to be
    // brought up to date too; the page shows what it could not store.
    ASSERT_EQ(dialogs.shown.size(), 1) << dialogs.shown.join(QLatin1Char('\n')).toStdString();
    const QString said = dialogs.shown.first();
    EXPECT_TRUE(said.startsWith(QStringLiteral("数据库文件是只读的")) && said.contains(QStringLiteral("（"))
                && said.endsWith(QStringLiteral("）")) && said.contains(QStringLiteral("readonly database")))
        << said.toStdString();
    EXPECT_EQ(Form1->Edit6->text(), QStringLiteral("5.0"));
    // Choosing a printer is the user's own write and tells again.
    QTest::keyClick(Form1->ComboBox6, Qt::Key_Down);
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.last(), said);
}

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

// Another workstation renumbers or deletes the operator between the check
// of the old password and the save: no row takes the new password, and the
// change is told as failed, never as made.
TEST_F(Windows, PasswordChangeThatReachesNoRowIsAFailure)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into operator ([no], name, exp1) values (7, 'x', 'old')")));
    const QString name = QStringLiteral("other-workstation");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        other.setDatabaseName(dbPath);
        ASSERT_TRUE(other.open());
        activate(frmpssinput);
        QStringList seen;
        for (const char *no : {"7", "8"}) {
            const QString meanwhile = QLatin1String(*no == '7' ? "update operator set [no] = 8 where [no] = 7"
                                                               : "delete from operator where [no] = 8");
            frmpssinput->ADODataSet1->afterScroll = [&](db::Dataset &) { seen << QString::number(db::exec(other, meanwhile)); };
            typeInto(frmpssinput->Edit1, QLatin1String(no), false);
            typeInto(frmpssinput->Edit2, QStringLiteral("old"), false);
            typeInto(frmpssinput->Edit3, QStringLiteral("new"), false);
            dialogs.clear();
            QTest::mouseClick(frmpssinput->Button1, Qt::LeftButton);
            frmpssinput->ADODataSet1->afterScroll = nullptr;
            QSqlQuery q(QStringLiteral("select count(*) || '/' || count(nullif(exp1, 'new')) from operator"), other);
            seen << dialogs.shown.join(QLatin1Char('+')) + QLatin1Char('|') + (q.next() ? q.value(0).toString() : QString());
        }
        EXPECT_EQ(seen.join(QLatin1Char(' ')).toStdString(), "1 密码未能保存|1/1 1 密码未能保存|0/0");
    }
    QSqlDatabase::removeDatabase(name);
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

// The real road out: the log-on runs the main window modally. The patient
// window, opened by Return on the empty sample list and ended by its close
// box, leaves nothing behind that keeps the main window's close box from
// asking the exit question: Cancel keeps the window running on its database,
// OK ends the run, the connection and the log-on window.
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
        seen << QStringLiteral("%1%2").arg(Form1->isRunning())
                    .arg(db::exec(QStringLiteral("insert into patient (shelfid) values ('1')")));
        dialogs.answer(true);
        seen << closeBoxOf(Form1);
        // Checked here: a main window that cannot be closed never ends the run.
        EXPECT_EQ(seen.join(QLatin1Char('|')).toStdString(), "1|100|010|退出程序将不能接收数据，确定要退出吗？|11|100");
        if (Form1->isVisible())
            Form1->close();
    });
    logOn();
    EXPECT_FALSE(Form1->isRunning() || Form1->isVisible() || db::isConnected());
    EXPECT_FALSE(frmoprput->isVisible()) << "the log-on window closes with the main window";
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
    // The date changes on the tick, not before; a day of the same number in
    // another month or year is another day.
    EXPECT_EQ(days.join(QLatin1Char(' ')), QStringLiteral("2026-05-01 2026-05-01 2026-05-01 2026-05-02"));
    days.clear();
    for (const QDate d : {QDate(2026, 6, 2), QDate(2027, 6, 2)}) {
        clock = QDateTime(d, QTime(9, 0));
        tick();
    }
    EXPECT_EQ(days.join(QLatin1Char(' ')).toStdString(), "2026-05-02 2026-06-02 2026-06-02 2027-06-02");
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
    openSettings(0);

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
    grid->setFocus();
    Form1->DBNavigator1->click(DBNavigator::Insert);
    typeCell("no", "102", Qt::Key_Tab);
    typeCell(nullptr, "xyz", Qt::Key_Return);
    Form1->DBNavigator1->click(DBNavigator::Insert);
    typeCell("no", "103", Qt::Key_Enter, Qt::KeypadModifier);
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

    // A column that takes numbers refuses other text, names itself once
    // (the message box takes the focus from the editor for real), and keeps
    // the cell open and the rest of the row as typed. Whole numbers are
    // decimal or "$"/"0x" hexadecimal of 32 bits, small ones within 16.
    const QString factor = itemCells("quote(hsyz)");
    const struct { const char *field, *typed, *says; } refused[] = {
        {"hsyz", "x1", "换算因子只能填数字"}, {"bitnum", "1.5", "小数位数只能填整数"},
        {"printorder", "-32769", "打印顺序超出范围"}, {"womanhigh", "12345678901", "女上限最多 10 个字符"},
        {"printorder", "1e3", "打印顺序只能填整数"}, {"bitnum", "0x", "小数位数只能填整数"},
        {"printorder", "$8000", "打印顺序超出范围"}, {"bitnum", "4294967296", "小数位数超出范围"},
        {"printorder", "12 3", "打印顺序只能填整数"}};
    dialogs.realBoxes = true;
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
    dialogs.clear();
    QStringList orders;
    for (const char *typed : {"$1F", "-0x10", "+12"}) {
        typeCell("printorder", typed, Qt::Key_Return);
        orders << itemCells("printorder");
    }
    EXPECT_EQ(orders.join(QLatin1Char(' ')), QStringLiteral("31 -16 12"));
    EXPECT_EQ(dialogs.shown.size(), 0) << dialogs.last().toStdString();
}

// What is typed into a settings grid's open cell editor is the row's edit:
// the navigator's post stores it and cancel drops it, and closing the window
// stores it before the window goes. Read back through a second connection.
TEST_F(Windows, AnOpenCellEditorIsPostedByTheNavigatorAndOnClosing)
{
    openSettings(4);
    DBGrid *grid = Form1->DBGrid7;
    DBNavigator *nav = Form1->DBNavigator5;
    db::Dataset *kinds = dbdata->kindset;
    ASSERT_GT(kinds->recordCount(), 1);
    const auto stored = [&]() {
        QSqlDatabase second = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("readback"));
        second.setDatabaseName(dbPath);
        QString names;
        if (second.open()) {
            QSqlQuery q(QStringLiteral("select group_concat(name, ',') from (select name from samplekind order by rowno)"), second);
            if (q.next())
                names = q.value(0).toString();
        }
        second = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("readback"));
        return names;
    };
    const QString before = stored();
    const QString first = kinds->text(QStringLiteral("name"));
    // Double-clicks the first row's cell and types at the end of its text.
    const auto typeAtEnd = [&](const char *keys) {
        kinds->first();
        const QPoint at = grid->visualRect(grid->model()->index(0, 0)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
        press(Qt::Key_End);
        typeKeys(QLatin1String(keys));
    };
    // Post and cancel are offered while the editor is open, as for a row in edit.
    const auto offered = [&]() {
        return QString::number(nav->button(DBNavigator::Post)->isEnabled())
            + QString::number(nav->button(DBNavigator::Cancel)->isEnabled());
    };
    EXPECT_EQ(offered(), QStringLiteral("00"));
    typeAtEnd("Q");
    EXPECT_EQ(offered(), QStringLiteral("11"));
    QTest::mouseClick(nav->button(DBNavigator::Cancel), Qt::LeftButton);
    EXPECT_EQ(QStringList({stored(), kinds->text(QStringLiteral("name")), QString::number(int(kinds->state())), offered()})
                  .join(QLatin1Char('|')), QStringList({before, first, "1", "00"}).join(QLatin1Char('|')));

    typeAtEnd("Z");
    QTest::mouseClick(nav->button(DBNavigator::Post), Qt::LeftButton);
    QString expected = before;
    expected.replace(0, first.size(), first + "Z");
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(offered(), QStringLiteral("00"));

    // Another page is left with the editor open, then the window closed (OK).
    typeAtEnd("Y");
    Form1->PageControl2->setCurrentIndex(0);
    expected.replace(0, first.size() + 1, first + "ZY");
    EXPECT_EQ(stored(), expected);
    Form1->PageControl2->setCurrentIndex(4);
    // A text too long for the column: told, then asked; Cancel keeps the
    // window and the text.
    typeAtEnd(QByteArray(50, 'a').constData());
    dialogs.clear();
    dialogs.answer(true);
    dialogs.answer(false);
    Form1->close();
    EXPECT_TRUE(Form1->isVisible() && DBGrid::hasOpenEditor(kinds));
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.last(), QStringLiteral("有修改未能保存，放弃这些修改并关闭窗口吗？"));
    EXPECT_EQ(stored(), expected);
    press(Qt::Key_Escape);
    typeAtEnd("X");
    dialogs.clear();
    dialogs.answer(true);
    Form1->close();
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("退出程序将不能接收数据，确定要退出吗？")});
    expected.replace(0, first.size() + 2, first + "ZYX");
    EXPECT_EQ(stored(), expected);
}

namespace {

// The settings page's grids as a person meets them: the cell under the
// mouse, the navigator's buttons pressed with it, the numbers stored.
struct SettingsGrid
{
    DBGrid *grid;
    DBNavigator *nav;

    void clickCell(int row, int column) const
    {
        const QPoint at = grid->visualRect(grid->model()->index(row, column)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
    }
    void clickButton(DBNavigator::Button b) const
    {
        QTest::mouseClick(nav->button(b), Qt::LeftButton);
        QApplication::processEvents();
    }
    // The row's cells as shown, joined by "/".
    QString shown(int row) const
    {
        QStringList cells;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            cells << grid->model()->index(row, c).data().toString();
        return cells.join(QLatin1Char('/'));
    }
    // The cell editor open now, if any (closed ones linger hidden).
    QLineEdit *openEditor() const
    {
        for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
            if (e->isVisible())
                return e;
        return nullptr;
    }
};

QString storedColumn(const char *sql)
{
    return db::scalar(QString::fromLatin1(sql)).toString();
}

} // namespace

// A row the database refuses (a number another row holds) is told once, in
// Chinese, naming the number, and stays in edit as typed: corrected it is
// stored, ✗ or Esc drop it. Nothing of it reaches the file before that.
TEST_F(Windows, SettingsGridsTellARefusedRowAndKeepItAsTyped)
{
    openSettings(2);
    const auto departments = []() {
        return storedColumn("select group_concat(no||':'||suoxie||':'||name, ' ') from (select * from department order by no)");
    };
    const QString before = departments();

    // 科别: row 6 takes row 5's number.
    SettingsGrid depart{Form1->DBGrid5, Form1->DBNavigator3};
    db::Dataset *ds = dbdata->departset;
    depart.clickCell(5, 0);
    typeKeys(QStringLiteral("5"));
    press(Qt::Key_Return);
    // Messages, the first one, the row's state (2 edit, 3 insert), the row as shown.
    const auto seen = [&](db::Dataset *d, const SettingsGrid &g, int row) {
        return QStringList({QString::number(dialogs.shown.size()), dialogs.shown.value(0),
                            QString::number(int(d->state())), g.shown(row)}).join(QLatin1Char('|'));
    };
    EXPECT_EQ(seen(ds, depart, 5).toStdString(), "1|编号 5 已被另一行使用，请改用其他编号，或按 Esc 放弃这一行的修改。|2|5/tj/体检中心");
    EXPECT_TRUE(!dialogs.kinds.empty() && dialogs.kinds.front() == dlg::Kind::Error);
    EXPECT_EQ(departments().toStdString(), before.toStdString());
    press(Qt::Key_Escape);
    EXPECT_EQ(QStringLiteral("%1|%2").arg(int(ds->state())).arg(depart.shown(5)).toStdString(), "1|6/tj/体检中心");

    // A new row with a number in use, then corrected and stored.
    dialogs.clear();
    depart.clickButton(DBNavigator::Insert);
    depart.clickCell(6, 0);
    typeKeys(QStringLiteral("1"));
    press(Qt::Key_Tab);
    typeKeys(QStringLiteral("ab"));
    press(Qt::Key_Tab);
    typeKeys(QStringLiteral("newdept"));
    press(Qt::Key_Return);
    EXPECT_EQ(seen(ds, depart, 6).toStdString(), "1|编号 1 已被另一行使用，请改用其他编号，或按 Esc 放弃这一行的修改。|3|1/ab/newdept");
    EXPECT_EQ(departments().toStdString(), before.toStdString());
    dialogs.clear();
    depart.clickCell(6, 0);
    typeKeys(QStringLiteral("7"));
    press(Qt::Key_Return);
    EXPECT_EQ(seen(ds, depart, 6).toStdString(), "0||1|7/ab/newdept");
    EXPECT_EQ(departments().toStdString(), before.toStdString() + " 7:ab:newdept");

    // 送检医师: the same on a text number, a new row dropped with ✗, an
    // existing one with Esc.
    Form1->PageControl2->setCurrentIndex(3);
    SettingsGrid doctor{Form1->DBGrid6, Form1->DBNavigator4};
    ds = dbdata->doctorset;
    const auto doctors = []() { return storedColumn("select group_concat(no||':'||name, ' ') from (select * from doctor order by no)"); };
    const QString doctorsBefore = doctors();
    dialogs.clear();
    doctor.clickButton(DBNavigator::Insert);
    doctor.clickCell(3, 0);
    typeKeys(QStringLiteral("02"));
    press(Qt::Key_Tab);
    typeKeys(QStringLiteral("zhao"));
    press(Qt::Key_Return);
    EXPECT_EQ(seen(ds, doctor, 3).toStdString(), "1|编号 02 已被另一行使用，请改用其他编号，或按 Esc 放弃这一行的修改。|3|02/zhao");
    doctor.clickButton(DBNavigator::Cancel);
    EXPECT_EQ(QStringLiteral("%1|%2").arg(int(ds->state())).arg(doctor.grid->model()->rowCount()).toStdString(), "1|3");
    dialogs.clear();
    doctor.clickCell(2, 0);
    typeKeys(QStringLiteral("01"));
    // Leaving the row by a click is refused the same way: the grid stays on it.
    doctor.clickCell(0, 1);
    EXPECT_EQ(seen(ds, doctor, 2).toStdString(), "1|编号 01 已被另一行使用，请改用其他编号，或按 Esc 放弃这一行的修改。|2|01/张医生");
    EXPECT_EQ(QStringLiteral("%1 %2").arg(ds->recNo()).arg(doctor.grid->currentIndex().row()).toStdString(), "3 2");
    doctor.grid->setFocus();
    press(Qt::Key_Escape);
    EXPECT_EQ(QStringLiteral("%1|%2").arg(int(ds->state())).arg(doctor.shown(2)).toStdString(), "1|03/张医生");
    EXPECT_EQ(doctors().toStdString(), doctorsBefore.toStdString());

    // 标本种类: any other refusal is told with the database's reason.
    ASSERT_TRUE(db::exec(QStringLiteral("create trigger keep before insert on samplekind "
                                        "begin select raise(abort, 'no new kinds today'); end")));
    Form1->PageControl2->setCurrentIndex(4);
    SettingsGrid kind{Form1->DBGrid7, Form1->DBNavigator5};
    ds = dbdata->kindset;
    dialogs.clear();
    kind.clickButton(DBNavigator::Insert);
    kind.clickCell(3, 0);
    typeKeys(QStringLiteral("xx"));
    press(Qt::Key_Return);
    EXPECT_EQ(QStringList({QString::number(dialogs.shown.size()),
                           QString::number(dialogs.last().contains(QStringLiteral("no new kinds today"))),
                           QString::number(int(ds->state())), kind.shown(3)}).join(QLatin1Char('|')).toStdString(),
              "1|1|3|xx");
    press(Qt::Key_Escape);
    EXPECT_EQ(QStringLiteral("%1|%2").arg(int(ds->state())).arg(kind.grid->model()->rowCount()).toStdString(), "1|3");
}

// A cell text its field refuses stays in the open editor however the cell
// is left, with one message and the focus back in it, as after Return.
TEST_F(Windows, ARefusedCellKeepsItsTextWhicheverWayItIsLeft)
{
    openSettings(2);
    SettingsGrid depart{Form1->DBGrid5, Form1->DBNavigator3};
    db::Dataset *ds = dbdata->departset;
    const QString before = storedColumn("select group_concat(no, ' ') from (select no from department order by no)");
    QTabBar *pages = Form1->PageControl2->tabBar();
    const struct { const char *way, *typed; std::function<void()> leave; } ways[] = {
        {"Tab", "abc", [] { press(Qt::Key_Tab); }},
        {"Shift+Tab", "99999", [] { press(Qt::Key_Backtab, Qt::ShiftModifier); }},
        {"click on another row", "abc", [&] { depart.clickCell(1, 1); }},
        {"click on another cell of the row", "99999", [&] { depart.clickCell(5, 2); }},
        {"Page Up", "abc", [] { press(Qt::Key_PageUp); }},
        {"Up", "abc", [] { press(Qt::Key_Up); }},
        {"another page", "abc", [&] {
             QTest::mouseClick(pages, Qt::LeftButton, {}, pages->tabRect(0).center());
             QApplication::processEvents();
         }},
    };
    dialogs.realBoxes = true;
    for (const auto &w : ways) {
        SCOPED_TRACE(w.way);
        depart.clickCell(5, 0);
        typeKeys(QLatin1String(w.typed));
        dialogs.clear();
        w.leave();
        QApplication::processEvents();
        // Messages and the first one's start, the text and focus of the
        // editor, the cell and record the grid stands on, the page.
        const QLineEdit *editor = depart.openEditor();
        const QString says = QString::fromUtf8(QByteArray(w.typed) == "abc" ? "编号只能填整数" : "编号超出范围");
        EXPECT_EQ(QStringList({QString::number(dialogs.shown.size()), dialogs.shown.value(0).left(says.size()),
                               editor ? editor->text() : QStringLiteral("no editor"),
                               QString::number(editor && editor->hasFocus()),
                               QStringLiteral("%1,%2").arg(depart.grid->currentIndex().row()).arg(depart.grid->currentIndex().column()),
                               QString::number(ds->recNo()), QString::number(Form1->PageControl2->currentIndex())})
                      .join(QLatin1Char('|')).toStdString(),
                  QStringLiteral("1|%1|%2|1|5,0|6|2").arg(says, QLatin1String(w.typed)).toStdString());
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        EXPECT_EQ(QStringLiteral("%1|%2").arg(int(ds->state())).arg(depart.shown(5)).toStdString(), "1|6/tj/体检中心");
    }
    EXPECT_EQ(storedColumn("select group_concat(no, ' ') from (select no from department order by no)").toStdString(),
              before.toStdString());
}

// On a new database the log-on makes the first operator; the operator grid
// shows it, and refuses a second row with its number.
TEST_F(Windows, TheOperatorGridShowsTheAccountMadeAtLogOn)
{
    ASSERT_EQ(storedColumn("select count(*) from operator").toStdString(), "0");
    createMain();
    openSettings(0);
    SettingsGrid op{Form1->DBGrid3, Form1->DBNavigator1};
    ASSERT_EQ(op.grid->model()->rowCount(), 1);
    EXPECT_EQ(op.shown(0).toStdString(), "100/malvor");
    op.clickButton(DBNavigator::Insert);
    op.clickCell(1, 0);
    typeKeys(QStringLiteral("100"));
    press(Qt::Key_Return);
    EXPECT_EQ(QStringList({QString::number(dialogs.shown.size()), dialogs.last(), QString::number(int(dbdata->operatorset->state()))})
                  .join(QLatin1Char('|')).toStdString(),
              "1|编号 100 已被另一行使用，请改用其他编号，或按 Esc 放弃这一行的修改。|3");
    press(Qt::Key_Escape);
    EXPECT_EQ(storedColumn("select group_concat(no||name) from operator").toStdString(), "100malvor");
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
