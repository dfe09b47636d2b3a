#include "workstation/dayfltj.h"

#include "base/dates.h"
#include "base/session.h"
#include "platform/db/background.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/statusbar.h"
#include "workstation/history.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

Tfrmdayfltj *frmdayfltj = nullptr;

Tfrmdayfltj *workloadWindow()
{
    if (!frmdayfltj)
        frmdayfltj = new Tfrmdayfltj;
    return frmdayfltj;
}

Tfrmdayfltj::Tfrmdayfltj(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmdayfltj"));
    setWindowTitle(QStringLiteral("工作量统计"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("输入统计时间范围：（日期格式：yyyy-mm-dd)"), this);
    Label5 = new QLabel(QStringLiteral("从"), this);
    Label2 = new QLabel(QStringLiteral("至"), this);
    Label3 = new QLabel(QStringLiteral("统计结果（数量）："), this);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setStyleSheet(QStringLiteral("color: #800000;"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Button1 = new QPushButton(QStringLiteral("统计"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    StatusBar1 = new StatusBar(this);
    StatusBar1->addPanel(QStringLiteral("提示"), 50, Qt::AlignCenter);
    StatusBar1->addPanel(QString(), 250);

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0, 1, 4);
    grid->addWidget(Label5, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Label2, 1, 2);
    grid->addWidget(Edit2, 1, 3);
    grid->addWidget(Button1, 2, 3);
    grid->addWidget(Label3, 3, 0, 1, 2);
    grid->addWidget(Label4, 3, 2, 1, 2);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 8, 0, 0);
    auto *inner = new QWidget(this);
    inner->setLayout(grid);
    outer->addWidget(inner);
    outer->addWidget(StatusBar1);
    setFixedSize(340, 170);

    connect(Button1, &QPushButton::clicked, this, &Tfrmdayfltj::Button1Click);
}

Tfrmdayfltj::~Tfrmdayfltj()
{
    if (frmdayfltj == this)
        frmdayfltj = nullptr;
}

void Tfrmdayfltj::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void Tfrmdayfltj::FormShow()
{
    Edit1->setText(isoDate(session::workdate()));
    Edit2->setText(isoDate(session::workdate()));
    StatusBar1->setPanelText(1, QString());
    Label4->clear();
}

void Tfrmdayfltj::Button1Click()
{
    if (db::backgroundBusy())
        return;
    StatusBar1->setPanelText(1, QStringLiteral("正在统计，请稍候......"));
    StatusBar1->repaint();
    QString error;
    std::optional<int> n;
    const std::optional<QDate> first = ws::parseTypedDate(Edit1->text());
    const std::optional<QDate> last = ws::parseTypedDate(Edit2->text());
    if (!first) {
        error = ws::invalidDateMessage(Edit1->text());
    } else if (!last) {
        error = ws::invalidDateMessage(Edit2->text());
    } else {
        // A count over years runs beside the window, which keeps painting
        // its progress text; the button stays off until it is done.
        Button1->setEnabled(false);
        db::runInBackground(
            [&](QSqlDatabase d, QString *e) {
                n = ws::workloadCount(d, *first, *last, e);
                return n.has_value();
            },
            &error);
        Button1->setEnabled(true);
    }
    if (!n) {
        // The count stopped: the progress text must not say it is still running.
        StatusBar1->setPanelText(1, QString());
        dlg::error(error, this);
        return;
    }
    Label4->setText(QString::number(*n));
    StatusBar1->setPanelText(1, QStringLiteral("统计完成！"));
}
