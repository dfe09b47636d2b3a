// The result grid's part in derived items and the linear correction.
#include "app/Unit1.h"

#include "platform/widgets/dialogs.h"
#include "workstation/fieldcacl.h"
#include "workstation/linejust.h"

void TForm1::recomputeDerivedItems(const QString &shelfid, const QVariant &checkdate, int itemid,
                                   const QString &value)
{
    Tfrmfieldcount ownFieldcount;
    Tfrmfieldcount &fieldcount = frmfieldcount ? *frmfieldcount : ownFieldcount;
    QString error;
    if (!fieldcount.calcexpression(shelfid, checkdate, itemid, value, &error))
        dlg::error(error, this);
}

void TForm1::showLineJust()
{
    if (!frmlinejust)
        frmlinejust = new Tfrmlinejust(this);
    attachDialogs();
    frmlinejust->exec();
}
