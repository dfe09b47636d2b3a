#pragma once
// What the main window's serial handler does with each notification: the
// receive buffer, storing every completed record, the lamp and the status
// texts. No window here: the handler applies the results to its widgets.
#include "link/receivebuffer.h"

#include <QColor>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace intake {

struct StatusText
{
    QString heading; // status bar panel 0: "状态:" or "错误:"
    QString message; // panel 1
    bool operator==(const StatusText &o) const { return heading == o.heading && message == o.message; }
};

// Lamp colours: at rest / record complete, and while a record is arriving.
QColor lampIdleColor();
QColor lampReceivingColor();

// The status texts of a notification code; nullopt for 1 and 2, which leave
// the status bar alone.
std::optional<StatusText> statusForCode(int code);

// The status texts when the serial port cannot be opened.
StatusText statusForOpenFailure(const QString &reason);

struct ReceiveResult
{
    int records = 0;            // records ended by a 0x03 in this chunk
    QStringList stored;         // their sample numbers, as stored, in order
    QStringList malformed;      // numbers to list for correction, in order
    std::optional<StatusText> status; // to show (a record that failed to store)
    QColor lamp;                // lamp colour after the chunk
};

class LinkReceiver : public QObject
{
    Q_OBJECT
public:
    explicit LinkReceiver(QObject *parent = nullptr);

    // The connection records are stored on (default: the program's).
    void setDatabase(const QSqlDatabase &db) { m_db = db; m_haveDb = true; }

    // Characters received (notification 2): appended to the buffer; every
    // record completed by them is stored under workDate, in order.
    ReceiveResult receive(const QByteArray &chunk, const QString &workDate);

    // Any other notification: the status texts to show (nullopt for 1 and 2).
    std::optional<StatusText> commEvent(int code);

    const ReceiveBuffer &buffer() const { return m_buffer; }
    QColor lamp() const { return m_lamp; }

signals:
    void lampChanged(const QColor &color);
    void statusChanged(const QString &heading, const QString &message);
    void malformedNumber(const QString &shelfid);
    void recordStored(const QString &shelfid);
    // One or more records ended: the graphs should be redrawn.
    void recordsEnded();

private:
    void setLamp(const QColor &c);
    QSqlDatabase database() const;

    ReceiveBuffer m_buffer;
    QColor m_lamp;
    QSqlDatabase m_db;
    bool m_haveDb = false;
};

} // namespace intake
