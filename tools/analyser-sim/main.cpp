// analyser-sim: sends analyser records to a serial device (or a file, or
// standard output), paced like the real line or as fast as possible.
//
//   analyser-sim --db jykdb.mdb --out /dev/pts/5 --count 20 --noise 0.2
#include "recordgen.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

int die(const QString &msg)
{
    std::fprintf(stderr, "analyser-sim: %s\n", qPrintable(msg));
    return 2;
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
    if (::isatty(fd)) {
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
    };
    for (const auto &n : names) {
        if (name == QLatin1String(n.name)) {
            *f = n.fault;
            return true;
        }
    }
    return false;
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
    const QCommandLineOption faultOpt(QStringLiteral("fault"), QStringLiteral("Make every record of one kind: none, no-number, blank-number, odd-number, long-number, unended-number, short-values, empty-values, missing-items, missing-graphs, unterminated."), QStringLiteral("kind"));
    const QCommandLineOption fastOpt(QStringLiteral("fast"), QStringLiteral("Write as fast as possible instead of at 9600 baud."));
    const QCommandLineOption pauseOpt(QStringLiteral("pause"), QStringLiteral("Pause between records in milliseconds."), QStringLiteral("ms"), QStringLiteral("0"));
    p.addOptions({dbOpt, outOpt, countOpt, seedOpt, firstOpt, numbersOpt, chunkOpt, crlfOpt, noHeaderOpt,
                  noiseOpt, malformedOpt, faultOpt, fastOpt, pauseOpt});
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

    const int fd = openOutput(p.value(outOpt), &error);
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
        const sim::Fault f = force ? forced : (u(gen.rng()) < malformed ? gen.randomFault() : sim::Fault::None);
        bytes += gen.record(number, f).bytes;
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
        const int pause = p.value(pauseOpt).toInt();
        if (pause > 0)
            QThread::msleep(pause);
    }
    if (::isatty(fd))
        tcdrain(fd);
    if (fd != STDOUT_FILENO)
        ::close(fd);
    return 0;
}
