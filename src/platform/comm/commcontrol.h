#pragma once
// The serial line to the analyser: receive only, 9600 baud, 8 data bits,
// 1 stop bit, no parity, no flow control, raw.
//
// A reader thread drains the device into a queue as fast as bytes come, so
// nothing is lost while the user-interface thread sits in a long handler.
// The user-interface thread is told through OnComm(): CommEvent() then holds
// the notification code (2 = characters waiting, 3..6 modem lines, 1001..1009
// line errors, 2001..2003 the device itself) and Input() hands over and
// removes what is queued, never past a hang-up: bytes received before the
// line hung up and bytes received after it are handed over separately, with
// comEvLineBroken between them.
//
// A device that cannot be opened, or that goes away, is tried again every
// kRetryMs until it opens (a USB adapter plugged in later).
//
// Modem-line changes and line errors come from the driver's counters. A
// thread waits in the driver for a modem line to change and wakes the reader,
// which then reads the counters; line errors arrive with bytes, so the
// counters are read after every read as well. An idle line costs no wake-ups.
// Only where the driver keeps counters but refuses that wait are the
// counters polled every kPollMs; a device without counters (a
// pseudo-terminal) reports bytes only.
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <thread>

#include <linux/serial.h>

class CommControl : public QObject
{
    Q_OBJECT
public:
    // Notification codes (the ones this control raises).
    enum : short {
        comEvReceive = 2,
        comEvCTS = 3,
        comEvDSR = 4,
        comEvCD = 5,
        comEvRing = 6,
        comEventBreak = 1001,
        comEventFrame = 1004,
        comEventOverrun = 1006,
        comEventRxOver = 1008,
        comEventRxParity = 1009,
        // The device hung up or went away; what came before it is complete.
        comEvLineBroken = 2001,
        // The device opened after it had been missing.
        comEvDeviceOpened = 2002,
        // The device went away and does not open again yet.
        comEvDeviceMissing = 2003,
    };

    static constexpr int kRetryMs = 2000;
    static constexpr int kPollMs = 50;

    // The two driver requests behind modem lines and line errors. The
    // defaults ask the driver; a test puts in its own to play a device with
    // modem lines. Called on the control's own threads.
    struct LineRequests
    {
        // Returns 0 once a modem line has changed, or -1 with errno: EINTR
        // when interrupted by a signal, anything else when refused.
        std::function<int(int fd)> waitForChange;
        // The counters of line changes and errors; false when there are none.
        std::function<bool(int fd, serial_icounter_struct *)> counters;
    };
    static LineRequests driverLineRequests();
    // Before the port opens.
    void setLineRequests(LineRequests r) { m_lines = std::move(r); }

    explicit CommControl(QObject *parent = nullptr);
    ~CommControl() override;

    // /dev/ttyS0, or the device that VORLAN_SERIAL names.
    static QString defaultPortName();

    QString portName() const { return m_portName; }
    void setPortName(const QString &name) { m_portName = name; }

    // Opens (true) or closes (false) the port. Opening fails with the
    // system's reason in errorString(); the control then keeps trying in the
    // background and raises comEvDeviceOpened once the device opens.
    bool setPortOpen(bool open);
    // The device is open now.
    bool PortOpen() const { return m_open && m_attached; }
    QString errorString() const;

    // Code of the notification being delivered (valid inside OnComm).
    short CommEvent() const { return m_commEvent; }
    // Everything received and not yet read; removes it from the queue.
    QByteArray Input();
    // Bytes waiting in the queue.
    int InBufferCount() const;
    // False while an open port has lost its device and is trying to reopen it.
    bool deviceAttached() const { return m_attached; }

signals:
    void OnComm();

private:
    void readerLoop(int fd, int wakeFd, bool missing);
    int reopen(int wakeFd, bool *missing);
    void post(short code);
    void deliver();
    void setError(const QString &e);
    void startModemWatch(int fd);
    void stopModemWatch();
    void postCounterChanges(const serial_icounter_struct &last, const serial_icounter_struct &now);

    QString m_portName;
    QString m_error;              // guarded by m_mutex
    bool m_open = false;          // the reader thread runs
    short m_commEvent = 0;

    mutable QMutex m_mutex;
    QByteArray m_queue;           // received bytes
    qint64 m_taken = 0;           // bytes handed over by Input() so far
    qint64 m_received = 0;        // bytes queued so far
    std::deque<qint64> m_breaks;  // m_received at each hang-up not yet delivered
    std::deque<short> m_events;   // notifications not yet delivered
    bool m_receivePending = false; // a code 2 is among m_events

    LineRequests m_lines = driverLineRequests();
    // Waits for modem-line changes (TIOCMIWAIT) and writes a byte into
    // m_modemWake[1] after each; while a wait is pending the driver of a
    // built-in UART counts the changes, which TIOCGICOUNT then reports.
    std::thread m_modem;
    int m_modemWake[2] = {-1, -1};
    std::atomic<bool> m_modemStop{false};
    std::atomic<bool> m_modemExited{true};
    // The driver refused the wait: the reader polls the counters instead.
    std::atomic<bool> m_modemRefused{false};

    std::thread m_reader;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_attached{false};
};
