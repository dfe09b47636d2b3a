#include "app/Unit1.h"

#include "base/CustData.h"
#include "app/oprinput.h"
#include "app/pssinput.h"
#include "base/session.h"
#include "base/textutil.h"
#include "link/linkreceiver.h"
#include "qc/qcvalueinput.h"
#include "workstation/linejust.h"
#include "workstation/patient.h"
#include "workstation/resultinput.h"
#include "platform/db/connection.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dbnavigator.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/inputmethods.h"
#include "platform/widgets/lamp.h"
#include "platform/widgets/statusbar.h"

#include <QAction>

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#ifndef VORLAN_HOSPITAL_NAME
#define VORLAN_HOSPITAL_NAME "示例医院"
#endif

TForm1 *Form1 = nullptr;

TForm1::TForm1(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form1"));
    resize(792, 534);
    ADODataSet1 = new db::Dataset(this);
    ADODataSet2 = new db::Dataset(this);
    ADODataSet4 = new db::Dataset(this);
    buildFrame();
    buildMenus();
    // The pages' own parts, each from its subsystem; the link lays its
    // abnormal-number list over the graph panel, so it comes last.
    buildSamplePage();
    buildGraphPanel();
    buildLink();
    buildDayEnd();
    buildSettingsPage();
    buildSampleEdit();
    buildQcPage();
    buildBatchPrinting();
    buildHistoryPage();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildFrame()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    TabSheet3 = new QWidget;
    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("病人资料与结果"));
    PageControl1->addTab(TabSheet2, QStringLiteral("历史查询"));
    PageControl1->addTab(TabSheet3, QStringLiteral("质量控制"));
    PageControl1->addTab(TabSheet4, QStringLiteral("系统设置"));
    layout->addWidget(PageControl1, 1);

    StatusBar1 = new StatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->addPanel(QStringLiteral("状态:"), 50);
    StatusBar1->addPanel(QString(), 520);
    StatusBar1->addPanel(QStringLiteral("检验者："), 50);
    StatusBar1->addPanel(QString(), 50);
    StatusBar1->addPanel(QStringLiteral("病人信息"), 64, Qt::AlignCenter);
    StatusBar1->addPanel(QString(), 50);
    StatusBar1->onResize = [this](StatusBar &) { StatusBar1Resize(); };
    layout->addWidget(StatusBar1);

    // The receive lamp sits over the page tabs at the top right corner.
    Panel3 = new QWidget(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedSize(19, 15);
    Panel3->setAutoFillBackground(true);
    QPalette pal = Panel3->palette();
    pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    Panel3->setPalette(pal);
    Shape1 = new Lamp(Panel3);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(0, 2, 19, 11);
    Shape1->setBrushColor(QColor(0x80, 0, 0));
    Panel3->raise();

    Timer1 = new QTimer(this);
    Timer1->setInterval(20000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();

    Edit11 = new QLineEdit(this);
    Edit11->setText(QString::fromUtf8(VORLAN_HOSPITAL_NAME));
    Edit11->hide();

}

void TForm1::buildMenus()
{
    auto add = [](QMenu *m, const QString &caption, const QKeySequence &key = QKeySequence()) {
        QAction *a = m->addAction(caption);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        return a;
    };
    PopupMenu2 = new QMenu(this);
    N2 = add(PopupMenu2, QStringLiteral("病人资料"), QKeySequence(Qt::Key_F3));
    N5 = add(PopupMenu2, QStringLiteral("删除登记"), QKeySequence(Qt::Key_F4));
    N29 = add(PopupMenu2, QStringLiteral("修改标本号"));
    PopupMenu2->addSeparator();
    N3 = add(PopupMenu2, QStringLiteral("结果打印"), QKeySequence(Qt::Key_F9));
    N4 = add(PopupMenu2, QStringLiteral("批量打印"), QKeySequence(Qt::Key_F10));
    N22 = PopupMenu2->addMenu(QStringLiteral("查看病人"));
    N23 = add(N22, QStringLiteral("未打印"));
    N24 = add(N22, QStringLiteral("已打印"));
    N25 = add(N22, QStringLiteral("全　部"));
    PopupMenu2->addSeparator();
    N27 = add(PopupMenu2, QStringLiteral("工作量统计"));
    N28 = add(PopupMenu2, QStringLiteral("存根打印"));
    PopupMenu2->addSeparator();
    N18 = add(PopupMenu2, QStringLiteral("修改密码"), QKeySequence(Qt::Key_F5));
    PopupMenu2->addSeparator();
    N15 = add(PopupMenu2, QStringLiteral("质控选定"), QKeySequence(Qt::Key_F6));
    N16 = add(PopupMenu2, QStringLiteral("质控取消"), QKeySequence(Qt::Key_F7));
    N14 = add(PopupMenu2, QStringLiteral("质控入库"), QKeySequence(Qt::Key_F8));
    QAction *sepAfterN14 = PopupMenu2->addSeparator();
    sepAfterN14->setVisible(false);
    N10 = add(PopupMenu2, QStringLiteral("备份数量库"));
    N20 = add(PopupMenu2, QStringLiteral("恢复数据库"));
    N10->setVisible(false);
    N20->setVisible(false);
    PopupMenu2->addSeparator();
    N12 = add(PopupMenu2, QStringLiteral("结束工作"), QKeySequence(Qt::Key_F12));
    // Their short-cuts work wherever the focus is in the window, but only
    // while the sample page shows (PageControl1Enter attaches them).

    PopupMenu3 = new QMenu(this);
    N8 = add(PopupMenu3, QStringLiteral("增加结果"), QKeySequence(Qt::Key_Return));
    N8->setShortcutContext(Qt::WidgetShortcut);
    N7 = add(PopupMenu3, QStringLiteral("删除结果"), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    N7->setShortcutContext(Qt::WidgetShortcut);
    N17 = add(PopupMenu3, QStringLiteral("线性校正"));

    PopupMenu4 = new QMenu(this);
    N1 = add(PopupMenu4, QStringLiteral("质控值修正"));
    N21 = add(PopupMenu4, QStringLiteral("删除质控值"));

    connect(N18, &QAction::triggered, this, &TForm1::N18Click);
}

void TForm1::buildSettingsPage()
{
    auto *outer = new QVBoxLayout(TabSheet4);
    outer->setContentsMargins(2, 2, 2, 2);
    PageControl2 = new QTabWidget(TabSheet4);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    outer->addWidget(PageControl2);

    auto page = [this](const QString &caption, db::Dataset *ds, DBGrid *&grid, DBNavigator *&nav,
                       int buttons) {
        auto *w = new QWidget;
        auto *l = new QVBoxLayout(w);
        nav = new DBNavigator(w);
        nav->setDataset(ds);
        nav->setVisibleButtons(buttons);
        grid = new DBGrid(w);
        grid->setDataset(ds);
        l->addWidget(nav, 0, Qt::AlignLeft);
        l->addWidget(grid, 1);
        PageControl2->addTab(w, caption);
        return w;
    };
    const int all = DBNavigator::AllButtons;
    const int noInsertDelete = DBNavigator::BrowseEditButtons;
    page(QStringLiteral("检验者"), dbdata->operatorset, DBGrid3, DBNavigator1, all);
    page(QStringLiteral("项目设置"), dbdata->itemset, DBGrid4, DBNavigator2, noInsertDelete);
    page(QStringLiteral("科别"), dbdata->departset, DBGrid5, DBNavigator3, all);
    page(QStringLiteral("送检医师"), dbdata->doctorset, DBGrid6, DBNavigator4, all);
    page(QStringLiteral("标本种类"), dbdata->kindset, DBGrid7, DBNavigator5, all);
    page(QStringLiteral("标本状况"), dbdata->apperanceset, DBGrid8, DBNavigator6, all);
    DBGrid4->onKeyDown = [this](QKeyEvent *e) { return DBGrid4KeyDown(e); };
    // The kinds and states are edited by name; their row counters stay out of sight.
    DBGrid7->setColumns({dbui::column("name", "标本种类", 0)});
    DBGrid8->setColumns({dbui::column("name", "标本状况", 0)});

    TabSheet11 = new QWidget;
    TabSheet11->setObjectName(QStringLiteral("TabSheet11"));
    PageControl2->addTab(TabSheet11, QStringLiteral("其它"));
    auto *otherLayout = new QVBoxLayout(TabSheet11);
    GroupBoxPrint = new QGroupBox(QStringLiteral("打印设置"), TabSheet11);
    GroupBoxPrint->setMinimumHeight(150);
    otherLayout->addWidget(GroupBoxPrint);
    buildPrintSettings();

    auto *imeBox = new QGroupBox(QStringLiteral("输入法设置"), TabSheet11);
    auto *imeLayout = new QHBoxLayout(imeBox);
    imeLayout->addWidget(new QLabel(QStringLiteral("输入法选择："), imeBox));
    ComboBox5 = new QComboBox(imeBox);
    ComboBox5->setObjectName(QStringLiteral("ComboBox5"));
    ComboBox5->setMinimumWidth(220);
    imeLayout->addWidget(ComboBox5);
    imeLayout->addStretch(1);
    otherLayout->addWidget(imeBox);
    // activated, not currentIndexChanged: only the user's choice is stored.
    connect(ComboBox5, QOverload<int>::of(&QComboBox::activated), this, &TForm1::ComboBox5Click);

    auto *rsBox = new QGroupBox(QStringLiteral("RS232通信设置"), TabSheet11);
    auto *rsLayout = new QHBoxLayout(rsBox);
    for (const char *t : {"波特率：9600", "数据位：8位", "停止位：1位", "校  验：无"})
        rsLayout->addWidget(new QLabel(QString::fromUtf8(t), rsBox));
    rsLayout->addStretch(1);
    otherLayout->addWidget(rsBox);
    otherLayout->addStretch(1);

    PageControl2->setCurrentIndex(1);
}

void TForm1::FormCreate()
{
    setWindowTitle(QStringLiteral("QEL VORLAN 60 中文系统-") + Edit11->text());
}

void TForm1::showModal()
{
    m_closing = false;
    QEventLoop loop;
    m_loop = &loop;
    showMaximized();
    if (isVisible())
        loop.exec();
    m_loop = nullptr;
}

void TForm1::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (!m_shownOnce) {
        m_shownOnce = true;
        // The start-up work runs once the window is on screen, so that its
        // messages (no printer, port not open) show over the main window.
        QTimer::singleShot(0, this, &TForm1::FormShow);
    }
}

void TForm1::FormShow()
{
    // The abnormal-number grid's title row.
    StringGrid1Title();
    // Installed input methods, in the system's order.
    ComboBox5->clear();
    ComboBox5->addItems(installedInputMethods());
    // The settings row into the settings page; nothing is written here.
    db::Dataset *corp = dbdata->corpset;
    if (!corp->isEmpty() && !corp->isNull(QStringLiteral("imeno"))) {
        const int i = corp->asInteger(QStringLiteral("imeno"));
        ComboBox5->setCurrentIndex(i >= 0 && i < ComboBox5->count() ? i : -1);
    } else {
        ComboBox5->setCurrentIndex(-1);
    }
    // Printers, report kind, margins and the printer check.
    printSettingsShow();
    // The serial port; a port that will not open is reported in the
    // status bar and the rest of the start-up still runs.
    openSerialPort();
    showPrinterNotice();
    // The sample list, results and graph data; the work date is set first
    // so that nothing reads a stale day.
    session::setWorkdate(session::today());
    samplePageShow();
    // Department names for the history filter.
    historyPageShow();
    // The operator who logged on, shown in the status bar.
    const QString op = frmoprput && frmoprput->ADODataSet1->isOpen()
                           ? frmoprput->ADODataSet1->text(QStringLiteral("name"))
                           : session::currentOperator();
    StatusBar1->setPanelText(3, op);
    session::setCurrentOperator(op);
    // The sample page first.
    PageControl1->setCurrentIndex(0);
    // An operator without a name may not work; the close asks first.
    if (StatusBar1->panelText(3).isEmpty()) {
        close();
        return;
    }
    // Ready for the keyboard on the sample list.
    DBGrid1->setFocus();
}

bool TForm1::FormCloseQuery()
{
    const QString question = QStringLiteral("退出程序将不能接收数据，确定要退出吗？");
    if (!LinkReceiver1 || (LinkReceiver1->waitingCount() == 0 && LinkReceiver1->unwrittenCount() == 0))
        return dlg::okCancel(question, this);
    return confirmExitWithWaitingRecords(question);
}

void TForm1::FormClose()
{
    session::setWorkdate(session::today());
    closeSerialPort();
    db::disconnect();
}

void TForm1::closeEvent(QCloseEvent *e)
{
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
    if (m_loop)
        m_loop->quit();
}

void TForm1::Timer1Timer()
{
    session::rollOver();
}

void TForm1::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    placeLamp();
}

void TForm1::placeLamp()
{
    if (Panel3)
        Panel3->move(width() - Panel3->width() - 10, 2);
}

void TForm1::StatusBar1Resize()
{
    fitLinkNotice();
    int others = 0;
    for (int i = 0; i < StatusBar1->panelCount(); ++i)
        others += i == 1 ? 0 : StatusBar1->panelWidth(i);
    StatusBar1->setPanelWidth(1, qMax(0, StatusBar1->width() - others));
}

void TForm1::ComboBox5Click(int index)
{
    db::Dataset *corp = dbdata->corpset;
    if (corp->isEmpty())
        return;
    if (!corp->setValue(QStringLiteral("imeno"), index) || !corp->post()) {
        const QString e = corp->lastError();
        corp->cancel();
        dlg::error(e, this);
    }
}

bool TForm1::DBGrid4KeyDown(QKeyEvent *e)
{
    // Down on the last item row would begin a new item; items come with the file.
    db::Dataset *items = dbdata->itemset;
    return e->key() == Qt::Key_Down && items->recNo() == items->recordCount();
}

void TForm1::N18Click()
{
    frmpssinput->exec();
}

QString TForm1::getHospitalname() const
{
    return Edit11->text();
}

bool TForm1::isnum(const QString &s) const
{
    return ::isnum(s);
}

QDate TForm1::workdate() const
{
    return session::workdate();
}

QString TForm1::currentoperator() const
{
    return StatusBar1->panelText(3);
}

void TForm1::setStatus(const QString &state, const QString &message)
{
    StatusBar1->setPanelText(0, state);
    StatusBar1->setPanelText(1, message);
}

void TForm1::attachDialogs()
{
    auto op = [this] { return currentoperator(); };
    if (frmpatient) {
        frmpatient->sampleList = patientset;
        frmpatient->currentOperator = op;
        frmpatient->inputMethod = [this] { return ComboBox5->currentText(); };
    }
    if (frmresultinput) {
        frmresultinput->sampleList = patientset;
        frmresultinput->results = testresultset;
        frmresultinput->currentOperator = op;
    }
    if (frmlinejust) {
        frmlinejust->sampleList = patientset;
        frmlinejust->results = testresultset;
    }
    if (frmqcvalueinput)
        frmqcvalueinput->store = [this](const QString &day, const QString &value) {
            return storeQcCorrection(day, value);
        };
}
