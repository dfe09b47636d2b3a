#include "qc/qcnamesel.h"

#include <QPushButton>

Tfrmqcnamesel *frmqcnamesel = nullptr;

Tfrmqcnamesel::Tfrmqcnamesel(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmqcnamesel"));
    setWindowTitle(QStringLiteral("请选择"));
    setFixedSize(146, 112);
    auto make = [this](const QString &caption, int top) {
        auto *b = new QPushButton(caption, this);
        b->setGeometry(24, top, 97, 25);
        b->setAutoDefault(false);
        return b;
    };
    Button1 = make(QStringLiteral("质控品1"), 8);
    Button2 = make(QStringLiteral("质控品2"), 40);
    Button3 = make(QStringLiteral("质控品3"), 72);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3->setObjectName(QStringLiteral("Button3"));
    connect(Button1, &QPushButton::clicked, this, &Tfrmqcnamesel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmqcnamesel::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmqcnamesel::Button3Click);
    // Esc rejects (QDialog's own key handling): the caller then leaves the
    // sample's name as it was.
}

void Tfrmqcnamesel::Button1Click() { choose(QStringLiteral("质控品1")); }
void Tfrmqcnamesel::Button2Click() { choose(QStringLiteral("质控品2")); }
void Tfrmqcnamesel::Button3Click() { choose(QStringLiteral("质控品3")); }

void Tfrmqcnamesel::choose(const QString &name)
{
    m_qcname = name;
    accept();
}
