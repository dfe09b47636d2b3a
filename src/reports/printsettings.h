#pragma once
// The print settings of the settings page as plain rules: the choice lists,
// the margin key filter and texts, the enabling rule, the stores into the
// settings row, and the paper set-up of a printer.
#include "platform/report/reportform.h"

#include <QPageSize>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace db { class Dataset; }

namespace reports {

// Paper choices (ComboBox7) and report kinds (ComboBox8), by item index.
enum Paper { PaperHalfA4 = 0, PaperHalfContinuous = 1, PaperA4 = 2, PaperB5 = 3 };
enum Kind { KindGraphic = 0, KindText = 1 };
QStringList paperItems();
QStringList reportKindItems();

extern const char *const NoPrinterMessage;   // "请在[系统设置]--[其它]设置面板中设置打印机"
extern const char *const NoPaperMessage;     // "请在[系统设置]--[其它]设置面板中设置纸张"
extern const char *const NoPrinterInstalled; // "没有安装打印机，请退出程序安装打印机!"
// The status text when the stored printer is no longer installed (%1 its name).
extern const char *const PrinterGoneNotice;

// What printing reads from the settings page: combo indexes (-1 none) and
// the four margin texts as typed.
struct PrintSettings
{
    int printerIndex = -1;
    int paperIndex = -1;
    int kind = -1;
    QString top, left, bottom, right;
    // The printer the settings row names when it is no longer installed and
    // none has been chosen since; empty otherwise.
    QString lostPrinter;
    bool graphic() const { return kind != KindText; }
};

struct Margins
{
    double top = 0, left = 0, bottom = 0, right = 0;
};

// The refusal of a print or preview for lack of a printer or a paper, or an
// empty text when both are chosen.
QString settingsRefusal(const PrintSettings &s);
// The refusal of every print while the chosen printer is gone: without a
// printer the job would land on the system's default printer, which nobody
// chose. Empty when a printer is chosen or none was ever chosen.
QString printerRefusal(const PrintSettings &s);
// A margin text as a decimal number rounded to 4 places; throws
// report::ReportError with the conversion message when it is not a number.
double marginValue(const QString &text);
Margins parseMargins(const PrintSettings &s);

// The margin boxes' key filter: true when the typed character goes in.
bool marginKeyAccepted(QChar c, const QString &current);
// A stored margin as the box shows it: null "0.0"; 0 the default; else "%.1f".
QString marginShown(const QVariant &stored, double defaultMm);
// Defaults shown for a stored 0: top, left, bottom, right.
constexpr double DefaultTop = 5.0, DefaultLeft = 20.0, DefaultBottom = 10.0, DefaultRight = 20.0;

// cmpswitch: the paper choice, margins and preview are live only for the
// graphic kind.
inline bool paperControlsEnabled(int kind) { return kind == KindGraphic; }

// An item index of the settings row: NULL or out of the list's range is -1.
int storedIndex(const QVariant &v, int count);

// Writes one column of the settings row at once. False with the database's
// text in *error when the row refuses it (the row is then left unchanged).
bool storeSetting(db::Dataset &corp, const QString &column, const QVariant &value, QString *error);
// The same for several columns, written together.
bool storeSettings(db::Dataset &corp, const QList<QPair<QString, QVariant>> &values, QString *error);

// The printer of the settings row among the printers installed now. The
// row keeps the printer's position (prntindex) and its name (prntname); a
// position counts only while it still shows that name, since queues added
// or removed between runs move the others.
struct PrinterChoice
{
    int index = -1;          // what the printer list shows chosen
    bool storeIndex = false; // the name was found at another position
    bool storeName = false;  // a row without a name: the position's name is kept from now on
    QString notice;          // the stored printer is gone: said in the status bar
};
PrinterChoice choosePrinter(const QVariant &storedIndex, const QVariant &storedName, const QStringList &printers);

// ---- paper set-up of a printer -------------------------------------------
// The named paper a printer uses as its current paper.
struct PrinterPaper
{
    QString form;        // "Custom Size", "A4", "B5"
    int width10 = 0;     // tenths of a millimetre; 0 for a standard form
    int length10 = 0;
    QString printer;
    QPageSize pageSize() const;
};

// The arguments for a paper choice (printer name left empty); nullopt for
// an index outside the list.
std::optional<PrinterPaper> paperSetupFor(int paperIndex);
// Records the paper as the printer's current paper. Returns 0.
int setprtpaper(const QString &form, int width10, int length10, const QString &printer);
// The printer's current paper, when one was set up.
std::optional<PrinterPaper> printerPaper(const QString &printer);
// The page a job on the printer's current paper uses (the fallback when the
// printer's paper was never set up).
QPageSize currentPageSize(const QString &printer, const QPageSize &fallback = QPageSize(QPageSize::A4));
void clearPrinterPapers();

// The footer line of the half-sheet template moves up for the two custom
// papers, so that two reports fit one sheet.
constexpr double MovedFooterTopMm = 116.4;
void moveTemplateFooter(report::ReportForm &frmtestreport);

} // namespace reports
