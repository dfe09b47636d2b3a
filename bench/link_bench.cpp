// Record intake against the line: parsing and storing one full analyser
// record (every item, three histograms, two 128-row matrices, the threshold
// lists) must take a tiny fraction of the time the record needs on the wire
// at 9600 baud. Prints wire time / processing time (goal: at least 1000).
#include "base/database.h"
#include "link/linkreceiver.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "recordgen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/jykdb.mdb");
    QString error;
    if (!appdb::createDatabaseFile(path, true, &error) || !db::connect(path, &error)) {
        std::fprintf(stderr, "database: %s\n", qPrintable(error));
        return 1;
    }
    QVector<sim::SimItem> items;
    if (!sim::loadSimItems(db::database(), &items, &error)) {
        std::fprintf(stderr, "catalogue: %s\n", qPrintable(error));
        return 1;
    }
    sim::RecordGenerator gen(items, 1);

    const int runs = 300;
    QVector<QByteArray> records;
    for (int i = 0; i < runs; ++i)
        records.append(gen.record(QString::number(1000 + i)).bytes);
    const double bytes = records.first().size();

    intake::LinkReceiver link;
    // Warm-up: the first statements prepare their plans.
    link.receive(gen.record(QStringLiteral("1")).bytes, QStringLiteral("2026-12-06"));

    QElapsedTimer t;
    t.start();
    int stored = 0;
    for (const QByteArray &r : records)
        stored += link.receive(r, QStringLiteral("2026-12-06")).stored.size();
    const double perRecordMs = double(t.nsecsElapsed()) / 1e6 / runs;
    if (stored != runs) {
        std::fprintf(stderr, "only %d of %d records stored\n", stored, runs);
        return 1;
    }
    const double wireMs = bytes * 10.0 / 9600.0 * 1000.0;
    std::printf("link: record of %.0f bytes, %d items; wire %.0f ms at 9600 baud; parse+store %.3f ms; "
                "ratio %.0f (goal >= 1000)\n",
                bytes, int(items.size()), wireMs, perRecordMs, wireMs / perRecordMs);
    return 0;
}
