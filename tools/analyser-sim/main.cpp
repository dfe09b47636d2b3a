// analyser-sim: sends analyser records to a serial device (or a file, or
// standard output), paced like the real line or as fast as possible.
//
//   analyser-sim --db jykdb.mdb --out /dev/pts/5 --count 20 --noise 0.2
//
// With --pty the simulator is the analyser's end of a pseudo-terminal: the
// program opens the path given, and --hangup pulls the cable in the middle
// of the records named (the pseudo-terminal is closed, so the program's end
// hangs up, and a new one is put at the same path).
#include "recordgen.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

int die(const QString &msg)
{
    std::fprintf(stderr, "analyser-sim: %s\n", qPrintable(msg));
    return 2;
}

void makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL;
        tcsetattr(fd, TCSANOW, &t);
    }
}

int openOutput(const QString &path, QString *error)
{
    if (path == QLatin1String("-"))
        return STDOUT_FILENO;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat st{};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        [[maybe_unused]] int rc = ::ftruncate(fd, 0);
    if (::isatty(fd))
        makeRaw(fd);
    return fd;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        at += n;
    }
    return true;
}

bool parseFault(const QString &name, sim::Fault *f)
{
    static const struct { const char *name; sim::Fault fault; } names[] = {
        {"none", sim::Fault::None},
        {"no-number", sim::Fault::NoSampleNumber},
        {"blank-number", sim::Fault::BlankSampleNumber},
        {"odd-number", sim::Fault::OddSampleNumber},
        {"long-number", sim::Fault::LongSampleNumber},
        {"unended-number", sim::Fault::UnendedNumberLine},
        {"short-values", sim::Fault::ShortValueLines},
        {"empty-values", sim::Fault::EmptyValueLines},
        {"missing-items", sim::Fault::MissingItems},
        {"missing-graphs", sim::Fault::MissingGraphLines},
        {"unterminated", sim::Fault::Unterminated},
        {"cut-short", sim::Fault::CutShort},
        {"stray-end", sim::Fault::StrayEndOfText},
        {"stray-start", sim::Fault::StrayStartOfText},
    };
    for (const auto &n : names) {
        if (name == QLatin1String(n.name)) {
            *f = n.fault;
            return true;
        }
    }
    return false;
}

// The analyser's end of a new pseudo-terminal whose other end is linked at
// path, once the program has opened that end (waiting at most waitMs).
int openPty(const QString &path, int waitMs, QString *error)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        *error = QStringLiteral("pseudo-terminal: ") + QString::fromLocal8Bit(std::strerror(errno));
        if (master >= 0)
            ::close(master);
        return -1;
    }
    const QByteArray slave = ::ptsname(master);
    // Opened and closed once so that the master reports a hang-up until the
    // program opens it; raw from the start, as a serial port would be.
    const int s = ::open(slave.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s >= 0) {
        makeRaw(s);
        ::close(s);
    }
    const QByteArray link = QFile::encodeName(path);
    const QByteArray tmp = link + ".new";
    ::unlink(tmp.constData());
    if (::symlink(slave.constData(), tmp.constData()) != 0 || ::rename(tmp.constData(), link.constData()) != 0) {
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(master);
        return -1;
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        pollfd p{master, POLLOUT, 0};
        if (::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP))
            break;
        if (waited.elapsed() > waitMs) {
            *error = path + QStringLiteral(": nobody opened the line");
            ::close(master);
            return -1;
        }
        QThread::msleep(20);
    }
    return master;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("analyser-sim"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Sends analyser records (9600 baud, receive-only line) to a device or file."));
    p.addHelpOption();
    const QCommandLineOption dbOpt(QStringLiteral("db"), QStringLiteral("Item catalogue database."), QStringLiteral("path"), QStringLiteral("jykdb.mdb"));
    const QCommandLineOption outOpt(QStringLiteral("out"), QStringLiteral("Device or file to write ('-' = standard output)."), QStringLiteral("path"), QStringLiteral("-"));
    const QCommandLineOption countOpt(QStringLiteral("count"), QStringLiteral("Number of records."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption seedOpt(QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption firstOpt(QStringLiteral("first"), QStringLiteral("First sample number."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption numbersOpt(QStringLiteral("numbers"), QStringLiteral("Comma-separated sample numbers (overrides --first/--count)."), QStringLiteral("list"));
    const QCommandLineOption chunkOpt(QStringLiteral("chunk"), QStringLiteral("Write sizes MIN:MAX in bytes."), QStringLiteral("min:max"), QStringLiteral("1:64"));
    const QCommandLineOption crlfOpt(QStringLiteral("crlf"), QStringLiteral("End lines with CR LF instead of CR."));
    const QCommandLineOption noHeaderOpt(QStringLiteral("no-header"), QStringLiteral("Start records with the sample-number line."));
    const QCommandLineOption noiseOpt(QStringLiteral("noise"), QStringLiteral("Share of records preceded by line noise."), QStringLiteral("rate"), QStringLiteral("0"));
    const QCommandLineOption malformedOpt(QStringLiteral("malformed"), QStringLiteral("Share of malformed records."), QStringLiteral("rate"), QStringLiteral("0"));
    const QCommandLineOption faultOpt(QStringLiteral("fault"), QStringLiteral("Make every record of one kind: none, no-number, blank-number, odd-number, long-number, unended-number, short-values, empty-values, missing-items, missing-graphs, unterminated (no 0x03), cut-short (first bytes only, no 0x03), stray-end (a 0x03 before an item line), stray-start (a 0x02 after the sample-number line)."), QStringLiteral("kind"));
    const QCommandLineOption fastOpt(QStringLiteral("fast"), QStringLiteral("Write as fast as possible instead of at 9600 baud."));
    const QCommandLineOption pauseOpt(QStringLiteral("pause"), QStringLiteral("Pause between records in milliseconds."), QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption ptyOpt(QStringLiteral("pty"), QStringLiteral("Create a pseudo-terminal and link the program's end at path (instead of --out)."), QStringLiteral("path"));
    const QCommandLineOption hangupOpt(QStringLiteral("hangup"), QStringLiteral("Comma-separated sample numbers whose records are cut short by a hang-up (needs --pty)."), QStringLiteral("list"));
    const QCommandLineOption cutOpt(QStringLiteral("cut"), QStringLiteral("Bytes of a hung-up record sent before the hang-up (default: random)."), QStringLiteral("n"));
    const QCommandLineOption waitOpt(QStringLiteral("wait"), QStringLiteral("With --pty, how long to wait for the program to open the line, in milliseconds."), QStringLiteral("ms"), QStringLiteral("30000"));
    p.addOptions({dbOpt, outOpt, countOpt, seedOpt, firstOpt, numbersOpt, chunkOpt, crlfOpt, noHeaderOpt,
                  noiseOpt, malformedOpt, faultOpt, fastOpt, pauseOpt, ptyOpt, hangupOpt, cutOpt, waitOpt});
    p.process(app);

    auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("analyser-sim"));
    const QString dbPath = p.value(dbOpt);
    if (!QFile::exists(dbPath))
        return die(dbPath + QStringLiteral(": no such database"));
    db.setDatabaseName(dbPath);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return die(dbPath + QStringLiteral(": cannot open"));
    QVector<sim::SimItem> items;
    QString error;
    if (!sim::loadSimItems(db, &items, &error))
        return die(error);

    sim::GenOptions gopt;
    gopt.crlf = p.isSet(crlfOpt);
    gopt.headerLine = !p.isSet(noHeaderOpt);
    sim::RecordGenerator gen(items, p.value(seedOpt).toULongLong(), gopt);

    QStringList numbers;
    if (p.isSet(numbersOpt)) {
        numbers = p.value(numbersOpt).split(QLatin1Char(','));
    } else {
        const int first = p.value(firstOpt).toInt();
        const int count = p.value(countOpt).toInt();
        for (int i = 0; i < count; ++i)
            numbers.append(QString::number(first + i));
    }
    sim::Fault forced = sim::Fault::None;
    const bool force = p.isSet(faultOpt);
    if (force && !parseFault(p.value(faultOpt), &forced))
        return die(QStringLiteral("unknown fault kind ") + p.value(faultOpt));
    const double noise = p.value(noiseOpt).toDouble();
    const double malformed = p.value(malformedOpt).toDouble();
    const QStringList chunk = p.value(chunkOpt).split(QLatin1Char(':'));
    const int minChunk = std::max(1, chunk.value(0).toInt());
    const int maxChunk = std::max(minChunk, chunk.value(1, chunk.value(0)).toInt());

    const QString ptyPath = p.value(ptyOpt);
    const QStringList hangups = p.isSet(hangupOpt) ? p.value(hangupOpt).split(QLatin1Char(',')) : QStringList();
    if (!hangups.isEmpty() && ptyPath.isEmpty())
        return die(QStringLiteral("--hangup needs --pty"));
    const int waitMs = p.value(waitOpt).toInt();
    int fd = ptyPath.isEmpty() ? openOutput(p.value(outOpt), &error) : openPty(ptyPath, waitMs, &error);
    if (fd < 0)
        return die(error);

    std::uniform_real_distribution<double> u(0, 1);
    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0;
    const bool fast = p.isSet(fastOpt);
    for (const QString &number : numbers) {
        QByteArray bytes;
        if (u(gen.rng()) < noise)
            bytes += gen.noise();
        const bool hangup = hangups.contains(number);
        sim::Fault f = force ? forced : (u(gen.rng()) < malformed ? gen.randomFault() : sim::Fault::None);
        if (hangup)
            f = p.isSet(cutOpt) ? sim::Fault::None : sim::Fault::CutShort;
        QByteArray record = gen.record(number, f).bytes;
        if (hangup && p.isSet(cutOpt))
            record.truncate(std::clamp(p.value(cutOpt).toInt(), 0, int(record.size()) - 1));
        bytes += record;
        for (const QByteArray &c : sim::cutIntoChunks(bytes, gen.rng(), minChunk, maxChunk)) {
            if (!writeAll(fd, c))
                return die(QStringLiteral("write: ") + QString::fromLocal8Bit(std::strerror(errno)));
            sent += c.size();
            if (!fast) {
                // 10 bits a byte at 9600 baud.
                const qint64 due = sent * 10 * 1000 / 9600;
                const qint64 wait = due - clock.elapsed();
                if (wait > 0)
                    QThread::msleep(wait);
            }
        }
        if (hangup) {
            // Let the program read what came before the cable is pulled: a
            // hang-up discards what the other end has not read yet.
            tcdrain(fd);
            QThread::msleep(300);
            ::close(fd);
            QThread::msleep(300);
            fd = openPty(ptyPath, waitMs, &error);
            if (fd < 0)
                return die(error);
        }
        const int pause = p.value(pauseOpt).toInt();
        if (pause > 0)
            QThread::msleep(pause);
    }
    if (::isatty(fd))
        tcdrain(fd);
    if (!ptyPath.isEmpty()) {
        // Closing the line is a hang-up too: the program reads first.
        QThread::msleep(300);
        ::unlink(QFile::encodeName(ptyPath).constData());
    }
    if (fd != STDOUT_FILENO)
        ::close(fd);
    return 0;
}
