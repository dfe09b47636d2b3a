#pragma once
// Prints on the installed printers through Qt's print system (CUPS) and
// previews in ReportPreviewDialog. Start-up installs it:
//   report::setPrinterBackend(std::make_shared<report::RealPrinterBackend>());
#include "platform/report/printing.h"

namespace report {

class RealPrinterBackend : public ReportPrinterBackend
{
public:
    QStringList printerNames() const override;
    void print(const PrintJob &job) override;
    void preview(const PrintJob &job, QWidget *parent) override;
};

} // namespace report
