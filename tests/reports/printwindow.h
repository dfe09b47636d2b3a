#pragma once
// Fixture of the print tests on the main window: two printers
// ("Office_Laser", "Ward_DotMatrix") writing PDF files, work day 2026-12-06
// at 10:05, operator 李四, and a scratch working folder for the stub list's
// work file.
#include "common/mainwindowtest.h"
#include "pdftools.h"
#include "stamp.h"

#include "app/Unit1.h"
#include "app/oprinput.h"
#include "app/printprogress.h"
#include "app/pssinput.h"
#include "app/startup.h"
#include "base/CustData.h"
#include "base/session.h"
#include "reports/Unit3.h"
#include "reports/Unit4.h"
#include "reports/printsettings.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

class PrintingWindow : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        backend = std::make_shared<RefusingBackend>(tmp.path(), QStringList{"Office_Laser", "Ward_DotMatrix"});
        report::setPrinterBackend(backend);
        session::setWorkdate(QDate(2026, 12, 6));
        session::setCurrentOperator("李四");
        session::setClock([]() { return QDateTime(QDate(2026, 12, 6), QTime(10, 5)); });
        reports::clearPrinterPapers();
        oldDir = QDir::currentPath();
        QDir::setCurrent(workDir.path());
    }
    void TearDown() override
    {
        QDir::setCurrent(oldDir);
        MainWindowTest::TearDown();
    }
    // The main window with its print settings, sample list and batch printing
    // (built a second time: no second connection); kind 0 graphic / 1 text.
    void start(int kind, int paper, int printer = 0)
    {
        createMain();
        Form1->printSettingsShow();
        Form1->samplePageShow();
        Form1->buildBatchPrinting();
        choose(kind, paper, printer);
    }
    // Chooses an entry of a settings box as the user does.
    static void pick(QComboBox *box, int index)
    {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void choose(int kind, int paper, int printer = 0)
    {
        Form1->ComboBox6->setCurrentIndex(printer);
        Form1->ComboBox7->setCurrentIndex(paper);
        Form1->ComboBox8->setCurrentIndex(kind);
    }
    // Batch printing with a range typed into its dialog (keys, so that the
    // dialog's key filter applies).
    void batch(const QString &lo, const QString &hi, bool ok = true)
    {
        QTimer::singleShot(0, [=]() {
            QTest::keyClicks(Form3->Edit1, lo);
            QTest::keyClicks(Form3->Edit2, hi);
            (ok ? Form3->Button1 : Form3->Button2)->click();
        });
        Form1->N4->trigger();
    }
    // The stub list, its dialog answered by fill.
    static void stub(std::function<void()> fill)
    {
        QTimer::singleShot(0, fill);
        Form1->N28->trigger();
    }
    // The text of every job from `from` on, '#' after each.
    QString printed(size_t from = 0, size_t to = SIZE_MAX) const
    {
        QString out;
        const auto jobs = backend->jobs();
        for (size_t j = from; j < std::min(to, jobs.size()); ++j)
            out += pdftools::compactText(jobs[j].file) + '#';
        return out;
    }
    // The main window usable again and the progress window gone.
    static void expectIdle()
    {
        EXPECT_TRUE(Form1->isEnabled());
        EXPECT_TRUE(Form1->N3->isEnabled());
        EXPECT_FALSE(frmprintprogress && frmprintprogress->isVisible());
    }
    // The program ends and starts again on the same file, with the printers
    // the back end lists now: a new data module and main window, shown.
    void restart(std::shared_ptr<report::ReportPrinterBackend> printers)
    {
        destroyWindows();
        report::setPrinterBackend(std::move(printers));
        frmoprput = new Tfrmoprput;
        frmpssinput = new Tfrmpssinput;
        dbdata = new Tdbdata(dbPath);
        ASSERT_TRUE(dbdata->connected() && dbdata->openDatasets()) << dbdata->openError().toStdString();
        showMain();
    }
    QString workFile() const { return QDir(workDir.path()).filePath("ttt.txt"); }

    QTemporaryDir tmp, workDir;
    QString oldDir;
    std::shared_ptr<RefusingBackend> backend;
};
