// The data-aware widgets against a real database file: grid and dataset in
// step, edits written on leaving the row, refused rows, the navigator, the
// bound edits, the status bar and the input-method list.
#include "common/dialogscript.h"
#include "common/testdb.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "platform/widgets/dbedits.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dbnavigator.h"
#include "platform/widgets/inputmethods.h"
#include "platform/widgets/lamp.h"
#include "platform/widgets/statusbar.h"

#include <QApplication>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A table of our own with a UNIQUE key, so that the database refuses rows.
void makeTable(int rows)
{
    testdb::fresh(false);
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("CREATE TABLE wtest (no INTEGER UNIQUE, name TEXT, secret TEXT)"), {}, &err))
        << err.toStdString();
    for (int i = 1; i <= rows; ++i)
        ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO wtest (no, name, secret) VALUES (?, ?, 'x')"),
                             {i, QStringLiteral("名%1").arg(i)}, &err))
            << err.toStdString();
}

QVariantList column(const QString &sql)
{
    QVector<QVariantList> rows;
    QString err;
    EXPECT_TRUE(db::select(sql, {}, &rows, &err)) << err.toStdString();
    QVariantList out;
    for (const auto &r : rows)
        out << r.value(0);
    return out;
}

// Keys for plain text; what an input method commits for Chinese.
void typeText(QWidget *w, const QString &text)
{
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii) {
        QTest::keyClicks(w, text);
        return;
    }
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}

struct Fixture
{
    std::unique_ptr<QWidget> window;
    db::Dataset *ds = nullptr;
    DBGrid *grid = nullptr;
    int scrolls = 0;

    explicit Fixture(int rows = 5)
    {
        makeTable(rows);
        window = std::make_unique<QWidget>();
        window->resize(500, 400);
        ds = new db::Dataset(window.get());
        ds->setSql(QStringLiteral("SELECT * FROM wtest ORDER BY no"));
        ds->setUpdateTable(QStringLiteral("wtest"));
        ds->setFieldDefs({{QStringLiteral("no"), QStringLiteral("编号"), 6},
                          {QStringLiteral("name"), QStringLiteral("姓名"), 12},
                          {QStringLiteral("secret"), QString(), 0, false, false}});
        ds->afterScroll = [this](db::Dataset &) { ++scrolls; };
        grid = new DBGrid(window.get());
        grid->setGeometry(0, 0, 500, 400);
        grid->setDataset(ds);
        EXPECT_TRUE(ds->open());
        window->show();
        QApplication::processEvents();
    }

    QPoint cellCentre(int row, int col) const
    {
        return grid->visualRect(grid->model()->index(row, col)).center();
    }
    void clickRow(int row, int col = 0)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(row, col));
        QApplication::processEvents();
    }
    // The cell editor open now (closed ones linger hidden until deleted).
    QLineEdit *openEditor() const
    {
        for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
            if (e->isVisible())
                return e;
        return nullptr;
    }
    // Opens the cell editor on (row, col) and types the text into it.
    QLineEdit *typeInto(int row, int col, const QString &text)
    {
        const QModelIndex idx = grid->model()->index(row, col);
        grid->setCurrentIndex(idx);
        grid->edit(idx);
        QLineEdit *ed = openEditor();
        if (ed) {
            ed->selectAll();
            typeText(ed, text);
        }
        return ed;
    }
};

} // namespace

TEST(DBGridTest, GridAndDatasetMoveTogether)
{
    Fixture f;
    f.grid->setRowSelect(true);
    ASSERT_EQ(f.grid->model()->rowCount(), 5);
    EXPECT_EQ(f.grid->currentIndex().row(), 0);

    // The dataset moves: the grid selects the row.
    f.ds->setRecNo(4);
    EXPECT_EQ(f.grid->currentIndex().row(), 3);
    EXPECT_TRUE(f.grid->selectionModel()->isRowSelected(3, QModelIndex()));
    f.ds->next();
    EXPECT_EQ(f.grid->currentIndex().row(), 4);
    f.ds->first();
    EXPECT_EQ(f.grid->currentIndex().row(), 0);

    // The user clicks a row: the dataset follows and its after-scroll runs.
    const int before = f.scrolls;
    f.clickRow(2, 1);
    EXPECT_EQ(f.ds->recNo(), 3);
    EXPECT_EQ(f.ds->text(QStringLiteral("name")), QStringLiteral("名3"));
    EXPECT_EQ(f.scrolls, before + 1);
    EXPECT_EQ(f.grid->selectedField(), QStringLiteral("name"));

    // Arrow keys move the dataset too; Down on the last row starts no new row.
    QTest::keyClick(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds->recNo(), 4);
    f.ds->last();
    QTest::keyClick(f.grid, Qt::Key_Down);
    QTest::keyClick(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds->recordCount(), 5);
    EXPECT_EQ(f.grid->model()->rowCount(), 5);
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Browse);
    EXPECT_EQ(f.grid->currentIndex().row(), 4);

    // Re-reading keeps grid and dataset on the same (first) row.
    ASSERT_TRUE(f.ds->requery());
    EXPECT_EQ(f.grid->currentIndex().row(), 0);
}

TEST(DBGridTest, EditsAreWrittenOnEnterAndOnLeavingTheRow)
{
    Fixture f;
    DialogScript dialogs;

    // Enter in the editor posts at once.
    ASSERT_NE(f.typeInto(0, 1, QStringLiteral("张三")), nullptr);
    QTest::keyClick(f.openEditor(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Browse);
    EXPECT_EQ(column(QStringLiteral("SELECT name FROM wtest WHERE no=1")).value(0).toString(), QStringLiteral("张三"));

    // Typing and clicking another row: the row is posted before the move.
    ASSERT_NE(f.typeInto(1, 1, QStringLiteral("李四")), nullptr);
    EXPECT_EQ(column(QStringLiteral("SELECT name FROM wtest WHERE no=2")).value(0).toString(), QStringLiteral("名2"));
    f.clickRow(3);
    EXPECT_EQ(f.ds->recNo(), 4);
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Browse);
    EXPECT_EQ(column(QStringLiteral("SELECT name FROM wtest WHERE no=2")).value(0).toString(), QStringLiteral("李四"));

    // The same with the keyboard: Down in the open editor leaves the row.
    ASSERT_NE(f.typeInto(3, 1, QStringLiteral("赵六")), nullptr);
    QTest::keyClick(f.openEditor(), Qt::Key_Down);
    EXPECT_EQ(f.ds->recNo(), 5);
    EXPECT_EQ(column(QStringLiteral("SELECT name FROM wtest WHERE no=4")).value(0).toString(), QStringLiteral("赵六"));
    f.ds->setRecNo(4);

    // Esc in the grid cancels a pending change of the row.
    f.ds->setValue(QStringLiteral("name"), QStringLiteral("王五"));
    QTest::keyClick(f.grid, Qt::Key_Escape);
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Browse);
    EXPECT_EQ(f.ds->text(QStringLiteral("name")), QStringLiteral("赵六"));
    EXPECT_EQ(column(QStringLiteral("SELECT name FROM wtest WHERE no=4")).value(0).toString(), QStringLiteral("赵六"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST(DBGridTest, RefusedRowWithAbortLeavesTheRowsAsTheyWere)
{
    Fixture f;
    DialogScript dialogs;
    f.ds->onPostError = [](db::Dataset &, const QString &, db::Dataset::PostAction &a) {
        if (a == db::Dataset::PostAction::Fail)
            a = db::Dataset::PostAction::Abort;
    };

    // Number 1 changed to the existing 2, then another row clicked.
    ASSERT_NE(f.typeInto(0, 0, QStringLiteral("2")), nullptr);
    f.clickRow(3);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Browse);
    EXPECT_EQ(f.ds->recordCount(), 5);
    EXPECT_EQ(f.grid->model()->data(f.grid->model()->index(0, 0), Qt::DisplayRole).toInt(), 1);
    // Grid and dataset agree on the row they stand on.
    EXPECT_EQ(f.grid->currentIndex().row(), f.ds->currentRow());
    EXPECT_EQ(column(QStringLiteral("SELECT no FROM wtest ORDER BY no")),
              (QVariantList{1, 2, 3, 4, 5}));

    // A new row with a taken number, posted by the navigator: dropped silently.
    DBNavigator nav;
    nav.setDataset(f.ds);
    nav.click(DBNavigator::Insert);
    EXPECT_EQ(f.grid->model()->rowCount(), 6);
    EXPECT_EQ(f.grid->currentIndex().row(), 5);
    f.ds->setValue(QStringLiteral("no"), 3);
    nav.click(DBNavigator::Post);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(f.ds->recordCount(), 5);
    EXPECT_EQ(f.grid->model()->rowCount(), 5);
    EXPECT_EQ(f.grid->currentIndex().row(), f.ds->currentRow());
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM wtest")).value(0).toInt(), 5);
}

TEST(DBGridTest, RefusedRowWithoutHandlerShowsTheDatabaseText)
{
    Fixture f;
    DialogScript dialogs;
    ASSERT_NE(f.typeInto(1, 0, QStringLiteral("5")), nullptr);
    f.clickRow(3);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.kinds.front(), dlg::Kind::Error);
    EXPECT_TRUE(dialogs.shown.front().contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive))
        << dialogs.shown.front().toStdString();
    // The typing stays on its row, still being edited, and the grid with it.
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Edit);
    EXPECT_EQ(f.ds->recNo(), 2);
    EXPECT_EQ(f.grid->currentIndex().row(), 1);
    f.ds->cancel();
    EXPECT_EQ(f.grid->model()->data(f.grid->model()->index(1, 0), Qt::DisplayRole).toInt(), 2);

    // Leaving by the keyboard from the open editor: one message, no move.
    dialogs.clear();
    ASSERT_NE(f.typeInto(1, 0, QStringLiteral("5")), nullptr);
    QTest::keyClick(f.openEditor(), Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(f.ds->recNo(), 2);
    EXPECT_EQ(f.grid->currentIndex().row(), 1);
    EXPECT_EQ(column(QStringLiteral("SELECT no FROM wtest ORDER BY no")), (QVariantList{1, 2, 3, 4, 5}));
}

TEST(DBGridTest, ColumnsHooksAndReadOnly)
{
    Fixture f;
    ASSERT_EQ(f.grid->model()->columnCount(), 2); // the hidden field is not shown

    // Key hooks see keys first; a handled key does nothing more.
    QList<int> down, press;
    f.grid->onKeyDown = [&](QKeyEvent *e) {
        down << e->key();
        return e->key() == Qt::Key_Down || e->key() == Qt::Key_Tab;
    };
    f.grid->onKeyPress = [&](QKeyEvent *e) {
        press << e->key();
        return e->key() == Qt::Key_Return;
    };
    QTest::keyClick(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds->recNo(), 1);
    QTest::keyClick(f.grid, Qt::Key_Tab);
    QTest::keyClick(f.grid, Qt::Key_Return);
    EXPECT_EQ(down, (QList<int>{Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return}));
    EXPECT_EQ(press, (QList<int>{Qt::Key_Return}));
    f.grid->onKeyDown = nullptr;
    f.grid->onKeyPress = nullptr;

    // Read-only column, then read-only grid: no editor opens.
    f.grid->setColumnReadOnly(QStringLiteral("no"), true);
    EXPECT_EQ(f.typeInto(0, 0, QStringLiteral("9")), nullptr);
    EXPECT_NE(f.typeInto(0, 1, QStringLiteral("x")), nullptr);
    f.grid->commitEdit();
    EXPECT_EQ(f.ds->text(QStringLiteral("name")), QStringLiteral("x"));
    f.ds->cancel();
    f.grid->setReadOnly(true);
    EXPECT_EQ(f.typeInto(0, 1, QStringLiteral("y")), nullptr);
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Browse);

}

TEST(DBNavigatorTest, InsertPostAndDeleteWithConfirmation)
{
    Fixture f(3);
    DialogScript dialogs;
    DBNavigator nav;
    nav.setDataset(f.ds);
    auto on = [&](DBNavigator::Button b) { return nav.button(b)->isEnabled(); };

    // Insert and post: the row is in the table.
    nav.click(DBNavigator::Insert);
    EXPECT_TRUE(on(DBNavigator::Post));
    f.ds->setValue(QStringLiteral("no"), 10);
    f.ds->setValue(QStringLiteral("name"), QStringLiteral("新"));
    nav.click(DBNavigator::Post);
    EXPECT_FALSE(on(DBNavigator::Post));
    EXPECT_EQ(column(QStringLiteral("SELECT name FROM wtest WHERE no=10")).value(0).toString(), QStringLiteral("新"));

    // An edit typed in the grid's open editor is taken by the navigator's post.
    ASSERT_NE(f.typeInto(0, 1, QStringLiteral("改")), nullptr);
    nav.click(DBNavigator::Post);
    EXPECT_EQ(column(QStringLiteral("SELECT name FROM wtest WHERE no=1")).value(0).toString(), QStringLiteral("改"));

    // Delete asks; Cancel keeps the row, OK deletes it.
    f.ds->locate(QStringLiteral("no"), 2);
    dialogs.answer(false);
    nav.click(DBNavigator::Delete);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown.front(), QStringLiteral("删除记录吗？"));
    EXPECT_EQ(dialogs.kinds.front(), dlg::Kind::OkCancel);
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM wtest")).value(0).toInt(), 4);
    dialogs.answer(true);
    nav.click(DBNavigator::Delete);
    EXPECT_EQ(column(QStringLiteral("SELECT no FROM wtest ORDER BY no")), (QVariantList{1, 3, 10}));
    EXPECT_EQ(f.grid->model()->rowCount(), 3);
    EXPECT_EQ(f.grid->currentIndex().row(), f.ds->currentRow());

    // A dataset without an update table cannot be changed from here.
    db::Dataset ro;
    ASSERT_TRUE(ro.open(QStringLiteral("SELECT * FROM wtest")));
    nav.setDataset(&ro);
    EXPECT_FALSE(on(DBNavigator::Insert));
    EXPECT_FALSE(on(DBNavigator::Delete));
    EXPECT_TRUE(on(DBNavigator::Next));
}

TEST(DBEditsTest, EditAndComboFollowTheRowAndWriteIntoIt)
{
    Fixture f(3);
    DBEdit edit(f.window.get());
    edit.setDataField(f.ds, QStringLiteral("name"));
    DBComboBox combo(f.window.get());
    combo.setItems({QStringLiteral("男"), QStringLiteral("女")});
    combo.setDataField(f.ds, QStringLiteral("secret"));
    EXPECT_EQ(edit.text(), QStringLiteral("名1"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("x"));
    f.ds->next();
    EXPECT_EQ(edit.text(), QStringLiteral("名2"));

    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("abc"));
    EXPECT_EQ(edit.text(), QStringLiteral("abc"));
    EXPECT_EQ(f.ds->state(), db::Dataset::State::Edit);
    EXPECT_EQ(f.ds->text(QStringLiteral("name")), QStringLiteral("abc"));
    combo.setCurrentIndex(1);
    emit combo.textActivated(combo.currentText());
    EXPECT_EQ(f.ds->text(QStringLiteral("secret")), QStringLiteral("女"));
    ASSERT_TRUE(f.ds->post());
    EXPECT_EQ(column(QStringLiteral("SELECT name || '/' || secret FROM wtest WHERE no=2")).value(0).toString(),
              QStringLiteral("abc/女"));

    // A cancelled edit shows the old text again.
    f.ds->next();
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("zzz"));
    f.ds->cancel();
    EXPECT_EQ(edit.text(), QStringLiteral("名3"));
}

TEST(StatusBarTest, ResizeKeepsTheFixedPanels)
{
    StatusBar bar;
    for (int w : {50, 520, 50, 50, 64, 50})
        bar.addPanel(QString(), w);
    bar.setPanelText(9, QStringLiteral("ignored"));
    int calls = 0;
    bar.onResize = [&](StatusBar &b) {
        ++calls;
        b.setPanelWidth(1, b.width() - b.panelWidth(0) - b.panelWidth(2) - b.panelWidth(3) - b.panelWidth(4)
                               - b.panelWidth(5));
    };
    bar.resize(900, 20);
    bar.show();
    QApplication::processEvents();
    EXPECT_GE(calls, 1);
    EXPECT_EQ(bar.panelWidth(1), 900 - 264);
    bar.resize(400, 20);
    QApplication::processEvents();
    EXPECT_EQ(bar.panelWidth(1), 400 - 264);
    for (int i : {0, 2, 3, 5})
        EXPECT_EQ(bar.panelWidth(i), 50);
    EXPECT_EQ(bar.panelWidth(4), 64);
    EXPECT_EQ(bar.panelText(9), QString());
    EXPECT_EQ(bar.panelRect(5).left(), 400 - 50);

    Lamp lamp;
    lamp.resize(13, 13);
    lamp.setBrushColor(QColor(0x80, 0, 0));
    const QImage img = lamp.grab().toImage();
    EXPECT_EQ(QColor(img.pixel(6, 6)), QColor(0x80, 0, 0));
}

TEST(InputMethodsTest, ListParsingAndTheIbusCommand)
{
    EXPECT_EQ(parseIbusEngineList(QStringLiteral("language: 汉语\n  pinyin - 拼音\nlanguage: English\n"
                                                 "  xkb:us::eng - English (US)\n\tdefault-engine\n"
                                                 "language: 日本語\r\n  anthy - Anthy\r\n")),
              (QStringList{"pinyin", "xkb:us::eng", "default-engine", "anthy"}));
    EXPECT_TRUE(parseIbusEngineList(QString()).isEmpty());
    EXPECT_TRUE(parseIbusEngineList(QStringLiteral("Can't connect to IBus.\n")).isEmpty());

    // A stand-in ibus: lists engines, records switches, or fails.
    const QString dir = testdb::tempDir();
    const QString script = dir + QStringLiteral("/ibus");
    const QString log = dir + QStringLiteral("/switched");
    auto writeScript = [&](const QString &body) {
        QFile s(script);
        ASSERT_TRUE(s.open(QIODevice::WriteOnly | QIODevice::Truncate));
        s.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        s.close();
        s.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    writeScript(QStringLiteral("if [ \"$1\" = list-engine ]; then printf 'language: x\\n  pinyin - P\\n  anthy - A\\n'; "
                               "else echo \"$@\" > '%1'; fi").arg(log));
    setIbusProgram(script);
    EXPECT_EQ(installedInputMethods(), (QStringList{QStringLiteral("pinyin"), QStringLiteral("anthy")}));
    switchInputMethod(QString());
    switchInputMethod(QStringLiteral("anthy"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log) && QFile(log).size() > 0, 10000);
    {
        QFile l(log);
        ASSERT_TRUE(l.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(l.readAll()).trimmed(), QStringLiteral("engine anthy"));
    }

    writeScript(QStringLiteral("echo 'Can not connect' >&2; exit 1"));
    EXPECT_TRUE(installedInputMethods().isEmpty());
    writeScript(QStringLiteral("exec sleep 30"));
    EXPECT_TRUE(installedInputMethods().isEmpty()); // gives up instead of hanging

    setIbusProgram(dir + QStringLiteral("/no-such-ibus"));
    EXPECT_TRUE(installedInputMethods().isEmpty());
    switchInputMethod(QStringLiteral("pinyin")); // nothing happens, nothing fails
    setIbusProgram(QString());
}
