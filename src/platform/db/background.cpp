#include "platform/db/background.h"

#include "platform/db/connection.h"

#include <QAtomicInteger>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace db {

namespace {
bool g_busy = false;
} // namespace

bool backgroundBusy()
{
    return g_busy;
}

bool runInBackground(const BackgroundWork &work, QString *error, const std::function<void()> &whenSlow, int slowAfterMs)
{
    if (g_busy) {
        if (error)
            *error = QStringLiteral("另一项统计或查询正在进行");
        return false;
    }
    const QString path = database().databaseName();
    static QAtomicInteger<int> serial = 0;
    const QString name = QStringLiteral("jykdb-worker-%1").arg(serial.fetchAndAddOrdered(1));

    bool ok = false;
    QString why;
    QThread *thread = QThread::create([&]() {
        {
            if (connectNamed(name, path, &why)) {
                ok = work(QSqlDatabase::database(name, false), &why);
                QSqlDatabase::database(name, false).close();
            }
        }
        QSqlDatabase::removeDatabase(name);
    });

    g_busy = true;
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer slow;
    slow.setSingleShot(true);
    if (whenSlow)
        QObject::connect(&slow, &QTimer::timeout, &loop, whenSlow);
    thread->start();
    slow.start(slowAfterMs);
    // Events go on (painting, the serial line's characters) while the work
    // runs; the callers keep their own start buttons disabled meanwhile.
    if (!thread->isFinished())
        loop.exec();
    thread->wait();
    delete thread;
    g_busy = false;
    if (!ok && error)
        *error = why;
    return ok;
}

} // namespace db
