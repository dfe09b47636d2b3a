// The serial control against a pseudo-terminal pair: bytes written into one
// end all arrive, also while the receiving thread is busy, and the control
// survives the other side going away and coming back.
#include "platform/comm/commcontrol.h"
#include "common/testdb.h"
#include "pty.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <thread>

namespace {

// n is a multiple of four.
QByteArray randomBytes(int n, quint32 seed)
{
    QByteArray out(n, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(out.data()), n / 4);
    return out;
}

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
            // A pseudo-terminal has no line counters: only "characters
            // waiting" and the device's own notifications.
            const short code = comm.CommEvent();
            if (code == CommControl::comEvReceive) {
                const QByteArray in = comm.Input();
                received += in;
                log += "<" + QByteArray::number(in.size()) + ">";
            } else {
                EXPECT_GT(code, 2000);
                log += QByteArray::number(code) + " ";
            }
        });
    }
    // Runs the event loop until n bytes came or the limit passed.
    void waitFor(qsizetype n)
    {
        const QDeadlineTimer deadline(pty::kWaitMs);
        while (received.size() < n && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    pty::Pair pair{testdb::tempDir()};
    CommControl comm;
    QByteArray received, log;
};

} // namespace

TEST_F(CommOnPty, NothingIsLostWhileTheUserInterfaceThreadIsBusy)
{
    ASSERT_TRUE(pair.start());
    ASSERT_TRUE(comm.setPortOpen(true)) << qPrintable(comm.errorString());
    // Far more than the kernel's and socat's buffers hold together; the
    // owner's thread handles no events meanwhile, so the reader thread alone
    // must keep draining the device.
    const QByteArray data = randomBytes(256 * 1024, 42);
    bool written = false;
    std::thread writer([&] { written = pty::writeDevice(pair.b, data, 997); });
    pty::waitUntil([&] { return comm.InBufferCount() >= data.size(); });
    writer.join();
    ASSERT_TRUE(written);
    EXPECT_EQ(comm.InBufferCount(), data.size());

    waitFor(data.size());
    EXPECT_TRUE(received == data);
}

// A device missing when the port is opened is opened once it appears. The
// writer closes and reopens its end between records, then the whole pair
// goes away (socat ends) and comes back. Bytes still queued when the line
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
        const QByteArray part = randomBytes(3000, 100 + i);
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
    EXPECT_EQ(log, QByteArray("2002 <9000>2001 2003 2002 <5>"));
}
