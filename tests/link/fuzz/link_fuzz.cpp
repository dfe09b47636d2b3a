// Fuzz target for the receive path: the receive buffer, the record parser and
// storing. Every input is a stream as it came off the line; on each it checks
// - the same records are stored, and the same rows result, whether the stream
//   comes whole, byte by byte or in chunks of sizes drawn from the input;
// - a record is stored only under the number of the one sample-number line of
//   its own bytes, and its graph lines are among its own bytes;
// - the buffer never holds more pending text than its limit (also with a
//   small limit, so that trimming is reached by short inputs);
// - through the receiver, with that small limit: every block the buffer cuts
//   off that holds a record line, and every block cut after it from the same
//   text, lies whole in a set-aside file, in order.
// The simulator's streams (clean, noisy, faulty, cut short) are written as
// seeds into the folder named by VORLAN_FUZZ_SEEDS before the corpus is read.
#include "recordgen.h"

#include "base/database.h"
#include "base/textutil.h"
#include "link/linkreceiver.h"
#include "link/receivebuffer.h"
#include "link/resultstore.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <random>

using intake::ReceiveBuffer;

namespace {

const QString kDay = QStringLiteral("2026-12-06");

[[noreturn]] void fail(const char *what, const QByteArray &detail = {})
{
    std::fprintf(stderr, "link_fuzz: %s %s\n", what, detail.left(200).constData());
    std::abort();
}

#define FUZZ_CHECK(cond, ...) \
    do { if (!(cond)) fail("check failed: " #cond, ##__VA_ARGS__); } while (0)

QSqlDatabase db;
QString folder; // the database's, where set-aside files go

void setUp(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir;
    folder = dir.path();
    const QString path = dir.path() + QStringLiteral("/jykdb.mdb");
    QString error;
    if (!appdb::createDatabaseFile(path, true, &error) || !db::connect(path, &error))
        fail("database:", error.toUtf8());
    db = db::database();
    // Speed only: nothing here needs to survive a crash.
    db::exec(db, QStringLiteral("PRAGMA synchronous = OFF"));
    db::exec(db, QStringLiteral("PRAGMA journal_mode = MEMORY"));
}

// The sample numbers of the sample-number lines of a record's own text
// (after its last 0x02): "u " at the start or right after a CR or CR LF.
QStringList numberLines(const QByteArray &raw)
{
    const QList<QByteArray> lines = raw.mid(raw.lastIndexOf(intake::kStartOfText) + 1).split('\r');
    QStringList out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = i > 0 && lines[i].startsWith('\n') ? lines[i].mid(1) : lines[i];
        if (line.startsWith("u "))
            out.append(QString::fromLatin1(line.mid(2)));
    }
    return out;
}

// Every row of a query as texts, NULL as <null>.
QVector<QStringList> rowsOf(const QString &sql, const QVariantList &params = {})
{
    QVector<QVariantList> rows;
    if (!db::select(db, sql, params, &rows))
        fail("select:", sql.toUtf8());
    QVector<QStringList> out;
    for (const QVariantList &r : rows) {
        out.append(QStringList());
        for (const QVariant &v : r)
            out.last().append(v.isNull() ? QStringLiteral("<null>") : v.toString());
    }
    return out;
}

// Both day tables, emptied after reading.
QVector<QStringList> takeRows()
{
    const auto out = rowsOf(QStringLiteral("SELECT shelfid, itemid, value, checkdate FROM testresult "
                                           "ORDER BY shelfid, itemid"))
        + rowsOf(QStringLiteral("SELECT * FROM gresult ORDER BY shelfid"));
    FUZZ_CHECK(db::exec(db, "DELETE FROM testresult") && db::exec(db, "DELETE FROM gresult"));
    return out;
}

struct Fed
{
    QStringList stored; // per record ended: the number it was stored under, or ""
    QVector<QStringList> rows;
};

// Feeds the stream in chunks of the given sizes (used in turn) into a buffer
// with the given limit, storing every record it gives.
Fed feed(const QByteArray &stream, const std::vector<int> &sizes, qsizetype limit, qsizetype kept)
{
    ReceiveBuffer buffer(limit, kept);
    Fed fed;
    qsizetype at = 0, recordFrom = 0;
    size_t k = 0;
    while (at < stream.size()) {
        const int n = sizes[k++ % sizes.size()];
        if (buffer.append(stream.mid(at, n))) {
            while (auto r = buffer.takeRecord()) {
                // Its own bytes: what came after the previous record, up to
                // its end; less only the front of text too long to be one.
                const qsizetype recordEnd = stream.indexOf(intake::kEndOfText, recordFrom) + 1;
                const QByteArray own = stream.mid(recordFrom, recordEnd - recordFrom);
                recordFrom = recordEnd;
                FUZZ_CHECK(own.size() > limit ? own.endsWith(r->raw) : own == r->raw, r->raw);

                const intake::SaveOutcome out = intake::DataSavetoTB(db, r->text, kDay);
                FUZZ_CHECK(!out.failed, out.error.toUtf8());
                fed.stored.append(out.stored ? out.shelfid : QString());
                if (!out.stored)
                    continue;
                const QStringList numbers = numberLines(r->raw);
                FUZZ_CHECK(numbers.size() == 1 && trimCtl(numbers[0]) == out.shelfid, r->raw);
                const auto graph = rowsOf(QStringLiteral("SELECT a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12 "
                                                         "FROM gresult WHERE shelfid = ? AND checkdate = ?"),
                                          {out.shelfid, kDay});
                FUZZ_CHECK(graph.size() == 1, r->raw);
                for (const QString &g : graph[0])
                    FUZZ_CHECK(g == "<null>" || r->raw.contains(g.toLatin1()), g.toLatin1());
            }
        }
        // Every record has been taken: what is left is pending text.
        FUZZ_CHECK(buffer.raw().size() <= limit);
        at += n;
    }
    fed.rows = takeRows();
    return fed;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail("set-aside file:", path.toUtf8());
    return f.readAll();
}

// Feeds the stream through a receiver whose buffer has the given limit,
// the line breaking at its end. A second buffer fed the same chunks shows
// what the receiver's buffer cuts off.
void checkCutsSetAside(const QByteArray &stream, const std::vector<int> &sizes, qsizetype limit, qsizetype kept)
{
    QVector<intake::ItemDef> items;
    if (!intake::loadItems(db, &items))
        fail("catalogue");
    intake::LinkReceiver link(nullptr, limit, kept);
    link.setDatabase(db);
    ReceiveBuffer shadow(limit, kept);
    QByteArrayList owed;
    bool owing = false;
    QStringList files;
    qsizetype at = 0;
    size_t k = 0;
    while (at < stream.size()) {
        const QByteArray chunk = stream.mid(at, sizes[k++ % sizes.size()]);
        shadow.append(chunk);
        while (shadow.takeRecord()) {
        }
        bool continues = false;
        const QByteArray cut = shadow.takeTrimmed(&continues);
        if (!cut.isEmpty()) {
            owing = intake::countRecordLines(cut, items) > 0 || (owing && continues);
            if (owing)
                owed.append(cut);
        }
        files += link.receive(chunk, kDay).setAside;
        at += chunk.size();
    }
    files += link.lineBroken().setAside;
    FUZZ_CHECK(link.unwrittenCount() == 0);
    QByteArray setAside;
    for (const QString &path : files) {
        setAside += fileBytes(path);
        QFile::remove(path);
    }
    qsizetype from = 0;
    for (const QByteArray &cut : owed) {
        const qsizetype found = setAside.indexOf(cut, from);
        FUZZ_CHECK(found >= 0, cut);
        from = found + cut.size();
    }
    takeRows();
}

// Seeds from the record generator, with the catalogue of the fresh database.
void writeSeeds(const QString &folder)
{
    QVector<sim::SimItem> items;
    QString error;
    if (!sim::loadSimItems(db, &items, &error))
        fail("catalogue:", error.toUtf8());
    QDir().mkpath(folder);
    const struct { const char *name; bool crlf; double noise, faults, hangups, stray; } kinds[] = {
        {"clean", false, 0, 0, 0, 0},         {"noise-crlf", true, 0.5, 0, 0, 0}, {"faults", false, 0.2, 0.6, 0, 0},
        {"cut-short", false, 0.1, 0, 0.5, 0}, {"mixed-crlf", true, 0.3, 0.3, 0.2, 0},
        {"stray-bytes", false, 0.2, 0, 0, 0.8},
    };
    quint64 seed = 1;
    for (const auto &k : kinds) {
        sim::RecordGenerator gen(items, seed++, sim::GenOptions{k.crlf});
        QByteArray stream;
        sim::generateStream(gen, {4, 1, k.noise, k.faults, k.hangups, k.stray}, &stream); // 4 records
        QFile out(QDir(folder).filePath(QString::fromLatin1(k.name)));
        if (!out.open(QIODevice::WriteOnly) || out.write(stream) != stream.size())
            fail("seed:", out.fileName().toUtf8());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setUp(argc, argv);
    const QString seeds = qEnvironmentVariable("VORLAN_FUZZ_SEEDS");
    if (!seeds.isEmpty())
        writeSeeds(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Past the buffer's limit the kept text depends on where chunks end.
    if (size == 0 || size > size_t(ReceiveBuffer::kMaxPending))
        return 0;
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));

    const Fed whole = feed(stream, {int(size)}, ReceiveBuffer::kMaxPending, ReceiveBuffer::kKeptWhenTrimmed);
    std::mt19937 rng(uint32_t(qHash(stream)));
    std::vector<int> sizes(17);
    for (int &s : sizes)
        s = std::uniform_int_distribution<int>(1, 300)(rng);
    for (const auto &chunks : {std::vector<int>{1}, sizes}) {
        const Fed cut = feed(stream, chunks, ReceiveBuffer::kMaxPending, ReceiveBuffer::kKeptWhenTrimmed);
        FUZZ_CHECK(cut.stored == whole.stored, cut.stored.join(',').toUtf8() + " / " + whole.stored.join(',').toUtf8());
        FUZZ_CHECK(cut.rows == whole.rows);
    }
    // A small limit: trimming happens, the bound and the ownership hold, and
    // nothing of a record line is lost to it.
    feed(stream, sizes, 2048, 256);
    checkCutsSetAside(stream, sizes, 2048, 256);
    return 0;
}
