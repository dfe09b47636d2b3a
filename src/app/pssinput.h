#pragma once
// The password window: changes any operator's password given the old one.
#include "platform/db/dataset.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

class Tfrmpssinput : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmpssinput(QWidget *parent = nullptr);

    void Button1Click(); // "确定"
    void Button2Click(); // "取消"

    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    db::Dataset *ADODataSet1 = nullptr;
};

extern Tfrmpssinput *frmpssinput;
