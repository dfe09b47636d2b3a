#include "platform/report/printing.h"

#include <QDir>

namespace report {

PdfFileBackend::PdfFileBackend(const QString &dir, const QStringList &printers)
    : m_dir(dir), m_printers(printers)
{
    QDir().mkpath(dir);
}

QString PdfFileBackend::write(const PrintJob &job, bool preview)
{
    checkPrinterIndex(*this, job.printerIndex);
    const int n = preview ? ++m_previews : ++m_jobs;
    const QString file = QDir(m_dir).filePath(
        QStringLiteral("%1-%2.pdf").arg(preview ? QStringLiteral("preview") : QStringLiteral("job"))
            .arg(n, 3, 10, QLatin1Char('0')));
    renderPdf(job.pages, file);
    m_log.push_back({preview, file, job.printerIndex, job.title, int(job.pages.size())});
    return file;
}

void PdfFileBackend::print(const PrintJob &job)
{
    write(job, false);
}

void PdfFileBackend::preview(const PrintJob &job, QWidget *)
{
    write(job, true);
}

std::vector<PdfFileBackend::Entry> PdfFileBackend::jobs() const
{
    std::vector<Entry> out;
    for (const auto &e : m_log)
        if (!e.preview)
            out.push_back(e);
    return out;
}

static std::shared_ptr<ReportPrinterBackend> &backendSlot()
{
    static std::shared_ptr<ReportPrinterBackend> slot;
    return slot;
}

void setPrinterBackend(std::shared_ptr<ReportPrinterBackend> backend)
{
    backendSlot() = std::move(backend);
}

std::shared_ptr<ReportPrinterBackend> printerBackend()
{
    auto b = backendSlot();
    if (!b)
        throw ReportError(QStringLiteral("没有安装打印输出"));
    return b;
}

void checkPrinterIndex(const ReportPrinterBackend &backend, int index)
{
    const int count = int(backend.printerNames().size());
    if (index < -1 || index >= count)
        throw ReportError(QStringLiteral("打印机序号 %1 无效（共有 %2 台打印机）").arg(index).arg(count));
}

PrintJob jobOf(const ReportForm &form, const Record &record)
{
    PrintJob job;
    job.pages.push_back(resolve(form, record));
    job.printerIndex = form.printerIndex;
    job.title = job.pages.front().title;
    return job;
}

void print(const ReportForm &form, const Record &record)
{
    print(jobOf(form, record));
}

void print(const PrintJob &job)
{
    if (job.pages.empty())
        return;
    printerBackend()->print(job);
}

void preview(const ReportForm &form, const Record &record, QWidget *parent)
{
    preview(jobOf(form, record), parent);
}

void preview(const PrintJob &job, QWidget *parent)
{
    printerBackend()->preview(job, parent);
}

} // namespace report
