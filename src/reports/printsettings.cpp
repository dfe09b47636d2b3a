#include "reports/printsettings.h"

#include "base/currency.h"
#include "platform/db/dataset.h"

#include <QHash>
#include <algorithm>

namespace reports {

const char *const NoPrinterMessage = "请在[系统设置]--[其它]设置面板中设置打印机";
const char *const NoPaperMessage = "请在[系统设置]--[其它]设置面板中设置纸张";
const char *const NoPrinterInstalled = "没有安装打印机，请退出程序安装打印机!";
const char *const PrinterGoneNotice = "原来选择的打印机“%1”已不在本机的打印机列表中，"
                                      "请在[系统设置]--[其它]设置面板中重新选择打印机";

QStringList paperItems()
{
    return {QStringLiteral("1.210X148.5mm(A4,1页2份报告)"),
            QStringLiteral("2.215X139.7mm(连续纸半张，针式打印机)"),
            QStringLiteral("3.A4"), QStringLiteral("4.B5")};
}

QStringList reportKindItems()
{
    return {QStringLiteral("1.图形报告"), QStringLiteral("2.文字报告")};
}

QString settingsRefusal(const PrintSettings &s)
{
    if (s.printerIndex < 0)
        return QString::fromUtf8(NoPrinterMessage);
    if (s.paperIndex < 0)
        return QString::fromUtf8(NoPaperMessage);
    return {};
}

QString printerRefusal(const PrintSettings &s)
{
    if (s.printerIndex < 0 && !s.lostPrinter.isEmpty())
        return QString::fromUtf8(NoPrinterMessage);
    return {};
}

double marginValue(const QString &text)
{
    // A point without a digit is no number (it is not a margin of 0 mm).
    const bool digit = std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    const auto v = digit ? Currency::fromText(text) : std::nullopt;
    if (!v)
        throw report::ReportError(QStringLiteral("'%1'不是有效的浮点数").arg(text));
    return v->toDouble();
}

Margins parseMargins(const PrintSettings &s)
{
    Margins m;
    m.top = marginValue(s.top);
    m.left = marginValue(s.left);
    m.bottom = marginValue(s.bottom);
    m.right = marginValue(s.right);
    return m;
}

bool marginKeyAccepted(QChar c, const QString &current)
{
    if (c == QLatin1Char('.') && current.contains(QLatin1Char('.')))
        return false;
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') || c == QLatin1Char('%')
           || c == QLatin1Char('\'') || c == QLatin1Char('\t');
}

QString marginShown(const QVariant &stored, double defaultMm)
{
    if (!stored.isValid() || stored.isNull())
        return QStringLiteral("0.0");
    const double v = stored.toDouble();
    return QString::asprintf("%.1f", v == 0 ? defaultMm : v);
}

int storedIndex(const QVariant &v, int count)
{
    if (!v.isValid() || v.isNull())
        return -1;
    bool ok = false;
    const int i = v.toInt(&ok);
    return ok && i >= 0 && i < count ? i : -1;
}

bool storeSetting(db::Dataset &corp, const QString &column, const QVariant &value, QString *error)
{
    return storeSettings(corp, {{column, value}}, error);
}

bool storeSettings(db::Dataset &corp, const QList<QPair<QString, QVariant>> &values, QString *error)
{
    if (!corp.isOpen() || corp.isEmpty()) {
        if (error)
            *error = QStringLiteral("设置表 corpration 中没有记录");
        return false;
    }
    bool ok = true;
    for (const auto &[column, value] : values)
        ok = ok && corp.setValue(column, value);
    if (ok && corp.post())
        return true;
    if (error)
        *error = corp.lastError();
    corp.cancel();
    return false;
}

PrinterChoice choosePrinter(const QVariant &storedIndex, const QVariant &storedName, const QStringList &printers)
{
    PrinterChoice c;
    const int at = reports::storedIndex(storedIndex, int(printers.size()));
    const QString name = storedName.isNull() ? QString() : storedName.toString();
    if (name.isEmpty()) {
        // A row from before names were kept: trust the position once.
        c.index = at;
        c.storeName = at >= 0;
        return c;
    }
    if (at >= 0 && printers.at(at) == name) {
        c.index = at;
        return c;
    }
    c.index = int(printers.indexOf(name));
    if (c.index >= 0)
        c.storeIndex = true;
    else
        c.notice = QString::fromUtf8(PrinterGoneNotice).arg(name);
    return c;
}

// ---- paper set-up ----------------------------------------------------------

QPageSize PrinterPaper::pageSize() const
{
    if (form == QLatin1String("A4"))
        return QPageSize(QPageSize::A4);
    if (form == QLatin1String("B5"))
        return QPageSize(QPageSize::JisB5);   // 182 x 257 mm, as the B5 report form
    if (width10 > 0 && length10 > 0)
        return QPageSize(QSizeF(width10 / 10.0, length10 / 10.0), QPageSize::Millimeter, form,
                         QPageSize::ExactMatch);
    return QPageSize(QPageSize::A4);
}

std::optional<PrinterPaper> paperSetupFor(int paperIndex)
{
    switch (paperIndex) {
    // Both custom papers are 210 mm wide, also the one listed as 215.
    case PaperHalfA4: return PrinterPaper{QStringLiteral("Custom Size"), 2100, 1485, {}};
    case PaperHalfContinuous: return PrinterPaper{QStringLiteral("Custom Size"), 2100, 1397, {}};
    case PaperA4: return PrinterPaper{QStringLiteral("A4"), 0, 0, {}};
    case PaperB5: return PrinterPaper{QStringLiteral("B5"), 0, 0, {}};
    default: return std::nullopt;
    }
}

static QHash<QString, PrinterPaper> &papers()
{
    static QHash<QString, PrinterPaper> p;
    return p;
}

int setprtpaper(const QString &form, int width10, int length10, const QString &printer)
{
    papers().insert(printer, PrinterPaper{form, width10, length10, printer});
    return 0;
}

std::optional<PrinterPaper> printerPaper(const QString &printer)
{
    auto it = papers().constFind(printer);
    if (it == papers().constEnd())
        return std::nullopt;
    return *it;
}

QPageSize currentPageSize(const QString &printer, const QPageSize &fallback)
{
    const auto p = printerPaper(printer);
    return p ? p->pageSize() : fallback;
}

void clearPrinterPapers()
{
    papers().clear();
}

void moveTemplateFooter(report::ReportForm &frmtestreport)
{
    report::ReportItem &line = frmtestreport.item(QStringLiteral("QRShape4"));
    line.mm.moveTop(MovedFooterTopMm);
}

} // namespace reports
