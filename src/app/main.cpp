// Start-up: the windows are created in a fixed order, the log-on window
// first, so that closing it ends the program.
#include "base/CustData.h"
#include "app/appsetup.h"
#include "base/database.h"
#include "app/oprinput.h"
#include "app/pssinput.h"
#include "app/startup.h"
#include "platform/report/realprinter.h"
#include "platform/widgets/dialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setupApplication(app);
    report::setPrinterBackend(std::make_shared<report::RealPrinterBackend>());

    frmoprput = new Tfrmoprput;
    frmpssinput = new Tfrmpssinput;
    if (!createDataModule(QString::fromLatin1(appdb::kDatabaseFile))) {
        destroyWindows();
        return 1;
    }
    createMainWindows();

    frmoprput->show();
    const int rc = app.exec();
    destroyWindows();
    return rc;
}
