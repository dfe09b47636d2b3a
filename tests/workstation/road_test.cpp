// The main road of one sample, end to end through the windows: the analyser's
// records arrive on a pseudo-terminal, the staff register the patient in the
// patient window, the list and the graph pictures show that sample, and F9
// prints its report, which stamps it printed.
#include "app/oprinput.h"
#include "common/testdb.h"
#include "graphics/drawgraphic.h"
#include "graphics/graphpanel.h"
#include "pdftools.h"
#include "platform/comm/commcontrol.h"
#include "platform/report/printing.h"
#include "platform/widgets/dbedits.h"
#include "pty.h"
#include "recordgen.h"
#include "workstation/patient.h"
#include "wsfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using pty::kWaitMs;
using MainRoad = MainWindowTest;

TEST_F(MainRoad, ReceiveRegisterShowAndPrintOneSample)
{
    if (!pty::haveSocat())
        GTEST_SKIP() << "socat not installed";
    wst::run(QStringLiteral("insert into operator ([no], name, exp1) values (100, '李医生', '')"));
    frmoprput->runMainWindow = []() {};
    frmoprput->Edit1->setText(QStringLiteral("100"));
    frmoprput->Button1Click();
    auto pdf = std::make_shared<report::PdfFileBackend>(testdb::tempDir(), QStringList{QStringLiteral("PDF")});
    report::setPrinterBackend(pdf);

    // A pseudo-terminal pair stands for the serial line.
    pty::Pair line(testdb::tempDir());
    ASSERT_TRUE(line.start());
    qputenv("VORLAN_SERIAL", QFile::encodeName(line.a));
    showMain();
    qunsetenv("VORLAN_SERIAL");
    ASSERT_TRUE(Form1->MSComm1->PortOpen());
    EXPECT_EQ(Form1->currentoperator(), QStringLiteral("李医生"));

    // The analyser sends samples 7, 8 and 9.
    QVector<sim::SimItem> simItems;
    ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
    sim::RecordGenerator gen(simItems, 77);
    QByteArray stream;
    for (const char *n : {"7", "8", "9"})
        stream += gen.record(QString::fromLatin1(n)).bytes;
    ASSERT_TRUE(pty::writeDevice(line.b, stream, int(stream.size())));
    for (QDeadlineTimer d(kWaitMs); !d.hasExpired() && wst::count(QStringLiteral("gresult")) < 3;)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(wst::count(QStringLiteral("gresult")), 3);
    EXPECT_EQ(Form1->patientset->recordCount(), 0) << "results alone are not listed";

    // The staff register sample 8 (F3 opens the patient window), typing as a
    // person types, once the window has run its show handler.
    QTimer::singleShot(200, [&]() {
        typeInto(frmpatient->DBEdit1, QStringLiteral("8"));
        typeInto(frmpatient->DBEdit2, QStringLiteral("王芳"));
        typeInto(frmpatient->DBComboBox1, QStringLiteral("2"));
        QTest::mouseClick(frmpatient->Button1, Qt::LeftButton);
        frmpatient->Button2Click();
    });
    Form1->N2Click();
    ASSERT_EQ(db::scalar(QStringLiteral("select name||'/'||sex||'/'||operator from patient where shelfid='8'")).toString(),
              QStringLiteral("王芳/女/李医生"));

    // The list shows it, with its results and the pictures of its own graph row.
    Form1->N25Click();
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("8")));
    EXPECT_GE(Form1->testresultset->recordCount(), 20);
    db::Dataset graphRow;
    ASSERT_TRUE(graphRow.open(QStringLiteral("select * from gresult where shelfid='8'")));
    const graphics::GraphPictures expected = graphics::drawgraphic(graphics::currentGraphRow(graphRow).value());
    for (int n = 1; n <= 4; ++n) // as the panel's labels show them
        EXPECT_EQ(Form1->Panel1->image(n)->pixmap().toImage().convertToFormat(QImage::Format_RGB32), expected.image[n])
            << "Image" << n;
    Form1->resize(1100, 640);
    QApplication::processEvents();
    Form1->grab().save(testdb::outputDir() + QStringLiteral("/road_sample_page.png"));

    // F9 prints the graphic half-sheet report on the chosen printer and stamps it.
    for (QComboBox *box : {Form1->ComboBox6, Form1->ComboBox7, Form1->ComboBox8}) {
        box->setCurrentIndex(0);
        emit box->activated(0);
    }
    ASSERT_TRUE(Form1->patientset->locate(QStringLiteral("shelfid"), QStringLiteral("8")));
    Form1->N3Click();
    ASSERT_EQ(pdf->jobs().size(), 1u) << qPrintable(dialogs.shown.join(QLatin1Char('|')));
    const QString file = pdf->jobs().front().file;
    const QString printed = pdftools::compactText(file);
    for (const char *want : {"王芳", "[WBC]", "检验报告单"})
        EXPECT_TRUE(printed.contains(QString::fromUtf8(want))) << want;
    EXPECT_EQ(db::scalar(QStringLiteral("select printflag || (bgtime is not null) from patient where shelfid='8'")).toString(),
              QStringLiteral("11")); // printed, with its report time
    pdftools::savePage(file, QStringLiteral("road_report"));
}

} // namespace
