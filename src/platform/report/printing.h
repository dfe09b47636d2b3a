#pragma once
// The one print entry of the program. Every report goes through the back end
// installed here: the real one prints on the installed printers (CUPS) and
// previews in a window; tests install one that writes each job to its own PDF.
#include "platform/report/displaylist.h"

#include <QStringList>
#include <memory>
#include <vector>

class QWidget;

namespace report {

// One print job: pages in order, the printer by index into printerNames()
// (-1: the default printer) and a job name.
struct PrintJob
{
    std::vector<DisplayList> pages;
    int printerIndex = -1;
    QString title;
};

class ReportPrinterBackend
{
public:
    virtual ~ReportPrinterBackend() = default;
    // The installed printers in the system's order (the settings page's list).
    virtual QStringList printerNames() const = 0;
    // Hands one job to the printer; returns when it is handed over. Throws
    // ReportError when the printer is missing or refuses the job.
    virtual void print(const PrintJob &job) = 0;
    // Shows the pages modally; printing is possible from there. Returns when
    // the preview is closed.
    virtual void preview(const PrintJob &job, QWidget *parent) = 0;
};

// Writes every job to its own file in a folder: job-001.pdf, job-002.pdf, ...
// and every preview to preview-001.pdf, ..., and keeps a log of them.
class PdfFileBackend : public ReportPrinterBackend
{
public:
    struct Entry
    {
        bool preview = false;
        QString file;
        int printerIndex = -1;
        QString title;
        int pageCount = 0;
    };

    explicit PdfFileBackend(const QString &dir,
                            const QStringList &printers = {QStringLiteral("PDF")});

    QStringList printerNames() const override { return m_printers; }
    void print(const PrintJob &job) override;
    void preview(const PrintJob &job, QWidget *parent) override;

    const std::vector<Entry> &log() const { return m_log; }
    std::vector<Entry> jobs() const;       // prints only
    QString dir() const { return m_dir; }

private:
    QString write(const PrintJob &job, bool preview);

    QString m_dir;
    QStringList m_printers;
    std::vector<Entry> m_log;
    int m_jobs = 0;
    int m_previews = 0;
};

// The back end every print and preview uses. Start-up installs the real one;
// tests install a PdfFileBackend. Without one, print() throws.
void setPrinterBackend(std::shared_ptr<ReportPrinterBackend> backend);
std::shared_ptr<ReportPrinterBackend> printerBackend();

// Checks a printer index against the back end's list (-1 is the default).
// Throws ReportError for an index outside it.
void checkPrinterIndex(const ReportPrinterBackend &backend, int index);

// Prints a form with its record as one job on the form's printer.
void print(const ReportForm &form, const Record &record);
// Prints several resolved pages as one job.
void print(const PrintJob &job);
// Modal preview of a form with its record.
void preview(const ReportForm &form, const Record &record, QWidget *parent = nullptr);
void preview(const PrintJob &job, QWidget *parent = nullptr);

// A job of one form.
PrintJob jobOf(const ReportForm &form, const Record &record);

} // namespace report
