#include "platform/report/realprinter.h"
#include "platform/report/reportpreview.h"

#include <QTemporaryDir>
#include <cmath>
#include <cups/cups.h>

namespace report {

QStringList installedPrinterNames()
{
    cups_dest_t *dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList out;
    for (int i = 0; i < n; ++i) {
        QString name = QString::fromUtf8(dests[i].name);
        if (dests[i].instance)
            name += QLatin1Char('/') + QString::fromUtf8(dests[i].instance);
        out << name;
    }
    cupsFreeDests(n, dests);
    return out;
}

static QString mmText(double mm)
{
    // At most two decimals, no trailing zeros: 148.5, 139.7, 210.
    QString t = QString::number(std::round(mm * 100) / 100, 'f', 2);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    return t;
}

QString cupsMediaName(const QPageLayout &page)
{
    // The paper as it runs through the printer: a custom size keeps its
    // width across and its length along the feed (a half sheet is wider
    // than long); a standard sheet printed across is the same sheet.
    const QSizeF mm = page.pageSize().size(QPageSize::Millimeter);
    auto is = [&](double w, double h) {
        return (std::abs(mm.width() - w) < 0.5 && std::abs(mm.height() - h) < 0.5)
               || (std::abs(mm.width() - h) < 0.5 && std::abs(mm.height() - w) < 0.5);
    };
    if (is(210, 297))
        return QStringLiteral("iso_a4_210x297mm");
    if (is(182, 257))
        return QStringLiteral("jis_b5_182x257mm");
    // A self-describing custom size needs a name part before the size; the
    // size itself serves as the name.
    const QString size = QStringLiteral("%1x%2mm").arg(mmText(mm.width()), mmText(mm.height()));
    return QStringLiteral("custom_%1_%1").arg(size);
}

RealPrinterBackend::RealPrinterBackend()
    : m_printers(installedPrinterNames())
{
}

void RealPrinterBackend::print(const PrintJob &job)
{
    if (job.pages.empty())
        return;
    checkPrinterIndex(*this, job.printerIndex);
    QString dest;
    if (job.printerIndex >= 0) {
        dest = m_printers.at(job.printerIndex);
    } else if (const char *d = cupsGetDefault2(CUPS_HTTP_DEFAULT)) {
        dest = QString::fromUtf8(d);
    }
    if (dest.isEmpty())
        throw ReportError(QStringLiteral("没有可用的打印机"));

    QTemporaryDir tmp;
    if (!tmp.isValid())
        throw ReportError(QStringLiteral("无法建立打印文件：%1").arg(tmp.errorString()));
    const QString file = tmp.filePath(QStringLiteral("job.pdf"));
    renderPdf(job.pages, file);

    const QByteArray name = dest.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray media = cupsMediaName(job.pages.front().page).toUtf8();
    const QByteArray title = (job.title.isEmpty() ? QStringLiteral("vorlan60") : job.title).toUtf8();
    cups_option_t *options = nullptr;
    int count = 0;
    count = cupsAddOption("media", media.constData(), count, &options);
    count = cupsAddOption("copies", "1", count, &options);
    if (dest.contains(QLatin1Char('/'))) {
        // An instance brings its own saved options; ours win over them.
        cups_dest_t *dests = nullptr;
        const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
        const QByteArray inst = dest.section(QLatin1Char('/'), 1).toUtf8();
        if (cups_dest_t *d = cupsGetDest(name.constData(), inst.constData(), n, dests))
            for (int i = 0; i < d->num_options; ++i)
                if (!cupsGetOption(d->options[i].name, count, options))
                    count = cupsAddOption(d->options[i].name, d->options[i].value, count, &options);
        cupsFreeDests(n, dests);
    }
    const int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, name.constData(), QFile::encodeName(file).constData(),
                                  title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (id <= 0)
        throw ReportError(QStringLiteral("打印机 %1 没有接受打印任务（%2），报告未打印。")
                              .arg(dest, QString::fromUtf8(cupsLastErrorString())));
    m_lastJob = id;
}

void RealPrinterBackend::preview(const PrintJob &job, QWidget *parent)
{
    ReportPreviewDialog dialog(job, parent);
    dialog.exec();
}

} // namespace report
