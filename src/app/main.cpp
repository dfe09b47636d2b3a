// Start-up: the windows are created in a fixed order, the log-on window
// first, so that closing it ends the program.
#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/appsetup.h"
#include "app/database.h"
#include "app/oprinput.h"
#include "app/printprogress.h"
#include "app/pssinput.h"
#include "platform/report/realprinter.h"
#include "qc/qcnamesel.h"
#include "qc/qcvalueinput.h"
#include "reports/Unit3.h"
#include "reports/Unit4.h"
#include "workstation/dayfltj.h"
#include "workstation/fieldcacl.h"
#include "workstation/linejust.h"
#include "workstation/patient.h"
#include "workstation/resultinput.h"
#include "platform/widgets/dialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setupApplication(app);
    report::setPrinterBackend(std::make_shared<report::RealPrinterBackend>());

    frmoprput = new Tfrmoprput;
    frmpssinput = new Tfrmpssinput;
    dbdata = new Tdbdata(QString::fromLatin1(appdb::kDatabaseFile), &app);
    if (!dbdata->connected()) {
        dlg::error(dbdata->openError());
        return 1;
    }
    Form1 = new TForm1;
    frmpatient = new Tfrmpatient;
    frmlinejust = new Tfrmlinejust;
    frmfieldcount = new Tfrmfieldcount;
    frmresultinput = new Tfrmresultinput;
    frmqcnamesel = new Tfrmqcnamesel;
    frmqcvalueinput = new Tfrmqcvalueinput;
    // The report forms are data, made when first printed.
    Form3 = new TForm3;
    frmprintprogress = new Tfrmprintprogress;
    frmdayfltj = new Tfrmdayfltj;
    Form4 = new TForm4;

    frmoprput->show();
    const int rc = app.exec();
    delete Form4;
    delete frmdayfltj;
    delete Form3;
    delete frmprintprogress;
    delete frmqcvalueinput;
    delete frmqcnamesel;
    delete frmresultinput;
    delete frmfieldcount;
    delete frmlinejust;
    delete frmpatient;
    delete Form1;
    delete frmpssinput;
    delete frmoprput;
    return rc;
}
