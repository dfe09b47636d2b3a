// Moving the day list's cursor one row with 1,000 registered samples: the
// results and graph row of the new sample re-queried and its graphs redrawn,
// against the time of one 60 Hz frame.
#include "base/database.h"
#include "graphics/drawgraphic.h"
#include "graphics/graphdata.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/db/dataset.h"
#include "samplerow.h"
#include "workstation/samplelist.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

namespace {

bool fill(int samples)
{
    db::Transaction tx(db::database());
    if (!tx.begin())
        return false;
    for (int s = 1; s <= samples; ++s) {
        const QString id = QString::number(s);
        if (!db::exec(QStringLiteral("insert into patient (shelfid, name, sex, age, printflag, operator, checkdate) "
                                     "values (?, ?, ?, '40', 0, '李四', '2026-12-06')"),
                      {id, QStringLiteral("病人%1").arg(s), s % 2 ? QStringLiteral("男") : QStringLiteral("女")}))
            return false;
        for (int item = 1; item <= 23; ++item)
            if (!db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) "
                                         "values (?, '2026-12-06', ?, ?)"),
                          {id, item, QString::number(item * 1.7 + s % 7, 'f', 2)}))
                return false;
        const graphics::GraphRow row = sample::realisticRow(unsigned(s));
        QVariantList values{id};
        for (int a = 1; a <= 12; ++a)
            values << QString::fromLatin1(row.a[a]);
        if (!db::exec(QStringLiteral("insert into gresult (shelfid,a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12,checkdate) "
                                     "values (?,?,?,?,?,?,?,?,?,?,?,?,?,'2026-12-06')"),
                      values))
            return false;
    }
    return tx.commit();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/jykdb.mdb");
    QString error;
    if (!appdb::createDatabaseFile(path, true, &error) || !db::connect(path, &error) || !fill(1000)) {
        std::fprintf(stderr, "cannot prepare the database: %s\n", qPrintable(error));
        return 1;
    }

    db::Dataset patientset, testresultset, gresultset;
    graphics::GraphPictures pictures = graphics::blankGraphPictures();
    bool failed = false;
    patientset.afterScroll = [&](db::Dataset &list) {
        const QVariant id = list.isEmpty() ? QVariant() : QVariant(list.text(QStringLiteral("shelfid")));
        if (!ws::openSampleDetails(testresultset, gresultset, id, list.value(QStringLiteral("checkdate")),
                                   list.text(QStringLiteral("sex")), &error)) {
            failed = true;
            return;
        }
        if (gresultset.isEmpty()) {
            graphics::drawgraphic(pictures, nullptr);
        } else {
            const graphics::GraphRow row = graphics::graphRowFrom(gresultset);
            graphics::drawgraphic(pictures, &row);
        }
    };
    if (!patientset.open(ws::patientQuery(ws::FilterAll)) || patientset.recordCount() != 1000) {
        std::fprintf(stderr, "cannot open the list: %s\n", qPrintable(patientset.lastError()));
        return 1;
    }

    const int moves = 999;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < moves; ++i)
        patientset.next();
    const double ms = double(t.nsecsElapsed()) / 1e6 / moves;
    if (failed || testresultset.recordCount() != 23 || gresultset.recordCount() != 1) {
        std::fprintf(stderr, "moving the list failed: %s\n", qPrintable(error));
        return 1;
    }
    const double frame = 1000.0 / 60.0;
    std::printf("sample list, one row down (1000 samples; results, graph row, redraw): %.3f ms per move\n", ms);
    std::printf("ratio one 60 Hz frame (16.7 ms) / one move: %.1f (goal >= 5)\n", frame / ms);
    return 0;
}
