#include "platform/report/realprinter.h"
#include "platform/report/reportpreview.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace report {

QStringList RealPrinterBackend::printerNames() const
{
    return QPrinterInfo::availablePrinterNames();
}

void RealPrinterBackend::print(const PrintJob &job)
{
    if (job.pages.empty())
        return;
    const QStringList names = printerNames();
    checkPrinterIndex(*this, job.printerIndex);
    const QPrinterInfo info = job.printerIndex < 0 ? QPrinterInfo::defaultPrinter()
                                                   : QPrinterInfo::printerInfo(names.at(job.printerIndex));
    if (info.isNull())
        throw ReportError(QStringLiteral("没有可用的打印机"));

    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(job.title);
    printer.setFullPage(true);   // positions are measured from the paper's corner
    printer.setCopyCount(1);
    if (!printer.setPageLayout(job.pages.front().page))
        throw ReportError(QStringLiteral("打印机 %1 不接受此纸张").arg(info.printerName()));
    QPainter painter;
    if (!painter.begin(&printer))
        throw ReportError(QStringLiteral("无法在打印机 %1 上打印").arg(info.printerName()));
    for (size_t i = 0; i < job.pages.size(); ++i) {
        if (i > 0) {
            printer.setPageLayout(job.pages[i].page);
            if (!printer.newPage())
                throw ReportError(QStringLiteral("打印机 %1 中断了打印").arg(info.printerName()));
        }
        paintPage(painter, job.pages[i]);
    }
    if (!painter.end())
        throw ReportError(QStringLiteral("打印机 %1 中断了打印").arg(info.printerName()));
}

void RealPrinterBackend::preview(const PrintJob &job, QWidget *parent)
{
    ReportPreviewDialog dialog(job, parent);
    dialog.exec();
}

} // namespace report
