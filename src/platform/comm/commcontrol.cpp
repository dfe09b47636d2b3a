#include "platform/comm/commcontrol.h"

#include <QFile>
#include <QMetaObject>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Opens and configures the device; returns -1 with errno set on failure.
int openDevice(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Report parity and framing errors through the counters, not in the data.
    t.c_iflag |= INPCK;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

bool readCounters(int fd, serial_icounter_struct *c)
{
    std::memset(c, 0, sizeof *c);
    return ::ioctl(fd, TIOCGICOUNT, c) == 0;
}

// Waits up to ms on the wake pipe; true when asked to stop.
bool waitWake(int wakeFd, int ms)
{
    pollfd p{wakeFd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

} // namespace

CommControl::CommControl(QObject *parent)
    : QObject(parent), m_portName(defaultPortName())
{
}

CommControl::~CommControl()
{
    setPortOpen(false);
}

QString CommControl::defaultPortName()
{
    const QString env = qEnvironmentVariable("VORLAN_SERIAL");
    return env.isEmpty() ? QStringLiteral("/dev/ttyS0") : env;
}

bool CommControl::setPortOpen(bool open)
{
    if (open == m_open)
        return true;
    if (!open) {
        m_stop = true;
        if (m_wake[1] >= 0) {
            const char b = 1;
            [[maybe_unused]] auto n = ::write(m_wake[1], &b, 1);
        }
        if (m_reader.joinable())
            m_reader.join();
        for (int &f : m_wake) {
            if (f >= 0)
                ::close(f);
            f = -1;
        }
        m_open = false;
        return true;
    }

    const int fd = openDevice(QFile::encodeName(m_portName));
    if (fd < 0) {
        m_error = m_portName + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    m_error.clear();
    m_stop = false;
    m_open = true;
    m_attached = true;
    m_reader = std::thread([this, fd, wakeFd = m_wake[0]] { readerLoop(fd, wakeFd); });
    return true;
}

QByteArray CommControl::Input()
{
    QMutexLocker lock(&m_mutex);
    QByteArray out;
    out.swap(m_queue);
    return out;
}

int CommControl::InBufferCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_queue.size());
}

// Called on the reader thread: queue the notification and have the
// user-interface thread deliver it.
void CommControl::post(short code)
{
    {
        QMutexLocker lock(&m_mutex);
        if (code == comEvReceive) {
            // One "characters waiting" at a time: Input() takes all of them.
            if (m_receivePending)
                return;
            m_receivePending = true;
        }
        m_events.push_back(code);
    }
    QMetaObject::invokeMethod(this, &CommControl::deliver, Qt::QueuedConnection);
}

void CommControl::deliver()
{
    short code;
    {
        QMutexLocker lock(&m_mutex);
        if (m_events.empty())
            return;
        code = m_events.front();
        m_events.pop_front();
        if (code == comEvReceive) {
            m_receivePending = false;
            if (m_queue.isEmpty())
                return; // already taken by an earlier Input()
        }
    }
    m_commEvent = code;
    emit OnComm();
}

// Reopens the device after a hang-up (a pseudo-terminal whose other side went
// away, an unplugged adapter); keeps trying until it opens or we are stopped.
int CommControl::reopen(int wakeFd)
{
    const QByteArray path = QFile::encodeName(m_portName);
    while (!m_stop) {
        const int fd = openDevice(path);
        if (fd >= 0)
            return fd;
        if (waitWake(wakeFd, 200))
            break;
    }
    return -1;
}

void CommControl::readerLoop(int fd, int wakeFd)
{
    serial_icounter_struct last{};
    bool counters = readCounters(fd, &last);
    char buf[4096];

    while (!m_stop && fd >= 0) {
        pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        // The counters are polled, so wake up now and then even when idle.
        const int r = ::poll(p, 2, counters ? 50 : 500);
        if (r < 0 && errno != EINTR)
            break;
        if (p[1].revents)
            break;

        bool hangup = (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if (p[0].revents & POLLIN || hangup) {
            for (;;) {
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0) {
                    {
                        QMutexLocker lock(&m_mutex);
                        m_queue.append(buf, n);
                    }
                    post(comEvReceive);
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (!hangup && (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK))
                    break;
                // EOF, EIO or a hang-up with nothing more to read.
                hangup = true;
                break;
            }
        }

        if (counters) {
            serial_icounter_struct now{};
            if (readCounters(fd, &now)) {
                const struct { int serial_icounter_struct::*field; short code; } map[] = {
                    {&serial_icounter_struct::cts, comEvCTS},
                    {&serial_icounter_struct::dsr, comEvDSR},
                    {&serial_icounter_struct::dcd, comEvCD},
                    {&serial_icounter_struct::rng, comEvRing},
                    {&serial_icounter_struct::brk, comEventBreak},
                    {&serial_icounter_struct::frame, comEventFrame},
                    {&serial_icounter_struct::overrun, comEventOverrun},
                    {&serial_icounter_struct::buf_overrun, comEventRxOver},
                    {&serial_icounter_struct::parity, comEventRxParity},
                };
                for (const auto &m : map) {
                    if (now.*(m.field) != last.*(m.field))
                        post(m.code);
                }
                last = now;
            }
        }

        if (hangup) {
            ::close(fd);
            m_attached = false;
            fd = reopen(wakeFd);
            m_attached = fd >= 0;
            if (fd >= 0)
                counters = readCounters(fd, &last);
        }
    }
    if (fd >= 0)
        ::close(fd);
    m_attached = false;
}
