// Start-up cost: from nothing to the log-on window on screen (application
// set-up, the data module opening the file and its reference datasets, the
// main window built) against opening the database file alone. Prints the
// ratio; the goal is that start-up is dominated by nothing but the database.
#include "base/CustData.h"
#include "app/Unit1.h"
#include "app/appsetup.h"
#include "base/database.h"
#include "app/oprinput.h"
#include "app/pssinput.h"
#include "platform/db/connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setupApplication(app);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/jykdb.mdb");
    QString error;
    if (!appdb::createDatabaseFile(path, true, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const int rounds = 20;
    qint64 openNs = 0, startNs = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (appdb::openOrCreate(path, &error) == appdb::OpenResult::Failed)
            return 1;
        openNs += t.nsecsElapsed();
        db::disconnect();

        t.start();
        frmoprput = new Tfrmoprput;
        frmpssinput = new Tfrmpssinput;
        dbdata = new Tdbdata(path);
        Form1 = new TForm1;
        frmoprput->show();
        QApplication::processEvents();
        startNs += t.nsecsElapsed();
        delete Form1;
        delete frmpssinput;
        delete frmoprput;
        delete dbdata;
        Form1 = nullptr;
        db::disconnect();
    }
    std::printf("open database alone:        %8.2f ms\n", openNs / 1e6 / rounds);
    std::printf("start to log-on window:     %8.2f ms\n", startNs / 1e6 / rounds);
    std::printf("ratio start-up / open:      %8.2f\n", double(startNs) / double(openNs));
    return 0;
}
