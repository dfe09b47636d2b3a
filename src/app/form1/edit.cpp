// The sample list's changes by hand: manual result entry opened from the
// result grid, and deleting or renumbering the list's current sample.
#include "app/Unit1.h"

#include "base/textutil.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/statusbar.h"
#include "workstation/resultinput.h"
#include "workstation/sampleedit.h"
#include "workstation/samplelist.h"

#include <QAction>

void TForm1::buildSampleEdit()
{
    if (m_sampleEditConnected || !N5 || !N29)
        return;
    m_sampleEditConnected = true;
    connect(N5, &QAction::triggered, this, &TForm1::N5Click);
    connect(N29, &QAction::triggered, this, &TForm1::N29Click);
}

void TForm1::showResultInput()
{
    if (frmresultinput)
        frmresultinput->exec();
}

void TForm1::N5Click()
{
    if (patientset->text(QStringLiteral("operator")) != currentoperator()) {
        dlg::message(QStringLiteral("病人的检验者不是当前检验者，不能删除病人资料!"), this);
        return;
    }
    if (!dlg::yesNo(QStringLiteral("确实要删除病人资料及结果吗？"), this))
        return;
    if (!patientset->isOpen() || patientset->currentRow() < 0)
        return;
    const int n = patientset->recNo();
    const QString s = patientset->text(QStringLiteral("shelfid"));

    QString error;
    if (!ws::deleteSample(s, patientset->value(QStringLiteral("checkdate")), &error)) {
        dlg::error(error, this);
        return;
    }
    // The full list comes back after a delete; filter, status bar and batch
    // printing are told so, or they would name a filter the list no longer has.
    printfilter = ws::FilterAll;
    patientrefresh();
    StatusBar1->setPanelText(5, ws::printFilterCaption(printfilter));
    if (!patientset->isOpen())
        return;
    const int c = patientset->recordCount();
    if (n <= c)
        patientset->setRecNo(n);
    else if (c > 0)
        patientset->setRecNo(c);
}

void TForm1::N29Click()
{
    QString typed;
    if (!dlg::input(QStringLiteral("提示"), QStringLiteral("请输入新标本号："), &typed, this))
        return;
    const QString t = trimCtl(typed);
    if (t.isEmpty())
        return;
    if (!parseWholeNumber(t)) {
        dlg::message(QStringLiteral("不是数字!，请重输!"), this);
        return;
    }
    if (!patientset->isOpen() || patientset->currentRow() < 0)
        return;
    const QString o = patientset->text(QStringLiteral("shelfid"));

    ws::NumberUse use = ws::NumberUse::Free;
    QString error;
    const QVariant day = patientset->value(QStringLiteral("checkdate"));
    if (!ws::renumberSample(o, day, t, &use, &error)) {
        if (use == ws::NumberUse::Registered)
            dlg::message(QStringLiteral("标本号已存在!"), this);
        else
            dlg::error(error, this);
        return;
    }
    // Same filter as before; the moved sample becomes the current one when
    // the filter shows it, with the results stored under its new number.
    if (!patientset->requery()) {
        dlg::error(patientset->lastError(), this);
        return;
    }
    patientset->locate(QStringLiteral("shelfid"), t);
}
