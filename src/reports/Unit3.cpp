#include "reports/Unit3.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm3 *Form3 = nullptr;

TForm3 *form3Window()
{
    if (!Form3)
        Form3 = new TForm3;
    return Form3;
}

TForm3::TForm3(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("打印范围"));
    setFont(QFont(QStringLiteral("宋体"), 9));
    auto *g = new QGridLayout(this);
    Label1 = new QLabel(QStringLiteral("请输入打印范围："), this);
    Edit1 = new QLineEdit(this);
    Label2 = new QLabel(QStringLiteral("到"), this);
    Edit2 = new QLineEdit(this);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    g->addWidget(Label1, 0, 0, 1, 3);
    g->addWidget(Edit1, 1, 0);
    g->addWidget(Label2, 1, 1);
    g->addWidget(Edit2, 1, 2);
    g->addWidget(Button1, 2, 0);
    g->addWidget(Button2, 2, 2);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Button2);
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    // An input method would commit text past the key filter.
    Edit1->setAttribute(Qt::WA_InputMethodEnabled, false);
    Edit2->setAttribute(Qt::WA_InputMethodEnabled, false);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
}

void TForm3::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TForm3::FormShow()
{
    m_okflag = 0;
    Edit1->clear();
    Edit2->clear();
    Edit1->setFocus();
}

bool TForm3::eventFilter(QObject *watched, QEvent *e)
{
    if ((watched == Edit1 || watched == Edit2) && e->type() == QEvent::KeyPress)
        return Edit1KeyPress(static_cast<QKeyEvent *>(e));
    return QDialog::eventFilter(watched, e);
}

bool rangeKeyRefused(const QKeyEvent *e, const QString &alsoAllowed)
{
    // Moving and deleting keys are not typed characters: they work as usual
    // (Tab carries a "\t" text, Delete may carry "\x7f").
    if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab || e->key() == Qt::Key_Delete)
        return false;
    for (QChar c : e->text())
        if (c != QChar(8) && !alsoAllowed.contains(c) && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            return true;
    return false;
}

bool TForm3::Edit1KeyPress(QKeyEvent *e)
{
    return rangeKeyRefused(e, QString());
}

void TForm3::Button1Click()
{
    m_okflag = 1;
    close();
}

void TForm3::Button2Click()
{
    close();
}
