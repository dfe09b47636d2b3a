#pragma once
// A pseudo-terminal pair made by socat: the program opens one end, the test
// writes the analyser's bytes into the other.
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace pty {

// Generous limit for waiting on other processes; not a speed check.
constexpr int kWaitMs = 30000;

inline bool haveSocat() { return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty(); }

template <class Pred>
bool waitUntil(Pred done)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (!done() && !deadline.hasExpired())
        QThread::msleep(20);
    return done();
}

class Pair
{
public:
    explicit Pair(const QString &dir) : a(dir + "/x1"), b(dir + "/x2") {}
    ~Pair() { stop(); }

    bool start()
    {
        QFile::remove(a);
        QFile::remove(b);
        proc.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + a,
                                             QStringLiteral("pty,raw,echo=0,link=") + b});
        return proc.waitForStarted(kWaitMs) && waitUntil([this] { return QFile::exists(a) && QFile::exists(b); });
    }
    void stop()
    {
        proc.terminate();
        if (!proc.waitForFinished(kWaitMs))
            proc.kill();
    }

    QString a, b;
    QProcess proc;
};

// Writes everything into the analyser's end, chunk bytes at a time.
inline bool writeDevice(const QString &path, const QByteArray &bytes, int chunk)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY);
    if (fd < 0)
        return false;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(std::min<qsizetype>(chunk, bytes.size() - at)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        at += n;
    }
    tcdrain(fd);
    ::close(fd);
    return at == bytes.size();
}

} // namespace pty
