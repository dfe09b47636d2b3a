#pragma once
// The main window on a pseudo-terminal, as the analyser's cable would reach
// it: the window tests of the link share this set-up.
#include "app/Unit1.h"
#include "base/session.h"
#include "common/mainwindowtest.h"
#include "common/testdb.h"
#include "link/linkreceiver.h"
#include "platform/comm/commcontrol.h"
#include "platform/db/connection.h"
#include "platform/widgets/statusbar.h"
#include "pty.h"
#include "recordgen.h"
#include "tables.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>

// Every file below folder that looks like an unsaved file (or is on its way
// to becoming one), with what it holds.
inline QMap<QString, QByteArray> unsavedBelow(const QString &folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, {QStringLiteral("*unsaved*")}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        out[f.fileName()] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
    }
    return out;
}

class LinkWindowTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        if (!pty::haveSocat())
            GTEST_SKIP() << "socat not installed";
        MainWindowTest::SetUp();
        session::setCurrentOperator(QStringLiteral("malvor"));
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        pair.stop();
        qunsetenv("VORLAN_SERIAL");
    }
    // The main window on the given port (set before the window opens it).
    void showOn(const QString &port)
    {
        qputenv("VORLAN_SERIAL", QFile::encodeName(port));
        showMain();
    }
    // The main window on a fresh pseudo-terminal pair, its port open.
    void showOnPty()
    {
        ASSERT_TRUE(pair.start());
        showOn(pair.a);
        ASSERT_TRUE(Form1->MSComm1->PortOpen()) << qPrintable(status());
    }
    static QString status() { return Form1->StatusBar1->panelText(1); }
    // The simulator's generator over the database's items.
    static sim::RecordGenerator generator(quint64 seed)
    {
        QVector<sim::SimItem> items;
        EXPECT_TRUE(sim::loadSimItems(db::database(), &items));
        return sim::RecordGenerator(items, seed);
    }
    // Records for samples 1..n from the simulator's generator.
    static QByteArrayList records(quint64 seed, int n)
    {
        sim::RecordGenerator gen = generator(seed);
        QByteArrayList out;
        for (int i = 1; i <= n; ++i)
            out << gen.record(QString::number(i)).bytes;
        return out;
    }
    // Runs the window's events until done() or the wait is over.
    template <class Pred>
    static bool pumpUntil(Pred done, int ms = pty::kWaitMs)
    {
        const QDeadlineTimer deadline(ms);
        while (!done() && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        return done();
    }
    static void pumpFor(int ms) { pumpUntil([] { return false; }, ms); }
    QString dbFolder() const { return QFileInfo(dbPath).absolutePath(); }

    pty::Pair pair{testdb::tempDir()};
};
