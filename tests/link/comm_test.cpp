// The serial control against a pseudo-terminal pair made by socat: bytes
// written into one end all arrive, also while the receiving thread is busy,
// and the control survives the other side going away and coming back.
#include "platform/comm/commcontrol.h"
#include "common/testdb.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Generous limits for waiting on another process; not a speed check.
constexpr int kWaitMs = 30000;

class PtyPair
{
public:
    explicit PtyPair(const QString &dir) : a(dir + "/x1"), b(dir + "/x2") {}
    ~PtyPair() { stop(); }

    bool start()
    {
        QFile::remove(a);
        QFile::remove(b);
        proc.start(QStringLiteral("socat"),
                   {QStringLiteral("-d"), QStringLiteral("-d"),
                    QStringLiteral("pty,raw,echo=0,link=") + a,
                    QStringLiteral("pty,raw,echo=0,link=") + b});
        if (!proc.waitForStarted(kWaitMs))
            return false;
        const QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired()) {
            if (QFile::exists(a) && QFile::exists(b))
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    void stop()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(kWaitMs))
                proc.kill();
            proc.waitForFinished(kWaitMs);
        }
    }

    QString a, b;
    QProcess proc;
};

bool haveSocat()
{
    return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty();
}

// Writes everything into the device (the analyser's side).
void writeDevice(const QString &path, const QByteArray &bytes, int chunk)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0) << path.toStdString();
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(std::min<qsizetype>(chunk, bytes.size() - at)));
        if (n < 0 && errno == EINTR)
            continue;
        ASSERT_GT(n, 0);
        at += n;
    }
    tcdrain(fd);
    ::close(fd);
}

QByteArray randomBytes(int n, quint64 seed)
{
    std::mt19937_64 rng(seed);
    QByteArray out(n, '\0');
    for (char &c : out)
        c = char(rng() & 0xFF);
    return out;
}

struct Receiver
{
    explicit Receiver(CommControl &c) : comm(c)
    {
        QObject::connect(&comm, &CommControl::OnComm, [this] {
            codes.append(comm.CommEvent());
            if (comm.CommEvent() == CommControl::comEvReceive)
                received += comm.Input();
        });
    }
    // Runs the event loop until n bytes came or the limit passed.
    void waitFor(qsizetype n)
    {
        const QDeadlineTimer deadline(kWaitMs);
        while (received.size() < n && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(5);
        }
    }
    CommControl &comm;
    QByteArray received;
    QList<short> codes;
};

} // namespace

TEST(CommControl, PortNameComesFromTheEnvironment)
{
    qunsetenv("VORLAN_SERIAL");
    EXPECT_EQ(CommControl::defaultPortName(), "/dev/ttyS0");
    qputenv("VORLAN_SERIAL", "/dev/ttyUSB3");
    EXPECT_EQ(CommControl::defaultPortName(), "/dev/ttyUSB3");
    CommControl c;
    EXPECT_EQ(c.portName(), "/dev/ttyUSB3");
    qunsetenv("VORLAN_SERIAL");
}

TEST(CommControl, APortThatWillNotOpenSaysWhy)
{
    CommControl c;
    c.setPortName(testdb::tempDir() + "/no-such-tty");
    EXPECT_FALSE(c.setPortOpen(true));
    EXPECT_FALSE(c.PortOpen());
    EXPECT_TRUE(c.errorString().contains("no-such-tty"));
    EXPECT_TRUE(c.errorString().contains("No such file")) << qPrintable(c.errorString());
    // A regular file is no serial line either.
    const QString file = testdb::tempDir() + "/plain";
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    c.setPortName(file);
    EXPECT_FALSE(c.setPortOpen(true));
    EXPECT_FALSE(c.errorString().isEmpty());
}

TEST(CommControl, NothingIsLostWhileTheUserInterfaceThreadIsBusy)
{
    if (!haveSocat())
        GTEST_SKIP() << "socat not installed";
    PtyPair pty(testdb::tempDir());
    ASSERT_TRUE(pty.start());
    CommControl comm;
    comm.setPortName(pty.a);
    ASSERT_TRUE(comm.setPortOpen(true)) << qPrintable(comm.errorString());
    Receiver rx(comm);

    // Far more than the kernel's and socat's buffers hold together.
    const QByteArray data = randomBytes(256 * 1024, 42);
    std::thread writer([&] { writeDevice(pty.b, data, 997); });
    // The user-interface thread is busy (no events handled) while the
    // reader thread must keep draining the device.
    const QDeadlineTimer deadline(kWaitMs);
    while (comm.InBufferCount() < data.size() && !deadline.hasExpired())
        QThread::msleep(20);
    writer.join();
    EXPECT_EQ(comm.InBufferCount(), data.size());
    EXPECT_TRUE(rx.received.isEmpty());

    rx.waitFor(data.size());
    ASSERT_EQ(rx.received.size(), data.size());
    EXPECT_TRUE(rx.received == data);
    // A pseudo-terminal has no line counters: only "characters waiting".
    for (short c : rx.codes)
        EXPECT_EQ(c, CommControl::comEvReceive);
    comm.setPortOpen(false);
    EXPECT_FALSE(comm.PortOpen());
}

TEST(CommControl, SurvivesTheOtherSideClosingAndComingBack)
{
    if (!haveSocat())
        GTEST_SKIP() << "socat not installed";
    const QString dir = testdb::tempDir();
    PtyPair pty(dir);
    ASSERT_TRUE(pty.start());
    CommControl comm;
    comm.setPortName(pty.a);
    ASSERT_TRUE(comm.setPortOpen(true)) << qPrintable(comm.errorString());
    Receiver rx(comm);

    QByteArray expected;
    // The writer closes and reopens its end between records.
    for (int i = 0; i < 3; ++i) {
        const QByteArray part = randomBytes(3000, 100 + i);
        writeDevice(pty.b, part, 256);
        expected += part;
        rx.waitFor(expected.size());
        ASSERT_EQ(rx.received.size(), expected.size());
    }

    // The whole pair goes away (socat ends), then comes back.
    pty.stop();
    QDeadlineTimer gone(kWaitMs);
    while (comm.deviceAttached() && !gone.hasExpired())
        QThread::msleep(20);
    EXPECT_FALSE(comm.deviceAttached());
    ASSERT_TRUE(pty.start());
    QDeadlineTimer back(kWaitMs);
    while (!comm.deviceAttached() && !back.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(comm.deviceAttached());

    const QByteArray last = randomBytes(5000, 7);
    writeDevice(pty.b, last, 512);
    expected += last;
    rx.waitFor(expected.size());
    EXPECT_TRUE(rx.received == expected);
}
