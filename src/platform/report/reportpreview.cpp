#include "platform/report/reportpreview.h"
#include "ui_reportpreview.h"

#include "platform/widgets/dialogs.h"

#include <QPixmap>

namespace report {

ReportPreviewDialog::ReportPreviewDialog(const PrintJob &job, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ReportPreviewDialog>()), m_job(job)
{
    ui->setupUi(this);
    if (!job.title.isEmpty())
        setWindowTitle(windowTitle() + QStringLiteral(" - ") + job.title);
    connect(ui->printButton, &QPushButton::clicked, this, &ReportPreviewDialog::printJob);
    connect(ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->prevButton, &QPushButton::clicked, this, [this] { showPage(m_page - 1); });
    connect(ui->nextButton, &QPushButton::clicked, this, [this] { showPage(m_page + 1); });
    connect(ui->zoomBox, &QComboBox::currentIndexChanged, this, [this] { render(); });
    showPage(0);
}

ReportPreviewDialog::~ReportPreviewDialog() = default;

int ReportPreviewDialog::zoomPercent() const
{
    QString t = ui->zoomBox->currentText();
    t.remove(QLatin1Char('%'));
    const int z = t.toInt();
    return z > 0 ? z : 100;
}

void ReportPreviewDialog::showPage(int index)
{
    if (m_job.pages.empty()) {
        m_page = 0;
    } else {
        m_page = std::clamp(index, 0, pageCount() - 1);
    }
    render();
}

void ReportPreviewDialog::render()
{
    const int n = pageCount();
    ui->pageLabel->setText(QStringLiteral("第 %1 页，共 %2 页").arg(n ? m_page + 1 : 0).arg(n));
    ui->prevButton->setEnabled(m_page > 0);
    ui->nextButton->setEnabled(m_page + 1 < n);
    ui->printButton->setEnabled(n > 0);
    if (n == 0) {
        ui->pageView->clear();
        return;
    }
    const QImage img = renderImage(m_job.pages[m_page], 96.0 * zoomPercent() / 100.0);
    ui->pageView->setPixmap(QPixmap::fromImage(img));
    ui->pageView->resize(img.size());
}

void ReportPreviewDialog::printJob()
{
    try {
        report::print(m_job);
        m_printed = true;
    } catch (const ReportError &e) {
        dlg::error(e.message(), this);
    }
}

} // namespace report
