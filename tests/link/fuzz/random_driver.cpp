// Drives the fuzz target without libFuzzer (no clang): runs every file of the
// corpus folders, then random mutations of them until the time is up.
//
//   link_fuzz_random [--seconds N] [--seed N] corpus-folder...
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QVector>

#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

constexpr qsizetype kMaxInput = 256 * 1024;

// Pieces a real line carries, spliced in at random places.
const char *const kPieces[] = {"\r", "\n", "\r\n", "\x03", "\x02", "u ", "\ru 7\r", "\rA  5.20\r", "\rW 00 00 00\r",
                               "\rA 99.9\r", "\ru \r", "u 2147483648\r", "\rB 1e999\r", "\x11\xfe\r"};

QByteArray mutate(QByteArray in, const QVector<QByteArray> &corpus, std::mt19937_64 &rng)
{
    const auto pick = [&rng](qsizetype n) { return qsizetype(std::uniform_int_distribution<qint64>(0, std::max<qint64>(0, n))(rng)); };
    const int steps = int(pick(7)) + 1;
    for (int s = 0; s < steps; ++s) {
        const qsizetype at = pick(in.size());
        switch (pick(6)) {
        case 0: // a byte changed
            if (!in.isEmpty())
                in[std::min(at, in.size() - 1)] = char(pick(255));
            break;
        case 1: // a piece of a line put in
            in.insert(at, kPieces[pick(std::size(kPieces) - 1)]);
            break;
        case 2: // a stretch lost
            in.remove(at, pick(200));
            break;
        case 3: // a stretch repeated
            in.insert(at, in.mid(pick(in.size()), pick(500)));
            break;
        case 4: { // a part of another input
            const QByteArray &o = corpus[pick(corpus.size() - 1)];
            in.insert(at, o.mid(pick(o.size()), pick(4000)));
            break;
        }
        case 5: // cut short
            in.truncate(at);
            break;
        default: // random bytes
            for (qsizetype n = pick(16); n > 0; --n)
                in.insert(at, char(pick(255)));
        }
    }
    return in.left(kMaxInput);
}

// The input being run, written to ./link_fuzz-crash when a check aborts.
QByteArray current;

void saveCurrent(int sig)
{
    const int fd = ::open("link_fuzz-crash", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] ssize_t n = ::write(fd, current.constData(), size_t(current.size()));
        ::close(fd);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void run(const QByteArray &in)
{
    current = in;
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(in.constData()), size_t(in.size()));
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 60;
    quint64 seed = std::random_device{}();
    QStringList folders;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else
            folders.append(QString::fromLocal8Bit(argv[i]));
    }
    // First, as libFuzzer does: it may write seeds into a corpus folder.
    LLVMFuzzerInitialize(&argc, &argv);
    QVector<QByteArray> corpus;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                corpus.append(f.readAll());
        }
    }
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "link_fuzz_random: no corpus\n");
        return 2;
    }
    std::signal(SIGABRT, saveCurrent);
    std::signal(SIGSEGV, saveCurrent);
    for (const QByteArray &in : corpus)
        run(in);
    std::printf("link_fuzz_random: seed %llu\n", static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    std::mt19937_64 rng(seed);
    QElapsedTimer clock;
    clock.start();
    long runs = 0;
    while (clock.elapsed() < seconds * 1000LL) {
        const QByteArray in = mutate(corpus[qsizetype(rng() % quint64(corpus.size()))], corpus, rng);
        run(in);
        ++runs;
    }
    std::printf("link_fuzz_random: %ld inputs in %d s, no fault\n", runs + long(corpus.size()), seconds);
    return 0;
}
