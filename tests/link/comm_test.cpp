// The serial control against a pseudo-terminal pair: bytes written into one
// end all arrive, also while the receiving thread is busy, and the control
// survives the other side going away and coming back. Modem lines and line
// errors are played by a stand-in for the driver's requests, over the same
// pseudo-terminal, since no device with modem lines is at hand.
#include "platform/comm/commcontrol.h"
#include "common/testdb.h"
#include "pty.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <atomic>
#include <mutex>
#include <optional>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// n is a multiple of four.
QByteArray randomBytes(int n, quint32 seed)
{
    QByteArray out(n, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(out.data()), n / 4);
    return out;
}

std::mutex termiosMutex;
termios termiosRequest{};
termios lastTermiosRequest()
{
    std::lock_guard<std::mutex> lock(termiosMutex);
    return termiosRequest;
}

} // namespace

// Every terminal setting of this program passes here: kept, then made.
extern "C" int tcsetattr(int fd, int action, const termios *t)
{
    using Set = int (*)(int, int, const termios *);
    static const Set set = reinterpret_cast<Set>(dlsym(RTLD_NEXT, "tcsetattr"));
    {
        std::lock_guard<std::mutex> lock(termiosMutex);
        termiosRequest = *t;
    }
    return set(fd, action, t);
}

namespace {

// A driver that keeps line counters; where it accepts the wait for a modem
// line, a change wakes the waiting thread as the driver would.
class ModemDevice
{
public:
    explicit ModemDevice(bool acceptsWait) : m_accepts(acceptsWait) { [[maybe_unused]] int r = ::pipe2(m_changed, O_CLOEXEC); }
    ~ModemDevice()
    {
        ::close(m_changed[0]);
        ::close(m_changed[1]);
    }
    CommControl::LineRequests requests()
    {
        CommControl::LineRequests r;
        r.waitForChange = [this](int) {
            if (!m_accepts) {
                errno = ENOTTY;
                return -1;
            }
            pollfd p{m_changed[0], POLLIN, 0};
            if (::poll(&p, 1, -1) < 0)
                return -1; // interrupted: the control is closing
            char b;
            [[maybe_unused]] auto n = ::read(m_changed[0], &b, 1);
            return 0;
        };
        r.counters = [this](int, serial_icounter_struct *c) {
            std::lock_guard<std::mutex> lock(m_mutex);
            *c = m_now;
            ++reads;
            return true;
        };
        return r;
    }
    // A modem line changes or a line error is counted; only modem lines end
    // a wait.
    void count(int serial_icounter_struct::*field, bool modemLine = true)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++(m_now.*field);
        }
        if (m_accepts && modemLine)
            [[maybe_unused]] auto n = ::write(m_changed[1], "x", 1);
    }
    std::atomic<int> reads{0}; // counter reads: the reader's wake-ups

private:
    const bool m_accepts;
    int m_changed[2] = {-1, -1};
    std::mutex m_mutex;
    serial_icounter_struct m_now{};
};

// The control on one end of a pseudo-terminal pair; what the owner's thread
// is handed is kept, with a log of "<bytes handed over>" and other codes.
class CommOnPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!pty::haveSocat())
            GTEST_SKIP() << "socat not installed";
        comm.setPortName(pair.a);
        QObject::connect(&comm, &CommControl::OnComm, [this] {
            const short code = comm.CommEvent();
            if (code == CommControl::comEvReceive) {
                const QByteArray in = comm.Input();
                received += in;
                log += "<" + QByteArray::number(in.size()) + ">";
            } else {
                log += QByteArray::number(code) + " ";
            }
        });
    }
    // Runs the event loop until done() or the wait is over.
    template <class Pred>
    static void pump(Pred done, int ms = pty::kWaitMs)
    {
        const QDeadlineTimer deadline(ms);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    void waitFor(qsizetype n) { pump([&] { return received.size() >= n; }); }
    void waitForLog(const QByteArray &expected) { pump([&] { return log == expected; }); }
    // The port open on a driver with modem lines, its reader started.
    void openWith(bool acceptsWait)
    {
        device.emplace(acceptsWait);
        comm.setLineRequests(device->requests());
        ASSERT_TRUE(pair.start());
        ASSERT_TRUE(comm.setPortOpen(true)) << qPrintable(comm.errorString());
        ASSERT_TRUE(pty::waitUntil([&] { return device->reads > 0; }));
    }
    // Lets the threads run for a while with nothing happening on the line.
    static void idle() { pump([] { return false; }, 300); }
    // The driver outlives the control: its threads ask the driver until the
    // port is closed.
    std::optional<ModemDevice> device;
    pty::Pair pair{testdb::tempDir()};
    CommControl comm;
    QByteArray received, log;
};

} // namespace

// The line as the analyser sends it, whatever another program left the
// device at: 9600 baud, 8 data bits, no parity, 1 stop bit. A
// pseudo-terminal keeps the speed and stop bits it is given but always
// reports 8 data bits without parity, so those two are read from the
// program's last request on its way to the device.
TEST_F(CommOnPty, TheLineIsSetTo9600Baud8N1)
{
    ASSERT_TRUE(pair.start());
    const int fd = ::open(QFile::encodeName(pair.a).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    cfsetispeed(&t, B1200);
    cfsetospeed(&t, B1200);
    t.c_cflag |= CSTOPB;
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);

    ASSERT_TRUE(comm.setPortOpen(true)) << qPrintable(comm.errorString());
    const termios asked = lastTermiosRequest();
    const int got = tcgetattr(fd, &t);
    ::close(fd);
    ASSERT_EQ(got, 0);
    const auto baud = [](speed_t s) { return s == B9600 ? "9600" : s == B1200 ? "1200" : "other"; };
    const tcflag_t size = asked.c_cflag & CSIZE;
    const std::string line = std::string(baud(cfgetispeed(&t))) + "/" + baud(cfgetospeed(&t)) + " "
                             + (size == CS8 ? "8" : size == CS7 ? "7" : "?")
                             + (asked.c_cflag & PARENB ? "P" : "N") + (t.c_cflag & CSTOPB ? "2" : "1");
    EXPECT_EQ(line, "9600/9600 8N1");
}

// A device missing when the port is opened is opened once it appears. The
// writer closes and reopens its end between records, then the whole pair
// goes away (socat ends) and comes back. The owner's thread handles no
// events meanwhile: the reader thread alone drains the device, far more than
// the kernel's and socat's buffers hold. Bytes still queued when the line
// hangs up are never handed over together with the bytes that come after
// it, however late the owner's thread reads.
TEST_F(CommOnPty, OpensALateDeviceSurvivesItGoingAwayAndHandsOverBytesAroundAHangUpApart)
{
    EXPECT_FALSE(comm.setPortOpen(true));
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_TRUE(comm.errorString().contains(pair.a)) << qPrintable(comm.errorString());
    ASSERT_TRUE(pair.start());
    ASSERT_TRUE(pty::waitUntil([&] { return comm.PortOpen(); }));
    QByteArray expected;
    for (int i = 0; i < 3; ++i) {
        const QByteArray part = randomBytes(i == 0 ? 256 * 1024 : 3000, 100 + i);
        expected += part;
        ASSERT_TRUE(pty::writeDevice(pair.b, part, 256));
        ASSERT_TRUE(pty::waitUntil([&] { return comm.InBufferCount() == expected.size(); }));
    }
    pair.stop();
    ASSERT_TRUE(pty::waitUntil([&] { return !comm.deviceAttached(); }));
    ASSERT_TRUE(pair.start());
    ASSERT_TRUE(pty::waitUntil([&] { return comm.deviceAttached(); }));
    expected += "after";
    ASSERT_TRUE(pty::writeDevice(pair.b, "after", 5));
    ASSERT_TRUE(pty::waitUntil([&] { return comm.InBufferCount() == expected.size(); }));
    // Only now does the owner's thread look.
    waitFor(expected.size());
    QCoreApplication::processEvents();
    EXPECT_TRUE(received == expected);
    EXPECT_EQ(log, QByteArray("2002 <268144>2001 2003 2002 <5>"));
}

// Each modem line's change wakes the reader by itself and comes as its own
// code; a line error comes with the bytes it arrived with. Nothing else wakes
// the reader: an idle line reads no counters.
TEST_F(CommOnPty, ModemLineChangesWakeTheReaderAndAnIdleLineCostsNothing)
{
    ASSERT_NO_FATAL_FAILURE(openWith(true));
    idle();
    EXPECT_EQ(device->reads, 1) << "counters read with nothing happening";

    QByteArray expected;
    const struct { int serial_icounter_struct::*field; const char *code; } lines[] = {
        {&serial_icounter_struct::cts, "3 "}, {&serial_icounter_struct::dsr, "4 "},
        {&serial_icounter_struct::dcd, "5 "}, {&serial_icounter_struct::rng, "6 "},
        {&serial_icounter_struct::cts, "3 "},
    };
    for (const auto &l : lines) {
        device->count(l.field);
        waitForLog(expected += l.code);
    }
    device->count(&serial_icounter_struct::frame, false);
    ASSERT_TRUE(pty::writeDevice(pair.b, QByteArray(1, '\0'), 1));
    waitForLog(expected += "<1>1004 ");
    EXPECT_EQ(log, expected);
    const int reads = device->reads;
    idle();
    EXPECT_EQ(device->reads, reads);
}

// A driver that keeps counters but refuses the wait still has its changes
// reported, by polling.
TEST_F(CommOnPty, ModemLinesOfADriverRefusingTheWaitArePolled)
{
    ASSERT_NO_FATAL_FAILURE(openWith(false));
    device->count(&serial_icounter_struct::dsr);
    waitForLog("4 ");
    device->count(&serial_icounter_struct::parity, false);
    waitForLog("4 1009 ");
    EXPECT_EQ(log, QByteArray("4 1009 "));
}
