#pragma once
// Modal preview of a print job: page by page, zoomable, with a print button
// that hands the job to the installed back end.
#include "platform/report/printing.h"

#include <QDialog>
#include <memory>

namespace Ui { class ReportPreviewDialog; }

namespace report {

class ReportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReportPreviewDialog(const PrintJob &job, QWidget *parent = nullptr);
    ~ReportPreviewDialog() override;

    int currentPage() const { return m_page; }
    int pageCount() const { return int(m_job.pages.size()); }
    int zoomPercent() const;
    bool printed() const { return m_printed; }

public slots:
    void showPage(int index);
    void printJob();

private:
    void render();

    std::unique_ptr<Ui::ReportPreviewDialog> ui;
    PrintJob m_job;
    int m_page = 0;
    bool m_printed = false;
};

} // namespace report
