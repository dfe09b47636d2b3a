#pragma once
// Prints on the installed printers through CUPS and previews in
// ReportPreviewDialog. Start-up installs it once:
//   report::setPrinterBackend(std::make_shared<report::RealPrinterBackend>());
//
// Every job is written by our own PDF writer (the same file the tests read
// back) and handed to CUPS as one document with its paper as the media. A
// job counts as handed over only when CUPS answers with a job id.
#include "platform/report/printing.h"

namespace report {

class RealPrinterBackend : public ReportPrinterBackend
{
public:
    // Reads the list of installed printers once: the settings page shows it
    // and a printer index keeps naming the printer shown, whatever queues
    // are added or removed while the program runs.
    RealPrinterBackend();

    QStringList printerNames() const override { return m_printers; }
    void print(const PrintJob &job) override;
    void preview(const PrintJob &job, QWidget *parent) override;

    // The CUPS id of the last job handed over (0 before the first).
    int lastJobId() const { return m_lastJob; }

private:
    QStringList m_printers;
    int m_lastJob = 0;
};

// The installed printers (CUPS destinations, "name" or "name/instance") in
// CUPS's order.
QStringList installedPrinterNames();

// The CUPS media name of a page: the standard names for A4 and the 182 x 257
// sheet, "custom_WxHmm_WxHmm" for any other size (portrait width first).
QString cupsMediaName(const QPageLayout &page);

} // namespace report
