#pragma once
// The main window. One class carries every page of the workstation; its
// handlers are defined in the folder of the subsystem that owns them
// (form1_*.cpp), each a few lines that call that subsystem's logic and
// refresh the window.
#include "platform/db/command.h"
#include "platform/db/dataset.h"

#include <QDate>
#include <QWidget>

class QAction;
class QComboBox;
class QEventLoop;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;
class DBGrid;
class DBNavigator;
class StatusBar;
class Lamp;
struct CellStyle;
class CommControl;
namespace intake {
class LinkReceiver;
}
namespace graphics {
class GraphPanel;
}

class TForm1 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Shows the window and returns when it has closed (the log-on window
    // runs it this way).
    void showModal();
    bool isRunning() const { return m_loop != nullptr; }

    // ---- frame: src/app/Unit1.cpp ------------------------------------------
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void Timer1Timer();
    void StatusBar1Resize();
    void ComboBox5Click(int index); // the input-method box on the settings page "其它"
    bool DBGrid4KeyDown(QKeyEvent *e); // keys in the item grid of "项目设置"
    void N18Click();            // change password
    QString getHospitalname() const;
    bool isnum(const QString &s) const;

    QDate workdate() const;
    QString currentoperator() const;
    // Status bar panel 0/1: a state word and its message.
    void setStatus(const QString &state, const QString &message);

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;   // "病人资料与结果"
    QWidget *TabSheet2 = nullptr;   // "历史查询"
    QWidget *TabSheet3 = nullptr;   // "质量控制"
    QWidget *TabSheet4 = nullptr;   // "系统设置"
    StatusBar *StatusBar1 = nullptr;
    QWidget *Panel3 = nullptr;
    Lamp *Shape1 = nullptr;
    QTimer *Timer1 = nullptr;
    QLineEdit *Edit11 = nullptr;    // hospital name, never shown

    // Pop-up menu of the sample list and its page.
    QMenu *PopupMenu2 = nullptr;
    QAction *N2 = nullptr, *N5 = nullptr, *N29 = nullptr, *N3 = nullptr, *N4 = nullptr;
    QMenu *N22 = nullptr;
    QAction *N23 = nullptr, *N24 = nullptr, *N25 = nullptr;
    QAction *N27 = nullptr, *N28 = nullptr, *N18 = nullptr;
    QAction *N15 = nullptr, *N16 = nullptr, *N14 = nullptr;
    QAction *N10 = nullptr, *N20 = nullptr, *N12 = nullptr;
    // Pop-up menu of the result grid.
    QMenu *PopupMenu3 = nullptr;
    QAction *N8 = nullptr, *N7 = nullptr, *N17 = nullptr;
    // Pop-up menu of the control-value grid.
    QMenu *PopupMenu4 = nullptr;
    QAction *N1 = nullptr, *N21 = nullptr;

    // Settings page.
    QTabWidget *PageControl2 = nullptr;
    DBGrid *DBGrid3 = nullptr, *DBGrid4 = nullptr, *DBGrid5 = nullptr, *DBGrid6 = nullptr,
           *DBGrid7 = nullptr, *DBGrid8 = nullptr;
    DBNavigator *DBNavigator1 = nullptr, *DBNavigator2 = nullptr, *DBNavigator3 = nullptr,
                *DBNavigator4 = nullptr, *DBNavigator5 = nullptr, *DBNavigator6 = nullptr;
    QWidget *TabSheet11 = nullptr;  // "其它"
    QGroupBox *GroupBoxPrint = nullptr; // "打印设置"
    QComboBox *ComboBox5 = nullptr; // input method

    // General-purpose datasets and commands, reused by many handlers.
    db::Dataset *ADODataSet1 = nullptr;
    db::Dataset *ADODataSet2 = nullptr;
    db::Dataset *ADODataSet4 = nullptr;
    db::Command ADOCommand1;
    db::Command ADOCommand2;

    // ---- analyser link: form1/link.cpp ----------------------------
    void buildLink();
    void StringGrid1Title();          // start-up: title row of the abnormal-number list
    void openSerialPort();            // "错误:" and the reason in the status bar if it fails
    void closeSerialPort();
    void MSComm1Comm();
    void StringGrid1SelectCell(int column, int row);
    void StringGrid1DblClick(); // double click on the abnormal-number grid
    void Panel1DblClick(); // double click on the graph panel
    void Button5Click(); // "保存更改" under the abnormal-number grid
    void listMalformedNumber(const QString &shelfid);
    // The exit question when records the database has not taken, or
    // received text no folder took, may wait: they are put in a file first,
    // so that the question can say where.
    bool confirmExitWithWaitingRecords(const QString &question);
    bool m_inSerialHandler = false;
    // Set-aside text and unconverted values: the latest notice stays in a
    // status panel of its own until a newer one, whatever the line does.
    void showLinkNotice(const QString &text, const QString &file);
    void fitLinkNotice();
    int m_noticePanel = -1;
    QString m_linkNotice, m_linkNoticeFile;
    QStringList m_linkNoticeLog; // newest first, for the tooltip
    int m_linkNotices = 0;
    void showStringGrid1(bool show);
    void placeStringGrid1();
    CommControl *MSComm1 = nullptr;
    intake::LinkReceiver *LinkReceiver1 = nullptr;
    QTableWidget *StringGrid1 = nullptr;
    QWidget *Panel9 = nullptr;
    QPushButton *Button5 = nullptr;
    // ---- end analyser link --------------------------------------------------

    // ---- sample page: form1/samples.cpp --------------------
    // Page 0: the day sample list, the results of its current sample and,
    // on the right, the host of the graph panel.
    void buildSamplePage();
    // FormShow's part for this page: all samples, the detail datasets open,
    // the result grid read-only while the list is empty.
    void samplePageShow();

    db::Dataset *patientset = nullptr;
    db::Dataset *testresultset = nullptr;
    db::Dataset *gresultset = nullptr;
    int printfilter = 0; // 0 not chosen, 1 unprinted, 2 printed, 3 all
    DBGrid *DBGrid1 = nullptr; // sample list
    DBGrid *DBGrid2 = nullptr; // result grid
    QWidget *GraphHost = nullptr; // holds the graph panel (Panel1)

    void patientsetAfterScroll();
    void patientrefresh();
    void N23Click(); // "查看病人" > "未打印"
    void N24Click(); // "查看病人" > "已打印"
    void N25Click(); // "查看病人" > "全　部"
    struct CellStyle DBGrid1DrawColumnCell(int row, const QString &field, bool selected);
    struct CellStyle DBGrid2DrawColumnCell(int row, const QString &field, bool selected);
    bool DBGrid1KeyPress(QKeyEvent *e); // keys typed on the sample list
    bool DBGrid2KeyDown(QKeyEvent *e); // keys on the result grid
    void N2Click(); // "病人资料" (F3)
    void N7Click(); // "删除结果" (Ctrl+Del)
    void N8Click(); // "增加结果" (Enter on the result grid)
    void N17Click(); // "线性校正"
    void PageControl1Enter();
    void testresultsetNewRecord(db::Dataset &ds);
    void patientsetNewRecord(db::Dataset &ds);
    void patientsetPostError(db::Dataset &ds, const QString &error, db::Dataset::PostAction &action);
    // Recomputes one sample's derived items after one of its items changed
    // (hook for derived items; empty until they exist).
    void calcexpression(const QString &shelfid, const QVariant &checkdate, int itemid, const QString &value);
private:
    void connectSampleMenus();
    void redrawSampleGraphs();
    bool m_sampleMenusConnected = false;
public:
    // ---- end sample page ----------------------------------------------------

    // ---- graphics: form1/graphics.cpp -------------------------
    // Panel1 with Image1..Image6, placed in the sample page's graph host.
    void buildGraphPanel();
    // Redraws the graph pictures from the graph dataset's current row.
    void drawgraphic(db::Dataset *patient, db::Dataset *graph);
    void N1X1Click(); // "1X" on the targets grid
    void N2X1Click(); // "2X" on the targets grid
    void N3X1Click(); // "3X" on the targets grid
    graphics::GraphPanel *Panel1 = nullptr;
    // ---- end graphics -------------------------------------------------------

    // ---- printing: form1/print.cpp -----------------------------
    // The group "打印设置" on the settings page (after GroupBoxPrint exists)
    // and its part of the start-up (printers, stored choices, margins).
    void buildPrintSettings();
    void printSettingsShow();
    // Says in the status bar that the stored printer is gone (after the
    // serial port's own start-up text).
    void showPrinterNotice();
    void ComboBox6Click(int index); // printer chosen in "打印设置"
    void ComboBox7Click(int index); // paper chosen in "打印设置"
    void ComboBox8Click(int index); // report kind chosen in "打印设置"
    void Edit6Change(const QString &text); // top margin typed
    void Edit7Change(const QString &text); // left margin typed
    void Edit8Change(const QString &text); // bottom margin typed
    void Edit9Change(const QString &text); // right margin typed
    // The margin boxes' key filter: true when the key is swallowed.
    bool Edit6KeyPress(QKeyEvent *e) { return marginKeyPress(Edit6, e); }
    bool Edit7KeyPress(QKeyEvent *e) { return marginKeyPress(Edit7, e); }
    bool Edit8KeyPress(QKeyEvent *e) { return marginKeyPress(Edit8, e); }
    bool Edit9KeyPress(QKeyEvent *e) { return marginKeyPress(Edit9, e); }
    void Button2Click(); // "预览" in "打印设置"
    void cmpswitch();
    // The report of the sample list's current sample (menu N3, F9).
    void N3Click(); // "结果打印" (F9)
    // One report on the chosen printer: true when the job was handed over;
    // a refusal or error has been shown otherwise.
    bool resultprint(db::Dataset *patient, db::Dataset *rows, db::Dataset *graph);
    void resultprint1(db::Dataset *patient, db::Dataset *rows, db::Dataset *graph);
    void resultprint2(db::Dataset *patient, db::Dataset *rows, db::Dataset *graph);

    QComboBox *ComboBox6 = nullptr; // printer
    QComboBox *ComboBox7 = nullptr; // paper
    QComboBox *ComboBox8 = nullptr; // report kind
    QLineEdit *Edit6 = nullptr, *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr; // top, left, bottom, right
    QPushButton *Button2 = nullptr; // "预览"
    db::Dataset *ADODataSet3 = nullptr;  // the printed patient
    db::Dataset *testprntset = nullptr;  // its result rows
    db::Dataset *ADODataSet5 = nullptr;  // its graph row
private:
    bool marginKeyPress(QLineEdit *edit, QKeyEvent *e);
    void storeMargin(const char *column, const QString &text);
    void storeSettingValue(const char *column, const QVariant &value);
    void storePrinter(int index); // position and name together
    QList<QPair<QString, QVariant>> printerValues(int index) const;
    QString printerNotice;
    void resultprintOn(int layout, db::Dataset *patient, db::Dataset *rows);
public:
    // ---- end printing -------------------------------------------------------

    // ---- derived items and linear correction: form1/derived.cpp
    // calcexpression's work: the sample's derived items recomputed through
    // frmfieldcount; a failure is shown, what was already written stays.
    void recomputeDerivedItems(const QString &shelfid, const QVariant &checkdate, int itemid, const QString &value);
    // N17Click's work: the linear-correction window, modal.
    void showLineJust();
    // Hands the dialog windows that exist the lists and services of this
    // window they work on.
    void attachDialogs();
    // ---- end derived items -------------------------------------------------

    // ---- manual entry, delete and renumber: form1/edit.cpp
    // Connects "删除登记" and "修改标本号" (safe to call twice).
    void buildSampleEdit();
    // Shows the manual-entry window modally (after N8Click's operator check).
    void showResultInput();
    void N5Click();   // delete the current sample's registration and results
    void N29Click();  // move the current sample to another number
private:
    bool m_sampleEditConnected = false;
public:
    // ---- end manual entry --------------------------------------------------

    // ---- backup, restore and end of day: form1/dayend.cpp
    // Connects the backup, restore and end-of-day entries (safe to call twice).
    void buildDayEnd();
    void N10Click(); // backup of the database file
    void N20Click(); // restore of the backup
    void N12Click(); // "结束工作": the day tables into the history tables
private:
    bool m_dayEndConnected = false;
public:
    // ---- end end of day ----------------------------------------------------

    // ---- history search and workload: form1/history.cpp
    // Page 1: search fields (Panel4), the archived samples found, the results
    // and graphs of the selected one (Panel5), and its reprint. Safe to call
    // twice.
    void buildHistoryPage();
    // FormShow's part for this page: the department names into ComboBox2.
    void historyPageShow();
    void Button3Click();                       // search
    void findresult(const QVariant &sample, const QVariant &day);
    void tmpset1AfterScroll();
    void Button4Click();                       // reprint the selected archived sample
    void Edit1Enter(); // focus into the name box "姓    名" of the history page
    bool ComboBox2KeyPress(QKeyEvent *e);      // true when the key is swallowed
    bool DBGrid10KeyDown(QKeyEvent *e); // keys on the history grid
    void tmpset1NewRecord(db::Dataset &ds);
    void tmpset2NewRecord(db::Dataset &ds);
    void N27Click();                           // "工作量统计"

    QWidget *Panel4 = nullptr, *Panel5 = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr; // name, caseno, mzno
    QLineEdit *Edit4 = nullptr, *Edit10 = nullptr;                  // first and last test day
    QComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr;           // sex, department
    QPushButton *Button3 = nullptr, *Button4 = nullptr;
    DBGrid *DBGrid10 = nullptr, *DBGrid11 = nullptr;
    db::Dataset *tmpset1 = nullptr;   // archived samples found
    db::Dataset *tmpset2 = nullptr;   // results of the selected one
    db::Dataset *tmpset3 = nullptr;   // its graph row
    // ---- end history -------------------------------------------------------

    // ---- batch printing and stub list: form1/batch.cpp
    // Connects N4 and N28 (safe to call again) and makes Form3 and Form4
    // when start-up has not made them.
    void buildBatchPrinting();
    // The reports of a range of day samples (menu N4, F10).
    void N4Click(); // "批量打印" (F10)
    // The stub list of the listed samples, through the work file ttt.txt (menu N28).
    void N28Click(); // "存根打印"
private:
    bool m_batchConnected = false;
public:
    // ---- end batch printing ------------------------------------------------

    // ---- quality control: form1/qc.cpp
    // Page 2 "质量控制": month and material, targets grid, values grid,
    // statistics, chart and print button. Safe to call twice.
    void buildQcPage();
    Q_INVOKABLE void ComboBox3Click();   // month set-up
    void SpinEdit1Exit();
    bool SpinEdit1KeyPress(QKeyEvent *e); // keys in the year box "年度"; true: the key is swallowed
    void ComboBox4Click(); // chart "质控图1..3" chosen on the control page
    bool Edit5KeyDown(QKeyEvent *e); // keys in the lot number edit of the control page
    bool DBGrid12KeyPress(QKeyEvent *e); // keys typed on the targets grid
    void DBGrid12DblClick(); // double click on the targets grid
    void drawqchline(double mean, double sd);
    void drawqcdot();
    void N14Click();   // capture
    void N15Click();   // name a sample as control material
    void N16Click();   // take the name away
    void nameCurrentSample(const QString &name);
    void N1Click();    // correction window
    void N21Click();   // delete a value
    void Button1Click(); // chart printout
    // The correction window's store for a typed day of the shown month:
    // false when the day is no date of the month (nothing stored).
    bool storeQcCorrection(const QString &dayText, const QString &value);
    bool qcparasetBeforePost(db::Dataset &ds);
    void qcparasetPostError(db::Dataset &ds, const QString &error, db::Dataset::PostAction &action);
    void qcdatasetNewRecord(db::Dataset &ds);
    bool qcdatasetBeforePost(db::Dataset &ds);
    void qcdatasetPostError(db::Dataset &ds, const QString &error, db::Dataset::PostAction &action);

    QDate qcbegin, qcend;
    int qclevel = 0;
    class QSpinBox *SpinEdit1 = nullptr;
    QComboBox *ComboBox3 = nullptr, *ComboBox4 = nullptr;
    QLineEdit *Edit5 = nullptr;
    QLabel *Label10 = nullptr, *Label11 = nullptr, *Label17 = nullptr;
    DBGrid *DBGrid12 = nullptr, *DBGrid13 = nullptr;
    class QcChartView *DBChart1 = nullptr;
    QPushButton *Button1 = nullptr;   // "质控打印"
    QMenu *PopupMenu1 = nullptr;      // "1X" "2X" "3X" on the targets grid
    QAction *N1X1 = nullptr, *N2X1 = nullptr, *N3X1 = nullptr;
private:
    void loadQcValues();
    void requeryTargetsKeepingRow();
    void clearQcChart();
    bool m_qcMenusConnected = false;
public:
    // ---- end quality control -----------------------------------------------

protected:
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void buildFrame();
    void buildMenus();
    void buildSettingsPage();
    void placeLamp();

    QEventLoop *m_loop = nullptr;
    bool m_shownOnce = false;
    bool m_closing = false;
};

extern TForm1 *Form1;
