#include "reports/Unit4.h"

#include "reports/Unit3.h"

#include <QGroupBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

TForm4 *Form4 = nullptr;

TForm4 *form4Window()
{
    if (!Form4)
        Form4 = new TForm4;
    return Form4;
}

TForm4::TForm4(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("存根打印窗口"));
    auto *outer = new QGridLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral("请选择"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *g = new QGridLayout(GroupBox1);
    RadioButton1 = new QRadioButton(QStringLiteral("全部"), GroupBox1);
    RadioButton2 = new QRadioButton(QStringLiteral("部分"), GroupBox1);
    Edit1 = new QLineEdit(GroupBox1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    g->addWidget(RadioButton1, 0, 0);
    g->addWidget(RadioButton2, 1, 0);
    g->addWidget(Edit1, 1, 1);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    outer->addWidget(GroupBox1, 0, 0, 1, 2);
    outer->addWidget(Button1, 1, 0);
    outer->addWidget(Button2, 1, 1);
    Edit1->installEventFilter(this);
    // An input method would commit text past the key filter.
    Edit1->setAttribute(Qt::WA_InputMethodEnabled, false);
    connect(RadioButton1, &QRadioButton::clicked, this, &TForm4::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TForm4::RadioButton2Click);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
}

void TForm4::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TForm4::FormShow()
{
    Edit1->clear();
    RadioButton1->setChecked(true);
    // setChecked emits no click: apply what "全部" means here.
    RadioButton1Click();
    m_okflag = 0;
}

void TForm4::RadioButton1Click()
{
    Edit1->setEnabled(false);
}

void TForm4::RadioButton2Click()
{
    Edit1->setEnabled(true);
    Edit1->setFocus();
}

void TForm4::Button1Click()
{
    m_okflag = 1;
    close();
}

void TForm4::Button2Click()
{
    close();
}

bool TForm4::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == Edit1 && e->type() == QEvent::KeyPress)
        return Edit1KeyPress(static_cast<QKeyEvent *>(e));
    return QDialog::eventFilter(watched, e);
}

bool TForm4::Edit1KeyPress(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        Button1Click();
        return true;
    }
    return rangeKeyRefused(e, QStringLiteral("-"));
}
