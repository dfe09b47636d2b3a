// The data-aware widgets against a real database file: edits written on
// leaving the row, the navigator and the input-method list (refused rows are
// met in the settings grids, the grid following its dataset in the sample
// list and history windows).
#include "common/dialogscript.h"
#include "common/testdb.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dbnavigator.h"
#include "platform/widgets/inputmethods.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The numbers in the table, in order.
QString numbers()
{
    return db::scalar(QStringLiteral("SELECT group_concat(no, ' ') FROM (SELECT no FROM wtest ORDER BY no)")).toString();
}

QString nameOf(int no) { return db::scalar(QStringLiteral("SELECT name FROM wtest WHERE no = ?"), {no}).toString(); }

// A table of our own shown in a grid.
struct Fixture
{
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    db::Dataset *ds = new db::Dataset(window.get());
    DBGrid *grid = new DBGrid(window.get());

    explicit Fixture(int rows = 5)
    {
        testdb::fresh(false);
        EXPECT_TRUE(db::exec(QStringLiteral("CREATE TABLE wtest (no INTEGER UNIQUE, name TEXT, secret TEXT)")));
        for (int i = 1; i <= rows; ++i)
            EXPECT_TRUE(db::exec(QStringLiteral("INSERT INTO wtest (no, name, secret) VALUES (?, ?, 'x')"),
                                 {i, QStringLiteral("名%1").arg(i)}));
        ds->setSql(QStringLiteral("SELECT * FROM wtest ORDER BY no"));
        ds->setUpdateTable(QStringLiteral("wtest"));
        ds->setFieldDefs({{QStringLiteral("no"), QStringLiteral("编号"), 6},
                          {QStringLiteral("name"), QStringLiteral("姓名"), 12},
                          {QStringLiteral("secret"), QString(), 0, false, false}});
        grid->setGeometry(0, 0, 500, 400);
        grid->setDataset(ds);
        EXPECT_TRUE(ds->open());
        window->resize(500, 400);
        window->show();
        QApplication::processEvents();
    }

    void clickRow(int row, int col = 0)
    {
        const QPoint at = grid->visualRect(grid->model()->index(row, col)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
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
    // Opens the cell editor on (row, col) and commits the text into it as an
    // input method does (Chinese cannot be typed as keys).
    QLineEdit *typeInto(int row, int col, const QString &text)
    {
        const QModelIndex idx = grid->model()->index(row, col);
        grid->setCurrentIndex(idx);
        grid->edit(idx);
        QLineEdit *ed = openEditor();
        if (ed) {
            ed->selectAll();
            QInputMethodEvent e;
            e.setCommitString(text);
            QApplication::sendEvent(ed, &e);
        }
        return ed;
    }
};

} // namespace

// Enter in the editor is met through the settings grids of the main window.
TEST(DBGridTest, EditsAreWrittenOnLeavingTheRow)
{
    Fixture f;
    DialogScript dialogs;

    // Typing and clicking another row: the row is posted before the move.
    ASSERT_NE(f.typeInto(1, 1, QStringLiteral("李四")), nullptr);
    const QString typed = nameOf(2);
    f.clickRow(3);
    EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(typed, nameOf(2)).arg(f.ds->recNo()), QStringLiteral("名2 李四 4"));

    // The same with the keyboard: Down in the open editor leaves the row.
    ASSERT_NE(f.typeInto(3, 1, QStringLiteral("赵六")), nullptr);
    QTest::keyClick(f.openEditor(), Qt::Key_Down);
    EXPECT_EQ(QStringLiteral("%1 %2").arg(nameOf(4)).arg(f.ds->recNo()), QStringLiteral("赵六 5"));
    f.ds->setRecNo(4);

    // Esc in the grid cancels a pending change of the row.
    f.ds->setValue(QStringLiteral("name"), QStringLiteral("王五"));
    QTest::keyClick(f.grid, Qt::Key_Escape);
    EXPECT_EQ(QStringLiteral("%1 %2 %3 %4").arg(int(f.ds->state())).arg(f.ds->text(QStringLiteral("name")), nameOf(4))
                  .arg(dialogs.shown.size()), QStringLiteral("1 赵六 赵六 0"));
}

// Posting the grid's open editor is met through the settings grids.
TEST(DBNavigatorTest, DeleteAsks)
{
    Fixture f(3);
    DialogScript dialogs;
    DBNavigator nav;
    nav.setDataset(f.ds);
    // Cancel keeps the row, OK deletes it.
    f.ds->locate(QStringLiteral("no"), 2);
    dialogs.answer(false);
    nav.click(DBNavigator::Delete);
    ASSERT_EQ(dialogs.shown, QStringList{QStringLiteral("删除记录吗？")});
    EXPECT_EQ(dialogs.kinds.front(), dlg::Kind::OkCancel);
    const QString kept = numbers();
    dialogs.answer(true);
    nav.click(DBNavigator::Delete);
    EXPECT_EQ(kept + "/" + numbers() + "/" + QString::number(f.grid->model()->rowCount()), QStringLiteral("1 2 3/1 3/2"));
    EXPECT_EQ(f.grid->currentIndex().row(), f.ds->currentRow());
}

// The moving buttons, clicked: on the last row Next and Last are off, on the
// first First and Prior.
TEST(DBNavigatorTest, MovingButtonsAreOffAtEitherEnd)
{
    Fixture f(3);
    auto *nav = new DBNavigator(f.window.get());
    nav->setDataset(f.ds);
    nav->move(0, 360);
    nav->show();
    QApplication::processEvents();
    const auto state = [&] {
        QString s = QString::number(f.ds->recNo()) + ' ';
        for (auto b : {DBNavigator::First, DBNavigator::Prior, DBNavigator::Next, DBNavigator::Last})
            s += nav->button(b)->isEnabled() ? '1' : '0';
        return s.toStdString();
    };
    const auto click = [&](DBNavigator::Button b) {
        QTest::mouseClick(nav->button(b), Qt::LeftButton);
        QApplication::processEvents();
        return state();
    };
    EXPECT_EQ(state(), "1 0011");
    EXPECT_EQ(click(DBNavigator::Last), "3 1100");
    EXPECT_EQ(click(DBNavigator::Prior), "2 1111");
    EXPECT_EQ(click(DBNavigator::Next), "3 1100");
    EXPECT_EQ(click(DBNavigator::First), "1 0011");
}

TEST(InputMethodsTest, EngineNamesAreReadFromTheListing)
{
    EXPECT_EQ(parseIbusEngineList(QStringLiteral("language: 汉语\n  pinyin - 拼音\nlanguage: English\n"
                                                 "  xkb:us::eng - English (US)\n\tdefault-engine\n"
                                                 "language: 日本語\r\n  anthy - Anthy\r\n")),
              (QStringList{"pinyin", "xkb:us::eng", "default-engine", "anthy"}));
    EXPECT_TRUE(parseIbusEngineList(QStringLiteral("Can't connect to IBus.\n")).isEmpty());
}
