// The analyser link through the main window: the simulator writes records
// into a pseudo-terminal, the window's serial control receives them, the
// rows land in the day tables, the lamp and status bar follow, and a
// malformed number is corrected in the grid.
#include "link/resultstore.h"
#include "linkwindow.h"
#include "platform/db/command.h"
#include "platform/widgets/lamp.h"

#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <random>
#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace tables;

namespace {

class MainWindowLink : public LinkWindowTest
{
protected:
    // The latest notice, and whether its panel shows it within the window
    // with the file's name whole.
    static QString notice() { return Form1->m_linkNotice; }
    static bool noticeFits()
    {
        const StatusBar *bar = Form1->StatusBar1;
        const QString shown = bar->panelText(Form1->m_noticePanel);
        const QRect r = bar->panelRect(Form1->m_noticePanel);
        return shown.endsWith(Form1->m_linkNoticeFile) && bar->fontMetrics().horizontalAdvance(shown) <= r.width() - 4
            && r.right() < bar->width();
    }
    QString day() const { return Form1->workdate().toString(QStringLiteral("yyyy-MM-dd")); }
    static QString simulator()
    {
        // Under ctest the build folder is named; run by hand it is two levels up.
        return qEnvironmentVariable("VORLAN_BINARY_DIR", QCoreApplication::applicationDirPath() + "/../..")
            + QStringLiteral("/tools/analyser-sim/analyser-sim");
    }
    bool runSimulator(const QStringList &args)
    {
        QProcess p;
        p.start(simulator(), QStringList{"--db", dbPath, "--out", pair.b, "--fast"} + args);
        return p.waitForFinished(pty::kWaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    static void waitForGraphRows(int n) { pumpUntil([n] { return count("SELECT count(*) FROM gresult") >= n; }); }
    // Types a correction into the grid's second row and saves it.
    void correctTo(const QString &number)
    {
        Form1->StringGrid1->item(1, 1)->setText(number);
        dialogs.answer(true);
        Form1->Button5->click();
    }
};

} // namespace

// An end of day was skipped: an earlier day's 11 and 12 are still in the day
// tables when today's 11 arrives and today's malformed A12 is corrected to
// 12. Each day keeps its own results.
TEST_F(MainWindowLink, RecordsFromTheLineAreStoredAndAMalformedNumberIsCorrected)
{
    const QString earlier = QStringLiteral("2020-01-01");
    for (const char *id : {"11", "12"})
        ASSERT_TRUE(db::exec("INSERT INTO testresult (shelfid, checkdate, itemid, value) VALUES (?, ?, 1, 'old')",
                             {id, earlier})
                    && db::exec("INSERT INTO gresult (shelfid, checkdate, a1) VALUES (?, ?, 'old')", {id, earlier}));
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    EXPECT_TRUE(Form1->StringGrid1->isHidden());
    ASSERT_TRUE(runSimulator({"--numbers", "11,A12,13", "--chunk", "1:300", "--seed", "4"}));
    waitForGraphRows(5);
    ASSERT_EQ(count("SELECT count(*) FROM gresult WHERE shelfid IN ('11', 'A12', '13') AND checkdate = ?", {day()}), 3);
    EXPECT_EQ(Form1->Shape1->brushColor(), QColor(128, 0, 0));

    // A12 is listed, with the grid and its button in view.
    EXPECT_FALSE(Form1->StringGrid1->isHidden() || Form1->Panel9->isHidden());
    ASSERT_EQ(Form1->StringGrid1->rowCount(), 2);
    EXPECT_EQ(Form1->StringGrid1->item(1, 0)->text(), "A12");
    Form1->grab().save(testdb::outputDir() + QStringLiteral("/link_malformed_grid.png"));

    // A number in use is refused and the row stays listed.
    correctTo(QStringLiteral("11"));
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_TRUE(dialogs.shown[1].contains("A12")) << qPrintable(dialogs.shown[1]);
    EXPECT_FALSE(Form1->StringGrid1->rowCount() != 2 || Form1->StringGrid1->isHidden());
    // A double click on the grid hides it, and on the graph panel shows it
    // again with the list intact.
    Form1->StringGrid1DblClick();
    EXPECT_TRUE(Form1->StringGrid1->isHidden());
    Form1->Panel1DblClick();
    EXPECT_FALSE(Form1->StringGrid1->isHidden());

    correctTo(QStringLiteral(" 12 "));
    EXPECT_EQ(dialogs.last(), QStringLiteral("该操作将替换旧的标本号,请确认输入的标本号正确，确定要保存吗？"));
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = 'A12'"), 0);
    EXPECT_EQ(Form1->StringGrid1->rowCount(), 1);
    EXPECT_TRUE(Form1->StringGrid1->isHidden() && Form1->Panel9->isHidden());
    // Per number and day: several rows or one, and how many hold 'old'.
    for (const auto &[table, column, several] : {std::tuple{"testresult", "value", "1"}, {"gresult", "a1", "0"}})
        EXPECT_EQ(rows(QStringLiteral("SELECT shelfid, checkdate, count(*) > 1, sum(%1 IS 'old') FROM %2 "
                                      "WHERE shelfid IN ('11', '12') GROUP BY 1, 2 ORDER BY 1, 2").arg(column, table)),
                  (QVector<QStringList>{{"11", earlier, "0", "1"}, {"11", day(), several, "0"},
                                        {"12", earlier, "0", "1"}, {"12", day(), several, "0"}})) << table;

    // Line notifications reach the status bar.
    Form1->LinkReceiver1->commEvent(1004);
    EXPECT_EQ(Form1->StatusBar1->panelText(0) + status(), QStringLiteral("错误:帧错误"));
}

// Text without a sample number of its own: a stray 0x03 before 311's HGB
// line, or right after 315's number line, 312 without its number line, a
// stray 0x02 right after the number line of 0000000313 (a number as long as
// the column), and 314 without its 0x03 before a record that begins with
// 0x02. Each leaves its bytes in a file and a notice that names what it can;
// text that follows a stored record before the next number line takes that
// record's bytes with it and says the record may be incomplete. The clean
// record after each is stored whole.
TEST_F(MainWindowLink, TextWithoutANumberOfItsOwnIsSetAsideAndNamed)
{
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    sim::RecordGenerator gen = generator(17);

    // A stray 0x03 `skip` bytes into the first match of `key`.
    const auto strayEnd = [&](const char *number, const QByteArray &key, int skip) {
        QByteArray r = gen.record(number).bytes;
        const qsizetype at = r.indexOf(key);
        EXPECT_GE(at, 0);
        return r.insert(at + skip, '\x03');
    };
    const QByteArray r311 = strayEnd("311", "\rM ", 1);
    const QByteArray r312 = gen.record("312", sim::Fault::NoSampleNumber).bytes;
    const QByteArray r313 = gen.record("0000000313", sim::Fault::StrayStartOfText).bytes;
    const QByteArray r314 = gen.record("314").bytes.chopped(1) + '\x02';
    const QByteArray r315 = strayEnd("315", "\ru 315\r", 7);
    const auto partOf = [](const char *n) {
        return QStringLiteral("标本号%1的结果可能不完整，其后收到的无标本号数据未保存，已连同%1的数据另存到文件").arg(n);
    };
    QByteArray previous; // the clean record before each case
    const struct { const QByteArray &sent; bool withPrevious; QString notice; const char *clean; } cases[] = {
        {r311, false, partOf("311"), "320"},
        {r312, true, partOf("320"), "321"},
        {r313, false, QStringLiteral("标本号0000000313的数据未保存，已另存到文件"), "322"},
        {r314, false, QStringLiteral("标本号314的数据未保存，已另存到文件"), "323"},
        {r315, false, partOf("315"), "324"},
    };
    for (const auto &c : cases) {
        const sim::GeneratedRecord clean = gen.record(c.clean);
        const auto before = unsavedBelow(dbFolder());
        ASSERT_TRUE(pty::writeDevice(pair.b, c.sent + clean.bytes, 64));
        ASSERT_TRUE(pumpUntil([&] { return count("SELECT count(*) FROM gresult WHERE shelfid = ?", {c.clean}) == 1; }))
            << c.clean;
        auto files = unsavedBelow(dbFolder());
        for (const QString &old : before.keys())
            files.remove(old);
        ASSERT_EQ(files.values(), QByteArrayList{(c.withPrevious ? previous : QByteArray()) + c.sent}) << c.clean;
        EXPECT_TRUE(notice().endsWith(c.notice + QFileInfo(files.firstKey()).fileName()) && noticeFits())
            << qPrintable(notice());
        // The clean record: every item and graph line as sent.
        QStringList graph;
        for (const QByteArray &g : clean.graph)
            graph << QString::fromLatin1(g);
        EXPECT_EQ(rows(QStringLiteral("SELECT a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12 FROM gresult "
                                      "WHERE shelfid = ?"), {c.clean}),
                  QVector<QStringList>{graph});
        EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = ?", {c.clean}), clean.values.size());
        previous = clean.bytes;
    }
    // 311 and 315 keep what came before the stray byte; the others are not stored.
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = '311'"), 12);
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = '315'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM gresult WHERE shelfid IN ('312', '0000000313', '314')"), 0);
}

// 501 carries a line of 3,000,000 digits, far past what the receive buffer
// keeps: every byte of it lies in one file, in order, and every notice names
// 501, not the sample before it. The record after it is stored.
TEST_F(MainWindowLink, ARecordTooLongForTheBufferIsSetAsideWholeUnderItsOwnNumber)
{
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    sim::RecordGenerator gen = generator(23);
    QByteArray r501 = gen.record("501").bytes;
    const qsizetype matrix = r501.indexOf("\r[ ");
    ASSERT_GT(matrix, 0);
    QByteArray digits(3000000, '0');
    for (qsizetype i = 0; i < digits.size(); ++i)
        digits[i] = "0123456789"[(i * 7 + i / 13) % 10];
    r501.insert(matrix + 3, digits);
    const QByteArray sent = gen.record("402").bytes + r501 + gen.record("503").bytes;

    QStringList notices;
    QObject::connect(Form1->LinkReceiver1, &intake::LinkReceiver::notice, Form1,
                     [&](const QString &text, const QString &) { notices << text; });
    bool written = false;
    std::thread analyser([&] {
        // Writes of 4 KB to 64 KB, as a slow line delivers them.
        const int fd = ::open(QFile::encodeName(pair.b).constData(), O_WRONLY | O_NOCTTY);
        std::mt19937 rng(5);
        qsizetype at = 0;
        while (fd >= 0 && at < sent.size()) {
            const qsizetype n = std::min<qsizetype>(std::uniform_int_distribution<int>(4096, 65536)(rng), sent.size() - at);
            const ssize_t w = ::write(fd, sent.constData() + at, size_t(n));
            if (w <= 0 && errno != EINTR)
                break;
            at += std::max<ssize_t>(w, 0);
        }
        if (fd >= 0) {
            ::tcdrain(fd);
            ::close(fd);
        }
        written = at == sent.size();
    });
    const bool stored = pumpUntil([] { return count("SELECT count(*) FROM gresult WHERE shelfid = '503'") == 1; }, 120000);
    analyser.join();
    ASSERT_TRUE(written && stored);

    EXPECT_EQ(rows(QStringLiteral("SELECT shelfid FROM gresult ORDER BY shelfid")),
              (QVector<QStringList>{{"402"}, {"503"}}));
    const auto files = unsavedBelow(dbFolder());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.first() == r501) << files.first().size() << " bytes of " << r501.size();
    ASSERT_FALSE(notices.isEmpty());
    for (const QString &n : notices)
        EXPECT_TRUE(n.startsWith(QStringLiteral("标本号501的数据过长，未保存，已另存到文件")) && !n.contains("402"))
            << qPrintable(n);
    EXPECT_TRUE(notice().endsWith(QFileInfo(files.firstKey()).fileName())) << qPrintable(notice());
}

// The analyser's cable is pulled after 100 bytes of 102 and put back; 103
// follows. The simulator owns the line, so the window's end really hangs up.
TEST_F(MainWindowLink, APulledCableEndsTheRecordInProgress)
{
    const QString line = testdb::tempDir() + QStringLiteral("/line");
    QProcess sim;
    sim.start(simulator(),
              {"--db", dbPath, "--pty", line, "--numbers", "101,102,103", "--hangup", "102", "--cut", "100", "--fast"});
    ASSERT_TRUE(sim.waitForStarted(pty::kWaitMs));
    ASSERT_TRUE(pty::waitUntil([&] { return QFile::exists(line); }));
    showOn(line);
    pumpUntil([&] { return sim.state() == QProcess::NotRunning; });
    ASSERT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().constData();
    waitForGraphRows(2);

    EXPECT_EQ(rows(QStringLiteral("SELECT shelfid FROM gresult ORDER BY shelfid")),
              (QVector<QStringList>{{"101"}, {"103"}}));
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid NOT IN ('101', '103')"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = '103'"),
              count("SELECT count(*) FROM testresult WHERE shelfid = '101'"));
    // 102's bytes up to the hang-up, and nothing of 103, are set aside.
    const QByteArrayList files = unsavedBelow(dbFolder()).values();
    ASSERT_EQ(files.size(), 1);
    const QByteArray &cut = files[0];
    EXPECT_EQ(cut.size(), 100);
    EXPECT_TRUE(cut.contains("\ru 102\r") && !cut.contains('\x03')) << cut.constData();
    // The line came back and 103 was stored: the notice is still in view, whole.
    EXPECT_TRUE(notice().endsWith(QStringLiteral("标本号102的数据不完整（线路中断），未保存，已另存到文件")
                                  + QFileInfo(unsavedBelow(dbFolder()).firstKey()).fileName())
                && noticeFits()) << qPrintable(notice());
    Form1->grab().save(testdb::outputDir() + QStringLiteral("/link_notice_after_hangup.png"));
}

// A port that would not open is named with the reason. A value that cannot
// be converted is kept as received and named; the correction list takes its
// place without growing the window.
TEST_F(MainWindowLink, AClosedPortIsShownAndAnUnconvertedValueIsNamed)
{
    const QString missing = testdb::tempDir() + QStringLiteral("/no-such-tty");
    showOn(missing);
    EXPECT_FALSE(Form1->MSComm1->PortOpen());
    EXPECT_EQ(Form1->StatusBar1->panelText(0), QStringLiteral("错误:"));
    EXPECT_TRUE(status().contains(missing) && status().contains(QStringLiteral("No such file"))) << qPrintable(status());

    ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET hsyz = 100, bitnum = 8 WHERE itemid IN (1, 12)")));
    const QSize before = Form1->size();
    Form1->LinkReceiver1->receive("u A5\rA 123.4\rL 99.99\r\x03", day());
    EXPECT_EQ(rows(QStringLiteral("SELECT value FROM testresult WHERE shelfid = 'A5' AND itemid IN (1, 12)")),
              (QVector<QStringList>{{"123.4"}, {"99.99"}}));
    // Both are named, in the notice panel, not in the port's status.
    EXPECT_TRUE(status().contains(missing)) << qPrintable(status());
    EXPECT_TRUE(notice().endsWith(QStringLiteral("标本号A5的项目WBC、RBC未能换算，已按原值保存")))
        << qPrintable(notice());
    QApplication::processEvents();
    ASSERT_TRUE(Form1->Panel9->isVisible() && Form1->StringGrid1->isVisible());
    EXPECT_EQ(Form1->size(), before);
    // The button panel sits at the bottom of the graph column, under the grid.
    const QWidget *column = Form1->Panel9->parentWidget();
    EXPECT_EQ(Form1->Panel9->geometry().bottom(), column->rect().bottom());
    EXPECT_LE(Form1->StringGrid1->geometry().bottom(), Form1->Panel9->geometry().top());
    Form1->grab().save(testdb::outputDir() + QStringLiteral("/link_correction_panel.png"));
}

namespace {

// The lines of a generated record that carry a record mark: their offsets in
// its bytes (without the line end) and the mark. A line starts at the start
// and after CR, LF, 0x02 and 0x03, as the receiver sees it.
struct MarkedLine
{
    qsizetype from, to;
    QByteArray key; // "u", a graph mark, or an item mark
};

QVector<MarkedLine> markedLines(const QByteArray &bytes, const QVector<intake::ItemDef> &items)
{
    const auto ends = [](char c) { return c == '\r' || c == '\n' || c == '\x02' || c == '\x03'; };
    QVector<MarkedLine> out;
    for (qsizetype from = 0; from < bytes.size(); ++from) {
        if (from > 0 && !ends(bytes[from - 1]))
            continue;
        qsizetype to = from;
        while (to < bytes.size() && !ends(bytes[to]))
            ++to;
        const QByteArray line = bytes.mid(from, to - from);
        const char c = line.isEmpty() ? 0 : line[0];
        const bool graph = c >= 'W' && c <= 'b' && line.startsWith(QByteArray(1, c) + ' ');
        const bool item = std::any_of(items.cbegin(), items.cend(), [&](const auto &it) { return it.mark == QByteArray(1, c); });
        if (line.startsWith("u ") || graph || item)
            out.append({from, to, line.left(1)});
    }
    return out;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(path);
    return f.readAll();
}

} // namespace

// Simulator streams with noise, faults, pulled cables, stray 0x02 and 0x03
// bytes inside records and lost number lines, fed in random chunks: every
// line of every record that carries a record mark is either stored in that
// record's own rows or lies, byte for byte, in a set-aside file.
TEST(LinkStreams, EveryRecordLineIsStoredInItsOwnRecordOrSetAside)
{
    for (quint64 seed = 1; seed <= 3; ++seed) {
        const QString dbPath = testdb::fresh();
        ASSERT_TRUE(db::exec(QStringLiteral("PRAGMA synchronous = OFF")));
        QVector<sim::SimItem> simItems;
        ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
        QVector<intake::ItemDef> items;
        ASSERT_TRUE(intake::loadItems(db::database(), &items));

        sim::RecordGenerator gen(simItems, seed, sim::GenOptions{seed == 2});
        QByteArray stream;
        QVector<qsizetype> hangups;
        const auto records = sim::generateStream(gen, {200, 1, 0.15, 0.1, 0.03, 0.2}, &stream, &hangups);
        QSet<sim::Fault> faults;
        for (const auto &r : records)
            faults.insert(r.fault);
        ASSERT_TRUE(faults.contains({sim::Fault::StrayEndOfText, sim::Fault::StrayStartOfText,
                                     sim::Fault::NoSampleNumber})) << "seed " << seed;

        // Fed in chunks of up to maxChunk bytes (0: whole), the line hanging
        // up where the stream says and at its end: what the receiver told
        // (numbers stored, listed and set aside) and the files it set aside.
        std::mt19937_64 rng(seed);
        const auto feed = [&](int maxChunk, QVector<QStringList> *told) {
            intake::LinkReceiver link;
            QStringList files;
            told->resize(3);
            const auto take = [&](const intake::ReceiveResult &r) {
                (*told)[0] += r.stored;
                (*told)[1] += r.malformed;
                (*told)[2] += r.setAsideNumbers;
                files += r.setAside;
            };
            qsizetype at = 0;
            for (qsizetype end : hangups + QVector<qsizetype>{stream.size()}) {
                const QByteArray part = stream.mid(at, end - at);
                for (const QByteArray &chunk :
                     maxChunk ? sim::cutIntoChunks(part, rng, 1, maxChunk) : QVector<QByteArray>{part})
                    take(link.receive(chunk, QStringLiteral("2026-12-06")));
                take(link.lineBroken());
                at = end;
            }
            return files;
        };
        QVector<QStringList> told;
        const QStringList files = feed(300, &told);
        // Where each set-aside file's bytes lie in the stream, in order.
        QVector<std::pair<qsizetype, qsizetype>> setAside;
        qsizetype cursor = 0;
        for (const QString &path : files) {
            const QByteArray bytes = fileBytes(path);
            const qsizetype found = stream.indexOf(bytes, cursor);
            ASSERT_GE(found, 0) << "seed " << seed << ": " << qPrintable(path) << " is not received text";
            setAside.append({found, found + bytes.size()});
            cursor = found + bytes.size();
        }

        // What was stored, per sample number.
        QHash<QString, QStringList> graphs;
        for (const QStringList &r : rows(QStringLiteral("SELECT shelfid, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, "
                                                         "a11, a12 FROM gresult")))
            graphs.insert(r[0], r.mid(1));
        QHash<QString, QString> values;
        for (const QStringList &r : rows(QStringLiteral("SELECT shelfid || ' ' || itemid, value FROM testresult")))
            values.insert(r[0], r[1]);
        QMap<QString, int> uses;
        for (const auto &r : records)
            ++uses[r.sampleNumber.trimmed()];
        // Nothing is stored under a number no record sent but the text of a
        // noise line, too long for a sample's number and listed for correction.
        for (const QStringList &r : rows(QStringLiteral("SELECT shelfid FROM testresult UNION SELECT shelfid FROM gresult")))
            ASSERT_TRUE(uses.contains(r[0]) || r[0].size() > intake::kShelfidWidth) << "seed " << seed << ": " << qPrintable(r[0]);
        // Those numbers, by the scatter line stored under them.
        QHash<QString, QString> strayNumbers;
        for (auto g = graphs.cbegin(); g != graphs.cend(); ++g)
            if (!uses.contains(g.key()))
                strayNumbers.insert(g.value().value(4), g.key());

        qsizetype recordAt = 0;
        int stored = 0, kept = 0;
        for (int i = 0; i < records.size(); recordAt += records[i++].bytes.size()) {
            const auto &rec = records[i];
            recordAt = stream.indexOf(rec.bytes, recordAt);
            ASSERT_GE(recordAt, 0);
            QString n = rec.sampleNumber.trimmed();
            // A number sent twice: the later record replaces the earlier.
            if (!n.isEmpty() && uses[n] > 1)
                continue;
            bool own = !n.isEmpty() && graphs.contains(n);
            // Without a start byte, a record that lost its number line takes
            // that of a noise line just before it.
            const QString taken = strayNumbers.value(QString::fromLatin1(rec.graph.value(4)));
            if (rec.fault == sim::Fault::NoSampleNumber && !taken.isEmpty()) {
                n = taken;
                own = true;
            }
            for (const MarkedLine &l : markedLines(rec.bytes, items)) {
                // A line without data holds nothing to keep.
                const QByteArray data = rec.bytes.mid(l.from + 2, l.to - l.from - 2);
                if (data.isEmpty())
                    continue;
                bool inOwnRow = false;
                if (own && l.key == "u") {
                    inOwnRow = true;
                } else if (own && l.key[0] >= 'W' && l.key[0] <= 'b') {
                    inOwnRow = graphs[n].value(l.key[0] - 'W') == QString::fromLatin1(data);
                } else if (own) {
                    for (const auto &it : items)
                        if (it.mark == l.key)
                            inOwnRow = values.value(n + ' ' + QString::number(it.itemid))
                                       == intake::convertValue(data.left(5), it);
                }
                const qsizetype from = recordAt + l.from, to = recordAt + l.to;
                const bool inFile = std::any_of(setAside.cbegin(), setAside.cend(),
                                                [&](const auto &r) { return r.first <= from && to <= r.second; });
                ASSERT_TRUE(inOwnRow || inFile) << "seed " << seed << " record " << i << " (" << qPrintable(n)
                                                << ", fault " << int(rec.fault) << ") line "
                                                << rec.bytes.mid(l.from, std::min<qsizetype>(20, l.to - l.from)).constData();
                stored += inOwnRow;
                kept += inFile && !inOwnRow;
            }
            // What the record lacks holds nothing of another record, at most noise.
            for (int f = 0; own && f < 12; ++f)
                ASSERT_TRUE(!rec.graph[f].isEmpty() || graphs[n][f].isEmpty() || graphs[n][f].startsWith('N'))
                    << "seed " << seed << " record " << i << " a" << f + 1 << ": " << qPrintable(graphs[n][f]);
            for (const auto &it : items) {
                const QString value = values.value(n + ' ' + QString::number(it.itemid));
                ASSERT_TRUE(!own || it.mark.isEmpty() || rec.values.contains(it.mark) || value.isEmpty()
                            || value.startsWith('N'))
                    << "seed " << seed << " record " << i << " item " << it.itemid << ": " << qPrintable(value);
            }
        }
        EXPECT_GT(stored, 3000) << "seed " << seed;
        EXPECT_GT(kept, 300) << "seed " << seed;

        // Fed whole, the stream gives the same rows, the same files and
        // tells the same.
        const auto chunked = takeAll();
        QVector<QStringList> toldWhole;
        const QStringList filesWhole = feed(0, &toldWhole);
        EXPECT_EQ(takeAll(), chunked) << "seed " << seed;
        EXPECT_EQ(toldWhole, told) << "seed " << seed;
        ASSERT_EQ(filesWhole.size(), files.size()) << "seed " << seed;
        for (qsizetype f = 0; f < files.size(); ++f)
            ASSERT_TRUE(fileBytes(filesWhole[f]) == fileBytes(files[f])) << "seed " << seed << " file " << f;
    }

    // Record-like lines that never end, after record 1: what is cut off to
    // bound the buffer and what is left up to the start byte of a record are
    // all in one file with record 1, in order, and that record is stored.
    intake::LinkReceiver link;
    const QByteArray first = "u 1\rA  5.00\r\x03";
    link.receive(first, QStringLiteral("2026-12-06"));
    const QByteArray endless = QByteArray("A  9.99\r").repeated(150000);
    QStringList files;
    for (qsizetype at = 0; at < endless.size(); at += 4096)
        files += link.receive(endless.mid(at, 4096), QStringLiteral("2026-12-06")).setAside;
    const intake::ReceiveResult after = link.receive("\x02u 2\rA  6.00\r\x03", QStringLiteral("2026-12-06"));
    files += after.setAside;
    QByteArray kept;
    for (const QString &path : files)
        kept += fileBytes(path);
    EXPECT_EQ(files.size(), 1);
    EXPECT_TRUE(kept == first + endless + '\x02');
    EXPECT_EQ(after.stored, QStringList{"2"});

    // A line that may be 1's rest, then 7 with a scatter line longer than a
    // small buffer keeps: cut after 7's number line, cut again in the middle
    // of the scatter line, all of it goes to one file with 1, up to 8.
    intake::LinkReceiver small(nullptr, 2048, 256);
    small.receive(first, QStringLiteral("2026-12-06"));
    const QByteArray seven = "A  9.99\ru 7\r[ " + QByteArray("0F").repeated(4000) + "\r\x03";
    QStringList smallFiles;
    for (qsizetype at = 0; at < seven.size(); at += 512)
        smallFiles += small.receive(seven.mid(at, 512), QStringLiteral("2026-12-06")).setAside;
    EXPECT_EQ(small.receive("u 8\rA  6.00\r\x03", QStringLiteral("2026-12-06")).stored, QStringList{"8"});
    ASSERT_EQ(smallFiles.size(), 1);
    EXPECT_TRUE(fileBytes(smallFiles[0]) == first + seven);
}
