#include "app/oprinput.h"

#include "app/Unit1.h"
#include "app/jpegimage.h"
#include "app/logon.h"
#include "app/logonprompt.h"
#include "base/CustData.h"
#include "platform/widgets/dialogs.h"
#include "workstation/samplelist.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

Tfrmoprput *frmoprput = nullptr;

static void initResources()
{
    Q_INIT_RESOURCE(app);
}

Tfrmoprput::Tfrmoprput(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmoprput"));
    setWindowTitle(QStringLiteral("登录窗口"));
    setFixedSize(503, 351);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 503, 351);
    Image1->setScaledContents(true);
    initResources();
    QFile pic(QStringLiteral(":/app/logon.jpg"));
    if (pic.open(QIODevice::ReadOnly))
        Image1->setPixmap(QPixmap::fromImage(decodeJpeg(pic.readAll())));

    auto *l1 = new QLabel(QStringLiteral("输入编号："), this);
    l1->setGeometry(150, 200, 80, 21);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(232, 198, 121, 24);
    auto *l2 = new QLabel(QStringLiteral("密    码："), this);
    l2->setGeometry(150, 236, 80, 21);
    Edit2 = new QLineEdit(this);
    Edit2->setGeometry(232, 234, 121, 24);
    Edit2->setEchoMode(QLineEdit::Password);
    Edit2->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    for (QLabel *l : {l1, l2}) {
        l->setAutoFillBackground(false);
        l->setStyleSheet(QStringLiteral("QLabel { background: transparent; }"));
    }
    Button1 = new QPushButton(QStringLiteral("登录"), this);
    Button1->setGeometry(170, 284, 75, 27);
    Button2 = new QPushButton(QStringLiteral("退出"), this);
    Button2->setGeometry(268, 284, 75, 27);
    for (QPushButton *b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Button2);

    ADODataSet1 = new db::Dataset(this);

    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    Button1->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &Tfrmoprput::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmoprput::Button2Click);

    runMainWindow = []() {
        if (Form1)
            Form1->showModal();
    };

    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

bool Tfrmoprput::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (o == Edit1 && enter) {
            Edit1KeyPress(key);
            return true;
        }
        if (o == Edit2 && enter) {
            Edit2KeyPress(key);
            return true;
        }
        if (o == Button1 && enter) {
            Button1->click();
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void Tfrmoprput::Edit1KeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        Edit2->setFocus();
}

void Tfrmoprput::Edit2KeyPress(int key)
{
    // Enter only moves to the log-on button; a second Enter presses it.
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        Button1->setFocus();
}

void Tfrmoprput::Button1Click()
{
    m_toldFault = db::FileFault::None;
    QString error;
    bool created = false;
    if (!logon::ensureDefaultAccount(&error, &created)) {
        dlg::error(error, this);
        return;
    }
    // The operator list was read when the program started, before this
    // account existed.
    if (created && dbdata && dbdata->operatorset->isOpen() && !dbdata->operatorset->requery())
        dlg::error(dbdata->operatorset->lastError(), this);
    if (!logon::confirmOperator(*ADODataSet1, Edit1, Edit2, QStringLiteral("密码不对，请重输！"), this))
        return;
    hide();
    // Rows without a sample number are left-overs of an interrupted
    // registration; their results, keyed by the same empty number, stay.
    // Clearing them is housekeeping: when the database refuses, its text is
    // shown and the log-on goes on, for the work of the day needs the main
    // window far more than a tidy list.
    QString cleanup;
    if (!ws::clearUnnumberedPatients(&cleanup)) {
        dlg::error(cleanup, this);
        m_toldFault = db::fileFault(cleanup);
    }
    if (runMainWindow)
        runMainWindow();
    close();
}

void Tfrmoprput::Button2Click()
{
    close();
}
