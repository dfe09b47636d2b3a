#include "platform/comm/commcontrol.h"

#include <QFile>
#include <QMetaObject>
#include <QMutexLocker>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <pthread.h>
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

// Waits up to ms on the wake pipe; true when asked to stop.
bool waitWake(int wakeFd, int ms)
{
    pollfd p{wakeFd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

// Interrupts a modem-line wait so that its thread can end; the handler itself
// does nothing.
int modemWakeSignal()
{
    static const int sig = [] {
        const int s = SIGRTMIN + 5;
        struct sigaction sa{};
        sa.sa_handler = [](int) {};
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no restart: the ioctl returns EINTR
        sigaction(s, &sa, nullptr);
        return s;
    }();
    return sig;
}

QString systemError(const QString &port)
{
    return port + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

CommControl::LineRequests CommControl::driverLineRequests()
{
    LineRequests r;
    r.waitForChange = [](int fd) { return ::ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG); };
    r.counters = [](int fd, serial_icounter_struct *c) {
        std::memset(c, 0, sizeof *c);
        return ::ioctl(fd, TIOCGICOUNT, c) == 0;
    };
    return r;
}

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
        return !open || m_attached;
    if (!open) {
        m_stop = true;
        if (m_wake[1] >= 0) {
            const char b = 1;
            [[maybe_unused]] auto n = ::write(m_wake[1], &b, 1);
        }
        if (m_reader.joinable())
            m_reader.join();
        for (int *pipe : {m_wake, m_modemWake}) {
            for (int i = 0; i < 2; ++i) {
                if (pipe[i] >= 0)
                    ::close(pipe[i]);
                pipe[i] = -1;
            }
        }
        m_open = false;
        m_attached = false;
        return true;
    }

    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        setError(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Non-blocking: a full pipe already holds a wake-up for the reader.
    if (::pipe2(m_modemWake, O_CLOEXEC | O_NONBLOCK) != 0) {
        setError(QString::fromLocal8Bit(std::strerror(errno)));
        for (int &f : m_wake) {
            ::close(f);
            f = -1;
        }
        return false;
    }
    const int fd = openDevice(QFile::encodeName(m_portName));
    if (fd < 0)
        setError(systemError(m_portName));
    else
        setError(QString());
    m_stop = false;
    m_open = true;
    m_attached = fd >= 0;
    // Without its device the reader keeps trying to open it.
    m_reader = std::thread([this, fd, wakeFd = m_wake[0]] { readerLoop(fd, wakeFd, fd < 0); });
    return fd >= 0;
}

QString CommControl::errorString() const
{
    QMutexLocker lock(&m_mutex);
    return m_error;
}

void CommControl::setError(const QString &e)
{
    QMutexLocker lock(&m_mutex);
    m_error = e;
}

QByteArray CommControl::Input()
{
    QMutexLocker lock(&m_mutex);
    QByteArray out;
    const qint64 upTo = m_breaks.empty() ? m_received : m_breaks.front();
    const qsizetype n = qsizetype(upTo - m_taken);
    if (n >= m_queue.size()) {
        out.swap(m_queue);
    } else {
        out = m_queue.left(n);
        m_queue.remove(0, n);
    }
    m_taken += out.size();
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
        } else {
            // Bytes after this notification get a "characters waiting" of
            // their own, delivered after it.
            m_receivePending = false;
            if (code == comEvLineBroken)
                m_breaks.push_back(m_received);
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
            if (m_events.empty() || m_events.back() != comEvReceive)
                m_receivePending = false;
            const qint64 upTo = m_breaks.empty() ? m_received : m_breaks.front();
            if (m_queue.isEmpty() || upTo == m_taken)
                return; // already taken by an earlier Input()
        } else if (code == comEvLineBroken && !m_breaks.empty()) {
            // Whatever came before the hang-up has been handed over by now.
            const qint64 at = m_breaks.front();
            m_breaks.pop_front();
            if (at > m_taken) {
                m_queue.remove(0, qsizetype(at - m_taken));
                m_taken = at;
            }
        }
    }
    m_commEvent = code;
    emit OnComm();
}

// Opens the device again after a hang-up (a pseudo-terminal whose other side
// went away, an unplugged adapter) or when it was missing at start; keeps
// trying every kRetryMs until it opens or we are stopped. *missing tells
// whether the user has been told that it is missing.
int CommControl::reopen(int wakeFd, bool *missing)
{
    const QByteArray path = QFile::encodeName(m_portName);
    while (!m_stop) {
        const int fd = openDevice(path);
        if (fd >= 0) {
            setError(QString());
            if (*missing)
                post(comEvDeviceOpened);
            *missing = false;
            return fd;
        }
        setError(systemError(m_portName));
        if (!*missing) {
            *missing = true;
            post(comEvDeviceMissing);
        }
        if (waitWake(wakeFd, kRetryMs))
            break;
    }
    return -1;
}

void CommControl::startModemWatch(int fd)
{
    m_modemStop = false;
    m_modemExited = false;
    m_modemRefused = false;
    const int sig = modemWakeSignal();
    m_modem = std::thread([this, fd, sig] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, sig);
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        const char b = 1;
        while (!m_modemStop) {
            if (m_lines.waitForChange(fd) == 0) {
                [[maybe_unused]] auto n = ::write(m_modemWake[1], &b, 1);
            } else if (errno != EINTR) {
                // The device has no modem lines to wait for: the reader
                // falls back on polling the counters.
                m_modemRefused = true;
                [[maybe_unused]] auto n = ::write(m_modemWake[1], &b, 1);
                break;
            }
        }
        m_modemExited = true;
    });
}

void CommControl::stopModemWatch()
{
    if (!m_modem.joinable())
        return;
    m_modemStop = true;
    // The signal may come just before the thread enters its wait: repeat it
    // until the thread has ended.
    while (!m_modemExited) {
        pthread_kill(m_modem.native_handle(), modemWakeSignal());
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 5);
    }
    m_modem.join();
}

void CommControl::postCounterChanges(const serial_icounter_struct &last, const serial_icounter_struct &now)
{
    static const struct { int serial_icounter_struct::*field; short code; } map[] = {
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
}

void CommControl::readerLoop(int fd, int wakeFd, bool missing)
{
    serial_icounter_struct last{};
    bool counters = false;
    char buf[4096];
    const int modemFd = m_modemWake[0];
    // Without counters there is nothing to tell of modem lines.
    const auto attach = [&] {
        counters = m_lines.counters(fd, &last);
        if (counters)
            startModemWatch(fd);
    };
    if (fd >= 0)
        attach();

    while (!m_stop) {
        if (fd < 0) {
            fd = reopen(wakeFd, &missing);
            if (fd < 0)
                break;
            m_attached = true;
            attach();
        }
        pollfd p[3] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}, {modemFd, POLLIN, 0}};
        const int r = ::poll(p, 3, counters && m_modemRefused ? kPollMs : -1);
        if (r < 0 && errno != EINTR)
            break;
        if (p[1].revents)
            break;
        if (p[2].revents & POLLIN) {
            while (::read(modemFd, buf, sizeof buf) > 0) {
            }
        }

        bool hangup = (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if (p[0].revents & POLLIN || hangup) {
            for (;;) {
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0) {
                    {
                        QMutexLocker lock(&m_mutex);
                        m_queue.append(buf, n);
                        m_received += n;
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

        // Line errors arrive with bytes, modem lines with a wake-up from the
        // waiter: either way the counters tell what happened.
        serial_icounter_struct now{};
        if (counters && m_lines.counters(fd, &now)) {
            postCounterChanges(last, now);
            last = now;
        }

        if (hangup) {
            stopModemWatch();
            ::close(fd);
            fd = -1;
            m_attached = false;
            post(comEvLineBroken);
        }
    }
    if (fd >= 0) {
        stopModemWatch();
        ::close(fd);
    }
    m_attached = false;
}
