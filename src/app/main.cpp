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
#include "workstation/patient.h"
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
    // The report and dialog windows follow here, in order.
    frmprintprogress = new Tfrmprintprogress;

    frmoprput->show();
    const int rc = app.exec();
    delete frmprintprogress;
    delete frmpatient;
    delete Form1;
    delete frmpssinput;
    delete frmoprput;
    return rc;
}
