// The main window's batch printing (a range of samples, several reports to a
// sheet) and the stub list.
#include "app/Unit1.h"

#include "app/printprogress.h"
#include "base/session.h"
#include "platform/db/command.h"
#include "platform/report/printing.h"
#include "platform/widgets/dialogs.h"
#include "reports/Unit3.h"
#include "reports/Unit4.h"
#include "reports/batch.h"
#include "app/form1/print.h"
#include "reports/stub.h"
#include "workstation/samplelist.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSaveFile>
#include <QScopeGuard>

void TForm1::buildBatchPrinting()
{
    form3Window();
    form4Window();
    if (!ADODataSet3) {
        ADODataSet3 = new db::Dataset(this);
        testprntset = new db::Dataset(this);
        ADODataSet5 = new db::Dataset(this);
    }
    if (m_batchConnected)
        return;
    if (N4)
        connect(N4, &QAction::triggered, this, &TForm1::N4Click);
    if (N28)
        connect(N28, &QAction::triggered, this, &TForm1::N28Click);
    m_batchConnected = true;
}

void TForm1::N4Click()
{
    TForm3 *range = form3Window();
    range->exec();
    if (range->okflag() == 0 || range->Edit1->text().isEmpty() || range->Edit2->text().isEmpty())
        return;
    buildBatchPrinting();

    if (N3)
        N3->setEnabled(false);
    setEnabled(false);
    const auto end = qScopeGuard([&]() {
        if (N3)
            N3->setEnabled(true);
        setEnabled(true);
        closePrintProgress();
        if (patientset)
            patientrefresh();
    });

    reports::BatchHooks hooks;
    hooks.selected = [](int count) { showPrintProgress(count, 0); };
    hooks.progress = [](int recNo) {
        if (frmprintprogress) {
            frmprintprogress->ProgressBar1->setValue(recNo);
            frmprintprogress->repaint();
        }
    };
    hooks.graphs = [this](db::Dataset &patient, db::Dataset &graph) {
        drawgraphic(&patient, &graph);
        return reports::reportContentOf(*this, nullptr, nullptr).images;
    };
    const reports::BatchResult r = reports::runBatch(
        range->Edit1->text(), range->Edit2->text(), printfilter, reports::printSettingsOf(*this), getHospitalname(),
        reports::ReportForms::instance(), *ADODataSet3, *testprntset, *ADODataSet5, hooks);
    switch (r.outcome) {
    case reports::BatchResult::NothingSelected:
    case reports::BatchResult::Refused:
        dlg::message(r.message, this);
        break;
    case reports::BatchResult::Failed:
        dlg::error(r.message, this);
        break;
    case reports::BatchResult::Done:
        break;
    }
}

namespace {

QString workFile()
{
    return QDir::current().filePath(QStringLiteral("ttt.txt"));
}

} // namespace

void TForm1::N28Click()
{
    if (!patientset || !patientset->isOpen() || patientset->isEmpty())
        return;
    TForm4 *choice = form4Window();
    choice->exec();
    if (choice->okflag() != 1)
        return;
    const reports::PrintSettings settings = reports::printSettingsOf(*this);
    if (const QString refusal = reports::printerRefusal(settings); !refusal.isEmpty()) {
        dlg::message(refusal, this);
        return;
    }
    const int printer = settings.printerIndex;
    const bool part = choice->RadioButton2->isChecked();

    // A range print leaves the list showing every sample, also when it
    // stopped early, so the list never keeps the range's parameters.
    const auto restore = qScopeGuard([&]() {
        if (!part)
            return;
        patientset->close();
        patientset->setSql(ws::patientPaddedOrderQuery());
        patientset->setParams({});
        if (!patientset->open())
            dlg::error(patientset->lastError(), this);
    });

    if (part) {
        if (const auto range = reports::stubRange(choice->Edit1->text())) {
            patientset->close();
            patientset->setSql(ws::patientRangeQuery());
            patientset->setParams({range->first, range->second});
            if (!patientset->open()) {
                dlg::error(patientset->lastError(), this);
                return;
            }
        }
    }
    if (patientset->isEmpty())
        return;

    std::vector<reports::StubSample> samples;
    QString err;
    if (!reports::stubSamples(*patientset, &samples, &err)) {
        dlg::error(err, this);
        return;
    }
    patientset->first();

    try {
        const QByteArray text = reports::stubFileText(reports::stubLines(samples, session::now().date()));
        QSaveFile out(workFile());
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
            dlg::error(QStringLiteral("无法写入 %1：%2").arg(workFile(), out.errorString()), this);
            return;
        }
        QFile in(workFile());
        if (!in.open(QIODevice::ReadOnly)) {
            dlg::error(QStringLiteral("无法读取 %1：%2").arg(workFile(), in.errorString()), this);
            return;
        }
        QStringList lines = reports::fromGbk(in.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        reports::TextPrintSetup setup;
        setup.printerIndex = printer;
        setup.title = QStringLiteral("    ");
        const QStringList printers = report::printerBackend() ? report::printerBackend()->printerNames() : QStringList();
        setup.pageSize = reports::currentPageSize(printer >= 0 ? printers.value(printer) : QString());
        reports::printTextLines(lines, setup);
    } catch (const report::ReportError &e) {
        dlg::error(e.message(), this);
    }
}
