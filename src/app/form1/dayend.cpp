// Backup and restore of the database file, and the end of the working day.
#include "app/Unit1.h"

#include "base/CustData.h"
#include "app/umessage.h"
#include "platform/db/connection.h"
#include "platform/widgets/dialogs.h"
#include "workstation/dayend.h"
#include "workstation/dbcopy.h"

#include <QAction>

void TForm1::buildDayEnd()
{
    if (m_dayEndConnected || !N10 || !N20 || !N12)
        return;
    m_dayEndConnected = true;
    // N10 and N20 stay hidden: nothing in the program offers them.
    connect(N10, &QAction::triggered, this, &TForm1::N10Click);
    connect(N20, &QAction::triggered, this, &TForm1::N20Click);
    connect(N12, &QAction::triggered, this, &TForm1::N12Click);
}

void TForm1::N10Click()
{
    QSqlDatabase database = db::database();
    const QString backup = dbcopy::backupPathFor(database.databaseName());
    QString error;
    bool ok;
    {
        MessageWindowScope wait(QStringLiteral("正在备份数据库，关闭程序或关机将可能丢失数据..."));
        ok = dbcopy::backupDatabase(database, backup, &error);
    }
    if (!ok) {
        dlg::error(error, this);
        return;
    }
    dlg::message(QStringLiteral("数据库备份完成！"), this);
}

void TForm1::N20Click()
{
    if (!dlg::yesNo(QStringLiteral("[恢复数据库]将备份的数据库恢复为现有数据库，可能导致部分未备份数据丢失，继续吗？"),
                    this))
        return;
    const QString file = db::database().databaseName();
    const QString backup = dbcopy::backupPathFor(file);
    QString error;
    dbcopy::RestoreResult result;
    {
        MessageWindowScope wait(QStringLiteral("正在恢复数据库，关闭程序或关机将可能丢失数据..."));
        result = dbcopy::restoreDatabase(file, backup, &error);
    }
    // Restored or put back, the connection is a new one: every dataset that
    // held rows of the old file reads them anew, so the window never works
    // on a closed connection even if the user stays.
    QString reopenError;
    if (result != dbcopy::RestoreResult::Refused && db::isConnected()) {
        if (dbdata && !dbdata->openDatasets())
            reopenError = dbdata->openError();
        patientrefresh();
        for (db::Dataset *ds : {testresultset, gresultset}) {
            if (!ds->isOpen() && !ds->open() && reopenError.isEmpty())
                reopenError = ds->lastError();
        }
    }
    if (result != dbcopy::RestoreResult::Restored) {
        dlg::error(error, this);
        return;
    }
    if (!reopenError.isEmpty()) {
        dlg::error(reopenError, this);
        return;
    }
    dlg::message(QStringLiteral("数据库恢复完成！"), this);
    close();
}

void TForm1::N12Click()
{
    // The list as it is filtered now decides: an empty view does nothing.
    if (!patientset->isOpen() || patientset->isEmpty())
        return;
    if (!dlg::yesNo(QStringLiteral("确实要结束当日工作吗？"), this))
        return;

    QString error;
    {
        MessageWindowScope wait(QStringLiteral("正在结束当日工作，关闭程序或关机将可能丢失数..."));
        if (ws::archiveDay(db::database(), &error)) {
            // Each re-reads its own query: the list keeps its print filter.
            for (db::Dataset *ds : {patientset, testresultset, gresultset}) {
                if (ds->isOpen() && !ds->requery() && error.isEmpty())
                    error = ds->lastError();
            }
            drawgraphic(patientset, gresultset);
            if (error.isEmpty())
                wait.setText(QStringLiteral("当日数据已成功存入历史库!"));
        }
    }
    if (!error.isEmpty())
        dlg::error(error, this);
}
