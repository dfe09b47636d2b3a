// Page 0 of the main window: the day sample list, the results of its current
// sample and the host of the graph panel, with their menus and keys.
#include "app/Unit1.h"

#include "base/CustData.h"
#include "base/dates.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/statusbar.h"
#include "workstation/patient.h"
#include "workstation/samplelist.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>


namespace {

using dbui::column;

// The system colour of inactive caption text, behind the selected list row.
const QColor kInactiveCaptionText(0xD4, 0xD0, 0xC8);

} // namespace

void TForm1::buildSamplePage()
{
    patientset = new db::Dataset(this);
    patientset->setObjectName(QStringLiteral("patientset"));
    patientset->setSql(ws::patientQuery(ws::FilterAll));
    patientset->afterScroll = [this](db::Dataset &) { patientsetAfterScroll(); };
    patientset->onNewRecord = [this](db::Dataset &ds) { patientsetNewRecord(ds); };
    patientset->onPostError = [this](db::Dataset &ds, const QString &error, db::Dataset::PostAction &action) {
        patientsetPostError(ds, error, action);
    };

    testresultset = new db::Dataset(this);
    testresultset->setObjectName(QStringLiteral("testresultset"));
    testresultset->setSql(ws::testresultQuery(QString()));
    testresultset->setParams({QVariant(), QVariant()});
    testresultset->onNewRecord = [this](db::Dataset &ds) { testresultsetNewRecord(ds); };

    gresultset = new db::Dataset(this);
    gresultset->setObjectName(QStringLiteral("gresultset"));
    gresultset->setSql(ws::gresultQuery());
    gresultset->setParams({QVariant(), QVariant()});

    auto *layout = new QHBoxLayout(TabSheet1);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    QFont songti(QStringLiteral("宋体"));
    songti.setPixelSize(12);

    DBGrid1 = new DBGrid(TabSheet1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setFont(songti);
    DBGrid1->setDataset(patientset);
    DBGrid1->setColumns({column("shelfID", "样本编号", 8), column("name", "姓名", 8), column("sex", "性别", 4),
                         column("age", "年龄", 4), column("depart", "科别", 8), column("mzno", "门诊号", 8),
                         column("checkdate", "检查日期", 10), column("caseno", "病历号", 8),
                         column("bedno", "床号", 4), column("kind", "标本种类", 8), column("doctor", "送检医生", 8),
                         column("takedate", "送检日期", 10), column("taketime", "采集时间", 8),
                         column("bgtime", "报告时间", 8), column("apperance", "标本外观", 8),
                         column("diagnose", "临床诊断", 16)});
    DBGrid1->setReadOnly(true);
    DBGrid1->setRowSelect(true);
    DBGrid1->cellStyle = [this](int row, const QString &field, bool selected) {
        return DBGrid1DrawColumnCell(row, field, selected);
    };
    DBGrid1->onKeyPress = [this](QKeyEvent *e) { return DBGrid1KeyPress(e); };
    layout->addWidget(DBGrid1, 1);

    DBGrid2 = new DBGrid(TabSheet1);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setFont(songti);
    DBGrid2->setDataset(testresultset);
    DBGrid2->setColumns({column("itemid", "序号", 4), column("name", "名称", 16),
                         column("abbreviation", "缩写", 7), column("value", "测定值", 8)});
    DBGrid2->setReadOnly(true);
    DBGrid2->cellStyle = [this](int row, const QString &field, bool selected) {
        return DBGrid2DrawColumnCell(row, field, selected);
    };
    DBGrid2->onKeyDown = [this](QKeyEvent *e) { return DBGrid2KeyDown(e); };
    DBGrid2->setFixedWidth(340);
    layout->addWidget(DBGrid2);

    GraphHost = new QWidget(TabSheet1);
    GraphHost->setObjectName(QStringLiteral("GraphHost"));
    auto *graphLayout = new QVBoxLayout(GraphHost);
    graphLayout->setContentsMargins(0, 0, 0, 0);
    GraphHost->setFixedWidth(162);
    layout->addWidget(GraphHost);

    // The page and, while it shows, the page control offer the list's menu.
    TabSheet1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TabSheet1, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) {
        if (PopupMenu2)
            PopupMenu2->popup(TabSheet1->mapToGlobal(p));
    });
    connect(PageControl1, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) {
        if (PopupMenu2 && PageControl1->contextMenuPolicy() == Qt::CustomContextMenu)
            PopupMenu2->popup(PageControl1->mapToGlobal(p));
    });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) { PageControl1Enter(); });

    // The menus are built after the frame; connect once they exist.
    if (N2)
        connectSampleMenus();
    else
        QTimer::singleShot(0, this, [this]() { connectSampleMenus(); });
}

void TForm1::connectSampleMenus()
{
    if (m_sampleMenusConnected || !N2 || !PopupMenu3)
        return;
    m_sampleMenusConnected = true;
    DBGrid1->setPopupMenu(PopupMenu2);
    DBGrid2->setPopupMenu(PopupMenu3);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(N23, &QAction::triggered, this, &TForm1::N23Click);
    connect(N24, &QAction::triggered, this, &TForm1::N24Click);
    connect(N25, &QAction::triggered, this, &TForm1::N25Click);
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);
    connect(N8, &QAction::triggered, this, &TForm1::N8Click);
    connect(N17, &QAction::triggered, this, &TForm1::N17Click);
    PageControl1Enter();
}

void TForm1::samplePageShow()
{
    connectSampleMenus();
    // All samples; opening the list opens its two detail datasets.
    N25Click();
    // The current sample's results and graph data.
    if (!testresultset->isOpen())
        testresultset->open();
    if (!gresultset->isOpen())
        gresultset->open();
    // An empty day leaves nothing to type into.
    if (patientset->isEmpty())
        DBGrid2->setReadOnly(true);
}

void TForm1::redrawSampleGraphs()
{
    drawgraphic(patientset, gresultset);
}

void TForm1::patientsetAfterScroll()
{
    if (patientset->state() == db::Dataset::State::Insert)
        return;
    const QVariant id = patientset->isEmpty() ? QVariant() : QVariant(patientset->text(QStringLiteral("shelfid")));
    QString error;
    if (!ws::openSampleDetails(*testresultset, *gresultset, id, patientset->value(QStringLiteral("checkdate")),
                               patientset->text(QStringLiteral("sex")), &error)) {
        dlg::error(error, this);
        return;
    }
    redrawSampleGraphs();
}

void TForm1::patientrefresh()
{
    const QString sql = ws::patientQuery(printfilter);
    patientset->close();
    if (!sql.isEmpty())
        patientset->setSql(sql);
    if (!patientset->open()) {
        dlg::error(patientset->lastError(), this);
        return;
    }
    redrawSampleGraphs();
}

void TForm1::N23Click()
{
    printfilter = ws::FilterUnprinted;
    patientrefresh();
    StatusBar1->setPanelText(5, ws::printFilterCaption(printfilter));
}

void TForm1::N24Click()
{
    printfilter = ws::FilterPrinted;
    patientrefresh();
    StatusBar1->setPanelText(5, ws::printFilterCaption(printfilter));
}

void TForm1::N25Click()
{
    printfilter = ws::FilterAll;
    patientrefresh();
    StatusBar1->setPanelText(5, ws::printFilterCaption(printfilter));
}

CellStyle TForm1::DBGrid1DrawColumnCell(int row, const QString &, bool selected)
{
    CellStyle s;
    s.background = selected ? kInactiveCaptionText : QColor(Qt::white);
    s.foreground = ws::listTextColour(patientset->valueAt(row, QStringLiteral("printflag")));
    return s;
}

CellStyle TForm1::DBGrid2DrawColumnCell(int row, const QString &, bool)
{
    CellStyle s;
    const ws::ResultMark mark = ws::resultMark(testresultset->valueAt(row, QStringLiteral("value")).toString(),
                                               testresultset->valueAt(row, QStringLiteral("reflow")).toString(),
                                               testresultset->valueAt(row, QStringLiteral("refhigh")).toString());
    s.foreground = ws::resultTextColour(mark);
    return s;
}

bool TForm1::DBGrid1KeyPress(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        N2Click();
        return true;
    }
    return false;
}

bool TForm1::DBGrid2KeyDown(QKeyEvent *e)
{
    const int key = e->key();
    if (key == Qt::Key_Tab) {
        DBGrid1->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (key == Qt::Key_Down) {
        const int count = testresultset->recordCount();
        return count > 0 && testresultset->recNo() >= count;
    }
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool shifted = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (!enter || !shifted || DBGrid2->selectedField().compare(QStringLiteral("value"), Qt::CaseInsensitive) != 0)
        return false;

    // Enter alone is the short-cut of "增加结果"; with Shift or Ctrl it
    // recomputes the derived items of the current result.
    DBGrid2->commitEdit();
    if (!dbui::postOrReport(testresultset, this))
        return true;
    if (testresultset->isEmpty())
        return true;
    const QString shelfid = testresultset->text(QStringLiteral("shelfid"));
    const int itemid = testresultset->asInteger(QStringLiteral("itemid"));
    const QString value = testresultset->text(QStringLiteral("value"));
    calcexpression(shelfid, testresultset->value(QStringLiteral("checkdate")), itemid, value);
    if (!testresultset->requery()) {
        dlg::error(testresultset->lastError(), this);
        return true;
    }
    // Back on the same result (a re-query makes new rows, so find it by key).
    testresultset->locate(QStringLiteral("itemid"), itemid);
    return true;
}

void TForm1::calcexpression(const QString &shelfid, const QVariant &checkdate, int itemid, const QString &value)
{
    recomputeDerivedItems(shelfid, checkdate, itemid, value);
}

void TForm1::N2Click()
{
    if (frmpatient)
        frmpatient->exec();
}

void TForm1::N7Click()
{
    if (!testresultset->isOpen() || testresultset->isEmpty())
        return;
    if (!dlg::yesNo(QStringLiteral("确实要删除该结果吗？"), this))
        return;
    QString error;
    if (!ws::deleteResult(testresultset->text(QStringLiteral("shelfid")), testresultset->value(QStringLiteral("checkdate")),
                          testresultset->value(QStringLiteral("itemid")), &error)) {
        dlg::error(error, this);
        return;
    }
    if (!testresultset->requery())
        dlg::error(testresultset->lastError(), this);
}

void TForm1::N8Click()
{
    if (!patientset->isOpen() || patientset->isEmpty())
        return;
    if (patientset->text(QStringLiteral("operator")) != currentoperator()) {
        dlg::message(QStringLiteral("病人的检验者不是当前检验者，不能修改检验结果!"), this);
        return;
    }
    // The manual-entry window opens here.
    showResultInput();
}

void TForm1::N17Click()
{
    showLineJust();
}

void TForm1::PageControl1Enter()
{
    const int page = PageControl1->currentIndex();
    PageControl1->setContextMenuPolicy(page == 0 ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
    // The list's menu, and so its short-cuts, belongs to the sample page:
    // F4 on another page must not delete a sample the user cannot see.
    if (PopupMenu2) {
        QList<QAction *> keys = PopupMenu2->actions();
        if (N22)
            keys += N22->actions();
        for (QAction *a : keys) {
            if (a->isSeparator() || a->menu())
                continue;
            if (page == 0) {
                if (!actions().contains(a))
                    addAction(a);
            } else {
                removeAction(a);
            }
        }
    }
    if (page == 0) {
        redrawSampleGraphs();
    } else if (page == 1) {
        // The history search's date range starts on the work date.
        for (const char *name : {"Edit4", "Edit10"})
            if (auto *edit = findChild<QLineEdit *>(QLatin1String(name)))
                edit->setText(isoDate(workdate()));
    } else if (page == 2) {
        // The control page opens on the work date's month.
        const ws::QcPeriod period = ws::qcPeriodOf(workdate());
        if (auto *month = findChild<QComboBox *>(QStringLiteral("ComboBox3")))
            month->setEditText(QString::number(period.begin.month()));
        if (auto *year = findChild<QSpinBox *>(QStringLiteral("SpinEdit1")))
            year->setValue(period.begin.year());
        if (metaObject()->indexOfMethod("ComboBox3Click()") >= 0)
            QMetaObject::invokeMethod(this, "ComboBox3Click");
    }
}

void TForm1::testresultsetNewRecord(db::Dataset &ds)
{
    if (ds.state() != db::Dataset::State::Insert)
        return;
    ws::resultRowDefaults(ds, patientset->text(QStringLiteral("shelfid")), workdate());
}

void TForm1::patientsetNewRecord(db::Dataset &ds)
{
    const QString kind = dbdata && dbdata->kindset ? dbdata->kindset->text(QStringLiteral("name")) : QString();
    const QString state = dbdata && dbdata->apperanceset ? dbdata->apperanceset->text(QStringLiteral("name")) : QString();
    ws::listRowDefaults(ds, workdate(), currentoperator(), kind, state);
}

void TForm1::patientsetPostError(db::Dataset &, const QString &, db::Dataset::PostAction &action)
{
    // A refused row is dropped without a word.
    action = db::Dataset::PostAction::Abort;
}
