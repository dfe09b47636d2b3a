// The control page of the main window and the control handlers of the
// sample list's pop-up menu.
#include "base/CustData.h"
#include "app/Unit1.h"
#include "app/form1/print.h"
#include "base/currency.h"
#include "base/dates.h"
#include "base/fieldcheck.h"
#include "base/textutil.h"
#include "platform/report/printing.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/eventhook.h"
#include "qc/qcchartview.h"
#include "qc/qclogic.h"
#include "qc/qcnamesel.h"
#include "qc/qcreport.h"
#include "qc/qcvalueinput.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

bool isEnter(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

const QStringList Targets{QStringLiteral("xb1"), QStringLiteral("s1"), QStringLiteral("xb2"),
                          QStringLiteral("s2"), QStringLiteral("xb3"), QStringLiteral("s3")};

} // namespace

void TForm1::buildQcPage()
{
    if (SpinEdit1)
        return;
    db::Dataset *targets = dbdata->qcparaset;
    db::Dataset *values = dbdata->qcdataset;
    auto fd = [](const char *name, const char *label, bool ro = false, db::FieldDef::Check check = {}) {
        db::FieldDef d;
        d.name = QLatin1String(name);
        d.label = QString::fromUtf8(label);
        d.readOnly = ro;
        d.check = std::move(check);
        return d;
    };
    const db::FieldDef::Check mean = fieldcheck::currency;
    const db::FieldDef::Check sd = qc::checkTargetSd;
    const db::FieldDef::Check lot = fieldcheck::text(20);
    // The item number ties the targets to the catalogue, so it is shown, not edited.
    targets->setFieldDefs({fd("itemno", "序号", true), fd("name", "名称", true), fd("abbreviation", "缩写", true),
                           fd("xb1", "平均值1", false, mean), fd("s1", "标准差1", false, sd),
                           fd("batchno1", "批号1", false, lot), fd("xb2", "平均值2", false, mean),
                           fd("s2", "标准差2", false, sd), fd("batchno2", "批号2", false, lot),
                           fd("xb3", "平均值3", false, mean), fd("s3", "标准差3", false, sd),
                           fd("batchno3", "批号3", false, lot)});
    targets->beforePost = [this](db::Dataset &ds) { return qcparasetBeforePost(ds); };
    targets->onPostError = [this](db::Dataset &ds, const QString &e, db::Dataset::PostAction &a) {
        qcparasetPostError(ds, e, a);
    };
    values->onNewRecord = [this](db::Dataset &ds) { qcdatasetNewRecord(ds); };
    values->beforePost = [this](db::Dataset &ds) { return qcdatasetBeforePost(ds); };
    values->onPostError = [this](db::Dataset &ds, const QString &e, db::Dataset::PostAction &a) {
        qcdatasetPostError(ds, e, a);
    };

    auto *page = new QHBoxLayout(TabSheet3);
    page->setContentsMargins(2, 2, 2, 2);
    page->setSpacing(2);

    // Left panel: choices, statistics, values, print button.
    auto *left = new QWidget(TabSheet3);
    left->setObjectName(QStringLiteral("Panel5"));
    left->setFixedWidth(187);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(2, 2, 2, 2);
    auto *frame = new QGroupBox(left);
    auto *grid = new QGridLayout(frame);
    SpinEdit1 = new QSpinBox(frame);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(-999999, 999999);
    SpinEdit1->setValue(2001);
    SpinEdit1->setContextMenuPolicy(Qt::NoContextMenu);
    ComboBox3 = new QComboBox(frame);
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    ComboBox3->setEditable(true);
    for (int m = 1; m <= 12; ++m)
        ComboBox3->addItem(QString::number(m));
    ComboBox3->setMaxVisibleItems(12);
    // A typed month takes effect with the next change of the year; Enter
    // must not add it to the list of months.
    ComboBox3->setInsertPolicy(QComboBox::NoInsert);
    Edit5 = new QLineEdit(frame);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    ComboBox4 = new QComboBox(frame);
    ComboBox4->setObjectName(QStringLiteral("ComboBox4"));
    ComboBox4->addItems({QStringLiteral("质控图1"), QStringLiteral("质控图2"), QStringLiteral("质控图3")});
    ComboBox4->setCurrentIndex(0);
    grid->addWidget(new QLabel(QStringLiteral("年度"), frame), 0, 0);
    grid->addWidget(SpinEdit1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("月份"), frame), 1, 0);
    grid->addWidget(ComboBox3, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("批号"), frame), 2, 0);
    grid->addWidget(Edit5, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("质控图"), frame), 3, 0);
    grid->addWidget(ComboBox4, 3, 1);
    leftLayout->addWidget(frame);
    Label11 = new QLabel(QStringLiteral("质控值："), left);
    Label11->setObjectName(QStringLiteral("Label11"));
    Label17 = new QLabel(qc::emptyStatsText(), left);
    Label17->setObjectName(QStringLiteral("Label17"));
    leftLayout->addWidget(Label11);
    leftLayout->addWidget(Label17);
    DBGrid13 = new DBGrid(left);
    DBGrid13->setObjectName(QStringLiteral("DBGrid13"));
    DBGrid13->setDataset(values);
    DBGrid13->setReadOnly(true);
    DBGrid13->setRowSelect(true);
    DBGrid13->setPopupMenu(PopupMenu4);
    leftLayout->addWidget(DBGrid13, 1);
    Button1 = new QPushButton(QStringLiteral("质控打印"), left);
    Button1->setObjectName(QStringLiteral("Button1"));
    leftLayout->addWidget(Button1);
    page->addWidget(left);

    // Right: heading, targets grid, splitter, chart.
    auto *right = new QWidget(TabSheet3);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    Label10 = new QLabel(QStringLiteral("质控指标（靶值、标准差）"), right);
    Label10->setObjectName(QStringLiteral("Label10"));
    rightLayout->addWidget(Label10);
    auto *splitter = new QSplitter(Qt::Vertical, right);
    DBGrid12 = new DBGrid(splitter);
    DBGrid12->setObjectName(QStringLiteral("DBGrid12"));
    DBGrid12->setDataset(targets);
    const int widths[] = {34, 93, 54, 56, 52, 81, 56, 57, 82, 52, 49, 87};
    for (int i = 0; i < 12; ++i)
        DBGrid12->setColumnWidth(i, widths[i]);
    DBGrid12->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBChart1 = new QcChartView(splitter);
    DBChart1->setObjectName(QStringLiteral("DBChart1"));
    DBChart1->setMinimumHeight(120);
    splitter->addWidget(DBGrid12);
    splitter->addWidget(DBChart1);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({200, 262});
    rightLayout->addWidget(splitter, 1);
    page->addWidget(right, 1);

    PopupMenu1 = new QMenu(this);
    N1X1 = PopupMenu1->addAction(QStringLiteral("1X"));
    N2X1 = PopupMenu1->addAction(QStringLiteral("2X"));
    N3X1 = PopupMenu1->addAction(QStringLiteral("3X"));
    DBGrid12->setPopupMenu(PopupMenu1);
    connect(N1X1, &QAction::triggered, this, &TForm1::N1X1Click);
    connect(N2X1, &QAction::triggered, this, &TForm1::N2X1Click);
    connect(N3X1, &QAction::triggered, this, &TForm1::N3X1Click);

    // Handlers.
    connect(SpinEdit1, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int) { ComboBox3Click(); });
    connect(ComboBox3, QOverload<int>::of(&QComboBox::activated), this, [this](int) { ComboBox3Click(); });
    connect(ComboBox4, QOverload<int>::of(&QComboBox::activated), this, [this](int) { ComboBox4Click(); });
    // Targets still being typed belong to the month and material shown:
    // however the choice is about to change, they are stored first.
    DBGrid12->guardControls({SpinEdit1, ComboBox3, ComboBox4, ComboBox3->view()->viewport(),
                             ComboBox4->view()->viewport()});
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    EventHook *spinHook = EventHook::on(SpinEdit1);
    spinHook->onKey = [this](QKeyEvent *e) { return SpinEdit1KeyPress(e); };
    spinHook->onFocusOut = [this] { SpinEdit1Exit(); };
    EventHook::on(Edit5)->onKey = [this](QKeyEvent *e) { return Edit5KeyDown(e); };
    // Enter in a cell editor reaches the grid too, once the cell is written.
    DBGrid12->onKeyPress = [this](QKeyEvent *e) { return DBGrid12KeyPress(e); };
    connect(DBGrid12, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &) { DBGrid12DblClick(); });

    if (!m_qcMenusConnected) {
        m_qcMenusConnected = true;
        connect(N14, &QAction::triggered, this, &TForm1::N14Click);
        connect(N15, &QAction::triggered, this, &TForm1::N15Click);
        connect(N16, &QAction::triggered, this, &TForm1::N16Click);
        connect(N1, &QAction::triggered, this, &TForm1::N1Click);
        connect(N21, &QAction::triggered, this, &TForm1::N21Click);
    }
}

// ---- month, material, lot -------------------------------------------------

void TForm1::ComboBox3Click()
{
    if (!SpinEdit1)
        return;
    const std::optional<int> month = parseWholeNumber(ComboBox3->currentText());
    if (!month || *month < 1 || *month > 12) {
        dlg::error(QStringLiteral("'%1' 不是有效的月份").arg(ComboBox3->currentText()), this);
        return;
    }
    const int year = SpinEdit1->value();
    const qc::Period period = qc::monthPeriod(year, *month);
    if (!period.begin.isValid()) {
        dlg::error(QStringLiteral("'%1' 不是有效的年份").arg(year), this);
        return;
    }
    db::Dataset *targets = dbdata->qcparaset;
    // Targets still being typed belong to the month shown: until they are
    // stored, that month stays, in the boxes as in the grid and the chart.
    if (!DBGrid12->commitEdit() || !dbui::postOrReport(targets, this)) {
        if (qcbegin.isValid()) {
            const QSignalBlocker blockMonth(ComboBox3);
            const QSignalBlocker blockYear(SpinEdit1);
            ComboBox3->setCurrentIndex(qcbegin.month() - 1);
            ComboBox3->setEditText(QString::number(qcbegin.month()));
            SpinEdit1->setValue(qcbegin.year());
        }
        return;
    }
    qcbegin = period.begin;
    qcend = period.end;
    QString error;
    bool created = false;
    if (!qc::setupMonth(year, *month, &created, &error)) {
        dlg::error(error, this);
        return;
    }
    targets->close();
    targets->setSql(qc::targetQuery());
    targets->setParams({year, *month});
    if (!targets->open()) {
        dlg::error(targets->lastError(), this);
        return;
    }
    ComboBox4Click();
}

void TForm1::SpinEdit1Exit()
{
    if (SpinEdit1 && SpinEdit1->value() < 1900)
        SpinEdit1->setValue(1900);
}

bool TForm1::SpinEdit1KeyPress(QKeyEvent *e)
{
    // The year changes only through the spin buttons and the arrow keys: an
    // edited text (Delete, paste, a page step) would set up every year it
    // passes through, "2024" -> "024" -> "24".
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
        return false;
    default:
        return true;
    }
}

void TForm1::ComboBox4Click()
{
    const int level = qc::levelOfChartName(ComboBox4->currentText());
    if (level != 0)
        qclevel = level;
    DBGrid12KeyPress(nullptr);
}

bool TForm1::Edit5KeyDown(QKeyEvent *e)
{
    if (!isEnter(e) || Edit5->text().trimmed().isEmpty())
        return false;
    db::Dataset *targets = dbdata->qcparaset;
    if (!targets->isOpen() || targets->isEmpty() || qclevel < 1)
        return false;
    if (!DBGrid12->commitEdit() || !dbui::postOrReport(targets, this))
        return true;
    QString error;
    if (!qc::applyLot(qcbegin.year(), qcbegin.month(), qclevel, Edit5->text(), &error)) {
        dlg::error(error, this);
        return true;
    }
    if (!targets->requery())
        dlg::error(targets->lastError(), this);
    return true;
}

void TForm1::qcparasetPostError(db::Dataset &, const QString &, db::Dataset::PostAction &action)
{
    if (action == db::Dataset::PostAction::Fail)
        action = db::Dataset::PostAction::Abort;
}

bool TForm1::qcparasetBeforePost(db::Dataset &)
{
    // Each target cell is checked as it is typed (a refused cell keeps its
    // old value and the rest of the row stays); the row itself may go.
    return true;
}

// ---- values and chart -----------------------------------------------------

void TForm1::loadQcValues()
{
    db::Dataset *values = dbdata->qcdataset;
    db::Dataset *targets = dbdata->qcparaset;
    const int level = qclevel >= 1 && qclevel <= 3 ? qclevel : 1;
    const QString valueField = QStringLiteral("value%1").arg(level);
    db::FieldDef date;
    date.name = QStringLiteral("qcdate");
    date.label = QStringLiteral("日期");
    date.width = 10;
    db::FieldDef value;
    value.name = valueField;
    value.label = QStringLiteral("测定结果");
    value.width = 5;
    values->close();
    values->setFieldDefs({date, value});
    values->setSql(qc::valueQuery(level));
    values->setParams({isoDate(qcbegin), isoDate(qcend),
                       targets->isOpen() && !targets->isEmpty() ? targets->value(QStringLiteral("itemno")) : QVariant()});
    if (!values->open())
        dlg::error(values->lastError(), this);
    DBGrid13->setColumns({date, value});
    DBGrid13->applyColumnWidths();
    // A proportional font's average character is narrower than a digit.
    DBGrid13->resizeColumnToContents(0);
}

void TForm1::DBGrid12DblClick()
{
    loadQcValues();
}

void TForm1::requeryTargetsKeepingRow()
{
    db::Dataset *targets = dbdata->qcparaset;
    if (!targets->isOpen())
        return;
    if (!DBGrid12->commitEdit() || !dbui::postOrReport(targets, this))
        return;
    const QVariant item = targets->isEmpty() ? QVariant() : targets->value(QStringLiteral("itemno"));
    const int recNo = targets->recNo();
    if (!targets->requery()) {
        dlg::error(targets->lastError(), this);
        return;
    }
    if (item.isValid() && !targets->locate(QStringLiteral("itemno"), item))
        targets->setRecNo(qMin(recNo, targets->recordCount()));
}

void TForm1::clearQcChart()
{
    qc::ChartModel &chart = DBChart1->model();
    qc::clearLimitLines(chart);
    chart.get(QStringLiteral("LineSeries1")).clear();
    Label17->setText(qc::emptyStatsText());
    DBChart1->update();
}

bool TForm1::DBGrid12KeyPress(QKeyEvent *e)
{
    if (e && !isEnter(e))
        return false;
    db::Dataset *targets = dbdata->qcparaset;
    if (!targets->isOpen())
        return false;
    if (e)
        DBGrid12->commitEdit();
    loadQcValues();
    requeryTargetsKeepingRow();
    DBChart1->model().title = QStringList{qc::chartTitle(SpinEdit1->text(), ComboBox3->currentText(),
                                                         targets->text(QStringLiteral("abbreviation")))};
    const QString xb = QStringLiteral("xb%1").arg(qclevel);
    const QString s = QStringLiteral("s%1").arg(qclevel);
    if (!targets->isEmpty() && !targets->isNull(xb) && !targets->isNull(s)) {
        drawqchline(targets->asFloat(xb), targets->asFloat(s));
        drawqcdot();
    } else {
        // Another item's lines and points under this item's title would be
        // read (and printed) as this item's chart.
        clearQcChart();
    }
    DBChart1->update();
    return false; // the grid goes on with the key
}

void TForm1::drawqchline(double mean, double sd)
{
    qc::drawLimitLines(DBChart1->model(), mean, sd, int(qcbegin.daysTo(qcend)));
    DBChart1->update();
}

void TForm1::drawqcdot()
{
    qc::ChartModel &chart = DBChart1->model();
    qc::ChartSeries &points = chart.get(QStringLiteral("LineSeries1"));
    points.clear();
    db::Dataset *values = dbdata->qcdataset;
    const QString valueField = QStringLiteral("value%1").arg(qclevel);
    QVector<QString> texts;
    if (values->isOpen() && values->hasField(valueField)) {
        texts.reserve(values->recordCount());
        for (int i = 0; i < values->recordCount(); ++i) {
            const QString v = values->valueAt(i, valueField).toString();
            if (v.isEmpty() || !isnum(v))
                continue;
            const QDate day = QDate::fromString(values->valueAt(i, QStringLiteral("qcdate")).toString(),
                                                QStringLiteral("yyyy-MM-dd"));
            if (!day.isValid())
                continue;
            points.addXY(day.day(), qc::numberOf(v));
            texts.append(v);
        }
    }
    const qc::Stats st = qc::statistics(texts);
    Label17->setText(st.count > 1 ? qc::statsText(st) : qc::emptyStatsText());
    DBChart1->update();
}

// ---- naming samples, capture ----------------------------------------------

void TForm1::N15Click()
{
    if (!patientset || !patientset->isOpen() || patientset->isEmpty() || patientset->eof()) {
        dlg::message(QStringLiteral("没有标本可选！"), this);
        return;
    }
    if (!frmqcnamesel)
        frmqcnamesel = new Tfrmqcnamesel(this);
    // Esc leaves the sample's name as it was.
    if (frmqcnamesel->exec() != QDialog::Accepted)
        return;
    nameCurrentSample(frmqcnamesel->qcname());
}

void TForm1::nameCurrentSample(const QString &name)
{
    QString error;
    if (!qc::nameSample(patientset->value(QStringLiteral("shelfid")), patientset->value(QStringLiteral("checkdate")),
                        name, &error)) {
        dlg::error(error, this);
        return;
    }
    // The list is read-only: the row only takes the stored name to show it.
    if (!patientset->setValue(QStringLiteral("name"), name) || !patientset->post()) {
        error = patientset->lastError();
        patientset->cancel();
        dlg::error(error, this);
    }
}

void TForm1::N16Click()
{
    if (!patientset || !patientset->isOpen() || patientset->isEmpty() || patientset->eof())
        return;
    if (qc::levelOfControlName(patientset->text(QStringLiteral("name"))) == 0)
        return;
    nameCurrentSample(QString());
}

void TForm1::N14Click()
{
    QVector<QVariantList> rows;
    QStringList columns;
    QString error;
    if (!db::select(qc::captureQuery(), {QStringLiteral("质控品%")}, &rows, &error, &columns)) {
        dlg::error(error, this);
        return;
    }
    db::Dataset *temp = dbdata->qctemp;
    temp->assign(columns, rows);
    if (temp->isEmpty()) {
        dlg::message(QStringLiteral("没有选定质控品,请选定"), this);
        return;
    }
    if (!qc::storeCaptured(*temp, nullptr, &error)) {
        dlg::error(error, this);
        return;
    }
    // The values grid shows the item of the page again, not a capture row.
    if (DBGrid12 && dbdata->qcparaset->isOpen())
        loadQcValues();
    dlg::message(QStringLiteral("质控品已入库"), this);
}

// ---- correction and deletion ----------------------------------------------

void TForm1::N1Click()
{
    db::Dataset *targets = dbdata->qcparaset;
    if (!targets->isOpen() || targets->isEmpty())
        return;
    if (!frmqcvalueinput)
        frmqcvalueinput = new Tfrmqcvalueinput(this);
    attachDialogs();
    frmqcvalueinput->show();
    frmqcvalueinput->raise();
    frmqcvalueinput->activateWindow();
}

bool TForm1::storeQcCorrection(const QString &dayText, const QString &value)
{
    const QDate day = parseUserDate(QString::number(SpinEdit1->value()) + QLatin1Char('-') + ComboBox3->currentText()
                                    + QLatin1Char('-') + dayText);
    if (!day.isValid() || dayText.trimmed().isEmpty())
        return false;
    db::Dataset *targets = dbdata->qcparaset;
    if (!targets->isOpen() || targets->isEmpty())
        return true;
    QString error;
    bool stored = false;
    if (!qc::storeValue(day, targets->asInteger(QStringLiteral("itemno")), qclevel, value, &stored, &error)) {
        dlg::error(error, this);
        return true;
    }
    loadQcValues();
    drawqcdot();
    return true;
}

void TForm1::N21Click()
{
    db::Dataset *values = dbdata->qcdataset;
    if (!values->isOpen() || values->isEmpty())
        return;
    const QDate day = QDate::fromString(values->text(QStringLiteral("qcdate")), QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid() || !values->hasField(QStringLiteral("itemid")))
        return;
    if (!dlg::yesNo(QStringLiteral("确实要删除该质控值吗？"), this))
        return;
    QString error;
    if (!qc::deleteValue(day, values->asInteger(QStringLiteral("itemid")), qclevel, &error)) {
        dlg::error(error, this);
        return;
    }
    loadQcValues();
    drawqcdot();
}

void TForm1::qcdatasetNewRecord(db::Dataset &ds)
{
    if (PageControl1->currentIndex() == 2 && dbdata->qcparaset->isOpen() && !dbdata->qcparaset->isEmpty())
        ds.setValue(QStringLiteral("itemid"), dbdata->qcparaset->value(QStringLiteral("itemno")));
}

bool TForm1::qcdatasetBeforePost(db::Dataset &ds)
{
    const QStringList cols = ds.columnNames();
    if (cols.size() < 3)
        return true;
    const QString field = cols.at(2);
    const std::optional<QString> v = qc::normaliseValue(ds.text(field));
    if (!v) {
        ds.cancel();
        return false;
    }
    ds.setValue(field, *v);
    return true;
}

void TForm1::qcdatasetPostError(db::Dataset &, const QString &, db::Dataset::PostAction &action)
{
    if (action == db::Dataset::PostAction::Fail)
        action = db::Dataset::PostAction::Abort;
}

// ---- printout -------------------------------------------------------------

void TForm1::Button1Click()
{
    const qc::ChartModel &chart = DBChart1->model();
    const qc::ChartSeries *points = chart.find(QStringLiteral("LineSeries1"));
    if (!points || points->points.isEmpty())
        return;
    const reports::PrintSettings settings = reports::printSettingsOf(*this);
    if (const QString refusal = reports::printerRefusal(settings); !refusal.isEmpty()) {
        dlg::message(refusal, this);
        return;
    }
    db::Dataset *targets = dbdata->qcparaset;
    const QString lot = targets->isOpen() && !targets->isEmpty()
                            ? targets->text(QStringLiteral("batchno%1").arg(qclevel)) : QString();
    report::ReportForm form = report::ReportForm::instanceOf(qc::frmqcreportDesign());
    // Printed from the preview on the printer chosen on the settings page,
    // as every patient report is.
    form.printerIndex = settings.printerIndex;
    try {
        qc::fillQcReport(form, chart, getHospitalname(), qc::reportCaption(lot, Label17->text()));
        report::preview(form, report::emptyRecord(), this);
    } catch (const report::ReportError &e) {
        dlg::error(e.message(), this);
    }
    // The day table's shapes and labels belong to this printout only.
    form.removeRuntimeItems();
}
