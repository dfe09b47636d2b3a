// Ten years of a laboratory's archive (400,000 samples, 22 results each) and
// what a user does with it: workload counts, history searches, and closing a
// day of 1,000 samples into it. Every figure is the program's own code on a
// copy of the archive; each line prints its time, its goal and goal / time
// (above 1 meets the goal).
//
// The archive is generated once into the build tree and reused; a run only
// adds one day to it and takes that day out again afterwards.
#include "base/database.h"
#include "platform/db/background.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/db/dataset.h"
#include "platform/widgets/dbgrid.h"
#include "workstation/dayend.h"
#include "workstation/history.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int kSamples = 400000;
constexpr int kDays = 3650;
constexpr int kItems = 22;
const QDate kLastArchived(2026, 12, 5);
const QDate kToday(2026, 12, 6);
// Bump when the generated content changes, so an old cache is rebuilt.
constexpr const char *kCacheName = "jykdb-v1.mdb";

const char *const kDepartments[] = {"内科", "外科", "儿科", "妇产科", "急诊科", "体检中心"};
const char *const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱",
                                 "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯",
                                 "邓", "曹", "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡"};
const char *const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟",
                              "涛", "明", "超", "秀", "霞", "平", "刚", "桂", "英", "华", "建", "国", "文", "辉",
                              "玲", "红", "宇", "鑫", "波", "斌", "婷", "晨", "雪", "琳", "浩", "凯"};

struct Rng
{
    quint64 s = 0x9E3779B97F4A7C15ull;
    quint32 next() { s ^= s << 13; s ^= s >> 7; s ^= s << 17; return quint32(s >> 11); }
    int below(int n) { return int(next() % quint32(n)); }
};

QByteArray patientName(Rng &r)
{
    QByteArray n = kSurnames[r.below(40)];
    n += kGiven[r.below(40)];
    if (r.below(3))
        n += kGiven[r.below(40)];
    return n;
}

bool execNative(sqlite3 *h, const char *sql)
{
    char *msg = nullptr;
    if (sqlite3_exec(h, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, msg ? msg : "?");
        sqlite3_free(msg);
        return false;
    }
    return true;
}

void bindText(sqlite3_stmt *st, int i, const QByteArray &t)
{
    sqlite3_bind_text(st, i, t.constData(), t.size(), SQLITE_TRANSIENT);
}

// The archive, written through SQLite directly in one transaction with the
// history indexes made afterwards (quicker than keeping them up row by row).
bool generate(const QString &path)
{
    QString error;
    QFile::remove(path);
    if (!appdb::createDatabaseFile(path, true, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    sqlite3 *h = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &h) != SQLITE_OK)
        return false;
    execNative(h, "PRAGMA journal_mode=OFF");
    execNative(h, "PRAGMA synchronous=OFF");
    execNative(h, "PRAGMA cache_size=-200000");
    std::vector<QByteArray> indexes;
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(h, "select name, sql from sqlite_master where type='index' and sql is not null "
                              "and tbl_name in ('histpatient','hisresult','hisgresult')", -1, &st, nullptr);
        std::vector<QByteArray> names;
        while (sqlite3_step(st) == SQLITE_ROW) {
            names.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
            indexes.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        }
        sqlite3_finalize(st);
        for (const QByteArray &n : names)
            execNative(h, ("drop index " + n).constData());
    }
    if (!execNative(h, "BEGIN"))
        return false;
    sqlite3_stmt *p = nullptr, *r = nullptr, *g = nullptr;
    sqlite3_prepare_v2(h, "insert into histpatient (shelfid, mzno, caseno, name, sex, age, depart, kind, diagnose, doctor, "
                          "taketime, takedate, apperance, checkdate, operator, bedno, bgtime) "
                          "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &p, nullptr);
    sqlite3_prepare_v2(h, "insert into hisresult (shelfid, itemid, value, checkdate) values (?,?,?,?)", -1, &r, nullptr);
    sqlite3_prepare_v2(h, "insert into hisgresult (shelfid, a1, a2, a3, checkdate) values (?,?,?,?,?)", -1, &g, nullptr);
    Rng rng;
    const QDate firstDay = kLastArchived.addDays(-(kDays - 1));
    int made = 0;
    for (int d = 0; d < kDays; ++d) {
        const QByteArray day = firstDay.addDays(d).toString(Qt::ISODate).toLatin1();
        const int count = int(qint64(kSamples) * (d + 1) / kDays) - made;
        made += count;
        for (int s = 1; s <= count; ++s) {
            const QByteArray id = QByteArray::number(s);
            const int patient = rng.below(250000); // people come back
            const bool inpatient = patient % 2 == 0;
            Rng person{quint64(patient) * 2654435761ull + 1};
            sqlite3_reset(p);
            const QByteArray values[17] = {
                id,
                inpatient ? QByteArray() : "M" + QByteArray::number(20000000 + patient),
                inpatient ? "Z" + QByteArray::number(1000000 + patient) : QByteArray(),
                patientName(person),
                person.below(2) ? "男" : "女",
                QByteArray::number(1 + person.below(90)),
                kDepartments[rng.below(6)],
                "全血",
                rng.below(4) ? QByteArray() : QByteArray("上呼吸道感染"),
                kSurnames[rng.below(40)] + QByteArray("医生"),
                QByteArray::number(8 + rng.below(3)) + ":" + QByteArray::number(10 + rng.below(50)),
                day,
                "正常",
                day,
                "李四",
                inpatient ? QByteArray::number(1 + rng.below(60)) : QByteArray(),
                "11:" + QByteArray::number(10 + rng.below(50))};
            for (int i = 0; i < 17; ++i)
                bindText(p, i + 1, values[i]);
            if (sqlite3_step(p) != SQLITE_DONE)
                return false;
            for (int item = 1; item <= kItems; ++item) {
                sqlite3_reset(r);
                bindText(r, 1, id);
                sqlite3_bind_int(r, 2, item);
                bindText(r, 3, QByteArray::number(double(rng.below(20000)) / 100.0, 'f', 2));
                bindText(r, 4, day);
                if (sqlite3_step(r) != SQLITE_DONE)
                    return false;
            }
            sqlite3_reset(g);
            bindText(g, 1, id);
            bindText(g, 2, "0123456789ABCDEF");
            bindText(g, 3, "#$%&'()*+,-./0");
            bindText(g, 4, "!!\"#$%&&%$#\"!!");
            bindText(g, 5, day);
            if (sqlite3_step(g) != SQLITE_DONE)
                return false;
        }
    }
    sqlite3_finalize(p);
    sqlite3_finalize(r);
    sqlite3_finalize(g);
    for (const QByteArray &sql : indexes)
        if (!execNative(h, sql.constData()))
            return false;
    if (!execNative(h, "COMMIT"))
        return false;
    return sqlite3_close(h) == SQLITE_OK;
}

long rssKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return 0;
}

void report(const char *what, double ms, double goalMs)
{
    if (goalMs > 0)
        std::printf("%-52s %9.1f ms   goal %7.0f ms   ratio %6.2f\n", what, ms, goalMs, goalMs / ms);
    else
        std::printf("%-52s %9.1f ms   (no goal)\n", what, ms);
    std::fflush(stdout);
}

template <typename F>
double bestOf(int runs, F &&f)
{
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!f())
            return -1;
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

// A search as the history page runs it: beside the window, then the grid
// painted with its first rows.
bool search(const ws::HistoryFilter &f, db::Dataset &ds, DBGrid &grid, int *rows)
{
    QVector<qint64> keys;
    QString error;
    if (!db::runInBackground([&](QSqlDatabase d, QString *e) { return ws::findHistory(d, f, &keys, e); }, &error)) {
        std::fprintf(stderr, "search failed: %s\n", qPrintable(error));
        return false;
    }
    if (!ds.openRows(QStringLiteral("histpatient"), ws::historyColumns(), keys))
        return false;
    grid.grab();
    *rows = ds.recordCount();
    return true;
}

ws::HistoryFilter whole()
{
    ws::HistoryFilter f;
    f.first = kLastArchived.addDays(-(kDays - 1));
    f.last = kToday;
    return f;
}

void usage(std::FILE *to)
{
    std::fprintf(to,
                 "Usage: archive_bench [--help]\n"
                 "\n"
                 "Times workload counts, history searches and the end of day on ten years of\n"
                 "archive (%d samples, %d results each); each line prints its time, its goal\n"
                 "and goal / time (above 1 meets the goal).\n"
                 "\n"
                 "The first run builds the archive (several minutes, over 600 MB of disk) into\n"
                 "  %s/%s\n"
                 "and later runs reuse it; delete the file to build it afresh.\n"
                 "\n"
                 "  -h, --help   print this and do nothing else\n",
                 kSamples, kItems, ARCHIVE_CACHE_DIR, kCacheName);
}

} // namespace

int main(int argc, char **argv)
{
    // Read before anything is built or opened: asking how to use the bench
    // must not cost the archive.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        std::fprintf(stderr, "archive_bench: unknown argument %s\n\n", argv[i]);
        usage(stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QDir().mkpath(QStringLiteral(ARCHIVE_CACHE_DIR));
    const QString path = QStringLiteral(ARCHIVE_CACHE_DIR "/") + QLatin1String(kCacheName);
    if (!QFile::exists(path)) {
        QElapsedTimer t;
        t.start();
        const QString part = path + QStringLiteral(".part");
        if (!generate(part) || !QFile::rename(part, path)) {
            std::fprintf(stderr, "cannot build the archive\n");
            return 1;
        }
        std::printf("archive built in %.1f s: %s\n", double(t.elapsed()) / 1000.0, qPrintable(path));
    }
    QString error;
    QElapsedTimer opening;
    opening.start();
    if (appdb::openOrCreate(path, &error) != appdb::OpenResult::Opened) {
        std::fprintf(stderr, "cannot open the archive: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("archive: %d samples, %d results; opened in %.0f ms\n",
                db::scalar(QStringLiteral("select count(*) from histpatient")).toInt(),
                db::scalar(QStringLiteral("select count(*) from hisresult")).toInt(), double(opening.elapsed()));

    // Workload counts.
    const struct { const char *what; QDate first; double goal; } counts[] = {
        {"workload count, one day", kLastArchived, 0},
        {"workload count, one month", kLastArchived.addDays(-30), 50},
        {"workload count, whole archive", whole().first, 1000},
    };
    for (const auto &c : counts) {
        std::optional<int> n;
        const double ms = bestOf(3, [&]() {
            return db::runInBackground([&](QSqlDatabase d, QString *e) {
                n = ws::workloadCount(d, c.first, kToday, e);
                return n.has_value();
            }, &error);
        });
        report(qPrintable(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(c.what)).arg(n.value_or(-1))), ms, c.goal);
    }

    // History searches, each until the grid shows its first rows.
    db::Dataset ds;
    DBGrid grid;
    grid.resize(900, 600);
    grid.setDataset(&ds);
    grid.setColumns({dbui::column("checkdate", "检查日期", 10), dbui::column("shelfid", "样本编号", 8),
                     dbui::column("name", "姓名", 8), dbui::column("sex", "性别", 4), dbui::column("age", "年龄", 4),
                     dbui::column("caseno", "病历号", 8), dbui::column("depart", "科别", 8),
                     dbui::column("mzno", "门诊号", 8), dbui::column("takedate", "收检日期", 10),
                     dbui::column("taketime", "收检时间", 8), dbui::column("bgtime", "报告时间", 8)});
    grid.show();

    // Everything: the first rows on screen, and what the answer costs in memory.
    ds.close();
    const long before = rssKb("VmRSS:");
    int rows = 0;
    const double all = bestOf(1, [&]() { return search(whole(), ds, grid, &rows); });
    const long after = rssKb("VmRSS:");
    report(qPrintable(QStringLiteral("history search, no criteria (%1 rows)").arg(rows)), all, 1000);
    const double grownMb = double(after - before) / 1024.0;
    std::printf("%-52s %9.1f MB   goal %7.0f MB   ratio %6.2f\n", "  program memory growth", grownMb, 150.0,
                150.0 / std::max(grownMb, 0.1));
    // Paging to the end of the answer keeps the memory bounded.
    ds.last();
    grid.grab();
    ds.close();

    ws::HistoryFilter byName = whole(), byCase = whole(), byMz = whole(), month = whole(), byDepart = whole();
    byName.name = QStringLiteral("建国");
    // Numbers of people who came several times.
    byCase.caseno = db::scalar(QStringLiteral("select caseno from histpatient where caseno <> '' "
                                              "group by caseno having count(*) > 2 limit 1")).toString();
    byMz.mzno = db::scalar(QStringLiteral("select mzno from histpatient where mzno <> '' "
                                          "group by mzno having count(*) > 2 limit 1")).toString();
    month.first = kLastArchived.addDays(-30);
    byDepart.depart = QStringLiteral("儿科");
    const struct { const char *what; const ws::HistoryFilter *f; double goal; } searches[] = {
        {"history search, name fragment", &byName, 150},
        {"history search, case number", &byCase, 20},
        {"history search, out-patient number", &byMz, 20},
        {"history search, one month", &month, 100},
        {"history search, one department", &byDepart, 300},
    };
    for (const auto &s : searches) {
        int rows = 0;
        const double ms = bestOf(3, [&]() { return search(*s.f, ds, grid, &rows); });
        report(qPrintable(QStringLiteral("%1 (%2 rows)").arg(QString::fromUtf8(s.what)).arg(rows)), ms, s.goal);
    }

    // End of day: 1,000 samples of today into the archive.
    const QString today = kToday.toString(Qt::ISODate);
    auto clearToday = [&]() {
        for (const char *t : {"histpatient", "hisresult", "hisgresult"})
            db::exec(QStringLiteral("delete from %1 where checkdate = ?").arg(QLatin1String(t)), {today});
    };
    clearToday();
    {
        db::Transaction tx(db::database());
        tx.begin();
        for (int s = 1; s <= 1000; ++s) {
            const QString id = QString::number(s);
            db::exec(QStringLiteral("insert into patient (shelfid, name, sex, age, depart, caseno, operator, checkdate, printflag) "
                                    "values (?, ?, '男', '40', '内科', ?, '李四', ?, 1)"),
                     {id, QStringLiteral("病人%1").arg(s), QStringLiteral("Z9%1").arg(s), today});
            for (int item = 1; item <= kItems; ++item)
                db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
                         {id, today, item, QString::number(item * 1.7, 'f', 2)});
            db::exec(QStringLiteral("insert into gresult (shelfid, a1, a2, checkdate) values (?, 'abc', 'def', ?)"), {id, today});
        }
        tx.commit();
    }
    QElapsedTimer t;
    t.start();
    ws::DayEndCounts n;
    if (!ws::archiveDay(db::database(), &error, &n)) {
        std::fprintf(stderr, "end of day failed: %s\n", qPrintable(error));
        return 1;
    }
    report(qPrintable(QStringLiteral("end of day, %1 samples into the archive").arg(n.patients)),
           double(t.nsecsElapsed()) / 1e6, 1000);
    clearToday();
    return 0;
}
