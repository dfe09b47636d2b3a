#include "app/startup.h"

#include "base/CustData.h"
#include "app/Unit1.h"
#include "app/oprinput.h"
#include "app/printprogress.h"
#include "app/pssinput.h"
#include "app/umessage.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/keypad.h"
#include "qc/qcnamesel.h"
#include "qc/qcvalueinput.h"
#include "reports/Unit3.h"
#include "reports/Unit4.h"
#include "workstation/dayfltj.h"
#include "workstation/fieldcacl.h"
#include "workstation/linejust.h"
#include "workstation/patient.h"
#include "workstation/resultinput.h"

namespace {
template <typename T>
void release(T *&p)
{
    delete p;
    p = nullptr;
}
} // namespace

bool createDataModule(const QString &databaseFile)
{
    dbdata = new Tdbdata(databaseFile);
    if (dbdata->connected()) {
        if (!dbdata->openNotice().isEmpty())
            dlg::warning(dbdata->openNotice());
        return true;
    }
    dlg::error(dbdata->openError());
    release(dbdata);
    return false;
}

void createMainWindows()
{
    // Before the windows build their menus.
    installKeypadEnter();
    if (dbdata)
        dbdata->reportError = [](const QString &error) { dlg::error(error); };
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
    Form1->attachDialogs();
}

void destroyWindows()
{
    release(frmmessage);
    release(Form4);
    release(frmdayfltj);
    release(frmprintprogress);
    release(Form3);
    release(frmqcvalueinput);
    release(frmqcnamesel);
    release(frmresultinput);
    release(frmfieldcount);
    release(frmlinejust);
    release(frmpatient);
    release(Form1);
    release(dbdata);
    release(frmpssinput);
    release(frmoprput);
}
