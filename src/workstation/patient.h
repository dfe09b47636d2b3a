#pragma once
// The patient particulars window: registers a patient against a sample
// number. Built for the keyboard: Enter walks the fields, digits pick short
// list entries, department and doctor take numbers or abbreviations, a case
// number fills from the newest archived visit, and each save opens the next
// sample number.
#include "platform/db/dataset.h"

#include <QDialog>
#include <functional>

class DBComboBox;
class DBEdit;
class QLabel;
class QPushButton;

class Tfrmpatient : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmpatient(QWidget *parent = nullptr);

    db::Dataset *ADODataSet1 = nullptr; // the patient row being registered or edited

    // The main window's sample list, refreshed after a save; the operator
    // logged on; the input method chosen for Chinese text. Without them the
    // window uses the session's operator and leaves the input method be.
    db::Dataset *sampleList = nullptr;
    std::function<QString()> currentOperator;
    std::function<QString()> inputMethod;

    DBEdit *DBEdit1 = nullptr;  // shelfID
    DBEdit *DBEdit4 = nullptr;  // caseno
    DBEdit *DBEdit3 = nullptr;  // mzno
    DBEdit *DBEdit2 = nullptr;  // name
    DBComboBox *DBComboBox1 = nullptr; // sex
    DBEdit *DBEdit5 = nullptr;  // age
    DBComboBox *DBComboBox2 = nullptr; // depart
    DBEdit *DBEdit6 = nullptr;  // bedno
    DBComboBox *DBComboBox3 = nullptr; // kind
    DBComboBox *DBComboBox4 = nullptr; // apperance
    DBEdit *DBEdit7 = nullptr;  // doctor
    DBEdit *DBEdit8 = nullptr;  // takedate
    DBEdit *DBEdit9 = nullptr;  // taketime
    DBEdit *DBEdit10 = nullptr; // diagnose
    QPushButton *Button1 = nullptr; // "保存(&S)"
    QPushButton *Button2 = nullptr; // "返回(&X)"

    // The data controls in tab order.
    QList<QWidget *> dataControls() const { return m_controls; }

    void FormShow();
    bool FormKeyPress(QWidget *control, QKeyEvent *e);
    bool DBEdit1KeyDown(QWidget *control, QKeyEvent *e);
    void DBEdit1Exit();
    void DBEdit4Exit();
    void DBComboBox1Exit();
    void DBComboBox2Exit();
    void DBComboBox3Exit();
    void DBComboBox4Exit();
    void DBEdit7Exit();
    void DBEdit2Enter();
    void DBEdit7Enter();
    void ADODataSet1NewRecord(db::Dataset &ds);
    void Button1Click(); // "保存(&S)"
    void Button2Click(); // "返回(&X)"

    void done(int r) override;
    QString operatorName() const;

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void build();
    void digitShortcut(DBComboBox *box, const QString &field);
    bool hasRow() const;

    QList<QWidget *> m_controls;
    // The sample number the row was loaded or started under, as typed; empty
    // while the window stands on no sample's row. The number edit writes into
    // the row as it is typed, so the row itself cannot tell.
    QString m_rowNumber;
};

extern Tfrmpatient *frmpatient;
