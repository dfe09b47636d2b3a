// Page 1 of the main window, "历史查询": the search of the archived samples,
// the results and graphs of the selected one, its reprint, and the menu
// entry of the workload window. Nothing here writes to the database.
#include "app/Unit1.h"

#include "base/CustData.h"
#include "base/dates.h"
#include "base/textutil.h"
#include "graphics/graphdata.h"
#include "platform/db/background.h"
#include "platform/widgets/statusbar.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/eventhook.h"
#include "platform/widgets/inputmethods.h"
#include "workstation/dayfltj.h"
#include "workstation/history.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QVBoxLayout>

#include <optional>

namespace {

using dbui::column;

bool isEnter(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

} // namespace

void TForm1::buildHistoryPage()
{
    if (Panel4)
        return;

    tmpset1 = new db::Dataset(this);
    tmpset1->setObjectName(QStringLiteral("tmpset1"));
    tmpset1->setMaxRows(600000);
    tmpset1->afterScroll = [this](db::Dataset &) { tmpset1AfterScroll(); };
    tmpset1->onNewRecord = [this](db::Dataset &ds) { tmpset1NewRecord(ds); };
    tmpset2 = new db::Dataset(this);
    tmpset2->setObjectName(QStringLiteral("tmpset2"));
    tmpset2->onNewRecord = [this](db::Dataset &ds) { tmpset2NewRecord(ds); };
    tmpset3 = new db::Dataset(this);
    tmpset3->setObjectName(QStringLiteral("tmpset3"));

    QFont songti(QStringLiteral("宋体"));
    songti.setPixelSize(12);

    auto *page = new QHBoxLayout(TabSheet2);
    page->setContentsMargins(2, 2, 2, 2);
    page->setSpacing(2);

    // Left: the search fields.
    Panel4 = new QWidget(TabSheet2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedWidth(200);
    auto *fields = new QGridLayout(Panel4);
    auto *heading = new QLabel(QStringLiteral("请输入查询内容："), Panel4);
    fields->addWidget(heading, 0, 0, 1, 2);
    int row = 1;
    auto addField = [&](const char *caption, QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        fields->addWidget(new QLabel(QString::fromUtf8(caption), Panel4), row, 0);
        fields->addWidget(w, row, 1);
        ++row;
    };
    Edit1 = new QLineEdit(Panel4);
    addField("姓    名", Edit1, "Edit1");
    Edit2 = new QLineEdit(Panel4);
    addField("住 院 号", Edit2, "Edit2");
    Edit3 = new QLineEdit(Panel4);
    addField("门 诊 号", Edit3, "Edit3");
    ComboBox1 = new QComboBox(Panel4);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems({QStringLiteral("男"), QStringLiteral("女")});
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QString());
    addField("性    别", ComboBox1, "ComboBox1");
    ComboBox2 = new QComboBox(Panel4);
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    addField("科    别", ComboBox2, "ComboBox2");
    Edit4 = new QLineEdit(Panel4);
    addField("起始日期", Edit4, "Edit4");
    Edit10 = new QLineEdit(Panel4);
    addField("终止日期", Edit10, "Edit10");
    Button3 = new QPushButton(QStringLiteral("查  询"), Panel4);
    Button3->setObjectName(QStringLiteral("Button3"));
    fields->addWidget(Button3, row++, 0, 1, 2);
    Button4 = new QPushButton(QStringLiteral("打  印"), Panel4);
    Button4->setObjectName(QStringLiteral("Button4"));
    fields->addWidget(Button4, row++, 0, 1, 2);
    fields->setRowStretch(row, 1);
    page->addWidget(Panel4);

    // Right: samples found | their results, and the graphs of the selected one.
    Panel5 = new QWidget(TabSheet2);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    auto *right = new QHBoxLayout(Panel5);
    right->setContentsMargins(0, 0, 0, 0);
    auto *splitter = new QSplitter(Qt::Horizontal, Panel5);
    splitter->setObjectName(QStringLiteral("Splitter2"));

    DBGrid10 = new DBGrid(splitter);
    DBGrid10->setObjectName(QStringLiteral("DBGrid10"));
    DBGrid10->setFont(songti);
    DBGrid10->setDataset(tmpset1);
    DBGrid10->setColumns({column("checkdate", "检查日期", 10), column("shelfid", "样本编号", 8),
                          column("name", "姓名", 8), column("sex", "性别", 4), column("age", "年龄", 4),
                          column("caseno", "病历号", 8), column("depart", "科别", 8),
                          column("mzno", "门诊号", 8), column("takedate", "收检日期", 10),
                          column("taketime", "收检时间", 8), column("bgtime", "报告时间", 8)});
    DBGrid10->setReadOnly(true);
    DBGrid10->setRowSelect(true);
    DBGrid10->onKeyDown = [this](QKeyEvent *e) { return DBGrid10KeyDown(e); };

    DBGrid11 = new DBGrid(splitter);
    DBGrid11->setObjectName(QStringLiteral("DBGrid11"));
    DBGrid11->setFont(songti);
    DBGrid11->setDataset(tmpset2);
    DBGrid11->setColumns({column("name", "名称", 16), column("abbreviation", "缩写", 10),
                          column("value", "结果", 8)});
    DBGrid11->setReadOnly(true);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    right->addWidget(splitter, 1);

    page->addWidget(Panel5, 1);

    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    EventHook::on(Edit1)->onFocusIn = [this] { Edit1Enter(); };
    // Keys typed on the box come to the box itself, which hands them to its
    // line edit unfiltered; an Enter sent to the line edit is ignored there
    // and comes up to the box. Hooking the box alone sees every Enter once.
    EventHook::on(ComboBox2)->onKey = [this](QKeyEvent *e) { return ComboBox2KeyPress(e); };

    if (N27)
        connect(N27, &QAction::triggered, this, &TForm1::N27Click, Qt::UniqueConnection);

    // Until the first search the result sets are open and empty.
    findresult(QVariant(), QVariant());
}

void TForm1::historyPageShow()
{
    buildHistoryPage();
    if (N27)
        connect(N27, &QAction::triggered, this, &TForm1::N27Click, Qt::UniqueConnection);
    // The names from the department list's current row to its end, without
    // moving that list (the settings page shows it).
    const QString typed = ComboBox2->currentText();
    ComboBox2->clear();
    db::Dataset *departs = dbdata ? dbdata->departset : nullptr;
    if (departs && departs->isOpen() && !departs->isEmpty())
        for (int r = departs->currentRow(); r < departs->recordCount(); ++r)
            ComboBox2->addItem(departs->valueAt(r, QStringLiteral("name")).toString());
    ComboBox2->setCurrentIndex(-1);
    ComboBox2->setEditText(typed);
}

void TForm1::Button3Click()
{
    if (db::backgroundBusy())
        return;
    auto trimBack = [](QLineEdit *e) {
        e->setText(trimCtl(e->text()));
        return e->text();
    };
    ws::HistoryFilter f;
    f.name = trimBack(Edit1);
    f.caseno = trimBack(Edit2);
    f.mzno = trimBack(Edit3);
    trimBack(Edit4);
    trimBack(Edit10);
    for (QLineEdit *e : {Edit4, Edit10}) {
        const std::optional<QDate> d = ws::parseTypedDate(e->text());
        if (!d) {
            // The previous result stays on the page.
            dlg::error(ws::invalidDateMessage(e->text()), this);
            return;
        }
        e->setText(isoDate(*d));
        (e == Edit4 ? f.first : f.last) = *d;
    }
    for (QComboBox *c : {ComboBox1, ComboBox2})
        c->setEditText(trimCtl(c->currentText()));
    f.sex = ComboBox1->currentText();
    f.depart = ComboBox2->currentText();

    // Years of archive take a while to search: the search runs beside the
    // window, which keeps painting and shows what it is doing, and the
    // button stays off until the answer is in.
    QVector<qint64> keys;
    QString error;
    const QString statusBefore = StatusBar1 ? StatusBar1->panelText(1) : QString();
    bool slow = false;
    Button3->setEnabled(false);
    const bool found = db::runInBackground(
        [&f, &keys](QSqlDatabase d, QString *e) { return ws::findHistory(d, f, &keys, e); }, &error,
        [this, &slow]() {
            slow = true;
            if (StatusBar1)
                StatusBar1->setPanelText(1, QStringLiteral("正在查询，请稍候......"));
        });
    Button3->setEnabled(true);
    if (slow && StatusBar1)
        StatusBar1->setPanelText(1, statusBefore);
    tmpset1->close();
    // Opening moves to the first row, whose results the after-scroll loads;
    // a search that finds nothing empties the results and graphs with it.
    if (!found || !tmpset1->openRows(QStringLiteral("histpatient"), ws::historyColumns(), keys)) {
        dlg::error(found ? tmpset1->lastError() : error, this);
        findresult(QVariant(), QVariant());
    }
}

void TForm1::findresult(const QVariant &sample, const QVariant &day)
{
    // A null sample matches nothing: the results become empty.
    if (!tmpset2->open(ws::historyResultsSql(), {sample, day}))
        dlg::error(tmpset2->lastError(), this);
}

void TForm1::tmpset1AfterScroll()
{
    if (tmpset1->state() == db::Dataset::State::Insert)
        return;
    // The selected row's results, also after a Down on the last row (the
    // cursor stays on that row and so must its results).
    if (tmpset1->isOpen() && !tmpset1->isEmpty())
        findresult(tmpset1->text(QStringLiteral("shelfid")), tmpset1->text(QStringLiteral("checkdate")));
    else
        findresult(QVariant(), QVariant());
}

void TForm1::Button4Click()
{
    if (!tmpset1->isOpen() || tmpset1->isEmpty() || tmpset2->recordCount() < 1)
        return;
    // The grids do not repaint while the reprint moves their datasets.
    QList<QWidget *> frozen;
    for (QWidget *w : {static_cast<QWidget *>(DBGrid10), static_cast<QWidget *>(DBGrid11)})
        if (w->updatesEnabled()) {
            w->setUpdatesEnabled(false);
            frozen.append(w);
        }
    auto thaw = [&frozen] {
        for (QWidget *w : frozen)
            w->setUpdatesEnabled(true);
        frozen.clear();
    };
    const auto thawAtEnd = qScopeGuard(thaw);
    const QVariantList key{tmpset1->text(QStringLiteral("shelfid")), tmpset1->text(QStringLiteral("checkdate"))};
    for (db::Dataset *ds : {tmpset3, ADODataSet4}) {
        if (!ds->open(ds == tmpset3 ? ws::historyGraphSql() : ws::historyPrintRowsSql(), key)) {
            // The grids paint again before the error is shown.
            thaw();
            dlg::error(ds->lastError(), this);
            return;
        }
    }
    // The archived graphs go into the sample page's pictures, which the
    // report copies; they stay there until the sample list moves.
    drawgraphic(tmpset1, tmpset3);
    tmpset2->first();
    // Reprinting stamps nothing: resultprint only prints.
    resultprint(tmpset1, ADODataSet4, tmpset3);
}

void TForm1::Edit1Enter()
{
    if (ComboBox5)
        switchInputMethod(ComboBox5->currentText());
}

bool TForm1::ComboBox2KeyPress(QKeyEvent *e)
{
    if (!isEnter(e))
        return false;
    QStringList entries;
    for (int i = 0; i < ComboBox2->count(); ++i)
        entries.append(ComboBox2->itemText(i));
    QString result, error;
    if (!ws::departmentOnEnter(ComboBox2->currentText(), entries, &result, &error)) {
        dlg::error(error, this);
        return false;
    }
    ComboBox2->setEditText(result);
    return false;
}

bool TForm1::DBGrid10KeyDown(QKeyEvent *)
{
    if (tmpset1->state() == db::Dataset::State::Insert || tmpset1->state() == db::Dataset::State::Edit)
        tmpset1->cancel();
    return false;
}

void TForm1::tmpset1NewRecord(db::Dataset &ds)
{
    ds.cancel();
}

void TForm1::tmpset2NewRecord(db::Dataset &ds)
{
    ds.cancel();
}

void TForm1::N27Click()
{
    workloadWindow()->exec();
}
