#pragma once
// The serial line to the analyser: receive only, 9600 baud, 8 data bits,
// 1 stop bit, no parity, no flow control, raw.
//
// A reader thread drains the device into a queue as fast as bytes come, so
// nothing is lost while the user-interface thread sits in a long handler.
// The user-interface thread is told through OnComm(): CommEvent() then holds
// the notification code (2 = characters waiting, 3..6 modem lines, 1001..1009
// line errors) and Input() hands over and removes what is queued.
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <deque>
#include <thread>

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
    };

    explicit CommControl(QObject *parent = nullptr);
    ~CommControl() override;

    // /dev/ttyS0, or the device that VORLAN_SERIAL names.
    static QString defaultPortName();

    QString portName() const { return m_portName; }
    void setPortName(const QString &name) { m_portName = name; }

    // Opens (true) or closes (false) the port. Opening fails with the
    // system's reason in errorString(); the control then stays closed.
    bool setPortOpen(bool open);
    bool PortOpen() const { return m_open; }
    QString errorString() const { return m_error; }

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
    void readerLoop(int fd, int wakeFd);
    int reopen(int wakeFd);
    void post(short code);
    void deliver();

    QString m_portName;
    QString m_error;
    bool m_open = false;
    short m_commEvent = 0;

    mutable QMutex m_mutex;
    QByteArray m_queue;           // received bytes
    std::deque<short> m_events;   // notifications not yet delivered
    bool m_receivePending = false; // a code 2 is among m_events

    std::thread m_reader;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_attached{false};
};
