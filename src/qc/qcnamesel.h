#pragma once
// Chooser of the control material a day sample is named after.
#include <QDialog>

class QPushButton;

class Tfrmqcnamesel : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmqcnamesel(QWidget *parent = nullptr);

    // The last chosen name ("质控品1".."质控品3"), empty before the first choice.
    QString qcname() const { return m_qcname; }

    void Button1Click(); // "质控品1"
    void Button2Click(); // "质控品2"
    void Button3Click(); // "质控品3"

    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;

private:
    void choose(const QString &name);
    QString m_qcname;
};

extern Tfrmqcnamesel *frmqcnamesel;
